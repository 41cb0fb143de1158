// device_directsound.h - what the DirectSound device counts.
//
// Every device and buffer the device obtains from DirectSound, and every
// release it makes. After a kill all pairs must match; a difference is a
// DirectSound object the gauge leaked.
#pragma once

#include <cstdint>

struct DirectSoundCounts {
    uint32_t devices_created, devices_released;
    uint32_t buffers_created, buffers_released;
};

extern DirectSoundCounts directsound_counts;

// Exported by the module only in the test build that the reload test loads
// (never in the shipped module, whose exports are the host's two records).
typedef const DirectSoundCounts* (*SoundDeviceCountsRoutine)(void);
