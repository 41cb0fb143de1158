// image_files.cpp - PNG through zlib, WAV by hand.
#include "hostsim/image_files.h"

#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(uint8_t(v >> 24));
    out->push_back(uint8_t(v >> 16));
    out->push_back(uint8_t(v >> 8));
    out->push_back(uint8_t(v));
}

void Chunk(std::vector<uint8_t>* out, const char* type, const std::vector<uint8_t>& body) {
    Put32(out, static_cast<uint32_t>(body.size()));
    size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), body.begin(), body.end());
    uLong crc = crc32(0L, out->data() + start, static_cast<uInt>(out->size() - start));
    Put32(out, static_cast<uint32_t>(crc));
}

uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

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
    std::vector<uint8_t> raw;
    raw.reserve(size_t(image.h) * (size_t(image.w) * 3 + 1));
    for (int32_t y = 0; y < image.h; ++y) {
        raw.push_back(0);   // no filter
        for (int32_t x = 0; x < image.w; ++x) {
            uint32_t p = ImageAt(image, x, y);
            raw.push_back(uint8_t(p >> 16));
            raw.push_back(uint8_t(p >> 8));
            raw.push_back(uint8_t(p));
        }
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        *problem = "cannot compress the picture for " + path;
        return false;
    }
    packed.resize(packed_size);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(&header, static_cast<uint32_t>(image.w));
    Put32(&header, static_cast<uint32_t>(image.h));
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8-bit RGB, deflate, no filter, no interlace
    Chunk(&png, "IHDR", header);
    Chunk(&png, "IDAT", packed);
    Chunk(&png, "IEND", {});

    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        *problem = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) *problem = "cannot write " + path;
    return ok;
}

bool ReadPng(const std::string& path, Image* image) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
    std::fclose(f);
    if (bytes.size() < 8 || std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return false;
    uint32_t w = 0, h = 0, channels = 0;
    std::vector<uint8_t> packed;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        uint32_t length = Get32(&bytes[at]);
        if (length > bytes.size() - at - 12) return false;
        const uint8_t* type = &bytes[at + 4];
        const uint8_t* body = &bytes[at + 8];
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            w = Get32(body);
            h = Get32(body + 4);
            if (body[8] != 8 || (body[9] != 2 && body[9] != 6) || body[12] != 0) return false;
            channels = body[9] == 2 ? 3 : 4;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.insert(packed.end(), body, body + length);
        }
        at += 12 + size_t(length);
    }
    if (w == 0 || h == 0 || w > 16384 || h > 16384 || channels == 0) return false;
    const size_t stride = size_t(w) * channels;
    std::vector<uint8_t> raw((stride + 1) * h);
    uLongf raw_size = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &raw_size, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
        raw_size != raw.size())
        return false;
    ImageResize(image, int32_t(w), int32_t(h), 0);
    std::vector<uint8_t> prior(stride, 0);
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = &raw[y * (stride + 1)];
        uint8_t filter = row[0];
        uint8_t* line = row + 1;
        for (size_t i = 0; i < stride; ++i) {
            int a = i >= channels ? line[i - channels] : 0;
            int b = prior[i];
            int c = i >= channels ? prior[i - channels] : 0;
            int add = 0;
            switch (filter) {
            case 0: break;
            case 1: add = a; break;
            case 2: add = b; break;
            case 3: add = (a + b) / 2; break;
            case 4: {
                int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                add = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                break;
            }
            default: return false;
            }
            line[i] = uint8_t(line[i] + add);
        }
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = line + size_t(x) * channels;
            ImageSet(image, int32_t(x), int32_t(y), uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
        std::memcpy(prior.data(), line, stride);
    }
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
