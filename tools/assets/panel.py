"""The gauge's bitmaps: the panel face and the two lit direction buttons.

Geometry is drawn four times oversize and box-filtered down so edges are
smooth but stay on the pixel grid; lettering and the small keys are drawn at
final size so they stay crisp.  All three bitmaps share one 256-colour
palette, built deterministically from the pictures themselves, with two
reserved entries:
  0  pure black, never used: the panel system may treat it as transparent
  1  the timer window colour, used only inside the window
"""

import math
import random
import subprocess

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

W, H = 172, 78
S = 4  # oversampling factor

WINDOW_RGB = (24, 16, 8)
WINDOW_BOX = (98, 19, 146, 37)                  # inclusive pixel box
LAMP_SIZE = (34, 27)
LAMP_LEFT_AT = (11, 24)
LAMP_RIGHT_AT = (55, 24)
MINUS_AREA = (99, 46, 14, 11)                  # x, y, w, h
PLUS_AREA = (132, 46, 14, 11)

PLATE = (104, 68, 42)
PAINT = (236, 222, 190)
PAINT_SHADOW = (44, 28, 16)
GAP = (36, 24, 15)
CAP = (60, 46, 36)
CAP_LIGHT = (132, 106, 84)
CAP_DARK = (30, 22, 16)

TEXTURE_SEED = 1961


# --- fonts ------------------------------------------------------------------

def find_font(candidates):
    """Resolve a font through fontconfig; first family that really exists wins."""
    for pattern, family in candidates:
        try:
            out = subprocess.run(["fc-match", "-f", "%{family}\n%{file}", pattern],
                                 check=True, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL).stdout.decode()
        except (OSError, subprocess.CalledProcessError):
            continue
        fam, _, path = out.partition("\n")
        if family.lower() in fam.lower() and path:
            return path
    raise RuntimeError("none of these fonts is installed: %s"
                       % ", ".join(p for p, _ in candidates))


LABEL_FONTS = [("DejaVu Sans:bold", "DejaVu Sans")]


# --- helpers -----------------------------------------------------------------

def _sbox(x0, y0, x1, y1):
    """Inclusive 1x pixel box -> oversized drawing box."""
    return (x0 * S, y0 * S, (x1 + 1) * S - 1, (y1 + 1) * S - 1)


def _lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def _shade(c, d):
    return tuple(max(0, min(255, int(round(v + d)))) for v in c)


def _plate_texture(rng):
    """Brushed brown metal at 1x: long horizontal grain, light from the top."""
    img = Image.new("RGB", (W, H))
    px = img.load()
    row_offset = [rng.gauss(0, 2.2) for _ in range(H)]
    for y in range(H):
        # one smooth random walk per row gives the brushed grain
        grain = []
        g = rng.gauss(0, 3)
        for x in range(W):
            g = 0.92 * g + rng.gauss(0, 1.1)
            grain.append(g)
        for x in range(W):
            light = 10 * (1 - y / (H - 1)) - 5                # top brighter
            light += 4 * math.cos((x - W * 0.35) / W * math.pi)  # soft hot spot
            d = light + row_offset[y] + grain[x] + rng.gauss(0, 1.2)
            px[x, y] = (_shade(PLATE, d * 1.0)[0], _shade(PLATE, d * 0.8)[1],
                        _shade(PLATE, d * 0.6)[2])
    return img


def _plate_bevel(img):
    px = img.load()
    for x in range(W):
        for y in range(H):
            edge = min(x, y, W - 1 - x, H - 1 - y)
            if edge == 0:
                px[x, y] = (40, 26, 16)
            elif edge <= 2:
                top_left = (x == edge or y == edge) and not (W - 1 - x == edge or H - 1 - y == edge)
                amount = 38 if edge == 1 else 18
                px[x, y] = _shade(px[x, y], amount if top_left else -amount - 6)


def _screw(draw, cx, cy, angle):
    r = 3.6 * S
    cx, cy = (cx + 0.5) * S, (cy + 0.5) * S
    draw.ellipse((cx - r + S * 0.6, cy - r + S * 0.7, cx + r + S * 0.6, cy + r + S * 0.7),
                 fill=(48, 32, 20))
    steps = 12
    for i in range(steps):                      # domed head, lit from top left
        t = i / (steps - 1)
        rr = r * (1 - 0.75 * t)
        off = -0.35 * S * t
        draw.ellipse((cx - rr + off, cy - rr + off, cx + rr + off, cy + rr + off),
                     fill=_lerp((92, 84, 74), (196, 188, 172), t))
    dx, dy = math.cos(angle) * r * 0.85, math.sin(angle) * r * 0.85
    draw.line((cx - dx, cy - dy, cx + dx, cy + dy), fill=(40, 34, 28), width=int(S * 0.9))
    draw.line((cx - dx + S * 0.35, cy - dy + S * 0.45, cx + dx + S * 0.35, cy + dy + S * 0.45),
              fill=(150, 142, 128), width=int(S * 0.35))


def _arrow_polygons(mirror):
    """The down-then-sideways arrow, in 1x coordinates inside a 34x27 button.

    Returns a list of polygons; for the left button the arrow turns left.
    """
    shaft = [(21.5, 5.5), (24.5, 5.5), (24.5, 15.0), (23.6, 16.9), (21.7, 17.9),
             (15.5, 17.9), (15.5, 14.9), (21.5, 14.9)]
    head = [(15.9, 10.6), (15.9, 22.2), (8.8, 16.4)]
    polys = [shaft, head]
    if mirror:
        polys = [[(LAMP_SIZE[0] - x, y) for x, y in p] for p in polys]
    return polys


def _arrow_mask(origin, mirror, grow=0.0):
    """Oversized L-mask of the arrow for a button whose square starts at origin."""
    mask = Image.new("L", (W * S, H * S), 0)
    d = ImageDraw.Draw(mask)
    ox, oy = origin
    for poly in _arrow_polygons(mirror):
        pts = [((ox + x) * S, (oy + y) * S) for x, y in poly]
        d.polygon(pts, fill=255)
    if grow:
        mask = mask.filter(ImageFilter.MaxFilter(int(grow * S) * 2 + 1))
    return mask


def _button(img, draw, origin, mirror, lit):
    """Paint a direction button into the oversized image.

    The 1 px gap ring around the 34x27 square is the same lit or unlit, so
    a lit bitmap drawn over the face lines up with it exactly.
    """
    ox, oy = origin
    bw, bh = LAMP_SIZE
    x1, y1 = ox + bw - 1, oy + bh - 1
    if not lit:
        # soft shadow the raised cap throws onto the plate, lower right
        shadow = Image.new("L", img.size, 0)
        ImageDraw.Draw(shadow).rectangle(_sbox(ox + 2, oy + 2, x1 + 2, y1 + 2), fill=150)
        shadow = shadow.filter(ImageFilter.GaussianBlur(S * 0.9))
        img.paste((30, 18, 10), (0, 0), shadow)
    draw.rectangle(_sbox(ox, oy, x1, y1), fill=GAP)
    cx0, cy0, cx1, cy1 = ox + 1, oy + 1, x1 - 1, y1 - 1     # the cap
    if not lit:
        # raised: light top/left bevel, dark bottom/right bevel, domed face
        draw.rectangle(_sbox(cx0, cy0, cx1, cy1), fill=CAP_DARK)
        draw.rectangle(_sbox(cx0, cy0, cx1 - 1, cy1 - 1), fill=CAP_LIGHT)
        draw.rectangle(_sbox(cx0 + 1, cy0 + 1, cx1 - 1, cy1 - 1), fill=_lerp(CAP, CAP_DARK, 0.45))
        draw.rectangle(_sbox(cx0 + 1, cy0 + 1, cx1 - 2, cy1 - 2), fill=_lerp(CAP, CAP_LIGHT, 0.45))
        fx0, fy0, fx1, fy1 = cx0 + 2, cy0 + 2, cx1 - 2, cy1 - 2
        for i in range((fy1 - fy0 + 1) * S):
            t = i / ((fy1 - fy0 + 1) * S - 1)
            c = _lerp(_shade(CAP, 14), _shade(CAP, -10), t)
            draw.line((fx0 * S, fy0 * S + i, (fx1 + 1) * S - 1, fy0 * S + i), fill=c)
        shadow = _arrow_mask((ox + 0.35, oy + 0.45), mirror).filter(
            ImageFilter.GaussianBlur(S * 0.3))
        img.paste(CAP_DARK, (0, 0), shadow)
        img.paste(PAINT, (0, 0), _arrow_mask((ox, oy), mirror))
        return
    # pressed and lit: the cap sits one pixel lower and right, its
    # translucent face glowing amber from the lamp behind it
    draw.rectangle(_sbox(cx0, cy0, cx1, cy1), fill=(22, 14, 8))
    draw.rectangle(_sbox(cx0 + 1, cy0 + 1, cx1, cy1), fill=(118, 70, 28))
    fx0, fy0, fx1, fy1 = cx0 + 2, cy0 + 2, cx1 - 1, cy1 - 1
    gx, gy = (ox + 17.5) * S, (oy + 14.5) * S
    for y in range(fy0 * S, (fy1 + 1) * S):
        for_x = range(fx0 * S, (fx1 + 1) * S)
        row = []
        for x in for_x:
            d = math.hypot((x - gx) / (15 * S), (y - gy) / (12 * S))
            row.append(_lerp((212, 128, 40), (112, 56, 18), min(1.0, d)))
        for x, c in zip(for_x, row):
            draw.point((x, y), fill=c)
    origin_lit = (ox + 1, oy + 1)
    halo = _arrow_mask(origin_lit, mirror, grow=1.0).filter(ImageFilter.GaussianBlur(S * 1.6))
    # the glow stays on the cap; the gap ring must match the unlit face
    cap = Image.new("L", img.size, 0)
    ImageDraw.Draw(cap).rectangle(_sbox(cx0 + 1, cy0 + 1, cx1, cy1), fill=255)
    halo = ImageChops.multiply(halo, cap)
    img.paste((255, 178, 60), (0, 0), halo)
    img.paste((255, 214, 120), (0, 0), _arrow_mask(origin_lit, mirror, grow=0.25))
    img.paste((255, 250, 222), (0, 0), _arrow_mask(origin_lit, mirror))


def _display_bezel(px):
    x0, y0, x1, y1 = WINDOW_BOX
    for ring, (tl, br) in enumerate([((62, 42, 27), (160, 120, 84)),
                                     ((46, 31, 20), (128, 94, 64)),
                                     ((52, 40, 30), (52, 40, 30))]):
        d = 3 - ring
        for x in range(x0 - d, x1 + d + 1):
            for y in range(y0 - d, y1 + d + 1):
                if x in (x0 - d, x1 + d) or y in (y0 - d, y1 + d):
                    top_left = (x == x0 - d or y == y0 - d) and not (x == x1 + d or y == y1 + d)
                    px[x, y] = tl if top_left else br
    for x in range(x0, x1 + 1):
        for y in range(y0, y1 + 1):
            px[x, y] = WINDOW_RGB


def _key(px, area, glyph):
    """A small raised key exactly filling its mouse area."""
    x, y, w, h = area
    x1, y1 = x + w - 1, y + h - 1
    for yy in range(y, y1 + 1):
        for xx in range(x, x1 + 1):
            t = (yy - y) / (h - 1)
            px[xx, yy] = _lerp(_shade(CAP, 16), _shade(CAP, -8), t)
    for xx in range(x, x1 + 1):
        px[xx, y] = CAP_LIGHT
        px[xx, y1] = CAP_DARK
    for yy in range(y, y1 + 1):
        px[x, yy] = CAP_LIGHT if yy < y1 else CAP_DARK
        px[x1, yy] = CAP_DARK
    # gap and shadow on the plate just around the key
    for xx in range(x - 1, x1 + 2):
        px[xx, y - 1] = _lerp(px[xx, y - 1], GAP, 0.7)
        px[xx, y1 + 1] = _lerp(px[xx, y1 + 1], GAP, 0.9)
    for yy in range(y, y1 + 2):
        px[x - 1, yy] = _lerp(px[x - 1, yy], GAP, 0.7)
        px[x1 + 1, yy] = _lerp(px[x1 + 1, yy], GAP, 0.9)
    cx, cy = x + w // 2, y + h // 2
    bar = [(cx + dx, cy + dy) for dx in range(-3, 3) for dy in (-1, 0)]
    if glyph == "+":
        bar += [(cx + dx, cy + dy) for dx in (-1, 0) for dy in range(-3, 3)]
    for gx, gy in bar:
        px[gx + 1, gy + 1] = CAP_DARK
    for gx, gy in bar:
        px[gx, gy] = PAINT


def _label(img, text, cx, top, font):
    d = ImageDraw.Draw(img)
    left, t, right, bottom = font.getbbox(text)
    x = int(round(cx - (right - left) / 2)) - left
    d.text((x + 1, top + 1 - t), text, font=font, fill=PAINT_SHADOW)
    d.text((x, top - t), text, font=font, fill=PAINT)


def render():
    """RGB images: (face, lamp_left, lamp_right)."""
    rng = random.Random(TEXTURE_SEED)
    plate = _plate_texture(rng)
    _plate_bevel(plate)

    def scene(lit):
        big = plate.resize((W * S, H * S), Image.NEAREST)
        draw = ImageDraw.Draw(big)
        for (sx, sy), angle in (((5, 5), 0.6), ((166, 5), 2.1), ((5, 72), 1.2), ((166, 72), 2.7)):
            _screw(draw, sx, sy, angle)
        _button(big, draw, LAMP_LEFT_AT, False, lit)
        _button(big, draw, LAMP_RIGHT_AT, True, lit)
        return big.resize((W, H), Image.BOX)

    face = scene(False)
    lit = scene(True)
    px = face.load()
    _display_bezel(px)
    _key(px, MINUS_AREA, "-")
    _key(px, PLUS_AREA, "+")
    font = ImageFont.truetype(find_font(LABEL_FONTS), 11,
                              layout_engine=ImageFont.Layout.BASIC)
    _label(face, "Pushback", (LAMP_LEFT_AT[0] + LAMP_RIGHT_AT[0] + LAMP_SIZE[0]) / 2, 54, font)
    _label(face, "Timer", (WINDOW_BOX[0] + WINDOW_BOX[2] + 1) / 2, 4, font)

    def crop(img, at):
        return img.crop((at[0], at[1], at[0] + LAMP_SIZE[0], at[1] + LAMP_SIZE[1]))

    return face, crop(lit, LAMP_LEFT_AT), crop(lit, LAMP_RIGHT_AT)


# --- palette -----------------------------------------------------------------

def build_palette(images, window_box):
    """Shared 256-entry palette: 0 black (unused), 1 window colour, 254 others."""
    face = images[0]
    total_h = sum(im.size[1] for im in images)
    sheet = Image.new("RGB", (max(im.size[0] for im in images), total_h), PLATE)
    y = 0
    for im in images:
        sheet.paste(im, (0, y))
        y += im.size[1]
    # keep the window out of the statistics; it gets its own entry
    x0, y0, x1, y1 = window_box
    ImageDraw.Draw(sheet).rectangle((x0, y0, x1, y1), fill=face.getpixel((x0 - 4, y0 - 4)))
    q = sheet.quantize(colors=254, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    flat = q.getpalette()[:254 * 3]
    rest = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
    while len(rest) < 254:
        rest.append(rest[-1])
    rest = [c if c not in ((0, 0, 0), WINDOW_RGB) else _shade(c, 1) for c in rest]
    return [(0, 0, 0), WINDOW_RGB] + rest


def to_indices(img, palette, window_box=None):
    """Exact nearest-colour mapping; entries 0 and 1 are never chosen here."""
    cache = {}
    choices = list(enumerate(palette))[2:]
    rows = []
    w, h = img.size
    px = img.load()
    for y in range(h):
        row = []
        for x in range(w):
            if window_box and window_box[0] <= x <= window_box[2] and window_box[1] <= y <= window_box[3]:
                row.append(1)
                continue
            c = px[x, y]
            i = cache.get(c)
            if i is None:
                i = min(choices, key=lambda e: ((e[1][0] - c[0]) ** 2 + (e[1][1] - c[1]) ** 2
                                                + (e[1][2] - c[2]) ** 2, e[0]))[0]
                cache[c] = i
            row.append(i)
        rows.append(row)
    return rows
