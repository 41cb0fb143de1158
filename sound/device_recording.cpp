// device_recording.cpp - a sound device that records instead of sounding.
//
// Needs: nothing. Provides:
//   [x] device create/release with counts, refusable
//   [x] static buffers holding a copy of the samples and the stored format
//   [x] lock (one region over the whole buffer, or split or over-long on
//       request); unlock checks what it is given against what the lock handed
//       out and commits only that
//   [x] rewind and play, with a configurable answer and a play observer
//   [x] counts of every object made and released, for leak checks
//   [x] every call reported in order to an observer
// Used by gauge-replay, the tests and the benchmarks.
#include "sound/device_recording.h"

#include <cstring>

#include "sound/sound_device.h"
#include "sound/wave_reader.h"

RecordingDeviceControl recording_control = {};
RecordingDeviceStats   recording_stats = {};

namespace {

struct RecordedDevice { uint32_t magic; };
const uint32_t kDeviceMagic = 0x52444556u;

RecordedBuffer* AsBuffer(void* buffer) { return static_cast<RecordedBuffer*>(buffer); }

// A call naming no device made here, or a DirectSound argument that must be 0
// and is not, is counted as a misuse.
bool Misused(bool misuse) {
    if (misuse) recording_stats.misuses++;
    return misuse;
}

bool NotADevice(void* device) {
    return Misused(device == nullptr || static_cast<RecordedDevice*>(device)->magic != kDeviceMagic);
}

void Told(const char* call, const void* buffer) {
    if (recording_control.on_call) recording_control.on_call(call, buffer, recording_control.call_context);
}

int32_t Create(void** device) {
    Told("Create", nullptr);
    if (device == nullptr) return kGenericError;
    if (recording_control.refuse_create) {
        *device = nullptr;
        return kGenericError;
    }
    *device = new RecordedDevice{kDeviceMagic};
    recording_stats.devices_created++;
    return 0;
}

int32_t SetCooperativeLevel(void* device, void* window, uint32_t level) {
    Told("SetCooperativeLevel", nullptr);
    NotADevice(device);
    recording_stats.cooperative_calls++;
    recording_stats.last_window = window;
    recording_stats.last_cooperative_level = level;
    return 0;
}

int32_t CreateBuffer(void* device, const ClipBufferDesc* desc, void** buffer) {
    *buffer = nullptr;
    if (NotADevice(device)) return kGenericError;
    recording_stats.last_desc_size = desc->size;
    recording_stats.last_desc_flags = desc->flags;
    if (recording_control.refuse_buffer || desc->format == nullptr) return kGenericError;
    if (desc->buffer_bytes == 0 && !recording_control.accept_empty) return kGenericError;
    RecordedBuffer* b = new RecordedBuffer();
    // Silence in both, and the guard behind what locks hand out: each vector
    // is allocated at its final size and filled once.
    b->samples.assign(desc->buffer_bytes, 0x80);
    b->memory.reserve(size_t{desc->buffer_bytes} + kRecordingGuardBytes);
    b->memory.assign(desc->buffer_bytes, 0x80);
    b->memory.insert(b->memory.end(), kRecordingGuardBytes, kRecordingGuardByte);
    std::memcpy(b->format, desc->format, kStoredFormatBytes);   // all that is sure to be there
    b->flags = desc->flags;
    b->reserved = desc->reserved;
    *buffer = b;
    recording_stats.buffers_created++;
    Told("CreateBuffer", b);
    return 0;
}

int32_t SetSpeakerConfig(void* device, uint32_t config) {
    Told("SetSpeakerConfig", nullptr);
    NotADevice(device);
    recording_stats.speaker_calls++;
    recording_stats.last_speaker_config = config;
    return 0;
}

uint32_t ReleaseDevice(void* device) {
    Told("ReleaseDevice", nullptr);
    if (NotADevice(device)) return 0;
    delete static_cast<RecordedDevice*>(device);
    recording_stats.devices_released++;
    return 0;
}

int32_t Lock(void* buffer, uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
             void** region2, uint32_t* length2, uint32_t flags) {
    Told("Lock", buffer);
    RecordedBuffer* b = AsBuffer(buffer);
    b->lock_flags = flags;
    if (recording_control.refuse_lock || offset != 0 || bytes > b->samples.size()) return kGenericError;
    const uint32_t first = recording_control.split_lock ? bytes / 3 : bytes;
    uint8_t* memory = b->memory.data();
    RecordedLock& l = b->locked;
    l = {memory, first, bytes - first ? memory + first : nullptr, bytes - first};
    if (recording_control.overlong_lock) {
        if (l.region2 != nullptr) {
            l.length2 += kRecordingGuardBytes;
        } else {
            l = {memory, bytes + kRecordingGuardBytes, memory + bytes, kRecordingGuardBytes};
        }
    }
    *region1 = l.region1;
    *length1 = l.length1;
    *region2 = l.region2;
    *length2 = l.length2;
    b->lock_open = true;
    return 0;
}

// Commits what the gauge says it wrote, if it names the regions it was given
// at no more than their lengths; anything else is refused and commits nothing.
int32_t Unlock(void* buffer, void* region1, uint32_t length1, void* region2, uint32_t length2) {
    Told("Unlock", buffer);
    recording_stats.unlock_calls++;
    RecordedBuffer* b = AsBuffer(buffer);
    b->unlocked = {region1, length1, region2, length2};
    const RecordedLock& l = b->locked;
    if (!b->lock_open || region1 != l.region1 || length1 > l.length1 || region2 != l.region2 ||
        length2 > l.length2) {
        b->unlock_mismatch = true;
        return kGenericError;
    }
    b->lock_open = false;
    const size_t size = b->samples.size();
    for (const RecordedLock& r : {RecordedLock{region1, length1, nullptr, 0},
                                  RecordedLock{region2, length2, nullptr, 0}}) {
        if (r.region1 == nullptr) continue;
        const size_t at = static_cast<uint8_t*>(r.region1) - b->memory.data();
        const size_t end = at + r.length1 < size ? at + r.length1 : size;
        if (at < end) std::memcpy(b->samples.data() + at, b->memory.data() + at, end - at);
    }
    return 0;
}

int32_t SetCurrentPosition(void* buffer, uint32_t position) {
    Told("SetCurrentPosition", buffer);
    AsBuffer(buffer)->position = position;
    return 0;
}

int32_t Play(void* buffer, uint32_t reserved, uint32_t priority, uint32_t flags) {
    Told("Play", buffer);
    Misused(reserved != 0 || priority != 0);
    RecordedBuffer* b = AsBuffer(buffer);
    b->plays++;
    b->last_play_flags = flags;
    if (recording_control.on_play) recording_control.on_play(buffer, recording_control.play_context);
    return recording_control.play_result;
}

uint32_t ReleaseBuffer(void* buffer) {
    Told("ReleaseBuffer", buffer);
    if (Misused(buffer == nullptr)) return 0;
    delete AsBuffer(buffer);
    recording_stats.buffers_released++;
    return 0;
}

void Counts(VornakAudioCounts* counts) { CountsFromTally(recording_stats, counts); }

}  // namespace

void ResetRecordingDevice() {
    recording_control = RecordingDeviceControl();
    recording_stats = RecordingDeviceStats();
}

const RecordedBuffer* RecordedBufferOf(const void* buffer) {
    return static_cast<const RecordedBuffer*>(buffer);
}

bool GuardIntact(const RecordedBuffer* buffer) {
    for (size_t i = buffer->samples.size(); i < buffer->memory.size(); ++i)
        if (buffer->memory[i] != kRecordingGuardByte) return false;
    return true;
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
    Counts,
    nullptr,   // no loopback: nothing is mixed
    nullptr,
    nullptr,   // plays are told through recording_control.on_play
};
