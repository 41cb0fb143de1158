// module_clips.cpp - what a loaded module's clips hold, read from its
// resources by the host itself: how many bytes of sound each has and how
// fast they play, so that a host can tell the clips apart by their buffers
// and know how long each call is heard. The clip is walked by the gauge's
// own walk, so the host finds exactly the sound the gauge plays.
#include "module_file/module_loader.h"
#include "sound/wave_reader.h"

bool ModuleClipData(const LoadedModule& module, const char* clip, uint32_t* data_bytes, uint32_t* byte_rate) {
    *data_bytes = 0;
    *byte_rate = 0;
    const EmbeddedResource* r = ModuleResource(module, "WAV", clip, 0);
    const uint8_t* format = nullptr;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (r == nullptr || !ParseWaveResource(r->data, r->size, &format, &data, &size)) return false;
    *data_bytes = size;
    *byte_rate = ReadStoredFormat(format).bytes_per_second;
    return true;
}
