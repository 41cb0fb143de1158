// panel-host and gauge-replay as a person runs them: whole pushbacks with
// their timeline, the sound they leave in a WAV file, the pictures, the
// null sound output, the help, and the refusals.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "programs/panel-host/png_files.h"

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

Result RunProgram(const std::string& program, const std::string& args, const std::string& env = "") {
    static const std::string dir = TempDir();
    const std::string cmd = env + " " + program + " " + args + " >" + dir + "/out 2>" + dir + "/err";
    Result r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(dir + "/out");
    r.err = Slurp(dir + "/err");
    return r;
}

Result RunHost(const std::string& args, const std::string& env = "") { return RunProgram(PANEL_HOST, args, env); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every occurrence of `from` in `text` replaced.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

// An environment in which no sound device opens, whatever the machine has.
std::string NoSoundCard() {
    static const std::string dir = TempDir();
    WriteFile(dir + "/alsa.conf", "");
    return "env -u ALSOFT_DRIVERS ALSA_CONFIG_PATH=" + dir + "/alsa.conf PULSE_SERVER=/nonexistent";
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
    if (le(4, 4) != bytes.size() - 8 || le(20, 2) != 1 || le(22, 2) != 2 || le(34, 2) != 16) return false;
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
        // An earlier, longer run's frames, and a file of the user's.
        mkdir((*dir + "/frames").c_str(), 0777);
        WriteFile(*dir + "/frames/frame_0500.png", "old");
        WriteFile(*dir + "/frames/notes.txt", "mine");
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
    // A repeated event is one line naming its whole span, and no repeat
    // outlives the reset.
    int spans = 0;
    for (const std::string& line : Lines(out)) {
        const size_t at = line.find("was sent again on each update from ");
        if (at == std::string::npos) continue;
        ++spans;
        const double from = LineTime(line.substr(at + 35)), to = LineTime(line.substr(line.find(" to ", at) + 4));
        EXPECT_LE(from, to) << line;
        EXPECT_DOUBLE_EQ(to, LineTime(line)) << "stamped where the repeats end: " << line;
        EXPECT_LT(out.find(line), out.find("reset: the gauge is idle again")) << line;
    }
    EXPECT_GE(spans, 1);
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
    // At 30 s, mid-push, the chosen lamp (tail left) is lit over its button:
    // its pixels differ from the idle face of the first frame, the other's not.
    auto changed = [&](int32_t x0) {
        int n = 0;
        for (int32_t y = 27; y < 49; ++y)
            for (int32_t x = x0; x < x0 + 29; ++x) n += ImageAt(panel, x, y) != ImageAt(frame, x, y);
        return n;
    };
    EXPECT_GT(changed(13), 100) << "the left lamp is lit";
    EXPECT_EQ(changed(57), 0) << "the right lamp is dark";
    EXPECT_TRUE(ReadPng(*dir + "/frames/frame_0060.png", &frame));
    // A fresh set of frames: the earlier run's are gone, the user's file stays.
    EXPECT_TRUE(Slurp(*dir + "/frames/frame_0500.png").empty());
    EXPECT_EQ(Slurp(*dir + "/frames/notes.txt"), "mine");
    // Every file written is named.
    for (const std::string& wrote : {"wrote " + *dir + "/push.wav: ", "wrote " + *dir + "/panel.png: the panel at 30.0 s",
                                     "wrote " + *dir + "/track.png: ", std::string("(1 frame of an earlier run removed)")})
        EXPECT_NE(result->out.find(wrote), std::string::npos) << wrote;
}

TEST(PanelHostRun, EndsTheTurnWithinADegreeAcrossNorthAndWithAPushTimeOfZero) {
    const std::string dir = TempDir();
    struct { std::string args, target, also; } cases[] = {
        // Heading 45, tail right: the target is 315, through 0.
        {"run --right --heading 45 --timer 5", "target 315", "pilot lowers the push time"},
        // No turn comes at the end of a push time of 0: the pilot raises it.
        {"run --timer 0 --snapshot " + dir + "/end.png --at 3000", "target 90",
         "push time 0 gives no turn: pilot raises it to 5 s during the push"},
        // A heading is cut to its hundredths, as given, never rounded up to 360.
        {"run --heading 359.9999999999 --timer 5", "heading 359.99, target 89", "turning from heading 359.99 "},
    };
    for (const auto& c : cases) {
        Result r = RunHost(c.args, NoSoundCard());
        ASSERT_EQ(r.status, 0) << c.args << r.err;
        EXPECT_NE(r.out.find(c.target), std::string::npos) << c.args;
        EXPECT_NE(r.out.find(c.also), std::string::npos) << c.args;
        EXPECT_LT(TurnOff(r.out), 1.0) << c.args;
        EXPECT_NE(r.out.find("reset: the gauge is idle again"), std::string::npos) << c.args;
    }
    EXPECT_NE(RunHost("run --timer 0 --snapshot " + dir + "/end.png --at 3000", NoSoundCard()).out.find(
                  "the end of the run (--at 3000 is past it)"),
              std::string::npos);
}

// Without a sound card the clips play on OpenAL's null output: they start
// and the pilot hears them; where the module's device does not open at all
// (no driver OpenAL can use) no clip starts. Either way one line says that
// the crew cannot be heard, the libraries' own lines appear only with
// --verbose, and the timeline says when the gauge's schedule lets the
// brake be released and asks for it to be set, as the crew would have.
// A host started ignoring SIGCHLD (its probe's child is then reaped unseen)
// must not take the missing card for one that opens.
TEST(PanelHostRun, WithoutASoundDeviceOneLineSaysSoAndTheScheduleStandsInForTheCrew) {
    struct { std::string env; bool clips; } cases[] = {
        {NoSoundCard(), true}, {"env --ignore-signal=CHLD " + NoSoundCard(), true}, {"ALSOFT_DRIVERS=none", false}};
    for (const auto& c : cases) {
        const std::string& env = c.env;
        Result r = RunHost("run", env);
        ASSERT_EQ(r.status, 0) << env << ": " << r.err;
        EXPECT_EQ(r.err, "panel-host: no sound device: the crew cannot be heard\n") << env;
        EXPECT_EQ(r.out.find("clip PB1 starts") != std::string::npos, c.clips) << env;
        EXPECT_EQ(r.out.find("no word from the crew") != std::string::npos, !c.clips)
            << env << ": the pilot hears what is played, even where nobody can";
        EXPECT_EQ(r.out.find(" 0 clips started") != std::string::npos, !c.clips) << env;
        // The release may come 161 updates after arming began: 8.9 s after the
        // choice; the final phase begins with the gauge's final count.
        const std::vector<std::string> lines = Lines(r.out);
        double chosen = -1, release = -1, set = -1, final_count = -1;
        for (const std::string& line : lines) {
            if (line.find("pilot chooses tail left") != std::string::npos) chosen = LineTime(line);
            if (line.find("release wait    no sound: the crew would ask now for the parking brake to be released") !=
                std::string::npos)
                release = LineTime(line);
            if (line.find("wrap-up         no sound: the crew would ask now for the parking brake to be set") !=
                std::string::npos)
                set = LineTime(line);
            if (line.find("final           the brake is set and the tug is gone: the gauge's final count runs") !=
                std::string::npos)
                final_count = LineTime(line);
        }
        EXPECT_NEAR(release - chosen, 160.0 / 18.0, 0.11) << env << "\n" << r.out;
        EXPECT_GT(set, release) << env;
        EXPECT_GT(final_count, set) << env;
    }
    Result loud = RunHost("--verbose reload 3", NoSoundCard());
    EXPECT_EQ(loud.status, 0) << loud.err;
    EXPECT_GT(Lines(loud.err).size(), 1u) << "--verbose lets the libraries speak";
    EXPECT_NE(loud.out.find("OpenAL objects still alive: 0 devices, 0 contexts, 0 buffers, 0 sources"), std::string::npos)
        << loud.out;
}

// A real-time run's timeline comes line by line as it happens. Stopped
// once the pilot has chosen, by Ctrl-C (once, or twice back to back), by
// timeout's SIGTERM or a closed terminal's SIGHUP, the run ends as its end
// would: status 128 plus the signal, a summary, a WAV of exactly the updates
// run, whole frames. A reader that goes away (| head -1) fails the run,
// which then leaves no file.
TEST(PanelHostRun, ARealtimeRunStoppedAnyWayLeavesWholeFilesOrNone) {
    struct { std::vector<int> signals; int status; } cases[] = {
        {{SIGINT}, 130}, {{SIGINT, SIGINT}, 130}, {{SIGTERM}, 143}, {{SIGHUP}, 129}, {{}, 2}};
    for (const auto& c : cases) {
        const std::string dir = TempDir(), row = std::to_string(c.signals.size()) + " signals: ";
        // timeout is a safety net only, for a run that would never end.
        FILE* timeline = popen(("echo $$; exec timeout --foreground -s KILL 120 " PANEL_HOST " run --realtime --audio " +
                                dir + "/a.wav --frames " + dir + "/f 2>" + dir + ".err").c_str(), "r");
        int pid = 0;
        ASSERT_EQ(std::fscanf(timeline, "%d\n", &pid), 1);
        std::string out;
        double chosen = -1;
        for (char line[512]; chosen < 0 && std::fgets(line, sizeof line, timeline);) {
            out += line;
            if (std::strstr(line, "pilot chooses tail left")) chosen = LineTime(line);
            if (c.signals.empty()) break;   // the reader goes after the first line
        }
        for (int signal : c.signals) kill(pid, signal);
        for (char line[512]; !c.signals.empty() && std::fgets(line, sizeof line, timeline);) out += line;
        const int raw = pclose(timeline);
        const std::string err = Slurp(dir + ".err");
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << row << out << err;
        if (c.signals.empty()) {
            EXPECT_EQ(err, "panel-host: cannot write the timeline to standard output\n");
            EXPECT_EQ(std::system(("rmdir " + dir).c_str()), 0) << row << "no file is left";
            continue;
        }
        unsigned updates = 0;
        const size_t at = out.find("summary: interrupted after ");
        ASSERT_NE(at, std::string::npos) << row << out;
        std::sscanf(out.c_str() + at, "summary: interrupted after %u", &updates);
        EXPECT_GE(updates, chosen * 18) << row << ": the run got past the choice";
        EXPECT_NE(err.find("panel-host: interrupted at "), std::string::npos) << row;
        Wav wav;
        ASSERT_TRUE(ReadWav(dir + "/a.wav", &wav)) << row << ": the WAV's sizes match what it holds";
        EXPECT_EQ(wav.samples.size(), size_t(updates) * 1225 * 2) << row << ": 1225 frames an update";
        const size_t last = out.find("to frame_");
        Image frame;
        ASSERT_NE(last, std::string::npos) << row << out;
        EXPECT_TRUE(ReadPng(dir + "/f/" + out.substr(last + 3, 14), &frame)) << row << out;
        std::system(("rm -rf " + dir + " " + dir + ".err").c_str());
    }
}

// A bound on the address space, far below what reading a 200 MB file whole
// takes (sanitizers reserve far more than this for their own use).
#if defined(__SANITIZE_ADDRESS__)
const std::string kMemoryBound = "";
#else
const std::string kMemoryBound = "ulimit -v 262144; ";
#endif

// Every mistake a user can make: one line naming it, status 2, nothing run
// or written, and in bounded memory, also for a file that is no script.
TEST(PanelHostRun, RefusesEveryMistakeWithOneLineBeforeAnyWork) {
    const std::string in = TempDir(), out = TempDir();
    WriteFile(in + "/overflow.script", "tick\nset heading 1e999999\n");
    WriteFile(in + "/garbage.script", "\x1b[2J" + std::string(4000, 'A') + "\n");
    WriteFile(in + "/zeros.script", "");
    ASSERT_EQ(truncate((in + "/zeros.script").c_str(), 200 << 20), 0);
    ASSERT_EQ(mkfifo((in + "/pipe.so").c_str(), 0600), 0);
    WriteFile(in + "/ok.script", "tick\n");
    ASSERT_EQ(symlink("a.png", (in + "/link.png").c_str()), 0);   // to a file not there yet
    WriteFile(in + "/cut.so", Slurp(VORNAK_MODULE).substr(0, 20000));   // a download that stopped
    struct { const char* program; std::string args, message; } cases[] = {
        {PANEL_HOST, "", "panel-host: choose a mode: replay, run, window or reload; see panel-host --help"},
        {PANEL_HOST, "fly", "panel-host: unexpected argument 'fly'; see panel-host --help"},
        {PANEL_HOST, "run --fast", "panel-host: unknown option '--fast' for 'run'; see panel-host run --help"},
        {PANEL_HOST, "run --timer 7",
         "panel-host: --timer: takes whole seconds from 0 to 995 in steps of 5, not '7'; see panel-host run --help\n"},
        {PANEL_HOST, "run --heading 360", "panel-host: --heading: takes degrees from 0 to below 360, not '360'"},
        {PANEL_HOST, "run --heading \"$(printf 'n\\303\\266rd\\302\\233')\"", "not 'n\xC3\xB6rd\\xC2\\x9B'"},
        {PANEL_HOST, "run --audio \"$(printf 'a\\302\\233').txt\"", "ending in .wav, not 'a\\xC2\\x9B.txt'"},
        {PANEL_HOST, "run --left --right", "panel-host: choose one of --left and --right"},
        {PANEL_HOST, "run --at 10", "panel-host: --at needs --snapshot"},
        {PANEL_HOST, "run --snapshot OUT/p.png --at 1e308",
         "panel-host: --at: takes seconds from 0 to 3600 (no run lasts longer), not '1e308'"},
        {PANEL_HOST, "run --snapshot", "panel-host: --snapshot needs a value, as in --snapshot FILE.png; see"},
        {PANEL_HOST, "run --heading 45 --heading 90", "panel-host: --heading is given more than once: give it once"},
        {PANEL_HOST, "run --left=maybe", "panel-host: --left takes no value, not 'maybe'"},
        {PANEL_HOST, "run -- --right", "panel-host: unexpected argument '--right' for 'run'"},
        // Numbers are decimal, whole where whole, and nothing around them.
        {PANEL_HOST, "run --timer 5.0", "panel-host: --timer: takes whole seconds from 0 to 995 in steps of 5, not '5.0'"},
        {PANEL_HOST, "run --heading 0x10", "not '0x10'"},
        {PANEL_HOST, "window --heading ' 45'", "panel-host: --heading: takes degrees from 0 to below 360, not ' 45'"},
        {PANEL_HOST, "run --snapshot ''", "panel-host: --snapshot needs a file name"},
        {PANEL_HOST, "run --audio ''", "panel-host: --audio needs a file name"},
        {PANEL_HOST, "run --snapshot OUT/x.jpg",
         "panel-host: --snapshot writes PNG pictures: give a name ending in .png, not 'OUT/x.jpg'"},
        {PANEL_HOST, "run --audio OUT/a.mp3", "panel-host: --audio writes WAV sound: give a name ending in .wav"},
        {PANEL_HOST, "run --path OUT/none/t.png", "panel-host: --path: the folder OUT/none does not exist"},
        {PANEL_HOST, "run --audio OUT/none/a.wav", "panel-host: --audio: the folder OUT/none does not exist"},
        {PANEL_HOST, "run --frames OUT/none/f", "panel-host: --frames: the folder OUT/none does not exist"},
        {PANEL_HOST, "run --frames IN/ok.script", "panel-host: --frames: IN/ok.script is not a folder"},
        // A file that cannot be made is refused before the run; the WAV made
        // before it is removed again (the folder must stay empty).
        {PANEL_HOST, "run --audio OUT/a.wav --snapshot OUT/" + std::string(260, 'n') + ".png",
         "panel-host: cannot write OUT/nnnnnnnn"},
        {PANEL_HOST, "run --snapshot OUT/x.png --frames OUT/x.png",
         "panel-host: --snapshot and --frames name one file, OUT/x.png: give each its own"},
        {PANEL_HOST, "run --snapshot OUT/same.png --path OUT/../" + out.substr(out.rfind('/') + 1) + "/./same.png",
         "panel-host: --snapshot and --path name one file, OUT/same.png"},
        {PANEL_HOST, "run --snapshot IN/link.png --path IN/a.png", "--snapshot and --path name one file, IN/link.png"},
        {PANEL_HOST, "run --frames OUT --audio OUT/a.wav",
         "panel-host: --audio OUT/a.wav is inside the --frames folder, which the run fills: put it elsewhere"},
        {PANEL_HOST, "--heading 5 run", "panel-host: --heading is an option of 'run': give it after the mode, as in "
                                        "panel-host run --heading DEG"},
        {PANEL_HOST, "replay", "panel-host: replay needs a script file"},
        {PANEL_HOST, "replay IN", "panel-host: IN is a folder, not a replay script"},
        {PANEL_HOST, "replay IN/pipe.so", "panel-host: IN/pipe.so is not a regular file, not a replay script"},
        {PANEL_HOST, "replay IN/missing.script", "panel-host: cannot open IN/missing.script"},
        {PANEL_HOST, "replay IN/overflow.script", "IN/overflow.script:2: '1e999999' is too large for a number"},
        {PANEL_HOST, "replay IN/garbage.script",
         "IN/garbage.script:1: unknown command '\\x1B[2JAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA' (cut, 4004 bytes)"},
        {PANEL_HOST, "replay IN/zeros.script", "IN/zeros.script:1: the line is longer than 4096 bytes"},
        {PANEL_HOST, "replay IN/ok.script --left", "panel-host: unknown option '--left' for 'replay'"},
        {PANEL_HOST, "--module IN/missing.so run", "panel-host: cannot load module IN/missing.so"},
        {PANEL_HOST, std::string("--module ") + PANEL_HOST + " run", "panel-host: cannot load module"},
        {PANEL_HOST, "--module IN/pipe.so run", "panel-host: cannot load module IN/pipe.so: it is not a regular file"},
        {PANEL_HOST, "--module IN/cut.so run", "panel-host: cannot load module IN/cut.so: it is damaged or cut short"},
        {PANEL_HOST, "--window --left", "panel-host: unknown option '--left' for 'window'"},
        {PANEL_HOST, "window --speed 0", "panel-host: --speed: takes a number from 0.1 to 100 (times real time), not '0'"},
        {PANEL_HOST, "--window run", "panel-host: --window cannot be combined with 'run'"},
        {PANEL_HOST, "--window --window", "panel-host: --window is given more than once: give it once"},
        {PANEL_HOST, "reload -5", "panel-host: COUNT: takes a count from 0 to 100000, not '-5'"},
        {PANEL_HOST, "run --heading \"$(printf '\\033[2J')$(head -c 100000 /dev/zero | tr '\\0' 9)\"",
         "panel-host: --heading: takes degrees from 0 to below 360, not '\\x1B[2J999999999999999999999999999999999999' "
         "(cut, 100004 bytes)"},
        {GAUGE_REPLAY, "", "gauge-replay: a script is needed; usage: gauge-replay SCRIPT"},
        {GAUGE_REPLAY, "IN", "gauge-replay: IN is a folder, not a replay script"},
        {GAUGE_REPLAY, "IN/ok.script IN/ok.script", "gauge-replay: unexpected argument 'IN/ok.script'; usage:"},
        {GAUGE_REPLAY, "--fast IN/ok.script", "gauge-replay: unknown option '--fast'; usage:"},
        {GAUGE_REPLAY, "- < IN", "gauge-replay: cannot read <stdin>: Is a directory"},
        {PANEL_HOST, "replay - < IN", "panel-host: cannot read <stdin>: Is a directory"},
        {GAUGE_REPLAY, "IN/zeros.script", "IN/zeros.script:1: the line is longer than 4096 bytes"},
        {GAUGE_REPLAY, "IN/overflow.script", "IN/overflow.script:2: '1e999999' is too large for a number"},
    };
    for (const auto& c : cases) {
        const std::string args = Replace(Replace(c.args, "OUT", out), "IN", in);
        Result r = RunProgram(c.program, args, kMemoryBound + NoSoundCard());
        const std::string message = Replace(Replace(c.message, "OUT", out), "IN", in);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(Lines(r.err).size(), 1u) << args << ": " << r.err.substr(0, 300);
        EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err.substr(0, 300);
        EXPECT_LT(r.err.size(), 400u) << args;
        EXPECT_EQ(r.out, "") << args << ": nothing runs";
    }
    EXPECT_EQ(std::system(("rmdir " + out).c_str()), 0) << "nothing may be written";
}

// Output that cannot be written (a full disk) is said, with exit 2, not lost.
TEST(PanelHostRun, AWriteErrorOnStandardOutputIsSaid) {
    const std::string in = TempDir();
    WriteFile(in + "/ok.script", "tick\n");
    struct { const char* program; std::string args, message; } cases[] = {
        {GAUGE_REPLAY, in + "/ok.script", "gauge-replay: cannot write the trace"},
        {GAUGE_REPLAY, "--help", "gauge-replay: cannot write to standard output"},
        {PANEL_HOST, "replay " + in + "/ok.script", "panel-host: cannot write the trace"},
        {PANEL_HOST, "run --audio " + in + "/full.wav --frames " + in + "/frames --path " + in + "/t.png",
         "panel-host: cannot write the timeline to standard output"},
        {PANEL_HOST, "reload 3", "panel-host: cannot write to standard output"},
    };
    for (const auto& c : cases) {
        // The program's standard output goes to /dev/full, its messages to the file.
        Result r = RunProgram(c.program, c.args, "ALSOFT_DRIVERS=null sh -c 'exec \"$0\" \"$@\" >/dev/full'");
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err.find(c.message), 0u) << r.err;
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    }
    // The failed run leaves nothing half-written.
    for (const char* name : {"/full.wav", "/frames", "/t.png"})
        EXPECT_NE(access((in + name).c_str(), F_OK), 0) << name << " was left";
}

TEST(PanelHostRun, HelpListsEveryModeAndOptionWithDefaultsUnitsAndExitCodes) {
    Result r = RunHost("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"replay", "run", "window", "reload", "--module FILE", "--verbose", "--realtime", "--left",
                             "--right", "--timer S=20", "whole seconds", "--heading DEG=0", "degrees", "--audio FILE.wav",
                             "--snapshot FILE.png", "--at S", "--frames DIR", "--path FILE.png", "Exit status",
                             "null output"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    EXPECT_EQ(RunHost("-h").out, r.out);
    EXPECT_EQ(RunHost("--version").out, "panel-host 1.0\n");
    Result g = RunProgram(GAUGE_REPLAY, "--help");
    EXPECT_EQ(g.status, 0);
    for (const char* text : {"SCRIPT", "set hold", "degrees", "tick", "Exit status"})
        EXPECT_NE(g.out.find(text), std::string::npos) << text;
    // Every help fits a console of 80 columns, which on Windows wraps a line
    // of 80; a mode's help shows that mode.
    const std::string helps[] = {r.out, g.out, RunHost("run --help").out, RunHost("window -h").out,
                                 RunHost("replay --help").out, RunHost("reload --help").out};
    for (const std::string& help : helps)
        for (const std::string& line : Lines(help)) EXPECT_LE(line.size(), 79u) << line;
    EXPECT_NE(helps[2].find("the run mode's help"), std::string::npos) << helps[2];
    EXPECT_EQ(helps[2].find("--speed"), std::string::npos) << "the window's option in the run's help";
    // After "--" a word is an argument: "-" is standard input; a tiny number is a number.
    const std::string dir = TempDir();
    WriteFile(dir + "/ok.script", "tick\n");
    EXPECT_EQ(RunProgram(GAUGE_REPLAY, "-- - < " + dir + "/ok.script").status, 0);
    EXPECT_EQ(RunHost("run --heading 1e-320 --timer 0005", NoSoundCard()).status, 0);
}

TEST(PanelHostRun, WindowModeWithoutADisplaySaysWhy) {
    struct { const char* args, *env, *message; } cases[] = {
        {"window", "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER", "no display: DISPLAY is not set"},
        {"--window --heading 10", "env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=:987",
         "cannot reach the display DISPLAY=:987"},
    };
    for (const auto& c : cases) {
        Result r = RunHost(c.args, std::string("timeout 20 ") + c.env);
        EXPECT_EQ(r.status, 2) << c.env;
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

}  // namespace
