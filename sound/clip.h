// clip.h - playable sound clips and the six the gauge keeps.
//
// A SoundClip is one sound-device buffer holding a whole clip, or null. Every
// operation accepts null and does nothing with it, so a clip that failed to
// load is simply silent.
#pragma once

#include <cstdint>

#include "host/gauge_names.h"

typedef void* SoundClip;

// The gauge's clips: null at load, set by GaugeInitialize, released by GaugeKill.
extern SoundClip PB1, PB2, PB3, PB4, CLICK, TUG;
// Each of them, in the order of kClipNames.
extern SoundClip* const kClipHandles[kClipCount];

// The name of the clip whose handle `buffer` is ("PB1"), or null when it is
// none of the six or null.
const char* NameOfClip(const void* buffer);

// Rewinds the clip and plays it once. 1 when the device answered exactly 0,
// else 0 (also for a null clip or a success code other than 0).
int32_t PlayClip(SoundClip clip, uint32_t flags);

void ReleaseClip(SoundClip clip);

// Loads the WAVE resource `name` of the module loaded from `module_path` into
// a filled clip on the module's sound device, or null.
SoundClip LoadWaveClip(void* window, const char* module_path, const char* name);

// Copies `size` bytes of samples into the buffer through one lock. 1 or 0.
int32_t FillClipBuffer(void* buffer, const uint8_t* data, uint32_t size);

// The module's one sound device: created by the first load of an initialise
// cycle, released by GaugeKill after the clips. Null when none is open.
extern void* sound_device;
void ReleaseSoundDevice();
