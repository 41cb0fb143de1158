#!/usr/bin/python3
"""Replace one of the gauge's sound clips with your own recording.

    import_clip.py NAME INPUT [--out DIR]

NAME is one of PB1 PB2 PB3 PB4 CLICK TUG.  INPUT is any file sox can read.
It is converted to mono 8-bit unsigned PCM at the clip's sample rate and
padded with silence to the clip's exact length; a recording longer than the
clip is refused rather than cut.  The result is written to DIR (default:
resources/ of the source tree) as NAME.wav.

Exit status: 0 on success, 2 on bad input, 1 if something else went wrong.
"""

import argparse
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import assetlib  # noqa: E402

TOP = os.path.normpath(os.path.join(HERE, "..", ".."))


class BadInput(Exception):
    pass


def convert(name, src):
    """Sample bytes of `src` as clip `name`, padded to the clip's length."""
    rate, size = assetlib.CLIPS[name]
    if not os.path.isfile(src):
        raise BadInput("no such file: %s" % src)
    if shutil.which("sox") is None:
        raise RuntimeError("sox is not installed")
    proc = subprocess.run(
        ["sox", "-D", src, "-t", "raw", "-e", "unsigned-integer", "-b", "8", "-c", "1",
         "-r", str(rate), "-"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        msg = proc.stderr.decode(errors="replace").strip().splitlines()
        raise BadInput("sox cannot read %s: %s" % (src, msg[-1] if msg else "unknown error"))
    data = proc.stdout
    if not data:
        raise BadInput("%s contains no audio" % src)
    if len(data) > size:
        raise BadInput("%s lasts %.2f s but %s holds at most %.2f s (%d samples at %d Hz); "
                       "trim the recording and try again"
                       % (src, len(data) / rate, name, size / rate, size, rate))
    return data + bytes([assetlib.SILENCE]) * (size - len(data))


def main(argv=None):
    ap = argparse.ArgumentParser(description="Replace a gauge sound clip with a recording.")
    ap.add_argument("name", help="clip to replace: " + " ".join(assetlib.CLIPS))
    ap.add_argument("input", help="recording to import (any format sox reads)")
    ap.add_argument("--out", default=os.path.join(TOP, "resources"),
                    help="folder holding the clips (default: resources/ of the source tree)")
    args = ap.parse_args(argv)

    name = args.name.upper()
    if name.endswith(".WAV"):
        name = name[:-4]
    try:
        if name not in assetlib.CLIPS:
            raise BadInput("unknown clip '%s'; choose one of %s"
                           % (args.name, ", ".join(assetlib.CLIPS)))
        if not os.path.isdir(args.out):
            raise BadInput("output folder does not exist: %s" % args.out)
        data = convert(name, args.input)
    except BadInput as e:
        print("import_clip: %s" % e, file=sys.stderr)
        return 2
    except RuntimeError as e:
        print("import_clip: %s" % e, file=sys.stderr)
        return 1

    image = assetlib.wav_bytes(assetlib.CLIPS[name][0], data)
    problems = assetlib.clip_problems(image, name)
    if problems:
        print("import_clip: internal error, %s" % "; ".join(problems), file=sys.stderr)
        return 1
    path = os.path.join(args.out, assetlib.clip_filename(name))
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(image)
    os.replace(tmp, path)
    rate, size = assetlib.CLIPS[name]
    peak = max(abs(v - assetlib.SILENCE) for v in data)
    print("wrote %s: %d Hz, %d samples, peak %.0f%% of full scale"
          % (path, rate, size, 100.0 * peak / 127))
    if peak < 64:
        print("import_clip: note: the recording is quiet; consider normalising it", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
