// draw_gdi.cpp - text and PNG files for panel-host on Windows (fonts.h,
// png_files.h): GDI draws the text into a bitmap of its own, whose pixels
// are copied into the picture; zlib compresses the PNG's pixels.
//
// Needs: GDI32 as Windows 98 has it (ANSI calls), zlib (linked in).
// Provides:
//   [x] fonts by face name, the system's nearest match (a fixed-pitch one
//       for the display's "Courier New"), bold or not
//   [x] unsmoothed text (NONANTIALIASED_QUALITY), clipped to a box
//   [x] PNG writing: 8-bit RGB, no filter, one zlib stream
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "programs/panel-host/fonts.h"
#include "programs/panel-host/png_files.h"

struct Font {
    HFONT   handle;
    char    family[LF_FACESIZE];
    int32_t pixels;
    bool    fixed;
    int32_t height;
};

namespace {

HDC Dc() {
    static HDC dc = CreateCompatibleDC(nullptr);
    return dc;
}

HFONT Make(const Font& f, bool bold) {
    return CreateFontA(-f.pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                       DWORD(f.fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS), f.family);
}

Font* Open(const char* family, int32_t pixels, bool fixed, bool bold, std::string* problem) {
    Font* f = new Font{};
    lstrcpynA(f->family, family, LF_FACESIZE);
    f->pixels = pixels;
    f->fixed = fixed;
    f->handle = Make(*f, bold);
    if (f->handle == nullptr) {
        *problem = std::string("no font found for \"") + family + "\"";
        delete f;
        return nullptr;
    }
    SelectObject(Dc(), f->handle);
    TEXTMETRICA m;
    GetTextMetricsA(Dc(), &m);
    f->height = m.tmAscent + m.tmDescent;
    return f;
}

void PutBe32(std::vector<uint8_t>* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(v >> shift));
}

void Chunk(std::vector<uint8_t>* png, const char* type, const std::vector<uint8_t>& body) {
    PutBe32(png, uint32_t(body.size()));
    const size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), body.begin(), body.end());
    PutBe32(png, uint32_t(crc32(0, png->data() + start, uInt(png->size() - start))));
}

}  // namespace

Font* OpenFont(const char* family, int32_t pixels, std::string* problem) {
    return Open(family, pixels, true, false, problem);
}

Font* OpenLabelFont(int32_t pixels, std::string* problem) { return Open("Arial", pixels, false, true, problem); }

void SetFontBold(Font* font, bool bold) {
    if (font == nullptr) return;
    HFONT made = Make(*font, bold);
    if (made == nullptr) return;
    SelectObject(Dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(font->handle);
    font->handle = made;
}

void CloseFont(Font* font) {
    if (font == nullptr) return;
    SelectObject(Dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(font->handle);
    delete font;
}

void TextSize(Font* font, const char* text, int32_t* w, int32_t* h) {
    *w = *h = 0;
    if (font == nullptr || text == nullptr || text[0] == '\0') return;
    SelectObject(Dc(), font->handle);
    SIZE size;
    if (!GetTextExtentPoint32A(Dc(), text, lstrlenA(text), &size)) return;
    *w = size.cx;
    *h = size.cy;
}

int32_t FontHeight(Font* font) { return font ? font->height : 0; }

void PaintText(Font* font, const char* text, uint32_t rgb, int32_t x, int32_t y, int32_t box_x, int32_t box_y,
              int32_t box_w, int32_t box_h, Image* dst) {
    int32_t w, h;
    TextSize(font, text, &w, &h);
    if (w <= 0 || h <= 0) return;
    // The glyphs as drawn, unsmoothed, can reach past the extent measured
    // for the text (a long line by several pixels): room to spare.
    w += w / 8 + h;
    // White text on black in a bitmap of its own; every lit pixel is text.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;   // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(Dc(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) return;
    HGDIOBJ old = SelectObject(Dc(), bitmap);
    SelectObject(Dc(), font->handle);
    RECT all = {0, 0, w, h};
    FillRect(Dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(Dc(), TRANSPARENT);
    SetTextColor(Dc(), RGB(255, 255, 255));
    TextOutA(Dc(), 0, 0, text, lstrlenA(text));
    // GetDIBits hands the pixels over once GDI has drawn them all (Windows
    // 98 has no GdiFlush).
    SelectObject(Dc(), old);
    std::vector<uint32_t> px(size_t(w) * size_t(h), 0);
    GetDIBits(Dc(), bitmap, 0, UINT(h), px.data(), &info, DIB_RGB_COLORS);
    for (int32_t sy = 0; sy < h; ++sy)
        for (int32_t sx = 0; sx < w; ++sx) {
            if ((px[size_t(sy) * w + sx] & 0xFFFFFFu) == 0) continue;
            const int32_t tx = x + sx, ty = y + sy;
            if (tx < box_x || ty < box_y || tx >= box_x + box_w || ty >= box_y + box_h) continue;
            ImageSet(dst, tx, ty, rgb);
        }
    DeleteObject(bitmap);
}

bool WritePng(const std::string& path, const Image& image, std::string* problem) {
    // Each row: filter 0, then red, green, blue.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(image.h) * (size_t(image.w) * 3 + 1));
    for (int32_t y = 0; y < image.h; ++y) {
        raw.push_back(0);
        for (int32_t x = 0; x < image.w; ++x) {
            const uint32_t p = ImageAt(image, x, y);
            raw.push_back(uint8_t(p >> 16));
            raw.push_back(uint8_t(p >> 8));
            raw.push_back(uint8_t(p));
        }
    }
    uLongf packed_size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), uLong(raw.size()), Z_BEST_SPEED) != Z_OK) {
        *problem = "cannot write " + path + ": the picture could not be compressed";
        return false;
    }
    packed.resize(packed_size);
    std::vector<uint8_t> header;
    PutBe32(&header, uint32_t(image.w));
    PutBe32(&header, uint32_t(image.h));
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB, deflate, no filter choice, no interlace
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(&png, "IHDR", header);
    Chunk(&png, "IDAT", packed);
    Chunk(&png, "IEND", {});
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(png.data(), 1, png.size(), f) == png.size();
    if (f != nullptr) ok = std::fclose(f) == 0 && ok;
    if (!ok) *problem = "cannot write " + path;
    return ok;
}
