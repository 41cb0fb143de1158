// module_extras.cpp - the module's extras for its host (host/module_extras.h),
// over the optional entries of the sound device this build links.
//
// A device fills only the entries it can serve; for the others this file
// stands in: no clip reports, no loopback (the default device is all there
// is), a silent mix, no objects counted. Clip names are known here, above
// the device's seam: the device reports the buffer it started, this file
// names it.
#include "host/module_extras.h"

#include <cstring>

#include "sound/clip.h"
#include "sound/sound_device.h"

namespace {

VornakClipObserver clip_observer = nullptr;
void* observer_context = nullptr;

void Started(const void* buffer) {
    if (clip_observer == nullptr) return;
    const char* name = NameOfClip(buffer);
    clip_observer(name ? name : "?", observer_context);
}

}  // namespace

void vornak_set_clip_observer(VornakClipObserver observer, void* context) {
    clip_observer = observer;
    observer_context = context;
    if (kSoundDevice.ReportStarts) kSoundDevice.ReportStarts(observer ? Started : nullptr);
}

int32_t vornak_audio_loopback(uint32_t rate) {
    if (kSoundDevice.Loopback) return kSoundDevice.Loopback(rate);
    return rate == 0 ? 1 : 0;
}

uint32_t vornak_audio_render(int16_t* out, uint32_t frames) {
    if (kSoundDevice.Render) return kSoundDevice.Render(out, frames);
    if (out != nullptr) std::memset(out, 0, sizeof(int16_t) * kVornakLoopbackChannels * frames);
    return 0;
}

void vornak_audio_counts(VornakAudioCounts* counts) {
    if (counts == nullptr) return;
    *counts = VornakAudioCounts{};
    if (kSoundDevice.Counts) kSoundDevice.Counts(counts);
}
