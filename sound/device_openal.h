// device_openal.h - what the Linux module exports beside its records, for
// the host that loaded it.
//
// The module plays its clips on its own OpenAL device; a host sees nothing
// of that device except through these functions, which it finds with dlsym
// (each is optional to the host: an older module simply lacks them).
//
//   vornak_set_clip_observer   told the name of every clip the device starts
//   vornak_audio_loopback      open the next device as a loopback device whose
//                              mix the host pulls (no sound card needed)
//   vornak_audio_render        pull the next frames of that mix
//   vornak_audio_counts        live OpenAL objects, for leak tests
#pragma once

#include <cstdint>

typedef void (*VornakClipObserver)(const char* clip_name, void* context);

struct VornakAudioCounts {
    uint32_t devices;    // open ALC devices (0 or 1)
    uint32_t contexts;   // live ALC contexts (0 or 1)
    uint32_t buffers;    // live AL buffers
    uint32_t sources;    // live AL sources
};

// The rendered mix is 16-bit signed stereo, interleaved.
enum : uint32_t { kVornakLoopbackChannels = 2 };

#define VORNAK_AUDIO_EXPORT extern "C" __attribute__((visibility("default")))

// Null stops the reports. The observer is called on the host's thread from
// inside the gauge's tick or click handler; it must not call into the gauge.
VORNAK_AUDIO_EXPORT void vornak_set_clip_observer(VornakClipObserver observer, void* context);

// With a rate (8000 to 192000), the next device the module opens is a
// loopback device mixing at that rate; 0 goes back to the default device.
// A device already open keeps its kind until it closes. Returns 1 when the
// request can be honoured, 0 when the rate is out of range or this OpenAL
// has no loopback devices.
VORNAK_AUDIO_EXPORT int32_t vornak_audio_loopback(uint32_t rate);

// Mixes the next `frames` frames of the loopback device into `out`
// (frames x 2 samples). When no loopback device is open, writes silence.
// Returns the number of frames that came from a device.
VORNAK_AUDIO_EXPORT uint32_t vornak_audio_render(int16_t* out, uint32_t frames);

VORNAK_AUDIO_EXPORT void vornak_audio_counts(VornakAudioCounts* counts);

typedef void (*VornakSetClipObserverFn)(VornakClipObserver, void*);
typedef int32_t (*VornakAudioLoopbackFn)(uint32_t);
typedef uint32_t (*VornakAudioRenderFn)(int16_t*, uint32_t);
typedef void (*VornakAudioCountsFn)(VornakAudioCounts*);
