#!/usr/bin/env python3
"""End-to-end test of the real program: the overlay as a person sees it, and the keyboard,
mouse and window activation driven with xdotool under the X server.

Run from the build folder with a display: python3 overlay_input_test.py [program]
Needs xdotool, xmessage and ImageMagick's import."""
import os
import subprocess
import sys
import time

PROGRAM = sys.argv[1] if len(sys.argv) > 1 else "./varnel-hwvp-immediate"
TOP_Y, LINE_HEIGHT = 665, 18
# 0xD9F2FF at alpha 166/255 over black, as the text's fully covered pixels show it.
TEXT_COLOUR = tuple(round(c * 166 / 255) for c in (0xD9, 0xF2, 0xFF))
failures = []


def check(condition, message):
    print(("ok      " if condition else "FAILED  ") + message, flush=True)
    if not condition:
        failures.append(message)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def find_window(name, timeout=15.0):
    end = time.time() + timeout
    while time.time() < end:
        result = subprocess.run(["xdotool", "search", "--name", name],
                                capture_output=True, text=True)
        ids = result.stdout.split()
        if ids:
            return ids[0]
        time.sleep(0.1)
    return None


def client_origin(window):
    info = run("xwininfo", "-id", window)
    values = {}
    for line in info.splitlines():
        if ":" in line:
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
    return int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"])


class Shot:
    """A screenshot of the program's client area, pixels as (r, g, b)."""

    def __init__(self, window):
        x, y = client_origin(window)
        data = subprocess.run(["import", "-window", "root", "-crop", f"1024x768+{x}+{y}",
                               "+repage", "-depth", "8", "ppm:-"],
                              check=True, capture_output=True).stdout
        # P6 header: magic, width, height, maximum value, each followed by white space.
        fields, position = [], 0
        while len(fields) < 4:
            while data[position:position + 1].isspace():
                position += 1
            start = position
            while not data[position:position + 1].isspace():
                position += 1
            fields.append(data[start:position])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[position + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def save(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.pixels)

    def is_text(self, x, y):
        # Text pixels are the overlay's blue: blue the brightest channel, red the dimmest.
        r, g, b = self.pixel(x, y)
        return b >= 60 and b >= g >= r and b - r >= 12

    def ink_columns(self, row, left, right):
        # The body of the row's glyphs, clear of the row above's descenders.
        top = TOP_Y + LINE_HEIGHT * row
        return [x for x in range(left, right)
                if any(self.is_text(x, y) for y in range(top + 4, top + LINE_HEIGHT - 2))]

    def ink_extent(self, row, left, right):
        columns = self.ink_columns(row, left, right)
        return (columns[0], columns[-1]) if columns else None

    def region(self, row, left, right):
        top = TOP_Y + LINE_HEIGHT * row
        return [self.pixel(x, y) for y in range(top, top + LINE_HEIGHT)
                for x in range(left, right)]


def key(window, *names):
    for name in names:
        run("xdotool", "key", "--window", window, name)
        time.sleep(0.08)
    time.sleep(0.4)


def focus(window):
    run("xdotool", "windowactivate", "--sync", window) if has_window_manager() else \
        run("xdotool", "windowfocus", "--sync", window)
    time.sleep(0.5)


def has_window_manager():
    result = subprocess.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"], capture_output=True,
                            text=True)
    return result.returncode == 0 and "window id" in result.stdout


def scene(shot):
    """The picture above the overlay."""
    return shot.pixels[:(TOP_Y - 20) * shot.width * 3]


def main():
    env = dict(os.environ, VARNEL_UNATTENDED="1")
    program = subprocess.Popen([PROGRAM], env=env)
    window = find_window("^Varnel$")
    check(window is not None, "the window titled Varnel appears")
    if window is None:
        program.kill()
        return 1
    time.sleep(1.0)
    focus(window)
    start = Shot(window)
    start.save("overlay_start.ppm")

    # Stop the train (six Page Down from 60 km/h: "0.0") and turn the camera with the mouse
    # to look at the train from outside the oval, so that only black lies behind the overlay.
    target_start = start.ink_extent(1, 300, 400)
    key(window, *["Next"] * 6)
    target_zero = Shot(window).ink_extent(1, 300, 400)
    check(target_start and target_zero and target_zero[1] < target_start[1],
          f"Page Down narrows the target readout to 0.0 ({target_start} -> {target_zero})")
    run("xdotool", "mousemove", "--window", window, "512", "360")
    for _ in range(15):
        run("xdotool", "mousemove_relative", "--", "-50", "0")
        time.sleep(0.05)
    time.sleep(8.0)  # the train brakes to a standstill

    shot = Shot(window)
    shot.save("overlay_still.ppm")
    for row in range(3):
        check(shot.ink_columns(row, 10, 1000), f"overlay row {row} has text")
    check(not shot.ink_columns(-2, 10, 1000), "no overlay text above the rows")
    check(not any(shot.is_text(x, y) for x in range(0, 1024)
                  for y in range(TOP_Y + 3 * LINE_HEIGHT + 6, shot.height)),
          "no overlay text below the rows")
    for row, left, right, x in ((0, 0, 140, 10), (0, 300, 390, 310), (0, 390, 470, 400),
                                (0, 470, 600, 480), (0, 540, 700, 605), (0, 750, 845, 760),
                                (2, 840, 1000, 850)):
        extent = shot.ink_extent(row, left, right)
        check(extent is not None and x <= extent[0] <= x + 3,
              f"row {row} text starts at x {x} ({extent})")
    check(not shot.ink_columns(0, 280, 309), "a gap before the value column")
    brightest = max((shot.pixel(x, y) for x in range(10, 1000)
                     for y in range(TOP_Y, TOP_Y + 3 * LINE_HEIGHT)), key=lambda p: p[2])
    check(all(abs(a - b) <= 6 for a, b in zip(brightest, TEXT_COLOUR)),
          f"text is pale sky blue at alpha 166 over black ({brightest}, {TEXT_COLOUR})")

    # Ten Page Up from 0 give "100.0", one glyph wider than "60.0"; back to a standstill after.
    key(window, *["Prior"] * 10)
    target_top = Shot(window).ink_extent(1, 300, 400)
    check(target_start and target_top and target_top[1] - target_start[1] >= 6,
          f"Page Up widens the target readout ({target_start} -> {target_top})")
    key(window, *["Next"] * 10)
    time.sleep(3.0)

    # Car selection: the number changes on Right and comes back on Left.
    car_first = Shot(window).region(1, 10, 140)
    key(window, "Right")
    car_second = Shot(window).region(1, 10, 140)
    key(window, "Left")
    car_back = Shot(window).region(1, 10, 140)
    check(car_first != car_second and car_first == car_back,
          "Right and Left change the car number and back")

    # The wheel moves the eye away and back.
    near = Shot(window)
    for _ in range(3):
        run("xdotool", "click", "--window", window, "5")
    time.sleep(0.5)
    far = Shot(window)
    for _ in range(3):
        run("xdotool", "click", "--window", window, "4")
    time.sleep(0.5)
    back = Shot(window)
    check(scene(near) != scene(far) and scene(near) == scene(back),
          "the wheel moves the camera away and back")

    # Enter: "Freight train" becomes the longer "Passenger train".
    freight = Shot(window).ink_extent(2, 0, 145)
    key(window, "Return")
    passenger = Shot(window).ink_extent(2, 0, 145)
    check(freight and passenger and passenger[1] - freight[1] >= 10,
          f"Enter switches to the passenger train ({freight} -> {passenger})")

    # Another window takes the focus: keys don't reach the program; back again, they do.
    before = Shot(window).ink_extent(1, 300, 400)
    other = subprocess.Popen(["xmessage", "-geometry", "+300+300", "another window"],
                             stderr=subprocess.DEVNULL)
    other_window = find_window("^xmessage$")
    check(other_window is not None, "another window appears")
    if other_window:
        focus(other_window)
        key(other_window, *["Prior"] * 4)
        inactive = Shot(window).ink_extent(1, 300, 400)
        check(inactive == before, f"keys do nothing while inactive ({before}, {inactive})")
        focus(window)
        key(window, *["Prior"] * 4)
        active = Shot(window).ink_extent(1, 300, 400)
        check(before and active and active[1] > before[1],
              f"keys work again after re-activation ({before} -> {active})")
    other.kill()
    other.wait()
    focus(window)
    Shot(window).save("overlay_end.ppm")

    key_time = time.time()
    run("xdotool", "key", "--window", window, "Escape")
    try:
        code = program.wait(timeout=3)
    except subprocess.TimeoutExpired:
        program.kill()
        code = None
    elapsed = time.time() - key_time
    check(code == 0 and elapsed < 1.0, f"Escape ends the program with 0 ({code}, {elapsed:.2f} s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
