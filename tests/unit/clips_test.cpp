// Loading, playing and releasing clips on the recording device, including
// a device that refuses each step.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/gauge.h"
#include "host/module.h"
#include "platform/platform.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"
#include "sound/device_recording.h"
#include "sound/sound_device.h"
#include "sound/wave_reader.h"
#include "test_support.h"

namespace {

class Clips : public GaugeTest {};

std::vector<uint8_t> StoredSamples(const char* name) {
    char path[256];
    ModuleFileName(module_instance, path, sizeof path);
    const uint8_t *format, *data;
    uint32_t size;
    if (!FindWaveResource(ModuleFromPath(path), name, &format, &data, &size)) return {};
    return std::vector<uint8_t>(data, data + size);
}

TEST_F(Clips, InitialiseLoadsSixFilledBuffers) {
    StartGauge();
    SoundClip clips[] = {PB1, PB2, PB3, PB4, CLICK, TUG};
    const std::vector<std::string> names = {"PB1", "PB2", "PB3", "PB4", "CLICK", "TUG"};
    const uint32_t rates[] = {11025, 22050, 11025, 22050, 22255, 11025};
    for (int i = 0; i < 6; ++i) {
        const RecordedBuffer* b = RecordedBufferOf(clips[i]);
        ASSERT_NE(b, nullptr) << names[i];
        EXPECT_EQ(b->samples, StoredSamples(names[i].c_str())) << names[i] << ": samples copied unchanged";
        StoredFormat f = ReadStoredFormat(b->format);
        EXPECT_EQ(f.tag, 1);
        EXPECT_EQ(f.channels, 1);
        EXPECT_EQ(f.rate, rates[i]) << names[i];
        EXPECT_EQ(b->flags, 0x000100E2u);
        EXPECT_EQ(b->reserved, 0u);
        EXPECT_FALSE(b->unlock_mismatch) << names[i];
    }
    // The order of the calls, one device and one fill each, is the lifecycle test's.
    EXPECT_EQ(recording_stats.last_cooperative_level, kCooperativeNormal);
    EXPECT_EQ(recording_stats.last_speaker_config, kSpeakerStereo);
    EXPECT_EQ(recording_stats.last_desc_size, sizeof(ClipBufferDesc));
}

// The device reads the stored format's fields little-endian, each byte in place.
TEST(StoredFormatFields, EveryByteInItsPlace) {
    const uint8_t body[14] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                              0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E};
    const StoredFormat f = ReadStoredFormat(body);
    EXPECT_EQ(f.tag, 0x0201);
    EXPECT_EQ(f.channels, 0x0403);
    EXPECT_EQ(f.rate, 0x08070605u);
    EXPECT_EQ(f.bytes_per_second, 0x0C0B0A09u);
    EXPECT_EQ(f.block_align, 0x0E0D);
    uint8_t high[14];
    std::memset(high, 0xFF, sizeof high);
    const StoredFormat h = ReadStoredFormat(high);
    EXPECT_EQ(h.tag, 0xFFFF);
    EXPECT_EQ(h.rate, 0xFFFFFFFFu);
    EXPECT_EQ(h.bytes_per_second, 0xFFFFFFFFu);
}

TEST_F(Clips, PlayRewindsAndAnswersOnlyAPlainSuccess) {
    StartGauge();
    EXPECT_EQ(PlayClip(nullptr, 0), 0);
    ReleaseClip(nullptr);

    RecordedBuffer* click = const_cast<RecordedBuffer*>(RecordedBufferOf(CLICK));
    click->position = 1000;
    EXPECT_EQ(PlayClip(CLICK, 0), 1);
    EXPECT_EQ(click->position, 0u);
    click->position = 500;
    EXPECT_EQ(PlayClip(CLICK, 0), 1);
    EXPECT_EQ(click->position, 0u) << "a second play restarts from the first sample";
    EXPECT_EQ(click->plays, 2u);
    EXPECT_EQ(click->last_play_flags, 0u);

    recording_control.on_play = nullptr;
    EXPECT_EQ(PlayClip(CLICK, 1), 1);
    EXPECT_EQ(click->last_play_flags, 1u) << "the flags go to the device as given";

    recording_control.play_result = 1;   // a success code other than 0
    EXPECT_EQ(PlayClip(TUG, 0), 0);
    recording_control.play_result = static_cast<int32_t>(0x88780096);
    EXPECT_EQ(PlayClip(TUG, 0), 0);
}

TEST_F(Clips, NoDeviceMeansSilentNullClips) {
    recording_control.refuse_create = true;
    StartGauge();
    for (SoundClip* c : kClipHandles) EXPECT_EQ(*c, nullptr);
    EXPECT_EQ(recording_stats.devices_created, 0u);
    Set(kTokenOnGround, 1.0);
    Click("left");
    Tick(400);
    EXPECT_GT(pushback.push_ticks, 0) << "the sequence runs on without sound";
    EXPECT_TRUE(plays.empty());
}

TEST_F(Clips, RefusedBuffersAndLocksLeaveNothingBehind) {
    recording_control.refuse_buffer = true;
    StartGauge();
    EXPECT_EQ(TUG, nullptr);
    EXPECT_EQ(recording_stats.buffers_created, 0u);
    EXPECT_EQ(recording_stats.speaker_calls, 0u) << "the speakers are set only after a fill";
    HostKill();

    ResetRecordingDevice();
    recording_control.refuse_lock = true;
    HostInstall();
    HostInitialize();
    EXPECT_EQ(PB1, nullptr);
    EXPECT_EQ(recording_stats.buffers_created, 6u);
    EXPECT_EQ(recording_stats.buffers_released, 6u) << "each unfilled buffer is released";
    EXPECT_EQ(recording_stats.unlock_calls, 0u) << "nothing is unlocked after a refused lock";
}

// Whatever regions the lock hands back, whole or split, exact or running on
// past the clip, the fill copies the clip once, writes nothing beyond it,
// and unlocks the regions it was given with the lengths it wrote.
TEST_F(Clips, EveryShapeOfLockIsFilledAndUnlockedAsHandedBack) {
    char path[256];
    ASSERT_GT(ModuleFileName(module_instance, path, sizeof path), 0u);
    const std::vector<uint8_t> stored = StoredSamples("PB4");
    const uint32_t n = static_cast<uint32_t>(stored.size());
    int window_record = 0;
    void* const window = &window_record;   // a window of the host's, as on Windows
    struct { bool split, overlong; } shapes[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (auto shape : shapes) {
        SCOPED_TRACE(std::string(shape.split ? "split" : "whole") + (shape.overlong ? ", over-long" : ""));
        recording_control.split_lock = shape.split;
        recording_control.overlong_lock = shape.overlong;
        SoundClip clip = LoadWaveClip(window, path, "PB4");
        ASSERT_NE(clip, nullptr);
        const RecordedBuffer* b = RecordedBufferOf(clip);
        const uint32_t first = shape.split ? n / 3 : n;
        EXPECT_EQ(b->samples, stored);
        EXPECT_TRUE(GuardIntact(b)) << "nothing written past the clip";
        EXPECT_FALSE(b->unlock_mismatch);
        EXPECT_EQ(b->lock_flags, 0u) << "from the start of the buffer, not the write cursor";
        EXPECT_EQ(b->unlocked.region1, b->locked.region1);
        EXPECT_EQ(b->unlocked.region2, b->locked.region2);
        EXPECT_EQ(b->unlocked.length1, first);
        EXPECT_EQ(b->unlocked.length2, n - first);
        EXPECT_EQ(b->locked.length1 + b->locked.length2 > n, shape.overlong);
        ReleaseClip(clip);
    }
    EXPECT_EQ(recording_stats.last_window, window);
    EXPECT_EQ(recording_stats.last_cooperative_level, kCooperativeNormal);
    ReleaseSoundDevice();
}

TEST_F(Clips, FillRefusesNothingToFill) {
    StartGauge();
    uint8_t byte = 1;
    EXPECT_EQ(FillClipBuffer(nullptr, &byte, 1), 0);
    EXPECT_EQ(FillClipBuffer(CLICK, nullptr, 1), 0);
    EXPECT_EQ(FillClipBuffer(CLICK, &byte, 0), 0);
    EXPECT_EQ(recording_stats.unlock_calls, 6u);
}

TEST_F(Clips, MissingClipsLoadAsNull) {
    StartGauge();
    EXPECT_EQ(LoadWaveClip(nullptr, module_path, "PB5"), nullptr);
    EXPECT_EQ(LoadWaveClip(nullptr, "/no/such/module.so", "PB1"), nullptr);
    EXPECT_EQ(LoadWaveClip(nullptr, "", "PB1"), nullptr);
    EXPECT_EQ(recording_stats.buffers_created, 6u);
}

// Clips of another loaded module, found through its path as the gauge finds
// its own: an empty data chunk never leaves a buffer behind, whichever step
// refuses it, and a length that lies is never copied.
TEST_F(Clips, OddClipsLoadAsNullAndLeaveNothingBehind) {
    void* odd = dlopen(ODD_MODULE_PATH, RTLD_NOW);
    ASSERT_NE(odd, nullptr) << dlerror();
    StartGauge();
    const uint32_t created = recording_stats.buffers_created;

    SoundClip good = LoadWaveClip(nullptr, ODD_MODULE_PATH, "GOOD");
    ASSERT_NE(good, nullptr) << "the control clip loads from the other module";
    EXPECT_EQ(RecordedBufferOf(good)->samples, (std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x80}));
    ReleaseClip(good);

    EXPECT_EQ(LoadWaveClip(nullptr, ODD_MODULE_PATH, "EMPTY"), nullptr) << "device refuses 0 bytes";
    EXPECT_EQ(recording_stats.buffers_created, created + 1);

    recording_control.accept_empty = true;
    EXPECT_EQ(LoadWaveClip(nullptr, ODD_MODULE_PATH, "EMPTY"), nullptr) << "the fill refuses 0 bytes";
    EXPECT_EQ(recording_stats.buffers_created, created + 2);
    EXPECT_EQ(recording_stats.buffers_released, recording_stats.buffers_created - 6)
        << "the unfilled buffer was released";

    EXPECT_EQ(LoadWaveClip(nullptr, ODD_MODULE_PATH, "LIAR"), nullptr);
    EXPECT_EQ(recording_stats.buffers_created, created + 2) << "no buffer for a lying length";
    EXPECT_EQ(LoadWaveClip(nullptr, ODD_MODULE_PATH, "PB1"), nullptr) << "not in that module";
    dlclose(odd);
    EXPECT_EQ(dlopen(ODD_MODULE_PATH, RTLD_LAZY | RTLD_NOLOAD), nullptr)
        << "the gauge keeps no hold of its own on a module it looked into";
}

// A module that cannot take its own path, one whose path is too long for
// the 254 characters the gauge takes, and one whose file holds none of the
// six clips: every clip is null and the gauge runs on, silent.
void* real_instance = nullptr;

// A link of exactly `length` characters to the odd module, in `folder`.
std::string OddModuleLink(const std::string& folder, size_t length) {
    std::string link = folder + "/";
    link += std::string(length - link.size() - 3, 'm') + ".so";
    EXPECT_EQ(symlink(ODD_MODULE_PATH, link.c_str()), 0) << link;
    return link;
}

TEST_F(Clips, AModuleWithoutItsClipsRunsSilently) {
    char folder[] = "/tmp/vornak-clips-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fits = OddModuleLink(folder, 254), too_long = OddModuleLink(folder, 255);
    real_instance = module_instance;
    AttachHost();
    for (const std::string* link : {static_cast<const std::string*>(nullptr), &too_long, &fits}) {
        SCOPED_TRACE(link ? *link : "no path");
        void* odd = nullptr;
        module_instance = nullptr;
        if (link) {
            // The gauge takes its path from the odd module's instance, and is
            // itself again once its device opens, before the first look-up.
            odd = dlopen(link->c_str(), RTLD_NOW);
            ASSERT_NE(odd, nullptr) << dlerror();
            module_instance = dlsym(odd, "vornak_resource_directory");
            recording_control.on_call = [](const char* call, const void*, void*) {
                if (std::strcmp(call, "Create") == 0) module_instance = real_instance;
            };
        }
        HostInstall();
        HostInitialize();
        module_instance = real_instance;
        EXPECT_STREQ(module_path, link == &fits ? fits.c_str() : "");
        for (SoundClip* clip : kClipHandles) EXPECT_EQ(*clip, nullptr);
        EXPECT_EQ(recording_stats.buffers_created, 0u);
        pushback = kPushbackInitial;
        Click("plus");
        Tick();
        EXPECT_EQ(Display(), " 25sec");
        Set(kTokenOnGround, 1.0);
        Click("left");
        Tick(400);
        EXPECT_GT(pushback.push_ticks, 0) << "the sequence runs on";
        EXPECT_TRUE(plays.empty());
        HostKill();
        if (odd) dlclose(odd);
    }
    unlink(fits.c_str());
    unlink(too_long.c_str());
    rmdir(folder);
}

TEST_F(Clips, ReloadsReleaseEveryBufferAndDevice) {
    StartGauge();
    for (int i = 0; i < 200; ++i) HostReload();
    EXPECT_EQ(recording_stats.devices_created, 201u);
    EXPECT_EQ(recording_stats.devices_released, 200u);
    EXPECT_EQ(recording_stats.buffers_created - recording_stats.buffers_released, 6u);
    HostKill();
    EXPECT_EQ(sound_device, nullptr);
    for (SoundClip* c : kClipHandles) EXPECT_EQ(*c, nullptr);
}

}  // namespace
