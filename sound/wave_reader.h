// wave_reader.h - finds a clip's samples inside a RIFF WAVE image.
//
// The walk hands back references into the image itself (the module's
// read-only resource memory): nothing is copied or allocated. Any of the
// three outs may be null, meaning "not requested".
#pragma once

#include <cstdint>

// Walks the WAVE image of `image_size` bytes. Returns 1 once every requested
// result is found, else 0. A chunk whose header or body would reach past the
// RIFF end or past the image makes the walk fail.
int32_t ParseWaveResource(const uint8_t* image, uint32_t image_size, const uint8_t** format,
                          const uint8_t** data, uint32_t* data_size);

// Looks up the "WAV" resource `name` in `module` and walks it. The outs are
// left untouched when the resource is missing.
int32_t FindWaveResource(void* module, const char* name, const uint8_t** format,
                         const uint8_t** data, uint32_t* data_size);
