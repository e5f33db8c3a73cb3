"""The page's ticks per second in headless Chromium at N = 40, 1000 and 2000,
with the timer at 1 ms, so that every tick waits only for the step before it.

    /usr/bin/python3 bench/page_bench.py build-web/site
"""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "web"))
from page_test import Browser, Serve  # noqa: E402

SECONDS = 4.0


def main():
    server = Serve(os.path.abspath(sys.argv[1]))
    with tempfile.TemporaryDirectory() as profile:
        driver = Browser(profile)
        try:
            driver.get(f"http://127.0.0.1:{server.server_address[1]}/?seed=12345")
            while not driver.execute_script("return document.body.dataset.ready === 'true'"):
                time.sleep(0.05)
            print("| Page, N | ticks/s |\n|---|---|")
            for count in (40, 1000, 2000):
                driver.execute_script(
                    "const [c, s, p] = ['countField', 'timeStepField', 'periodField']"
                    ".map(id => document.getElementById(id));"
                    f"c.value = '{count}'; s.value = '0.1'; p.value = '1';"
                    "document.getElementById('runButton').click();")
                time.sleep(1.0)  # the worker warms up
                ticks = driver.execute_script("return tessalyPage.ticks")
                start = time.monotonic()
                time.sleep(SECONDS)
                ticks = driver.execute_script("return tessalyPage.ticks") - ticks
                rate = ticks / (time.monotonic() - start)
                print(f"| {count} | {rate:.1f} |")
                driver.execute_script("document.getElementById('stopButton').click()")
        finally:
            driver.quit()
            server.shutdown()


if __name__ == "__main__":
    main()
