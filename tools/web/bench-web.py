#!/usr/bin/python3
# bench-web.py: the web build against the native program, measured side by side in one run:
# - the start view's frame rate of varnel-hwvp-immediate in headless Chromium (WebGL 2 on
#   SwiftShader) and on Linux, in alternating rounds, with the CPU time a frame costs in each
#   process: the native program (its driver included), and the browser's page (the program as
#   WebAssembly) and GPU process (SwiftShader rendering what the page asked for);
# - the time from the start of the page's load to its first frame;
# - the download of the front page, compressed as a server sends it (gzip -9).
# The figures are printed with their goals, not checked: this machine's load decides them.
# Usage: tools/web/bench-web.py SITE_FOLDER LINUX_BUILD_FOLDER [seconds per run] [rounds]
import gzip
import os
import re
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import browser  # noqa: E402

PROGRAM = "varnel-hwvp-immediate"
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid):
    """User and system ticks of a process, all its threads together; 0 once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError, ValueError):
        return 0


def descendants(pid):
    """The process ids under pid, with their command lines."""
    found = {}
    children = [pid]
    while children:
        parent = children.pop()
        try:
            with open(f"/proc/{parent}/task/{parent}/children") as f:
                kids = [int(k) for k in f.read().split()]
        except OSError:
            kids = []
        for kid in kids:
            try:
                with open(f"/proc/{kid}/cmdline", "rb") as f:
                    found[kid] = f.read().replace(b"\0", b" ").decode(errors="replace")
            except OSError:
                continue
            children.append(kid)
    return found


def native_run(build, seconds):
    """Frames a second after the first report, and CPU milliseconds a frame over them."""
    env = dict(os.environ, VARNEL_FRAME_REPORT="1", VARNEL_UNATTENDED="1",
               ALSOFT_DRIVERS=os.environ.get("ALSOFT_DRIVERS", "null"))
    program = subprocess.Popen([os.path.join(build, PROGRAM)], cwd=build, env=env,
                               stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
    rates = []
    before = None
    try:
        for line in program.stderr:
            match = re.match(r"frame rate: ([0-9.]+) fps$", line.strip())
            if not match:
                continue
            if before is None:
                before = cpu_ticks(program.pid)
                continue
            rates.append(float(match.group(1)))
            if len(rates) * 2 >= seconds - 2:
                break
        after = cpu_ticks(program.pid)
    finally:
        program.kill()
        program.wait()
    if not rates:
        raise browser.WebError(f"{PROGRAM} reported no frame rate (exit status "
                               f"{program.returncode})")
    frames = sum(rates) * 2  # one report every 2 seconds
    return sum(rates) / len(rates), (after - before) * 1000 / TICKS / frames


def web_run(site, seconds):
    """Frames a second after the first 2 s, CPU ms a frame in the page's and the GPU process,
    the program's own ms a frame, and ms from the start of the load to the first frame."""
    with browser.SiteServer(site) as server, browser.Browser(audio_tap=False) as b:
        b.require_webgl2_on_swiftshader()
        b.open(server.url(PROGRAM + ".html"))
        b.wait_for("window.varnelPage && varnelPage.state !== 'loading'", 120,
                   "the program's first frame")
        state = b.evaluate("varnelPage.state")
        if state != "running":
            raise browser.WebError(f"the page is {state}")
        first_frame = b.evaluate("varnelPage.firstFrameMs")
        b.pump(2)
        processes = descendants(b.process.pid)
        page = [pid for pid, line in processes.items() if "--type=renderer" in line]
        gpu = [pid for pid, line in processes.items() if "--type=gpu-process" in line]
        counters = "[varnelPage.frames, performance.now(), varnelPage.programMs, " \
                   "varnelPage.timedFrames]"
        start = b.evaluate(counters)
        ticks = [sum(cpu_ticks(p) for p in page), sum(cpu_ticks(p) for p in gpu)]
        b.pump(max(seconds - 2, 1))
        end = b.evaluate(counters)
        ticks = [sum(cpu_ticks(p) for p in page) - ticks[0],
                 sum(cpu_ticks(p) for p in gpu) - ticks[1]]
    frames = end[0] - start[0]
    if frames <= 0:
        raise browser.WebError("the page showed no frame while measured")
    per_frame = [t * 1000 / TICKS / frames for t in ticks]
    own = (end[2] - start[2]) / max(end[3] - start[3], 1)
    return frames * 1000 / (end[1] - start[1]), per_frame[0], per_frame[1], own, first_frame


def download_bytes(site):
    """What the front page downloads, each file gzip -9 as a server would send it."""
    names = ["index.html", "varnel.css", "varnel-page.js", "meshes-data.js", "meshes.data",
             "varnel-hwvp-default.js", "varnel-hwvp-default.wasm"]
    sizes = {}
    for name in names:
        with open(os.path.join(site, name), "rb") as f:
            sizes[name] = len(gzip.compress(f.read(), 9))
    return sizes


def main(argv):
    if len(argv) < 3 or len(argv) > 5:
        print("usage: bench-web.py SITE_FOLDER LINUX_BUILD_FOLDER [seconds per run] [rounds]",
              file=sys.stderr)
        return 2
    site, build = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    seconds = int(argv[3]) if len(argv) > 3 else 10
    rounds = int(argv[4]) if len(argv) > 4 else 2
    if not os.environ.get("BENCH_INNER"):
        # The native program needs a display; with-display.sh gives one where there is none.
        os.environ["BENCH_INNER"] = "1"
        tool = os.path.join(here, "..", "with-display.sh")
        os.execv(tool, [tool, sys.executable, os.path.abspath(__file__), *argv[1:]])
    native, web = [], []
    try:
        for _ in range(rounds):
            native.append(native_run(build, seconds))
            web.append(web_run(site, seconds))
    except browser.WebError as error:
        print(f"bench-web: {error}", file=sys.stderr)
        return 1

    def mean(values):
        return sum(values) / len(values)

    native_fps, web_fps = mean([n[0] for n in native]), mean([w[0] for w in web])
    print(f"native {PROGRAM}: {native_fps:.1f} fps, "
          f"{mean([n[1] for n in native]):.1f} ms CPU a frame")
    print(f"web {PROGRAM}: {web_fps:.1f} fps; CPU a frame: "
          f"{mean([w[1] for w in web]):.1f} ms in the page, "
          f"{mean([w[2] for w in web]):.1f} ms in the GPU process; "
          f"the program's own time {mean([w[3] for w in web]):.1f} ms a frame")
    print(f"ratio web to native: {web_fps / native_fps:.3f} (goal at least 0.8)")
    firsts = ", ".join(f"{w[4] / 1000:.2f}" for w in web)
    print(f"page load to first frame: {firsts} s (goal at most 3 s)")
    sizes = download_bytes(site)
    listed = ", ".join(f"{name} {size / 1000:.0f} KB" for name, size in sizes.items())
    print(f"download, gzip -9: {sum(sizes.values()) / 1e6:.2f} MB (goal at most 3 MB): {listed}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
