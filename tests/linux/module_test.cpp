// The Linux module as a host sees it: loaded with dlopen, its records and
// resources found by name, its clips on its own OpenAL device, and the panel
// drawn from it as panel-host draws it.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/gauge_names.h"
#include "hostsim/hostsim.h"
#include "module_file/module_loader.h"
#include "programs/panel-host/panel_draw.h"

namespace {

const uint32_t kRate = 22050;

// One module for the whole suite, as one simulator loads it once.
LoadedModule module;
std::vector<std::string> clips_started;

void Observe(const char* name, void*) { clips_started.push_back(name); }

class LinuxModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string problem;
        ASSERT_TRUE(LoadModule(VORNAK_MODULE, &module, &problem)) << problem;
    }
    void SetUp() override {
        ASSERT_NE(module.handle, nullptr);
        HostReset();
        ASSERT_TRUE(HostAttach(module.import_table, module.linkage));
        clips_started.clear();
        module.set_clip_observer(Observe, nullptr);
    }
    void TearDown() override {
        if (host.initialized) HostKill();
        module.set_clip_observer(nullptr, nullptr);
        module.audio_loopback(0);
    }
    void Start(bool loopback) {
        ASSERT_EQ(module.audio_loopback(loopback ? kRate : 0), 1);
        HostSetValue(kTokenOnGround, 1.0);
        HostSetValue(kTokenParkingBrake, 32767.0);
        HostInstall();
        HostInitialize();
    }
    static VornakAudioCounts Counts() {
        VornakAudioCounts c;
        module.audio_counts(&c);
        return c;
    }
    static double MixRms(uint32_t frames) {
        std::vector<int16_t> mix(size_t(frames) * 2);
        module.audio_render(mix.data(), frames);
        double sum = 0;
        for (int16_t s : mix) sum += double(s) * s;
        return std::sqrt(sum / mix.size()) / 32768.0;
    }
    static void Click(int32_t child) {
        int32_t x, y;
        ASSERT_TRUE(HostChildCentre(child, &x, &y));
        HostClick(x, y);
    }
};

TEST_F(LinuxModule, ExportsOnlyWhatAHostLooksUp) {
    EXPECT_NE(dlsym(module.handle, "Linkage"), nullptr);
    EXPECT_NE(dlsym(module.handle, "ImportTable"), nullptr);
    EXPECT_NE(dlsym(module.handle, "vornak_resource_directory"), nullptr);
    for (const char* inside : {"PushbackTick", "pushback", "GaugeKill", "kSoundDevice", "LoadWaveClip",
                               "_Z12PushbackTickP7Element", "_Z9GaugeKillv", "_Z8PlayClipPvj"})
        EXPECT_EQ(dlsym(module.handle, inside), nullptr) << inside;
    ASSERT_NE(module.resources, nullptr);
    for (const char* clip : kClipNames)
        EXPECT_NE(ModuleResource(module, "WAV", clip, 0), nullptr) << clip;
    EXPECT_NE(ModuleResource(module, "BITMAP", nullptr, 255), nullptr);
}

TEST_F(LinuxModule, EveryKillReleasesEveryOpenAlObject) {
    Start(true);
    for (int cycle = 0; cycle < 100; ++cycle) {
        VornakAudioCounts live = Counts();
        ASSERT_EQ(live.devices, 1u) << "cycle " << cycle;
        ASSERT_EQ(live.contexts, 1u);
        ASSERT_EQ(live.buffers, 6u);
        ASSERT_EQ(live.sources, 6u);
        Click(2);   // a sounding clip at the kill must not keep anything alive
        HostKill();
        VornakAudioCounts gone = Counts();
        ASSERT_EQ(gone.devices + gone.contexts + gone.buffers + gone.sources, 0u) << "cycle " << cycle;
        HostInstall();
        HostInitialize();
    }
}

TEST_F(LinuxModule, ClickSoundsFromItsFirstSampleAndRestartsRatherThanLayering) {
    Start(true);
    EXPECT_LT(MixRms(kRate / 10), 0.001);
    Click(3);   // plus
    ASSERT_EQ(clips_started, std::vector<std::string>{"CLICK"});
    const double once = MixRms(kRate / 50);
    EXPECT_GT(once, 0.01);
    Click(3);
    const double restarted = MixRms(kRate / 50);
    EXPECT_NEAR(restarted, once, once * 0.15) << "a second start must not add to the first";
    Click(2);   // minus, back to 20
    MixRms(kRate / 2);
    EXPECT_LT(MixRms(kRate / 10), 0.001) << "the click must end";
}

TEST_F(LinuxModule, WithoutASoundCardTheClipsAreNullAndTheGaugeRunsOn) {
    Start(false);
    VornakAudioCounts c = Counts();
    if (c.devices != 0) GTEST_SKIP() << "this machine has an audio device";
    Click(0);
    HostSetValue(kTokenHeading, 10.0);
    for (int i = 0; i < 120; ++i) HostFrame();
    EXPECT_TRUE(clips_started.empty());
    EXPECT_EQ(HostIconValue(kBitmapLeftLamp), 1.0);
    EXPECT_EQ(HostDisplayColour(), 0x0000DEDEu);
}

// The panel drawn from the module: face, lamps over the chosen button only,
// the text in the tick's colour inside the display box only.
TEST_F(LinuxModule, SnapshotShowsTheChosenLampAndTheTextInItsColour) {
    Start(true);
    PanelArt art;
    std::string problem;
    ASSERT_TRUE(LoadPanelArt(module, &art, &problem)) << problem;
    HostFrame();
    Image idle;
    DrawPanel(art, &idle);
    ASSERT_EQ(idle.w, 172);
    ASSERT_EQ(idle.h, 78);

    Click(0);   // tail left: left lamp, yellow countdown once arming
    HostFrame();
    HostFrame();
    ASSERT_EQ(HostIconValue(kBitmapLeftLamp), 1.0);
    ASSERT_EQ(HostIconValue(kBitmapRightLamp), -1.0);
    Image lit;
    DrawPanel(art, &lit);

    const IconElement* left = nullptr;
    const IconElement* right = nullptr;
    for (int32_t i = 0; i < host.icon_count; ++i)
        (host.icons[i].element->header.bitmap == kBitmapLeftLamp ? left : right) = host.icons[i].element;
    ASSERT_TRUE(left && right);
    const Image& lamp = art.lamps[art.lamp_bitmaps[0] == kBitmapLeftLamp ? 0 : 1];
    const TextElement* d = host.display;
    auto in_box = [&](int32_t x, int32_t y) {
        return x >= d->header.x && y >= d->header.y && x < d->header.x + d->box_w && y < d->header.y + d->box_h;
    };
    auto in_left = [&](int32_t x, int32_t y) {
        return x >= left->header.x && y >= left->header.y && x < left->header.x + lamp.w && y < left->header.y + lamp.h;
    };
    int lamp_pixels = 0, text_pixels = 0;
    const uint32_t yellow = RgbFromColorref(HostDisplayColour());
    ASSERT_EQ(yellow, 0xDEDE00u);
    for (int32_t y = 0; y < lit.h; ++y)
        for (int32_t x = 0; x < lit.w; ++x) {
            const uint32_t p = ImageAt(lit, x, y);
            if (in_left(x, y)) {
                const uint32_t l = ImageAt(lamp, x - left->header.x, y - left->header.y);
                EXPECT_EQ(p, l != 0 ? l : ImageAt(art.face, x, y)) << x << "," << y;
                lamp_pixels += l != 0 && l != ImageAt(art.face, x, y);
            } else if (in_box(x, y)) {
                EXPECT_TRUE(p == yellow || p == RgbFromColorref(d->background_colour)) << x << "," << y;
                text_pixels += p == yellow;
            } else {
                // The right button, and everything else, is the face.
                ASSERT_EQ(p, ImageAt(art.face, x, y)) << x << "," << y;
            }
        }
    EXPECT_GT(lamp_pixels, 200);
    EXPECT_GT(text_pixels, 20);
    // Idle, the same text is grey: the colour follows the tick.
    int grey = 0;
    for (int32_t y = 0; y < idle.h; ++y)
        for (int32_t x = 0; x < idle.w; ++x) grey += in_box(x, y) && ImageAt(idle, x, y) == 0xDEDEDEu;
    EXPECT_GT(grey, 20);
    FreePanelArt(&art);
}

// A module's display font name may be empty (the host's default font) or
// fill all 32 bytes without a terminator; either way the host reads no byte
// past it (the sanitizer build checks).
TEST_F(LinuxModule, AnEmptyOrFullFontNameIsReadWithinItsBytes) {
    Start(true);
    ASSERT_NE(host.display, nullptr);
    char saved[sizeof host.display->font_name];
    std::memcpy(saved, host.display->font_name, sizeof saved);
    for (char fill : {'\0', 'x'}) {
        std::memset(host.display->font_name, fill, sizeof saved);
        PanelArt art;
        std::string problem;
        EXPECT_TRUE(LoadPanelArt(module, &art, &problem)) << problem;
        EXPECT_NE(art.font, nullptr);
        FreePanelArt(&art);
    }
    std::memcpy(host.display->font_name, saved, sizeof saved);
}

TEST(DibDecoding, RefusesBitmapsThatDoNotFitTheirStoredSize) {
    // 2 x 2, 8 bits, two palette entries.
    std::vector<uint8_t> dib(40 + 8 + 8, 0);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) dib[at + i] = uint8_t(v >> (8 * i)); };
    put32(0, 40);
    put32(4, 2);
    put32(8, 2);
    dib[12] = 1;
    dib[14] = 8;
    put32(32, 2);
    dib[40 + 2] = 0xFF;               // entry 0 red
    dib[44 + 0] = 0xFF;               // entry 1 blue
    dib[48 + 0] = 1;                  // bottom row: blue, red
    Image image;
    ASSERT_TRUE(DecodeDib(dib.data(), uint32_t(dib.size()), &image));
    EXPECT_EQ(ImageAt(image, 0, 1), 0x0000FFu);
    EXPECT_EQ(ImageAt(image, 1, 1), 0xFF0000u);
    EXPECT_FALSE(DecodeDib(dib.data(), uint32_t(dib.size() - 1), &image));
    dib[48 + 4] = 2;                  // an index past the palette
    EXPECT_FALSE(DecodeDib(dib.data(), uint32_t(dib.size()), &image));
    dib[48 + 4] = 0;
    put32(16, 1);                     // run-length compressed
    EXPECT_FALSE(DecodeDib(dib.data(), uint32_t(dib.size()), &image));
    put32(16, 0);
    put32(4, 0x7FFFFFFF);             // absurd width
    EXPECT_FALSE(DecodeDib(dib.data(), uint32_t(dib.size()), &image));
    EXPECT_FALSE(DecodeDib(dib.data(), 39, &image));
}

}  // namespace
