// wave_walk_fuzz.cpp - libFuzzer target for the RIFF WAVE walk.
//
// Input: one selector byte, then the image. Selector bits 0-2 say which of
// the three results (format, data, data size) are requested; bit 3 sends the
// image through FindWaveResource (the module-resource lookup is stubbed to
// hand back the image) instead of ParseWaveResource.
//
// Besides ASan and UBSan watching every read, each run checks what a caller
// relies on:
//   - the answer is 0 or 1, and a 1 sets every requested reference (a data
//     size of 0 is a valid answer: an empty data chunk after the format);
//   - the format body has its 14 bytes and the samples their whole length
//     inside the image (both are read here, so ASan checks them too);
//   - asking for fewer results never changes the ones found (see below for
//     the one way the walks may part).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "sound/wave_reader.h"

namespace {

const uint8_t* resource_image = nullptr;
uint32_t resource_size = 0;

// abort() makes libFuzzer keep the input as a crash file.
[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "wave walk finding: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) Finding(what);
}

struct Walk {
    int32_t result;
    const uint8_t* format;
    const uint8_t* data;
    uint32_t data_size;
};

Walk Run(bool via_resource, const uint8_t* image, uint32_t size, unsigned mask) {
    // Sentinels: a walk must clear or set every requested result.
    Walk w = {-1, reinterpret_cast<const uint8_t*>(1), reinterpret_cast<const uint8_t*>(1), 0xDEADBEEF};
    const uint8_t** format = (mask & 1) ? &w.format : nullptr;
    const uint8_t** data = (mask & 2) ? &w.data : nullptr;
    uint32_t* data_size = (mask & 4) ? &w.data_size : nullptr;
    if (via_resource) {
        resource_image = image;
        resource_size = size;
        w.result = FindWaveResource(reinterpret_cast<void*>(1), "PB1", format, data, data_size);
    } else {
        w.result = ParseWaveResource(image, size, format, data, data_size);
    }
    if (!(mask & 1)) w.format = nullptr;
    if (!(mask & 2)) w.data = nullptr;
    if (!(mask & 4)) w.data_size = 0;
    return w;
}

bool Inside(const uint8_t* image, uint32_t size, const uint8_t* p, uint64_t bytes) {
    return p >= image + 20 && static_cast<uint64_t>(p - image) + bytes <= size;
}

volatile uint32_t sink;

void CheckWalk(const Walk& w, const uint8_t* image, uint32_t size, unsigned mask) {
    Check(w.result == 0 || w.result == 1, "answer is neither 0 nor 1");
    Check(!(mask & 1) || w.format == nullptr || Inside(image, size, w.format, 14),
          "format body outside the image");
    Check(!(mask & 2) || w.data == nullptr || Inside(image, size, w.data, 0),
          "samples start outside the image");
    if (w.result == 1) {
        Check(!(mask & 1) || w.format != nullptr, "success without the format");
        Check(!(mask & 2) || w.data != nullptr, "success without the samples");
    }
    uint32_t sum = 0;
    if (w.format)
        for (int i = 0; i < 14; ++i) sum += w.format[i];
    if (w.data && (mask & 4)) {
        Check(Inside(image, size, w.data, w.data_size), "samples run past the image");
        for (uint32_t i = 0; i < w.data_size; ++i) sum += w.data[i];
    }
    sink = sum;
}

}  // namespace

const uint8_t* FindModuleResource(void* module, const char* type, const char* name,
                                  uint32_t* size) {
    if (module == nullptr || std::strcmp(type, "WAV") != 0 || name == nullptr) return nullptr;
    *size = resource_size;
    return resource_image;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t input_size) {
    if (input_size < 1 || input_size > 0xFFFFFFFFu) return 0;
    const unsigned mask = input[0] & 7u;
    const bool via_resource = (input[0] & 8u) != 0;
    // The image gets its own allocation of exactly its size, so a read one
    // byte past its end is caught even where the input buffer continues.
    const uint32_t size = static_cast<uint32_t>(input_size - 1);
    uint8_t* image = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(image, input + 1, size);

    const Walk asked = Run(via_resource, image, size, mask);
    CheckWalk(asked, image, size, mask);

    // Partial requests against the full one. A data chunk of length 0 ends
    // a walk that wants the samples but not the format, while a walk for
    // all three goes past it to a later one; otherwise the walks agree.
    const Walk all = Run(false, image, size, 7);
    const Walk fmt = Run(false, image, size, 1);
    const Walk dat = Run(false, image, size, 6);
    CheckWalk(all, image, size, 7);
    CheckWalk(fmt, image, size, 1);
    CheckWalk(dat, image, size, 6);
    if (all.result == 1) {
        Check(fmt.result == 1 && all.format == fmt.format, "a different format when asked alone");
        Check(dat.result == 1, "no samples when asked alone");
        if (dat.data_size != 0)
            Check(all.data == dat.data && all.data_size == dat.data_size,
                  "different samples when asked alone");
    } else {
        Check(!(fmt.result == 1 && dat.result == 1 && dat.data_size != 0),
              "the full walk fails where the partial ones succeed");
    }
    if (asked.result == 1 && (mask & 1))
        Check(asked.format == fmt.format, "the format depends on the request");
    if (!(mask & 1) && (mask & 2)) Check(asked.data == dat.data, "the samples depend on the request");
    if (!(mask & 1) && (mask & 4))
        Check(asked.data_size == dat.data_size, "the size depends on the request");
    std::free(image);
    return 0;
}
