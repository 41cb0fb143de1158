// panel_draw.cpp - software drawing of the panel and the track; the text
// comes from the platform's fonts (fonts.h).
#include "programs/panel-host/panel_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "hostsim/hostsim.h"

namespace {

// The ground seen from above, in the window's view and the track's picture:
// the ground, its 5 m grid and the axes through the start, the track of the
// point the tug pushes, the aircraft, where it started and where it is (or
// ended), and the words.
const uint32_t kBackground = 0x1E2228, kGrid = 0x30363E, kAxis = 0x4A525C, kPath = 0xF0C419, kBody = 0xE8ECF0,
               kStart = 0x3CC864, kEnd = 0xE04848, kText = 0xC8CCD2;

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Copies a picture with black as the transparent colour.
void BlitTransparent(const Image& src, int32_t x0, int32_t y0, Image* dst) {
    for (int32_t y = 0; y < src.h; ++y)
        for (int32_t x = 0; x < src.w; ++x) {
            uint32_t p = ImageAt(src, x, y);
            if (p != 0) ImageSet(dst, x0 + x, y0 + y, p);
        }
}

void Disc(Image* img, double cx, double cy, double r, uint32_t rgb) {
    for (int32_t j = int32_t(cy - r) - 1; j <= int32_t(cy + r) + 1; ++j)
        for (int32_t i = int32_t(cx - r) - 1; i <= int32_t(cx + r) + 1; ++i)
            if ((i - cx) * (i - cx) + (j - cy) * (j - cy) <= r * r) ImageSet(img, i, j, rgb);
}

void Line(Image* img, double x0, double y0, double x1, double y1, double width, uint32_t rgb) {
    double length = std::hypot(x1 - x0, y1 - y0);
    int32_t steps = std::max(1, int32_t(length * 2));
    for (int32_t s = 0; s <= steps; ++s) {
        double t = double(s) / steps;
        Disc(img, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, rgb);
    }
}

}  // namespace

void FillRect(Image* img, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
    for (int32_t j = y; j < y + h; ++j)
        for (int32_t i = x; i < x + w; ++i) ImageSet(img, i, j, rgb);
}

void Blit(const Image& src, int32_t x0, int32_t y0, Image* dst) {
    for (int32_t y = 0; y < src.h; ++y)
        for (int32_t x = 0; x < src.w; ++x) ImageSet(dst, x0 + x, y0 + y, ImageAt(src, x, y));
}

int32_t LabelWidth(Font* font, const std::string& text) {
    int32_t w = 0, h = 0;
    TextSize(font, text.c_str(), &w, &h);
    return w;
}

int32_t DrawLabel(Font* font, const std::string& text, uint32_t rgb, int32_t x, int32_t y, Image* dst) {
    PaintText(font, text.c_str(), rgb, x, y, 0, 0, dst->w, dst->h, dst);
    return LabelWidth(font, text);
}

void DrawTopView(const Aircraft& a, int32_t w, int32_t h, Font* font, Image* out) {
    ImageResize(out, w, h, kBackground);
    const double rad = a.heading * 3.14159265358979323846 / 180.0;
    const double fx = std::sin(rad), fy = std::cos(rad);   // forward, metres east and north
    // The aircraft, about an airliner's size, as strokes in metres ahead of
    // and right of the point it is pushed by (the nose wheel): the
    // fuselage, the wings and the tailplane, each with its width in metres
    // and the least it is drawn with in pixels, however small the scale.
    struct Stroke { double ahead0, right0, ahead1, right1, width, least; };
    const Stroke kShape[] = {{2, 0, -36, 0, 3.8, 3.0},    {-16, -17, -12, 0, 2.0, 2.0}, {-16, 17, -12, 0, 2.0, 2.0},
                             {-35, -6, -33, 0, 1.5, 2.0}, {-35, 6, -33, 0, 1.5, 2.0}};
    // A point of the aircraft on the ground, metres east and north.
    auto ground = [&](double ahead, double right) {
        return TrackPoint{a.x + fx * ahead + fy * right, a.y + fy * ahead - fx * right};
    };
    // The view holds the track and the whole aircraft, whatever its heading,
    // with 10 m round them, and is at least 60 m across.
    double min_x = a.x, max_x = a.x, min_y = a.y, max_y = a.y;
    auto take = [&](double x, double y) {
        min_x = std::min(min_x, x); max_x = std::max(max_x, x);
        min_y = std::min(min_y, y); max_y = std::max(max_y, y);
    };
    for (const Stroke& k : kShape)
        for (const TrackPoint& p : {ground(k.ahead0, k.right0), ground(k.ahead1, k.right1)}) take(p.x, p.y);
    for (const TrackPoint& p : a.track) take(p.x, p.y);
    const double extent = std::max({max_x - min_x + 20.0, max_y - min_y + 20.0, 60.0});
    const double scale = std::min(w, h) / extent;   // pixels per metre
    const double cx = (min_x + max_x) / 2, cy = (min_y + max_y) / 2;
    auto sx = [&](double x) { return w / 2.0 + (x - cx) * scale; };
    auto sy = [&](double y) { return h / 2.0 - (y - cy) * scale; };
    const double grid = 5.0;
    for (double g = std::floor((cx - w / scale) / grid) * grid; g <= cx + w / scale; g += grid)
        Line(out, sx(g), 0, sx(g), h, 1, kGrid);
    for (double g = std::floor((cy - h / scale) / grid) * grid; g <= cy + h / scale; g += grid)
        Line(out, 0, sy(g), w, sy(g), 1, kGrid);
    for (const Stroke& k : kShape) {
        const TrackPoint p0 = ground(k.ahead0, k.right0), p1 = ground(k.ahead1, k.right1);
        Line(out, sx(p0.x), sy(p0.y), sx(p1.x), sy(p1.y), std::max(k.least, k.width * scale), kBody);
    }
    // The track of the point the tug pushes, over the aircraft that hides
    // most of it.
    for (size_t i = 1; i < a.track.size(); ++i)
        Line(out, sx(a.track[i - 1].x), sy(a.track[i - 1].y), sx(a.track[i].x), sy(a.track[i].y), 3, kPath);
    Disc(out, sx(a.x), sy(a.y), 3, kEnd);
    Line(out, w - 16, 30, w - 16, 8, 2, kText);
    Line(out, w - 16, 8, w - 21, 15, 2, kText);
    Line(out, w - 16, 8, w - 11, 15, 2, kText);
    if (font) {
        PaintText(font, "N", kText, w - 21, 32, 0, 0, w, h, out);
        PaintText(font, "grid 5 m", kText, 6, h - 18, 0, 0, w, h, out);
        // The legend of the yellow line above it.
        Line(out, 6, h - 28, 22, h - 28, 3, kPath);
        PaintText(font, "track of the nose wheel", kText, 28, h - 37, 0, 0, w, h, out);
    }
}

bool DecodeDib(const uint8_t* dib, uint32_t size, Image* image) {
    if (dib == nullptr || size < 40) return false;
    const uint32_t header = Le32(dib);
    if (header < 40 || header > size) return false;
    const int32_t width = int32_t(Le32(dib + 4));
    const int32_t raw_height = int32_t(Le32(dib + 8));
    const uint16_t bits = Le16(dib + 14);
    const uint32_t compression = Le32(dib + 16);
    uint32_t colours = Le32(dib + 32);
    if (width <= 0 || width > 4096 || raw_height == 0 || raw_height < -4096 || raw_height > 4096) return false;
    if (compression != 0) return false;
    const bool top_down = raw_height < 0;
    const int32_t height = top_down ? -raw_height : raw_height;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    if (bits <= 8) {
        if (colours == 0) colours = 1u << bits;
        if (colours > (1u << bits)) return false;
    } else {
        colours = 0;
    }
    const uint64_t palette_at = header;
    const uint64_t pixels_at = palette_at + uint64_t(colours) * 4;
    const uint64_t stride = ((uint64_t(width) * bits + 31) / 32) * 4;
    if (pixels_at + stride * uint64_t(height) > size) return false;
    ImageResize(image, width, height, 0);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = dib + pixels_at + stride * uint64_t(top_down ? y : height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t rgb;
            if (bits <= 8) {
                const uint32_t bit = uint32_t(x) * bits;
                const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= colours) return false;
                const uint8_t* q = dib + palette_at + index * 4;   // blue, green, red, 0
                rgb = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
            } else {
                const uint8_t* q = row + size_t(x) * (bits / 8);
                rgb = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
            }
            ImageSet(image, x, y, rgb);
        }
    }
    return true;
}

bool LoadPanelArt(const LoadedModule& module, PanelArt* art, std::string* problem) {
    FreePanelArt(art);
    if (host.first == nullptr || host.first->kind != kElementStatic) {
        *problem = "the module's gauge has no panel face";
        return false;
    }
    const EmbeddedResource* face = ModuleResource(module, "BITMAP", nullptr, host.first->bitmap);
    if (face == nullptr || !DecodeDib(face->data, face->size, &art->face)) {
        *problem = "module " + module.path + " holds no readable panel face bitmap";
        return false;
    }
    for (int32_t i = 0; i < host.icon_count && i < 2; ++i) {
        const int32_t number = host.icons[i].element->header.bitmap;
        const EmbeddedResource* lamp = ModuleResource(module, "BITMAP", nullptr, number);
        if (lamp == nullptr || !DecodeDib(lamp->data, lamp->size, &art->lamps[i])) {
            *problem = "module " + module.path + " holds no readable lamp bitmap " + std::to_string(number);
            return false;
        }
        art->lamp_bitmaps[i] = number;
    }
    // The element's name fills at most its 32 bytes, without a terminator
    // when it is that long; an empty one means the host's default.
    const char* family = (host.display && host.display->font_name[0]) ? host.display->font_name : "Courier New";
    const size_t length = strnlen(family, sizeof host.display->font_name);
    char name[sizeof host.display->font_name + 1];
    std::memcpy(name, family, length);
    name[length] = '\0';
    // The largest size at which the display's widest text fits its box.
    const int32_t box_w = host.display ? host.display->box_w : 47;
    const int32_t box_h = host.display ? host.display->box_h : 15;
    const int32_t chars = (host.display && host.display->max_chars > 0) ? host.display->max_chars : 6;
    const std::string widest(size_t(chars), '0');
    for (int32_t px = box_h; px >= 6 && art->font == nullptr; --px) {
        Font* f = OpenFont(name, px, problem);
        if (f == nullptr) return false;
        int32_t w = 0, h = 0;
        TextSize(f, widest.c_str(), &w, &h);
        if (w <= box_w && FontHeight(f) <= box_h + 2) {
            art->font = f;
            art->font_pixels = px;
        } else {
            CloseFont(f);
        }
    }
    if (art->font == nullptr) {
        *problem = std::string("no size of the font \"") + name + "\" fits the display";
        return false;
    }
    if (host.display) SetFontBold(art->font, host.display->font_weight >= 700);
    return true;
}

void FreePanelArt(PanelArt* art) {
    CloseFont(art->font);
    *art = PanelArt{};
}

void DrawPanel(const PanelArt& art, Image* out) {
    *out = art.face;
    for (int32_t i = 0; i < host.icon_count && i < 2; ++i) {
        const HostIcon& icon = host.icons[i];
        if (icon.value != 1.0) continue;
        BlitTransparent(art.lamps[i], icon.element->header.x, icon.element->header.y, out);
    }
    const TextElement* d = host.display;
    if (d == nullptr || d->text == nullptr || art.font == nullptr) return;
    const int32_t bx = d->header.x, by = d->header.y;
    FillRect(out, bx, by, d->box_w, d->box_h, RgbFromColorref(d->background_colour));
    int32_t tw = 0, th = 0;
    TextSize(art.font, d->text, &tw, &th);
    PaintText(art.font, d->text, RgbFromColorref(d->text_colour), bx + (d->box_w - tw) / 2,
             by + (d->box_h - th) / 2, bx, by, d->box_w, d->box_h, out);
}

void ScaleImage(const Image& in, int32_t factor, Image* out) {
    ImageResize(out, in.w * factor, in.h * factor, 0);
    for (int32_t y = 0; y < out->h; ++y)
        for (int32_t x = 0; x < out->w; ++x) out->px[size_t(y) * out->w + x] = ImageAt(in, x / factor, y / factor);
}

void DrawTrack(const std::vector<TrackPoint>& track, double start_heading, double end_heading,
               const PanelArt* art, Image* out) {
    const int32_t size = kTrackPictureSize, margin = 48;
    ImageResize(out, size, size, kBackground);
    double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
    for (const TrackPoint& p : track) {
        min_x = std::min(min_x, p.x); max_x = std::max(max_x, p.x);
        min_y = std::min(min_y, p.y); max_y = std::max(max_y, p.y);
    }
    const double extent = std::max({max_x - min_x, max_y - min_y, 20.0});
    const double scale = (size - 2 * margin) / extent;   // pixels per metre
    const double cx = (min_x + max_x) / 2, cy = (min_y + max_y) / 2;
    auto sx = [&](double x) { return size / 2.0 + (x - cx) * scale; };
    auto sy = [&](double y) { return size / 2.0 - (y - cy) * scale; };

    // A 5 m grid through the start point.
    const double grid = 5.0;
    for (double g = std::floor((cx - size / scale) / grid) * grid; g <= cx + size / scale; g += grid)
        Line(out, sx(g), 0, sx(g), size, 1, std::fabs(g) < 1e-9 ? kAxis : kGrid);
    for (double g = std::floor((cy - size / scale) / grid) * grid; g <= cy + size / scale; g += grid)
        Line(out, 0, sy(g), size, sy(g), 1, std::fabs(g) < 1e-9 ? kAxis : kGrid);

    for (size_t i = 1; i < track.size(); ++i)
        Line(out, sx(track[i - 1].x), sy(track[i - 1].y), sx(track[i].x), sy(track[i].y), 3, kPath);

    // The nose: a short stroke from the aircraft's point along its heading.
    auto nose = [&](const TrackPoint& p, double heading, uint32_t colour) {
        const double rad = heading * 3.14159265358979323846 / 180.0, len = 2.5 * scale;
        Disc(out, sx(p.x), sy(p.y), 6, colour);
        Line(out, sx(p.x), sy(p.y), sx(p.x) + std::sin(rad) * len, sy(p.y) - std::cos(rad) * len, 3, colour);
    };
    const TrackPoint start = track.empty() ? TrackPoint{0, 0} : track.front();
    const TrackPoint end = track.empty() ? TrackPoint{0, 0} : track.back();
    nose(start, start_heading, kStart);
    nose(end, end_heading, kEnd);

    // North arrow.
    Line(out, size - 24, 44, size - 24, 14, 2, kText);
    Line(out, size - 24, 14, size - 30, 22, 2, kText);
    Line(out, size - 24, 14, size - 18, 22, 2, kText);
    if (art && art->font) {
        PaintText(art->font, "N", kText, size - 29, 46, 0, 0, size, size, out);
        PaintText(art->font, "grid 5 m", kText, 8, size - 20, 0, 0, size, size, out);
        PaintText(art->font, "start", kStart, int32_t(sx(start.x)) + 10, int32_t(sy(start.y)) + 4, 0, 0, size, size, out);
        PaintText(art->font, "end", kEnd, int32_t(sx(end.x)) + 10, int32_t(sy(end.y)) + 4, 0, 0, size, size, out);
    }
}
