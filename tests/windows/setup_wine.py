#!/usr/bin/python3
"""VORNAK_TOWS-setup.exe under wine, on a made-up simulator folder.

    setup_wine.py --wine WINE [--win32] --prefix DIR --home DIR EXE COMMAND

  cli SCRATCH      install, check, a second install and remove on FS98 and
                   FS2000 panel.cfg files, compared byte for byte; the
                   refusals, among them a file another program holds open;
                   a crash between writing and replacing; the command-line
                   mistakes
  dialog SHOT      the dialog on Xvfb with the FS98 and FS2000 panels
                   chosen, saved as a PNG, then after Install (SHOT with
                   "_installed" before .png): the files as the command
                   line writes them

The simulator folder is made under SCRATCH (cli) or beside SHOT (dialog).
EXE needs VORNAK_TOWS.gau and VORNAK_TOWS.bmp beside it, as in the kit,
and the test helper hold-file.exe of its build.
Prints one line per check and "N passed, M failed"; exit 1 on a failed
check, 2 when something it needs is missing, 77 (skipped) where 32-bit
wine cannot run.
"""
import argparse
import os
import shutil
import stat
import struct
import subprocess
import sys
import time

import wine_run
from checklist import Checks

CRLF_FS98 = (b"// FS98 panel, as its SDK shows one\r\n[Window Titles]\r\nWindow00=Main Panel\r\n\r\n"
             b"[Window00]\r\nfile=panel.bmp\r\nsize_mm=640\r\nposition=7\r\n"
             b"gauge00=Minicontrols, 0, 0\r\ngauge01=Schweizer.Altimeter,17,78\r\n")
LF_FS2000 = (b"[WINDOW TITLES]\nWINDOW00 = Hauptinstrumente \xe4\n;  the radios\nWINDOW01=GPS\n\n"
             b"[WINDOW00]\nfile=panel.bmp\nfile_1024=panel_1024.bmp\nsize_mm=1024\n\n"
             b"[WINDOW01]\nsize_mm = 200,120\nident=10172\nvisible=0\n"
             b"gauge00=fs2000!gps_500, 0,0,200,120\n\n[Views]\nVIEW_FORWARD_ZOOM=1.00")
# Installed: a title after the last, and the window's section at the end (in
# the file's own line ends, ident the first number no window uses).
FS98_WINDOW = CRLF_FS98.replace(b"Main Panel\r\n", b"Main Panel\r\nWindow01=Pushback\r\n") + (
    b"\r\n[Window01]\r\nfile=VORNAK_TOWS.bmp\r\nsize_mm=172\r\nposition=2\r\nvisible=0\r\n"
    b"ident=10172\r\ngauge00=VORNAK_TOWS, 0, 0, 172, 78\r\n")
FS2000_WINDOW = LF_FS2000.replace(b"WINDOW01=GPS\n", b"WINDOW01=GPS\nWINDOW02=Pushback\n") + (
    b"\n\n[WINDOW02]\nfile=VORNAK_TOWS.bmp\nsize_mm=172\nposition=2\nvisible=0\n"
    b"ident=10173\ngauge00=VORNAK_TOWS, 0, 0, 172, 78")
FS98_MAIN = CRLF_FS98.replace(b"Altimeter,17,78\r\n",
                              b"Altimeter,17,78\r\ngauge02=VORNAK_TOWS, 468, 122, 172, 78\r\n")
# A name no Western code page spells: remove must find this panel to keep
# the gauge that it uses.
ALREADY_THERE = "Already there \u65e5\u672c"
FULL = b"[Window Titles]\r\n" + b"".join(b"Window%02d=W%d\r\n" % (n, n) for n in range(64))
REFUSED = {
    "Full Window63": (FULL, "64 windows"),
    "Duplicate": (b"[Window Titles]\r\nWindow00=M\r\n[Window00]\r\n[WINDOW00]\r\n", "two sections"),
    "No titles": (b"[Window00]\r\nfile=panel.bmp\r\n", "no [Window Titles]"),
    "Not text": (b"[Window Titles]\r\n\x00\x01\x02", "not a text file"),
    "Read only": (CRLF_FS98, "read-only"),
    "Locked": (CRLF_FS98, "in use by another program"),
    "Old Mac": (CRLF_FS98.replace(b"\r\n", b"\r"), "end in CR alone"),
    "Only a comment": (b"// my panel\r\n", "describes no panel"),
    "Too large": (b";" * (20 << 20), "has at most 1 MiB"),
}


def bmp(width, height):
    """A blank 24-bit BMP of that size, for the main panel's picture."""
    stride = (width * 3 + 3) & ~3
    return (b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 0, 0, 0, 0) +
            bytes(stride * height))


def make_tree(root):
    """A simulator folder; {aircraft: path of its panel.cfg}."""
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "Gauges"))
    panels = {"Cessna FS98": CRLF_FS98, "Learjet FS2000": LF_FS2000, ALREADY_THERE: FS98_WINDOW}
    panels.update({name: content for name, (content, _) in REFUSED.items()})
    paths = {}
    for name, content in panels.items():
        folder = os.path.join(root, "Aircraft", name, "Panel" if name != "Learjet FS2000" else "Panel.2d")
        os.makedirs(folder)
        paths[name] = os.path.join(folder, "panel.cfg")
        with open(paths[name], "wb") as f:
            f.write(content)
        with open(os.path.join(folder, "panel.bmp"), "wb") as f:
            f.write(bmp(640, 200))
    os.chmod(paths["Read only"], stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    return paths


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def hold(args, path):
    """hold-file.exe holding `path` open (others may read it) until it is
    sent a line; it says "open" once it holds the file."""
    holder = subprocess.Popen(args.runner + [args.wine, args.hold, windows_path(path)],
                              env=wine_run.environment(args, wine_run.NULL_ASOUNDRC),
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    holder.stdout.readline()
    return holder


def release(holder):
    holder.stdin.write(b"\r\n")
    holder.stdin.close()
    holder.stdout.close()
    holder.wait(timeout=60)


def cmd_cli(args):
    wine_run.need_prefix(args)
    root = os.path.join(args.scratch, "sim")
    paths = make_tree(root)
    sim = windows_path(root)
    checks = Checks()

    def run(*argv):
        return wine_run.wine(args, [args.exe] + list(argv))

    def one_line(text):
        return text.count("\n") == 1 and text.strip() != ""

    fs98, fs2000 = paths["Cessna FS98"], paths["Learjet FS2000"]
    gauge = os.path.join(root, "Gauges", "VORNAK_TOWS.gau")

    status, out, _ = run("--help")
    wide = [line for line in out.replace("\r", "").splitlines() if len(line) >= 80]
    checks.check("the help fits a Windows console of 80 columns, which wraps a line of 80",
                 status == 0 and "usage:" in out and not wide, f"exit {status}: {wide or out}")

    status, out, _ = run("install", sim, windows_path(fs98), "--dry-run")
    checks.check("dry run shows the lines and the key, writes nothing",
                 status == 0 and "Window01=Pushback" in out and "Shift+2" in out
                 and read(fs98) == CRLF_FS98 and not os.path.exists(gauge), f"exit {status}: {out}")

    # A crash after writing the new file but before the replace leaves a
    # half-written temporary file beside the untouched panel.cfg.
    with open(fs98 + ".VORNAK_TOWS.tmp", "wb") as f:
        f.write(FS98_WINDOW[:40])
    for name, path, expected in (("FS98", fs98, FS98_WINDOW), ("FS2000", fs2000, FS2000_WINDOW)):
        status, out, err = run("install", sim, windows_path(path))
        checks.check(f"{name}: install adds exactly the pop-up window's lines",
                     status == 0 and read(path) == expected, f"exit {status}: {out}{err}")
    checks.check("the crash's temporary file is gone, the backup is the original, the gauge and "
                 "the window picture are in place",
                 not os.path.exists(fs98 + ".VORNAK_TOWS.tmp")
                 and read(fs98 + ".VORNAK_TOWS.bak") == CRLF_FS98
                 and read(gauge) == read(os.path.join(os.path.dirname(args.exe), "VORNAK_TOWS.gau"))
                 and read(os.path.join(os.path.dirname(fs98), "VORNAK_TOWS.bmp")) is not None)

    status, out, _ = run("check", windows_path(fs2000))
    checks.check("check names the window and its key",
                 status == 0 and "pop-up window WINDOW02 (Pushback), opened with Shift+3" in out,
                 f"exit {status}: {out}")
    os.remove(gauge)
    status, out, _ = run("install", sim, windows_path(fs98))
    checks.check("a second install says it is there, leaves the panel.cfg as it is and puts back "
                 "a gauge that has gone from Gauges",
                 status == 0 and "already installed" in out and read(fs98) == FS98_WINDOW
                 and os.path.exists(gauge), out)

    # A panel.cfg of another simulator's folder: FS98 would never load the
    # gauge from it, so nothing is copied into FS98's Gauges. The same
    # simulator folder spelled in other letters and by another path is its own.
    other = os.path.join(args.scratch, "other-sim")
    shutil.rmtree(other, ignore_errors=True)
    os.makedirs(os.path.join(other, "Gauges"))
    os.makedirs(os.path.join(other, "Aircraft"))
    status, _, err = run("install", windows_path(other), windows_path(fs98))
    refused = (status == 1 and one_line(err) and "not inside the simulator folder" in err
               and read(fs98) == FS98_WINDOW and not os.listdir(os.path.join(other, "Gauges")))
    status, out, err2 = run("install", sim.upper() + "\\Aircraft\\..\\", windows_path(fs98))
    checks.check("a panel.cfg outside the simulator folder is refused; the folder in other "
                 "letters and another form of its path is accepted",
                 refused and status == 0 and "already installed" in out, f"{err!r} {out!r} {err2!r}")

    # Another program holds "Locked" open until after the installs.
    holder = hold(args, paths["Locked"])
    for name, (content, words) in REFUSED.items():
        status, out, err = run("install", sim, windows_path(paths[name]))
        checks.check(f"refused, one sentence, file untouched: {name}",
                     status == 1 and one_line(err) and words in err and not out
                     and read(paths[name]) == content, f"exit {status}: {out!r} {err!r}")
    release(holder)

    for name, path, original in (("FS98", fs98, CRLF_FS98), ("FS2000", fs2000, LF_FS2000)):
        status, out, err = run("remove", sim, windows_path(path))
        checks.check(f"{name}: remove gives back the original bytes",
                     status == 0 and read(path) == original, f"exit {status}: {out}{err}")
    checks.check("the gauge stays while a panel still uses it; the unused picture goes",
                 os.path.exists(gauge)
                 and not os.path.exists(os.path.join(os.path.dirname(fs98), "VORNAK_TOWS.bmp")))
    # The simulator still runs and holds the gauge: the panel is done, the
    # gauge stays and says so, and the next remove finishes the job.
    holder = hold(args, gauge)
    status, out, err = run("remove", sim, windows_path(paths[ALREADY_THERE]))
    release(holder)
    checks.check("the last remove while the gauge is in use: exit 1, the gauge stays and says why",
                 status == 1 and "in use" in err.splitlines()[0] and os.path.exists(gauge)
                 and b"VORNAK" not in read(paths[ALREADY_THERE]), f"exit {status}: {out!r} {err!r}")
    status, out, _ = run("remove", sim, windows_path(paths[ALREADY_THERE]))
    checks.check("the last remove takes the gauge out of Gauges too",
                 status == 0 and read(paths[ALREADY_THERE]).startswith(b"// FS98")
                 and b"VORNAK" not in read(paths[ALREADY_THERE]) and not os.path.exists(gauge),
                 out)

    with open(gauge, "wb") as f:
        f.write(b"an older build")
    status, _, err = run("install", sim, windows_path(fs98), "--main", "468", "122")
    checks.check("a different gauge in Gauges is kept without --force, and nothing is written",
                 status == 1 and "--force" in err and read(gauge) == b"an older build"
                 and read(fs98) == CRLF_FS98, err)
    status, out, err = run("install", sim, windows_path(fs98), "--main", "468", "122", "--force")
    checks.check("main panel: the gauge line after the last one, inside the 640 x 200 picture; "
                 "with --force the older gauge is kept as VORNAK_TOWS.gau.bak",
                 status == 0 and read(fs98) == FS98_MAIN
                 and read(gauge + ".bak") == b"an older build", f"exit {status}: {out}{err}")
    # A crash in the middle of the replace on Windows 98 (no MoveFileEx):
    # the old file renamed aside, the new one not yet in its place.
    os.rename(fs98, fs98 + ".VORNAK_TOWS.old")
    with open(fs98 + ".VORNAK_TOWS.tmp", "wb") as f:
        f.write(CRLF_FS98)
    status, out, err = run("remove", sim, windows_path(fs98))
    checks.check("after a crash mid-replace the old file comes back; then remove restores the "
                 "original", status == 0 and read(fs98) == CRLF_FS98
                 and not os.path.exists(fs98 + ".VORNAK_TOWS.old")
                 and not os.path.exists(fs98 + ".VORNAK_TOWS.tmp"), f"exit {status}: {out}{err}")
    status, _, err = run("install", sim, windows_path(fs98), "--main", "469", "0")
    checks.check("main panel: a position outside the window is refused",
                 status == 1 and "would not lie inside" in err and read(fs98) == CRLF_FS98, err)

    for argv, code, words in ((["frob"], 2, "unknown command"), (["install", sim], 2, "SIMDIR"),
                              (["install", sim, windows_path(fs98), "--main", "x", "1"], 2, "--main"),
                              (["check"], 2, "check takes"),
                              (["install", sim + "\\nope", windows_path(fs98)], 1, "no folder"),
                              (["install", windows_path(args.scratch), windows_path(fs98)], 1,
                               "must hold the folders Gauges and Aircraft"),
                              (["remove", sim, sim + "\\panel.cfg"], 1, "no file"),
                              (["check", "Z:\\dev\\zero"], 1, "not a regular file")):
        status, out, err = run(*argv)
        checks.check(f"{' '.join(a.replace(sim, 'SIMDIR') for a in argv)}: exit {code}, one line",
                     status == code and one_line(err) and words in err and not out,
                     f"exit {status}: {out!r} {err!r}")
    return checks.finish()


def settle(env):
    """Waits until two grabs of the screen are the same: the dialog has
    drawn what it was asked to. True when it did within a minute."""
    last, deadline = None, time.monotonic() + 60
    while time.monotonic() < deadline:
        grab = subprocess.run(["import", "-window", "root", "rgb:-"], env=env, capture_output=True,
                              timeout=60).stdout
        if grab == last:
            return True
        last = grab
        time.sleep(0.2)
    return False


def cmd_dialog(args):
    wine_run.need_prefix(args)
    for tool in ("Xvfb", "xdotool", "import"):
        if shutil.which(tool) is None:
            print(f"setup_wine: {tool} is missing; tools/setup-debian.sh test installs it",
                  file=sys.stderr)
            return 2
    root = os.path.join(os.path.dirname(os.path.abspath(args.shot)), "sim")
    paths = make_tree(root)
    checks = Checks()
    server, display = wine_run.start_xvfb(os.path.join(os.path.dirname(root), "xvfb.txt"), "800x600x24")
    env = dict(wine_run.environment(args, wine_run.NULL_ASOUNDRC), DISPLAY=display)
    program = None
    try:
        wine_run.wineserver(args, env, "-k", "-w")
        # Started in the simulator's folder, it finds the panels at once.
        program = subprocess.Popen(args.runner + [args.wine, args.exe], cwd=root, env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                "^VORNAK_TOWS setup$"], env=env, capture_output=True, text=True,
                               timeout=120)
        window = found.stdout.split()[0] if found.stdout.split() else None
        checks.check("the dialog opens", window is not None, found.stderr.strip())
        if window:
            subprocess.run(["xdotool", "windowmove", "--sync", window, "0", "0"], env=env, timeout=30)
            settle(env)
            # The list's second and fifth rows: the FS98 and FS2000 aircraft.
            for row, keys in ((2, []), (5, ["keydown", "ctrl"])):
                subprocess.run(["xdotool"] + keys + ["mousemove", "60", str(80 + 12 * row - 6),
                                "click", "1"] + (["keyup", "ctrl"] if keys else []),
                               env=env, timeout=30)
            settle(env)
            shot = subprocess.run(["import", "-window", "root", args.shot], env=env, timeout=60)
            checks.check(f"screenshot {args.shot}", shot.returncode == 0 and os.path.getsize(args.shot) > 0)
            subprocess.run(["xdotool", "mousemove", "54", "394", "click", "1"], env=env, timeout=30)
            wanted = {paths["Cessna FS98"]: FS98_WINDOW, paths["Learjet FS2000"]: FS2000_WINDOW}
            deadline = time.monotonic() + 60
            while (time.monotonic() < deadline and
                   not all(read(path) == content for path, content in wanted.items())):
                time.sleep(0.2)
            settle(env)
            installed = args.shot[:-len(".png")] + "_installed.png"
            subprocess.run(["import", "-window", "root", installed], env=env, timeout=60)
            checks.check(f"Install writes what the command line writes (screenshot {installed})",
                         read(paths["Cessna FS98"]) == FS98_WINDOW
                         and read(paths["Learjet FS2000"]) == FS2000_WINDOW)
    finally:
        if program is not None:
            program.kill()
            program.wait()
        wine_run.wineserver(args, env, "-k")
        server.terminate()
        server.wait()
    return checks.finish()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    wine_run.wine_arguments(parser)
    parser.add_argument("exe")
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("cli").add_argument("scratch")
    sub.add_parser("dialog").add_argument("shot")
    args = parser.parse_args()
    args.hold = os.path.join(os.path.dirname(args.exe), "hold-file.exe")
    wine_run.need_wine(args)
    wine_run.require(args.exe, "build the win32 or win64 preset first")
    try:
        return cmd_cli(args) if args.command == "cli" else cmd_dialog(args)
    except subprocess.TimeoutExpired as error:
        print(f"setup_wine: {error.cmd[0]} did not finish in {error.timeout} s", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
