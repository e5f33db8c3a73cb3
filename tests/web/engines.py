"""The three browser engines behind one small interface, for the page's tests
and its benchmark: Chromium (chromedriver), WebKitGTK (WebKitWebDriver and
MiniBrowser, under a display) and Firefox (its own WebDriver BiDi over a
WebSocket, so that nothing but Debian's packages is needed).

    engine = ENGINES["webkit"](size=(900, 600), scale=2)
    engine.open(url); engine.click("実行"); engine.js("return tessalyPage.ticks")
"""
import asyncio
import base64
import functools
import http.server
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.pointer_input import PointerInput

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from serve_site import TYPES  # noqa: E402

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    headers_sent = {}
    # As scripts/serve_site.py names them, whatever the system's map says.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}

    def log_message(self, *args):
        pass

    def end_headers(self):
        for name, value in self.headers_sent.items():
            self.send_header(name, value)
        super().end_headers()


def Serve(folder, headers=None):
    """The site on a free port of 127.0.0.1, until shutdown(), with `headers`
    on every answer besides those of a plain static host."""
    handler = functools.partial(type("Handler", (QuietHandler,), {"headers_sent": headers or {}}),
                                directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# Finds an element as a person names it: a button or a dialog's button by its
# caption, a field by its label, anything by its aria-label; answers the
# middle of it in the viewport's CSS pixels.
FIND = """
const name = arguments[0];
const all = Array.from(document.querySelectorAll('button, input, [aria-label]'));
const caption = (e) => (e.labels?.[0]?.textContent ?? e.textContent).trim();
const e = all.find((e) => caption(e) === name && e.getClientRects().length)
  ?? all.find((e) => e.getAttribute('aria-label') === name && e.getClientRects().length);
if (!e) return null;
e.scrollIntoView({ block: 'nearest', inline: 'nearest' });
const r = e.getBoundingClientRect();
return [r.left + r.width / 2, r.top + r.height / 2];
"""


class Engine:
    """What every engine offers; click and type are built on pointer and keys."""
    name = ""
    keys_press_buttons = True  # Enter typed on a focused button presses it
    # WebKitGTK's web process aborts in a garbage collection when a page is
    # left soon after a click that started or stopped a worker's steps, so
    # there each case (and each page that ran) gets a browser of its own.
    browser_per_case = False
    # Cross-origin isolated, it gives a page SharedArrayBuffer, and the page
    # steps on every core. (WebKitGTK reports itself isolated and has none.)
    shares_memory = True

    def open(self, url):
        raise NotImplementedError

    def js(self, script, *args):
        """Runs `script` as a function's body (it may `return`)."""
        raise NotImplementedError

    def async_js(self, script, *args):
        """As js(), with a callback as the last argument that gives the answer."""
        raise NotImplementedError

    def pointer(self, x, y, touch=False):
        """A click, or a finger's tap, at (x, y) in the viewport."""
        raise NotImplementedError

    def keys(self, text):
        """Types `text` into the focused element, key by key."""
        raise NotImplementedError

    def screenshot(self, path):
        raise NotImplementedError

    def tab(self):
        """The tab that commands go to."""
        raise NotImplementedError

    def new_tab(self):
        """Opens a tab, in the same profile, and goes to it; answers it."""
        raise NotImplementedError

    def to_tab(self, tab):
        """Brings `tab` to the front; commands go to it from now on."""
        raise NotImplementedError

    def window_size(self, width, height):
        raise NotImplementedError

    def quit(self):
        raise NotImplementedError

    def click(self, name, touch=False):
        at = self.js(FIND, name)
        if at is None:
            raise LookupError(f"nothing named {name!r} is shown")
        self.pointer(round(at[0]), round(at[1]), touch)

    def type(self, label, text):
        """Replaces the text of the field labelled `label` as typed."""
        self.click(label)
        # End, then Backspace over the old text. (A script's select() before
        # typing crashes WebKitGTK's web process a few pages later.)
        old = self.js("return document.activeElement.value")
        self.keys("\ue010" + "\ue003" * len(old) + text)

    def wait(self, script, timeout=15.0):
        """Waits until `script` answers true; answers whether it did."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            try:
                if self.js(script):
                    return True
            except Exception:  # noqa: BLE001 (a page between two documents: its reload for isolation)
                if time.monotonic() >= end:
                    raise
            time.sleep(0.03)
        return False


class SeleniumEngine(Engine):
    def __init__(self, driver):
        self.driver = driver

    def open(self, url):
        self.driver.get(url)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def async_js(self, script, *args):
        return self.driver.execute_async_script(script, *args)

    def pointer(self, x, y, touch=False):
        kind = interaction.POINTER_TOUCH if touch else interaction.POINTER_MOUSE
        actions = ActionBuilder(self.driver, mouse=PointerInput(kind, "finger" if touch else "mouse"))
        actions.pointer_action.move_to_location(x, y).pointer_down().pointer_up()
        actions.perform()

    def keys(self, text):
        ActionChains(self.driver).send_keys(text).perform()

    def screenshot(self, path):
        self.driver.save_screenshot(path)

    def tab(self):
        return self.driver.current_window_handle

    def new_tab(self):
        self.driver.switch_to.new_window("tab")
        return self.tab()

    def to_tab(self, tab):
        self.driver.switch_to.window(tab)

    def window_size(self, width, height):
        self.driver.set_window_size(width, height)

    def quit(self):
        self.driver.quit()


class Chromium(SeleniumEngine):
    name = "Chromium"

    def __init__(self, size=(900, 600), scale=None):
        from selenium.webdriver.chrome.service import Service
        self.profile = tempfile.TemporaryDirectory()
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        flags = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run",
                 f"--window-size={size[0]},{size[1]}", f"--user-data-dir={self.profile.name}"]
        if scale:
            flags.append(f"--force-device-scale-factor={scale}")
        for flag in flags:
            options.add_argument(flag)
        super().__init__(webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options))

    def before_page(self, script):
        """Runs `script` in every page of this tab before the page's own scripts."""
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": script})

    def quit(self):
        super().quit()
        self.profile.cleanup()


class WebKit(SeleniumEngine):
    """WebKitGTK's MiniBrowser; needs a display (xvfb-run). It takes whole
    device scales only, from GDK_SCALE."""
    name = "WebKit"
    browser_per_case = True
    shares_memory = False

    def __init__(self, size=(900, 600), scale=None):
        from selenium.webdriver.webkitgtk.options import Options
        from selenium.webdriver.webkitgtk.service import Service
        options = Options()
        options.binary_location = MINIBROWSER
        options.add_argument("--automation")
        env = dict(os.environ)
        if scale:
            env["GDK_SCALE"] = str(int(scale))
        self.service = Service("/usr/bin/WebKitWebDriver", env=env)
        self.service.start()
        try:
            super().__init__(webdriver.Remote(command_executor=self.service.service_url, options=options))
        except Exception:
            self.service.stop()
            raise
        self.window_size(*size)

    def quit(self):
        try:
            super().quit()
        finally:
            self.service.stop()


class Firefox(Engine):
    """Firefox ESR through WebDriver BiDi: one WebSocket, commands by id,
    events kept. The JavaScript errors it logs are kept in `logged`."""
    name = "Firefox"
    ids = itertools.count(1)
    # Its keys reach the page (keydown, keypress, keyup) but no button takes
    # them as a press, as typed keys would.
    keys_press_buttons = False

    def __init__(self, size=(900, 600), scale=None, prefs=None):
        import websockets  # noqa: F401 (fails early where it is missing)
        if scale:  # a real scale, not only the figure scripts read
            prefs = {**(prefs or {}), "layout.css.devPixelsPerPx": str(scale)}
        self.profile = tempfile.mkdtemp(prefix="tessaly-firefox-")
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            for key, value in {"browser.shell.checkDefaultBrowser": False, "app.update.disabledForTesting": True,
                               "datareporting.policy.dataSubmissionEnabled": False,
                               "toolkit.telemetry.reportingpolicy.firstRun": False,
                               "browser.startup.homepage_override.mstone": "ignore",
                               **(prefs or {})}.items():
                f.write(f"user_pref({json.dumps(key)}, {json.dumps(value)});\n")
        self.process = subprocess.Popen(
            ["firefox-esr", "--headless", "--no-remote", "--remote-debugging-port", "0",
             "-profile", self.profile],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        address = None
        for line in self.process.stderr:
            found = re.search(r"WebDriver BiDi listening on (ws://\S+)", line)
            if found:
                address = found.group(1)
                break
        if not address:
            self.process.kill()
            raise RuntimeError("Firefox did not open WebDriver BiDi")
        threading.Thread(target=lambda: [None for _ in self.process.stderr], daemon=True).start()
        self.loop = asyncio.new_event_loop()
        threading.Thread(target=self.loop.run_forever, daemon=True).start()
        self.waiting = {}
        self.logged = []
        self.socket = self.run(self.connect(address.rstrip("/") + "/session"))
        self.command("session.new", capabilities={})
        self.context = self.command("browsingContext.getTree")["contexts"][0]["context"]
        self.command("session.subscribe", events=["log.entryAdded"])
        self.viewport = {"width": size[0], "height": size[1]}
        self.command("browsingContext.setViewport", context=self.context, viewport=self.viewport)

    def run(self, coroutine, timeout=60):
        return asyncio.run_coroutine_threadsafe(coroutine, self.loop).result(timeout)

    async def connect(self, address):
        import websockets
        socket = await websockets.connect(address, max_size=None)
        self.loop.create_task(self.listen(socket))
        return socket

    async def listen(self, socket):
        async for text in socket:
            message = json.loads(text)
            if "id" in message and message["id"] in self.waiting:
                self.waiting.pop(message["id"]).set_result(message)
            elif message.get("method") == "log.entryAdded" and message["params"].get("level") == "error":
                self.logged.append(message["params"].get("text"))

    async def send(self, message):
        answer = self.loop.create_future()
        self.waiting[message["id"]] = answer
        await self.socket.send(json.dumps(message))
        return await answer

    def command(self, method, **params):
        answer = self.run(self.send({"id": next(self.ids), "method": method, "params": params}))
        if answer.get("type") == "error":
            raise RuntimeError(f"{method}: {answer.get('error')}: {answer.get('message')}")
        return answer["result"]

    def open(self, url):
        self.command("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def before_page(self, script):
        """Runs `script` in every page of this tab before the page's own scripts."""
        self.command("script.addPreloadScript", functionDeclaration=f"() => {{ {script}\n}}",
                     contexts=[self.context])

    def evaluate(self, expression):
        # The answer travels as JSON text, as a WebDriver answer would.
        answer = self.command("script.evaluate", target={"context": self.context}, awaitPromise=True,
                              expression=f"Promise.resolve({expression}).then((v) => JSON.stringify(v ?? null))")
        if answer["type"] == "exception":
            raise RuntimeError(answer["exceptionDetails"]["text"])
        return json.loads(answer["result"]["value"])

    def js(self, script, *args):
        return self.evaluate(f"(function () {{ {script}\n}}).apply(null, {json.dumps(args)})")

    def async_js(self, script, *args):
        return self.evaluate(f"new Promise((done) => (function () {{ {script}\n}})"
                             f".apply(null, [...{json.dumps(args)}, done]))")

    def perform(self, *sources):
        self.command("input.performActions", context=self.context, actions=list(sources))

    def pointer(self, x, y, touch=False):
        kind = "touch" if touch else "mouse"
        self.perform({"type": "pointer", "id": kind, "parameters": {"pointerType": kind}, "actions": [
            {"type": "pointerMove", "x": x, "y": y, "origin": "viewport"},
            {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]})
        self.command("input.releaseActions", context=self.context)

    def keys(self, text):
        actions = [{"type": kind, "value": key} for key in text for kind in ("keyDown", "keyUp")]
        self.perform({"type": "key", "id": "keyboard", "actions": actions})

    def screenshot(self, path):
        data = self.command("browsingContext.captureScreenshot", context=self.context)["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def tab(self):
        return self.context

    def new_tab(self):
        self.context = self.command("browsingContext.create", type="tab")["context"]
        self.command("browsingContext.setViewport", context=self.context, viewport=self.viewport)
        return self.context

    def to_tab(self, tab):
        self.context = tab
        self.command("browsingContext.activate", context=tab)

    def window_size(self, width, height):
        self.viewport = {"width": width, "height": height}
        self.command("browsingContext.setViewport", context=self.context, viewport=self.viewport)

    def quit(self):
        try:
            self.command("session.end")
            self.run(self.socket.close(), timeout=5)
        except Exception:  # noqa: BLE001 (it is closing anyway)
            pass
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.loop.call_soon_threadsafe(self.loop.stop)
        shutil.rmtree(self.profile, ignore_errors=True)


ENGINES = {"chromium": Chromium, "webkit": WebKit, "firefox": Firefox}
