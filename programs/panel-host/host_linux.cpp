// host_linux.cpp - panel-host on Linux: loads a gauge module file and drives
// it.
//
//   panel-host [--module FILE] [--verbose] replay [--realtime] SCRIPT
//   panel-host [--module FILE] [--verbose] run [--left|--right] [--timer S] [--heading DEG]
//              [--realtime] [--audio FILE.wav] [--snapshot FILE.png [--at S]]
//              [--frames DIR] [--path FILE.png]
//   panel-host [--module FILE] [--verbose] window [--heading DEG] [--speed N]
//   panel-host [--module FILE] [--verbose] reload COUNT
//   panel-host -h|--help, --version
//
// The module is VORNAK_TOWS.so beside this program unless --module names
// another. `replay` prints the trace of hostsim/replay.h, without play lines:
// the sound is the module's own. `run` performs a whole pushback with a
// modelled aircraft and pilot and prints its timeline line by line; `window`
// shows the panel, a status strip, the crew's words while they are spoken
// and the aircraft from above, for a person to work. Every input is checked
// (command_line.cpp) before the module is loaded.
//
// Without a sound card the module's OpenAL device would not open and its
// clips would stay silent and unseen; the host then sends OpenAL to its
// null output, so the clips start and show on the timeline, and says once
// that nothing is audible. The sound and window libraries' own complaints
// stay off the terminal unless --verbose.
//
// Needs: the module-loader seam (module_loader_posix.cpp), the shared
// command line and driver (command_line.h, driver.h), hostsim, replay,
// aircraft, panel_draw and image_files, SDL2. Provides:
//   [x] replay, at full speed or in real time
//   [x] modelled pushback run, timeline phases from what the gauge shows
//   [x] pictures: a snapshot, a frame a second, the track of the pushback
//   [x] audio capture of the module's own mix (OpenAL loopback) to a WAV
//   [x] the window, with hold-to-repeat on the buttons that ask for it
//   [x] reload cycles with the module's OpenAL object counts
// Exit status: 0 when done, 1 when a pushback did not finish or a reload
// leaked, 2 for every mistake a user can make (one line on stderr).
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <SDL_ttf.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"
#include "programs/panel-host/aircraft.h"
#include "programs/panel-host/command_line.h"
#include "programs/panel-host/driver.h"
#include "programs/panel-host/image_files.h"
#include "programs/panel-host/panel_draw.h"

namespace {

const uint32_t kAudioRate = 22050;                        // 1225 frames per update
const uint32_t kFramesPerUpdate = kAudioRate / kUpdatesPerSecond;
const int32_t kLeftLamp = 0x1000, kRightLamp = 0x1500;

// The crew's words, from resources/crew_words.txt.
struct CrewWords { const char* clip; const char* words; };
const CrewWords kCrewWords[] = {
#include "crew_words.inc"
};

const char* WordsOf(const std::string& clip) {
    for (const CrewWords& c : kCrewWords)
        if (clip == c.clip) return c.words;
    return nullptr;
}

LoadedModule module;
bool verbose = false;

// --- sound: a device, or OpenAL's null output --------------------------------

// Whether OpenAL opens a playback device here. Tried in a child process:
// OpenAL reads its driver list once, when first used, so the module must
// not find it already started with the default list; and the sound
// libraries' complaints about a missing card go nowhere unless --verbose.
bool SoundDeviceOpens() {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return true;
    if (child == 0) {
        if (!verbose) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, 1);
                dup2(null, 2);
            }
        }
        void* al = dlopen("libopenal.so.1", RTLD_NOW | RTLD_LOCAL);
        if (al == nullptr) _exit(1);
        using OpenFn = void* (*)(const char*);
        using CloseFn = char (*)(void*);
        auto open_device = reinterpret_cast<OpenFn>(dlsym(al, "alcOpenDevice"));
        auto close_device = reinterpret_cast<CloseFn>(dlsym(al, "alcCloseDevice"));
        void* device = open_device ? open_device(nullptr) : nullptr;
        if (device && close_device) close_device(device);
        _exit(device ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Said once, as the first update runs: by then every input has been
// checked, so a mistake still gets its one line.
bool null_output_note = false;

void ChooseSoundOutput(const PanelHostOptions& o) {
    // A run recorded to a file mixes on a loopback device and needs no card;
    // a driver list the user set is theirs.
    if (!o.audio.empty() || std::getenv("ALSOFT_DRIVERS") != nullptr) return;
    if (SoundDeviceOpens()) return;
    setenv("ALSOFT_DRIVERS", "null", 1);
    null_output_note = true;
}

// Real time: the host's UpdateElements service is wrapped so that every
// update starts on its 1/18 s slot; the wrapper also gives the note above.
int32_t (GAUGE_CALL *update_elements)(Element*) = nullptr;
bool paced = false;
std::chrono::steady_clock::time_point pace_start;

// Waits for the current update's slot; `speed` times real time.
void Pace(std::chrono::steady_clock::time_point start, double speed = 1.0) {
    std::this_thread::sleep_until(
        start + std::chrono::microseconds(int64_t(host.updates * 1e6 / (kUpdatesPerSecond * speed))));
}

int32_t GAUGE_CALL WatchedUpdateElements(Element* first) {
    if (null_output_note) {
        null_output_note = false;
        std::fprintf(stderr, "panel-host: no sound device opens here, so the clips play on OpenAL's null output: "
                             "they run and are shown, but nothing is audible%s\n",
                     verbose ? "" : " (--verbose shows why)");
    }
    if (paced) Pace(pace_start);
    return update_elements(first);
}

// Loads the module, then chooses its sound output: OpenAL reads its driver
// list when first used, which loading does not do.
void Attach(const PanelHostOptions& o) {
    if (!verbose) setenv("ALSOFT_LOGLEVEL", "0", 0);
    AttachModule(o.module, &module);
    ChooseSoundOutput(o);
    update_elements = host.services.UpdateElements;
    host.services.UpdateElements = WatchedUpdateElements;
}

// How long a clip of the module plays, in updates (4 s when unknown).
uint32_t ClipUpdates(const std::string& clip) {
    uint32_t updates = 4 * kUpdatesPerSecond;
    const EmbeddedResource* r = ModuleResource(module, "WAV", clip.c_str(), 0);
    if (r == nullptr || r->size < 12) return updates;
    auto le32 = [&](uint32_t at) {
        return uint32_t(r->data[at]) | uint32_t(r->data[at + 1]) << 8 | uint32_t(r->data[at + 2]) << 16 |
               uint32_t(r->data[at + 3]) << 24;
    };
    uint32_t byte_rate = 0;
    for (uint32_t at = 12; at + 8 <= r->size;) {
        const uint32_t length = le32(at + 4);
        if (std::memcmp(r->data + at, "fmt ", 4) == 0 && length >= 16 && at + 20 <= r->size) byte_rate = le32(at + 16);
        if (std::memcmp(r->data + at, "data", 4) == 0 && byte_rate > 0)
            return uint32_t(uint64_t(std::min(length, r->size - at - 8)) * kUpdatesPerSecond / byte_rate) + 1;
        if (length > r->size - at - 8) break;
        at += 8 + length + (length & 1);
    }
    return updates;
}

// --- the timeline ------------------------------------------------------------

struct Timeline {
    const char* phase = "idle";
    bool        in_update = false;
    std::string last_text;
    uint32_t    last_colour = 0;
    // A run of one event repeated on consecutive updates is shown once,
    // with the span it was repeated over.
    uint32_t    repeat_id = 0, repeat_value = 0, repeat_first = 0, repeat_last = 0, repeat_count = 0;
    // What happens inside an update is shown once the update is over, under
    // the phase it ended in.
    std::vector<std::pair<uint32_t, std::string>> pending;   // (update stamped, text)
};

Timeline timeline;

// The update that things happen in: the one running, or the next one for
// clicks between updates. Its time is that of its start.
uint32_t CurrentUpdate() { return timeline.in_update ? host.updates : host.updates + 1; }

std::string Clock(uint32_t update) {
    const uint32_t tenths = (update > 0 ? update - 1 : 0) * 10 / kUpdatesPerSecond;
    char text[32];
    std::snprintf(text, sizeof text, "%02" PRIu32 ":%02" PRIu32 ".%" PRIu32, tenths / 600, tenths / 10 % 60,
                  tenths % 10);
    return text;
}

void PrintLine(uint32_t update, const std::string& what) {
    std::printf("%s  %-13s %s\n", Clock(update).c_str(), timeline.phase, what.c_str());
}

void Say(const std::string& what) {
    if (timeline.in_update) {
        timeline.pending.emplace_back(host.updates, what);
        return;
    }
    PrintLine(CurrentUpdate(), what);
}

void FlushRepeats() {
    if (timeline.repeat_count == 0) return;
    // Stamped where the repeats ended, the line names their whole span: no
    // repeat follows the time it is printed at.
    const uint32_t first = timeline.repeat_first + 1, last = timeline.repeat_last;
    char line[160];
    if (timeline.repeat_count == 1)
        std::snprintf(line, sizeof line, "  (0x%" PRIX32 " was sent again on the update after, at %s)",
                      timeline.repeat_id, Clock(last).c_str());
    else
        std::snprintf(line, sizeof line, "  (0x%" PRIX32 " was sent again on each update from %s to %s: %" PRIu32
                      " times)", timeline.repeat_id, Clock(first).c_str(), Clock(last).c_str(), timeline.repeat_count);
    if (timeline.in_update)
        timeline.pending.emplace_back(last, line);
    else
        PrintLine(last, line);
    // Repeats after whatever interrupted them are a run of their own.
    timeline.repeat_first = timeline.repeat_last;
    timeline.repeat_count = 0;
}

const char* ColourName(uint32_t colour) {
    if (colour == 0x0000DEDE) return "yellow";
    if (colour == 0x00DEDEDE) return "grey";
    return "other colour";
}

void ShowDisplay() {
    const std::string text = HostDisplayText();
    const uint32_t colour = HostDisplayColour();
    if (text == timeline.last_text && colour == timeline.last_colour) return;
    timeline.last_text = text;
    timeline.last_colour = colour;
    char line[96];
    std::snprintf(line, sizeof line, "display \"%s\" %s (0x%08" PRIX32 ")", text.c_str(), ColourName(colour), colour);
    Say(line);
}

// --- the pushback as the gauge shows it ----------------------------------------
//
// The phase on the timeline follows what the gauge itself shows and sends,
// for every pushback in turn: a lamp lit is a chosen direction (arming); the
// crew's call to release the brake, or the calibration event, opens the
// release wait; the first slew step backwards is the push; the turn command
// the turn; the freeze after it the turn's end; slew off the wrap-up; the
// brake set during the wrap-up the final phase; the lamp going out the
// reset.

struct Watch {
    Aircraft aircraft;
    Pilot    pilot;               // acts only in a run; the window's pilot is a person
    bool     modelled_pilot = false;
    bool     chosen = false, pushing = false, turning = false, turn_done = false, wrapping = false;
    bool     left = true;
    int32_t  target = -1;
    double   turn_end_heading = -1.0, turn_end_off = -1.0;
    bool     crew_asks_release = false, crew_asks_set = false;
    uint32_t pushbacks = 0, resets = 0;
    std::vector<std::string> heard;   // clips heard so far, in order
    // The crew call being spoken, for the window's caption.
    std::string speaking;
    uint32_t    speaking_until = 0;
};

Watch watch;

void NewPushback() {
    watch.chosen = true;
    watch.pushing = watch.turning = watch.turn_done = watch.wrapping = false;
    watch.crew_asks_release = watch.crew_asks_set = false;
    // The gauge aims 90 degrees to the tail's side of the heading it saw.
    watch.target = TurnTarget(watch.aircraft.heading, watch.left);
    watch.pushbacks++;
    timeline.phase = "arming";
}

void OnEvent(uint32_t id, uint32_t value, void*) {
    const uint32_t update = CurrentUpdate();
    Aircraft& a = watch.aircraft;
    const char* name = AircraftEvent(&a, id, value);
    const bool repeat = id == timeline.repeat_id && value == timeline.repeat_value && update == timeline.repeat_last + 1;
    if (watch.chosen) {
        if (id == kEventCalibrate && !watch.pushing) timeline.phase = "release wait";
        if (id == kEventSlewAheadMinus && !watch.pushing) {
            watch.pushing = true;
            timeline.phase = "straight push";
        }
        if (id == kEventSlewToggle && a.slew && watch.modelled_pilot) PilotSeesPushBegin(&watch.pilot, update);
        if (id == kEventSlewRotate && !watch.turning) {
            watch.turning = true;
            timeline.phase = "turn";
        }
        if (id == kEventSlewOff && !watch.wrapping) {
            watch.wrapping = true;
            timeline.phase = "wrap-up";
        }
    }
    if (id == kEventSlewOff && watch.modelled_pilot) PilotSeesSlewOff(&watch.pilot, update);
    if (repeat) {
        timeline.repeat_last = update;
        timeline.repeat_count++;
        return;
    }
    FlushRepeats();
    char line[200];
    std::snprintf(line, sizeof line, "event 0x%" PRIX32 " %" PRId32 ": %s", id, int32_t(value), name);
    Say(line);
    if (id == kEventSlewRotate) {
        // Where the turn should end follows from the command itself (a
        // negative rate turns the nose right), also in the window, where
        // the person at the panel chose the side.
        watch.target = TurnTarget(a.heading, static_cast<int32_t>(value) < 0);
        std::snprintf(line, sizeof line, "  turning from heading %.1f toward %" PRId32, a.heading, watch.target);
        Say(line);
    }
    if (id == kEventSlewFreeze && watch.turning && !watch.turn_done) {
        watch.turn_done = true;
        watch.turn_end_heading = a.heading;
        double off = std::fabs(a.heading - watch.target);
        if (off > 180.0) off = 360.0 - off;
        watch.turn_end_off = off;
        timeline.phase = "after turn";
        std::snprintf(line, sizeof line, "  turn ends at heading %.2f (target %" PRId32 ", %.2f off)", a.heading,
                      watch.target, off);
        Say(line);
    }
    timeline.repeat_id = id;
    timeline.repeat_value = value;
    timeline.repeat_first = timeline.repeat_last = update;
    timeline.repeat_count = 0;
}

void OnClip(const char* name, void*) {
    FlushRepeats();
    const uint32_t update = CurrentUpdate();
    Say(std::string("clip ") + name + " starts");
    watch.heard.push_back(name);
    const std::string clip = name;
    if (clip == "PB1" && watch.chosen && !watch.pushing) {
        watch.crew_asks_release = true;
        timeline.phase = "release wait";
    }
    if (clip == "PB3") watch.crew_asks_set = true;
    if (WordsOf(clip)) {
        watch.speaking = clip;
        watch.speaking_until = update + ClipUpdates(clip);
    }
    if (watch.modelled_pilot) PilotHears(&watch.pilot, name, update);
}

void OnBrake(bool set) {
    if (set && watch.wrapping) timeline.phase = "final";
}

// One update of the gauge, with what it shows and sends on the timeline;
// true when it reset the gauge after a pushback.
bool TimelineFrame() {
    timeline.in_update = true;
    HostFrame();
    ShowDisplay();
    // A repeated event that was not sent this time has stopped.
    if (timeline.repeat_count > 0 && timeline.repeat_last != host.updates) FlushRepeats();
    const bool lit = HostIconValue(kLeftLamp) == 1.0 || HostIconValue(kRightLamp) == 1.0;
    bool reset = false;
    if (lit && !watch.chosen) {
        watch.left = HostIconValue(kLeftLamp) == 1.0;
        NewPushback();
    } else if (!lit && watch.chosen) {
        FlushRepeats();
        reset = true;
    }
    const std::string clock = Clock(host.updates);
    for (const auto& [update, what] : timeline.pending) PrintLine(update, what);
    timeline.pending.clear();
    timeline.in_update = false;
    if (reset) {
        watch.chosen = false;
        watch.resets++;
        timeline.phase = "idle";
        std::printf("%s  %-13s reset: the gauge is idle again\n", clock.c_str(), timeline.phase);
    }
    return reset;
}

// --- replay ----------------------------------------------------------------

int Replay(const PanelHostOptions& o) {
    FILE* in = OpenScript(o.script);
    Attach(o);
    paced = o.realtime;
    pace_start = std::chrono::steady_clock::now();
    return ReplayScript(in, o.script);
}

// --- reload ----------------------------------------------------------------

int Reload(const PanelHostOptions& o) {
    Attach(o);
    HostInstall();
    HostInitialize();
    for (long i = 0; i < o.reloads; ++i) {
        HostFrame();
        HostReload();
    }
    HostFrame();
    HostKill();
    if (module.audio_counts == nullptr) {
        std::printf("%ld reloads; the module does not tell its OpenAL objects\n", o.reloads);
        return 0;
    }
    VornakAudioCounts c;
    module.audio_counts(&c);
    std::printf("%ld reloads; OpenAL objects still alive: %" PRIu32 " devices, %" PRIu32 " contexts, %" PRIu32
                " buffers, %" PRIu32 " sources\n",
                o.reloads, c.devices, c.contexts, c.buffers, c.sources);
    return c.devices + c.contexts + c.buffers + c.sources == 0 ? 0 : 1;
}

// --- the run -----------------------------------------------------------------

void WriteOrFail(const std::string& path, const Image& image) {
    std::string problem;
    if (!WritePng(path, image, &problem)) Fail(problem);
}

// "frame_NNNN.png", as the run names its frames.
bool IsFrameName(const char* name) {
    if (std::strlen(name) != 14 || std::strncmp(name, "frame_", 6) != 0 || std::strcmp(name + 10, ".png") != 0)
        return false;
    for (int i = 6; i < 10; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// Makes the frames' folder, or empties it of an earlier run's frames (only
// those); returns how many were removed.
int PrepareFrames(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        if (mkdir(dir.c_str(), 0777) != 0) Fail("cannot make the folder " + dir + ": " + std::strerror(errno));
        return 0;
    }
    int removed = 0;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) Fail("cannot read the folder " + dir + ": " + std::strerror(errno));
    while (dirent* e = readdir(d)) {
        if (!IsFrameName(e->d_name)) continue;
        if (unlink((dir + "/" + e->d_name).c_str()) != 0)
            Fail("cannot remove an earlier run's " + dir + "/" + e->d_name + ": " + std::strerror(errno));
        ++removed;
    }
    closedir(d);
    return removed;
}

int RunPushback(const PanelHostOptions& o) {
    watch = Watch{};
    watch.modelled_pilot = true;
    Pushback push;
    PushbackReset(&push, o.heading, o.left, o.timer);
    watch.pilot = push.pilot;
    AircraftReset(&watch.aircraft, o.heading);
    push.target = TurnTarget(watch.aircraft.heading, o.left);

    WavWriter wav;
    std::string problem;
    if (!o.audio.empty()) {
        if (module.audio_loopback == nullptr || module.audio_render == nullptr)
            Fail("module " + o.module + " offers no sound capture (needed for --audio)");
        if (!module.audio_loopback(kAudioRate)) Fail("this OpenAL cannot capture its mix (no ALC_SOFT_loopback)");
        if (!WavOpen(&wav, o.audio, kAudioRate, &problem)) Fail(problem);
    }
    PanelArt art;
    const bool drawing = !o.snapshot.empty() || !o.frames.empty() || !o.path.empty();
    if (drawing && !LoadPanelArt(module, &art, &problem)) Fail(problem);
    const int old_frames = o.frames.empty() ? 0 : PrepareFrames(o.frames);
    if (module.set_clip_observer) module.set_clip_observer(OnClip, nullptr);
    host.on_event = OnEvent;
    PushbackPowerUp(push);

    std::printf("panel-host: %s, tail %s, push time %" PRId32 " s, heading %.1f, target %" PRId32 "%s\n",
                o.module.c_str(), o.left ? "left" : "right", o.timer, watch.aircraft.heading, push.target,
                module.set_clip_observer ? "" : " (the module reports no clips)");
    Say("on the ground, parking brake set");

    std::vector<int16_t> mix(size_t(kFramesPerUpdate) * 2);
    Image panel;
    double snapped_at = -1.0;
    uint32_t frames_written = 0;
    bool reset = false;
    const auto start = std::chrono::steady_clock::now();
    while (!reset && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&watch.pilot, host.updates + 1);
        // Said before it is done: a click's events come after it.
        if (act.kind != kPilotNothing) Say(act.why);
        PushbackAct(&push, act);
        if (act.kind == kPilotSetBrake) OnBrake(true);

        reset = TimelineFrame();
        AircraftStep(&watch.aircraft);
        HostSetValue(kHostTokenHeading, watch.aircraft.heading);

        if (wav.file) {
            module.audio_render(mix.data(), kFramesPerUpdate);
            if (!WavAppend(&wav, mix.data(), kFramesPerUpdate)) Fail("cannot write " + o.audio);
        }
        const double seconds = double(host.updates - 1) / kUpdatesPerSecond;
        if (!o.frames.empty() && (host.updates - 1) % kUpdatesPerSecond == 0) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%04" PRIu32 ".png", (host.updates - 1) / kUpdatesPerSecond);
            DrawPanel(art, &panel);
            WriteOrFail(o.frames + name, panel);
            ++frames_written;
        }
        if (!o.snapshot.empty() && o.at >= 0.0 && snapped_at < 0.0 && seconds + 1e-9 >= o.at) {
            DrawPanel(art, &panel);
            WriteOrFail(o.snapshot, panel);
            snapped_at = seconds;
        }
        if (o.realtime) Pace(start);
    }
    FlushRepeats();
    const double end_seconds = double(host.updates - 1) / kUpdatesPerSecond;
    if (!o.snapshot.empty() && snapped_at < 0.0) {
        DrawPanel(art, &panel);
        WriteOrFail(o.snapshot, panel);
        snapped_at = end_seconds;
    }
    if (!o.path.empty()) {
        Image track;
        DrawTrack(watch.aircraft.track, o.heading, watch.aircraft.heading, &art, &track);
        WriteOrFail(o.path, track);
    }
    HostKill();
    if (module.set_clip_observer) module.set_clip_observer(nullptr, nullptr);
    if (wav.file && !WavClose(&wav)) Fail("cannot write " + o.audio);
    FreePanelArt(&art);

    const double distance = std::hypot(watch.aircraft.x, watch.aircraft.y);
    std::printf("summary: %s after %" PRIu32 " updates (%s); target heading %" PRId32
                ", turn ended at %.2f (%.2f off), final heading %.2f; pushed %.1f m; %zu clips heard\n",
                reset ? "reset" : "NOT FINISHED", host.updates, Clock(host.updates).c_str(), push.target,
                watch.turn_end_heading, watch.turn_end_off, watch.aircraft.heading, distance, watch.heard.size());
    if (!o.audio.empty())
        std::printf("wrote %s: %.1f s of 16-bit stereo sound at %" PRIu32 " Hz\n", o.audio.c_str(),
                    double(host.updates) / kUpdatesPerSecond, kAudioRate);
    if (!o.snapshot.empty()) {
        if (o.at > end_seconds + 1e-9)
            std::printf("wrote %s: the panel at %.1f s, the end of the run (--at %g is past it)\n",
                        o.snapshot.c_str(), snapped_at, o.at);
        else
            std::printf("wrote %s: the panel at %.1f s\n", o.snapshot.c_str(), snapped_at);
    }
    if (!o.frames.empty()) {
        std::printf("wrote %s: %" PRIu32 " frames, frame_0000.png to frame_%04" PRIu32 ".png, one a second",
                    o.frames.c_str(), frames_written, frames_written > 0 ? frames_written - 1 : 0);
        if (old_frames > 0) std::printf(" (%d frame%s of an earlier run removed)", old_frames, old_frames == 1 ? "" : "s");
        std::printf("\n");
    }
    if (!o.path.empty()) std::printf("wrote %s: the track seen from above\n", o.path.c_str());
    std::fflush(stdout);
    push.reset = reset;
    return PushbackStatus(push);
}

// --- the window ----------------------------------------------------------------

const int32_t kWindowScale = 3;
const int32_t kStatusHeight = 44, kViewHeight = 270, kCaptionHeight = 54;
const uint32_t kStatusBackground = 0x202830, kStatusText = 0xE6E8EA, kHintText = 0xFFC83C;
const uint32_t kCaptionBackground = 0x10141A, kCaptionText = 0xFFFFFF;
// A held button repeats after half a second, then six times a second.
const uint32_t kRepeatDelay = 9, kRepeatEvery = 3;

// Why no window can open: DISPLAY unset, or set and not reachable.
std::string NoDisplayReason() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0'))
        return "no display: DISPLAY is not set (set it, or run under xvfb-run)";
    std::string which = display && *display ? std::string("DISPLAY=") + display : std::string("WAYLAND_DISPLAY=") + wayland;
    return "cannot reach the display " + which + " (is its X server running, and may this user use it?)";
}

// Words wrapped to lines no wider than `width`.
std::vector<std::string> Wrap(TTF_Font* font, const std::string& text, int32_t width) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flush_word = [&]() {
        if (word.empty()) return;
        const std::string tried = line.empty() ? word : line + " " + word;
        if (!line.empty() && LabelWidth(font, tried) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = tried;
        }
        word.clear();
    };
    for (char c : text) {
        if (c == ' ') flush_word();
        else word += c;
    }
    flush_word();
    if (!line.empty()) lines.push_back(line);
    return lines;
}

struct WindowLayout {
    int32_t w, panel_h, status_y, view_y, caption_y, h;
};

void DrawWindow(const WindowLayout& l, const PanelArt& art, TTF_Font* font, Image* screen) {
    ImageResize(screen, l.w, l.h, 0);
    Image panel, scaled, view;
    DrawPanel(art, &panel);
    ScaleImage(panel, kWindowScale, &scaled);
    Blit(scaled, 0, 0, screen);

    // The status strip: phase, brake, heading, target, and when to press B.
    FillRect(screen, 0, l.status_y, l.w, kStatusHeight, kStatusBackground);
    const bool brake_set = HostGetValue(kHostTokenParkingBrake) > 0.0;
    char status[160];
    std::snprintf(status, sizeof status, "%s   |   brake %s   |   heading %05.1f   |   target %s", timeline.phase,
                  brake_set ? "SET" : "released", watch.aircraft.heading,
                  watch.target >= 0 ? std::to_string(watch.target).c_str() : "-");
    const int32_t text_y = l.status_y + 3;
    DrawLabel(font, status, kStatusText, 8, text_y, screen);
    const char* hint = nullptr;
    if (watch.chosen && watch.crew_asks_release && brake_set && !watch.pushing) hint = "the crew asks: press B to release the parking brake";
    if (watch.chosen && watch.crew_asks_set && !brake_set) hint = "the crew asks: press B to set the parking brake";
    if (!watch.chosen) hint = "click an arrow to choose the tail's side";
    if (hint) DrawLabel(font, hint, kHintText, 8, text_y + 20, screen);

    DrawTopView(watch.aircraft, l.w, kViewHeight, font, &view);
    Blit(view, 0, l.view_y, screen);

    // The caption: the crew's words while the call plays.
    FillRect(screen, 0, l.caption_y, l.w, kCaptionHeight, kCaptionBackground);
    if (!watch.speaking.empty() && host.updates <= watch.speaking_until) {
        const std::vector<std::string> lines = Wrap(font, WordsOf(watch.speaking), l.w - 16);
        int32_t y = l.caption_y + (lines.size() > 1 ? 6 : 17);
        for (const std::string& line : lines) {
            DrawLabel(font, line, kCaptionText, (l.w - LabelWidth(font, line)) / 2, y, screen);
            y += 21;
        }
    }
}

void Click(int32_t child, bool repeat) {
    int32_t x, y;
    if (!HostChildCentre(child, &x, &y)) return;
    Say(std::string("click: ") + ButtonName(child) + (repeat ? " (held, repeats)" : ""));
    HostClick(x, y);
}

int RunWindow(const PanelHostOptions& o) {
    // SDL's and its libraries' own complaints (a missing runtime folder,
    // sound servers) stay off the terminal unless --verbose.
    int saved_stderr = -1;
    if (!verbose) {
        std::fflush(stderr);
        saved_stderr = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 2);
            close(null);
        }
    }
    const bool video = SDL_Init(SDL_INIT_VIDEO) == 0;
    const std::string sdl_error = SDL_GetError();
    if (saved_stderr >= 0) {
        dup2(saved_stderr, 2);
        close(saved_stderr);
    }
    if (!video) Fail(NoDisplayReason() + (verbose ? " [SDL: " + sdl_error + "]" : ""));
    // Without a display SDL falls back to drawing off screen, where nobody
    // would see the window; only a person who asks for that gets it.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strcmp(asked, driver) == 0)) {
        SDL_Quit();
        Fail(NoDisplayReason());
    }
    watch = Watch{};
    AircraftReset(&watch.aircraft, o.heading);
    Pushback push;
    PushbackReset(&push, o.heading, true, 20);
    if (module.set_clip_observer) module.set_clip_observer(OnClip, nullptr);
    host.on_event = OnEvent;
    PushbackPowerUp(push);
    PanelArt art;
    std::string problem;
    if (!LoadPanelArt(module, &art, &problem)) Fail(problem);
    TTF_Font* font = OpenLabelFont(15, &problem);
    if (font == nullptr) Fail(problem);

    WindowLayout l;
    l.w = art.face.w * kWindowScale;
    l.panel_h = art.face.h * kWindowScale;
    l.status_y = l.panel_h;
    l.view_y = l.status_y + kStatusHeight;
    l.caption_y = l.view_y + kViewHeight;
    l.h = l.caption_y + kCaptionHeight;
    SDL_Window* window = SDL_CreateWindow("VORNAK_TOWS panel-host", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          l.w, l.h, 0);
    // The picture is drawn in memory; a software renderer copies it to the
    // window without loading a GL driver.
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    SDL_Texture* texture =
        renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, l.w, l.h) : nullptr;
    if (texture == nullptr) Fail(std::string("cannot open a window (") + SDL_GetError() + ")");
    std::printf("panel-host: click the buttons (hold minus or plus to repeat); B sets or releases the parking "
                "brake; Esc quits\n");
    Say("on the ground, parking brake set");

    std::map<std::string, int> clicks;
    int32_t held = -1;              // the button held down, if it repeats
    uint32_t next_repeat = 0;
    int32_t mouse_x = 0, mouse_y = 0;
    bool quit = false;
    Image screen;
    const auto start = std::chrono::steady_clock::now();
    auto next_draw = start;
    while (!quit) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) quit = true;
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) quit = true;
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_b && !e.key.repeat) {
                const bool set = HostGetValue(kHostTokenParkingBrake) > 0.0;
                HostSetValue(kHostTokenParkingBrake, set ? 0.0 : kBrakeSet);
                Say(set ? "parking brake released" : "parking brake set");
                OnBrake(!set);
            }
            if (e.type == SDL_MOUSEMOTION) {
                mouse_x = e.motion.x / kWindowScale;
                mouse_y = e.motion.y / kWindowScale;
            }
            if (e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT) {
                mouse_x = e.button.x / kWindowScale;
                mouse_y = e.button.y / kWindowScale;
                bool repeats = false;
                const int32_t child = HostChildAt(mouse_x, mouse_y, &repeats);
                if (child >= 0) {
                    Click(child, false);
                    clicks[ButtonName(child)]++;
                    held = repeats ? child : -1;
                    next_repeat = host.updates + kRepeatDelay;
                }
            }
            if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT) held = -1;
        }
        // A held button repeats while the pointer stays on it.
        if (held >= 0 && host.updates >= next_repeat) {
            bool repeats = false;
            if (HostChildAt(mouse_x, mouse_y, &repeats) == held) {
                Click(held, true);
                clicks[ButtonName(held)]++;
            }
            next_repeat = host.updates + kRepeatEvery;
        }
        TimelineFrame();
        AircraftStep(&watch.aircraft);
        HostSetValue(kHostTokenHeading, watch.aircraft.heading);

        // Faster than real time, the window is drawn at most 60 times a
        // second, and drawing takes at most half the time, so that the
        // updates keep their pace where a picture is slow to draw.
        const auto now = std::chrono::steady_clock::now();
        if (now >= next_draw) {
            DrawWindow(l, art, font, &screen);
            SDL_UpdateTexture(texture, nullptr, screen.px.data(), screen.w * 4);
            SDL_RenderClear(renderer);
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            SDL_RenderPresent(renderer);
            const auto drawn = std::chrono::steady_clock::now();
            next_draw = drawn + std::max<std::chrono::steady_clock::duration>(drawn - now,
                                                                             std::chrono::milliseconds(16));
        }
        Pace(start, o.speed);
    }
    FlushRepeats();
    HostKill();
    if (module.set_clip_observer) module.set_clip_observer(nullptr, nullptr);
    std::string counted;
    for (const char* b : {"left", "right", "minus", "plus"})
        counted += std::string(counted.empty() ? "" : ", ") + b + " " + std::to_string(clicks[b]);
    std::printf("summary: %" PRIu32 " updates (%s); %" PRIu32 " pushback%s begun, %" PRIu32
                " reset; clicks: %s; heading %.2f; pushed %.1f m from the start; %zu clips heard\n",
                host.updates, Clock(host.updates).c_str(), watch.pushbacks, watch.pushbacks == 1 ? "" : "s",
                watch.resets, counted.c_str(), watch.aircraft.heading,
                std::hypot(watch.aircraft.x, watch.aircraft.y), watch.heard.size());
    std::fflush(stdout);
    CloseLabelFont(font);
    FreePanelArt(&art);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    // No SDL_Quit: it would unload the X libraries SDL opened, after which
    // the leak checker of the sanitizer build can no longer tell what they
    // keep for the life of the process (tests/hardening/lsan.supp); the
    // process ends here.
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const PanelHostOptions o = ReadCommandLine(argc, argv, kHostHasWindow | kHostWritesFiles);
    verbose = o.verbose;
    // A run's timeline is read as it happens, also from a file or a pipe; a
    // trace at full speed is written in large blocks.
    if (o.mode == "replay" && !o.realtime)
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    else
        std::setvbuf(stdout, nullptr, _IOLBF, 1 << 12);
    if (o.mode == "replay") return Replay(o);
    if (o.mode == "reload") return Reload(o);
    Attach(o);
    if (o.mode == "window") return RunWindow(o);
    return RunPushback(o);
}
