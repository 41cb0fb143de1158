// odd_module.cpp - a module whose clips are all wrong in some way.
//
// Loaded by the clip tests with dlopen, so the gauge finds these resources
// through the module path exactly as it finds its own.
#include <cstdint>

#include "resources/embedded.h"

namespace {

#define LE32(v) uint8_t((v) & 0xFF), uint8_t(((v) >> 8) & 0xFF), uint8_t(((v) >> 16) & 0xFF), uint8_t(uint32_t(v) >> 24)
#define FMT_8BIT_MONO(rate) 'f', 'm', 't', ' ', LE32(16), 1, 0, 1, 0, LE32(rate), LE32(rate), 1, 0, 8, 0

// A well-formed image with an empty data chunk.
const uint8_t kEmpty[] = {'R', 'I', 'F', 'F', LE32(36), 'W', 'A', 'V', 'E', FMT_8BIT_MONO(11025),
                          'd', 'a', 't', 'a', LE32(0)};

// Four samples, well formed: the control.
const uint8_t kGood[] = {'R', 'I', 'F', 'F', LE32(40), 'W', 'A', 'V', 'E', FMT_8BIT_MONO(8000),
                         'd', 'a', 't', 'a', LE32(4), 0x80, 0xFF, 0x00, 0x80};

// The data chunk claims far more samples than the image stores.
const uint8_t kLiar[] = {'R', 'I', 'F', 'F', LE32(40), 'W', 'A', 'V', 'E', FMT_8BIT_MONO(8000),
                         'd', 'a', 't', 'a', LE32(0x7FFFFFF0), 0x80, 0x80, 0x80, 0x80};

const EmbeddedResource kEntries[] = {
    {"WAV", "EMPTY", 0, kEmpty, sizeof kEmpty},
    {"WAV", "GOOD", 0, kGood, sizeof kGood},
    {"WAV", "LIAR", 0, kLiar, sizeof kLiar},
};

}  // namespace

extern "C" const EmbeddedDirectory vornak_resource_directory = {
    kEmbeddedMagic, sizeof kEntries / sizeof kEntries[0], kEntries};
