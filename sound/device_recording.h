// device_recording.h - controls of the recording sound device.
//
// The recording device keeps every buffer in memory and remembers what was
// done to it, for tests and for gauge-replay. It behaves as the gauge relies
// on a device to behave (a lock over a whole buffer gives one region; play
// answers 0) and can be told to misbehave.
#pragma once

#include <cstdint>
#include <vector>

struct RecordedBuffer {
    std::vector<uint8_t> samples;
    uint8_t  format[16];
    uint32_t flags;
    uint32_t position;
    uint32_t plays;
    uint32_t last_play_flags;
};

struct RecordingDeviceControl {
    bool    refuse_create;        // Create stores no device
    bool    refuse_buffer;        // CreateBuffer answers a failure
    bool    refuse_lock;          // Lock answers a failure
    bool    split_lock;           // Lock hands back two regions
    bool    accept_empty;         // CreateBuffer makes buffers of 0 bytes
    int32_t play_result;          // what Play answers (0 by default)
    // Told of every Play on a live buffer.
    void  (*on_play)(void* buffer, void* context);
    void*   play_context;
};

struct RecordingDeviceStats {
    uint32_t devices_created, devices_released;
    uint32_t buffers_created, buffers_released;
    uint32_t cooperative_calls, speaker_calls;
    uint32_t last_cooperative_level, last_speaker_config;
    void*    last_window;
    uint32_t last_desc_size, last_desc_flags;
    uint32_t unlock_calls;
};

extern RecordingDeviceControl recording_control;
extern RecordingDeviceStats   recording_stats;

// Forgets the counts and restores default behaviour. Live buffers stay live.
void ResetRecordingDevice();

// The recorded state of a buffer made by this device.
const RecordedBuffer* RecordedBufferOf(const void* buffer);
