// wave_reader.cpp - the RIFF chunk walk behind every clip, and the reading
// of its stored format.
//
// A WAVE image is "RIFF", a size, "WAVE", then chunks of id, length and
// body, each padded to an even length. The walk takes the first fmt chunk
// (one shorter than 14 bytes fails it) and the first data chunk, even an
// empty one, and stops at the chunk that completes what the caller asked
// for; but when the size is asked for, an empty data chunk ahead of the fmt
// chunk gives way to a later data chunk. Offsets are kept in 64 bits, so no
// stored length can wrap them past a bound.
#include "sound/wave_reader.h"

#include <cstring>

namespace {

const uint64_t kFirstChunk     = 12;
const uint64_t kChunkHeader    = 8;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IdIs(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

int32_t ParseWaveResource(const uint8_t* image, uint32_t image_size, const uint8_t** format,
                          const uint8_t** data, uint32_t* data_size) {
    if (format) *format = nullptr;
    if (data) *data = nullptr;
    if (data_size) *data_size = 0;

    if (image == nullptr || image_size < kFirstChunk) return 0;
    if (!IdIs(image, "RIFF") || !IdIs(image + 8, "WAVE")) return 0;

    const uint64_t end = 8 + static_cast<uint64_t>(Le32(image + 4));
    // Nothing past the RIFF data nor past the stored image is ever read.
    const uint64_t limit = end < image_size ? end : image_size;
    uint64_t pos = kFirstChunk;
    if (pos >= end) return 0;

    while (pos < end) {
        if (pos + kChunkHeader > limit) return 0;
        const uint8_t* chunk = image + pos;
        const uint32_t length = Le32(chunk + 4);
        const uint8_t* body = chunk + kChunkHeader;
        if (pos + kChunkHeader + length > limit) return 0;

        if (IdIs(chunk, "fmt ")) {
            if (format && *format == nullptr) {
                if (length < kStoredFormatBytes) return 0;
                *format = body;
                if ((!data || *data != nullptr) && (!data_size || *data_size != 0)) return 1;
            }
        } else if (IdIs(chunk, "data")) {
            if ((data && *data == nullptr) || (data_size && *data_size == 0)) {
                if (data) *data = body;
                if (data_size) *data_size = length;
                if (!format || *format != nullptr) return 1;
            }
        }
        pos += kChunkHeader + length + (length & 1u);
    }
    return 0;
}

StoredFormat ReadStoredFormat(const void* format) {
    const uint8_t* p = static_cast<const uint8_t*>(format);
    StoredFormat f;
    f.tag = static_cast<uint16_t>(p[0] | p[1] << 8);
    f.channels = static_cast<uint16_t>(p[2] | p[3] << 8);
    f.rate = static_cast<uint32_t>(p[4] | p[5] << 8 | p[6] << 16) | static_cast<uint32_t>(p[7]) << 24;
    f.bytes_per_second =
        static_cast<uint32_t>(p[8] | p[9] << 8 | p[10] << 16) | static_cast<uint32_t>(p[11]) << 24;
    f.block_align = static_cast<uint16_t>(p[12] | p[13] << 8);
    return f;
}
