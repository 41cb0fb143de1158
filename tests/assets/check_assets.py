#!/usr/bin/python3
"""Checks on the gauge's committed sounds and bitmaps.

    check_assets.py RESOURCES_DIR [--user-clips NAME,...]

Clips named with --user-clips are your own recordings: they are held to the
rules any clip must meet (layout, level, no clipping, silent ends on spoken
lines) and left out of the rules for the clips we generate (their shapes
and byte-identical regeneration).  Prints one line per check and a final "N passed, M failed" line; exits 1 if
anything failed.  The expected layouts are written out here independently of
the generator so a fault in its shared code cannot hide itself.
"""

import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "windows"))
from checklist import Checks  # noqa: E402  (one line per check, then "N passed, M failed")

TOOLS = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "assets"))
PY = sys.executable

CLIPS = {  # name: (rate, data bytes)
    "PB1": (11025, 41472), "PB2": (22050, 42704), "PB3": (11025, 53888),
    "PB4": (22050, 70536), "CLICK": (22255, 2432), "TUG": (11025, 55136),
}
SPEECH = ("PB1", "PB2", "PB3", "PB4")
BITMAPS = {"panel_face.bmp": (172, 78), "lamp_left.bmp": (34, 27), "lamp_right.bmp": (34, 27)}
WINDOW = (98, 19, 146, 37)            # inclusive box
WINDOW_RGB = (24, 16, 8)
LAMPS = {"lamp_left.bmp": ((11, 24), (13, 27, 29, 22)),     # drawn at, mouse area
         "lamp_right.bmp": ((55, 24), (57, 27, 29, 22))}
KEYS = {"-": (99, 46, 14, 11), "+": (132, 46, 14, 11)}
RESTART = 68 / 18                     # seconds between tug restarts

checks = Checks()
check = checks.check


def skip(name, why):
    print("SKIP %s: %s" % (name, why))


def dev(samples):
    return [v - 128 for v in samples]


def rms(x):
    return math.sqrt(sum(v * v for v in x) / len(x)) if x else 0.0


def windows(x, n):
    return [x[i:i + n] for i in range(0, len(x) - n + 1, n)]


def corr(a, b):
    num = sum(p * q for p, q in zip(a, b))
    den = math.sqrt(sum(p * p for p in a) * sum(q * q for q in b))
    return num / den if den else 0.0


def lum(c):
    return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]


def expected_wav_header(rate, size):
    return (b"RIFF" + struct.pack("<I", size + 36) + b"WAVE" + b"fmt "
            + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate, 1, 8)
            + b"data" + struct.pack("<I", size))


# --- sounds ------------------------------------------------------------------
#
# Two kinds of rule.  Any valid clip, a user's own recording included, must
# have the stored layout, its loudest sample near full scale, no clipping,
# and (spoken lines) silence at both ends.  The clips we generate must also
# have the loudness, click and tug-loop shapes below and come back byte for
# byte from the generator.

def valid_clip_rules(name, blob):
    """(label, ok, detail) for each any-valid-clip rule on file bytes `blob`."""
    rate, size = CLIPS[name]
    rules = [("%s header: PCM 8-bit mono %d Hz, fmt at 12, data at 36" % (name, rate),
              blob[:44] == expected_wav_header(rate, size), "got %r" % blob[:44]),
             ("%s size %d = 44 + %d, nothing after the data" % (name, 44 + size, size),
              len(blob) == 44 + size and len(blob) == 8 + struct.unpack("<I", blob[4:8])[0],
              "file is %d bytes" % len(blob))]
    x = blob[44:44 + size]
    if len(x) != size:
        return rules
    d = dev(x)
    peak = max(abs(v) for v in d)
    rules.append(("%s peak near full scale (>= 80%%)" % name, peak >= 0.8 * 127,
                  "peak %d of 127" % peak))
    runs = sum(1 for a, b in zip(x, x[1:]) if a == b and a in (0, 255))
    rules.append(("%s not clipped (no consecutive samples at 0 or 255)" % name, runs == 0,
                  "%d clipped pairs" % runs))
    # A line cut off mid-word would leave sound in the first 20 ms or the
    # last 50 ms.
    if name in SPEECH:
        head, tail = rms(d[:int(0.02 * rate)]), rms(d[-int(0.05 * rate):])
        rules.append(("%s speech not cut off (first 20 ms and last 50 ms silent)" % name,
                      head < 1.0 and tail < 1.0, "head RMS %.1f, tail RMS %.1f" % (head, tail)))
    return rules


def check_sounds(res, user):
    clips = {}
    for name in CLIPS:
        path = os.path.join(res, name + ".wav")
        if not os.path.isfile(path):
            check("%s present" % name, False, "missing " + name + ".wav")
            continue
        blob = open(path, "rb").read()
        rules = valid_clip_rules(name, blob)
        for rule in rules:
            check(*rule)
        if name not in user and all(ok for _, ok, _ in rules):
            clips[name] = blob[44:]
    for name in user:
        skip("%s generated-clip rules" % name, "your own clip: checked as any valid clip")

    # Loudness: RMS of 50 ms windows (deviation from the 128 centre).
    # Speech pauses between words, so only 60% of windows must be above
    # 3 LSB (about -32 dBFS); the engine runs throughout (>= 95%).
    for name in SPEECH + ("TUG",):
        if name not in clips:
            continue
        rate = CLIPS[name][0]
        ws = windows(dev(clips[name]), int(0.05 * rate))
        share = sum(rms(w) >= 3.0 for w in ws) / len(ws)
        need = 0.95 if name == "TUG" else 0.60
        check("%s audible (50 ms RMS >= 3 LSB) in >= %d%% of windows" % (name, need * 100),
              share >= need, "only %.0f%%" % (share * 100))

    if "CLICK" in clips:
        rate = CLIPS["CLICK"][0]
        d = dev(clips["CLICK"])
        onset = next((i for i, v in enumerate(d) if abs(v) >= 20), len(d))
        check("CLICK starts crisply (20 LSB reached within 2 ms)", onset <= 0.002 * rate,
              "onset at %.1f ms" % (1000.0 * onset / rate))
        ws = [rms(w) for w in windows(d, int(0.01 * rate))]
        share = sum(r >= 2.0 for r in ws) / len(ws)
        check("CLICK rings out (10 ms RMS >= 2 LSB in >= 40% of windows)", share >= 0.4,
              "only %.0f%%" % (share * 100))
        check("CLICK decays to silence (last 10 ms at least 20 dB below first)",
              ws[-1] * 10 <= ws[0] and abs(d[-1]) <= 2, "first %.1f, last %.1f" % (ws[0], ws[-1]))

    if "TUG" in clips:
        check_tug_loop(clips["TUG"])


def check_tug_loop(x):
    """The gauge restarts the tug clip from sample 0 every 68/18 s.

    Measure: normalised correlation of the first 20 ms with the 20 ms from
    the restart point, and with the last 20 ms, must be >= 0.8 and their RMS
    within 10%; the jump from the restart point back to sample 0 must be no
    bigger than an ordinary sample-to-sample step; the level must be steady
    (engine-cycle-length windows within +-25% of the median).
    """
    rate = CLIPS["TUG"][0]
    d = dev(x)
    n = int(0.02 * rate)
    at = int(round(RESTART * rate))
    head = d[:n]
    for label, other in (("restart point %.3f s" % RESTART, d[at:at + n]),
                         ("last 20 ms", d[-n:])):
        c = corr(head, other)
        ratio = rms(other) / rms(head) if rms(head) else 0.0
        check("TUG first 20 ms vs %s: correlation >= 0.8" % label, c >= 0.8, "%.3f" % c)
        check("TUG first 20 ms vs %s: RMS within 10%%" % label, 0.9 <= ratio <= 1.1,
              "ratio %.2f" % ratio)
    steps = sorted(abs(a - b) for a, b in zip(d, d[1:]))
    typical = steps[int(0.95 * len(steps))]
    jump = abs(d[at - 1] - d[0])
    check("TUG restart lands on the level it left (jump <= 95th percentile step %d)" % typical,
          jump <= typical, "jump %d" % jump)
    levels = [rms(w) for w in windows(d, int(0.15 * rate))]
    med = sorted(levels)[len(levels) // 2]
    worst = max(abs(v / med - 1) for v in levels)
    check("TUG steady: every 150 ms window within 25% of the median RMS, no fades",
          worst <= 0.25, "worst deviation %.0f%%" % (worst * 100))


# --- bitmaps -----------------------------------------------------------------

def read_bmp(path, size):
    """Validate the layout; return rows (top first) of RGB tuples, or None."""
    name = os.path.basename(path)
    if not os.path.isfile(path):
        check("%s present" % name, False, "missing")
        return None
    b = open(path, "rb").read()
    w, h = size
    stride = (w + 3) & ~3
    want_len = 14 + 40 + 1024 + stride * h
    tag, bf_size, r1, r2, off = struct.unpack("<2sIHHI", b[:14])
    (bi_size, bw, bh, planes, bits, comp, img_size, _, _, used,
     _) = struct.unpack("<IiiHHIIiiII", b[14:54])
    problems = []
    if tag != b"BM" or bf_size != len(b) or r1 or r2 or off != 1078:
        problems.append("file header %r size %d offset %d" % (tag, bf_size, off))
    if (bi_size, bw, bh, planes, bits, comp) != (40, w, h, 1, 8, 0):
        problems.append("info header %r" % ((bi_size, bw, bh, planes, bits, comp),))
    if img_size not in (0, stride * h) or used not in (0, 256):
        problems.append("image size %d / colours used %d" % (img_size, used))
    if len(b) != want_len:
        problems.append("file is %d bytes, expected %d" % (len(b), want_len))
    pal = [tuple(b[54 + 4 * i:58 + 4 * i]) for i in range(256)]
    if any(p[3] for p in pal):
        problems.append("palette reserved bytes not zero")
    check("%s: %dx%d 8-bit BI_RGB bottom-up, 40-byte header, 256 colours, exact size"
          % (name, w, h), not problems, "; ".join(problems))
    if problems:
        return None
    rows = []
    for y in range(h):
        raw = b[off + (h - 1 - y) * stride: off + (h - y) * stride]
        if any(raw[w:]):
            check("%s row padding is zero" % name, False)
            return None
        rows.append([(pal[i][2], pal[i][1], pal[i][0]) for i in raw[:w]])
    return rows


def painted(rows, x0, y0, x1, y1, level=180):
    """Bright paint pixels (the lettering and pictures) inside a box."""
    return [(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)
            if lum(rows[y][x]) >= level]


def arrow_turns(pixels, left, centre):
    """Does the arrow come down right of centre and point left (or mirrored)?"""
    top = min(p[1] for p in pixels)
    first = [p[0] for p in pixels if p[1] == top]
    shaft_x = sum(first) / len(first)
    tip_x = min(p[0] for p in pixels) if left else max(p[0] for p in pixels)
    ok = (shaft_x > centre > tip_x) if left else (shaft_x < centre < tip_x)
    return ok, "shaft x %.1f, tip x %d, centre %.1f" % (shaft_x, tip_x, centre)


def check_bitmaps(res):
    imgs = {n: read_bmp(os.path.join(res, n), s) for n, s in BITMAPS.items()}
    for n, rows in imgs.items():
        if rows:
            black = sum(px == (0, 0, 0) for row in rows for px in row)
            check("%s uses no pure black (transparent in the panel system)" % n, black == 0,
                  "%d black pixels" % black)
    face = imgs["panel_face.bmp"]
    if not face:
        return
    x0, y0, x1, y1 = WINDOW
    inside = [face[y][x] for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)]
    check("timer window x %d..%d y %d..%d is exactly RGB %s" % (x0, x1, y0, y1, WINDOW_RGB),
          all(p == WINDOW_RGB for p in inside),
          "%d pixels differ" % sum(p != WINDOW_RGB for p in inside))
    border = ([face[y][x0 - 1] for y in range(y0, y1 + 1)] + [face[y][x1 + 1] for y in range(y0, y1 + 1)]
              + [face[y0 - 1][x] for x in range(x0, x1 + 1)] + [face[y1 + 1][x] for x in range(x0, x1 + 1)])
    check("pixels just outside each side of the window are not the window colour",
          WINDOW_RGB not in border)
    total = sum(px == WINDOW_RGB for row in face for px in row)
    check("window colour appears nowhere else on the face",
          total == sum(p == WINDOW_RGB for p in inside),
          "%d pixels outside the window" % (total - sum(p == WINDOW_RGB for p in inside)))

    for key, (kx, ky, kw, kh) in KEYS.items():
        glyph = painted(face, kx, ky, kx + kw - 1, ky + kh - 1)
        gx = [p[0] for p in glyph]
        gy = [p[1] for p in glyph]
        ok = len(glyph) >= 6
        if ok:
            ok = (abs((min(gx) + max(gx)) / 2 - (kx + (kw - 1) / 2)) <= 1.0
                  and abs((min(gy) + max(gy)) / 2 - (ky + (kh - 1) / 2)) <= 1.0)
        check("'%s' key glyph centred in its mouse area (%d,%d %dx%d)" % (key, kx, ky, kw, kh),
              ok, "glyph pixels %s" % sorted(glyph)[:6])
        tall = glyph and max(gy) - min(gy) >= 4
        check("'%s' key shows a %s" % (key, "plus" if key == "+" else "minus"),
              tall if key == "+" else (glyph and not tall))

    check("'Pushback' lettering beneath the buttons",
          len(painted(face, 11, 51, 88, 70)) >= 40)
    check("'Timer' lettering above the window",
          len(painted(face, 95, 1, 149, 15)) >= 25)

    for name, ((lx, ly), (mx, my, mw, mh)) in LAMPS.items():
        left = name == "lamp_left.bmp"
        w, h = BITMAPS[name]
        # the unlit arrow on the face: inside the mouse area, pointing the right way
        arrow = painted(face, lx, ly, lx + w - 1, ly + h - 1)
        outside = [p for p in arrow if not (mx <= p[0] < mx + mw and my <= p[1] < my + mh)]
        check("face %s arrow drawn inside its mouse area" % ("left" if left else "right"),
              len(arrow) >= 40 and not outside, "%d arrow pixels, %d outside" % (len(arrow), len(outside)))
        if arrow:
            ok, why = arrow_turns(arrow, left, lx + w / 2)
            check("face %s arrow goes down then %s" % (("left",) * 2 if left else ("right",) * 2),
                  ok, why)
        lamp = imgs[name]
        if not lamp:
            continue
        # The lamp is pasted over the face at (lx, ly): its outer ring must be
        # the face's button edge, pixel for pixel.
        ring = [(x, y) for y in range(h) for x in range(w) if x in (0, w - 1) or y in (0, h - 1)]
        diff = [(x, y) for x, y in ring if lamp[y][x] != face[ly + y][lx + x]]
        check("%s outer ring matches the face at (%d,%d)" % (name, lx, ly), not diff,
              "%d of %d ring pixels differ, e.g. %s" % (len(diff), len(ring), diff[:3]))
        edge = sum(lum(face[ly][lx + x]) for x in range(w)) / w
        above = sum(lum(face[ly - 1][lx + x]) for x in range(w)) / w
        side = sum(lum(face[ly + y][lx]) for y in range(h)) / h
        beside = sum(lum(face[ly + y][lx - 1]) for y in range(h)) / h
        check("face button %s edge sits on the square's border (ring darker than plate)"
              % ("left" if left else "right"), above - edge >= 25 and beside - side >= 25,
              "top %.0f vs %.0f, left %.0f vs %.0f" % (edge, above, side, beside))
        inner = [(x, y) for y in range(1, h - 1) for x in range(1, w - 1)]
        lit_l = sum(lum(lamp[y][x]) for x, y in inner) / len(inner)
        off_l = sum(lum(face[ly + y][lx + x]) for x, y in inner) / len(inner)
        check("%s is lit: inside at least 30 levels brighter than the face" % name,
              lit_l - off_l >= 30, "%.0f vs %.0f" % (lit_l, off_l))
        glow = [(x, y) for x, y in inner if lamp[y][x][0] >= 200 and lamp[y][x][0] - lamp[y][x][2] >= 60]
        check("%s has a warm glow (>= 60 amber pixels)" % name, len(glow) >= 60, "%d" % len(glow))
        core = [(x, y) for x, y in inner if lum(lamp[y][x]) >= 235]
        stray = [p for p in core if not (mx <= lx + p[0] < mx + mw and my <= ly + p[1] < my + mh)]
        check("%s lit arrow inside the mouse area" % name, core and not stray,
              "%d core pixels, %d outside" % (len(core), len(stray)))
        if core:
            ok, why = arrow_turns(core, left, w / 2)
            check("%s lit arrow goes down then %s" % (name, "left" if left else "right"), ok, why)


# --- tools -------------------------------------------------------------------

def have_tools():
    missing = [p for p in ("flite", "sox") if not shutil.which(p)]
    if missing:
        return "%s not installed" % " and ".join(missing)
    if subprocess.run([PY, "-c", "import PIL"], capture_output=True).returncode:
        return "python PIL not available to %s" % PY
    return None


def check_rerun(res, user):
    why = have_tools()
    label = "generator rerun gives byte-identical files"
    if user:
        label += " (all but your %s)" % ", ".join(user)
    if why:
        skip(label, why)
        return
    with tempfile.TemporaryDirectory() as tmp:
        p = subprocess.run([PY, os.path.join(TOOLS, "make_assets.py"), tmp], capture_output=True)
        if p.returncode:
            check("generator runs", False, p.stderr.decode(errors="replace").strip()[-300:])
            return
        names = [n + ".wav" for n in CLIPS if n not in user] + list(BITMAPS)
        differ = [n for n in names
                  if not os.path.isfile(os.path.join(res, n))
                  or open(os.path.join(tmp, n), "rb").read() != open(os.path.join(res, n), "rb").read()]
        check(label, not differ, "differ: %s" % differ)


def write_test_wav(path, rate, channels, seconds, level=0.37, before=0.0, after=0.0, width=2):
    """A 440 Hz tone of `seconds` at `level` of full scale, with silence
    before and after it."""
    full = 32767 if width == 2 else 127
    frames = ([0] * int(before * rate)
              + [int(full * level * math.sin(2 * math.pi * 440 * (i + 0.5) / rate))
                 for i in range(int(round(seconds * rate)))] + [0] * int(after * rate))
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        if width == 2:
            w.writeframes(b"".join(struct.pack("<h", v) * channels for v in frames))
        else:
            w.writeframes(bytes(128 + v for v in frames for _ in range(channels)))


def check_import():
    """import_clip.py: what it makes passes every any-valid-clip rule; what
    it cannot make, or cannot write, it says in one line with exit 2."""
    if not shutil.which("sox"):
        skip("import_clip", "sox not installed")
        return
    tool = os.path.join(TOOLS, "import_clip.py")

    def run(*args):
        p = subprocess.run([PY, tool] + list(args), capture_output=True)
        return p.returncode, p.stdout.decode(errors="replace").strip(), \
            p.stderr.decode(errors="replace").strip()

    def valid(name, path, label):
        blob = open(path, "rb").read() if os.path.isfile(path) else b""
        bad = ["%s: %s" % (r[0], r[2]) for r in valid_clip_rules(name, blob) if not r[1]]
        check(label, blob and not bad, "; ".join(bad))
        return dev(blob[44:])

    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "res")
        os.mkdir(out)
        rate, size = CLIPS["PB2"]
        lead, room = int(0.08 * rate), size - int(0.08 * rate) - int(0.10 * rate)

        # A quiet 44.1 kHz 16-bit stereo line with room noise-free pauses
        # around it: cut to its sound, given the lead-in, brought to full scale.
        src = os.path.join(tmp, "line.wav")
        write_test_wav(src, 44100, 2, 1.0, before=0.3, after=0.5)
        code, said, err = run("pb2", src, "--out", out)
        check("import_clip makes a spoken clip from a quiet 44.1 kHz stereo recording",
              code == 0 and said.startswith("wrote") and not err, "exit %d: %s" % (code, err))
        d = valid("PB2", os.path.join(out, "PB2.wav"),
                  "imported PB2 passes every any-valid-clip rule")
        onset = next((i for i, v in enumerate(d) if v), len(d))
        check("imported PB2: the recording's leading pause cut, its sound starts after the "
              "80 ms lead-in", lead <= onset <= lead + int(0.002 * rate), "onset %d" % onset)

        # The clip's sound room, 10 ms either side: fits, does not fit.
        for secs, fits in ((room / rate - 0.01, True), (room / rate + 0.01, False)):
            src = os.path.join(tmp, "edge.wav")
            write_test_wav(src, rate, 1, secs, before=0.2)
            keep = open(os.path.join(out, "PB2.wav"), "rb").read()
            code, said, err = run("PB2", src, "--out", out, "--force")
            if fits:
                check("a line 10 ms shorter than PB2's room is imported", code == 0 and
                      said.startswith("replaced"), "exit %d: %s" % (code, err))
            else:
                check("a line 10 ms too long is refused with the sox command that trims it, "
                      "and the clip there is kept",
                      code == 2 and len(err.splitlines()) == 1 and "trim 0.20 1.75" in err
                      and open(os.path.join(out, "PB2.wav"), "rb").read() == keep,
                      "exit %d: %s" % (code, err))

        # Not spoken: no cutting, no lead-in; a tug exactly as long as its clip.
        src = os.path.join(tmp, "tug.wav")
        write_test_wav(src, 11025, 1, CLIPS["TUG"][1] / 11025, level=1.0, width=1)
        code, said, err = run("TUG", src, "--out", out)
        d = valid("TUG", os.path.join(out, "TUG.wav"),
                  "a tug exactly the clip's length is imported whole and passes the rules")
        check("imported TUG starts with the recording, not a lead-in", d and d[1] != 0)

        junk = os.path.join(tmp, "junk.wav")
        open(junk, "w").write("not a sound\n")
        silent = os.path.join(tmp, "silent.wav")
        write_test_wav(silent, 22050, 1, 0.5, level=0.0)
        notes = os.path.join(tmp, "notes.txt")
        open(notes, "w").write("x")
        src = os.path.join(tmp, "line.wav")
        for label, args, words in (
                ("an unknown clip name", ("PB9", src, "--out", out), "unknown clip"),
                ("a missing recording", ("PB1", os.path.join(tmp, "no.wav"), "--out", out),
                 "no such file"),
                ("a folder as the recording", ("PB1", tmp, "--out", out), "is a folder"),
                ("a file that is not sound", ("PB1", junk, "--out", out), "sox cannot read"),
                ("a silent recording", ("PB1", silent, "--out", out), "no audible sound"),
                ("a missing output folder", ("PB1", src, "--out", os.path.join(tmp, "x")),
                 "does not exist"),
                ("a file as the output folder", ("PB1", src, "--out", notes), "is a file"),
                ("an output folder it cannot write", ("PB1", src, "--out", "/proc"),
                 "cannot write"),
                ("an existing clip without --force", ("PB2", src, "--out", out), "--force")):
            keep = open(os.path.join(out, "PB2.wav"), "rb").read()
            code, said, err = run(*args)
            check("import_clip refuses %s: exit 2, one line saying '%s'" % (label, words),
                  code == 2 and len(err.splitlines()) == 1 and words in err and not said
                  and open(os.path.join(out, "PB2.wav"), "rb").read() == keep,
                  "exit %d: %s" % (code, err))


def main():
    ap = argparse.ArgumentParser(description="Check the gauge's sounds and bitmaps.")
    ap.add_argument("resources", help="folder holding the clips and bitmaps")
    ap.add_argument("--user-clips", default="", metavar="NAME,...",
                    help="clips that are your own recordings: checked as any valid clip, "
                         "not as the generated ones")
    args = ap.parse_args()
    user = [n.strip().upper() for n in args.user_clips.split(",") if n.strip()]
    unknown = [n for n in user if n not in CLIPS]
    if unknown or not os.path.isdir(args.resources):
        print("check_assets: %s" % ("unknown clip %s; choose from %s"
                                    % (", ".join(unknown), ", ".join(CLIPS)) if unknown
                                    else "%s is not a folder" % args.resources), file=sys.stderr)
        return 2
    res = args.resources
    check_sounds(res, user)
    check_bitmaps(res)
    check_rerun(res, user)
    check_import()
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
