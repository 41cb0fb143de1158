// Loading, playing and releasing clips on the recording device, including
// a device that refuses each step.
#include <dlfcn.h>

#include <cstring>
#include <vector>

#include "host/gauge.h"
#include "host/module.h"
#include "host/platform.h"
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

TEST_F(Clips, InitialiseLoadsSixFilledBuffersInOrder) {
    StartGauge();
    SoundClip clips[] = {PB1, PB2, PB3, PB4, CLICK, TUG};
    const char* names[] = {"PB1", "PB2", "PB3", "PB4", "CLICK", "TUG"};
    const uint32_t rates[] = {11025, 22050, 11025, 22050, 22255, 11025};
    const void* previous = nullptr;
    for (int i = 0; i < 6; ++i) {
        const RecordedBuffer* b = RecordedBufferOf(clips[i]);
        ASSERT_NE(b, nullptr) << names[i];
        EXPECT_EQ(b->samples, StoredSamples(names[i])) << names[i] << ": samples copied unchanged";
        StoredFormat f = ReadStoredFormat(b->format);
        EXPECT_EQ(f.tag, 1);
        EXPECT_EQ(f.channels, 1);
        EXPECT_EQ(f.rate, rates[i]) << names[i];
        EXPECT_EQ(b->flags, 0x000100E2u);
        EXPECT_NE(clips[i], previous);
        previous = clips[i];
    }
    EXPECT_EQ(recording_stats.buffers_created, 6u);
    EXPECT_EQ(recording_stats.devices_created, 1u) << "one device for the whole cycle";
    EXPECT_EQ(recording_stats.cooperative_calls, 6u);
    EXPECT_EQ(recording_stats.last_cooperative_level, kCooperativeNormal);
    EXPECT_EQ(recording_stats.last_window, host_window);
    EXPECT_EQ(recording_stats.speaker_calls, 6u);
    EXPECT_EQ(recording_stats.last_speaker_config, kSpeakerStereo);
    EXPECT_EQ(recording_stats.last_desc_size, sizeof(ClipBufferDesc));
    EXPECT_EQ(recording_stats.unlock_calls, 6u);
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

    recording_control.play_result = 1;   // a success code other than 0
    EXPECT_EQ(PlayClip(TUG, 0), 0);
    recording_control.play_result = static_cast<int32_t>(0x88780096);
    EXPECT_EQ(PlayClip(TUG, 0), 0);
}

TEST_F(Clips, NoDeviceMeansSilentNullClips) {
    recording_control.refuse_create = true;
    StartGauge();
    for (SoundClip c : {PB1, PB2, PB3, PB4, CLICK, TUG}) EXPECT_EQ(c, nullptr);
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

TEST_F(Clips, ASplitLockFillsBothRegions) {
    recording_control.split_lock = true;
    StartGauge();
    EXPECT_EQ(RecordedBufferOf(PB4)->samples, StoredSamples("PB4"));
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
}

TEST_F(Clips, AModuleThatCannotFindItselfRunsSilently) {
    void* saved = module_instance;
    module_instance = nullptr;   // its own path cannot be taken
    StartGauge();
    module_instance = saved;
    EXPECT_STREQ(module_path, "");
    for (SoundClip c : {PB1, PB2, PB3, PB4, CLICK, TUG}) EXPECT_EQ(c, nullptr);
    Click("plus");
    Tick();
    EXPECT_EQ(Display(), " 25sec");
}

TEST_F(Clips, ReloadsReleaseEveryBufferAndDevice) {
    StartGauge();
    for (int i = 0; i < 200; ++i) HostReload();
    EXPECT_EQ(recording_stats.devices_created, 201u);
    EXPECT_EQ(recording_stats.devices_released, 200u);
    EXPECT_EQ(recording_stats.buffers_created - recording_stats.buffers_released, 6u);
    HostKill();
    EXPECT_EQ(sound_device, nullptr);
    for (SoundClip c : {PB1, PB2, PB3, PB4, CLICK, TUG}) EXPECT_EQ(c, nullptr);
}

}  // namespace
