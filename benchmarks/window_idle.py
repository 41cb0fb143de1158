#!/usr/bin/python3
"""The CPU time panel-host's window takes while nobody works it.

    window_idle.py PANEL_HOST [SECONDS]

Opens `panel-host window` on a bare X server (Xvfb), lets it settle for a
second, then reads the process's CPU time (user and system, every thread)
over SECONDS (default 5) of idle panel and prints it as a share of one core,
with the busiest threads. A figure, not a test: the machine's load moves it.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "linux"))
from window_test import start_xvfb, xdotool  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """{thread name: user + system seconds} for every thread of `pid`."""
    times = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                stat = f.read()
        except FileNotFoundError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        times[f"{name} ({tid})"] = (int(fields[11]) + int(fields[12])) / TICKS
    return times


def main():
    panel_host = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
    scratch = subprocess.run(["mktemp", "-d"], capture_output=True, text=True, check=True).stdout.strip()
    xvfb, display = start_xvfb(os.path.join(scratch, "xvfb.txt"))
    env = dict(os.environ, DISPLAY=":" + display, ALSOFT_DRIVERS="null")
    env.pop("WAYLAND_DISPLAY", None)
    host = None
    try:
        errors = os.path.join(scratch, "stderr.txt")
        with open(errors, "w") as e:
            host = subprocess.Popen([panel_host, "window"], env=env, stdout=subprocess.DEVNULL, stderr=e,
                                    stdin=subprocess.DEVNULL)
        for _ in range(40):
            try:
                xdotool(env, "search", "--name", "VORNAK_TOWS panel-host")
                break
            except RuntimeError:
                time.sleep(0.5)
        else:
            raise RuntimeError("panel-host opened no window: " + open(errors).read().strip())
        time.sleep(1.0)
        before, start = cpu_seconds(host.pid), time.monotonic()
        time.sleep(seconds)
        after, elapsed = cpu_seconds(host.pid), time.monotonic() - start
    finally:
        if host and host.poll() is None:
            host.terminate()
            host.wait()
        xvfb.terminate()
        xvfb.wait()
        subprocess.run(["rm", "-rf", scratch])
    used = {name: after[name] - before.get(name, 0.0) for name in after}
    total = sum(used.values())
    print(f"idle window: {total:.2f} s of CPU in {elapsed:.1f} s, {100 * total / elapsed:.1f} % of a core")
    for name, t in sorted(used.items(), key=lambda item: -item[1])[:3]:
        if t > 0:
            print(f"  {name}: {t:.2f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
