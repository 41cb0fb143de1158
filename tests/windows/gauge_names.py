"""The gauge's fixed names and numbers, read from their one home,
host/gauge_names.h, for the checks that look at a built module from outside.

    CLIPS     ["PB1", ...]            the clips, in the gauge's order
    BITMAPS   {"LeftLamp": 0x1000}    bitmap numbers by name
    BITMAP_FILES {255: "panel_face.bmp", ...}
    BUTTONS   {"left": 0, ...}        child mouse area of each button
    TOKENS    {"ParkingBrake": 323}   simulator variables by name
"""
import os
import re

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "host", "gauge_names.h")


def _read():
    with open(HEADER, encoding="utf-8") as f:
        text = f.read()

    def quoted_list(name):
        line = re.search(name + r"\[\] = \{(.*)\};", text)
        if line is None:
            raise SystemExit(f"gauge_names: no {name} in {HEADER}")
        return re.findall(r'"([^"]+)"', line.group(1))

    bitmaps = re.findall(r"kBitmap(\w+) *= *(0x[0-9A-Fa-f]+|\d+), *// *(\w+\.bmp)", text)
    tokens = re.findall(r"kToken(\w+) *= *(\d+),", text)
    if not bitmaps or not tokens:
        raise SystemExit(f"gauge_names: no bitmaps or tokens in {HEADER}")
    return (quoted_list("kClipNames"), {name: int(n, 0) for name, n, _ in bitmaps},
            {int(n, 0): file for _, n, file in bitmaps},
            {word: i for i, word in enumerate(quoted_list("kButtonNames"))},
            {name: int(n) for name, n in tokens})


CLIPS, BITMAPS, BITMAP_FILES, BUTTONS, TOKENS = _read()
