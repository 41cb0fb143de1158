#!/usr/bin/python3
"""Runs the Windows hosts under wine and checks what they do.

    wine_run.py --wine WINE [--win32] --prefix DIR --home DIR COMMAND ...

WINE is wine64 for the 64-bit hosts, or with --win32 the 32-bit loader
(/usr/lib/wine/wine, Debian's wine32:i386) for the 32-bit hosts and the
shipped module, in a 32-bit prefix. 32-bit wine runs where the kernel
runs 32-bit programs; where it does not (or VORNAK_I386_VIA_QEMU=1 is set),
every wine run goes through tools/run-i386.sh, which runs them by
qemu-i386 in a binfmt_misc instance of its own. Where neither can be had,
every command prints one "SKIPPED: ..." line and exits 77.

  prefix                         create (or refresh) the wine prefix
  trace EXE [--module M] [--no-play] SCRIPT EXPECTED
                                 the trace must equal EXPECTED, line by
                                 line (without its play lines for
                                 --no-play); with --module, EXE is
                                 panel-host.exe and replays that module
  sound EXE MODULE SCRIPT        panel-host replay --realtime with
                                 DirectSound writing to a file through ALSA:
                                 the sound is not silent
  run EXE MODULE [--linux PANEL_HOST]
                                 a modelled pushback ends reset on target;
                                 with --linux, its timeline is the Linux
                                 panel-host's for the same run
  reload EXE MODULE COUNT        COUNT reloads leave no DirectSound object
  errors PANEL_HOST REPLAY_EXE MODULE SCRIPT
                                 user mistakes give exit 2 and one line

Every run gets WINEDEBUG=-all, its own WINEPREFIX and a HOME whose
.asoundrc makes ALSA's default device a file or nothing. Prints one line
per check and ends with "N passed, M failed"; exit 1 on a failed check, 2
when the wine prefix or a program is missing.
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import time

from checklist import Checks, first_difference, refuse

RUN_TIMEOUT = 180
SKIP = 77


ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
RUN_I386 = os.path.join(ROOT, "tools", "run-i386.sh")
# Left by tools/setup-debian.sh where the archive could not give this machine
# 32-bit wine: one line saying why.
WINE32_REFUSED = os.path.join(ROOT, "build", "wine32-unavailable")
# What still runs the shipped module where 32-bit wine cannot.
UNICORN_INSTEAD = "(the unicorn ABI check runs the shipped module's code instead)"


def i386_refused(scratch, runner=()):
    """Runs a 96-byte static i386 program that exits with 42, in `scratch`,
    through `runner` if given: None when it ran, else why not."""
    base = 0x08048000
    code = bytes([0xB8, 1, 0, 0, 0,        # mov eax, 1 (exit)
                  0xBB, 42, 0, 0, 0,       # mov ebx, 42
                  0xCD, 0x80])             # int 0x80
    header_size, segment_size = 52, 32
    entry = base + header_size + segment_size
    elf = (b"\x7fELF\x01\x01\x01" + bytes(9) +
           struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, header_size, 0, 0, header_size,
                       segment_size, 1, 0, 0, 0) +
           struct.pack("<IIIIIIII", 1, 0, base, base, header_size + segment_size + len(code),
                       header_size + segment_size + len(code), 5, 0x1000) + code)
    os.makedirs(scratch, exist_ok=True)
    path = os.path.join(scratch, "i386-probe")
    with open(path, "wb") as f:
        f.write(elf)
    os.chmod(path, 0o755)
    try:
        done = subprocess.run([*runner, path], stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              text=True, timeout=30)
        if done.returncode == 42:
            return None
        said = done.stderr.strip().splitlines()
        return said[-1].removeprefix("run-i386: ") if said else f"exit status {done.returncode}"
    except OSError as error:
        return error.strerror
    finally:
        os.remove(path)


def need_32bit_wine(args):
    """32-bit programs run natively, or else through qemu-i386 in a
    namespace of their own (args.runner then names tools/run-i386.sh)."""
    # The set-up's own reason first: the archive gave neither wine32 nor qemu.
    if not os.path.exists(args.wine) and os.path.exists(WINE32_REFUSED):
        with open(WINE32_REFUSED) as f:
            print(f"SKIPPED: 32-bit wine is not installed: {f.read().strip()} {UNICORN_INSTEAD}")
        sys.exit(SKIP)
    forced = os.environ.get("VORNAK_I386_VIA_QEMU") == "1"
    refused = None if forced else i386_refused(args.home)
    if forced or refused:
        through_qemu = i386_refused(args.home, ["bash", RUN_I386])
        if through_qemu:
            native = f"this kernel runs no 32-bit programs ({refused}) and" if refused else \
                "VORNAK_I386_VIA_QEMU=1, but"
            print(f"SKIPPED: {native} qemu-i386 cannot run 32-bit programs here ({through_qemu}), so 32-bit wine "
                  f"cannot run here {UNICORN_INSTEAD}")
            sys.exit(SKIP)
        args.runner = ["bash", RUN_I386]
    require(args.wine, "install 32-bit wine: tools/setup-debian.sh test (wine32:i386)")

NULL_ASOUNDRC = 'pcm.!default { type null }\n'
FILE_ASOUNDRC = '''pcm.!default {
    type file
    slave.pcm "null"
    file "%s"
    format "raw"
}
'''


def environment(args, asoundrc):
    os.makedirs(args.home, exist_ok=True)
    with open(os.path.join(args.home, ".asoundrc"), "w") as f:
        f.write(asoundrc)
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.update(WINEPREFIX=args.prefix, WINEDEBUG="-all", HOME=args.home,
               # No Mono or Gecko install prompts: nothing here needs them.
               WINEDLLOVERRIDES="mscoree,mshtml=")
    if args.win32:
        env["WINEARCH"] = "win32"
    return env


def wine(args, argv, asoundrc=NULL_ASOUNDRC, timeout=RUN_TIMEOUT):
    # Output goes to files, not pipes: wine's own background processes
    # inherit them and would keep a pipe open for seconds after the program
    # has exited.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(args.runner + [args.wine] + argv, env=environment(args, asoundrc),
                                stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout)
        text = []
        for f in (out, err):
            f.seek(0)
            text.append(f.read().decode("utf-8", "replace"))
    # The hosts write LF, as on Linux, so that traces compare byte for byte;
    # only stderr is taken either way.
    text[1] = text[1].replace("\r\n", "\n")
    return result.returncode, text[0], text[1]


def wineserver(args, env, *flags, timeout=60):
    """wineserver with each flag in turn: -k ends the prefix's server, -w
    waits until it has gone. A server left from an earlier run in a prefix
    was started without a display, and windows made through it would never
    show: a window check ends it first ("-k", "-w")."""
    for flag in flags:
        subprocess.run(args.runner + [os.path.join(os.path.dirname(args.wine), "wineserver"), flag], env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=timeout)


def answers(number):
    """True once the X server on :NUMBER takes a client. Its socket can be
    there before it listens (or be a dead server's), and a loaded machine
    can take seconds between the two."""
    env = dict(os.environ, DISPLAY=f":{number}")
    for _ in range(100):
        done = subprocess.run(["xdotool", "getdisplaygeometry"], env=env, capture_output=True, timeout=30)
        if done.returncode == 0:
            return True
        time.sleep(0.1)
    return False


def start_xvfb(log_path, screen="800x700x24"):
    """An X server for the window checks, on a display number it chose
    itself among the free ones (-displayfd, so that tests starting servers
    at the same moment cannot take one number twice): its process and
    ":NUMBER". It does not reset when its last client goes (-noreset): a
    client that connects while it resets is turned away."""
    read_end, write_end = os.pipe()
    with open(log_path, "w") as log:
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen,
                                   "-nolisten", "tcp", "-noreset"], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                  pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if number.isdigit() and server.poll() is None and answers(number):
        return server, ":" + number
    server.kill()
    server.wait()
    raise RuntimeError("no X server started; see " + log_path)


def require(path, what):
    if not os.path.exists(path):
        sys.exit(refuse("wine_run", f"{path} is missing; {what}"))


def wine_arguments(parser, required=True):
    """The options every wine check takes: --wine, --win32, --prefix, --home."""
    for option in ("--wine", "--prefix", "--home"):
        parser.add_argument(option, required=required)
    parser.add_argument("--win32", action="store_true")


def need_wine(args):
    """32-bit wine where --win32 asks for it (args.runner then says how it
    runs), else wine64; exits where it cannot be had."""
    args.runner = []
    if args.win32:
        need_32bit_wine(args)
    require(args.wine, "install wine: tools/setup-debian.sh test")


def need_prefix(args):
    require(os.path.join(args.prefix, "system.reg"),
            "the wine prefix is made by the suite's prefix test (windows.wine.prefix, windows.wine32.prefix)")


def cmd_prefix(args, checks):
    os.makedirs(args.prefix, exist_ok=True)
    status, _, err = wine(args, ["wineboot", "--init"], timeout=900)
    # wineboot returns before the prefix is written out; wait for the server.
    wineserver(args, environment(args, NULL_ASOUNDRC), "-w", timeout=900)
    checks.check("wineboot made the prefix",
                 status == 0 and os.path.exists(os.path.join(args.prefix, "system.reg")),
                 f"exit {status}: {err.strip()[-300:]}")


def cmd_trace(args, checks):
    argv = [args.exe, "--module", args.module, "replay", args.script] if args.module \
        else [args.exe, args.script]
    status, out, err = wine(args, argv)
    with open(args.expected) as f:
        expected = f.read().splitlines()
    if args.no_play:
        expected = [line for line in expected if " play " not in line]
    actual = out.splitlines()
    if checks.check(f"{os.path.basename(args.exe)} exits 0", status == 0, err.strip()):
        checks.check(f"trace of {os.path.basename(args.script)} matches "
                     f"{os.path.basename(args.expected)} ({len(expected)} lines)",
                     actual == expected, first_difference(actual, expected))


def cmd_sound(args, checks):
    raw = os.path.join(args.home, "out.raw")
    if os.path.exists(raw):
        os.remove(raw)
    status, out, err = wine(args, [args.exe, "--module", args.module, "replay", "--realtime", args.script],
                            asoundrc=FILE_ASOUNDRC % raw)
    checks.check("panel-host replay --realtime exits 0", status == 0, err.strip())
    # What was played the trace tells: the click took (the left lamp is lit)
    # and the script ran to its last update, past the crew's first call. How
    # much of it wine's mixer wrote in that time depends on how much processor
    # it had, so any sound in the mix (silence is all zero bytes in every
    # signed or float format) passes.
    last = (out.splitlines() or [""])[-1]
    checks.check("the click and the first call were played (update 166, left lamp lit)", last == "166 lamps 1 -1", last)
    data = open(raw, "rb").read() if os.path.exists(raw) else b""
    loud = len(data) - data.count(0)
    checks.check("the mix is not silent", loud > 0, f"{len(data)} bytes, all zero")
    print(f"mix: {len(data)} bytes, {loud} non-zero")


def cmd_run(args, checks):
    options = ["run", "--left", "--timer", "5", "--heading", "350"]
    status, out, err = wine(args, [args.exe, "--module", args.module] + options)
    summary = [line for line in out.splitlines() if line.startswith("summary:")]
    print("\n".join(summary))
    checks.check("panel-host run exits 0", status == 0, err.strip())
    # Tail left from 350: the gauge must stop the turn on whole degree 80.
    checks.check("the modelled pushback ends reset, turned to heading 80",
                 bool(summary) and summary[0].startswith("summary: reset") and
                 "final heading 80." in summary[0], summary[0] if summary else "no summary")
    if args.linux:
        # The same run on Linux: every line after the first (which names
        # the module file) the same, clips and phases included.
        linux = subprocess.run([args.linux] + options, capture_output=True, text=True, timeout=RUN_TIMEOUT)
        # Without a sound card the Linux host knows nobody hears the crew and
        # says when the schedule stands in for a call; the Windows host
        # cannot tell a DirectSound device nobody listens to.
        ours = out.splitlines()[1:]
        theirs = [x for x in linux.stdout.splitlines()[1:] if "  no sound: " not in x]
        checks.check(f"the timeline equals the Linux panel-host's ({len(theirs)} lines)",
                     linux.returncode == 0 and ours == theirs and any(" clip PB1 starts" in x for x in ours),
                     f"Linux exit {linux.returncode}; {first_difference(ours, theirs, 2)} (expected: Linux's)")


def cmd_reload(args, checks):
    status, out, err = wine(args, [args.exe, "--module", args.module, "reload", str(args.count)])
    print(out.strip())
    checks.check("panel-host reload exits 0 (no leak)", status == 0, (err or out).strip())
    cycles = args.count + 1
    want = (f"devices created {cycles}, released {cycles}; "
            f"buffers created {6 * cycles}, released {6 * cycles}")
    checks.check(f"one device and six buffers made and released per cycle ({cycles} cycles)",
                 want in out, f"expected '{want}'")


def cmd_errors(args, checks):
    os.makedirs(args.home, exist_ok=True)
    missing = os.path.join(args.home, "no-such-module.gau")
    cut = os.path.join(args.home, "cut.gau")   # a download that stopped
    with open(args.module, "rb") as whole, open(cut, "wb") as f:
        f.write(whole.read(20000))
    bad_script = os.path.join(args.home, "bad.script")
    with open(bad_script, "w") as f:
        f.write("set ready 1\ntick 2\nset wheels 3\ntick\n")
    # The 32-bit build is the kit's preview, which says what a pilot can do.
    preview = args.win32
    mend = ": unpack the whole ZIP into one folder and start the preview there"
    cases = [
        ("panel-host without arguments (the window) where there is no display", [args.exe],
         "cannot open a window"),
        ("panel-host with an unknown command", [args.exe, "fly"], "unexpected argument 'fly'"),
        ("panel-host with an unknown option", [args.exe, "run", "--fast"], "unknown option '--fast'"),
        ("panel-host with a push time off the 5 s steps", [args.exe, "run", "--timer", "7"],
         "--timer: takes whole seconds"),
        ("panel-host asked for a window where there is no display", [args.exe, "window"],
         "cannot open a window"),
        ("panel-host with a snapshot in a folder that is not there (a drive letter, backslashes)",
         [args.exe, "run", "--snapshot", "C:\\no\\such\\folder\\x.png"],
         "--snapshot: the folder C:\\no\\such\\folder does not exist"),
        ("panel-host with a heading given twice", [args.exe, "run", "--heading", "45", "--heading", "90"],
         "--heading is given more than once: give it once"),
        ("panel-host with a push time not whole", [args.exe, "run", "--timer", "5.0"], "not '5.0'"),
        ("panel-host with a hexadecimal heading", [args.exe, "window", "--heading", "0x10"], "not '0x10'"),
        ("panel-host with a missing module", [args.exe, "--module", missing, "replay", args.script],
         f"{missing} is missing{mend}" if preview else
         "is missing: unpack the whole ZIP into one folder and start the preview there"),
        ("panel-host with a module that is no program at all",
         [args.exe, "--module", args.script, "replay", args.script],
         f"{args.script} is damaged{mend}" if preview else "is damaged or is no Windows module: unpack"),
        ("panel-host with a module cut short", [args.exe, "--module", cut, "replay", args.script],
         f"{cut} is damaged{mend}" if preview else f"the gauge module {cut} is damaged"),
        ("panel-host with a DLL that is no gauge",
         [args.exe, "--module", "kernel32.dll", "replay", args.script],
         f"kernel32.dll is not the VORNAK_TOWS gauge{mend}" if preview else
         "kernel32.dll is a Windows module but no gauge"),
        ("panel-host with a snapshot file that cannot be made (refused before the run)",
         [args.exe, "--module", args.module, "run", "--snapshot", "n" * 300 + ".png"], "cannot write nnnn"),
        ("panel-host with a missing script", [args.exe, "--module", args.module, "replay", missing],
         "cannot open"),
        ("panel-host with a bad script line",
         [args.exe, "--module", args.module, "replay", bad_script],
         "bad.script:3: unknown variable 'wheels'"),
        ("panel-host with a bad reload count", [args.exe, "--module", args.module, "reload", "-5"],
         "takes a count from 0 to 100000, not '-5'"),
        ("gauge-replay.exe with a missing script", [args.replay_exe, missing], "cannot open"),
        ("gauge-replay.exe with a bad script line", [args.replay_exe, bad_script],
         "bad.script:3: unknown variable 'wheels'"),
    ]
    for label, module, message in (
            ("the module built for the other bitness", args.other_bitness,
             "is built for 64-bit Windows and this program for 32-bit" if preview else
             "is built for 32-bit Windows and this program for 64-bit"),
            ("a Linux module", args.linux_module, f"is a Linux module, no Windows module{mend}")):
        if module and os.path.exists(module):
            cases.append((label, [args.exe, "--module", module, "replay", args.script], f"{module} {message}"))
    if preview:
        cases.append(("the preview asked to record its sound", [args.exe, "run", "--audio", "a.wav"],
                      "the preview plays the gauge's sound on the sound card"))
    host_first = "VORNAK_TOWS preview - " if preview else "panel-host - "
    for exe, first_line in ((args.exe, host_first), (args.replay_exe, "gauge-replay - ")):
        status, out, _ = wine(args, [exe, "--help"])
        checks.check(f"{os.path.basename(exe)} --help: exit 0, the help in LF lines",
                     status == 0 and out.startswith(first_line) and "Exit status" in out and "\r" not in out,
                     f"exit {status}, stdout {out[:80]!r}")
        asked, windows_way, _ = wine(args, [exe, "/?"])
        checks.check(f"{os.path.basename(exe)} /?: the same help", asked == 0 and windows_way == out,
                     f"exit {asked}, stdout {windows_way[:80]!r}")
    for label, argv, message in cases:
        status, _, err = wine(args, argv)
        lines = err.strip().splitlines()
        # One line names the problem; a usage line may follow it.
        checks.check(f"{label}: exit 2 and a line naming the problem",
                     status == 2 and 1 <= len(lines) <= 2 and message in lines[0],
                     f"exit {status}, stderr {err.strip()!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    wine_arguments(parser)
    sub = parser.add_subparsers(dest="command", required=True)
    commands = {}
    for name, handler, positionals in (
            ("prefix", cmd_prefix, []), ("trace", cmd_trace, ["exe", "script", "expected"]),
            ("sound", cmd_sound, ["exe", "module", "script"]), ("run", cmd_run, ["exe", "module"]),
            ("reload", cmd_reload, ["exe", "module", "count"]),
            ("errors", cmd_errors, ["exe", "replay_exe", "module", "script"])):
        commands[name] = sub.add_parser(name)
        commands[name].set_defaults(handler=handler)
        for positional in positionals:
            commands[name].add_argument(positional, type=int if positional == "count" else str)
    commands["trace"].add_argument("--module")
    commands["trace"].add_argument("--no-play", action="store_true")
    commands["run"].add_argument("--linux", help="the Linux panel-host, whose timeline of the same run must be the same")
    commands["errors"].add_argument("--other-bitness", help="the module built for the other bitness (tried where built)")
    commands["errors"].add_argument("--linux-module", help="the Linux module (tried where built)")
    args = parser.parse_args()
    need_wine(args)
    if args.command != "prefix":
        need_prefix(args)
        for name in ("exe", "replay_exe", "module"):
            if getattr(args, name, None):
                require(getattr(args, name), f"build the {'win32' if args.win32 else 'win64'} preset first")
    checks = Checks()
    try:
        args.handler(args, checks)
    except subprocess.TimeoutExpired as error:
        checks.check(f"{error.cmd[1] if len(error.cmd) > 1 else error.cmd} finishes", False,
                     f"not in {error.timeout} s")
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
