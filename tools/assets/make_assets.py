#!/usr/bin/python3
"""Generate every sound and bitmap the gauge embeds.

    make_assets.py [OUT_DIR] [--only sounds|bitmaps]

OUT_DIR defaults to resources/ at the top of the source tree.  The output is
byte-for-byte reproducible; the build uses the committed files and never runs
this script.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import assetlib  # noqa: E402

TOP = os.path.normpath(os.path.join(HERE, "..", ".."))


def make_sounds(out):
    import synth
    import voice
    if not voice.tools_available():
        print("make_assets: %s are needed for the voice clips"
              % " and ".join(voice.programs()), file=sys.stderr)
        raise SystemExit(2)
    made = {}
    for name in ("PB1", "PB2", "PB3", "PB4"):
        made[name] = voice.speak(name)
    made["CLICK"] = synth.click()
    made["TUG"] = synth.tug()
    for name, data in made.items():
        path = os.path.join(out, assetlib.clip_filename(name))
        assetlib.write_clip(path, name, data)
        with open(path, "rb") as f:
            problems = assetlib.clip_problems(f.read(), name)
        if problems:
            raise SystemExit("make_assets: %s: %s" % (path, "; ".join(problems)))
        print("wrote", path)


def make_bitmaps(out):
    import panel
    face, lamp_l, lamp_r = panel.render()
    palette = panel.build_palette([face, lamp_l, lamp_r], panel.WINDOW_BOX)
    faces = panel.to_indices(face, palette, panel.WINDOW_BOX)
    left = panel.to_indices(lamp_l, palette)
    right = panel.to_indices(lamp_r, palette)
    for name, rows in (("panel_face.bmp", faces), ("lamp_left.bmp", left),
                       ("lamp_right.bmp", right)):
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(assetlib.bmp_bytes(len(rows[0]), len(rows), palette, rows))
        print("wrote", path)


def main(argv=None):
    ap = assetlib.Parser(description="Generate the gauge's sounds and bitmaps.")
    ap.add_argument("out", nargs="?", default=os.path.join(TOP, "resources"),
                    help="output folder (default: resources/ of the source tree)")
    ap.add_argument("--only", choices=("sounds", "bitmaps"),
                    help="generate just one kind of asset")
    args = ap.parse_args(argv)
    if os.path.exists(args.out) and not os.path.isdir(args.out):
        print("make_assets: %s is a file; give the folder to write into" % args.out,
              file=sys.stderr)
        return 2
    try:
        os.makedirs(args.out, exist_ok=True)
        if args.only != "bitmaps":
            make_sounds(args.out)
        if args.only != "sounds":
            make_bitmaps(args.out)
    except OSError as e:
        print("make_assets: cannot write %s: %s" % (e.filename or args.out, e.strerror or e),
              file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
