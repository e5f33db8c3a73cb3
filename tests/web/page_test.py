"""The page in headless Chromium, driven as a person would drive it.

    python3 tests/web/page_test.py SITE_DIR [SCREENSHOT]
"""
import functools
import http.server
import os
import subprocess
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
# The node command line beside the site (build-web/tessaly.js).
NODE_TESSALY = os.path.join(os.path.dirname(SITE), "tessaly.js")


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

    def test_opens_offline_once_opened_address_included(self):
        server = Serve(SITE)
        url = f"http://127.0.0.1:{server.server_address[1]}/"
        try:
            self.driver.get(url)
            self.WaitFor(lambda: self.js("return navigator.serviceWorker.controller !== null ||"
                                         " (navigator.serviceWorker.ready.then(() => location.reload()), false)"))
        finally:
            server.shutdown()
            server.server_close()
        self.driver.get(url + "?count=30&time-step=0.05&period=0&seed=7&observe&run")
        self.WaitFor(lambda: self.js("return document.body.dataset.ready === 'true'"))
        self.WaitFor(lambda: self.Shown() is not None)
        self.assertEqual(self.Shown()[0], 30)
        self.assertEqual(self.js("return tessalyPage.seed()"), "7")
        self.assertTrue(self.Panel().is_displayed())
        # 共有 draws its code with the library the service worker keeps.
        self.ShareLink()
        self.assertGreater(self.js("return Number(document.getElementById('shareCode').dataset.modules)"), 0)
        self.assertEqual(self.js("return tessalyPage.errors"), [])

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

    # ----- Seeds, the address, 共有, saving and help ------------------------

    def Arrangement(self):
        """The arrangement 実行 placed: the shown state after a run with period 0."""
        self.WaitFor(lambda: self.Shown() is not None)
        return self.Shown()

    def ShareLink(self):
        self.Element("shareButton").click()
        self.WaitFor(lambda: self.js("return document.getElementById('shareBox').open"))
        return self.Element("shareLink").get_attribute("value")

    def CloseShare(self):
        self.Element("shareClose").click()
        self.WaitFor(lambda: not self.js("return document.getElementById('shareBox').open"))

    def Decode(self, png):
        """The text of the QR code in a PNG, as zbarimg reads it."""
        with tempfile.NamedTemporaryFile(suffix=".png") as image:
            image.write(png)
            image.flush()
            read = subprocess.run(["zbarimg", "--raw", "-q", image.name], capture_output=True, text=True)
        self.assertEqual(read.returncode, 0, read.stderr)
        return read.stdout.rstrip("\n")

    def test_a_run_from_the_clock_is_shared_by_a_link_and_a_qr_code_that_reopen_it(self):
        self.Open()
        # Before any run: the fields' texts, no seed.
        self.Type("countField", "７")
        link = self.ShareLink()
        self.assertEqual(link, self.url + "?count=%EF%BC%97&time-step=0.1&period=10&run")
        self.CloseShare()
        self.Run("４０", "1e-1", "0")
        first = self.Arrangement()
        seed = self.js("return tessalyPage.seed()")
        self.assertRegex(seed, r"^[0-9]+$")
        self.Toggle().click()
        self.assertEqual(self.Value("乱数の種"), seed)
        link = self.ShareLink()
        # As read for the last 実行: whole numbers and the shortest form.
        self.assertEqual(link, f"{self.url}?count=40&time-step=0.1&period=0&seed={seed}&observe&run")
        self.assertEqual(self.Decode(self.Element("shareCode").screenshot_as_png), link)
        cell, width, css = self.js("const c = document.getElementById('shareCode');"
                                   "return [Number(c.dataset.cell), c.width, c.clientWidth * devicePixelRatio]")
        self.assertGreaterEqual(cell, 4)
        self.assertLessEqual(abs(width - css), 1)  # drawn in the screen's own pixels
        # Served on the loopback here: pupils' devices cannot open it.
        warning = self.Element("shareLoopback")
        self.assertTrue(warning.is_displayed())
        self.assertIn("127.0.0.1", warning.text)
        self.assertIn("README", warning.text)
        # コピー: plain http on the loopback is a secure context, so the
        # clipboard takes it; elsewhere the link is left selected.
        self.Element("shareCopy").click()
        self.WaitFor(lambda: self.Element("shareCopied").text != "")
        self.assertEqual(self.js("const f = document.getElementById('shareLink');"
                                 "return document.activeElement === f ? f.value.substring("
                                 "f.selectionStart, f.selectionEnd) : f.value"), link)
        self.CloseShare()
        # The link elsewhere: the same arrangement, bit for bit, run at once
        # with the panel shown.
        self.driver.get(link)
        self.WaitFor(lambda: self.js("return document.body.dataset.ready === 'true'"))
        self.assertEqual(self.Arrangement(), first)
        self.assertEqual(self.js("return tessalyPage.seed()"), seed)
        self.assertTrue(self.Panel().is_displayed())
        self.assertEqual([self.Element(f).get_attribute("value") for f in ("countField", "timeStepField",
                                                                           "periodField")], ["40", "0.1", "0"])
        self.assertEqual(self.js("return tessalyPage.errors"), [])

    def test_address_values_go_into_the_fields_and_a_bad_one_gets_its_dialog(self):
        for query, fields, message in (
                ("?count=40000&run", ("40000", "0.1", "10"), ("「分子の数」", "オーバーフロー")),
                ("?count=5&time-step=1e999&period=3&run", ("5", "1e999", "3"), ("「時間刻み」", "オーバーフロー")),
                ("?period=-1&run", ("40", "0.1", "-1"), ("「タイマー」", "範囲外の値")),
                ("?seed=18446744073709551616&period=0&run", ("40", "0.1", "0"), ("乱数の種", "seed=")),
                ("?seed=7x&period=0", ("40", "0.1", "0"), ("乱数の種",))):
            self.Open(query)
            self.assertEqual([self.Element(f).get_attribute("value") for f in
                              ("countField", "timeStepField", "periodField")], list(fields), query)
            self.WaitFor(lambda: self.js("return document.getElementById('errorBox').open"))
            for part in message:
                self.assertIn(part, self.Element("errorMessage").text, query)
            self.CloseError()
            if "seed" in query:
                # The clock places, as without a seed.
                self.Element("runButton").click()
                self.assertRegex(self.js("return tessalyPage.seed()"), r"^[0-9]+$")
                self.assertEqual(self.Arrangement()[0], 40)
            else:
                self.assertIsNone(self.Shown(), query)  # nothing ran
            self.assertEqual(self.js("return tessalyPage.errors"), [])

    def Saved(self, button):
        """Presses a save button; the file the page hands the browser."""
        before = self.js("return tessalyPage.saved.length")
        self.Element(button).click()
        self.WaitFor(lambda: self.js("return tessalyPage.saved.length") > before)
        return self.js("return tessalyPage.saved[tessalyPage.saved.length - 1]")

    def Batch(self, *args):
        """What node's batch run writes, as text."""
        with tempfile.TemporaryDirectory() as out:
            path = os.path.join(out, "out")
            subprocess.run(["node", NODE_TESSALY, "--batch", *args, path], check=True)
            with open(path, encoding="utf-8") as written:
                return written.read()

    def test_the_saved_table_and_frame_are_the_batch_runs_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as downloads:
            self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                        {"behavior": "allow", "downloadPath": downloads})
            for count, time_step, seed in (("40", "0.05", "7"), ("3", "-0.1", "18446744073709551615")):
                self.Open(f"?seed={seed}&observe")
                self.Run(count, time_step, "1")
                self.WaitFor(lambda: self.js("return tessalyPage.rows()") >= 5)
                self.Element("stopButton").click()
                csv = self.Saved("csvButton")
                rows = self.js("return tessalyPage.rows()")
                last = 10 * (rows - 1)
                self.assertEqual(csv["name"], f"tessaly-{seed}-{last}.csv")
                self.assertEqual(csv["text"], self.Batch("--count", count, "--time-step", time_step, "--seed", seed,
                                                         "--steps", str(last), "--every", "10", "--thermo"))
                xyz = self.Saved("xyzButton")
                steps = self.js("return tessalyPage.shown().steps")
                self.assertEqual(xyz["name"], f"tessaly-{seed}-{steps}.xyz")
                frames = self.Batch("--count", count, "--time-step", time_step, "--seed", seed,
                                    "--steps", str(steps), "--every", str(steps), "--xyz")
                lines = frames.splitlines(keepends=True)
                self.assertEqual(xyz["text"], "".join(lines[int(count) + 2:]))
                self.assertIn(f" step={steps} ", xyz["text"].splitlines()[1])
                # What reached the download folder is that same text.
                for saved in (csv, xyz):
                    path = os.path.join(downloads, saved["name"])
                    self.WaitFor(lambda: os.path.exists(path))
                    with open(path, encoding="utf-8") as file:
                        self.assertEqual(file.read(), saved["text"])
                self.assertEqual(self.js("return tessalyPage.errors"), [])

    def test_nothing_is_recorded_while_the_panel_is_hidden(self):
        self.Open("?seed=3")
        self.Run("20", "0.1", "1")
        self.WaitFor(lambda: self.Ticks() >= 30)
        self.assertEqual(self.js("return tessalyPage.rows()"), 0)
        self.assertFalse(self.Element("csvButton").is_enabled())
        self.Toggle().click()
        ticks = self.Ticks()
        self.WaitFor(lambda: self.js("return tessalyPage.rows()") >= 3)
        self.assertIn("記録した行", self.Element("recordNote").text)
        self.assertGreater(self.Ticks(), ticks + 10)

    def test_the_help_shows_the_text_of_the_module(self):
        self.Open()
        self.Element("helpButton").click()
        self.WaitFor(lambda: self.js("return document.getElementById('helpBox').open"))
        text = self.Element("helpText").text
        for part in ("分子の数", "時間刻み", "タイマー", "50", "共有", "CSV", "MIT"):
            self.assertIn(part, text)
        self.Element("helpClose").click()
        self.WaitFor(lambda: not self.js("return document.getElementById('helpBox').open"))

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
