// sound_device.h - the sound-device seam.
//
// The clip loader and clip playback reach the platform's sound service only
// through this one table of operations, shaped after the DirectSound calls
// they make. Each platform provides one table in its own file beside this
// one (device_directsound.cpp, device_openal.cpp, device_recording.cpp), and
// a build links exactly one of them; nothing above the seam knows which.
//
// Beyond DirectSound's calls a device may offer what the module's host can
// use (host/module_extras.h): its live objects, a loopback mix, and which
// buffer it started. These entries are optional: a device leaves null what
// it cannot serve, and host/module_extras.cpp answers for it harmlessly.
//
// Results follow DirectSound: a negative value is a failure, 0 is plain
// success, and a positive value is success with a remark. The loader and
// playback examine three: buffer creation and lock (negative fails) and play
// (exactly 0 means started); a device's other answers go unread.
#pragma once

#include <cstdint>

#include "host/module_extras.h"

// The buffer description, laid out as DirectSound's: on a 32-bit target this
// is the 20-byte form; pointer-width elsewhere.
#pragma pack(push, 4)
struct ClipBufferDesc {
    uint32_t    size;           // sizeof(ClipBufferDesc)
    uint32_t    flags;          // kClipBufferFlags
    uint32_t    buffer_bytes;   // the clip's data size
    uint32_t    reserved;
    const void* format;         // the stored fmt chunk body, in place
};
#pragma pack(pop)

// The failure a device answers when no more particular one fits:
// DSERR_GENERIC, which is E_FAIL.
const int32_t kGenericError = static_cast<int32_t>(0x80004005u);

enum : uint32_t {
    // static buffer + frequency, pan and volume controls + accurate position
    kClipBufferFlags      = 0x000100E2,
    kCooperativeNormal    = 1,   // DSSCL_NORMAL
    kSpeakerStereo        = 4,   // DSSPEAKER_STEREO
};

// The devices and buffers a device made and released since the module was
// loaded, for the devices that keep that tally (DirectSound's and the
// recording one); after a kill all pairs must match.
struct SoundObjectTally {
    uint32_t devices_created, devices_released;
    uint32_t buffers_created, buffers_released;
};

// The counts a tally gives: what is alive, and the tally itself.
inline void CountsFromTally(const SoundObjectTally& t, VornakAudioCounts* counts) {
    counts->devices = t.devices_created - t.devices_released;
    counts->buffers = t.buffers_created - t.buffers_released;
    counts->devices_made = t.devices_created;
    counts->devices_released = t.devices_released;
    counts->buffers_made = t.buffers_created;
    counts->buffers_released = t.buffers_released;
}

struct SoundDevice {
    const char* name;
    // DirectSoundCreate with the default device: stores a device or null.
    int32_t  (*Create)(void** device);
    int32_t  (*SetCooperativeLevel)(void* device, void* window, uint32_t level);
    int32_t  (*CreateBuffer)(void* device, const ClipBufferDesc* desc, void** buffer);
    int32_t  (*SetSpeakerConfig)(void* device, uint32_t config);
    uint32_t (*ReleaseDevice)(void* device);

    int32_t  (*Lock)(void* buffer, uint32_t offset, uint32_t bytes, void** region1,
                     uint32_t* length1, void** region2, uint32_t* length2, uint32_t flags);
    int32_t  (*Unlock)(void* buffer, void* region1, uint32_t length1, void* region2,
                       uint32_t length2);
    int32_t  (*SetCurrentPosition)(void* buffer, uint32_t position);
    int32_t  (*Play)(void* buffer, uint32_t reserved, uint32_t priority, uint32_t flags);
    uint32_t (*ReleaseBuffer)(void* buffer);

    // Optional (null where the device has none).
    // The device's live objects, into a record the caller cleared.
    void     (*Counts)(VornakAudioCounts* counts);
    // vornak_audio_loopback and vornak_audio_render, as host/module_extras.h
    // describes them.
    int32_t  (*Loopback)(uint32_t rate);
    uint32_t (*Render)(int16_t* out, uint32_t frames);
    // From now on `started` (null: nobody) is told of every buffer that Play
    // starts.
    void     (*ReportStarts)(void (*started)(const void* buffer));
};

// The device this build links.
extern const SoundDevice kSoundDevice;

// The OpenAL device's clock, in milliseconds from any fixed start: it asks for
// a default device that failed to open again only two seconds later. The
// steady clock unless a test sets its own.
extern uint64_t (*vornak_openal_clock)();
