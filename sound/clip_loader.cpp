// clip_loader.cpp - turns the module's WAVE resources into filled clips.
//
// Each clip is walked in place, its stored fmt body handed to the device as
// the buffer's format, and its samples copied once into a static buffer, so
// playing needs no copy. Samples go in unchanged: no resampling, rescaling
// or sign change.
//
// The device is opened by the first load of an initialise cycle and shared
// by all six clips; GaugeKill releases it after the clips, so that a kill
// and initialise cycle leaves no device behind.
#include "platform/platform.h"
#include "sound/clip.h"
#include "sound/sound_device.h"
#include "sound/wave_reader.h"

#include <cstring>

constinit void* sound_device = nullptr;

int32_t FillClipBuffer(void* buffer, const uint8_t* data, uint32_t size) {
    if (buffer == nullptr || data == nullptr || size == 0) return 0;
    void* region1 = nullptr;
    void* region2 = nullptr;
    uint32_t length1 = 0, length2 = 0;
    if (kSoundDevice.Lock(buffer, 0, size, &region1, &length1, &region2, &length2, 0) < 0)
        return 0;
    // A device never hands back more than was asked for; clamp all the same
    // so a faulty one cannot make us read past the clip.
    if (length1 > size) length1 = size;
    if (length2 > size - length1) length2 = size - length1;
    if (region1 && length1) std::memcpy(region1, data, length1);
    if (region2 && length2) std::memcpy(region2, data + length1, length2);
    kSoundDevice.Unlock(buffer, region1, length1, region2, length2);
    return 1;
}

SoundClip LoadWaveClip(void* window, const char* module_path, const char* name) {
    if (sound_device == nullptr) kSoundDevice.Create(&sound_device);
    if (sound_device == nullptr) return nullptr;   // no audio device: stay silent
    kSoundDevice.SetCooperativeLevel(sound_device, window, kCooperativeNormal);

    const uint8_t* format = nullptr;
    const uint8_t* data = nullptr;
    uint32_t data_size = 0;
    void* module = ModuleFromPath(module_path);
    if (!FindWaveResource(module, name, &format, &data, &data_size)) return nullptr;

    ClipBufferDesc desc = {sizeof(ClipBufferDesc), kClipBufferFlags, data_size, 0, format};
    void* buffer = nullptr;
    if (kSoundDevice.CreateBuffer(sound_device, &desc, &buffer) < 0) return nullptr;
    if (!FillClipBuffer(buffer, data, data_size)) {
        if (buffer != nullptr) kSoundDevice.ReleaseBuffer(buffer);
        return nullptr;
    }
    kSoundDevice.SetSpeakerConfig(sound_device, kSpeakerStereo);
    return buffer;
}

void ReleaseSoundDevice() {
    if (sound_device != nullptr) kSoundDevice.ReleaseDevice(sound_device);
    sound_device = nullptr;
}
