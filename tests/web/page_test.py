"""The page driven as a person would drive it: one table of cases, run in
Chromium, WebKitGTK and Firefox (tests/web/engines.py). Every case ends by
checking that neither the page nor its worker had an uncaught error.

    xvfb-run -a python3 tests/web/page_test.py SITE_DIR [SCREENSHOT_PREFIX] [ENGINE...]
"""
import contextlib
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from engines import ENGINES, Chromium, Firefox, Serve, WebKit  # noqa: E402

SITE = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "build-web/site"
# The build's own files: every file but the pages at the site's addresses.
BUILD = next(os.scandir(os.path.join(SITE, "builds"))).path
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None
CHOSEN = sys.argv[3:] or list(ENGINES)

# Device pixel ratios each engine is checked at: WebKitGTK takes whole ones.
SCALES = {Chromium: (1.5, 2), WebKit: (2,), Firefox: (1.5, 2)}

# Makes WebAssembly.validate refuse any module with a SIMD instruction (the
# prefix 0xfd), as a browser without SIMD does.
NO_SIMD = """{
  const validate = WebAssembly.validate;
  WebAssembly.validate = (bytes) => !new Uint8Array(bytes.buffer ?? bytes).includes(0xfd) && validate(bytes);
}"""

# Hands the page, for its first stepping worker, one that never answers, as
# a worker blocked while it starts would be.
SILENT_FIRST_WORKER = """{
  const Real = Worker;
  let silenced = false;
  window.Worker = class extends Real {
    constructor(url, options) {
      const silent = !silenced && String(url).endsWith('/worker.js');
      silenced ||= silent;
      super(silent ? URL.createObjectURL(new Blob([''], { type: 'text/javascript' })) : url, options);
    }
  };
}"""

# A page on one core, though its service worker makes it isolated; and a
# record of what any other build's files say when they run.
ONE_CORE_HEARING_BUILDS = """
Object.defineProperty(globalThis, 'crossOriginIsolated', { get: () => false });
window.heard = [];
new BroadcastChannel('tessaly-build').onmessage = ({ data }) => window.heard.push(data);"""
HEARING_BUILDS = ONE_CORE_HEARING_BUILDS.split("\n", 2)[2]


def NextBuild(site, into):
    """A copy of `site` as the next build: its folder renamed, and its worker
    and modules saying, when they run, that they are the next build's."""
    shutil.copytree(site, into)
    old = os.path.basename(BUILD)
    new = old[::-1]
    os.rename(os.path.join(into, "builds", old), os.path.join(into, "builds", new))
    for name in ("index.html", "guide.html", "sw.js"):
        path = os.path.join(into, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new))
    for name in os.listdir(os.path.join(into, "builds", new)):
        if name == "worker.js" or re.fullmatch(r"tessaly_web\w*\.js", name):
            with open(os.path.join(into, "builds", new, name), "a", encoding="utf-8") as script:
                script.write(f"\nglobalThis.tessalyNextBuild = true;"
                             f" new BroadcastChannel('tessaly-build').postMessage('{name}');\n")
    return new


def ModuleName(engine, which="module"):
    """The file name of the module the page's own instance runs (or `stepModule`)."""
    return engine.js(f"return new URL(tessalyPage.{which}).pathname.split('/').pop()")


def Reference(module, steps):
    """The positions of the reference run (reference_steps.mjs) after `steps` steps."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference_steps.mjs")
    out = subprocess.run(["node", script, os.path.join(BUILD, module), str(steps)],
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)


def WaitForFile(path, timeout=10.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end and not os.path.exists(path):
        time.sleep(0.05)
    return os.path.exists(path)


class Cases:
    """The cases, written once; `Engine` is set by each engine's class."""
    Engine = None

    @classmethod
    def setUpClass(cls):
        cls.server = Serve(SITE)
        cls.url = f"http://127.0.0.1:{cls.server.server_address[1]}/"
        cls.e = cls.Engine()
        cls.e.fresh = True

    @classmethod
    def tearDownClass(cls):
        cls.e.quit()
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        self.opened = False
        self.Fresh()
        if hasattr(self.e, "logged"):
            self.e.logged.clear()  # each case answers for the errors of its own pages

    def Fresh(self):
        """A new browser where the engine needs one for each page that ran."""
        if self.Engine.browser_per_case and not getattr(self.e, "fresh", False):
            self.e.quit()
            type(self).e = self.e = self.Engine()
        self.e.fresh = False

    def tearDown(self):
        if self.opened:
            # Firefox logs, as an error of the page after, the module import
            # of a worker whose page was left before it finished (the module
            # with threads starts a helper, which loads it again): a page is
            # left only once its worker has started.
            self.LetTheWorkerLoad()
            self.NoErrors(self.e)

    def LetTheWorkerLoad(self):
        started = ("return !window.tessalyPage || document.body.dataset.failed === 'true'"
                   " || tessalyPage.workerStarted === true")
        if not self.e.wait(started, 30.0):
            self.fail(self.e.js("return ['the worker never started', tessalyPage.errors, tessalyPage.stepModule]"))

    def NoErrors(self, engine):
        """No uncaught error in the page or its worker, none in the log either."""
        errors = engine.js("return window.tessalyPage ? tessalyPage.errors : ['no tessalyPage']")
        restarts = engine.js("return window.tessalyPage?.workerRestarts")
        self.assertEqual(errors + getattr(engine, "logged", []), [], f"workers started anew: {restarts}")

    def Open(self, query="", engine=None):
        engine = engine or self.e
        if self.opened and engine is self.e:
            self.LetTheWorkerLoad()  # of the page this one replaces
        self.opened = True
        engine.open(self.url + query)
        # A first visit reloads once its service worker takes control, to be
        # cross-origin isolated (threads.js); the case starts on the page that stays.
        self.assertTrue(engine.wait("return (document.body?.dataset.ready === 'true' && tessalyPage.settled)"
                                    " || document.body?.dataset.failed === 'true'"), "never started")
        self.assertFalse(engine.js("return document.body.dataset.failed === 'true'"),
                         engine.js("return [document.getElementById('startError').textContent, tessalyPage.errors]"))

    def WaitFor(self, script, timeout=15.0):
        self.assertTrue(self.e.wait(script, timeout), script)

    def Shown(self):
        """Count and positions of the state on the picture."""
        return self.e.js("const s = tessalyPage.shown(); return s ? [s.count, Array.from(s.pos)] : null;")

    def Ticks(self):
        return self.e.js("return tessalyPage.ticks")

    def Text(self, element_id):
        return self.e.js("return document.getElementById(arguments[0]).textContent", element_id)

    def Run(self, count="40", time_step="0.1", period="10"):
        self.e.type("分子の数", count)
        self.e.type("時間刻み", time_step)
        self.e.type("タイマー", period)
        self.e.click("実行")

    def ErrorShown(self):
        return self.e.js("return document.getElementById('errorBox').open")

    def CloseError(self):
        self.e.click("OK")
        self.WaitFor("return !document.getElementById('errorBox').open")

    def test_shows_the_window_with_its_defaults(self):
        self.Open()
        self.assertEqual(self.e.js("return [document.title, document.documentElement.lang]"), ["Tessaly", "ja"])
        for field, label, value in (("countField", "分子の数", "40"),
                                    ("timeStepField", "時間刻み", "0.1"),
                                    ("periodField", "タイマー", "10")):
            # The label names the field for screen readers.
            self.assertEqual(self.e.js("const f = document.getElementById(arguments[0]);"
                                       "return [f.value, f.labels[0].textContent]", field), [value, label])
        self.assertEqual([self.Text("runButton"), self.Text("stopButton")], ["実行", "停止"])
        # The desktop's tab order, from the order of the elements: picture,
        # 実行, 分子の数, 停止, タイマー, 時間刻み, then the panel's toggle.
        order = self.e.js("return Array.from(document.querySelectorAll('#window > *, #panel'))"
                          ".filter((e) => e.tabIndex >= 0 && !e.hidden).map((e) => [e.id, e.tabIndex])")
        self.assertEqual(order, [["picture", 0], ["runButton", 0], ["countField", 0], ["stopButton", 0],
                                 ["periodField", 0], ["timeStepField", 0], ["panelButton", 0],
                                 ["shareButton", 0], ["helpButton", 0]])
        self.assertIsNone(self.Shown())
        self.assertTrue(self.e.js("return tessalyPage.simd"))

    def test_run_draws_at_once_and_the_discs_move_until_stop(self):
        self.Open()
        self.e.click("実行")
        first = self.Shown()
        self.assertEqual(first[0], 40)
        self.assertTrue(self.e.wait("return tessalyPage.ticks >= 5") and self.Shown()[1] != first[1])
        self.e.click("停止")
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

    def test_the_discs_are_drawn_where_the_arrangement_places_them(self):
        self.Open("?seed=7")
        self.Run("40", "0.1", "0")
        self.WaitFor("return tessalyPage.shown()?.steps === 0")
        pos = Reference("tessaly_web.js", 0)
        width, height = self.e.js("const p = document.getElementById('picture'); return [p.width, p.height]")
        centres = [(pos[2 * i] * width / 10, pos[2 * i + 1] * height / 10) for i in range(1, len(pos) // 2)]
        reach = width / 20 + max(1, width / 277) + 3  # a disc's radius, its rim and the smoothing beyond

        def Clear(point, *discs):
            return all(math.dist(point, c) > reach for c in discs)

        # Each disc's middle, where no other disc reaches, is its black; well
        # away from every disc, the box's slate grey.
        discs = [(c, [0, 0, 0, 255]) for k, c in enumerate(centres) if Clear(c, *centres[:k], *centres[k + 1:])]
        self.assertGreaterEqual(len(discs), 20)
        grid = width // 40
        points = discs + [((x, y), [112, 128, 144, 255]) for x in range(2, width, grid)
                          for y in range(2, height, grid) if Clear((x, y), *centres)]
        # Read once the frame that shows it has passed, from a copy, whatever
        # context the picture is drawn with.
        seen = self.e.async_js("""
            const [points, done] = arguments;
            requestAnimationFrame(() => requestAnimationFrame(() => {
              const picture = document.getElementById('picture');
              const copy = Object.assign(document.createElement('canvas'), { width: picture.width,
                                                                             height: picture.height });
              const context = copy.getContext('2d');
              context.drawImage(picture, 0, 0);
              done(points.map(([x, y]) => Array.from(context.getImageData(x, y, 1, 1).data)));
            }));""", [[math.floor(x), math.floor(y)] for (x, y), _ in points])
        for ((x, y), colour), pixel in zip(points, seen):
            self.assertEqual(pixel, colour, (x, y))

    def test_a_bad_field_is_reported_by_name_and_nothing_changes(self):
        self.Open()
        self.Run("7")
        self.WaitFor("return tessalyPage.ticks >= 2")
        for count, time_step, period, caption, kind in (
                ("40000", "0.1", "10", "分子の数", "オーバーフロー"),
                ("-3", "0.1", "10", "分子の数", "範囲外の値"),
                ("40", "1e999", "10", "時間刻み", "オーバーフロー"),
                ("40", "0.1", "70000", "タイマー", "範囲外の値"),
                ("-3", "1e999", "-1", "時間刻み", "オーバーフロー")):
            self.Run(count, time_step, period)
            message = self.Text("errorMessage")
            self.assertIn(f"「{caption}」", message)
            self.assertIn(kind, message)
            self.CloseError()
            ticks = self.Ticks()
            self.assertEqual(self.Shown()[0], 7)
            self.WaitFor(f"return tessalyPage.ticks > {ticks}")  # still running

    def test_an_arithmetic_error_stops_and_keeps_the_picture(self):
        self.Open()
        self.Run("40", "1e300", "10")
        self.WaitFor("return document.getElementById('errorBox').open")
        self.assertIn("オーバーフロー", self.Text("errorMessage"))
        shown = self.Shown()
        self.CloseError()
        time.sleep(0.2)
        self.assertFalse(self.e.js("return tessalyPage.running()"))
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
        self.WaitFor("return document.getElementById('picture').classList.contains('busy')")
        self.e.type("時間刻み", "0.25")
        self.assertEqual(self.e.js("return document.getElementById('timeStepField').value"), "0.25")
        # The page's own thread is free: its scripts run while the step is at work.
        self.WaitFor("return tessalyPage.busyThreads > 0")
        self.e.click("停止")
        self.assertFalse(self.e.js("return tessalyPage.running()"))
        shown = self.Shown()
        time.sleep(0.5)
        self.assertEqual(self.Ticks(), 0)  # the step in flight never showed
        self.assertEqual(self.Shown(), shown)

    def test_steps_on_every_core_where_isolated_and_stop_leaves_no_thread_at_work(self):
        self.Open()
        isolated, named = self.e.js("return [self.crossOriginIsolated === true"
                                    " && typeof SharedArrayBuffer === 'function', navigator.hardwareConcurrency]")
        if self.e.shares_memory:
            # Isolated from the service worker's first reload on, and told of
            # this machine's cores.
            self.assertTrue(isolated)
            if min(os.cpu_count(), len(os.sched_getaffinity(0))) > 1:
                self.assertGreater(named, 1)
        threads = isolated and named > 1
        cores = min(8, named) if threads else 1
        self.assertEqual(ModuleName(self.e, "stepModule"),
                         "tessaly_web_threads.js" if threads else ModuleName(self.e))
        self.assertEqual(self.e.js("return tessalyPage.cores"), cores)
        self.assertEqual(self.Value("計算するコア"), str(cores))
        # 停止 during a step of the largest count: every thread at work on it
        # leaves at once (1 to 24 ms here under a load of nine on two cores,
        # once 71 ms), not after the seconds the step takes.
        self.Run("32767", "0.1", "10")
        self.WaitFor(f"return tessalyPage.busyThreads === {cores}")
        time.sleep(0.2)
        idle_after_ms = self.e.async_js("""
            const done = arguments[arguments.length - 1];
            document.getElementById('stopButton').click();
            const stopped = performance.now();
            const poll = () => (tessalyPage.busyThreads === 0 ? done(performance.now() - stopped)
                                                               : setTimeout(poll, 1));
            poll();""")
        self.assertLess(idle_after_ms, 200)
        time.sleep(0.3)
        self.assertEqual(self.e.js("return [tessalyPage.busyThreads, tessalyPage.ticks]"), [0, 0])
        # 実行 during a step starts afresh, on every thread again.
        self.Run("32767", "0.1", "10")
        self.WaitFor(f"return tessalyPage.busyThreads === {cores}")
        self.Run("400", "0.1", "10")
        self.WaitFor("return tessalyPage.ticks >= 5")
        self.assertEqual(self.Shown()[0], 400)

    def test_the_picture_has_a_pixel_for_every_device_pixel(self):
        for ratio in SCALES[self.Engine]:
            engine = self.Engine(scale=ratio)
            try:
                self.Open(engine=engine)
                width, css_width, density = engine.js(
                    "const p = document.getElementById('picture'); return [p.width, p.clientWidth, devicePixelRatio]")
                self.NoErrors(engine)
            finally:
                self.opened = False
                engine.quit()
            self.assertEqual(density, ratio)
            self.assertLessEqual(abs(width - css_width * density), density, ratio)

    def test_a_narrow_screen_puts_finger_sized_controls_below_the_picture(self):
        self.e.window_size(412, 823)
        try:
            self.Open()
            below, small = self.e.js("""
                const bottom = document.getElementById('picture').getBoundingClientRect().bottom;
                const controls = Array.from(document.querySelectorAll('#window button, #window input, #window label'));
                const boxes = controls.map((e) => [e, e.getBoundingClientRect()]);
                return [boxes.every(([, r]) => r.top >= bottom),
                        boxes.filter(([e, r]) => (e.tagName !== 'LABEL' && (r.width < 24 || r.height < 24))
                                     || parseFloat(getComputedStyle(e).fontSize) < 12).map(([e]) => e.id)];""")
            self.assertTrue(below)
            self.assertEqual(small, [])
            self.e.click("実行")
            self.WaitFor("return tessalyPage.ticks >= 2")
        finally:
            self.e.window_size(900, 600)

    def test_a_tap_on_run_starts_a_run(self):
        self.Open()
        self.e.type("タイマー", "0")
        self.e.click("実行", touch=True)
        self.WaitFor("return tessalyPage.shown() !== null")
        self.assertEqual(self.Shown()[0], 40)

    def test_opens_offline_once_opened_address_included(self):
        server = Serve(SITE)
        url = f"http://127.0.0.1:{server.server_address[1]}/"
        try:
            self.e.open(url)
            # The page reloads itself once its service worker has taken control.
            self.WaitFor("return document.body?.dataset.ready === 'true' && tessalyPage.settled === true"
                         " && navigator.serviceWorker.controller !== null")
            self.LetTheWorkerLoad()
        finally:
            server.shutdown()
            server.server_close()
        self.e.open(url + "?count=30&time-step=0.05&period=0&seed=7&observe&run")
        self.opened = True  # left, and checked, as every case's page
        self.WaitFor("return document.body.dataset.ready === 'true' && tessalyPage.shown() !== null")
        self.assertEqual([self.Shown()[0], self.e.js("return tessalyPage.seed()")], [30, "7"])
        self.assertTrue(self.PanelShown())
        # 共有 draws its code with the library the service worker keeps.
        self.ShareLink()
        self.assertGreater(self.e.js("return Number(document.getElementById('shareCode').dataset.modules)"), 0)
        # Every module is kept, not only the one this browser runs.
        missing = self.e.async_js("""const done = arguments[0];
            const at = (file) => new URL(file, tessalyPage.module).href;
            caches.match(at('modules.json')).then((r) => r.json()).then((modules) => Promise.all(
              modules.map(({ file }) => caches.match(at(file)).then((hit) => (hit ? null : file)))))
            .then((files) => done(files.filter(Boolean)));""")
        self.assertEqual(missing, [])

    def Value(self, caption):
        """The number shown beside `caption` in the panel."""
        return self.e.js("const t = Array.from(document.querySelectorAll('#panel dt'))"
                         ".find((e) => e.textContent.trim() === arguments[0]);"
                         "return t.nextElementSibling.textContent", caption)

    def PanelShown(self):
        return self.e.js("return document.querySelector('[aria-label=\"観測\"]:not(button)').checkVisibility()")

    def test_the_observation_panel_shows_and_hides_its_figures(self):
        self.Open()
        self.assertEqual(self.e.js("return document.getElementById('panelButton').getAttribute('aria-controls')"),
                         "panel")
        self.assertFalse(self.PanelShown())
        self.Run("40", "0.1", "10")
        self.e.click("観測")
        self.assertTrue(self.PanelShown())
        self.assertEqual(self.e.js("return document.getElementById('panelButton').ariaExpanded"), "true")
        text = self.Text("panel")
        for caption in ("数値 (換算単位)", "温度 T = KE / N", "運動エネルギー / 分子", "壁の圧力",
                        "1 分子あたりの位置エネルギー", "動径分布関数 g(r)", "速さの分布",
                        "マクスウェル–ボルツマン分布"):
            self.assertIn(caption, text)
        self.WaitFor("return tessalyPage.refreshes() >= 2")
        first = (self.Value("時刻"), self.Value("位置エネルギー / 分子"))
        end = time.monotonic() + 10
        while time.monotonic() < end and (self.Value("時刻") == first[0] or
                                          (self.Value("時刻"), self.Value("位置エネルギー / 分子")) == first):
            time.sleep(0.05)
        self.assertNotEqual(self.Value("時刻"), first[0])
        # T = KE / N with the kinetic energy held at 50.
        self.assertEqual(self.Value("温度 T = KE / N"), "1.25 ε/k_B")
        self.assertEqual(self.Value("分子の数"), "40")
        self.assertRegex(self.Value("壁の圧力"), r"^[0-9.e+-]+ ε/σ²$")
        # At most about ten refreshes a second, however fast the ticks: counted
        # over 30 ticks on the page's own clock.
        refreshes, ticks, ms = self.e.async_js("""
            const done = arguments[arguments.length - 1];
            const [refreshes, ticks, since] = [tessalyPage.refreshes(), tessalyPage.ticks, performance.now()];
            const poll = () => (tessalyPage.ticks < ticks + 30 && performance.now() < since + 15000
              ? setTimeout(poll, 5)
              : done([tessalyPage.refreshes() - refreshes, tessalyPage.ticks - ticks, performance.now() - since]));
            poll();""")
        self.assertGreaterEqual(ticks, 30)
        self.assertLessEqual(refreshes, 2 + ms / 100, ms)  # a tenth of a second apart at least
        # The plots are drawn in device pixels.
        width, css = self.e.js("const c = document.getElementById('pairPlot');"
                               "return [c.width, c.clientWidth * devicePixelRatio]")
        self.assertLessEqual(abs(width - css), 1)
        # The keyboard hides it again, and hidden it works out nothing.
        if self.e.keys_press_buttons:
            self.e.js("document.getElementById('panelButton').focus()")
            self.e.keys("\ue007")  # Enter
        else:
            self.e.click("観測")
        self.assertFalse(self.PanelShown())
        self.assertEqual(self.e.js("return document.getElementById('panelButton').ariaExpanded"), "false")
        refreshes = self.e.js("return tessalyPage.refreshes()")
        ticks = self.Ticks()
        self.WaitFor(f"return tessalyPage.ticks > {ticks + 10}")
        self.assertEqual(self.e.js("return tessalyPage.refreshes()"), refreshes)

    def test_the_panel_changes_no_bit_of_the_steps(self):
        """Shown, hidden or toggled during the run, the picture is the state
        that the module's unmeasured steps reach from the same seed."""
        for toggles_at in ((), (0,), (5,), (0, 8)):
            self.Fresh()
            self.Open("?seed=7")
            self.Run("40", "0.1", "10")
            for at in toggles_at:
                self.WaitFor(f"return tessalyPage.ticks >= {at}")
                self.e.click("観測")
            self.WaitFor("return tessalyPage.ticks >= 15")
            self.e.click("停止")
            steps, pos = self.e.js("const s = tessalyPage.shown(); return [s.steps, Array.from(s.pos)]")
            self.assertGreaterEqual(steps, 14, toggles_at)
            self.assertEqual(pos, Reference("tessaly_web.js", steps), toggles_at)

    @contextlib.contextmanager
    def Scripted(self, script):
        """The cases' engine for a while: a browser of its own, where `script`
        runs in every page before the page's own scripts."""
        if not hasattr(self.e, "before_page"):
            self.skipTest(f"{self.e.name}: no script before the page's own here")
        engine = self.Engine()
        saved = self.e
        try:
            engine.before_page(script)
            self.e = engine
            yield engine
        finally:
            self.e, self.opened = saved, False
            engine.quit()

    def test_without_simd_the_scalar_module_runs_the_same_bits(self):
        with self.Scripted(NO_SIMD) as engine:
            self.Open("?seed=7")
            self.assertEqual([engine.js("return tessalyPage.simd"), ModuleName(engine)],
                             [False, "tessaly_web_scalar.js"])
            self.Run("40", "0.1", "10")
            self.WaitFor("return tessalyPage.ticks >= 15")
            self.e.click("停止")
            # The SIMD module reaches the same positions.
            steps, pos = engine.js("const s = tessalyPage.shown(); return [s.steps, Array.from(s.pos)]")
            self.assertGreaterEqual(steps, 14)
            self.assertEqual(pos, Reference("tessaly_web.js", steps))
            self.NoErrors(engine)

    def test_a_worker_that_never_starts_is_replaced_and_its_step_handed_on(self):
        with self.Scripted(SILENT_FIRST_WORKER) as engine:
            self.e.open(self.url)  # the first visit: the page that stays is isolated
            self.WaitFor("return tessalyPage.settled === true")
            # Its own first worker is silent too: left once the replacement
            # has loaded, as every page is.
            self.LetTheWorkerLoad()
            self.e.open(self.url + "?seed=7&period=1&run")  # 実行 reaches the silent worker
            self.WaitFor("return tessalyPage.ticks >= 20")
            # (Firefox may block the replacement too, where it starts many helpers.)
            self.assertGreaterEqual(engine.js("return tessalyPage.workerRestarts"), 1)
            self.e.click("停止")
            steps, pos = engine.js("const s = tessalyPage.shown(); return [s.steps, Array.from(s.pos)]")
            self.assertEqual(pos, Reference("tessaly_web.js", steps))
            self.NoErrors(engine)

    # ----- Seeds, the address, 共有, saving and help ------------------------

    def Fields(self):
        return self.e.js("return ['countField', 'timeStepField', 'periodField']"
                         ".map((id) => document.getElementById(id).value)")

    def ShareLink(self):
        self.e.click("共有")
        self.WaitFor("return document.getElementById('shareBox').open")
        return self.e.js("return document.getElementById('shareLink').value")

    def CloseDialog(self, box):
        self.e.click("閉じる")
        self.WaitFor(f"return !document.getElementById('{box}').open")

    def Decode(self):
        """The text of the QR code on the screen, as zbarimg reads it."""
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "screen.png")
            self.e.screenshot(path)
            read = subprocess.run(["zbarimg", "--raw", "-q", path], capture_output=True, text=True)
        self.assertEqual(read.returncode, 0, read.stderr)
        return read.stdout.rstrip("\n")

    def test_a_run_from_the_clock_is_shared_by_a_link_and_a_qr_code_that_reopen_it(self):
        self.Open()
        # Before any run: the fields' texts, no seed.
        self.e.type("分子の数", "７")
        self.assertEqual(self.ShareLink(), self.url + "?count=%EF%BC%97&time-step=0.1&period=10&run")
        self.CloseDialog("shareBox")
        self.Run("４０", "1e-1", "0")
        self.WaitFor("return tessalyPage.shown() !== null")
        first = self.Shown()
        seed = self.e.js("return tessalyPage.seed()")
        self.assertRegex(seed, r"^[0-9]+$")
        self.assertEqual(self.Value("乱数の種"), seed)
        self.e.click("観測")
        link = self.ShareLink()
        # As read for the last 実行: whole numbers and the shortest form.
        self.assertEqual(link, f"{self.url}?count=40&time-step=0.1&period=0&seed={seed}&observe&run")
        self.assertEqual(self.Decode(), link)
        cell, width, css = self.e.js("const c = document.getElementById('shareCode');"
                                     "return [Number(c.dataset.cell), c.width, c.clientWidth * devicePixelRatio]")
        self.assertGreaterEqual(cell, 4)
        self.assertLessEqual(abs(width - css), 1)  # drawn in the screen's own pixels
        # Served on the loopback here: pupils' devices cannot open it.
        warning = self.e.js("const w = document.getElementById('shareLoopback');"
                            "return w.checkVisibility() ? w.textContent : null")
        self.assertIn("127.0.0.1", warning)
        self.assertIn("README", warning)
        # コピー: the clipboard where the page may use it, else the link selected.
        self.e.click("コピー")
        self.WaitFor("return document.getElementById('shareCopied').textContent !== ''")
        self.assertEqual(self.e.js("const f = document.getElementById('shareLink');"
                                   "return document.activeElement === f ? f.value.substring("
                                   "f.selectionStart, f.selectionEnd) : f.value"), link)
        self.CloseDialog("shareBox")
        self.LetTheWorkerLoad()
        # The link elsewhere: the same arrangement, bit for bit, run at once,
        # the panel shown.
        self.e.open(link)
        self.WaitFor("return document.body.dataset.ready === 'true' && tessalyPage.shown() !== null")
        self.assertEqual(self.Shown(), first)
        self.assertEqual(self.e.js("return tessalyPage.seed()"), seed)
        self.assertTrue(self.PanelShown())
        self.assertEqual(self.Fields(), ["40", "0.1", "0"])

    def test_address_values_go_into_the_fields_and_a_bad_one_gets_its_dialog(self):
        for query, fields, message in (
                ("?count=40000&run", ["40000", "0.1", "10"], ("「分子の数」", "オーバーフロー")),
                ("?count=5&time-step=1e999&period=3&run", ["5", "1e999", "3"], ("「時間刻み」", "オーバーフロー")),
                ("?period=-1&run", ["40", "0.1", "-1"], ("「タイマー」", "範囲外の値")),
                ("?seed=18446744073709551616&period=0&run", ["40", "0.1", "0"], ("乱数の種", "seed=")),
                ("?seed=7x&period=0", ["40", "0.1", "0"], ("乱数の種",))):
            self.Open(query)
            self.assertEqual(self.Fields(), fields, query)
            self.WaitFor("return document.getElementById('errorBox').open")
            for part in message:
                self.assertIn(part, self.Text("errorMessage"), query)
            self.CloseError()
            if "seed" in query:
                # The clock places, as without a seed.
                self.e.click("実行")
                self.WaitFor("return tessalyPage.shown() !== null")
                self.assertRegex(self.e.js("return tessalyPage.seed()"), r"^[0-9]+$")
            else:
                self.assertIsNone(self.Shown(), query)  # nothing ran
            self.LetTheWorkerLoad()
            self.NoErrors(self.e)

    def Saved(self, caption, timeout=15.0):
        """Presses a save button; the file the page hands the browser, as a
        hook that only tests set up sees it (the page itself keeps nothing)."""
        self.e.js("if (!tessalyPage.saved) { tessalyPage.saved = [];"
                  " tessalyPage.onSaved = (name, text) => tessalyPage.saved.push({ name, text }); }")
        before = self.e.js("return tessalyPage.saved.length")
        self.e.click(caption)
        self.WaitFor(f"return tessalyPage.saved.length > {before}", timeout)
        return self.e.js("return tessalyPage.saved[tessalyPage.saved.length - 1]")

    def Batch(self, *args):
        """What node's batch run writes, as text."""
        with tempfile.TemporaryDirectory() as out:
            path = os.path.join(out, "out")
            node = os.path.join(os.path.dirname(SITE), "tessaly.js")
            subprocess.run(["node", node, "--batch", *args, path], check=True)
            with open(path, encoding="utf-8") as written:
                return written.read()

    def test_the_saved_table_and_frame_are_the_batch_runs_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as downloads:
            if isinstance(self.e, Chromium):  # what reaches the disk, where the driver tells
                self.e.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                              {"behavior": "allow", "downloadPath": downloads})
            for count, time_step, seed in (("40", "0.05", "7"), ("3", "-0.1", "18446744073709551615")):
                self.LetTheWorkerLoad()
                self.Open(f"?seed={seed}&observe")
                self.Run(count, time_step, "1")
                self.WaitFor("return tessalyPage.rows() >= 5")
                self.e.click("停止")
                # Saved with no test watching, nothing of the file stays with the page.
                self.e.click("CSV を保存")
                self.assertIsNone(self.e.js("return tessalyPage.saved ?? null"))
                csv = self.Saved("CSV を保存")
                last = 10 * (self.e.js("return tessalyPage.rows()") - 1)
                self.assertEqual(csv["name"], f"tessaly-{seed}-{last}.csv")
                self.assertEqual(csv["text"], self.Batch("--count", count, "--time-step", time_step, "--seed", seed,
                                                         "--steps", str(last), "--every", "10", "--thermo"))
                xyz = self.Saved("XYZ を保存")
                steps = self.e.js("return tessalyPage.shown().steps")
                self.assertEqual(xyz["name"], f"tessaly-{seed}-{steps}.xyz")
                frames = self.Batch("--count", count, "--time-step", time_step, "--seed", seed,
                                    "--steps", str(steps), "--every", str(steps), "--xyz")
                self.assertEqual(xyz["text"], "".join(frames.splitlines(keepends=True)[int(count) + 2:]))
                self.assertIn(f" step={steps} ", xyz["text"].splitlines()[1])
                if isinstance(self.e, Chromium):
                    for saved in (csv, xyz):
                        path = os.path.join(downloads, saved["name"])
                        self.assertTrue(WaitForFile(path), path)
                        with open(path, encoding="utf-8") as file:
                            self.assertEqual(file.read(), saved["text"])

    def test_nothing_is_recorded_while_the_panel_is_hidden(self):
        self.Open("?seed=3")
        self.Run("20", "0.1", "1")
        self.WaitFor("return tessalyPage.ticks >= 30")
        self.assertEqual(self.e.js("return [tessalyPage.rows(), document.getElementById('csvButton').disabled]"),
                         [0, True])
        self.e.click("観測")
        ticks = self.Ticks()
        self.WaitFor("return tessalyPage.rows() >= 3")
        self.assertIn("記録した行", self.Text("recordNote"))
        self.assertGreater(self.Ticks(), ticks + 10)
        self.e.click("停止")

    def FirstSteppedPictureMs(self, count):
        """Milliseconds from 実行 with `count` particles to its first stepped picture."""
        return self.e.async_js("""
            const done = arguments[arguments.length - 1];
            document.getElementById('countField').value = arguments[0];
            const started = performance.now();
            document.getElementById('runButton').click();
            // A resize before the new run's first figures draws nothing old.
            dispatchEvent(new Event('resize'));
            const poll = () => (tessalyPage.shown()?.steps >= 1 ? done(performance.now() - started)
                                                                : setTimeout(poll, 1));
            poll();""", count)

    def PanelSteps(self):
        return int(self.Value("時刻").split("(")[1].split(" ")[0])

    def test_stop_ends_the_steps_work_and_the_panel_catches_up_with_the_picture(self):
        self.Open("?observe")
        # 停止 during the largest count's step, the panel's pass over the pairs
        # with it: the next run steps at once where a flag reaches the threads.
        # Without threads the worker is ended, and WebKitGTK takes its time
        # over ending and starting workers.
        self.Run("32767", "0.1", "10")
        self.WaitFor("return tessalyPage.busyThreads > 0")
        time.sleep(0.5)
        self.e.click("停止")
        first_ms = self.FirstSteppedPictureMs("400")
        self.assertLess(first_ms, 300 if self.e.js("return tessalyPage.cores") > 1 else 20000)
        # After 停止 the figures are those of the picture's state, or of the
        # state one step on, which the next tick starts from.
        self.Run("2000", "0.1", "1")
        self.WaitFor("return tessalyPage.shown().count === 2000 && tessalyPage.shown().steps >= 5")
        self.e.click("停止")
        # Without threads the figures come from a worker that takes over
        # from the one 停止 ended, which WebKitGTK lets run on meanwhile.
        self.WaitFor("const steps = document.getElementById('timeValue').textContent.match(/\\((\\d+) /);"
                     "return steps !== null && Number(steps[1]) === tessalyPage.shown().steps + 1", 20)

    def test_a_worker_that_cannot_start_is_reported_in_japanese(self):
        """A site whose workers cannot load their scripts: the page says what
        failed, in Japanese, instead of waiting for ever."""
        with tempfile.TemporaryDirectory() as broken:
            site = os.path.join(broken, "site")
            shutil.copytree(SITE, site)
            for name in ("worker.js", "save_worker.js", "help.js"):
                with open(os.path.join(site, os.path.relpath(BUILD, SITE), name), "r+", encoding="utf-8") as script:
                    text = script.read()
                    script.seek(0)
                    script.write("import './missing.js';\n" + text)
            server = Serve(site)
            engine = self.Engine()
            try:
                engine.open(f"http://127.0.0.1:{server.server_address[1]}/?observe")
                self.assertTrue(engine.wait("return document.body?.dataset.ready === 'true' && tessalyPage.settled"))
                # The worker that steps fails at once, and again at 実行; then
                # the one that saves; then 使い方, whose script is loaded at
                # its first press.
                for said, then in (("計算を受け持つワーカーを起動できませんでした", "実行"),
                                   ("計算を受け持つワーカーを起動できませんでした", "XYZ を保存"),
                                   ("保存を受け持つワーカーを起動できませんでした", "使い方"),
                                   ("この機能のファイルを読み込めませんでした", None)):
                    self.assertTrue(engine.wait("return document.getElementById('errorBox').open", 30), said)
                    message = engine.js("return document.getElementById('errorMessage').textContent")
                    self.assertIn(said, message)
                    self.assertRegex(message, "再読み込み|もう一度押して")
                    self.assertNotRegex(message.replace("XYZ", ""), r"[A-Za-z]{3}", "every word in Japanese")
                    engine.click("OK")
                    self.assertTrue(engine.wait("return !document.getElementById('errorBox').open"))
                    if then:
                        engine.click(then)
                self.assertEqual(engine.js("return tessalyPage.reports.length"), 4)
            finally:
                engine.quit()
                server.shutdown()
                server.server_close()

    def test_an_open_page_stays_on_its_build_through_a_deploy(self):
        """The site replaced by the next build while pages are open, from a
        host that asks browsers to revalidate and from a plain one: open
        pages go on with their own build's files, their workers included,
        and say that a newer version is ready; a reload gives it."""
        for host in ({"Cache-Control": "no-cache"}, {}):
            with self.subTest(host=host), tempfile.TemporaryDirectory() as folder:
                served = os.path.join(folder, "served")
                shutil.copytree(SITE, served)
                new = NextBuild(SITE, os.path.join(folder, "next"))
                server = Serve(served, host)
                engine = self.Engine()
                try:
                    self.Deploy(engine, f"http://127.0.0.1:{server.server_address[1]}/", served,
                                os.path.join(folder, "next"), new)
                finally:
                    engine.quit()
                    server.shutdown()
                    server.server_close()

    def Deploy(self, engine, url, served, next_site, new):
        saved, self.e = self.e, engine
        try:
            # Where the engine can, the first page steps on one core (a new
            # worker at every 停止) and the second on threads.
            if hasattr(engine, "before_page"):
                engine.before_page(ONE_CORE_HEARING_BUILDS)
            first = engine.tab()
            engine.open(url)
            self.WaitFor("return document.body?.dataset.ready === 'true' && tessalyPage.settled"
                         " && navigator.serviceWorker.controller !== null")
            self.Run("1000", "0.05", "1")  # a step in flight at every 停止
            self.WaitFor("return tessalyPage.ticks > 3")

            shutil.rmtree(served)
            shutil.copytree(next_site, served)
            second = engine.new_tab()
            if hasattr(engine, "before_page"):
                engine.before_page(HEARING_BUILDS)
            engine.open(url)
            # (A tab behind another is never drawn in WebKitGTK, nor ready.)
            self.WaitFor("return window.tessalyPage?.settled === true")
            for tab in (second, first):
                engine.to_tab(tab)
                self.WaitFor("return !document.getElementById('updateNotice').hidden", 30)

            # Each open page goes on, the notice closed: 停止 and 実行, then
            # a save. (WebKitGTK draws only the tab in front, and steps on
            # one core in both.)
            for tab in (first, second) if hasattr(engine, "before_page") else (first,):
                engine.to_tab(tab)
                self.e.click("閉じる")
                self.OnAfterTheDeploy(new, restarted=tab == first)
            for tab in (first, second):
                engine.to_tab(tab)
                self.NoErrors(engine)
                if hasattr(engine, "before_page"):
                    self.assertEqual(engine.js("return window.heard"), [], "the next build ran")
                self.assertFalse(engine.js("return window.tessalyNextBuild === true"))

            # Reloaded, the page is the next build's, and its worker too.
            engine.to_tab(first)
            engine.js("location.reload()")
            self.WaitFor("return document.body?.dataset.ready === 'true' && window.tessalyNextBuild === true", 30)
            self.assertIn(f"builds/{new}/", engine.js("return document.querySelector('script[type=module]').src"))
            self.assertTrue(engine.js("return document.getElementById('updateNotice').hidden"))
            self.Run("300", "0.05", "10")
            self.WaitFor("return tessalyPage.ticks > 3", 30)
            if hasattr(engine, "before_page"):
                engine.to_tab(second)
                self.WaitFor("return window.heard.includes('worker.js')")
                engine.to_tab(first)
            self.LetTheWorkerLoad()
            self.NoErrors(engine)
        finally:
            self.e = saved

    def OnAfterTheDeploy(self, new, restarted):
        """停止 and 実行 three times, then XYZ を保存: all with the page's own
        build; a page on one core (`restarted`) ends and starts workers."""
        for _ in range(3):
            self.e.click("停止")
            ticks = self.Ticks()
            if ticks == 0:  # the second page had not run yet
                self.Run("1000", "0.05", "1")
            else:
                self.e.click("実行")
            self.WaitFor(f"return tessalyPage.ticks > {ticks + 3}", 30)
        self.e.click("観測")
        self.WaitFor("return !document.getElementById('xyzButton').disabled && "
                     "document.getElementById('xyzButton').checkVisibility()")
        # (WebKitGTK's ended workers step on for a while, in its own time.)
        frame = self.Saved("XYZ を保存", 60)
        self.assertEqual(frame["text"].split("\n", 1)[0], "1000")
        if restarted:
            self.assertEqual(self.e.js("return [tessalyPage.cores, tessalyPage.workerRestarts > 0]"), [1, True])
        loaded = self.e.js("return performance.getEntriesByType('resource').map((e) => e.name)")
        self.assertFalse([name for name in loaded if new in name])

    def test_what_a_press_needs_loads_at_the_first_press(self):
        self.Open()
        fetched = ("return performance.getEntriesByType('resource')"
                   ".map((r) => new URL(r.name).pathname.split('/').pop())")
        later = {"qrcode.mjs", "share.js", "saving.js", "help.js"}
        self.assertEqual(later & set(self.e.js(fetched)), set())
        # Every module's WebAssembly comes as WebAssembly, which engines
        # compile while it downloads.
        types = self.e.async_js("""const done = arguments[0];
            fetch(new URL('modules.json', tessalyPage.module)).then((r) => r.json()).then((modules) => Promise.all(
              modules.flatMap(({ beside }) => beside).filter((f) => f.endsWith('.wasm'))
                .map((f) => fetch(new URL(f, tessalyPage.module)).then((r) => [f, r.headers.get('content-type')]))))
            .then(done);""")
        self.assertEqual(len(types), 3)
        self.assertEqual({t for _, t in types}, {"application/wasm"}, types)
        self.e.click("共有")
        self.WaitFor("return Number(document.getElementById('shareCode').dataset.modules) > 0")
        self.CloseDialog("shareBox")
        self.e.click("使い方")
        self.WaitFor("return document.getElementById('helpText').textContent.includes('分子の数')")
        self.CloseDialog("helpBox")
        self.assertEqual(later & set(self.e.js(fetched)), {"qrcode.mjs", "share.js", "help.js"})

    def test_the_help_shows_the_text_of_the_module(self):
        self.Open()
        self.e.click("使い方")
        self.WaitFor("return document.getElementById('helpBox').open")
        text = self.Text("helpText")
        for part in ("分子の数", "時間刻み", "タイマー", "50", "共有", "CSV", "MIT"):
            self.assertIn(part, text)
        self.CloseDialog("helpBox")

    def test_screenshot_shows_the_japanese_captions(self):
        self.Open()
        self.e.click("実行")
        self.WaitFor("return tessalyPage.ticks >= 3")
        # The captions' own glyphs come from a Japanese font, not a fallback box.
        self.assertTrue(self.e.js("return document.fonts.check('12px IPAGothic', '分子の数時間刻み') ||"
                                  " document.fonts.check('12px \"Noto Sans CJK JP\"', '分子の数時間刻み')"))
        if SCREENSHOT:
            self.e.screenshot(f"{SCREENSHOT}-{self.e.name.lower()}.png")

    def test_each_experiment_of_the_guide_opens_from_its_link_and_runs(self):
        self.e.open(self.url + "guide.html")
        self.WaitFor("return document.querySelectorAll('canvas.code[data-modules]').length >= 6")
        # Left while its figures still load, the guide has Firefox log the
        # service worker's aborted answer as an error.
        self.WaitFor("return document.readyState === 'complete' && Array.from(document.images).every((i) => i.complete)")
        links = self.e.js("return Array.from(document.querySelectorAll('.run a'), (a) => a.getAttribute('href'))")
        self.assertGreaterEqual(len(set(links)), 6)
        for link in links:
            self.Open(link.removeprefix("./"))
            self.WaitFor("return tessalyPage.ticks >= 3 && !document.querySelector('dialog[open]')")
            fields = dict(p.split("=") for p in link.split("?")[1].split("&") if "=" in p)
            self.assertEqual(self.Fields(), [fields["count"], fields["time-step"], fields["period"]])
            self.assertEqual(self.e.js("return tessalyPage.seed()"), fields["seed"])


class StartTest(unittest.TestCase):
    """A browser without WebAssembly (turned off, as some schools do) is told so in the page."""

    @unittest.skipUnless("firefox" in CHOSEN, "Firefox not chosen")
    def test_without_webassembly_the_page_says_so(self):
        server = Serve(SITE)
        engine = Firefox(prefs={"javascript.options.wasm": False})
        try:
            engine.open(f"http://127.0.0.1:{server.server_address[1]}/")
            self.assertTrue(engine.wait("return document.body.dataset.failed === 'true'"))
            shown = engine.js("const box = document.getElementById('startError');"
                              "return box.checkVisibility() ? box.textContent : null")
            self.assertIn("WebAssembly", shown)
            self.assertIn("別のブラウザ", shown)
            self.assertIsNone(engine.js("return tessalyPage.shown"))  # the page itself never started
        finally:
            engine.quit()
            server.shutdown()
            server.server_close()


for key in CHOSEN:
    engine = ENGINES[key]
    globals()[f"{engine.name}PageTest"] = type(f"{engine.name}PageTest", (Cases, unittest.TestCase),
                                              {"Engine": engine})

if __name__ == "__main__":
    # PAGE_TEST_CASES picks cases by a part of their names, as -k does.
    unittest.main(argv=sys.argv[:1] + [f"-k{k}" for k in os.environ.get("PAGE_TEST_CASES", "").split()],
                  verbosity=2)
