"""Every number the guide quotes, from the runs it quotes.

  guide_numbers_test.py TESSALY

Reads the "numbers" blocks of guide/guide.md, makes their batch runs with
TESSALY as written (the window's power function) and again with glibc's
power function without FMA, which the page's module has, and checks that
each number lies within the tolerance the guide gives it, in both. Blocks
marked "edition: fma" compare the two power functions and are checked only
where the processor has FMA. Each experiment's link must open one of the
runs its numbers come from.
"""

import os
import shlex
import sys
import unittest
from urllib.parse import parse_qs

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
sys.path.insert(0, os.path.join(root, "guide"))
import runs  # noqa: E402

PROGRAM = None


def has_fma():
    with open("/proc/cpuinfo", encoding="ascii", errors="replace") as info:
        return any(line.startswith("flags") and " fma" in line for line in info)


def sections(markdown):
    """The experiments: each "### " section's text."""
    return [part for part in markdown.split("\n### ")[1:]]


class GuideNumbers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(root, "guide", "guide.md"), encoding="utf-8") as source:
            cls.markdown = source.read()

    def test_every_number_holds_for_the_window_and_the_page(self):
        found = [runs.Block(text) for text in runs.blocks(self.markdown, "numbers")]
        self.assertGreaterEqual(sum(1 for b in found if not b.fma), 6)
        editions = {"window": {}, "page": runs.PAGE_LIKE}
        for index, block in enumerate(found):
            if block.fma and not has_fma():
                print(f"block {index}: the processor has no FMA, skipped")
                continue
            for edition, env in editions.items():
                if block.fma and edition == "page":
                    continue
                with runs.scratch() as folder, self.subTest(block=index, edition=edition):
                    made = runs.Runs(PROGRAM, block, folder, env)
                    for label, expression, value, tolerance in block.numbers:
                        got = made.evaluate(expression)
                        print(f"{edition}: {label}: {got:.4g} (guide {value:g} ± {tolerance:g})")
                        self.assertLessEqual(abs(got - value), tolerance,
                                             f"{label} ({expression}) in the {edition}'s runs")

    def test_each_experiment_opens_a_run_its_numbers_come_from(self):
        experiments = [s for s in sections(self.markdown) if "```run" in s]
        self.assertGreaterEqual(len(experiments), 6)
        for text in experiments:
            title = text.splitlines()[0]
            query = runs.blocks(text, "run")[0].splitlines()[0]
            fields = parse_qs(query.lstrip("?"), keep_blank_values=True)
            link = (fields["count"][0], fields["time-step"][0], fields["seed"][0])
            self.assertIn("observe", fields, title)
            self.assertIn("run", fields, title)
            quoted = set()
            for block in runs.blocks(text, "numbers"):
                for _, command in runs.Block(block).runs.values():
                    words = shlex.split(command)
                    quoted.add(tuple(words[words.index(o) + 1]
                                     for o in ("--count", "--time-step", "--seed")))
            self.assertIn(link, quoted, f"{title}: its link opens no run of its numbers")


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
