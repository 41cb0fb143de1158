// module_clips.cpp - what a loaded module's clips hold, read from its
// resources by the host itself: how many bytes of sound each has and how
// fast they play, so that a host can tell the clips apart by their buffers
// and know how long each call is heard.
#include <cstring>

#include "hostsim/module_loader.h"

namespace {

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

bool ModuleClipData(const LoadedModule& module, const char* clip, uint32_t* data_bytes, uint32_t* byte_rate) {
    *data_bytes = 0;
    *byte_rate = 0;
    const EmbeddedResource* r = ModuleResource(module, "WAV", clip, 0);
    if (r == nullptr || r->size < 12) return false;
    for (uint32_t at = 12; at + 8 <= r->size;) {
        const uint32_t length = Le32(r->data + at + 4);
        const uint32_t room = r->size - at - 8;
        if (std::memcmp(r->data + at, "fmt ", 4) == 0 && length >= 16 && at + 20 <= r->size)
            *byte_rate = Le32(r->data + at + 16);
        if (std::memcmp(r->data + at, "data", 4) == 0) {
            *data_bytes = length < room ? length : room;
            return true;
        }
        if (length > room) break;
        at += 8 + length + (length & 1);
    }
    return false;
}
