// image.h - the pictures panel-host draws, in memory: pixels 0x00RRGGBB,
// rows top-down. Drawn by hand (panel_draw.cpp), written as PNG files by
// the platform (png_files.h).
#pragma once

#include <cstdint>
#include <vector>

struct Image {
    int32_t w = 0, h = 0;
    std::vector<uint32_t> px;
};

inline void ImageResize(Image* image, int32_t w, int32_t h, uint32_t fill) {
    image->w = w;
    image->h = h;
    image->px.assign(size_t(w) * size_t(h), fill);
}
inline uint32_t ImageAt(const Image& image, int32_t x, int32_t y) { return image.px[size_t(y) * image.w + x]; }
inline void ImageSet(Image* image, int32_t x, int32_t y, uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < image->w && y < image->h) image->px[size_t(y) * image->w + x] = rgb;
}

// A Windows colour value (0x00BBGGRR) as 0x00RRGGBB.
inline uint32_t RgbFromColorref(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
