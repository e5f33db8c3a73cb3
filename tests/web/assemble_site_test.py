"""The site's layout (web/assemble_site.py): every file but the pages at the
site's addresses in a folder named after the whole site's content, the
pages pointing into it, and the service worker listing every file.

    python3 tests/web/assemble_site_test.py
"""
import os
import re
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web"))
import assemble_site  # noqa: E402

TEMPLATE = "const kBuild = '@TESSALY_BUILD@';\nconst kRoot = [@TESSALY_ROOT_FILES@];\nconst kOwn = [@TESSALY_BUILD_FILES@];\n"
ROOT = {"index.html", "guide.html", "tessaly.svg"}


def Write(folder, files):
    for name, text in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


def Read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class AssembleSiteTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.files = os.path.join(self.dir.name, "files")
        self.site = os.path.join(self.dir.name, "site")
        self.template = os.path.join(self.dir.name, "sw.js")
        Write(self.dir.name, {"sw.js": TEMPLATE})
        Write(self.files, {
            "index.html": '<link href="style.css"><script src="start.js"></script><a href="guide.html">',
            "guide.html": "<img src='figures/a.png'><a href=\"./?seed=7\"><script src=\"guide.js\"></script>",
            "tessaly.svg": "<svg/>", "style.css": "p {}", "start.js": "//", "guide.js": "//",
            "figures/a.png": "png"})

    def tearDown(self):
        self.dir.cleanup()

    def Assemble(self):
        return assemble_site.Assemble(self.files, self.template, self.site, ROOT)

    def test_pages_point_into_the_build_and_nothing_else_does(self):
        own = {"style.css", "start.js", "figures/a.png"}
        cases = [
            ('<script src="start.js">', '<script src="builds/X/start.js">'),
            ("<img src='figures/a.png'>", "<img src='builds/X/figures/a.png'>"),
            ('<a href="guide.html">', '<a href="guide.html">'),           # a page at the site's address
            ('<a href="./?seed=7">', '<a href="./?seed=7">'),
            ('<a href="https://a.example/start.js">', '<a href="https://a.example/start.js">'),
            ('<p data-src="start.js">', '<p data-src="start.js">'),       # not an address the page loads
        ]
        for html, expected in cases:
            self.assertEqual(assemble_site.PointIntoBuild(html, own, "builds/X/"), expected, html)

    def test_the_site_is_laid_out_and_its_worker_lists_every_file(self):
        build = self.Assemble()
        folder = f"builds/{build}/"
        laid = sorted(os.path.relpath(os.path.join(top, n), self.site).replace(os.sep, "/")
                      for top, _, names in os.walk(self.site) for n in names)
        own = ["figures/a.png", "guide.js", "start.js", "style.css"]
        self.assertEqual(laid, sorted(["guide.html", "index.html", "sw.js", "tessaly.svg",
                                       *(folder + name for name in own)]))
        self.assertIn(f'src="{folder}start.js"', Read(os.path.join(self.site, "index.html")))
        self.assertIn(f"src='{folder}figures/a.png'", Read(os.path.join(self.site, "guide.html")))
        worker = Read(os.path.join(self.site, "sw.js"))
        self.assertIn(f"kBuild = '{build}'", worker)
        listed = re.findall(r"'([^']+)'", worker.split("kRoot", 1)[1])
        self.assertEqual(sorted(listed), sorted(["./", "guide.html", "index.html", "tessaly.svg", *own]))

    def test_the_folder_is_named_after_the_content_and_an_old_one_goes(self):
        first = self.Assemble()
        self.assertEqual(self.Assemble(), first, "the same files, the same name")
        for name, text in (("start.js", "// changed"), ("index.html", "<p>"), ("new.js", "//")):
            with self.subTest(name):
                Write(self.files, {name: text})
                changed = self.Assemble()
                self.assertNotEqual(changed, first)
                self.assertEqual(os.listdir(os.path.join(self.site, "builds")), [changed])
                first = changed


if __name__ == "__main__":
    unittest.main()
