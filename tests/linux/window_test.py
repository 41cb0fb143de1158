#!/usr/bin/python3
"""panel-host's window under a bare X server, worked as a person works it.

    window_test.py PANEL_HOST OUT_DIR

Starts Xvfb, opens `panel-host window` on it and, with xdotool, holds the
minus button down (the push time runs down by repeated clicks), sets it to
5 s with one click on plus, chooses the tail to the right, releases the
parking brake with B when the crew asks, sets it when asked at the end, and
quits with Esc after the reset. While the crew's first call plays it takes
a screenshot (OUT_DIR/window.png) and checks its pixels: the status strip
carries its text and the hint to press B, the caption strip the crew's
words, the panel its countdown, the view below it the aircraft. The
timeline must show the held button's repeats, every phase in order, the
turn's end and the reset, and the summary on Esc.

Prints one line per check and "N passed, M failed"; exit 1 on a failed
check.
"""
import os
import re
import subprocess
import sys
import time

from PIL import Image

SCALE = 3
PANEL_H = 78 * SCALE
STATUS_Y, STATUS_H = PANEL_H, 44
VIEW_Y, VIEW_H = STATUS_Y + STATUS_H, 270
CAPTION_Y, CAPTION_H = VIEW_Y + VIEW_H, 54
# The panel's buttons (centres, panel pixels) as its mouse areas place them.
MINUS, PLUS, RIGHT = (106, 51), (139, 51), (71, 38)
STATUS_TEXT, HINT_TEXT, CAPTION_TEXT = (0xE6, 0xE8, 0xEA), (0xFF, 0xC8, 0x3C), (0xFF, 0xFF, 0xFF)
COUNTDOWN, AIRCRAFT = (0xDE, 0xDE, 0x00), (0xE8, 0xEC, 0xF0)

results = []


def check(label, ok, detail=""):
    results.append(ok)
    print(("PASS " if ok else "FAIL ") + label + ("" if ok else f": {detail}"))


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, check=True, capture_output=True, text=True,
                          timeout=30).stdout


def wait_for(path, pattern, seconds):
    end = time.time() + seconds
    while time.time() < end:
        with open(path) as f:
            if re.search(pattern, f.read(), re.M):
                return True
        time.sleep(0.1)
    return False


def count(image, box, colour):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if image.getpixel((x, y))[:3] == colour)


def main():
    panel_host, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    timeline, errors, shot = (os.path.join(out, n) for n in ("timeline.txt", "stderr.txt", "window.png"))
    if os.path.exists(shot):
        os.remove(shot)
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "800x700x24", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    display = os.read(read_fd, 16).decode().strip()
    os.close(read_fd)
    env = dict(os.environ, DISPLAY=":" + display)
    env.pop("WAYLAND_DISPLAY", None)
    host = None
    try:
        with open(timeline, "w") as o, open(errors, "w") as e:
            host = subprocess.Popen([panel_host, "window"], env=env, stdout=o, stderr=e, stdin=subprocess.DEVNULL)
        window = xdotool(env, "search", "--sync", "--name", "VORNAK_TOWS panel-host").split()[0]
        geometry = dict(line.split("=") for line in xdotool(env, "getwindowgeometry", "--shell", window).split())
        left, top = int(geometry["X"]), int(geometry["Y"])
        check("the window is the panel, its status strip, the view and the caption strip",
              (int(geometry["WIDTH"]), int(geometry["HEIGHT"])) == (172 * SCALE, CAPTION_Y + CAPTION_H),
              geometry)

        def move(point):
            xdotool(env, "mousemove", "--sync", str(left + point[0] * SCALE + 1), str(top + point[1] * SCALE + 1))

        move(MINUS)
        xdotool(env, "mousedown", "1")
        time.sleep(1.6)
        xdotool(env, "mouseup", "1")
        move(PLUS)
        xdotool(env, "click", "1")
        move(RIGHT)
        xdotool(env, "click", "1")
        xdotool(env, "windowfocus", "--sync", window)
        wait_for(timeline, r"clip PB1 starts", 20)
        time.sleep(0.5)
        subprocess.run(["import", "-window", window, shot], env=env, check=True, timeout=30)
        xdotool(env, "key", "b")
        check("the crew asks for the brake to be set at the end", wait_for(timeline, r"clip PB3 starts", 120))
        xdotool(env, "key", "b")
        check("the gauge resets after the final call", wait_for(timeline, r"reset: the gauge is idle again", 30))
        xdotool(env, "key", "Escape")
        status = host.wait(timeout=15)
        check("Esc ends the window with status 0", status == 0, status)
    finally:
        if host and host.poll() is None:
            host.kill()
        xvfb.terminate()
        xvfb.wait()

    text = open(timeline).read()
    minus = re.findall(r"click: minus( \(held, repeats\))?", text)
    check("holding minus repeats its click (half a second, then six a second)",
          len(minus) >= 5 and minus.count(" (held, repeats)") == len(minus) - 1, minus)
    check("the push time reached 5 s", re.search(r'click: plus\n(.*\n){0,3}.*display "  5sec"', text) is not None)
    phases = [m.group(1) for m in re.finditer(r"^\d\d:\d\d\.\d  (\S+(?: \S+)?)\s", text, re.M)]
    order = []
    for p in phases:
        if not order or order[-1] != p:
            order.append(p)
    check("the phases follow the gauge through one pushback",
          order == ["idle", "arming", "release wait", "straight push", "turn", "after turn", "wrap-up", "final",
                    "idle"], order)
    check("the turn's end is on the timeline", re.search(r"turn ends at heading 270\.\d\d \(target 270,", text)
          is not None)
    check("the summary on Esc counts the pushback and names the clicks",
          re.search(r"summary: .*1 pushback begun, 1 reset; clicks: left 0, right 1, minus \d+, plus 1;", text)
          is not None, text.splitlines()[-1:])

    image = Image.open(shot).convert("RGB")
    w = image.width
    status_text = count(image, (0, STATUS_Y, w, STATUS_Y + 22), STATUS_TEXT)
    hint = count(image, (0, STATUS_Y + 22, w, STATUS_Y + STATUS_H), HINT_TEXT)
    caption = count(image, (0, CAPTION_Y, w, CAPTION_Y + CAPTION_H), CAPTION_TEXT)
    check("the status strip carries its text", status_text > 300, status_text)
    check("the status strip asks for B while the crew waits for the brake", hint > 200, hint)
    check("the caption strip shows the crew's words while they are spoken", caption > 400, caption)
    check("the panel shows the countdown in yellow", count(image, (0, 0, w, PANEL_H), COUNTDOWN) > 100)
    check("the view shows the aircraft", count(image, (0, VIEW_Y, w, CAPTION_Y), AIRCRAFT) > 300)
    passed = sum(results)
    print(f"{passed} passed, {len(results) - passed} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
