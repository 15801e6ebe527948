#!/usr/bin/python3
"""Opens a page of the web build in headless Chromium (SwiftShader's WebGL 2), lets it run for a
few seconds, saves a screenshot of it and prints what the page reports (varnel-page.js): its
state, the time from loading to the first frame, the frames shown and the console's messages.
Used by tools/run-web.sh; needs Debian's python3-websocket.

Usage: tools/web-screenshot.py URL SCREENSHOT.png [SECONDS]
"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket


def browser_command(port, profile):
    chromium = shutil.which("chromium") or "/usr/bin/chromium"
    return [chromium, "--headless=new", "--no-sandbox", "--use-angle=swiftshader",
            "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required",
            "--no-first-run", "--no-default-browser-check", "--window-size=1100,900",
            f"--remote-debugging-port={port}", f"--user-data-dir={profile}", "about:blank"]


def page_socket(port):
    deadline = time.time() + 20
    while time.time() < deadline:
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/json") as answer:
                for target in json.load(answer):
                    if target.get("type") == "page":
                        return websocket.create_connection(target["webSocketDebuggerUrl"],
                                                           timeout=60)
        except OSError:
            pass
        time.sleep(0.2)
    raise RuntimeError("Chromium did not open its DevTools port")


class Page:
    def __init__(self, socket):
        self.socket = socket
        self.next_id = 0
        self.console = []

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("method") == "Runtime.consoleAPICalled":
                text = " ".join(str(a.get("value", a.get("description", "")))
                                for a in message["params"]["args"])
                self.console.append(text)
            elif message.get("method") == "Runtime.exceptionThrown":
                details = message["params"]["exceptionDetails"]
                self.console.append("exception: " + details.get("exception", {}).get(
                    "description", details.get("text", "")))
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    url, shot = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 6.0
    port = 9300 + os.getpid() % 500
    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as profile:
        browser = subprocess.Popen(browser_command(port, profile), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            page = Page(page_socket(port))
            page.call("Runtime.enable")
            page.call("Page.enable")
            page.call("Page.navigate", url=url)
            time.sleep(seconds)
            report = page.evaluate(
                "JSON.stringify(typeof varnelPage === 'undefined' ? null : {state: "
                "varnelPage.state, firstFrameMs: varnelPage.firstFrameMs, frames: "
                "varnelPage.frames, status: document.getElementById('status-text').textContent})")
            picture = page.call("Page.captureScreenshot", format="png")
            with open(shot, "wb") as file:
                file.write(base64.b64decode(picture["data"]))
            print("page:", report)
            for line in page.console:
                print("console:", line)
        finally:
            browser.terminate()
            browser.wait()


if __name__ == "__main__":
    main()
