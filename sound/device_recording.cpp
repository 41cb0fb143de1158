// device_recording.cpp - a sound device that records instead of sounding.
//
// Needs: nothing. Provides:
//   [x] device create/release with counts, refusable
//   [x] static buffers holding a copy of the samples and the stored format
//   [x] lock (one region over the whole buffer, or split on request), unlock
//   [x] rewind and play, with a configurable answer and a play observer
//   [x] counts of every object made and released, for leak checks
// Used by gauge-replay, the tests and the benchmarks.
#include "sound/device_recording.h"

#include <cstring>

#include "sound/sound_device.h"

RecordingDeviceControl recording_control = {};
RecordingDeviceStats   recording_stats = {};

namespace {

const int32_t kFail = static_cast<int32_t>(0x80004005);   // E_FAIL
struct RecordedDevice { uint32_t magic; };
const uint32_t kDeviceMagic = 0x52444556u;

RecordedBuffer* AsBuffer(void* buffer) { return static_cast<RecordedBuffer*>(buffer); }

int32_t Create(void** device) {
    if (device == nullptr) return kFail;
    if (recording_control.refuse_create) {
        *device = nullptr;
        return kFail;
    }
    *device = new RecordedDevice{kDeviceMagic};
    recording_stats.devices_created++;
    return 0;
}

int32_t SetCooperativeLevel(void*, void* window, uint32_t level) {
    recording_stats.cooperative_calls++;
    recording_stats.last_window = window;
    recording_stats.last_cooperative_level = level;
    return 0;
}

int32_t CreateBuffer(void*, const ClipBufferDesc* desc, void** buffer) {
    *buffer = nullptr;
    recording_stats.last_desc_size = desc->size;
    recording_stats.last_desc_flags = desc->flags;
    if (recording_control.refuse_buffer || desc->format == nullptr) return kFail;
    if (desc->buffer_bytes == 0 && !recording_control.accept_empty) return kFail;
    RecordedBuffer* b = new RecordedBuffer();
    b->samples.assign(desc->buffer_bytes, 0x80);
    std::memcpy(b->format, desc->format, 14);   // only 14 bytes are sure to be there
    b->flags = desc->flags;
    *buffer = b;
    recording_stats.buffers_created++;
    return 0;
}

int32_t SetSpeakerConfig(void*, uint32_t config) {
    recording_stats.speaker_calls++;
    recording_stats.last_speaker_config = config;
    return 0;
}

uint32_t ReleaseDevice(void* device) {
    delete static_cast<RecordedDevice*>(device);
    recording_stats.devices_released++;
    return 0;
}

int32_t Lock(void* buffer, uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
             void** region2, uint32_t* length2, uint32_t) {
    RecordedBuffer* b = AsBuffer(buffer);
    if (recording_control.refuse_lock || offset != 0 || bytes > b->samples.size()) return kFail;
    uint32_t first = recording_control.split_lock ? bytes / 3 : bytes;
    *region1 = b->samples.data();
    *length1 = first;
    *region2 = bytes - first ? b->samples.data() + first : nullptr;
    *length2 = bytes - first;
    return 0;
}

int32_t Unlock(void*, void*, uint32_t, void*, uint32_t) {
    recording_stats.unlock_calls++;
    return 0;
}

int32_t SetCurrentPosition(void* buffer, uint32_t position) {
    AsBuffer(buffer)->position = position;
    return 0;
}

int32_t Play(void* buffer, uint32_t, uint32_t, uint32_t flags) {
    RecordedBuffer* b = AsBuffer(buffer);
    b->plays++;
    b->last_play_flags = flags;
    if (recording_control.on_play) recording_control.on_play(buffer, recording_control.play_context);
    return recording_control.play_result;
}

uint32_t ReleaseBuffer(void* buffer) {
    delete AsBuffer(buffer);
    recording_stats.buffers_released++;
    return 0;
}

}  // namespace

void ResetRecordingDevice() {
    recording_control = RecordingDeviceControl();
    recording_stats = RecordingDeviceStats();
}

const RecordedBuffer* RecordedBufferOf(const void* buffer) {
    return static_cast<const RecordedBuffer*>(buffer);
}

extern const SoundDevice kSoundDevice = {
    "recording",
    Create,
    SetCooperativeLevel,
    CreateBuffer,
    SetSpeakerConfig,
    ReleaseDevice,
    Lock,
    Unlock,
    SetCurrentPosition,
    Play,
    ReleaseBuffer,
};
