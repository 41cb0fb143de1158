// image_files.cpp - PNG through SDL2_image, WAV by hand (SDL writes none).
#include "programs/panel-host/image_files.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void PutLe(FILE* f, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(int((v >> (8 * i)) & 0xFF), f);
}

}  // namespace

void ImageResize(Image* image, int32_t w, int32_t h, uint32_t fill) {
    image->w = w;
    image->h = h;
    image->px.assign(size_t(w) * size_t(h), fill);
}

bool WritePng(const std::string& path, const Image& image, std::string* problem) {
    // The pixels as SDL sees them: 32 bits, 0x00RRGGBB, no alpha.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(image.px.data()), image.w, image.h, 32, image.w * 4, SDL_PIXELFORMAT_RGB888);
    if (surface == nullptr) {
        *problem = "cannot write " + path + ": " + SDL_GetError();
        return false;
    }
    const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    if (!ok) *problem = "cannot write " + path + ": " + IMG_GetError();
    return ok;
}

bool ReadPng(const std::string& path, Image* image) {
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (loaded == nullptr) return false;
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    if (rgb == nullptr) return false;
    ImageResize(image, rgb->w, rgb->h, 0);
    SDL_LockSurface(rgb);
    for (int32_t y = 0; y < rgb->h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(rgb->pixels) + size_t(y) * rgb->pitch);
        for (int32_t x = 0; x < rgb->w; ++x) image->px[size_t(y) * image->w + x] = row[x] & 0xFFFFFFu;
    }
    SDL_UnlockSurface(rgb);
    SDL_FreeSurface(rgb);
    return true;
}

bool WavOpen(WavWriter* wav, const std::string& path, uint32_t rate, std::string* problem) {
    wav->file = std::fopen(path.c_str(), "wb");
    if (wav->file == nullptr) {
        *problem = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    wav->rate = rate;
    wav->frames = 0;
    // The sizes are written again by WavClose once they are known.
    std::fwrite("RIFF\0\0\0\0WAVEfmt ", 1, 16, wav->file);
    PutLe(wav->file, 16, 4);
    PutLe(wav->file, 1, 2);            // PCM
    PutLe(wav->file, 2, 2);            // stereo
    PutLe(wav->file, rate, 4);
    PutLe(wav->file, rate * 4, 4);
    PutLe(wav->file, 4, 2);
    PutLe(wav->file, 16, 2);
    std::fwrite("data\0\0\0\0", 1, 8, wav->file);
    return !std::ferror(wav->file);
}

bool WavAppend(WavWriter* wav, const int16_t* samples, uint32_t frames) {
    if (wav->file == nullptr) return false;
    for (uint32_t i = 0; i < frames * 2; ++i) PutLe(wav->file, static_cast<uint16_t>(samples[i]), 2);
    wav->frames += frames;
    return !std::ferror(wav->file);
}

bool WavClose(WavWriter* wav) {
    if (wav->file == nullptr) return false;
    uint64_t data = wav->frames * 4;
    if (data > 0xFFFFFFFFull - 36) data = 0xFFFFFFFFull - 36;
    bool ok = !std::ferror(wav->file);
    ok = std::fseek(wav->file, 4, SEEK_SET) == 0 && ok;
    PutLe(wav->file, static_cast<uint32_t>(36 + data), 4);
    ok = std::fseek(wav->file, 40, SEEK_SET) == 0 && ok;
    PutLe(wav->file, static_cast<uint32_t>(data), 4);
    ok = !std::ferror(wav->file) && ok;
    ok = std::fclose(wav->file) == 0 && ok;
    wav->file = nullptr;
    return ok;
}
