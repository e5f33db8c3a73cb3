"""The page in headless Chromium, driven as a person would drive it.

    python3 tests/web/page_test.py SITE_DIR [SCREENSHOT]
"""
import functools
import http.server
import os
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.pointer_input import PointerInput
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

SITE = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "build-web/site"
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def Serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def Browser(profile, *more_flags):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--no-first-run", "--window-size=900,600",
                 f"--user-data-dir={profile}", *more_flags):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Serve(SITE)
        cls.profile = tempfile.TemporaryDirectory()
        cls.driver = Browser(cls.profile.name)
        cls.url = f"http://127.0.0.1:{cls.server.server_address[1]}/"
        # The first visit installs the service worker, which makes the page
        # cross-origin isolated from its one reload on; the cases start there.
        cls.driver.get(cls.url)
        end = time.monotonic() + 30
        while time.monotonic() < end and not cls.driver.execute_script(
                "return self.crossOriginIsolated && document.body.dataset.ready === 'true'"):
            time.sleep(0.05)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        cls.profile.cleanup()

    def Open(self, query=""):
        self.driver.get(self.url + query)
        self.WaitFor(lambda: self.js("return document.body.dataset.ready === 'true'"))

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def WaitFor(self, condition, timeout=10.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if condition():
                return
            time.sleep(0.02)
        self.fail("timed out")

    def Element(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def Type(self, field, text):
        element = self.Element(field)
        element.clear()
        element.send_keys(text)

    def Shown(self):
        """Count and positions of the state on the picture."""
        return self.js("const s = tessalyPage.shown();"
                       "return s ? [s.count, Array.from(s.pos)] : null;")

    def Ticks(self):
        return self.js("return tessalyPage.ticks")

    def Run(self, count="40", time_step="0.1", period="10"):
        self.Type("countField", count)
        self.Type("timeStepField", time_step)
        self.Type("periodField", period)
        self.Element("runButton").click()

    def CloseError(self):
        self.Element("errorOk").click()
        self.WaitFor(lambda: not self.js("return document.getElementById('errorBox').open"))

    def test_shows_the_window_with_its_defaults(self):
        self.Open()
        self.assertEqual(self.driver.title, "Tessaly")
        self.assertEqual(self.js("return document.documentElement.lang"), "ja")
        for field, label, value in (("countField", "分子の数", "40"),
                                    ("timeStepField", "時間刻み", "0.1"),
                                    ("periodField", "タイマー", "10")):
            self.assertEqual(self.Element(field).get_attribute("value"), value)
            # The label names the field for screen readers.
            self.assertEqual(self.js(f"return document.getElementById('{field}').labels[0].textContent"), label)
        self.assertEqual(self.Element("runButton").text, "実行")
        self.assertEqual(self.Element("stopButton").text, "停止")
        # The desktop's tab order: picture, 実行, 分子の数, 停止, タイマー, 時間刻み;
        # then the observation panel's toggle and the panel.
        order = self.js("return Array.from(document.querySelectorAll('[tabindex]'))"
                        ".sort((a, b) => a.tabIndex - b.tabIndex).map(e => e.id)")
        self.assertEqual(order, ["picture", "runButton", "countField", "stopButton",
                                 "periodField", "timeStepField", "panelButton", "panel"])
        self.assertIsNone(self.Shown())

    def test_run_draws_at_once_and_the_discs_move_until_stop(self):
        self.Open()
        self.Element("runButton").click()
        first = self.Shown()
        self.assertEqual(first[0], 40)
        self.WaitFor(lambda: self.Ticks() >= 5 and self.Shown()[1] != first[1])
        self.Element("stopButton").click()
        held = self.Shown()
        ticks = self.Ticks()
        time.sleep(0.3)
        self.assertEqual(self.Shown(), held)
        self.assertEqual(self.Ticks(), ticks)

    def test_fields_are_read_as_typed_full_width_included(self):
        self.Open()
        for count, time_step, period, expected in (("４０", "０．１", "１０", 40),
                                                   ("12abc", "0.1", "0", 12),
                                                   ("2.5", "0.1", "0", 2)):
            self.Run(count, time_step, period)
            self.assertEqual(self.Shown()[0], expected, count)

    def test_period_zero_shows_the_arrangement_and_never_ticks(self):
        self.Open()
        self.Run(period="0")
        shown = self.Shown()
        time.sleep(0.3)
        self.assertEqual(self.Ticks(), 0)
        self.assertEqual(self.Shown(), shown)

    def test_a_bad_field_is_reported_by_name_and_nothing_changes(self):
        self.Open()
        self.Run("7")
        self.WaitFor(lambda: self.Ticks() >= 2)
        for count, time_step, period, caption, kind in (
                ("40000", "0.1", "10", "分子の数", "オーバーフロー"),
                ("-3", "0.1", "10", "分子の数", "範囲外の値"),
                ("40", "1e999", "10", "時間刻み", "オーバーフロー"),
                ("40", "0.1", "70000", "タイマー", "範囲外の値"),
                ("-3", "1e999", "-1", "時間刻み", "オーバーフロー")):
            self.Run(count, time_step, period)
            message = self.Element("errorMessage").text
            self.assertIn(f"「{caption}」", message)
            self.assertIn(kind, message)
            self.CloseError()
            ticks = self.Ticks()
            self.assertEqual(self.Shown()[0], 7)
            self.WaitFor(lambda: self.Ticks() > ticks)  # still running

    def test_an_arithmetic_error_stops_and_keeps_the_picture(self):
        self.Open()
        self.Run("40", "1e300", "10")
        self.WaitFor(lambda: self.js("return document.getElementById('errorBox').open"))
        self.assertIn("オーバーフロー", self.Element("errorMessage").text)
        shown = self.Shown()
        self.CloseError()
        time.sleep(0.2)
        self.assertFalse(self.js("return tessalyPage.running()"))
        self.assertEqual(self.Shown(), shown)

    def test_the_seed_in_the_address_places_the_same_arrangement(self):
        arrangements = []
        for query in ("?seed=7", "?seed=7", "?seed=8"):
            self.Open(query)
            self.Run(period="0")
            arrangements.append(self.Shown())
        self.assertEqual(arrangements[0], arrangements[1])
        self.assertNotEqual(arrangements[0], arrangements[2])

    def test_typing_echoes_and_stop_acts_during_a_long_step(self):
        self.Open()
        self.Run("32767", "0.1", "10")
        self.WaitFor(lambda: self.js("return document.getElementById('picture').classList.contains('busy')"))
        self.Type("timeStepField", "0.25")
        self.assertEqual(self.Element("timeStepField").get_attribute("value"), "0.25")
        # The page's own thread is free: a script runs at once.
        started = time.monotonic()
        self.js("return 0")
        self.assertLess(time.monotonic() - started, 0.5)
        self.Element("stopButton").click()
        self.assertFalse(self.js("return tessalyPage.running()"))
        shown = self.Shown()
        time.sleep(0.5)
        self.assertEqual(self.Ticks(), 0)  # the step in flight never showed
        self.assertEqual(self.Shown(), shown)

    def test_steps_on_every_core_and_stop_leaves_no_thread_at_work(self):
        self.Open()
        self.assertTrue(self.js("return self.crossOriginIsolated && typeof SharedArrayBuffer === 'function'"))
        self.assertTrue(self.js("return tessalyPage.stepModule.endsWith('/tessaly_web_threads.js')"))
        cores = self.js("return Math.min(8, navigator.hardwareConcurrency)")
        self.assertEqual(self.js("return tessalyPage.cores"), cores)
        self.Toggle().click()
        self.assertEqual(self.Value("計算するコア"), str(cores))
        self.Toggle().click()
        # 停止 during a step of the largest count: every thread at work on it
        # has left within 50 ms.
        self.Run("32767", "0.1", "10")
        self.WaitFor(lambda: self.js("return tessalyPage.busyThreads") == cores)
        time.sleep(0.2)
        self.assertEqual(self.js("return tessalyPage.busyThreads"), cores)
        idle_after_ms = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            document.getElementById('stopButton').click();
            const stopped = performance.now();
            const poll = () => (tessalyPage.busyThreads === 0 ? done(performance.now() - stopped)
                                                               : setTimeout(poll, 1));
            poll();""")
        self.assertLess(idle_after_ms, 50)
        time.sleep(0.3)
        self.assertEqual(self.js("return tessalyPage.busyThreads"), 0)
        self.assertEqual(self.Ticks(), 0)
        # 実行 during a step starts afresh on the same threads.
        self.Run("32767", "0.1", "10")
        self.WaitFor(lambda: self.js("return tessalyPage.busyThreads") == cores)
        self.Run("400", "0.1", "10")
        self.WaitFor(lambda: self.Ticks() >= 5)
        self.assertEqual(self.Shown()[0], 400)
        self.assertEqual(self.js("return tessalyPage.errors"), [])

    def test_the_picture_has_a_pixel_for_every_device_pixel(self):
        for ratio in ("1.5", "2"):
            with tempfile.TemporaryDirectory() as profile:
                driver = Browser(profile, f"--force-device-scale-factor={ratio}")
                try:
                    driver.get(self.url)
                    end = time.monotonic() + 10
                    while time.monotonic() < end and not driver.execute_script(
                            "return document.body.dataset.ready === 'true'"):
                        time.sleep(0.05)
                    width, css_width, density = driver.execute_script(
                        "const p = document.getElementById('picture');"
                        "return [p.width, p.clientWidth, devicePixelRatio]")
                finally:
                    driver.quit()
            self.assertEqual(density, float(ratio))
            self.assertLessEqual(abs(width - css_width * density), density, ratio)

    def test_a_tap_on_run_starts_a_run(self):
        self.Open()
        self.Type("periodField", "0")
        actions = ActionBuilder(self.driver, mouse=PointerInput(interaction.POINTER_TOUCH, "finger"))
        actions.pointer_action.move_to(self.Element("runButton")).pointer_down().pointer_up()
        actions.perform()
        self.WaitFor(lambda: self.Shown() is not None)
        self.assertEqual(self.Shown()[0], 40)

    def test_opens_offline_once_opened_seed_included(self):
        server = Serve(SITE)
        url = f"http://127.0.0.1:{server.server_address[1]}/"
        try:
            self.driver.get(url)
            self.WaitFor(lambda: self.js("return navigator.serviceWorker.controller !== null ||"
                                         " (navigator.serviceWorker.ready.then(() => location.reload()), false)"))
        finally:
            server.shutdown()
            server.server_close()
        self.driver.get(url + "?seed=7")
        self.WaitFor(lambda: self.js("return document.body.dataset.ready === 'true'"))
        self.Run(period="0")
        self.assertEqual(self.Shown()[0], 40)

    def Toggle(self):
        """The observation panel's toggle, found by its caption."""
        return self.driver.find_element(By.XPATH, "//button[normalize-space()='観測']")

    def Panel(self):
        return self.driver.find_element(By.CSS_SELECTOR, "[aria-label='観測']:not(button)")

    def Value(self, caption):
        """The number shown beside `caption` in the panel."""
        return self.driver.find_element(
            By.XPATH, f"//dt[normalize-space()='{caption}']/following-sibling::dd[1]").text

    def test_the_observation_panel_shows_and_hides_its_figures(self):
        self.Open()
        toggle = self.Toggle()
        self.assertEqual(toggle.get_attribute("aria-controls"), "panel")
        self.assertFalse(self.Panel().is_displayed())
        self.Run("40", "0.1", "10")
        toggle.click()
        self.assertTrue(self.Panel().is_displayed())
        self.assertEqual(toggle.get_attribute("aria-expanded"), "true")
        text = self.Panel().text
        for caption in ("数値 (換算単位)", "温度 T = KE / N", "運動エネルギー / 分子", "壁の圧力",
                        "1 分子あたりの位置エネルギー", "動径分布関数 g(r)", "速さの分布",
                        "マクスウェル–ボルツマン分布"):
            self.assertIn(caption, text)
        self.WaitFor(lambda: self.js("return tessalyPage.refreshes()") >= 2)
        first = (self.Value("時刻"), self.Value("位置エネルギー / 分子"))
        self.WaitFor(lambda: (self.Value("時刻"), self.Value("位置エネルギー / 分子")) != first
                     and self.Value("時刻") != first[0])
        # T = KE / N with the kinetic energy held at 50.
        self.assertEqual(self.Value("温度 T = KE / N"), "1.25 ε/k_B")
        self.assertEqual(self.Value("分子の数"), "40")
        self.assertRegex(self.Value("壁の圧力"), r"^[0-9.e+-]+ ε/σ²$")
        # At most about ten refreshes a second, however fast the ticks.
        refreshes, ticks = self.js("return [tessalyPage.refreshes(), tessalyPage.ticks]")
        time.sleep(1.0)
        more, more_ticks = self.js("return [tessalyPage.refreshes(), tessalyPage.ticks]")
        self.assertLessEqual(more - refreshes, 12)
        self.assertGreater(more_ticks - ticks, 20)
        # The plots are drawn in device pixels.
        width, css = self.js("const c = document.getElementById('pairPlot');"
                             "return [c.width, c.clientWidth * devicePixelRatio]")
        self.assertLessEqual(abs(width - css), 1)
        # The keyboard hides it again, and hidden it works out nothing.
        toggle.send_keys(Keys.ENTER)
        self.assertFalse(self.Panel().is_displayed())
        self.assertEqual(toggle.get_attribute("aria-expanded"), "false")
        refreshes = self.js("return tessalyPage.refreshes()")
        ticks = self.Ticks()
        self.WaitFor(lambda: self.Ticks() > ticks + 10)
        self.assertEqual(self.js("return tessalyPage.refreshes()"), refreshes)

    def test_the_panel_changes_no_bit_of_the_steps(self):
        """Shown, hidden or toggled during the run, the picture is the state
        that the module's unmeasured steps reach from the same seed."""
        for toggles_at in ((), (0,), (5,), (0, 8)):
            self.Open("?seed=7")
            self.Run("40", "0.1", "10")
            for at in toggles_at:
                self.WaitFor(lambda: self.Ticks() >= at)
                self.Toggle().click()
            self.WaitFor(lambda: self.Ticks() >= 15)
            self.Element("stopButton").click()
            same = self.driver.execute_async_script("""
                const done = arguments[arguments.length - 1];
                const shown = tessalyPage.shown();
                import('./tessaly_web.js').then((m) => m.default()).then((t) => {
                  t.ccall('tessaly_use_seed', 'number', ['string'], ['7']);
                  t.ccall('tessaly_read_fields', 'number', Array(6).fill('string'),
                          ['40', '40', '0.1', '0.1', '10', '10']);
                  t._tessaly_start();
                  for (let k = 0; k < shown.steps; ++k) t._tessaly_step(0);
                  const at = t._tessaly_positions() / 8;
                  const pos = t.HEAPF64.subarray(at, at + shown.pos.length);
                  done([shown.steps, shown.pos.every((x, k) => Object.is(x, pos[k]))]);
                });""")
            self.assertGreaterEqual(same[0], 14, toggles_at)
            self.assertTrue(same[1], toggles_at)

    def test_screenshot_shows_the_japanese_captions(self):
        self.Open()
        self.Element("runButton").click()
        self.WaitFor(lambda: self.Ticks() >= 3)
        # The captions' own glyphs come from a Japanese font, not a fallback box.
        self.assertTrue(self.js("return document.fonts.check('12px IPAGothic', '分子の数時間刻み') ||"
                                " document.fonts.check('12px \"Noto Sans CJK JP\"', '分子の数時間刻み')"))
        if SCREENSHOT:
            self.driver.save_screenshot(SCREENSHOT)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
