// wave_reader.h - finds a clip's samples inside a RIFF WAVE image, and reads
// its stored format.
//
// The walk hands back references into the image itself (the module's
// read-only resource memory): nothing is copied or allocated. Any of the
// three outs may be null, meaning "not requested". The walk and the format
// reader touch nothing but the bytes they are given (wave_reader.cpp), so a
// host that reads a module's clips links them too and finds what the gauge
// finds.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Walks the WAVE image of `image_size` bytes. Returns 1 once every requested
// result is found, else 0. A chunk whose header or body would reach past the
// RIFF end or past the image makes the walk fail.
int32_t ParseWaveResource(const uint8_t* image, uint32_t image_size, const uint8_t** format,
                          const uint8_t** data, uint32_t* data_size);

// Looks up the "WAV" resource `name` in `module` (platform.h) and walks it.
// The outs are left untouched when the resource is missing.
inline int32_t FindWaveResource(void* module, const char* name, const uint8_t** format,
                                const uint8_t** data, uint32_t* data_size) {
    uint32_t image_size = 0;
    const uint8_t* image = FindModuleResource(module, "WAV", name, &image_size);
    if (image == nullptr) return 0;
    return ParseWaveResource(image, image_size, format, data, data_size);
}

// The bytes of a stored format a device may read: the walk refuses a fmt
// body shorter than this.
const uint32_t kStoredFormatBytes = 14;

// The fields in those bytes. Bits per sample, which lies after them, is
// derived from the block alignment instead.
struct StoredFormat {
    uint16_t tag;
    uint16_t channels;
    uint32_t rate;
    uint32_t bytes_per_second;
    uint16_t block_align;
};
StoredFormat ReadStoredFormat(const void* format);
