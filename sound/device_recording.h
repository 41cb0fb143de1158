// device_recording.h - controls of the recording sound device.
//
// The recording device keeps every buffer in memory and remembers what was
// done to it, for tests and for gauge-replay. It behaves as the gauge relies
// on a device to behave (a lock over a whole buffer gives one region; play
// answers 0) and can be told to misbehave.
//
// A buffer's samples are what its unlocks committed: an unlock copies the
// lengths it is given from the regions the last lock handed out. Behind the
// samples lies a guard of kRecordingGuardBytes that a lock may hand out as
// over-long regions and that nothing may write.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/sound_device.h"

enum : uint32_t {
    kRecordingGuardBytes = 64,
    kRecordingGuardByte  = 0xA5,
};

struct RecordedLock {
    void*    region1;
    uint32_t length1;
    void*    region2;
    uint32_t length2;
};

struct RecordedBuffer {
    std::vector<uint8_t> samples;   // committed by unlocks
    std::vector<uint8_t> memory;    // what locks hand out: the samples' size, then the guard
    uint8_t  format[16];
    uint32_t flags;
    uint32_t reserved;              // the description's reserved word
    uint32_t position;
    uint32_t plays;
    uint32_t last_play_flags;
    uint32_t lock_flags;            // the last lock's flags
    RecordedLock locked;            // what the last lock handed back
    RecordedLock unlocked;          // what the last unlock was given
    bool     lock_open;             // locked and not yet unlocked
    bool     unlock_mismatch;       // an unlock named regions or lengths the lock never gave
};

struct RecordingDeviceControl {
    bool    refuse_create;        // Create stores no device
    bool    refuse_buffer;        // CreateBuffer answers a failure
    bool    refuse_lock;          // Lock answers a failure
    bool    split_lock;           // Lock hands back two regions, the first a third
    bool    overlong_lock;        // Lock hands back more than asked: the last region runs on
                                  // into the guard, and unsplit, a second region lies in it
    bool    accept_empty;         // CreateBuffer makes buffers of 0 bytes
    int32_t play_result;          // what Play answers (0 by default)
    // Told of every Play on a live buffer.
    void  (*on_play)(void* buffer, void* context);
    void*   play_context;
    // Told of every call made on the device, by its operation's name, with
    // the buffer it concerns (null for the device's own calls).
    void  (*on_call)(const char* call, const void* buffer, void* context);
    void*   call_context;
};

struct RecordingDeviceStats : SoundObjectTally {
    uint32_t cooperative_calls, speaker_calls;
    uint32_t last_cooperative_level, last_speaker_config;
    void*    last_window;
    uint32_t last_desc_size, last_desc_flags;
    uint32_t unlock_calls;
    uint32_t misuses;   // calls on no device of ours, ReleaseBuffer(null), Play's
                        // reserved word or priority not 0
};

extern RecordingDeviceControl recording_control;
extern RecordingDeviceStats   recording_stats;

// Forgets the counts and restores default behaviour. Live buffers stay live.
void ResetRecordingDevice();

// The recorded state of a buffer made by this device.
const RecordedBuffer* RecordedBufferOf(const void* buffer);

// True while the guard behind the buffer's samples holds only the guard byte.
bool GuardIntact(const RecordedBuffer* buffer);
