#!/usr/bin/python3
"""panel-host's window under a bare X server, worked as a person works it.

    window_test.py PANEL_HOST OUT_DIR
    window_test.py --wine WINE [--win32] --prefix DIR --home DIR PANEL_HOST_EXE MODULE OUT_DIR

Only what a real window shows; the rules behind it (phases, hints,
hold-to-repeat) are tested by update number in world_test.cpp. Every wait
is for a line of the window's timeline, with a generous deadline only as a
safety net. The runs and screenshots are described in docs/testing.md.

With --wine, the Windows preview: panel-host.exe beside the module as
VORNAK_TOWS-preview.exe, the real-time window started without arguments;
its DirectSound mix, through ALSA to a file, must not be silent; alone it
must refuse in a message box and exit with 2.

Prints one line per check and "N passed, M failed"; exit 1 on a failed check.
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
import wine_run  # noqa: E402  (the X server, wine prefixes, HOME and ALSA files of the Windows checks)
from checklist import Checks  # noqa: E402

# ALSA's default on a card no machine has: wine's DirectSound finds no device.
NO_CARD_ASOUNDRC = "pcm.!default { type hw card 63 }\nctl.!default { type hw card 63 }\n"

SCALE = 3
PANEL_H = 78 * SCALE
STATUS_Y, STATUS_H = PANEL_H, 44
VIEW_Y, VIEW_H = STATUS_Y + STATUS_H, 270
CAPTION_Y, CAPTION_H = VIEW_Y + VIEW_H, 54
# The panel's buttons (centres, panel pixels) as its mouse areas place them.
MINUS, PLUS, LEFT, RIGHT = (106, 51), (139, 51), (27, 38), (71, 38)
STATUS_TEXT, HINT_TEXT, CAPTION_TEXT = (0xE6, 0xE8, 0xEA), (0xFF, 0xC8, 0x3C), (0xFF, 0xFF, 0xFF)
COUNTDOWN, AIRCRAFT, TRACK = (0xDE, 0xDE, 0x00), (0xE8, 0xEC, 0xF0), (0xF0, 0xC4, 0x19)
SPEED = 10    # the second window's time scale

checks = Checks()
check = checks.check


def xdotool(env, *args):
    done = subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True, timeout=30)
    if done.returncode != 0:
        raise RuntimeError(f"xdotool {' '.join(args)}: {done.stderr.strip() or done.returncode}")
    return done.stdout


# Plus pressed at push time 0, and the 5 s it sets shown.
PLUS_SHOWN = r'click: plus\n(?:.*\n){0,3}.*display "  5sec"'
SHOWS = r"window shows: "   # a hint the window has put on the screen


def find_window(env, name, seconds):
    """The first window whose name matches, as soon as the X server has one
    (xdotool --sync waits for it); None when none came within `seconds`."""
    try:
        done = subprocess.run(["xdotool", "search", "--sync", "--name", name], env=env, capture_output=True,
                              text=True, timeout=seconds)
    except subprocess.TimeoutExpired:
        return None
    found = done.stdout.split()
    return found[0] if done.returncode == 0 and found else None


def wait_for(path, pattern, seconds, times=1):
    end = time.time() + seconds
    while time.time() < end:
        with open(path) as f:
            if len(re.findall(pattern, f.read(), re.M)) >= times:
                return True
        time.sleep(0.1)
    return False


def count(image, box, colour):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if image.getpixel((x, y))[:3] == colour)


class Window:
    """One panel-host window on the X server, with its timeline file."""

    def __init__(self, command, env, out, name, speed):
        self.env, self.speed = env, speed
        self.timeline, self.errors = (os.path.join(out, f"{name}{n}") for n in (".txt", "_stderr.txt"))
        with open(self.timeline, "w") as o, open(self.errors, "w") as e:
            self.host = subprocess.Popen(command, env=env, stdout=o, stderr=e, stdin=subprocess.DEVNULL)
        # The window appears within a second or two; wine's first start on
        # a display can take a minute.
        self.id = find_window(env, "VORNAK_TOWS (panel-host|preview)", 90)
        if self.id is None:
            raise RuntimeError("panel-host opened no window: " + open(self.errors).read().strip())
        geometry = dict(line.split("=") for line in xdotool(env, "getwindowgeometry", "--shell", self.id).split())
        self.left, self.top = int(geometry["X"]), int(geometry["Y"])
        check(f"the window ({speed}x) is the panel, its status strip, the view and the caption strip",
              (int(geometry["WIDTH"]), int(geometry["HEIGHT"])) == (172 * SCALE, CAPTION_Y + CAPTION_H),
              geometry)
        # The window takes clicks once it has drawn its first update.
        self.need(SHOWS, 120)

    def need(self, pattern, seconds, times=1):
        """Waits for a line the window must print; the test cannot go on
        without it."""
        if not wait_for(self.timeline, pattern, seconds, times):
            raise RuntimeError(f"the window ({self.speed}x) never said /{pattern}/; see {self.timeline}")

    def click(self, point, until=None):
        """Clicks; or holds the button down until the timeline matches `until`."""
        xdotool(self.env, "mousemove", "--sync", str(self.left + point[0] * SCALE + 1),
                str(self.top + point[1] * SCALE + 1))
        if until:
            xdotool(self.env, "mousedown", "1")
            found = wait_for(self.timeline, until, 60)
            xdotool(self.env, "mouseup", "1")
            return found
        xdotool(self.env, "click", "1")

    def push_time_5(self):
        """Holds minus until the push time shows 0, then sets 5 s with plus."""
        self.click(MINUS, until=r'display "  0sec"')
        self.click(PLUS)
        # The side is chosen once plus's own time shows: a window that takes
        # both clicks in one update (wine hands them over together) would
        # print the new time only after the choice.
        check(f"{self.speed}x: minus held repeats down to 0 s, then plus sets 5 s",
              wait_for(self.timeline, PLUS_SHOWN, 60) and "(held, repeats)" in open(self.timeline).read())

    def key(self, name):
        xdotool(self.env, "key", name)

    def choose(self, side, times=1):
        """Chooses the tail's side and waits for the crew's first call."""
        self.click(side)
        xdotool(self.env, "windowfocus", "--sync", self.id)
        return wait_for(self.timeline, r"clip PB1 starts", 60, times)

    def screenshot(self, path):
        subprocess.run(["import", "-window", self.id, path], env=self.env, check=True, timeout=30)

    def close(self):
        self.key("Escape")
        status = self.host.wait(timeout=120)
        check(f"Esc ends the window ({self.speed}x) with status 0", status == 0, status)
        return open(self.timeline).read()

    def kill(self):
        if self.host.poll() is None:
            self.host.kill()
            self.host.wait()


def preview_refuses_alone(args, env, out):
    """The preview with no module beside it: a message box, then exit 2."""
    alone = os.path.join(out, "alone")
    os.makedirs(alone, exist_ok=True)
    exe = os.path.join(alone, "VORNAK_TOWS-preview.exe")
    shutil.copyfile(args.panel_host, exe)
    errors = os.path.join(out, "alone_stderr.txt")
    with open(errors, "w") as e:
        host = subprocess.Popen(args.runner + [args.wine, exe], env=env, stdout=subprocess.DEVNULL, stderr=e,
                                stdin=subprocess.DEVNULL)
    box = find_window(env, "VORNAK_TOWS preview", 60)
    if box:
        xdotool(env, "key", "--window", box, "Return")
    status = host.wait(timeout=30)
    lines = open(errors).read().strip().splitlines()
    check("the preview alone says in a message box that its module is missing and what to do, and exits with 2",
          box is not None and status == 2 and bool(lines) and lines[0].startswith("VORNAK_TOWS preview: ") and
          "VORNAK_TOWS.gau is missing: unpack the whole ZIP into one folder" in lines[0], (box, status, lines[:2]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    wine_run.wine_arguments(parser, required=False)
    parser.add_argument("panel_host")
    parser.add_argument("module", nargs="?")
    parser.add_argument("out")
    args = parser.parse_args()
    args.runner = []   # 32-bit wine through qemu where the kernel runs no 32-bit code
    out = args.out
    os.makedirs(out, exist_ok=True)
    shots = [os.path.join(out, n) for n in ("window.png", "window_turn.png", "window_by_hand.png",
                                            "window_after_turn.png", "window_no_sound.png")]
    for old in filter(os.path.exists, shots):
        os.remove(old)
    shot, turn_shot, hand_shot, after_shot, silent_shot = shots

    raw, preview = None, os.path.join(out, "kit", "VORNAK_TOWS-preview.exe")

    def command(speed):
        if not args.wine:
            return [args.panel_host, "window", "--speed", str(speed)]
        # In real time as a simulator user starts it: double-clicked, no arguments.
        return args.runner + [args.wine, preview] + ([] if speed == 1 else ["window", "--speed", str(speed)])
    if args.wine:
        wine_run.need_wine(args)
        wine_run.need_prefix(args)
        os.makedirs(os.path.dirname(preview), exist_ok=True)
        shutil.copyfile(args.panel_host, preview)
        shutil.copyfile(args.module, os.path.join(out, "kit", "VORNAK_TOWS.gau"))
        raw = os.path.join(args.home, "out.raw")
        if os.path.exists(raw):
            os.remove(raw)
    xvfb, display = wine_run.start_xvfb(os.path.join(out, "xvfb.txt"))
    if args.wine:
        env = dict(wine_run.environment(args, wine_run.FILE_ASOUNDRC % raw), DISPLAY=display)
    else:
        # OpenAL's sound to a file: the crew is heard whether or not the
        # machine has a sound card.
        conf = os.path.join(out, "alsoft.conf")
        with open(conf, "w") as f:
            f.write("[wave]\nfile=" + os.path.join(out, "sound.wav") + "\n")
        env = dict(os.environ, DISPLAY=display, ALSOFT_CONF=conf, ALSOFT_DRIVERS="wave")
    env.pop("WAYLAND_DISPLAY", None)
    if args.wine:
        wine_run.wineserver(args, env, "-k", "-w")
    windows = []
    try:
        # Real time: the window as the crew asks for the brake, the words
        # in the caption while the call plays.
        real = Window(command(1), env, out, "timeline_realtime", 1)
        windows.append(real)
        real.push_time_5()
        check("real time: the crew calls after a direction is chosen", real.choose(RIGHT))
        real.need(SHOWS + "the crew asks: press B to release", 60)
        real.screenshot(shot)
        real.close()

        fast = Window(command(SPEED), env, out, "timeline", SPEED)
        windows.append(fast)
        fast.push_time_5()
        for n, side in ((1, RIGHT), (2, LEFT)):
            check(f"pushback {n}: the crew calls after a direction is chosen", fast.choose(side, n))
            fast.key("b")
            if n == 1:
                # The gauge's turn, five tug clips into it: the track has
                # grown well past the aircraft.
                fast.need(r"turning from heading", 120)
                tugs = len(re.findall(r"clip TUG starts", open(fast.timeline).read()))
                fast.need(r"clip TUG starts", 120, tugs + 5)
                fast.screenshot(turn_shot)
                fast.need(r"after turn +" + SHOWS, 120)
                fast.screenshot(after_shot)
            else:
                # Push time 0: the gauge pushes straight on until the
                # pilot's turn by hand reaches its target; the hint stays
                # until a key is pressed.
                fast.need(SHOWS + "no turn from the gauge: hold the Right key to heading 0", 120)
                fast.screenshot(hand_shot)
                # The wrong key first: the timeline names the right one.
                fast.key("Left")
                check("pushback 2: turned by hand away from the target, the timeline names the key toward it",
                      wait_for(fast.timeline, r"that turns away from heading 0: Right turns toward it", 60))
                xdotool(fast.env, "keydown", "Right")
                check("pushback 2: the gauge stops the pilot's turn by hand at its target",
                      wait_for(fast.timeline, r"turn ends at heading", 120, 2))
                xdotool(fast.env, "keyup", "Right")
            check(f"pushback {n}: the crew asks for the brake to be set at the end",
                  wait_for(fast.timeline, r"clip PB3 starts", 120, n))
            fast.key("b")
            check(f"pushback {n}: the gauge resets after the final call",
                  wait_for(fast.timeline, r"reset: the gauge is idle again", 120, n))
        text = fast.close()
        # No sound device: the module's sound cannot start (no driver OpenAL
        # can use; under wine, ALSA's default on a card that is not there, as
        # for a pilot without a sound card). The hints move on by the gauge's
        # schedule through the reset.
        if args.wine:
            quiet_env = dict(wine_run.environment(args, NO_CARD_ASOUNDRC), DISPLAY=env["DISPLAY"])
        else:
            quiet_env = dict(env, ALSOFT_DRIVERS="none")
        quiet = Window(command(2 * SPEED), quiet_env, out, "timeline_no_sound", 2 * SPEED)
        windows.append(quiet)
        quiet.click(RIGHT)
        xdotool(env, "windowfocus", "--sync", quiet.id)
        quiet.need(SHOWS + "now press B to release the parking brake", 120)
        quiet.screenshot(silent_shot)
        silent_text = quiet.close()
        # Under wine, wine itself may speak on stderr too; ours is one line.
        name = "VORNAK_TOWS preview" if args.wine and args.win32 else "panel-host"
        ours = [x for x in open(quiet.errors).read().splitlines() if x.startswith(name + ":") or not args.wine]
        check("no sound: one line on stderr says the crew cannot be heard",
              ours == [name + ": no sound device: the crew cannot be heard"], ours)
        check("no sound: no clip started, and the summary says so",
              "clip " not in silent_text and "; 0 clips started" in silent_text, silent_text.splitlines()[-1:])
        if args.wine:
            preview_refuses_alone(args, env, out)
    finally:
        for w in windows:
            w.kill()
        xvfb.terminate()
        xvfb.wait()

    turns = re.findall(r"turn ends at heading (\d+\.\d\d) \(target (\d+),", text)
    check("the second turn is the pilot's, by hand", re.search(r"turning by hand from heading 27\d\.\d+ toward 0", text) is not None)
    check("each turn's end is on the timeline: right to 270, then left to 0",
          [t for _, t in turns] == ["270", "0"] and all(0 <= float(h) - int(t) < 1 for h, t in turns), turns)
    check("the summary on Esc counts both pushbacks and names the clicks",
          re.search(r"summary: .*2 pushbacks begun, 2 reset; clicks: left 1, right 1, minus \d+, plus 1;", text)
          is not None, text.splitlines()[-1:])

    image, turn, hand, after, silent = (Image.open(path).convert("RGB") for path in shots)
    w = image.width
    status, hint = (0, STATUS_Y, w, STATUS_Y + 22), (0, STATUS_Y + 22, w, STATUS_Y + STATUS_H)
    view, caption = (0, VIEW_Y, w, CAPTION_Y), (0, CAPTION_Y, w, CAPTION_Y + CAPTION_H)
    status_text, hint_text, caption_text = (count(image, status, STATUS_TEXT), count(image, hint, HINT_TEXT),
                                            count(image, caption, CAPTION_TEXT))
    check("the status strip carries its text", status_text > 300, status_text)
    check("the status strip asks for B while the crew waits for the brake", hint_text > 200, hint_text)
    check("the caption strip shows the crew's words while they are spoken", caption_text > 400, caption_text)
    check("the panel shows the countdown in yellow", count(image, (0, 0, w, PANEL_H), COUNTDOWN) > 100)
    check("the view shows the aircraft", count(image, view, AIRCRAFT) > 300)
    # Beyond the track's legend, which both pictures show.
    check("in the turn the view shows the track behind the aircraft, the status strip names it",
          count(turn, view, TRACK) > count(image, view, TRACK) + 100 and
          count(turn, status, STATUS_TEXT) > 300)
    check("in a push whose turn is the pilot's the hint names the keys that turn the aircraft",
          count(hand, hint, HINT_TEXT) > 200)
    view_edge = sum(count(after, box, AIRCRAFT) for box in ((0, VIEW_Y, w, VIEW_Y + 1), (0, CAPTION_Y - 1, w, CAPTION_Y),
                                                            (0, VIEW_Y, 1, CAPTION_Y), (w - 1, VIEW_Y, w, CAPTION_Y)))
    check("after the turn the view keeps the whole aircraft in sight",
          count(after, view, AIRCRAFT) > 300 and view_edge == 0, view_edge)
    check("no sound: the caption strip says the crew cannot be heard, and a hint asks for B",
          count(silent, caption, CAPTION_TEXT) > 400 and count(silent, hint, HINT_TEXT) > 200)
    for name, picture in (("first call", image), ("turn", turn), ("turn by hand", hand),
                          ("no sound", silent)):
        edge = sum(count(picture, (w - 8, STATUS_Y, w, STATUS_Y + STATUS_H), c) for c in (STATUS_TEXT, HINT_TEXT))
        check(f"{name}: the status strip's text ends short of the window's edge", edge == 0, edge)
    if raw is not None:
        # How much of the mix reached the file depends on how long the
        # window ran; that some did, once the crew was heard, does not.
        data = open(raw, "rb").read() if os.path.exists(raw) else b""
        check("the crew was heard: the module's DirectSound mix is not silent", data.count(0) < len(data),
              f"{len(data)} bytes, all zero")
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
