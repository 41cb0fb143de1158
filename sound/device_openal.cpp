// device_openal.cpp - the sound-device seam on OpenAL (OpenAL Soft), for the
// Linux module.
//
// Needs: OpenAL 1.1 (libopenal), and the ALC_SOFT_loopback extension for
// loopback devices.
// Provides:
//   [x] one device and context for the module, opened by the first clip load
//       and closed once the gauge has released it and its last clip
//   [x] a clip is one AL buffer plus one AL source holding the stored samples
//       unchanged at the stored rate (PCM, 8-bit unsigned or 16-bit signed,
//       mono or stereo; bits per sample from the block alignment, only the
//       first 14 bytes of the stored format are read)
//   [x] lock hands back a region of a staging copy kept with the clip;
//       unlock uploads the copy with alBufferData
//   [x] play restarts a sounding clip from its first sample instead of
//       layering it; different clips mix in the device
//   [x] centred: the source sits on the listener, no gain, pitch, distance
//       or position changes
//   [x] no audio device: Create stores null and the gauge runs silently;
//       the default device is asked again at most every two seconds
//   [x] loopback device on the host's request, its mix pulled by the host
//   [x] every buffer it starts told, and its live objects counted, for the
//       module's host (the optional entries of sound_device.h)
//   [ ] cooperative level and speaker configuration: OpenAL has no such
//       notions; both answer success and do nothing
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "sound/sound_device.h"
#include "sound/wave_reader.h"

namespace {

// DirectSound's answers, which the loader and playback examine.
const int32_t kOk            = 0;
const int32_t kInvalidParam  = static_cast<int32_t>(0x80070057u);   // DSERR_INVALIDPARAM
const int32_t kBadFormat     = static_cast<int32_t>(0x88780064u);   // DSERR_BADFORMAT
const int32_t kOutOfMemory   = static_cast<int32_t>(0x8007000Eu);   // DSERR_OUTOFMEMORY
const uint32_t kLockEntireBuffer = 2;                               // DSBLOCK_ENTIREBUFFER
const uint32_t kPlayLooping      = 1;                               // DSBPLAY_LOOPING

struct AlDevice {
    ALCdevice*  device;
    ALCcontext* context;
    bool        loopback;
    bool        released;   // the gauge gave up its handle
    uint32_t    clips;      // live clips still playing through this device
};

struct AlClip {
    AlDevice* owner;
    ALuint    buffer;
    ALuint    source;
    ALenum    format;
    ALsizei   rate;
    uint32_t  block_align;
    uint8_t*  staging;      // the samples as the gauge wrote them
    uint32_t  size;
    uint32_t  position;     // play position asked for while not sounding
    bool      uploaded;
};

// The module's one device; null while none is open.
AlDevice* open_device = nullptr;
VornakAudioCounts live = {};
uint32_t loopback_rate = 0;
void (*report_start)(const void* buffer) = nullptr;
// When the default device last failed to open, on vornak_openal_clock. The
// loader asks once per clip; one initialise should ask the system once, not
// six times over.
uint64_t last_failure_ms = 0;
bool failed_before = false;
const uint64_t kRetryAfterMs = 2000;

uint64_t SteadyMilliseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count());
}

LPALCLOOPBACKOPENDEVICESOFT LoopbackOpen() {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return nullptr;
    return reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
}

LPALCRENDERSAMPLESSOFT LoopbackRender() {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return nullptr;
    return reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
}

// Our context must be current for AL calls; a host that uses OpenAL itself
// may have made another one current in between.
void UseContext(const AlDevice* d) {
    if (alcGetCurrentContext() != d->context) alcMakeContextCurrent(d->context);
}

void CloseDevice(AlDevice* d) {
    if (alcGetCurrentContext() == d->context) alcMakeContextCurrent(nullptr);
    if (d->context) {
        alcDestroyContext(d->context);
        live.contexts--;
    }
    if (d->device) {
        alcCloseDevice(d->device);
        live.devices--;
    }
    if (open_device == d) open_device = nullptr;
    delete d;
}

void CloseIfUnused(AlDevice* d) {
    if (d->released && d->clips == 0) CloseDevice(d);
}

int32_t Create(void** device) {
    if (device == nullptr) return kInvalidParam;
    *device = nullptr;
    if (open_device != nullptr) {
        // The gauge released the device while clips still sounded on it; a
        // new initialise takes it up again rather than opening a second one.
        open_device->released = false;
        *device = open_device;
        return kOk;
    }
    const uint64_t now = vornak_openal_clock();
    if (loopback_rate == 0 && failed_before && now - last_failure_ms < kRetryAfterMs) return kGenericError;
    AlDevice* d = new AlDevice{};
    if (loopback_rate != 0) {
        LPALCLOOPBACKOPENDEVICESOFT open = LoopbackOpen();
        d->device = open ? open(nullptr) : nullptr;
        d->loopback = true;
    } else {
        d->device = alcOpenDevice(nullptr);
    }
    if (d->device == nullptr) {
        delete d;
        if (loopback_rate == 0) {
            failed_before = true;
            last_failure_ms = now;
        }
        return kGenericError;   // no audio device: the clips stay null
    }
    live.devices++;
    const ALCint loopback_attributes[] = {
        ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT,
        ALC_FORMAT_TYPE_SOFT,     ALC_SHORT_SOFT,
        ALC_FREQUENCY,            static_cast<ALCint>(loopback_rate),
        ALC_HRTF_SOFT,            ALC_FALSE,
        0};
    d->context = alcCreateContext(d->device, d->loopback ? loopback_attributes : nullptr);
    if (d->context == nullptr) {
        CloseDevice(d);
        return kGenericError;
    }
    live.contexts++;
    alcMakeContextCurrent(d->context);
    open_device = d;
    *device = d;
    return kOk;
}

int32_t SetCooperativeLevel(void* device, void*, uint32_t) {
    return device ? kOk : kInvalidParam;
}

int32_t SetSpeakerConfig(void* device, uint32_t) { return device ? kOk : kInvalidParam; }

// The AL format of a stored PCM format, or 0.
ALenum AlFormatOf(const StoredFormat& f) {
    if (f.tag != 1 || f.channels == 0 || f.channels > 2 || f.block_align == 0) return 0;
    if (f.block_align % f.channels != 0) return 0;
    const uint32_t bits = 8u * f.block_align / f.channels;
    if (bits == 8) return f.channels == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_STEREO8;
    if (bits == 16) return f.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    return 0;
}

int32_t CreateBuffer(void* device, const ClipBufferDesc* desc, void** buffer) {
    if (buffer == nullptr) return kInvalidParam;
    *buffer = nullptr;
    AlDevice* d = static_cast<AlDevice*>(device);
    if (d == nullptr || d != open_device || desc == nullptr || desc->format == nullptr ||
        desc->buffer_bytes == 0)
        return kInvalidParam;
    const StoredFormat f = ReadStoredFormat(desc->format);
    const ALenum format = AlFormatOf(f);
    if (format == 0 || f.rate == 0 || f.rate > 0x7FFFFFFFu) return kBadFormat;

    AlClip* c = new AlClip{};
    c->staging = static_cast<uint8_t*>(std::calloc(desc->buffer_bytes, 1));
    if (c->staging == nullptr) {
        delete c;
        return kOutOfMemory;
    }
    UseContext(d);
    alGetError();
    alGenBuffers(1, &c->buffer);
    if (alGetError() != AL_NO_ERROR) {
        std::free(c->staging);
        delete c;
        return kOutOfMemory;
    }
    live.buffers++;
    alGenSources(1, &c->source);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &c->buffer);
        live.buffers--;
        std::free(c->staging);
        delete c;
        return kOutOfMemory;
    }
    live.sources++;
    // On the listener, relative to it and never attenuated: centred.
    alSourcei(c->source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(c->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(c->source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcef(c->source, AL_GAIN, 1.0f);
    alSourcef(c->source, AL_PITCH, 1.0f);
    c->owner = d;
    c->format = format;
    c->rate = static_cast<ALsizei>(f.rate);
    c->block_align = f.block_align;
    c->size = desc->buffer_bytes;
    d->clips++;
    *buffer = c;
    return kOk;
}

uint32_t ReleaseDevice(void* device) {
    AlDevice* d = static_cast<AlDevice*>(device);
    if (d == nullptr || d != open_device) return 0;
    d->released = true;
    const uint32_t left = d->clips;
    CloseIfUnused(d);
    return left;
}

int32_t Lock(void* buffer, uint32_t offset, uint32_t bytes, void** region1, uint32_t* length1,
             void** region2, uint32_t* length2, uint32_t flags) {
    AlClip* c = static_cast<AlClip*>(buffer);
    if (c == nullptr || region1 == nullptr || length1 == nullptr) return kInvalidParam;
    if (flags & kLockEntireBuffer) {
        offset = 0;
        bytes = c->size;
    }
    if (offset >= c->size || bytes == 0) return kInvalidParam;
    // A static buffer does not wrap: whatever is asked past its end is cut.
    *region1 = c->staging + offset;
    *length1 = bytes < c->size - offset ? bytes : c->size - offset;
    if (region2) *region2 = nullptr;
    if (length2) *length2 = 0;
    return kOk;
}

int32_t Unlock(void* buffer, void*, uint32_t, void*, uint32_t) {
    AlClip* c = static_cast<AlClip*>(buffer);
    if (c == nullptr) return kInvalidParam;
    // AL takes whole sample frames only; a stray trailing byte is dropped.
    const uint32_t whole = c->size - c->size % c->block_align;
    if (whole == 0) return kInvalidParam;
    UseContext(c->owner);
    alGetError();
    // AL refuses new data for a buffer a source holds: detach it first.
    alSourceStop(c->source);
    alSourcei(c->source, AL_BUFFER, 0);
    alBufferData(c->buffer, c->format, c->staging, static_cast<ALsizei>(whole), c->rate);
    if (alGetError() != AL_NO_ERROR) {
        c->uploaded = false;
        return kGenericError;
    }
    alSourcei(c->source, AL_BUFFER, static_cast<ALint>(c->buffer));
    c->uploaded = alGetError() == AL_NO_ERROR;
    return c->uploaded ? kOk : kGenericError;
}

bool Sounding(const AlClip* c) {
    ALint state = AL_STOPPED;
    alGetSourcei(c->source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

int32_t SetCurrentPosition(void* buffer, uint32_t position) {
    AlClip* c = static_cast<AlClip*>(buffer);
    if (c == nullptr) return kInvalidParam;
    if (position >= c->size) position = 0;
    position -= position % c->block_align;
    c->position = position;
    UseContext(c->owner);
    if (c->uploaded && Sounding(c)) alSourcei(c->source, AL_BYTE_OFFSET, static_cast<ALint>(position));
    return kOk;
}

int32_t Play(void* buffer, uint32_t, uint32_t, uint32_t flags) {
    AlClip* c = static_cast<AlClip*>(buffer);
    if (c == nullptr || !c->uploaded) return kInvalidParam;
    UseContext(c->owner);
    alGetError();
    alSourcei(c->source, AL_LOOPING, (flags & kPlayLooping) ? AL_TRUE : AL_FALSE);
    // Like a DirectSound buffer, a sounding clip goes on from where it is
    // (the caller rewinds it first); a silent one starts at its position.
    if (!Sounding(c)) {
        alSourcePlay(c->source);
        if (c->position != 0)
            alSourcei(c->source, AL_BYTE_OFFSET, static_cast<ALint>(c->position));
    }
    if (alGetError() != AL_NO_ERROR) return kGenericError;
    if (report_start) report_start(c);
    return kOk;
}

uint32_t ReleaseBuffer(void* buffer) {
    AlClip* c = static_cast<AlClip*>(buffer);
    if (c == nullptr) return 0;
    AlDevice* d = c->owner;
    UseContext(d);
    alSourceStop(c->source);
    alSourcei(c->source, AL_BUFFER, 0);
    alDeleteSources(1, &c->source);
    live.sources--;
    alDeleteBuffers(1, &c->buffer);
    live.buffers--;
    std::free(c->staging);
    delete c;
    d->clips--;
    CloseIfUnused(d);
    return 0;
}

void Counts(VornakAudioCounts* counts) {
    counts->devices = live.devices;
    counts->contexts = live.contexts;
    counts->buffers = live.buffers;
    counts->sources = live.sources;
}

int32_t Loopback(uint32_t rate) {
    if (rate == 0) {
        loopback_rate = 0;
        return 1;
    }
    if (rate < 8000 || rate > 192000 || LoopbackOpen() == nullptr || LoopbackRender() == nullptr)
        return 0;
    loopback_rate = rate;
    return 1;
}

uint32_t Render(int16_t* out, uint32_t frames) {
    if (out == nullptr || frames == 0) return 0;
    LPALCRENDERSAMPLESSOFT render = LoopbackRender();
    if (open_device == nullptr || !open_device->loopback || render == nullptr ||
        frames > 0x7FFFFFFFu / kVornakLoopbackChannels) {
        std::memset(out, 0, sizeof(int16_t) * kVornakLoopbackChannels * frames);
        return 0;
    }
    render(open_device->device, out, static_cast<ALCsizei>(frames));
    return frames;
}

void ReportStarts(void (*started)(const void* buffer)) { report_start = started; }

}  // namespace

uint64_t (*vornak_openal_clock)() = SteadyMilliseconds;

const SoundDevice kSoundDevice = {
    "openal",
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
    Loopback,
    Render,
    ReportStarts,
};
