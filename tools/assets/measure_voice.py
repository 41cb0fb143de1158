#!/usr/bin/python3
"""How well a speech recogniser follows each crew line, old voice against new.

    measure_voice.py [--voices KEY,KEY,...] [--intercom]

Each line is spoken, cut and paced exactly as for its clip, and taken as
16 kHz 16-bit before the intercom chain and the 8-bit step, then given to
pocketsphinx with its US English model: this judges the voice, not the
stored clip.  The recogniser's model is wideband; on the chain's 300-3400 Hz
band it hears next to nothing from any voice (see --intercom), and it is
weak on 8-bit audio.  A line's score is the
number of its words the recogniser returns in order (longest common
subsequence, case and punctuation ignored) out of the words spoken.

Prints one row per line and a total row; exits 1 if the crew's voice does
not score higher than the old voice on every line, 2 on a usage error or a
missing program.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import assetlib  # noqa: E402
import voice  # noqa: E402

RECOGNISER = "pocketsphinx_continuous"


class Unusable(Exception):
    pass


def words(text):
    return re.findall(r"[a-z']+", text.lower())


def matched(spoken, heard):
    """Length of the longest common subsequence of two word lists."""
    row = [0] * (len(heard) + 1)
    for w in spoken:
        prev = 0
        for j, h in enumerate(heard):
            prev, row[j + 1] = row[j + 1], prev + 1 if w == h else max(row[j + 1], row[j])
    return row[-1]


def recognise(name, key, tmp, after_intercom):
    if after_intercom:
        rate, y = assetlib.CLIPS[name][0], voice.intercom(name, key)
    else:
        rate, y = 16000, voice.voice_only(name, key, 16000)
    raw = os.path.join(tmp, "%s-%s.raw" % (name, key))
    wav = os.path.join(tmp, "%s-%s.wav" % (name, key))
    with open(raw, "wb") as f:
        f.write(struct.pack("<%dh" % len(y), *y))
    subprocess.run(["sox", "-D", "-t", "raw", "-r", str(rate), "-e", "signed-integer",
                    "-b", "16", "-c", "1", raw, "-r", "16000", "-b", "16", wav], check=True)
    p = subprocess.run([RECOGNISER, "-infile", wav], stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    if p.returncode:
        last = (p.stderr.decode(errors="replace").strip().splitlines() or ["no message"])[-1]
        raise Unusable("%s failed (is pocketsphinx-en-us installed?): %s" % (RECOGNISER, last))
    return " ".join(p.stdout.decode(errors="replace").split())


def measure(keys, scores, width, after_intercom):
    with tempfile.TemporaryDirectory() as tmp:
        for name, text in voice.LINES.items():
            spoken = words(text)
            print("%s  \"%s\" (%d words)" % (name, text, len(spoken)))
            for k in keys:
                try:
                    heard = recognise(name, k, tmp, after_intercom)
                except voice.DoesNotFit as e:
                    heard = "(%s)" % e
                n = matched(spoken, words(heard))
                scores[k].append((n, len(spoken)))
                print("    %-*s %d/%d  heard: %s" % (width, k, n, len(spoken), heard or "(nothing)"))


def main(argv=None):
    ap = assetlib.Parser(description="Score the crew's voice with a speech recogniser.")
    ap.add_argument("--voices", default="%s,%s" % (voice.OLD_VOICE, voice.VOICE),
                    help="voices to score, old first (known: %s)" % ", ".join(voice.VOICES))
    ap.add_argument("--intercom", action="store_true",
                    help="score after the intercom chain instead (still before the 8-bit step)")
    args = ap.parse_args(argv)
    keys = args.voices.split(",")
    unknown = [k for k in keys if k not in voice.VOICES]
    if unknown or len(keys) < 2:
        print("measure_voice: give at least two of %s; not known: %s"
              % (", ".join(voice.VOICES), ", ".join(unknown) or "none"), file=sys.stderr)
        return 2
    needed = {RECOGNISER, "sox"} | {voice.VOICES[k][0] for k in keys}
    missing = sorted(p for p in needed if not shutil.which(p))
    if missing:
        print("measure_voice: not installed: %s" % ", ".join(missing), file=sys.stderr)
        return 2

    scores = {k: [] for k in keys}
    width = max(len(k) for k in keys)
    try:
        measure(keys, scores, width, args.intercom)
    except (Unusable, RuntimeError) as e:
        print("measure_voice: %s" % e, file=sys.stderr)
        return 2
    print("total  " + "   ".join("%s %d/%d" % (k, sum(s[0] for s in scores[k]),
                                              sum(s[1] for s in scores[k])) for k in keys))
    old, new = scores[keys[0]], scores[keys[-1]]
    worse = [name for name, o, n in zip(voice.LINES, old, new) if n[0] <= o[0]]
    if worse:
        print("%s does not beat %s on: %s" % (keys[-1], keys[0], ", ".join(worse)))
        return 1
    print("%s beats %s on every line" % (keys[-1], keys[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
