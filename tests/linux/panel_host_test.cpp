// panel-host as a person runs it: whole pushbacks with their timeline, the
// sound they leave in a WAV file, the pictures, and the refusals.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/image_files.h"

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempDir() {
    char pattern[] = "/tmp/panel-host-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

Result RunHost(const std::string& args, const std::string& env = "") {
    static const std::string dir = TempDir();
    const std::string cmd = env + " " + PANEL_HOST + " " + args + " >" + dir + "/out 2>" + dir + "/err";
    Result r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(dir + "/out");
    r.err = Slurp(dir + "/err");
    return r;
}

// "mm:ss.t" at the start of a timeline line, in seconds.
double LineTime(const std::string& line) {
    int m = 0, s = 0, t = 0;
    if (std::sscanf(line.c_str(), "%d:%d.%d", &m, &s, &t) != 3) return -1;
    return m * 60 + s + t / 10.0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

struct Wav {
    uint32_t rate = 0;
    std::vector<int16_t> samples;   // stereo, interleaved
    double Rms(double from, double to) const {
        size_t a = size_t(std::max(0.0, from) * rate) * 2, b = size_t(std::max(0.0, to) * rate) * 2;
        b = std::min(b, samples.size());
        double sum = 0;
        for (size_t i = a; i < b; ++i) sum += double(samples[i]) * samples[i];
        return b > a ? std::sqrt(sum / (b - a)) / 32768.0 : 0.0;
    }
};

bool ReadWav(const std::string& path, Wav* wav) {
    const std::string bytes = Slurp(path);
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return false;
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
        return v;
    };
    if (le(20, 2) != 1 || le(22, 2) != 2 || le(34, 2) != 16) return false;
    wav->rate = le(24, 4);
    const uint32_t data = le(40, 4);
    if (data != bytes.size() - 44) return false;
    wav->samples.resize(data / 2);
    for (size_t i = 0; i < wav->samples.size(); ++i) wav->samples[i] = int16_t(le(44 + 2 * i, 2));
    return true;
}

double TurnOff(const std::string& out) {
    size_t at = out.find("turn ended at ");
    double heading = 0, off = -1;
    if (at == std::string::npos || std::sscanf(out.c_str() + at, "turn ended at %lf (%lf off)", &heading, &off) != 2)
        return 1e9;
    return off;
}

// The default run, once for all the checks on it.
class DefaultRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new std::string(TempDir());
        result = new Result(RunHost("run --audio " + *dir + "/push.wav --snapshot " + *dir + "/panel.png --at 30 --path " +
                                *dir + "/track.png --frames " + *dir + "/frames"));
    }
    static void TearDownTestSuite() {
        std::system(("rm -rf " + *dir).c_str());
        delete result;
        delete dir;
    }
    static std::string* dir;
    static Result* result;
};
std::string* DefaultRun::dir = nullptr;
Result* DefaultRun::result = nullptr;

TEST_F(DefaultRun, ReachesTheResetWithEveryPhaseAndClipOnTheTimeline) {
    ASSERT_EQ(result->status, 0) << result->err;
    const std::string& out = result->out;
    EXPECT_NE(out.find("reset: the gauge is idle again"), std::string::npos);
    for (const char* phase : {" arming ", " release wait ", " straight push ", " turn ", " after turn ",
                              " wrap-up ", " final "})
        EXPECT_NE(out.find(phase), std::string::npos) << phase;
    std::vector<std::string> order;
    for (const std::string& line : Lines(out)) {
        size_t at = line.find("clip ");
        if (at != std::string::npos && line.find(" starts") != std::string::npos)
            order.push_back(line.substr(at + 5, line.find(' ', at + 5) - at - 5));
    }
    ASSERT_GE(order.size(), 6u);
    EXPECT_EQ(order[0], "CLICK");
    EXPECT_EQ(order[1], "PB1");
    EXPECT_EQ(order[2], "PB2");
    EXPECT_EQ(order[3], "TUG");
    EXPECT_EQ(order[order.size() - 2], "PB3");
    EXPECT_EQ(order.back(), "PB4");
    // The pilot acts on what he heard, a moment after.
    const size_t pb1 = out.find("clip PB1 starts"), release = out.find("pilot releases the parking brake");
    ASSERT_NE(release, std::string::npos);
    EXPECT_LT(pb1, release);
    EXPECT_LT(out.find("clip PB3 starts"), out.find("pilot sets the parking brake"));
    EXPECT_LT(TurnOff(out), 1.0);
}

TEST_F(DefaultRun, TheRecordingIsSilentBeforeTheFirstClickAndLoudAfterEveryClipStart) {
    ASSERT_EQ(result->status, 0) << result->err;
    Wav wav;
    ASSERT_TRUE(ReadWav(*dir + "/push.wav", &wav));
    ASSERT_EQ(wav.rate, 22050u);
    double first_click = -1, last = 0;
    int clips = 0;
    for (const std::string& line : Lines(result->out)) {
        const double t = LineTime(line);
        if (t < 0) continue;
        last = t;
        if (first_click < 0 && line.find("pilot") != std::string::npos) first_click = t;
        if (line.find("clip ") != std::string::npos && line.find(" starts") != std::string::npos) {
            ++clips;
            EXPECT_GT(wav.Rms(t, t + 1.0), 0.01) << line;
        }
    }
    ASSERT_GT(first_click, 0.5);
    EXPECT_GE(clips, 20);
    EXPECT_LT(wav.Rms(0, first_click), 0.0005);
    // As long as the run: one update's worth of sound per update.
    EXPECT_NEAR(double(wav.samples.size()) / 2 / wav.rate, last, 0.2);
}

TEST_F(DefaultRun, LeavesThePanelTheTrackAndOneFrameASecond) {
    ASSERT_EQ(result->status, 0) << result->err;
    Image panel, track, frame;
    ASSERT_TRUE(ReadPng(*dir + "/panel.png", &panel));
    EXPECT_EQ(panel.w, 172);
    EXPECT_EQ(panel.h, 78);
    int yellow = 0;
    for (uint32_t p : panel.px) yellow += p == 0xDEDE00u;
    EXPECT_GT(yellow, 10) << "at 30 s the countdown shows in yellow";
    ASSERT_TRUE(ReadPng(*dir + "/track.png", &track));
    EXPECT_EQ(track.w, 480);
    ASSERT_TRUE(ReadPng(*dir + "/frames/frame_0000.png", &frame));
    EXPECT_TRUE(ReadPng(*dir + "/frames/frame_0060.png", &frame));
}

TEST(PanelHostRun, TurnsRightAcrossNorthAndEndsWithinADegree) {
    // Heading 45, tail right: the target is 315, through 0.
    Result r = RunHost("run --right --heading 45 --timer 5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("target 315"), std::string::npos);
    EXPECT_NE(r.out.find("pilot lowers the push time"), std::string::npos);
    EXPECT_LT(TurnOff(r.out), 1.0);
    EXPECT_NE(r.out.find("reset: the gauge is idle again"), std::string::npos);
}

TEST(PanelHostRun, RefusesWhatItCannotDoWithOneLineAndStatusTwo) {
    const char* bad[] = {
        "",
        "fly",
        "run --timer 7",
        "run --timer 0",
        "run --heading 360",
        "run --heading north",
        "run --left --right",
        "run --at 10",
        "run --snapshot",
        "run --audio /nonexistent-folder/a.wav",
        "replay",
        "replay /nonexistent.script",
        "--module /nonexistent.so run",
        "--module " PANEL_HOST " run",   // a file, but not a module
        "--window --left",
        "replay x --realtime",
    };
    for (const char* args : bad) {
        Result r = RunHost(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(Lines(r.err).size(), 1u) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("panel-host: ", 0), 0u) << args;
    }
}

TEST(PanelHostRun, WindowModeWithoutADisplaySaysSoAndStops) {
    Result r = RunHost("--window", "timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
}

}  // namespace
