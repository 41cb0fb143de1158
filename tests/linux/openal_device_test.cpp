// The OpenAL sound device on its own: formats, locking, play and restart,
// and the order in which clips and the device may be released. Every case
// runs on a loopback device, which needs no sound card, and listens to what
// the device actually mixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/module.h"
#include "host/module_extras.h"
#include "platform/platform.h"
#include "sound/clip.h"
#include "sound/sound_device.h"
#include "sound/wave_reader.h"

namespace {

const uint32_t kRate = 22050;

// A 16-byte fmt body: tag, channels, rate, bytes a second, block, bits.
std::vector<uint8_t> Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t block_align,
                            uint16_t bits) {
    std::vector<uint8_t> f;
    const uint32_t words[] = {tag | uint32_t(channels) << 16, rate, rate * block_align,
                              block_align | uint32_t(bits) << 16};
    for (uint32_t v : words)
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(v >> (8 * i)));
    return f;
}

double Rms(const std::vector<int16_t>& mix) {
    double sum = 0;
    for (int16_t s : mix) sum += double(s) * s;
    return mix.empty() ? 0.0 : std::sqrt(sum / mix.size()) / 32768.0;
}

std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> mix(size_t(frames) * 2);
    EXPECT_EQ(vornak_audio_render(mix.data(), frames), frames);
    return mix;
}

uint64_t clock_ms = 0;

// Without a sound card the default device is asked for again only once two
// seconds have passed since it failed: a card that appears (ALSA's
// configuration gaining a device) is taken up then, not before. OpenAL reads
// its drivers once per process, before any other test here uses it.
TEST(OpenAlDefaultDevice, IsAskedForAgainTwoSecondsAfterItFailedToOpen) {
    const std::string none = ::testing::TempDir() + "no-card.conf", card = ::testing::TempDir() + "card.conf";
    std::ofstream(none) << "\n";
    std::ofstream(card) << "pcm.!default { type null }\n";
    const char* drivers = std::getenv("ALSOFT_DRIVERS");
    const std::string drivers_before = drivers ? drivers : "";
    setenv("ALSOFT_DRIVERS", "alsa", 1);
    setenv("ALSA_CONFIG_PATH", none.c_str(), 1);
    uint64_t (*steady)() = vornak_openal_clock;
    vornak_openal_clock = [] { return clock_ms; };
    void* device = nullptr;
    clock_ms = 1000;
    ASSERT_NE(kSoundDevice.Create(&device), 0) << "OpenAL was started in this process before";
    setenv("ALSA_CONFIG_PATH", card.c_str(), 1);
    clock_ms += 1999;
    EXPECT_NE(kSoundDevice.Create(&device), 0) << "asked again within two seconds";
    clock_ms += 1;
    EXPECT_EQ(kSoundDevice.Create(&device), 0) << "not asked again after two seconds";
    EXPECT_NE(device, nullptr);
    if (device) kSoundDevice.ReleaseDevice(device);
    vornak_openal_clock = steady;
    unsetenv("ALSA_CONFIG_PATH");
    drivers ? setenv("ALSOFT_DRIVERS", drivers_before.c_str(), 1) : unsetenv("ALSOFT_DRIVERS");
}

class OpenAlDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(vornak_audio_loopback(kRate), 1) << "OpenAL without ALC_SOFT_loopback";
        ASSERT_EQ(kSoundDevice.Create(&device), 0);
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override {
        for (void* b : buffers) kSoundDevice.ReleaseBuffer(b);
        if (device) kSoundDevice.ReleaseDevice(device);
        VornakAudioCounts c;
        vornak_audio_counts(&c);
        EXPECT_EQ(c.devices + c.contexts + c.buffers + c.sources, 0u);
        vornak_audio_loopback(0);
    }
    // A filled 8-bit mono clip of a square wave at the device's own rate.
    void* Clip(uint32_t frames, uint8_t high = 200, uint8_t low = 56) {
        std::vector<uint8_t> format = Format(1, 1, kRate, 1, 8);
        ClipBufferDesc desc = {sizeof desc, kClipBufferFlags, frames, 0, format.data()};
        void* buffer = nullptr;
        EXPECT_EQ(kSoundDevice.CreateBuffer(device, &desc, &buffer), 0);
        void *r1, *r2;
        uint32_t l1, l2;
        EXPECT_EQ(kSoundDevice.Lock(buffer, 0, frames, &r1, &l1, &r2, &l2, 0), 0);
        for (uint32_t i = 0; i < l1; ++i) static_cast<uint8_t*>(r1)[i] = (i / 20) % 2 ? high : low;
        EXPECT_EQ(kSoundDevice.Unlock(buffer, r1, l1, r2, l2), 0);
        buffers.push_back(buffer);
        return buffer;
    }
    // One of the six clips stored in this program, loaded as the gauge loads it.
    void* StoredClip(const char* name) {
        char path[256];
        const uint8_t *format = nullptr, *data = nullptr;
        uint32_t size = 0;
        EXPECT_GT(ModuleFileName(module_instance, path, sizeof path), 0u);
        EXPECT_EQ(FindWaveResource(ModuleFromPath(path), name, &format, &data, &size), 1) << name;
        ClipBufferDesc desc = {sizeof desc, kClipBufferFlags, size, 0, format};
        void* buffer = nullptr;
        EXPECT_EQ(kSoundDevice.CreateBuffer(device, &desc, &buffer), 0) << name;
        EXPECT_EQ(FillClipBuffer(buffer, data, size), 1) << name;
        return buffer;
    }
    void* device = nullptr;
    std::vector<void*> buffers;
};

TEST_F(OpenAlDevice, AcceptsPcmOfEightAndSixteenBitsDerivedFromTheBlockAlignment) {
    struct Case { uint16_t tag, channels, block, bits; bool ok; uint32_t rate = kRate, frames = 64; };
    const Case cases[] = {
        {1, 1, 1, 8, true},     // the clips' own format
        {1, 2, 2, 8, true},
        {1, 1, 2, 16, true},
        {1, 2, 4, 16, true},
        {1, 1, 2, 8, true},     // the stored bits field is not read: 2 bytes a frame is 16-bit
        {3, 1, 4, 32, false},   // float
        {1, 3, 3, 8, false},    // three channels
        {1, 2, 3, 8, false},    // a block that does not split into the channels
        {1, 1, 3, 24, false},
        {1, 1, 0, 8, false},
        {1, 1, 1, 8, false, 0},          // no rate
        {1, 1, 1, 8, false, kRate, 0},   // no frames
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> format = Format(c.tag, c.channels, c.rate, c.block, c.bits);
        ClipBufferDesc desc = {sizeof desc, kClipBufferFlags, c.frames, 0, format.data()};
        void* buffer = reinterpret_cast<void*>(1);
        const int32_t result = kSoundDevice.CreateBuffer(device, &desc, &buffer);
        EXPECT_EQ(result >= 0, c.ok) << "tag " << c.tag << " channels " << c.channels << " block " << c.block
                                     << " rate " << c.rate << " frames " << c.frames;
        EXPECT_EQ(buffer != nullptr, c.ok);
        if (buffer) buffers.push_back(buffer);
    }
    void* buffer = reinterpret_cast<void*>(1);
    EXPECT_LT(kSoundDevice.CreateBuffer(device, nullptr, &buffer), 0);
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(OpenAlDevice, LockStaysInsideTheClip) {
    void* clip = Clip(100);
    void *r1, *r2;
    uint32_t l1, l2;
    ASSERT_EQ(kSoundDevice.Lock(clip, 40, 1000, &r1, &l1, &r2, &l2, 0), 0);
    EXPECT_EQ(l1, 60u);
    EXPECT_EQ(r2, nullptr);
    EXPECT_EQ(l2, 0u);
    kSoundDevice.Unlock(clip, r1, l1, r2, l2);
    EXPECT_LT(kSoundDevice.Lock(clip, 100, 1, &r1, &l1, &r2, &l2, 0), 0);
    EXPECT_LT(kSoundDevice.Lock(clip, 0, 0, &r1, &l1, &r2, &l2, 0), 0);
    ASSERT_EQ(kSoundDevice.Lock(clip, 99, 0, &r1, &l1, &r2, &l2, 2 /* entire buffer */), 0);
    EXPECT_EQ(l1, 100u);
    kSoundDevice.Unlock(clip, r1, l1, r2, l2);
}

TEST_F(OpenAlDevice, PlaysOnceFromTheFirstSampleAndThenFallsSilent) {
    void* clip = Clip(kRate / 10);   // a tenth of a second
    EXPECT_LT(Rms(Render(kRate / 10)), 0.001);
    EXPECT_EQ(kSoundDevice.SetCurrentPosition(clip, 0), 0);
    EXPECT_EQ(kSoundDevice.Play(clip, 0, 0, 0), 0);
    EXPECT_GT(Rms(Render(kRate / 20)), 0.2);
    Render(kRate / 20 + 64);
    EXPECT_LT(Rms(Render(kRate / 10)), 0.001) << "a clip played with flags 0 must stop at its end";
}

TEST_F(OpenAlDevice, PlayingAgainRestartsInsteadOfLayering) {
    void* clip = Clip(kRate / 5);
    kSoundDevice.SetCurrentPosition(clip, 0);
    kSoundDevice.Play(clip, 0, 0, 0);
    const std::vector<int16_t> first = Render(kRate / 20);
    kSoundDevice.SetCurrentPosition(clip, 0);
    kSoundDevice.Play(clip, 0, 0, 0);
    const std::vector<int16_t> again = Render(kRate / 20);
    // Layered, the second start would add to the first's continuation.
    double largest = 0;
    for (size_t i = 64; i < first.size(); ++i) largest = std::max(largest, std::fabs(double(first[i]) - again[i]));
    EXPECT_LT(largest, 600.0);
    EXPECT_LT(Rms(again), Rms(first) * 1.1);
}

// The tug and another of the stored clips started on the same tick are
// heard together, centred: the mix is the two clips' sum.
TEST_F(OpenAlDevice, TheTugAndAnotherClipStartedTogetherAreBothHeard) {
    const uint32_t frames = kRate / 2;
    auto solo = [&](const char* name) {
        void* clip = StoredClip(name);
        kSoundDevice.Play(clip, 0, 0, 0);
        std::vector<int16_t> mix = Render(frames);
        kSoundDevice.ReleaseBuffer(clip);
        return mix;
    };
    const std::vector<int16_t> tug = solo("TUG"), pb2 = solo("PB2");
    void* a = StoredClip("TUG");
    void* b = StoredClip("PB2");
    buffers.insert(buffers.end(), {a, b});
    kSoundDevice.Play(a, 0, 0, 0);
    kSoundDevice.Play(b, 0, 0, 0);
    const std::vector<int16_t> both = Render(frames);
    EXPECT_GT(Rms(tug), 0.01);
    EXPECT_GT(Rms(pb2), 0.01);
    std::vector<int16_t> rest(both.size());
    for (size_t i = 0; i < both.size(); ++i)
        rest[i] = static_cast<int16_t>(std::clamp(both[i] - tug[i] - pb2[i], -32768, 32767));
    EXPECT_LT(Rms(rest), 0.1 * Rms(both)) << "the mix is the sum of the two clips";
    // Centred: both sides alike, up to the device's dither.
    for (size_t i = 0; i + 1 < both.size(); i += 2) ASSERT_LE(std::abs(both[i] - both[i + 1]), 2) << i;
}

TEST_F(OpenAlDevice, TheDeviceOutlivesItsReleaseUntilTheLastClipGoes) {
    void* a = Clip(64);
    void* b = Clip(64);
    buffers.clear();
    EXPECT_EQ(kSoundDevice.ReleaseDevice(device), 2u);
    VornakAudioCounts c;
    vornak_audio_counts(&c);
    EXPECT_EQ(c.devices, 1u);
    EXPECT_EQ(c.sources, 2u);
    kSoundDevice.ReleaseBuffer(a);
    vornak_audio_counts(&c);
    EXPECT_EQ(c.devices, 1u);
    // A new initialise in between takes the same device up again.
    void* again = nullptr;
    ASSERT_EQ(kSoundDevice.Create(&again), 0);
    EXPECT_EQ(again, device);
    kSoundDevice.ReleaseDevice(again);
    kSoundDevice.ReleaseBuffer(b);
    vornak_audio_counts(&c);
    EXPECT_EQ(c.devices + c.contexts + c.buffers + c.sources, 0u);
    device = nullptr;
}

TEST(OpenAlLoopback, RefusesRatesOutOfRangeAndRendersSilenceWithoutADevice) {
    EXPECT_EQ(vornak_audio_loopback(7999), 0);
    EXPECT_EQ(vornak_audio_loopback(192001), 0);
    std::vector<int16_t> mix(20, 7);
    EXPECT_EQ(vornak_audio_render(mix.data(), 10), 0u);
    for (int16_t s : mix) EXPECT_EQ(s, 0);
    EXPECT_EQ(vornak_audio_render(nullptr, 10), 0u);
}

}  // namespace
