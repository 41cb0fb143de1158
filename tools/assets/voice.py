"""Ground-crew voice clips: espeak-ng speech pushed through an intercom
headset chain in sox (compression, a little grit, 300-3400 Hz band).

Both tools are deterministic for fixed arguments; sox runs with dither off
(-D) so rerunning gives identical bytes.
"""

import os
import shutil
import struct
import subprocess
import tempfile
import wave

from assetlib import CLIPS, SILENCE

VOICE = "en-us+m3"
PITCH = 42

# name -> (line spoken, espeak words per minute)
LINES = {
    "PB1": ("Tug connected. Release parking brake, ready to push.", 160),
    "PB2": ("Brakes released. Pushing back.", 172),
    "PB3": ("Pushback complete. Set parking brake, and stand by for disconnect.", 168),
    "PB4": ("Tow bar disconnected. Have a good flight, bye!", 170),
}

LEAD_SECONDS = 0.08      # silence before the first word (intercom keying)
TAIL_SECONDS = 0.10      # minimum silence after the last word
MAX_TEMPO = 1.12         # never speed speech up more than this to fit
PEAK = 0.9               # peak level as a fraction of full scale

# Headset/intercom chain, applied after any tempo change.
INTERCOM = [
    "highpass", "250",
    "compand", "0.002,0.05", "6:-70,-70,-45,-26,-20,-10,0,-5", "-2", "-90", "0.004",
    "overdrive", "5", "10",
    "sinc", "300-3400",
    "gain", "-4",
    "equalizer", "1900", "1.2q", "3",
    "gain", "-n", "-1",
]


class ToolMissing(RuntimeError):
    pass


def tools_available():
    return shutil.which("espeak-ng") is not None and shutil.which("sox") is not None


def _run(cmd):
    try:
        return subprocess.run(cmd, check=True, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE).stdout
    except FileNotFoundError:
        raise ToolMissing("%s is not installed" % cmd[0])
    except subprocess.CalledProcessError as e:
        raise RuntimeError("%s failed: %s" % (cmd[0], e.stderr.decode(errors="replace").strip()))


def _read_s16(path):
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1
        rate = w.getframerate()
        raw = w.readframes(w.getnframes())
    return rate, list(struct.unpack("<%dh" % (len(raw) // 2), raw))


def _speech_bounds(x, rate, threshold=330):
    """First and last sample of actual speech (about 1% of full scale)."""
    loud = [i for i, v in enumerate(x) if abs(v) > threshold]
    if not loud:
        raise RuntimeError("espeak-ng produced no audible speech")
    lo = max(0, loud[0] - int(0.010 * rate))
    hi = min(len(x), loud[-1] + int(0.030 * rate))
    return lo, hi


def speak(name):
    """Return the sample bytes of voice clip `name`, exactly the clip length."""
    text, wpm = LINES[name]
    rate, size = CLIPS[name]
    with tempfile.TemporaryDirectory() as tmp:
        raw_wav = os.path.join(tmp, "raw.wav")
        cut_wav = os.path.join(tmp, "cut.wav")
        _run(["espeak-ng", "-v", VOICE, "-s", str(wpm), "-p", str(PITCH), "-w", raw_wav, text])
        src_rate, x = _read_s16(raw_wav)
        lo, hi = _speech_bounds(x, src_rate)
        x = x[lo:hi]
        with wave.open(cut_wav, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(src_rate)
            w.writeframes(struct.pack("<%dh" % len(x), *x))

        room = size / rate - LEAD_SECONDS - TAIL_SECONDS
        natural = len(x) / src_rate
        tempo = natural / room
        effects = []
        if tempo > 1.0:
            if tempo > MAX_TEMPO:
                raise RuntimeError("%s: line takes %.2f s, only %.2f s fit; shorten it"
                                   % (name, natural, room))
            effects += ["tempo", "-s", "%.4f" % tempo]
        out = _run(["sox", "-D", cut_wav, "-b", "16", "-e", "signed-integer",
                    "-t", "raw", "-"] + effects + INTERCOM + ["rate", "-v", str(rate)])
    y = struct.unpack("<%dh" % (len(out) // 2), out)
    lead = int(LEAD_SECONDS * rate)
    if lead + len(y) > size:
        raise RuntimeError("%s: processed speech does not fit the clip" % name)
    peak = max(abs(v) for v in y) or 1
    scale = PEAK * 127.0 / peak
    body = bytes(max(1, min(255, int(round(SILENCE + v * scale)))) for v in y)
    return bytes([SILENCE]) * lead + body + bytes([SILENCE]) * (size - lead - len(body))
