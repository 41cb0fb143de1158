"""Shared pieces of the gauge asset tools: the clip table, and writers and
readers for the two file formats the gauge embeds (8-bit mono RIFF WAVE and
8-bit palettised BMP).

The gauge loads its sounds as raw resources and hands them straight to the
host's sound layer, which only copes with the plain 44-byte header layout:
RIFF header, a 16-byte fmt chunk at offset 12, the data chunk at offset 36
and nothing after the sample data.  Everything here writes exactly that.
"""

import argparse
import os
import struct
import sys

# name -> (sample rate in Hz, number of sample bytes)
CLIPS = {
    "PB1": (11025, 41472),
    "PB2": (22050, 42704),
    "PB3": (11025, 53888),
    "PB4": (22050, 70536),
    "CLICK": (22255, 2432),
    "TUG": (11025, 55136),
}

SPEECH = ("PB1", "PB2", "PB3", "PB4")

WAV_HEADER_BYTES = 44
SILENCE = 128  # 8-bit unsigned PCM centre value

# A spoken clip opens with silence (the intercom keying) and ends with at
# least this much of it; every clip's loudest sample sits at PEAK of full
# scale.
LEAD_SECONDS = 0.08
TAIL_SECONDS = 0.10
PEAK = 0.9

# The gauge restarts the tug clip every 68 panel updates (18 updates/s).
TUG_RESTART_SECONDS = 68 / 18


class Parser(argparse.ArgumentParser):
    """argparse with its complaint on one line, as the tools' other errors."""

    def error(self, message):
        print("%s: %s (see --help)" % (os.path.basename(self.prog).rsplit(".", 1)[0], message),
              file=sys.stderr)
        sys.exit(2)


def clip_filename(name):
    return name + ".wav"


def wav_bytes(rate, data):
    """Return a complete 8-bit unsigned mono WAVE image for `data`."""
    data = bytes(data)
    n = len(data)
    header = b"RIFF" + struct.pack("<I", 36 + n) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate, 1, 8)
    header += b"data" + struct.pack("<I", n)
    assert len(header) == WAV_HEADER_BYTES
    return header + data


def to_u8(samples):
    """8-bit unsigned samples of `samples` (numbers centred on 0), scaled so
    the loudest sits at PEAK of full scale; never 0, so never clipped."""
    peak = max(abs(v) for v in samples) or 1
    scale = PEAK * 127.0 / peak
    return bytes(max(1, min(255, int(round(SILENCE + v * scale)))) for v in samples)


def write_clip(path, name, data):
    rate, size = CLIPS[name]
    if len(data) != size:
        raise ValueError("%s needs %d sample bytes, got %d" % (name, size, len(data)))
    with open(path, "wb") as f:
        f.write(wav_bytes(rate, data))


def clip_problems(image, name):
    """List what is wrong with `image` (bytes of a WAVE file) as clip `name`.

    An empty list means the file has exactly the layout the gauge expects.
    """
    rate, size = CLIPS[name]
    want = wav_bytes(rate, bytes(size))[:WAV_HEADER_BYTES]
    problems = []
    if len(image) != WAV_HEADER_BYTES + size:
        problems.append("file is %d bytes, expected %d" % (len(image), WAV_HEADER_BYTES + size))
    head = image[:WAV_HEADER_BYTES]
    if head != want:
        fields = [
            (0, 4, "RIFF tag"), (4, 8, "RIFF size"), (8, 12, "WAVE tag"),
            (12, 16, "fmt tag"), (16, 20, "fmt size"), (20, 22, "format tag"),
            (22, 24, "channels"), (24, 28, "sample rate"), (28, 32, "bytes/s"),
            (32, 34, "block align"), (34, 36, "bits"), (36, 40, "data tag"),
            (40, 44, "data size"),
        ]
        for lo, hi, label in fields:
            if head[lo:hi] != want[lo:hi]:
                problems.append("header field '%s' is %r, expected %r"
                                % (label, head[lo:hi], want[lo:hi]))
    return problems


# --- BMP -----------------------------------------------------------------

BMP_FILE_HEADER = 14
BMP_INFO_HEADER = 40


def bmp_bytes(width, height, palette, pixels):
    """8-bit BI_RGB bottom-up BMP.

    palette: list of 256 (r, g, b); pixels: list of rows (top row first) of
    palette indices.
    """
    if len(palette) != 256:
        raise ValueError("palette must have 256 entries")
    stride = (width + 3) & ~3
    image_size = stride * height
    offset = BMP_FILE_HEADER + BMP_INFO_HEADER + 256 * 4
    out = bytearray()
    out += b"BM" + struct.pack("<IHHI", offset + image_size, 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", BMP_INFO_HEADER, width, height, 1, 8, 0,
                       image_size, 2835, 2835, 256, 0)
    for r, g, b in palette:
        out += bytes((b, g, r, 0))
    pad = bytes(stride - width)
    for row in reversed(pixels):
        if len(row) != width:
            raise ValueError("row length %d, expected %d" % (len(row), width))
        out += bytes(row) + pad
    return bytes(out)
