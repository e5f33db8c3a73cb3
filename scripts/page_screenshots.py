"""Makes docs/page-<engine>.png: the page in Chromium, WebKitGTK and
Firefox in a 1280 x 800 window, a few seconds into a run of 80 particles
with the panel 観測 shown, then stopped. Run by `scripts/screenshot.sh page`
(under a virtual display, which WebKitGTK needs).

  page_screenshots.py SITE OUT_DIR [ENGINE...]
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from engines import ENGINES, Serve  # noqa: E402

RUN = "?count=80&time-step=0.1&period=10&seed=7&observe&run"


def main():
    site, out = sys.argv[1:3]
    chosen = sys.argv[3:] or list(ENGINES)
    server = Serve(site)
    url = f"http://127.0.0.1:{server.server_address[1]}/{RUN}"
    try:
        for key in chosen:
            engine = ENGINES[key](size=(1280, 800))
            try:
                engine.open(url)
                # A first visit reloads once, when its service worker takes control.
                if not engine.wait("return document.body?.dataset.ready === 'true' && tessalyPage.settled"
                                   " && tessalyPage.ticks >= 300", 60.0):
                    sys.exit(f"{engine.name}: the run never got going")
                engine.click("停止")
                time.sleep(1.0)  # the panel's last refresh
                path = os.path.join(out, f"page-{key}.png")
                engine.screenshot(path)
                print(f"wrote {path}")
            finally:
                engine.quit()
    finally:
        server.shutdown()
        server.server_close()


if __name__ == "__main__":
    main()
