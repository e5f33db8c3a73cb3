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
            # The service worker makes the page cross-origin isolated from its
            # one reload on, where it steps on every core.
            end = time.monotonic() + 20
            while time.monotonic() < end and not driver.execute_script(
                    "return self.crossOriginIsolated && document.body.dataset.ready === 'true'"):
                time.sleep(0.05)
            time.sleep(0.5)

            def Rate(count):
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
                driver.execute_script("document.getElementById('stopButton').click()")
                return ticks / (time.monotonic() - start)

            # Every core, then one: the same page told it has one core steps
            # on one worker, as where it is not isolated.
            cores = driver.execute_script("return tessalyPage.cores")
            rates = {count: [Rate(count)] for count in (40, 1000, 2000)}
            driver.execute_cdp_cmd("Emulation.setHardwareConcurrencyOverride", {"hardwareConcurrency": 1})
            driver.refresh()
            while not driver.execute_script("return document.body.dataset.ready === 'true'"):
                time.sleep(0.05)
            one = driver.execute_script("return tessalyPage.cores")
            for count in rates:
                rates[count].append(Rate(count))
            print(f"| Page, N | ticks/s, {cores} cores | ticks/s, {one} core |\n|---|---|---|")
            for count, (every, single) in rates.items():
                print(f"| {count} | {every:.1f} | {single:.1f} |")
        finally:
            driver.quit()
            server.shutdown()


if __name__ == "__main__":
    main()
