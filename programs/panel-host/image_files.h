// image_files.h - the pictures and recordings panel-host writes: images in
// memory and 16-bit stereo WAV files written as they grow. PNG files are
// the platform's (fonts.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Pixels are 0x00RRGGBB, rows top-down.
struct Image {
    int32_t w = 0, h = 0;
    std::vector<uint32_t> px;
};

void ImageResize(Image* image, int32_t w, int32_t h, uint32_t fill);
inline uint32_t ImageAt(const Image& image, int32_t x, int32_t y) { return image.px[size_t(y) * image.w + x]; }
inline void ImageSet(Image* image, int32_t x, int32_t y, uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < image->w && y < image->h) image->px[size_t(y) * image->w + x] = rgb;
}

// A Windows colour value (0x00BBGGRR) as 0x00RRGGBB.
inline uint32_t RgbFromColorref(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Reads a picture SDL2_image knows (PNG, and others) as RGB; alpha is
// dropped. False when it cannot. Linux only (draw_sdl.cpp), for the tests.
bool ReadPng(const std::string& path, Image* image);

struct WavWriter {
    FILE*    file = nullptr;
    uint32_t rate = 0;
    uint64_t frames = 0;
};

// 16-bit signed stereo at `rate`.
bool WavOpen(WavWriter* wav, const std::string& path, uint32_t rate, std::string* problem);
bool WavAppend(WavWriter* wav, const int16_t* samples, uint32_t frames);
// Writes the final sizes and closes. False if anything could not be written.
bool WavClose(WavWriter* wav);
