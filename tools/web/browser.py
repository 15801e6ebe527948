#!/usr/bin/python3
# browser.py: drives headless Chromium over its DevTools protocol for the web build's tests and
# for a look at a page: serves a folder on 127.0.0.1, opens a page in a browser with WebGL 2 on
# SwiftShader, sends keys, mouse clicks, movement and the wheel, evaluates script, collects the
# console and takes screenshots. A Web Audio tap, installed before the page's own scripts, puts
# an analyser between the page's sound and the speakers and keeps its level every 20 ms.
# Anything missing (the browser, the websocket module, WebGL 2 on SwiftShader) fails loudly with
# the reason: a test that cannot see the page must not pass.
# Used by tools/web/run-web-tests.sh and the tests in tests/web; run on its own it takes a
# screenshot of a page (see main() at the end).
import base64
import functools
import http.server
import json
import os
import queue
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

try:
    import websocket  # Debian's python3-websocket
except ImportError as error:  # the reason is reported when a browser is asked for
    websocket = None
    websocket_error = error

CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--use-angle=swiftshader",
    "--enable-unsafe-swiftshader",
    "--autoplay-policy=no-user-gesture-required",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-timer-throttling",
    "--disable-renderer-backgrounding",
    "--disable-backgrounding-occluded-windows",
    "--hide-scrollbars",
    "--mute-audio",
]

# The keys the tests press: DOM key, DOM code and the Windows virtual-key code Chromium reports
# as keyCode.
KEYS = {
    "PageUp": ("PageUp", "PageUp", 33),
    "PageDown": ("PageDown", "PageDown", 34),
    "ArrowLeft": ("ArrowLeft", "ArrowLeft", 37),
    "ArrowUp": ("ArrowUp", "ArrowUp", 38),
    "ArrowRight": ("ArrowRight", "ArrowRight", 39),
    "ArrowDown": ("ArrowDown", "ArrowDown", 40),
    "Enter": ("Enter", "Enter", 13),
    "Escape": ("Escape", "Escape", 27),
    "Space": (" ", "Space", 32),
}

# Evaluated in every new document before the page's scripts: every connection to an audio
# context's destination goes through one AnalyserNode of that context instead.
AUDIO_TAP_SCRIPT = r"""
(() => {
    const connect = AudioNode.prototype.connect;
    const disconnect = AudioNode.prototype.disconnect;
    const taps = [];
    const history = [];
    const buffer = new Float32Array(2048);
    function tapOf(context) {
        if (!context.__varnelTap) {
            const tap = context.createAnalyser();
            tap.fftSize = 2048;
            connect.call(tap, context.destination);
            context.__varnelTap = tap;
            taps.push(tap);
        }
        return context.__varnelTap;
    }
    AudioNode.prototype.connect = function(target, ...rest) {
        if (target instanceof AudioDestinationNode)
            return connect.call(this, tapOf(target.context), ...rest);
        return connect.call(this, target, ...rest);
    };
    AudioNode.prototype.disconnect = function(target, ...rest) {
        if (target instanceof AudioDestinationNode)
            return disconnect.call(this, tapOf(target.context), ...rest);
        return disconnect.call(this, target, ...rest);
    };
    // The loudest context's RMS and peak over the analyser's last 2048 samples.
    function level() {
        let rms = 0, peak = 0;
        for (const tap of taps) {
            if (tap.context.state !== 'running')
                continue;
            tap.getFloatTimeDomainData(buffer);
            let sum = 0, top = 0;
            for (const v of buffer) {
                sum += v * v;
                top = Math.max(top, Math.abs(v));
            }
            rms = Math.max(rms, Math.sqrt(sum / buffer.length));
            peak = Math.max(peak, top);
        }
        return {t: performance.now(), rms: rms, peak: peak};
    }
    setInterval(() => {
        history.push(level());
        if (history.length > 3000)
            history.shift();
    }, 20);
    window.__varnelAudioTap = {
        taps: taps,
        level: level,
        contexts: () => taps.map((tap) => tap.context.state),
        // The levels kept since a time (performance.now()).
        since: (t) => history.filter((entry) => entry.t >= t),
    };
})();
"""


class WebError(Exception):
    """What the driver cannot do, with the reason; the caller fails with it."""


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
    extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript",
                           ".data": "application/octet-stream"})

    def log_message(self, format, *args):
        pass

    def end_headers(self):
        # Each run reads the files as they are now.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class SiteServer:
    """Serves a folder on 127.0.0.1 at a free port until closed."""

    def __init__(self, folder):
        if not os.path.isdir(folder):
            raise WebError(f"no site folder {folder}")
        handler = functools.partial(_QuietHandler, directory=os.path.abspath(folder))
        self.server = _Server(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path=""):
        return f"http://127.0.0.1:{self.server.server_address[1]}/{path}"

    def close(self):
        self.server.shutdown()
        self.server.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def find_chromium():
    """The browser VARNEL_CHROMIUM names, else Debian's Chromium."""
    named = os.environ.get("VARNEL_CHROMIUM")
    if named:
        if not os.access(named, os.X_OK):
            raise WebError(f"VARNEL_CHROMIUM={named} is not a program")
        return named
    for candidate in ("/usr/bin/chromium", shutil.which("chromium")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise WebError("no Chromium: install the chromium package (tools/install-deps.sh web)")


class Browser:
    """One headless Chromium with one page, driven over the DevTools protocol."""

    def __init__(self, width=1280, height=1024, audio_tap=True, extra_flags=(),
                 before_page=()):
        if websocket is None:
            raise WebError(f"no websocket module for {sys.executable} ({websocket_error}): "
                           "install python3-websocket and run with /usr/bin/python3")
        chromium = find_chromium()
        self.profile = tempfile.mkdtemp(prefix="varnel-chromium-")
        self.log = open(os.path.join(self.profile, "chromium.log"), "w+")
        self.process = subprocess.Popen(
            [chromium, *CHROMIUM_FLAGS, *extra_flags, f"--user-data-dir={self.profile}",
             "--remote-debugging-port=0", f"--window-size={width},{height}", "about:blank"],
            stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.next_id = 0
        self.events = queue.Queue()
        self.console = []  # "level: text" of every console message and uncaught exception
        self.socket = None
        try:
            self._attach()
            for domain in ("Page", "Runtime", "Log"):
                self.call(f"{domain}.enable")
            # Scripts evaluated in each new document before its own.
            for script in ([AUDIO_TAP_SCRIPT] if audio_tap else []) + list(before_page):
                self.call("Page.addScriptToEvaluateOnNewDocument", source=script)
        except Exception:
            self.close()
            raise

    def _attach(self):
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.log.seek(0)
                raise WebError("Chromium did not start: " + self.log.read()[-2000:])
            time.sleep(0.05)
        time.sleep(0.05)  # the file is written in one go, but give it the moment
        with open(port_file) as f:
            port = int(f.readline())
        self.port = port
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=10) as reply:
            pages = [t for t in json.load(reply) if t["type"] == "page"]
        if not pages:
            raise WebError("Chromium opened no page")
        self.socket = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], timeout=60,
                                                  suppress_origin=True)

    def close(self):
        if self.socket is not None:
            try:
                self.socket.close()
            except Exception:
                pass
            self.socket = None
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # The protocol: a call waits for its answer; events seen meanwhile are kept.
    def _receive(self):
        message = json.loads(self.socket.recv())
        method = message.get("method")
        if method == "Runtime.consoleAPICalled":
            params = message["params"]
            text = " ".join(str(arg.get("value", arg.get("description", "")))
                            for arg in params["args"])
            self.console.append(f"{params['type']}: {text}")
        elif method == "Runtime.exceptionThrown":
            details = message["params"]["exceptionDetails"]
            description = details.get("exception", {}).get("description", details.get("text"))
            self.console.append(f"exception: {description}")
        elif method == "Log.entryAdded":
            entry = message["params"]["entry"]
            self.console.append(f"{entry['level']}: {entry['text']}")
        if method is not None:
            self.events.put(message)
        return message

    def call(self, method, **params):
        self.next_id += 1
        ident = self.next_id
        self.socket.send(json.dumps({"id": ident, "method": method, "params": params}))
        while True:
            message = self._receive()
            if message.get("id") == ident:
                if "error" in message:
                    raise WebError(f"{method}: {message['error'].get('message')}")
                return message.get("result", {})

    def wait_event(self, method, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while not self.events.empty():
                message = self.events.get()
                if message["method"] == method:
                    return message["params"]
            self.socket.settimeout(max(0.05, deadline - time.monotonic()))
            try:
                self._receive()
            except websocket.WebSocketTimeoutException:
                break
            finally:
                self.socket.settimeout(60)
        raise WebError(f"no {method} within {timeout} s")

    def pump(self, seconds):
        """Lets the page run for a while, collecting its console."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.socket.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                self._receive()
            except websocket.WebSocketTimeoutException:
                pass
            finally:
                self.socket.settimeout(60)
        while not self.events.empty():
            self.events.get()

    # What the tests do with the page.
    def open(self, url, timeout=60):
        while not self.events.empty():
            self.events.get()
        self.call("Page.navigate", url=url)
        self.wait_event("Page.loadEventFired", timeout)

    def evaluate(self, expression, await_promise=True):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=await_promise, userGesture=True)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise WebError(f"script failed: {expression}: " +
                           details.get("exception", {}).get("description", details.get("text")))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=30, what=None):
        """Polls until the expression is truthy; its value, or a WebError naming it."""
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise WebError(f"waited {timeout} s for {what or expression}; console:\n" +
                               "\n".join(self.console[-20:]))
            self.pump(0.1)

    def require_webgl2_on_swiftshader(self):
        """The renderer WebGL 2 runs on here; a WebError unless it is SwiftShader."""
        renderer = self.evaluate("""(() => {
            const gl = document.createElement('canvas').getContext('webgl2');
            if (!gl) return null;
            const info = gl.getExtension('WEBGL_debug_renderer_info');
            return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL)
                        : gl.getParameter(gl.RENDERER);
        })()""")
        if not renderer:
            raise WebError("this Chromium gives no WebGL 2 context (is SwiftShader there?)")
        if "swiftshader" not in renderer.lower():
            raise WebError(f"WebGL 2 does not run on SwiftShader here but on {renderer}")
        return renderer

    def key(self, name, hold=0.05):
        """Presses and releases a key of KEYS."""
        key, code, key_code = KEYS[name]
        common = {"key": key, "code": code, "windowsVirtualKeyCode": key_code,
                  "nativeVirtualKeyCode": key_code}
        if name in ("Enter", "Space"):
            common["text"] = "\r" if name == "Enter" else " "
        self.call("Input.dispatchKeyEvent", type="keyDown" if "text" in common else "rawKeyDown",
                  **common)
        self.pump(hold)
        common.pop("text", None)
        self.call("Input.dispatchKeyEvent", type="keyUp", **common)

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                      buttons=1 if kind == "mousePressed" else 0, clickCount=1)

    def move(self, x, y, buttons=0):
        self.call("Input.dispatchMouseEvent", type="mouseMoved", x=x, y=y, buttons=buttons)

    def wheel(self, x, y, delta_y, delta_x=0):
        self.call("Input.dispatchMouseEvent", type="mouseWheel", x=x, y=y, deltaX=delta_x,
                  deltaY=delta_y)

    def screenshot(self, path=None, clip=None):
        """A PNG of the page (or of clip: x, y, width, height in CSS pixels); its bytes."""
        params = {"format": "png"}
        if clip is not None:
            x, y, width, height = clip
            params["clip"] = {"x": x, "y": y, "width": width, "height": height, "scale": 1}
        data = base64.b64decode(self.call("Page.captureScreenshot", **params)["data"])
        if path is not None:
            with open(path, "wb") as f:
                f.write(data)
        return data

    def canvas_pixels(self, selector="canvas"):
        """The canvas's drawing buffer as [width, height, RGBA bytes as a list], read in the
        page right after a frame (the buffer is not preserved between frames)."""
        return self.evaluate(f"""new Promise((done) => requestAnimationFrame(() => {{
            const c = document.querySelector({json.dumps(selector)});
            const copy = document.createElement('canvas');
            copy.width = c.width; copy.height = c.height;
            const g = copy.getContext('2d');
            g.drawImage(c, 0, 0);
            done([c.width, c.height, Array.from(g.getImageData(0, 0, c.width, c.height).data)]);
        }}))""")

    def audio_levels_since(self, start):
        return self.evaluate(f"window.__varnelAudioTap.since({start})")

    def now(self):
        return self.evaluate("performance.now()")


def main(argv):
    """browser.py SITE PAGE SCREENSHOT [SECONDS]: serves SITE, opens PAGE for SECONDS (default
    5) and saves a screenshot; prints the console. Exits non-zero with the reason on failure."""
    if len(argv) not in (4, 5):
        print(main.__doc__, file=sys.stderr)
        return 2
    site, page, out = argv[1:4]
    seconds = float(argv[4]) if len(argv) == 5 else 5.0
    try:
        with SiteServer(site) as server, Browser() as browser:
            browser.require_webgl2_on_swiftshader()
            browser.open(server.url(page))
            browser.pump(seconds)
            browser.screenshot(out)
            # What the page of a program reports (web/varnel-page.js), where it is one.
            report = browser.evaluate(
                "JSON.stringify(typeof varnelPage === 'undefined' ? null : {state: "
                "varnelPage.state, firstFrameMs: varnelPage.firstFrameMs, frames: "
                "varnelPage.frames})")
            print("page:", report)
            print("\n".join(browser.console))
    except WebError as error:
        print(f"browser.py: {error}", file=sys.stderr)
        return 1
    print(f"browser.py: screenshot of {page} in {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
