"""Synthesised clips: the tug's diesel engine and the button click.

Plain Python so the result does not depend on any numeric library version;
every random source is a seeded random.Random.
"""

import math
import random

from assetlib import CLIPS, SILENCE, TUG_RESTART_SECONDS


# --- small DSP kit ---------------------------------------------------------

class Biquad:
    """RBJ cookbook biquad, direct form I."""

    def __init__(self, kind, rate, freq, q=0.7071, gain_db=0.0):
        w = 2 * math.pi * freq / rate
        cw, sw = math.cos(w), math.sin(w)
        alpha = sw / (2 * q)
        if kind == "lowpass":
            b = [(1 - cw) / 2, 1 - cw, (1 - cw) / 2]
            a = [1 + alpha, -2 * cw, 1 - alpha]
        elif kind == "highpass":
            b = [(1 + cw) / 2, -(1 + cw), (1 + cw) / 2]
            a = [1 + alpha, -2 * cw, 1 - alpha]
        elif kind == "bandpass":  # 0 dB at the centre
            b = [alpha, 0.0, -alpha]
            a = [1 + alpha, -2 * cw, 1 - alpha]
        elif kind == "peak":
            amp = 10 ** (gain_db / 40)
            b = [1 + alpha * amp, -2 * cw, 1 - alpha * amp]
            a = [1 + alpha / amp, -2 * cw, 1 - alpha / amp]
        else:
            raise ValueError(kind)
        self.b = [v / a[0] for v in b]
        self.a = [v / a[0] for v in a]

    def run(self, x):
        b0, b1, b2 = self.b
        _, a1, a2 = self.a
        x1 = x2 = y1 = y2 = 0.0
        out = [0.0] * len(x)
        for i, v in enumerate(x):
            y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
            x2, x1, y2, y1 = x1, v, y1, y
            out[i] = y
        return out


def chain(x, rate, *stages):
    for st in stages:
        x = Biquad(st[0], rate, *st[1:]).run(x)
    return x


def mix(*parts):
    gains_signals = list(parts)
    n = len(gains_signals[0][1])
    out = [0.0] * n
    for g, s in gains_signals:
        for i in range(n):
            out[i] += g * s[i]
    return out


def to_u8(x, peak_fraction=0.9):
    peak = max(abs(v) for v in x) or 1.0
    scale = peak_fraction * 127.0 / peak
    return bytes(max(1, min(255, int(round(SILENCE + v * scale)))) for v in x)


def _fade(u):
    """Raised-cosine ramp 0..1 for u in 0..1."""
    u = min(1.0, max(0.0, u))
    return 0.5 - 0.5 * math.cos(math.pi * u)


# --- tug engine --------------------------------------------------------------
#
# A four-cylinder four-stroke diesel pulling at about 790 rpm: 26.5 firing
# pulses a second, each cylinder a little different so the engine has its
# lope.  The gauge restarts the clip at RESTART (68/18 s), so the engine's
# firing grid is laid out to land on whole engine cycles there and again
# 20 ms before the end of the clip; around both points the waveform is then
# cross-faded into a copy of the clip's own opening, so a restart lands on
# the same waveform it left and the clip's tail matches its head.

TUG_SEED = 7217
CYLINDERS = 4
CYLINDER_GAIN = (1.00, 0.84, 0.95, 0.77)
CYCLES_TO_RESTART = 25          # engine cycles between start and restart
CYCLES_TO_TAIL = 33             # engine cycles between start and the last 20 ms
WARMUP_SECONDS = 1.5            # synthesised before t=0 so the filters settle
SEAM_FADE_SECONDS = 0.12
SEAM_HOLD_SECONDS = 0.06


def tug_grid(rate, size):
    """(restart sample, tail sample, samples per cycle before / after restart)."""
    restart = int(round(TUG_RESTART_SECONDS * rate))
    tail = size - int(0.020 * rate)
    return (restart, tail, restart / CYCLES_TO_RESTART,
            (tail - restart) / (CYCLES_TO_TAIL - CYCLES_TO_RESTART))


def _firing_time(cycle, restart, tail, per_cycle, per_cycle_late):
    """Sample time of the firing at (fractional) engine cycle `cycle`."""
    if cycle < CYCLES_TO_RESTART:
        return cycle * per_cycle
    if cycle < CYCLES_TO_TAIL:
        return restart + (cycle - CYCLES_TO_RESTART) * per_cycle_late
    return tail + (cycle - CYCLES_TO_TAIL) * per_cycle


def _engine(rate, start, length, rng, grid):
    """Raw engine sound for samples start .. start+length-1 (start < 0)."""
    restart, tail, per_cycle, per_cycle_late = grid
    firing_period = per_cycle / CYLINDERS
    pulse = [0.0] * length
    knock = [0.0] * length
    tick = [0.0] * length
    envelope = [0.0] * length
    r = 0.0013 * rate                      # combustion pulse rise time
    k = int(math.floor(start / firing_period)) - 1
    while True:
        t0 = _firing_time(k / CYLINDERS, restart, tail, per_cycle, per_cycle_late)
        t0 += rng.gauss(0.0, 0.00025 * rate)
        if t0 > start + length:
            break
        amp = CYLINDER_GAIN[k % CYLINDERS] * (1.0 + rng.gauss(0.0, 0.04))
        first = max(0, int(math.ceil(t0)) - start)
        for i in range(first, min(length, first + int(14 * r))):
            u = (i + start - t0) / r
            pulse[i] += amp * u * math.exp(1.0 - u)
        # injector knock: a few ms of noise right at ignition
        tau = 0.0028 * rate
        for i in range(first, min(length, first + int(6 * tau))):
            u = i + start - t0
            knock[i] += amp * rng.uniform(-1, 1) * math.exp(-u / tau)
        # valve train tick half way between firings
        tt = t0 + 0.47 * firing_period
        ft = max(0, int(math.ceil(tt)) - start)
        tau_t = 0.0009 * rate
        for i in range(ft, min(length, ft + int(6 * tau_t))):
            u = i + start - tt
            tick[i] += rng.uniform(-1, 1) * math.exp(-u / tau_t)
        # slow envelope of each firing, used to modulate the rumble
        tau_e = 0.35 * firing_period
        for i in range(first, min(length, first + int(4 * tau_e))):
            envelope[i] += amp * math.exp(-(i + start - t0) / tau_e)
        k += 1

    body = mix(
        (0.80, chain(pulse, rate, ("bandpass", 58, 1.1))),
        (0.90, chain(pulse, rate, ("bandpass", 170, 3.0))),
        (0.70, chain(pulse, rate, ("bandpass", 410, 4.0))),
        (0.65, chain(pulse, rate, ("bandpass", 880, 2.5))),
    )
    knock = chain(knock, rate, ("bandpass", 1900, 1.3), ("peak", 3100, 2.0, 4.0))
    tick = chain(tick, rate, ("bandpass", 3300, 2.0))
    noise = [rng.uniform(-1, 1) for _ in range(length)]
    rumble = chain(noise, rate, ("lowpass", 320, 0.8), ("lowpass", 320, 0.8))
    rumble = [v * (0.5 + 0.5 * e) for v, e in zip(rumble, envelope)]
    hiss = chain([rng.uniform(-1, 1) for _ in range(length)], rate,
                 ("bandpass", 1400, 0.6))

    x = mix((1.0, body), (0.30, knock), (0.10, tick), (0.45, rumble), (0.012, hiss))
    # a touch of saturation, as from a rattling exhaust and a small speaker
    peak = max(abs(v) for v in x)
    x = [math.tanh(1.6 * v / peak) for v in x]
    return chain(x, rate, ("highpass", 38, 0.7), ("highpass", 38, 0.7),
                 ("lowpass", 4200, 0.7))


def tug_float(rate=None, size=None):
    """The finished tug clip as floats, before 8-bit conversion."""
    if rate is None:
        rate, size = CLIPS["TUG"]
    rng = random.Random(TUG_SEED)
    grid = tug_grid(rate, size)
    restart, tail = grid[0], grid[1]
    start = -int(WARMUP_SECONDS * rate)
    raw = _engine(rate, start, size - start, rng, grid)

    def at(n):
        return raw[n - start]

    fade = int(SEAM_FADE_SECONDS * rate)
    hold = int(SEAM_HOLD_SECONDS * rate)
    out = raw[-start:]
    # around the restart point: blend into the opening, hold, blend back
    for n in range(restart - fade, min(size, restart + hold + fade)):
        if n < restart:
            w = _fade((n - (restart - fade)) / fade)
        elif n < restart + hold:
            w = 1.0
        else:
            w = 1.0 - _fade((n - restart - hold) / fade)
        out[n] = (1 - w) * at(n) + w * at(n - restart)
    # the tail: blend into the opening and stay there to the end
    for n in range(tail - fade, size):
        w = _fade((n - (tail - fade)) / fade)
        out[n] = (1 - w) * at(n) + w * at(n - tail)
    return out


def tug():
    return to_u8(tug_float())


# --- switch click ------------------------------------------------------------
#
# A latching push button: a sharp snap of the contact, a second lighter snap
# as the latch seats 11 ms later, and the short ring of the panel behind it.

CLICK_SEED = 3301


def _damped(n, rate, at, freq, tau, amp, phase=0.0):
    out = [0.0] * n
    start = int(at * rate)
    for i in range(start, n):
        t = (i - start) / rate
        out[i] = amp * math.exp(-t / tau) * math.sin(2 * math.pi * freq * t + phase)
    return out


def click():
    rate, size = CLIPS["CLICK"]
    rng = random.Random(CLICK_SEED)
    n = size
    snap = [0.0] * n
    for at, amp in ((0.0002, 1.0), (0.0110, 0.45)):
        s = int(at * rate)
        tau = 0.00035 * rate
        for i in range(s, min(n, s + int(8 * tau))):
            snap[i] += amp * rng.uniform(-1, 1) * math.exp(-(i - s) / tau)
    snap = chain(snap, rate, ("highpass", 1800, 0.7))
    x = mix(
        (0.9, snap),
        (1.0, _damped(n, rate, 0.0002, 3400, 0.0025, 0.8)),
        (1.0, _damped(n, rate, 0.0002, 5900, 0.0012, 0.45)),
        (1.0, _damped(n, rate, 0.0002, 1250, 0.0060, 0.40)),
        (1.0, _damped(n, rate, 0.0110, 3900, 0.0020, 0.35)),
        (1.0, _damped(n, rate, 0.0110, 1500, 0.0050, 0.20)),
        (1.0, _damped(n, rate, 0.0004, 640, 0.0240, 0.16)),
        (1.0, _damped(n, rate, 0.0004, 230, 0.0300, 0.09)),
    )
    return to_u8(x)
