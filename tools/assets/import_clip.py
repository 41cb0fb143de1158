#!/usr/bin/python3
"""Replace one of the gauge's sound clips with your own recording.

    import_clip.py NAME INPUT [--out DIR] [--force]

NAME is one of PB1 PB2 PB3 PB4 CLICK TUG.  INPUT is any file sox can read.
It becomes a clip the gauge and tests/assets/check_assets.py --user-clips
accept: mono 8-bit unsigned PCM at the clip's rate, its loudest sample at
90 % of full scale, padded with silence to the clip's exact length.  A
spoken clip (PB1 to PB4) is cut to its sound and given the same silent
lead-in and tail as the crew's lines.  A recording with more sound than the
clip holds is refused, with the sox command that trims it.

The clip goes to DIR (default: resources/ of the source tree) as NAME.wav;
a clip already there is replaced only with --force.

Exit status: 0 on success, 2 on anything the user can put right, 1 on an
internal fault.
"""

import os
import shlex
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import assetlib  # noqa: E402

TOP = os.path.normpath(os.path.join(HERE, "..", ".."))

# Sound below this share of full scale is taken as silence when a spoken
# clip is cut to its sound; a recording whose loudest sample is below
# QUIET holds nothing worth scaling up.
EDGE = 0.01
QUIET = 0.005


class BadInput(Exception):
    pass


def read_samples(src, rate):
    """Samples of `src` as floats in -1..1, mono, at `rate`."""
    if shutil.which("sox") is None:
        raise BadInput("sox is not installed; it reads the recording (Debian package sox)")
    proc = subprocess.run(
        ["sox", "-D", src, "-t", "raw", "-e", "floating-point", "-b", "32", "-c", "1",
         "-r", str(rate), "-"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        msg = proc.stderr.decode(errors="replace").strip().splitlines()
        raise BadInput("sox cannot read %s: %s" % (src, msg[-1] if msg else "unknown error"))
    raw = proc.stdout
    return struct.unpack("<%df" % (len(raw) // 4), raw)


def seconds(n, rate):
    return "%.2f s" % (n / rate)


def convert(name, src):
    """Sample bytes of `src` as clip `name`, and a line saying what was done."""
    rate, size = assetlib.CLIPS[name]
    x = read_samples(src, rate)
    peak = max((abs(v) for v in x), default=0.0)
    if peak < QUIET:
        raise BadInput("%s holds no audible sound (loudest sample %.1f %% of full scale)"
                       % (src, 100.0 * peak))
    lead = tail = 0
    lo, hi = 0, len(x)
    if name in assetlib.SPEECH:
        loud = [i for i, v in enumerate(x) if abs(v) >= EDGE * peak]
        lo, hi = loud[0], loud[-1] + 1
        lead = int(assetlib.LEAD_SECONDS * rate)
        tail = int(assetlib.TAIL_SECONDS * rate)
    room = size - lead - tail
    if hi - lo > room:
        start = lo / rate
        keep = room / rate - 0.005
        trim = "sox %s trimmed.wav trim %.2f %.2f" % (shlex.quote(src), start, keep)
        faster = "sox %s faster.wav trim %.2f %.2f tempo %.2f" % (
            shlex.quote(src), start, (hi - lo) / rate, (hi - lo) / room + 0.005)
        where = " between its %s lead-in and %s tail" % (seconds(lead, rate), seconds(tail, rate)) \
            if lead else ""
        raise BadInput("%s has %s of sound but %s holds %s%s; trim it (%s) or speed it up (%s)"
                       % (src, seconds(hi - lo, rate), name, seconds(room, rate), where,
                          trim, faster))
    body = assetlib.to_u8(x[lo:hi])
    data = bytes([assetlib.SILENCE]) * lead + body
    data += bytes([assetlib.SILENCE]) * (size - len(data))
    if lead:
        done = "%s of sound from %s" % (seconds(hi - lo, rate), seconds(lead, rate))
    else:
        done = "%s recorded" % seconds(hi - lo, rate)
    done += ", loudest sample from %.0f %% to %.0f %% of full scale" % (
        100.0 * peak, 100.0 * assetlib.PEAK)
    gap = assetlib.TUG_RESTART_SECONDS * rate - (hi - lo)
    if name == "TUG" and gap > 0:
        done += "; the gauge restarts it every %.2f s, so each run ends in %s of silence" % (
            assetlib.TUG_RESTART_SECONDS, seconds(gap, rate))
    return data, done


def destination(out, name, force):
    if not os.path.exists(out):
        raise BadInput("output folder %s does not exist" % out)
    if not os.path.isdir(out):
        raise BadInput("--out %s is a file; give the folder %s goes into"
                       % (out, assetlib.clip_filename(name)))
    path = os.path.join(out, assetlib.clip_filename(name))
    if os.path.isdir(path):
        raise BadInput("%s is a folder; it cannot be replaced by the clip" % path)
    if os.path.exists(path) and not force:
        raise BadInput("%s exists; add --force to replace it" % path)
    return path


def main(argv=None):
    ap = assetlib.Parser(description="Replace a gauge sound clip with a recording.")
    ap.add_argument("name", help="clip to replace: " + " ".join(assetlib.CLIPS))
    ap.add_argument("input", help="recording to import (any format sox reads)")
    ap.add_argument("--out", default=os.path.join(TOP, "resources"),
                    help="folder holding the clips (default: resources/ of the source tree)")
    ap.add_argument("--force", action="store_true", help="replace the clip already there")
    args = ap.parse_args(argv)

    name = args.name.upper()
    if name.endswith(".WAV"):
        name = name[:-4]
    try:
        if name not in assetlib.CLIPS:
            raise BadInput("unknown clip '%s'; choose one of %s"
                           % (args.name, ", ".join(assetlib.CLIPS)))
        if os.path.isdir(args.input):
            raise BadInput("%s is a folder; give the recording's file" % args.input)
        if not os.path.exists(args.input):
            raise BadInput("no such file: %s" % args.input)
        path = destination(args.out, name, args.force)
        replacing = os.path.exists(path)
        data, done = convert(name, args.input)
        image = assetlib.wav_bytes(assetlib.CLIPS[name][0], data)
        tmp = path + ".part"
        try:
            with open(tmp, "wb") as f:
                f.write(image)
            os.replace(tmp, path)
        except OSError as e:
            if os.path.exists(tmp):
                os.remove(tmp)
            raise BadInput("cannot write %s: %s" % (path, e.strerror or e))
    except BadInput as e:
        print("import_clip: %s" % e, file=sys.stderr)
        return 2

    problems = assetlib.clip_problems(image, name)
    if problems:
        print("import_clip: internal error, %s" % "; ".join(problems), file=sys.stderr)
        return 1
    print("%s %s: %s" % ("replaced" if replacing else "wrote", path, done))
    return 0


if __name__ == "__main__":
    sys.exit(main())
