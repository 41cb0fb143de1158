"""Ground-crew voice clips: a recorded-voice synthesiser (flite) pushed
through an intercom headset chain in sox (compression, a little grit,
300-3400 Hz band), then stored as 8-bit samples.

The crew voice is flite's "rms", a male US voice built from recordings of
a speaker; the formant voice the clips used before (espeak-ng en-us+m3) is
kept here as VOICES["espeak-m3"] so tools/assets/measure_voice.py can score
old against new.  Every synthesiser here is deterministic for fixed
arguments, and sox runs with dither off (-D), so rerunning gives identical
bytes.
"""

import os
import shutil
import struct
import subprocess
import tempfile
import wave

from assetlib import CLIPS, LEAD_SECONDS, SILENCE, TAIL_SECONDS, to_u8

# The lines the crew speaks, read from resources/crew_words.txt: panel-host
# shows the same words as captions, so they are kept in that one place.
WORDS_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                          "resources", "crew_words.txt")


def _read_lines(path):
    lines = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            name, _, text = line.rstrip("\n").partition("\t")
            lines[name] = text
    return lines


LINES = _read_lines(WORDS_FILE)

# Voices the tools know: key -> (program, voice).  The espeak-ng voice keeps
# the words-per-minute and pitch it was used with.
VOICES = {
    "espeak-m3": ("espeak-ng", "en-us+m3"),
    "flite-slt": ("flite", "slt"),
    "flite-rms": ("flite", "rms"),
    "flite-awb": ("flite", "awb"),
    "flite-kal": ("flite", "kal"),
    "festival-slt-hts": ("text2wave", "cmu_us_slt_arctic_hts"),
}
VOICE = "flite-rms"
OLD_VOICE = "espeak-m3"
ESPEAK_WPM = {"PB1": 160, "PB2": 172, "PB3": 168, "PB4": 170}
ESPEAK_PITCH = 42

MAX_TEMPO = 1.12         # never speed speech up more than this to fit

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


class DoesNotFit(RuntimeError):
    pass


def programs(voice=VOICE):
    return (VOICES[voice][0], "sox")


def tools_available(voice=VOICE):
    return all(shutil.which(p) for p in programs(voice))


def _run(cmd, stdin=None):
    try:
        return subprocess.run(cmd, check=True, input=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE).stdout
    except FileNotFoundError:
        raise ToolMissing("%s is not installed" % cmd[0])
    except subprocess.CalledProcessError as e:
        raise RuntimeError("%s failed: %s" % (cmd[0], e.stderr.decode(errors="replace").strip()))


def _read_s16(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2 or w.getnchannels() != 1:
            raise RuntimeError("%s: expected 16-bit mono speech" % path)
        rate = w.getframerate()
        raw = w.readframes(w.getnframes())
    return rate, list(struct.unpack("<%dh" % (len(raw) // 2), raw))


def _synthesise(voice, name, path):
    program, model = VOICES[voice]
    text = LINES[name]
    if program == "espeak-ng":
        _run(["espeak-ng", "-v", model, "-s", str(ESPEAK_WPM[name]), "-p", str(ESPEAK_PITCH),
              "-w", path, text])
    elif program == "flite":
        _run(["flite", "-voice", model, "-t", text, "-o", path])
    else:
        _run(["text2wave", "-eval", "(voice_%s)" % model, "-o", path], stdin=text.encode())


def _speech_bounds(x, rate, threshold=330):
    """First and last sample of actual speech (about 1% of full scale)."""
    loud = [i for i, v in enumerate(x) if abs(v) > threshold]
    if not loud:
        raise RuntimeError("the synthesiser produced no audible speech")
    lo = max(0, loud[0] - int(0.010 * rate))
    hi = min(len(x), loud[-1] + int(0.030 * rate))
    return lo, hi


def _trimmed(name, voice, tmp):
    """Synthesise line `name`, cut to the speech, in `tmp`; return the file
    and the sox effects that fit it between the clip's lead-in and tail
    (sped up, at most MAX_TEMPO)."""
    rate, size = CLIPS[name]
    raw_wav = os.path.join(tmp, "raw.wav")
    cut_wav = os.path.join(tmp, "cut.wav")
    _synthesise(voice, name, raw_wav)
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
    if tempo <= 1.0:
        return cut_wav, []
    if tempo > MAX_TEMPO:
        raise DoesNotFit("%s: line takes %.2f s, only %.2f s fit; shorten it"
                           % (name, natural, room))
    return cut_wav, ["tempo", "-s", "%.4f" % tempo]


def _s16(raw):
    return struct.unpack("<%dh" % (len(raw) // 2), raw)


def voice_only(name, voice=VOICE, rate=16000):
    """Line `name` as the clip paces it, before the intercom chain: 16-bit
    samples at `rate`."""
    with tempfile.TemporaryDirectory() as tmp:
        cut_wav, effects = _trimmed(name, voice, tmp)
        return _s16(_run(["sox", "-D", cut_wav, "-b", "16", "-e", "signed-integer",
                          "-t", "raw", "-"] + effects + ["rate", "-v", str(rate)]))


def intercom(name, voice=VOICE):
    """Line `name` through the intercom chain at the clip's rate, as 16-bit
    samples before the 8-bit step."""
    with tempfile.TemporaryDirectory() as tmp:
        cut_wav, effects = _trimmed(name, voice, tmp)
        return _s16(_run(["sox", "-D", cut_wav, "-b", "16", "-e", "signed-integer",
                          "-t", "raw", "-"] + effects + INTERCOM
                         + ["rate", "-v", str(CLIPS[name][0])]))


def speak(name, voice=VOICE):
    """Return the sample bytes of voice clip `name`, exactly the clip length."""
    rate, size = CLIPS[name]
    y = intercom(name, voice)
    lead = int(LEAD_SECONDS * rate)
    if lead + len(y) > size:
        raise RuntimeError("%s: processed speech does not fit the clip" % name)
    body = to_u8(y)
    return bytes([SILENCE]) * lead + body + bytes([SILENCE]) * (size - lead - len(body))
