// clip.cpp - playing and releasing clips.
//
// Playing rewinds the clip's one buffer and starts it once: a clip that is
// still sounding restarts instead of layering over itself, while different
// clips sound together in the device's mix.
#include "sound/clip.h"

#include "sound/sound_device.h"

constinit SoundClip PB1 = nullptr;
constinit SoundClip PB2 = nullptr;
constinit SoundClip PB3 = nullptr;
constinit SoundClip PB4 = nullptr;
constinit SoundClip CLICK = nullptr;
constinit SoundClip TUG = nullptr;

SoundClip* const kClipHandles[kClipCount] = {&PB1, &PB2, &PB3, &PB4, &CLICK, &TUG};

const char* NameOfClip(const void* buffer) {
    if (buffer == nullptr) return nullptr;
    for (int32_t i = 0; i < kClipCount; ++i)
        if (*kClipHandles[i] == buffer) return kClipNames[i];
    return nullptr;
}

int32_t PlayClip(SoundClip clip, uint32_t flags) {
    if (clip == nullptr) return 0;
    kSoundDevice.SetCurrentPosition(clip, 0);
    return kSoundDevice.Play(clip, 0, 0, flags) == 0 ? 1 : 0;
}

void ReleaseClip(SoundClip clip) {
    if (clip != nullptr) kSoundDevice.ReleaseBuffer(clip);
}
