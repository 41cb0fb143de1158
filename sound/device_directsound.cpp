// device_directsound.cpp - the sound-device seam on DirectSound (Windows).
//
// Needs: DSOUND.dll, reached through one import: DirectSoundCreate by
// ordinal 1, from an import library the build makes with dlltool
// (resources/dsound_*.def), not the toolchain's libdsound.a. Everything
// else goes through the device's and buffers' COM interfaces.
// Provides:
//   [x] device create (default device) and release
//   [x] cooperative level, speaker configuration
//   [x] static buffers from the gauge's ClipBufferDesc, in DirectSound's
//       first buffer description, 20 bytes on 32-bit and pointer-sized on
//       64-bit, which DirectSound accepts beside its later, longer one;
//       the format it points to is a copy of the stored one's first 14
//       bytes with bits per sample derived from the block alignment, as
//       the other devices do: a 14-byte fmt body, which the WAVE walk
//       accepts, has no bits-per-sample field, and handed in place
//       DirectSound would read past it, past the resource when that chunk
//       comes last
//   [x] lock, unlock, rewind, play, buffer release
//   [x] counts of every device and buffer made and released, so a reload
//       test can show that no DirectSound object outlives its use; a test
//       build (VORNAK_EXPORT_SOUND_COUNTS) lets its host read them
//       (host/module_extras.h's vornak_audio_counts)
//   [ ] loopback mix, clip start reports: DirectSound mixes on the card; a
//       host that shows the clips watches the module's DirectSound itself
#include "sound/sound_device.h"

#include <windows.h>
#include <dsound.h>

#include <cstddef>

#include "sound/wave_reader.h"

// The gauge's description goes to DirectSound as it is: it must be the
// first form of DSBUFFERDESC, field for field, on either pointer width.
static_assert(sizeof(ClipBufferDesc) == sizeof(DSBUFFERDESC1), "buffer description size");
static_assert(offsetof(ClipBufferDesc, format) == offsetof(DSBUFFERDESC1, lpwfxFormat),
              "format pointer position");
#if defined(__i386__)
static_assert(sizeof(ClipBufferDesc) == 20, "the 20-byte description on 32-bit");
#endif

namespace {

// Every device and buffer obtained from DirectSound, and every release.
// After a kill all pairs must match; a difference is a DirectSound object
// the gauge leaked.
constinit SoundObjectTally directsound_counts = {};

IDirectSound* AsDevice(void* device) { return static_cast<IDirectSound*>(device); }
IDirectSoundBuffer* AsBuffer(void* buffer) { return static_cast<IDirectSoundBuffer*>(buffer); }

int32_t Create(void** device) {
    IDirectSound* created = nullptr;
    HRESULT result = DirectSoundCreate(nullptr, &created, nullptr);
    if (FAILED(result)) created = nullptr;
    if (created != nullptr) directsound_counts.devices_created++;
    *device = created;
    return result;
}

int32_t SetCooperativeLevel(void* device, void* window, uint32_t level) {
    return AsDevice(device)->SetCooperativeLevel(static_cast<HWND>(window), level);
}

int32_t CreateBuffer(void* device, const ClipBufferDesc* desc, void** buffer) {
    // DirectSound copies the format while it makes the buffer, so both
    // copies can live on the stack.
    const StoredFormat stored = ReadStoredFormat(desc->format);
    WAVEFORMATEX format = {};
    format.wFormatTag = stored.tag;
    format.nChannels = stored.channels;
    format.nSamplesPerSec = stored.rate;
    format.nAvgBytesPerSec = stored.bytes_per_second;
    format.nBlockAlign = stored.block_align;
    format.wBitsPerSample =
        stored.channels ? static_cast<WORD>(8u * stored.block_align / stored.channels) : 0;
    ClipBufferDesc copy = *desc;
    copy.format = &format;
    IDirectSoundBuffer* created = nullptr;
    HRESULT result = AsDevice(device)->CreateSoundBuffer(
        reinterpret_cast<const DSBUFFERDESC*>(&copy), &created, nullptr);
    if (FAILED(result)) created = nullptr;
    if (created != nullptr) directsound_counts.buffers_created++;
    *buffer = created;
    return result;
}

int32_t SetSpeakerConfig(void* device, uint32_t config) {
    return AsDevice(device)->SetSpeakerConfig(config);
}

uint32_t ReleaseDevice(void* device) {
    directsound_counts.devices_released++;
    return AsDevice(device)->Release();
}

int32_t Lock(void* buffer, uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
             void** region2, uint32_t* length2, uint32_t flags) {
    DWORD l1 = 0, l2 = 0;
    HRESULT result = AsBuffer(buffer)->Lock(offset, bytes, region1, &l1, region2, &l2, flags);
    *length1 = l1;
    *length2 = l2;
    return result;
}

int32_t Unlock(void* buffer, void* region1, uint32_t length1, void* region2, uint32_t length2) {
    return AsBuffer(buffer)->Unlock(region1, length1, region2, length2);
}

int32_t SetCurrentPosition(void* buffer, uint32_t position) {
    return AsBuffer(buffer)->SetCurrentPosition(position);
}

int32_t Play(void* buffer, uint32_t reserved, uint32_t priority, uint32_t flags) {
    return AsBuffer(buffer)->Play(reserved, priority, flags);
}

uint32_t ReleaseBuffer(void* buffer) {
    directsound_counts.buffers_released++;
    return AsBuffer(buffer)->Release();
}

void Counts(VornakAudioCounts* counts) { CountsFromTally(directsound_counts, counts); }

}  // namespace

extern constinit const SoundDevice kSoundDevice = {
    "directsound",
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
    nullptr,
    nullptr,
    nullptr,
};
