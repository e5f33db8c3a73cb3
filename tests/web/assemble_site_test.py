"""The site's layout (web/assemble_site.py): every file but the pages at the
site's addresses in a folder named after the whole site's content, the pages
pointing into it, and the service worker listing every file.

    python3 tests/web/assemble_site_test.py
"""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web"))
import assemble_site  # noqa: E402

FILES = {"index.html": '<script src="start.js"></script><a href="guide.html">', "guide.html": "<img src='a/b.png'>",
         "start.js": "//", "a/b.png": "png"}
ROOT = {"index.html", "guide.html"}


class AssembleSiteTest(unittest.TestCase):
    def test_pages_point_into_the_build_and_nothing_else_does(self):
        for html, expected in [
                ('<script src="start.js">', '<script src="builds/X/start.js">'),
                ("<img src='a/b.png'>", "<img src='builds/X/a/b.png'>"),
                ('<a href="guide.html">', '<a href="guide.html">'),  # a page at the site's address
                ('<a href="./?seed=7">', '<a href="./?seed=7">'),
                ('<a href="https://a.example/start.js">', '<a href="https://a.example/start.js">'),
                ('<p data-src="start.js">', '<p data-src="start.js">')]:  # not an address the page loads
            self.assertEqual(assemble_site.PointIntoBuild(html, {"start.js", "a/b.png"}, "builds/X/"), expected)

    def test_the_folder_is_named_after_every_file_and_the_worker_lists_them(self):
        with tempfile.TemporaryDirectory() as top:
            files, site, template = (os.path.join(top, name) for name in ("files", "site", "sw.js"))

            def Write(name, text, folder=files):
                os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
                with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
                    f.write(text)

            Write("sw.js", "['@TESSALY_BUILD@'], [@TESSALY_ROOT_FILES@], [@TESSALY_BUILD_FILES@]", top)
            for name, text in FILES.items():
                Write(name, text)
            build = assemble_site.Assemble(files, template, site, ROOT)
            with open(os.path.join(site, "sw.js"), encoding="utf-8") as f:
                self.assertEqual(f.read(), f"['{build}'], ['./', 'guide.html', 'index.html'], ['a/b.png', 'start.js']")
            self.assertTrue(os.path.isfile(os.path.join(site, "builds", build, "a", "b.png")))
            self.assertEqual(assemble_site.Assemble(files, template, site, ROOT), build, "the same files, the same name")
            for name in ("start.js", "index.html", "new.js", "sw.js"):  # sw.js: the worker's template
                Write(name, "// changed", top if name == "sw.js" else files)
                changed = assemble_site.Assemble(files, template, site, ROOT)
                self.assertNotEqual(changed, build, name)
                self.assertEqual(os.listdir(os.path.join(site, "builds")), [changed], "the old folder goes")
                build = changed


if __name__ == "__main__":
    unittest.main()
