#!/usr/bin/python3
# driver_test.py: the browser test kit (tools/web/browser.py) on its probe page
# (tests/web/probe): headless Chromium draws WebGL 2 on SwiftShader and the screenshot and the
# canvas show the probe's colour; keys, clicks, movement and the wheel reach the page with the
# key codes the program expects; the audio tap hears the probe's tone, hears it fall when the
# layer's OpenAL output moves it away in one batch (Emscripten's OpenAL has no deferred
# updates), and hears silence when it stops; and what is missing fails loudly.
# Usage: driver_test.py [PROBE_SITE]; without it the probe is built into a temporary folder.
import os
import subprocess
import sys
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "web"))
import browser  # noqa: E402
import pictures  # noqa: E402

PROBE_COLOUR = (64, 128, 191)
probe_site = None


def mean_rms(levels):
    return sum(level["rms"] for level in levels) / len(levels)


class ProbePage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.built = None
        site = probe_site
        if site is None:
            cls.built = tempfile.TemporaryDirectory(prefix="varnel-probe-")
            site = cls.built.name
            subprocess.run([os.path.join(here, "probe", "build-probe.sh"), site], check=True)
        cls.server = browser.SiteServer(site)
        cls.browser = browser.Browser()
        cls.renderer = cls.browser.require_webgl2_on_swiftshader()
        cls.browser.open(cls.server.url("index.html"))

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.close()
        if cls.built is not None:
            cls.built.cleanup()

    def wait_console(self, line, timeout=20):
        for _ in range(int(timeout * 10)):
            if any(line in entry for entry in self.browser.console):
                return
            self.browser.pump(0.1)
        self.fail(f"no '{line}' in the console:\n" + "\n".join(self.browser.console))

    def listen(self, seconds):
        start = self.browser.now()
        self.browser.pump(seconds)
        levels = self.browser.audio_levels_since(start)
        self.assertGreater(len(levels), seconds * 20, "the tap kept too few levels")
        return levels

    def test_1_draws_webgl2_on_swiftshader(self):
        self.assertIn("SwiftShader", self.renderer)
        self.wait_console("probe ready")
        width, height, rgba = self.browser.canvas_pixels()
        self.assertEqual((width, height), (320, 240))
        self.assertEqual(tuple(rgba[:3]), PROBE_COLOUR)
        shot = pictures.read_png(self.browser.screenshot(clip=(0, 0, 320, 240)))
        self.assertEqual((shot.width, shot.height), (320, 240))
        for x, y in ((0, 0), (160, 120), (319, 239)):
            self.assertEqual(shot.at(x, y), PROBE_COLOUR, (x, y))

    def test_2_keys_and_the_mouse_reach_the_page(self):
        self.wait_console("probe ready")
        for name in ("PageUp", "ArrowLeft", "ArrowRight", "ArrowUp", "Enter"):
            self.browser.key(name)
            self.wait_console(f"probe key {browser.KEYS[name][2]}")
        self.browser.click(100, 50)
        self.wait_console("probe click 100 50")
        self.browser.move(120, 60)
        self.wait_console("probe move 120 60")
        self.browser.wheel(120, 60, -100)
        self.wait_console("probe wheel -1")
        self.browser.wheel(120, 60, 100)
        self.wait_console("probe wheel 1")

    def test_3_the_tap_hears_the_tone_its_batch_move_and_its_end(self):
        self.wait_console("probe deferred updates: no")
        self.assertEqual(self.browser.evaluate("window.__varnelAudioTap.contexts()"), ["running"])
        near = mean_rms(self.listen(0.6))
        # A 440 Hz sine of amplitude 12000/32768 has an RMS of 0.26; the browser may mix lower.
        self.assertGreater(near, 0.05)
        self.browser.key("PageDown")
        self.wait_console("probe far")
        self.browser.pump(0.3)
        far = mean_rms(self.listen(0.6))
        # Forty times the minimum distance: a fortieth of the level, within a factor of two.
        self.assertLess(far, near / 20)
        self.assertGreater(far, near / 80)
        self.browser.key("Escape")
        self.wait_console("probe silent")
        self.browser.pump(0.3)
        self.assertLess(max(level["peak"] for level in self.listen(0.6)), 1e-4)
        self.assertFalse([line for line in self.browser.console if line.startswith("exception")])


class FailsLoudly(unittest.TestCase):
    def test_no_webgl2_is_an_error(self):
        with browser.Browser(extra_flags=["--disable-webgl"], audio_tap=False) as without:
            with self.assertRaises(browser.WebError):
                without.require_webgl2_on_swiftshader()

    def test_a_missing_browser_or_site_is_an_error(self):
        saved = os.environ.get("VARNEL_CHROMIUM")
        os.environ["VARNEL_CHROMIUM"] = "/nonexistent/chromium"
        try:
            with self.assertRaises(browser.WebError):
                browser.Browser()
        finally:
            if saved is None:
                del os.environ["VARNEL_CHROMIUM"]
            else:
                os.environ["VARNEL_CHROMIUM"] = saved
        with self.assertRaises(browser.WebError):
            browser.SiteServer("/nonexistent/site")
        result = subprocess.run([sys.executable, browser.__file__, "/nonexistent/site",
                                 "index.html", os.devnull, "1"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("no site folder", result.stderr)


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        probe_site = sys.argv.pop(1)
    unittest.main()
