// module_extras.h - what a module built by this project offers a host beyond
// the simulator's two records (Linkage, ImportTable), the same on every
// system.
//
// The simulator knows nothing of these: a host of ours finds them by name
// (dlsym, GetProcAddress) when it loads the module, and each is optional to
// it, since a module may lack any of them (module_file/module_loader.h
// fills one ModuleExtras record with what it finds). host/module_extras.cpp
// implements them over the optional entries of the module's sound device
// (sound/sound_device.h), answering harmlessly where the device has none.
//
//   vornak_set_clip_observer   told the name of every clip the module starts
//   vornak_audio_loopback      open the next device as a loopback device whose
//                              mix the host pulls (no sound card needed)
//   vornak_audio_render        pull the next frames of that mix
//   vornak_audio_counts        the sound objects the module holds, for leak tests
//
// What each module exports: the Linux module all four (cmake/
// module_exports.map); the shipped Windows module none; the Windows test
// build that counts (VORNAK_EXPORT_SOUND_COUNTS) vornak_audio_counts.
#pragma once

#include <cstdint>

typedef void (*VornakClipObserver)(const char* clip_name, void* context);

// The sound objects of the module's device. Kinds a device does not have
// stay 0.
struct VornakAudioCounts {
    uint32_t devices;    // open devices (0 or 1)
    uint32_t contexts;   // live mixing contexts (OpenAL's; 0 or 1)
    uint32_t buffers;    // live clip buffers
    uint32_t sources;    // live sources (OpenAL's)
    // Made and released since the module was loaded, where the device keeps
    // that tally (DirectSound's and the recording device's); else all 0.
    uint32_t devices_made, devices_released;
    uint32_t buffers_made, buffers_released;
};

// The rendered mix is 16-bit signed stereo, interleaved.
enum : uint32_t { kVornakLoopbackChannels = 2 };

#if !defined(_WIN32)
#define VORNAK_EXTRA_EXPORT extern "C" __attribute__((visibility("default")))
#define VORNAK_COUNTS_EXPORT VORNAK_EXTRA_EXPORT
#elif defined(VORNAK_EXPORT_SOUND_COUNTS)
#define VORNAK_EXTRA_EXPORT extern "C"
#define VORNAK_COUNTS_EXPORT extern "C" __declspec(dllexport)
#else
#define VORNAK_EXTRA_EXPORT extern "C"
#define VORNAK_COUNTS_EXPORT extern "C"
#endif

// Null stops the reports. The observer is called on the host's thread from
// inside the gauge's tick or click handler; it must not call into the gauge.
VORNAK_EXTRA_EXPORT void vornak_set_clip_observer(VornakClipObserver observer, void* context);

// With a rate (8000 to 192000), the next device the module opens is a
// loopback device mixing at that rate; 0 goes back to the default device.
// A device already open keeps its kind until it closes. Returns 1 when the
// request can be honoured, 0 when the rate is out of range or the device
// has no loopback.
VORNAK_EXTRA_EXPORT int32_t vornak_audio_loopback(uint32_t rate);

// Mixes the next `frames` frames of the loopback device into `out`
// (frames x 2 samples). When no loopback device is open, writes silence.
// Returns the number of frames that came from a device.
VORNAK_EXTRA_EXPORT uint32_t vornak_audio_render(int16_t* out, uint32_t frames);

VORNAK_COUNTS_EXPORT void vornak_audio_counts(VornakAudioCounts* counts);

typedef void (*VornakSetClipObserverFn)(VornakClipObserver, void*);
typedef int32_t (*VornakAudioLoopbackFn)(uint32_t);
typedef uint32_t (*VornakAudioRenderFn)(int16_t*, uint32_t);
typedef void (*VornakAudioCountsFn)(VornakAudioCounts*);

// The extras a host found in a module it loaded; null where it has none.
struct ModuleExtras {
    VornakSetClipObserverFn set_clip_observer;
    VornakAudioLoopbackFn   audio_loopback;
    VornakAudioRenderFn     audio_render;
    VornakAudioCountsFn     audio_counts;
};
