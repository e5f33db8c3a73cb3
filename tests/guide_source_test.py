"""The guide's copies come from its source with the texts 共有 makes.

  guide_source_test.py TESSALY_SHARED_RUNS
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
MAKE = os.path.join(root, "guide", "make_guide.py")
SOURCE = os.path.join(root, "guide", "guide.md")
TOOL = None


def make(edition, source):
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "guide.html")
        done = subprocess.run([sys.executable, MAKE, edition, source, out, "--", TOOL],
                              capture_output=True, text=True)
        page = open(out, encoding="utf-8").read() if done.returncode == 0 else None
    return done, page


class GuideSource(unittest.TestCase):
    def test_each_copy_carries_every_run_and_only_the_site_links_them(self):
        source = open(SOURCE, encoding="utf-8").read()
        queries = re.findall(r"^```run\n(\?\S+)\n(tessaly .+)\n```", source, re.M)
        self.assertGreaterEqual(len(queries), 6)
        for edition in ("site", "package"):
            done, page = make(edition, SOURCE)
            self.assertEqual(done.returncode, 0, done.stderr)
            for query, line in queries:
                self.assertIn(query.replace("&", "&amp;"), page)
                self.assertIn(line, page)
            links = re.findall(r'<a href="\./(\?[^"]+)"', page)
            self.assertEqual(len(links), len(queries) if edition == "site" else 0, edition)
            self.assertEqual(page.count('<canvas class="code"'), len(links))

    def test_a_run_written_otherwise_than_shared_is_refused(self):
        source = open(SOURCE, encoding="utf-8").read()
        for old, new in [("?count=20&time-step=0.1&", "?count=20&time-step=0.10&"),
                         ("tessaly --count 20 --time-step 0.1 ", "tessaly --count 20 --time-step 0.10 "),
                         ("--seed 7 --observe --run", "--seed 7 --run")]:
            with tempfile.NamedTemporaryFile("w", suffix=".md", encoding="utf-8") as copy:
                copy.write(source.replace(old, new, 1))
                copy.flush()
                done, _ = make("package", copy.name)
            self.assertNotEqual(done.returncode, 0, new)
            self.assertIn("共有 writes this run as", done.stderr)


if __name__ == "__main__":
    TOOL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
