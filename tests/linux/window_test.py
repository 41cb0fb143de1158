#!/usr/bin/python3
"""panel-host's window under a bare X server, worked as a person works it.

    window_test.py PANEL_HOST OUT_DIR
    window_test.py --wine WINE [--win32] --prefix DIR --home DIR PANEL_HOST_EXE MODULE OUT_DIR

The second form is the Windows preview under wine, as a simulator user
starts it: panel-host.exe copied beside the module as
VORNAK_TOWS-preview.exe and started without arguments (a double-click). Its
window is drawn by other code (GDI) but laid out by the same, so the same
clicks and pixel checks hold; its DirectSound mix goes to a file through
ALSA and must not be silent. Started alone, with no module beside it, it
must refuse in a message box and exit with 2.

Starts Xvfb, opens `panel-host window` on it and, with xdotool, holds the
minus button down (the push time runs down by repeated clicks), sets it to
5 s with one click on plus, chooses the tail to the right, releases the
parking brake with B when the crew asks, and sets it when asked at the end;
after the reset it pushes back once more, tail to the left (the reset left
the push time at 0, so one click on plus first), and quits with Esc. While the crew's first call plays it takes
a screenshot (OUT_DIR/window.png) and checks its pixels: the status strip
carries its text and the hint to press B, the caption strip the crew's
words, the panel its countdown, the view below it the aircraft; a second
one in the turn (OUT_DIR/window_turn.png) must show the track. The
timeline must show the held button's repeats, every phase of both
pushbacks in order, each turn's end and reset, and the summary on Esc.

Prints one line per check and "N passed, M failed"; exit 1 on a failed
check.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows"))
import wine_run  # noqa: E402  (the wine prefixes, HOME and ALSA files of the Windows checks)

SCALE = 3
PANEL_H = 78 * SCALE
STATUS_Y, STATUS_H = PANEL_H, 44
VIEW_Y, VIEW_H = STATUS_Y + STATUS_H, 270
CAPTION_Y, CAPTION_H = VIEW_Y + VIEW_H, 54
# The panel's buttons (centres, panel pixels) as its mouse areas place them.
MINUS, PLUS, LEFT, RIGHT = (106, 51), (139, 51), (27, 38), (71, 38)
STATUS_TEXT, HINT_TEXT, CAPTION_TEXT = (0xE6, 0xE8, 0xEA), (0xFF, 0xC8, 0x3C), (0xFF, 0xFF, 0xFF)
COUNTDOWN, AIRCRAFT, TRACK = (0xDE, 0xDE, 0x00), (0xE8, 0xEC, 0xF0), (0xF0, 0xC4, 0x19)

results = []


def check(label, ok, detail=""):
    results.append(ok)
    print(("PASS " if ok else "FAIL ") + label + ("" if ok else f": {detail}"))


def xdotool(env, *args):
    done = subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True, timeout=30)
    if done.returncode != 0:
        raise RuntimeError(f"xdotool {' '.join(args)}: {done.stderr.strip() or done.returncode}")
    return done.stdout


def wait_for(path, pattern, seconds, times=1):
    end = time.time() + seconds
    while time.time() < end:
        with open(path) as f:
            if len(re.findall(pattern, f.read(), re.M)) >= times:
                return True
        time.sleep(0.1)
    return False


def answers(number):
    """True once the server on :NUMBER takes a client. Its socket can be
    there before it listens (or be a dead server's), and a loaded machine
    can take seconds between the two."""
    env = dict(os.environ, DISPLAY=f":{number}")
    for _ in range(100):
        done = subprocess.run(["xdotool", "getdisplaygeometry"], env=env, capture_output=True, timeout=30)
        if done.returncode == 0:
            return True
        time.sleep(0.1)
    return False


def start_xvfb(log_path):
    """An X server on the first display number free from 90 on: its process
    and number. A number another test takes at the same moment makes the
    server stop at once; the next number is tried then."""
    with open(log_path, "w") as log:
        for number in range(90, 190):
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "800x700x24", "-nolisten", "tcp"],
                                      stdin=subprocess.DEVNULL, stdout=log, stderr=log)
            for _ in range(100):
                if server.poll() is not None or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    break
                time.sleep(0.1)
            if server.poll() is None and os.path.exists(f"/tmp/.X11-unix/X{number}") and answers(number):
                return server, str(number)
            server.kill()
            server.wait()
    raise RuntimeError("no X server started; see " + log_path)


def count(image, box, colour):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if image.getpixel((x, y))[:3] == colour)


def preview_refuses_alone(args, env, out):
    """The preview with no module beside it: a message box, then exit 2."""
    alone = os.path.join(out, "alone")
    os.makedirs(alone, exist_ok=True)
    exe = os.path.join(alone, "VORNAK_TOWS-preview.exe")
    shutil.copyfile(args.panel_host, exe)
    errors = os.path.join(out, "alone-stderr.txt")
    with open(errors, "w") as e:
        host = subprocess.Popen([args.wine, exe], env=env, stdout=subprocess.DEVNULL, stderr=e,
                                stdin=subprocess.DEVNULL)
    box = None
    for _ in range(40):
        try:
            box = xdotool(env, "search", "--name", "VORNAK_TOWS preview").split()[0]
            break
        except RuntimeError:
            time.sleep(0.5)
    if box:
        xdotool(env, "key", "--window", box, "Return")
    status = host.wait(timeout=30)
    lines = open(errors).read().strip().splitlines()
    check("the preview alone says in a message box that its module is missing, and exits with 2",
          box is not None and status == 2 and lines and "cannot load module" in lines[0] and
          "VORNAK_TOWS.gau" in lines[0], (box, status, lines[:2]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine")
    parser.add_argument("--win32", action="store_true")
    parser.add_argument("--prefix")
    parser.add_argument("--home")
    parser.add_argument("panel_host")
    parser.add_argument("module", nargs="?")
    parser.add_argument("out")
    args = parser.parse_args()
    out = args.out
    os.makedirs(out, exist_ok=True)
    timeline, errors, shot, turn_shot = (os.path.join(out, n) for n in
                                         ("timeline.txt", "stderr.txt", "window.png", "window_turn.png"))
    for old in (shot, turn_shot):
        if os.path.exists(old):
            os.remove(old)
    command, raw = [args.panel_host, "window"], None
    if args.wine:
        if args.win32:
            wine_run.need_32bit_wine(args)
        wine_run.need_prefix(args)
        kit = os.path.join(out, "kit")
        os.makedirs(kit, exist_ok=True)
        shutil.copyfile(args.panel_host, os.path.join(kit, "VORNAK_TOWS-preview.exe"))
        shutil.copyfile(args.module, os.path.join(kit, "VORNAK_TOWS.gau"))
        command = [args.wine, os.path.join(kit, "VORNAK_TOWS-preview.exe")]
        raw = os.path.join(args.home, "out.raw")
        if os.path.exists(raw):
            os.remove(raw)
    xvfb, display = start_xvfb(os.path.join(out, "xvfb.txt"))
    env = dict(wine_run.environment(args, wine_run.FILE_ASOUNDRC % raw) if args.wine else os.environ,
               DISPLAY=":" + display)
    env.pop("WAYLAND_DISPLAY", None)
    host = None
    try:
        with open(timeline, "w") as o, open(errors, "w") as e:
            host = subprocess.Popen(command, env=env, stdout=o, stderr=e, stdin=subprocess.DEVNULL)
        window = None
        # The window appears within a second or two; wine's first start in
        # a prefix on a display can take a minute.
        for _ in range(180 if args.wine else 40):
            try:
                window = xdotool(env, "search", "--name", "VORNAK_TOWS panel-host").split()[0]
                break
            except RuntimeError:
                time.sleep(0.5)
        if window is None:
            raise RuntimeError("panel-host opened no window: " + open(errors).read().strip())
        geometry = dict(line.split("=") for line in xdotool(env, "getwindowgeometry", "--shell", window).split())
        left, top = int(geometry["X"]), int(geometry["Y"])
        check("the window is the panel, its status strip, the view and the caption strip",
              (int(geometry["WIDTH"]), int(geometry["HEIGHT"])) == (172 * SCALE, CAPTION_Y + CAPTION_H),
              geometry)

        def move(point):
            xdotool(env, "mousemove", "--sync", str(left + point[0] * SCALE + 1), str(top + point[1] * SCALE + 1))

        # The window takes clicks once its first update has been drawn.
        wait_for(timeline, r'display " 20sec"', 20)
        time.sleep(0.3)
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
        for n, side in ((1, None), (2, LEFT)):
            if side:
                move(PLUS)
                xdotool(env, "click", "1")
                move(side)
                xdotool(env, "click", "1")
                xdotool(env, "windowfocus", "--sync", window)
                wait_for(timeline, r"clip PB1 starts", 20, n)
                time.sleep(0.5)
            xdotool(env, "key", "b")
            if n == 1:
                wait_for(timeline, r"turning from heading", 40)
                time.sleep(10)
                subprocess.run(["import", "-window", window, turn_shot], env=env, check=True, timeout=30)
            check(f"pushback {n}: the crew asks for the brake to be set at the end",
                  wait_for(timeline, r"clip PB3 starts", 120, n))
            xdotool(env, "key", "b")
            check(f"pushback {n}: the gauge resets after the final call",
                  wait_for(timeline, r"reset: the gauge is idle again", 30, n))
        xdotool(env, "key", "Escape")
        status = host.wait(timeout=15)
        check("Esc ends the window with status 0", status == 0, status)
        if args.wine:
            preview_refuses_alone(args, env, out)
    finally:
        if host and host.poll() is None:
            host.kill()
        xvfb.terminate()
        xvfb.wait()

    text = open(timeline).read()
    minus = re.findall(r"click: minus( \(held, repeats\))?", text)
    check("holding minus repeats its click (half a second, then six a second)",
          len(minus) >= 5 and minus.count(" (held, repeats)") == len(minus) - 1, minus)
    first = text[:text.find("click: right")]
    check("the push time reached 0 and then 5 s before the first pushback",
          '"  0sec"' in first and re.search(r'click: plus\n(.*\n){0,3}.*display "  5sec"', first) is not None)
    phases = [m.group(1) for m in re.finditer(r"^\d\d:\d\d\.\d  (\S+(?: \S+)?)\s", text, re.M)]
    order = []
    for p in phases:
        if not order or order[-1] != p:
            order.append(p)
    one = ["arming", "release wait", "straight push", "turn", "after turn", "wrap-up", "final", "idle"]
    check("the phases follow the gauge through both pushbacks", order == ["idle"] + one + one, order)
    turns = re.findall(r"turn ends at heading (\d+\.\d\d) \(target (\d+),", text)
    check("each turn's end is on the timeline: right to 270, then left to 0",
          [t for _, t in turns] == ["270", "0"] and all(0 <= float(h) - int(t) < 1 for h, t in turns), turns)
    check("the summary on Esc counts both pushbacks and names the clicks",
          re.search(r"summary: .*2 pushbacks begun, 2 reset; clicks: left 1, right 1, minus \d+, plus 2;", text)
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
    turn = Image.open(turn_shot).convert("RGB")
    check("in the turn the view shows the track behind the aircraft",
          count(turn, (0, VIEW_Y, w, CAPTION_Y), TRACK) > 100)
    check("in the turn the status strip names it and no caption shows",
          count(turn, (0, CAPTION_Y, w, CAPTION_Y + CAPTION_H), CAPTION_TEXT) == 0 and
          count(turn, (0, STATUS_Y, w, STATUS_Y + 22), STATUS_TEXT) > 300)
    if raw is not None:
        data = open(raw, "rb").read() if os.path.exists(raw) else b""
        loud = len(data) - data.count(0)
        check("the crew was heard: the module's DirectSound mix is not silent", loud >= 8192,
              f"{loud} non-zero bytes of {len(data)}")
    passed = sum(results)
    print(f"{passed} passed, {len(results) - passed} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
