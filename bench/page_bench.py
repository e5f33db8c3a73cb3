"""The page's ticks per second at N = 40, 1000 and 2000 in Chromium, WebKitGTK
and Firefox, in a 1280 x 800 window, with the timer at 1 ms, so that every
tick waits only for the step before it and the drawing; then the drawing's
milliseconds a frame for 2000 discs (the drawing finished, not only asked for).

    xvfb-run -a /usr/bin/python3 bench/page_bench.py build-web/site [ENGINE...]
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "web"))
from engines import ENGINES, Serve  # noqa: E402

SECONDS = 4.0
FRAMES = 30

# Draws the state on the picture FRAMES times, each frame read back from the
# canvas so that the browser has drawn it, and answers the mean in ms.
DRAW = """
const [frames, done] = arguments;
const state = tessalyPage.shown();
const picture = document.getElementById('picture').getContext('2d');
tessalyPage.draw(state);
picture.getImageData(0, 0, 1, 1);
const start = performance.now();
for (let k = 0; k < frames; ++k) {
  tessalyPage.draw(state);
  picture.getImageData(0, 0, 1, 1);
}
done((performance.now() - start) / frames);
"""


def Measure(engine, url):
    engine.open(url + "?seed=12345")
    # A first visit reloads once to be cross-origin isolated (threads.js).
    engine.wait("return document.body.dataset.ready === 'true' && tessalyPage.settled", 30)
    rates = []
    for count in (40, 1000, 2000):
        engine.js("const [c, s, p] = ['countField', 'timeStepField', 'periodField']"
                  ".map(id => document.getElementById(id));"
                  f"c.value = '{count}'; s.value = '0.1'; p.value = '1';"
                  "document.getElementById('runButton').click();")
        time.sleep(1.0)  # the worker warms up
        ticks = engine.js("return tessalyPage.ticks")
        start = time.monotonic()
        time.sleep(SECONDS)
        ticks = engine.js("return tessalyPage.ticks") - ticks
        rates.append(ticks / (time.monotonic() - start))
        engine.js("document.getElementById('stopButton').click()")
    time.sleep(0.5)
    draw_ms = engine.async_js(DRAW, FRAMES)
    size = engine.js("const p = document.getElementById('picture'); return [p.width, p.height]")
    return rates, draw_ms, size, engine.js("return tessalyPage.cores")


def main():
    server = Serve(os.path.abspath(sys.argv[1]))
    url = f"http://127.0.0.1:{server.server_address[1]}/"
    print("| Engine | Cores that step | N = 40 | N = 1000 | N = 2000 | Drawing 2000 discs |\n"
          "|---|---|---|---|---|---|")
    for key in sys.argv[2:] or list(ENGINES):
        engine = ENGINES[key](size=(1280, 800))
        try:
            rows = [Measure(engine, url)]
            # Chromium once more, told it has one core: one worker, as where
            # the page is not isolated, in the same hour.
            if hasattr(engine, "driver") and rows[0][3] > 1:
                engine.driver.execute_cdp_cmd("Emulation.setHardwareConcurrencyOverride",
                                              {"hardwareConcurrency": 1})
                rows.append(Measure(engine, url))
        finally:
            engine.quit()
        for rates, draw_ms, size, cores in rows:
            print(f"| {engine.name} | {cores} | " + " | ".join(f"{r:.1f} ticks/s" for r in rates)
                  + f" | {draw_ms:.1f} ms ({size[0]} x {size[1]} px) |", flush=True)
    server.shutdown()


if __name__ == "__main__":
    main()
