// panel-host - the substitute host as a program: loads a gauge module file
// and drives it.
//
//   panel-host [--module PATH] replay SCRIPT
//   panel-host [--module PATH] run [--left|--right] [--timer S] [--heading H]
//              [--realtime] [--audio FILE.wav] [--snapshot FILE.png [--at SECONDS]]
//              [--frames DIR] [--path FILE.png]
//   panel-host [--module PATH] --window [--heading H]
//
// The module is VORNAK_TOWS.so beside this program unless --module names
// another. `replay` prints the trace of hostsim/replay.h, without clip lines:
// the sound is the module's own. `run` performs a whole pushback with a
// modelled aircraft and pilot and prints its timeline; `--window` shows the
// panel for a person to work (mouse on the buttons, B sets or releases the
// parking brake, Esc quits).
//
// Needs: the module-loader seam (module_loader_posix.cpp), the shared
// command line and driver (panel_host_cli.h, panel_host_driver.h), hostsim,
// replay, aircraft, panel_draw and image_files, SDL2. Provides:
//   [x] replay, at full speed
//   [x] modelled pushback run with a timeline under phase names, the
//       module's clips among its events
//   [x] pictures: a snapshot, a frame a second, the track of the pushback
//   [x] audio capture of the module's own mix (OpenAL loopback) to a WAV
//   [x] real time for a run, and the panel in a window for a person
//   [ ] reload cycles: panel-host.exe's
// Exit status: 0 when done, 1 when a pushback did not finish, 2 for bad
// arguments, an unloadable module or a file that cannot be written.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "hostsim/aircraft.h"
#include "hostsim/hostsim.h"
#include "hostsim/image_files.h"
#include "hostsim/module_loader.h"
#include "hostsim/panel_draw.h"
#include "hostsim/panel_host_cli.h"
#include "hostsim/panel_host_driver.h"

namespace {

const uint32_t kAudioRate = 22050;                        // 1225 frames per update
const uint32_t kFramesPerUpdate = kAudioRate / kUpdatesPerSecond;
const int32_t kWindowScale = 3;

PanelHostOptions ParseArguments(int argc, char** argv) {
    PanelHostOptions o;
    o.module = DefaultModulePath();
    for (int i = 1; i < argc; ++i) {
        if (TakeSharedOption(argc, argv, &i, &o)) continue;
        const std::string a = argv[i];
        if (a == "--window") {
            if (!o.mode.empty()) Fail("--window cannot be combined with '" + o.mode + "'");
            o.mode = "window";
        } else if (a == "--at") {
            const char* t = OptionValue(argc, argv, &i);
            if (!ParseDouble(t, &o.at) || o.at < 0.0)
                Fail(std::string("--at takes seconds from 0, not '") + t + "'");
        } else if (a == "--audio") {
            o.audio = OptionValue(argc, argv, &i);
        } else if (a == "--snapshot") {
            o.snapshot = OptionValue(argc, argv, &i);
        } else if (a == "--frames") {
            o.frames = OptionValue(argc, argv, &i);
        } else if (a == "--path") {
            o.path = OptionValue(argc, argv, &i);
        } else if (!a.empty() && a[0] == '-') {
            Fail("unknown option '" + a + "' (see the top of the usage: panel-host run|replay|--window)");
        } else if (o.mode.empty() && (a == "run" || a == "replay")) {
            o.mode = a;
            if (a == "replay") {
                if (i + 1 >= argc) Fail("replay needs a script file");
                o.operand = argv[++i];
            }
        } else {
            Fail("unexpected argument '" + a + "'");
        }
    }
    if (o.mode.empty())
        Fail("usage: panel-host [--module PATH] replay SCRIPT | run [options] | --window");
    const bool run_files = !o.audio.empty() || !o.snapshot.empty() || !o.frames.empty() || !o.path.empty();
    if (o.mode != "run" && (run_files || o.at >= 0.0 || o.side_given || o.realtime))
        Fail("--audio, --snapshot, --at, --frames, --path, --left, --right and --realtime belong to 'run'");
    if (o.mode == "replay" && (o.heading_given || o.timer != 20))
        Fail("--timer and --heading do not belong to 'replay'");
    if (o.at >= 0.0 && o.snapshot.empty()) Fail("--at needs --snapshot");
    for (const std::string* f : {&o.audio, &o.snapshot, &o.path})
        if (f != &o.audio && !f->empty() && f->size() < 5) Fail("'" + *f + "' is not a file name");
    return o;
}

LoadedModule module;

void Attach(const PanelHostOptions& o) {
    // OpenAL's own log would otherwise report a missing sound card, which
    // is not a fault here: the module then runs silently.
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    AttachModule(o.module, &module);
}

// --- the timeline ---------------------------------------------------------

struct Timeline {
    const char* phase = "idle";
    bool        in_update = false;
    std::string last_text;
    uint32_t    last_colour = 0;
    // A run of one event repeated on consecutive updates is shown once.
    uint32_t    repeat_id = 0, repeat_value = 0, repeat_last = 0, repeat_count = 0;
    uint32_t    repeat_first = 0;
    bool        quiet = false;
    // What happens inside an update is shown once the update is over, under
    // the phase it ended in.
    std::vector<std::string> pending;
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

void Say(const std::string& what) {
    if (timeline.quiet) return;
    if (timeline.in_update) {
        timeline.pending.push_back(what);
        return;
    }
    std::printf("%s  %-13s %s\n", Clock(CurrentUpdate()).c_str(), timeline.phase, what.c_str());
}

void BeginUpdate() { timeline.in_update = true; }

void EndUpdate() {
    const std::string clock = Clock(host.updates);
    for (const std::string& what : timeline.pending)
        std::printf("%s  %-13s %s\n", clock.c_str(), timeline.phase, what.c_str());
    timeline.pending.clear();
    timeline.in_update = false;
}

void FlushRepeats() {
    if (timeline.repeat_count == 0) return;
    if (!timeline.quiet)
        std::printf("%s  %-13s   (0x%" PRIX32 " sent again on each of the next %" PRIu32 " update%s)\n",
                    Clock(timeline.repeat_last).c_str(), timeline.phase, timeline.repeat_id,
                    timeline.repeat_count, timeline.repeat_count == 1 ? "" : "s");
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

// One update of the gauge, with what it shows and sends on the timeline.
void TimelineFrame() {
    BeginUpdate();
    HostFrame();
    ShowDisplay();
    // A repeated event that was not sent this time has stopped.
    if (timeline.repeat_count > 0 && timeline.repeat_last != host.updates) FlushRepeats();
    EndUpdate();
}

// --- the run --------------------------------------------------------------

struct Run {
    Pushback push;
    bool     turning = false, turn_ended = false;
    double   turn_end_heading = -1.0;
    std::vector<std::string> heard;   // clips heard so far, in order
};

Run* run = nullptr;

void OnEvent(uint32_t id, uint32_t value, void*) {
    const uint32_t update = CurrentUpdate();
    const bool repeat = id == timeline.repeat_id && value == timeline.repeat_value &&
                        update == timeline.repeat_last + 1;
    if (run) {
        Aircraft& a = run->push.aircraft;
        const char* name = AircraftEvent(&a, id, value);
        if ((id == kEventSlewToggle && a.slew) ||
            (id == kEventSlewAheadMinus && std::strcmp(timeline.phase, "release wait") == 0))
            timeline.phase = "straight push";
        if (id == kEventSlewRotate) {
            run->turning = true;
            timeline.phase = "turn";
        }
        if (id == kEventSlewFreeze && run->turning && !run->turn_ended && !repeat) {
            run->turn_ended = true;
            run->turn_end_heading = a.heading;
            timeline.phase = "after turn";
        }
        if (id == kEventSlewOff) {
            if (!repeat && std::strcmp(timeline.phase, "after turn") == 0) timeline.phase = "wrap-up";
            PilotSeesSlewOff(&run->push.pilot, update);
        }
        if (repeat) {
            timeline.repeat_last = update;
            timeline.repeat_count++;
            return;
        }
        FlushRepeats();
        char line[160];
        std::snprintf(line, sizeof line, "event 0x%" PRIX32 " %" PRId32 ": %s", id, int32_t(value), name);
        Say(line);
        if (id == kEventSlewRotate) {
            // Where the turn should end follows from the command itself (a
            // negative rate turns the nose right), also in the window,
            // where the person at the panel chose the side.
            std::snprintf(line, sizeof line, "  turning from heading %.1f toward %" PRId32, a.heading,
                          TurnTarget(a.heading, static_cast<int32_t>(value) < 0));
            Say(line);
        }
        if (id == kEventSlewFreeze && run->turn_ended && run->turn_end_heading == a.heading &&
            std::strcmp(timeline.phase, "after turn") == 0) {
            std::snprintf(line, sizeof line, "  turn ends at heading %.2f", a.heading);
            Say(line);
        }
    } else {
        FlushRepeats();
        char line[96];
        std::snprintf(line, sizeof line, "event 0x%" PRIX32 " %" PRId32, id, int32_t(value));
        Say(line);
    }
    timeline.repeat_id = id;
    timeline.repeat_value = value;
    timeline.repeat_first = timeline.repeat_last = update;
    timeline.repeat_count = 0;
}

void OnClip(const char* name, void*) {
    FlushRepeats();
    Say(std::string("clip ") + name + " starts");
    if (run) {
        run->heard.push_back(name);
        PilotHears(&run->push.pilot, name, CurrentUpdate());
    }
}

void WriteOrFail(const std::string& path, const Image& image) {
    std::string problem;
    if (!WritePng(path, image, &problem)) Fail(problem);
}

void PrepareFolder(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) Fail(dir + " is not a folder");
        return;
    }
    if (mkdir(dir.c_str(), 0777) != 0) Fail("cannot make the folder " + dir + ": " + std::strerror(errno));
}

int RunPushback(const PanelHostOptions& o) {
    Run state;
    run = &state;
    Pushback& push = state.push;
    PushbackReset(&push, o.heading, o.left, o.timer);
    push.target = TurnTarget(push.aircraft.heading, o.left);

    WavWriter wav;
    std::string problem;
    if (!o.audio.empty()) {
        if (module.audio_loopback == nullptr || module.audio_render == nullptr)
            Fail("module " + o.module + " offers no sound capture (needed for --audio)");
        if (!module.audio_loopback(kAudioRate)) Fail("this OpenAL cannot capture its mix (no ALC_SOFT_loopback)");
        if (!WavOpen(&wav, o.audio, kAudioRate, &problem)) Fail(problem);
    }
    if (!o.frames.empty()) PrepareFolder(o.frames);
    if (module.set_clip_observer) module.set_clip_observer(OnClip, nullptr);
    host.on_event = OnEvent;
    PushbackPowerUp(push);

    PanelArt art;
    const bool drawing = !o.snapshot.empty() || !o.frames.empty() || !o.path.empty();
    if (drawing && !LoadPanelArt(module, &art, &problem)) Fail(problem);

    std::printf("panel-host: %s, tail %s, push time %" PRId32 " s, heading %.1f, target %" PRId32 "%s\n",
                o.module.c_str(), o.left ? "left" : "right", o.timer, push.aircraft.heading, push.target,
                module.set_clip_observer ? "" : " (the module reports no clips)");
    Say("on the ground, parking brake set");

    std::vector<int16_t> mix(size_t(kFramesPerUpdate) * 2);
    Image panel;
    bool snapped = false;
    const auto start = std::chrono::steady_clock::now();
    while (!push.reset && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&push.pilot, host.updates + 1);
        if (act.kind == kPilotClick && (act.button == kButtonLeft || act.button == kButtonRight))
            timeline.phase = "arming";
        else if (act.kind == kPilotReleaseBrake)
            timeline.phase = "release wait";
        else if (act.kind == kPilotSetBrake)
            timeline.phase = "final";
        // Said before it is done: a click's events come after it.
        if (act.kind != kPilotNothing) Say(act.why);
        PushbackAct(&push, act);

        TimelineFrame();
        PushbackStep(&push, o.left);

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
        }
        if (!o.snapshot.empty() && o.at >= 0.0 && !snapped && seconds + 1e-9 >= o.at) {
            DrawPanel(art, &panel);
            WriteOrFail(o.snapshot, panel);
            snapped = true;
        }
        if (o.realtime) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(host.updates) * 1000000 /
                                                                              kUpdatesPerSecond));
        }
    }
    FlushRepeats();
    timeline.phase = push.reset ? "idle" : timeline.phase;
    if (push.reset && !timeline.quiet)
        std::printf("%s  %-13s reset: the gauge is idle again\n", Clock(host.updates).c_str(), timeline.phase);

    if (!o.snapshot.empty() && !snapped) {
        DrawPanel(art, &panel);
        WriteOrFail(o.snapshot, panel);
    }
    if (!o.path.empty()) {
        Image track;
        DrawTrack(push.aircraft.track, o.heading, push.aircraft.heading, &art, &track);
        WriteOrFail(o.path, track);
    }
    HostKill();
    if (module.set_clip_observer) module.set_clip_observer(nullptr, nullptr);
    if (wav.file && !WavClose(&wav)) Fail("cannot write " + o.audio);
    FreePanelArt(&art);

    const double distance = std::hypot(push.aircraft.x, push.aircraft.y);
    double off = std::fabs(state.turn_end_heading - push.target);
    if (off > 180.0) off = 360.0 - off;
    std::printf("summary: %s after %" PRIu32 " updates (%s); target heading %" PRId32
                ", turn ended at %.2f (%.2f off), final heading %.2f; pushed %.1f m; %zu clips heard\n",
                push.reset ? "reset" : "NOT FINISHED", host.updates, Clock(host.updates).c_str(), push.target,
                state.turn_end_heading, state.turn_ended ? off : -1.0, push.aircraft.heading, distance,
                state.heard.size());
    std::fflush(stdout);
    run = nullptr;
    return PushbackStatus(push);
}

int RunWindow(const PanelHostOptions& o) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) Fail(std::string("no display to open a window on (") + SDL_GetError() + ")");
    // Without a display SDL falls back to drawing off screen, where nobody
    // would see the window; only a person who asks for that gets it.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strcmp(asked, driver) == 0)) {
        SDL_Quit();
        Fail("no display to open a window on (set DISPLAY, or run under xvfb-run)");
    }
    Run state;
    run = &state;
    Pushback& push = state.push;
    PushbackReset(&push, o.heading, true, 20);
    push.pilot.stage = -1;   // the person at the window is the pilot
    if (module.set_clip_observer) module.set_clip_observer(OnClip, nullptr);
    host.on_event = OnEvent;
    PushbackPowerUp(push);
    PanelArt art;
    std::string problem;
    if (!LoadPanelArt(module, &art, &problem)) Fail(problem);

    SDL_Window* window = SDL_CreateWindow("VORNAK_TOWS", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          art.face.w * kWindowScale, art.face.h * kWindowScale, 0);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                        SDL_TEXTUREACCESS_STREAMING, art.face.w, art.face.h)
                                    : nullptr;
    if (texture == nullptr) Fail(std::string("cannot open a window (") + SDL_GetError() + ")");
    std::printf("panel-host: click the buttons; B sets or releases the parking brake; Esc quits\n");
    Say("on the ground, parking brake set");
    std::fflush(stdout);

    Image panel;
    bool quit = false;
    const auto start = std::chrono::steady_clock::now();
    while (!quit) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) quit = true;
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) quit = true;
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_b && !e.key.repeat) {
                const bool set = HostGetValue(kHostTokenParkingBrake) > 0.0;
                HostSetValue(kHostTokenParkingBrake, set ? 0.0 : kBrakeSet);
                Say(set ? "parking brake released" : "parking brake set");
            }
            if (e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT) {
                const int32_t x = e.button.x / kWindowScale, y = e.button.y / kWindowScale;
                if (HostClick(x, y)) Say("click at panel pixel " + std::to_string(x) + "," + std::to_string(y));
            }
        }
        TimelineFrame();
        // No pilot chooses a side here, so no lamp ends the window: Esc does.
        PushbackStep(&push, true);

        DrawPanel(art, &panel);
        SDL_UpdateTexture(texture, nullptr, panel.px.data(), panel.w * 4);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
        char title[128];
        std::snprintf(title, sizeof title, "VORNAK_TOWS - heading %.1f, brake %s, slew %s", push.aircraft.heading,
                      HostGetValue(kHostTokenParkingBrake) > 0.0 ? "set" : "released",
                      push.aircraft.slew ? "on" : "off");
        SDL_SetWindowTitle(window, title);
        std::fflush(stdout);
        std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(host.updates) * 1000000 /
                                                                          kUpdatesPerSecond));
    }
    FlushRepeats();
    HostKill();
    if (module.set_clip_observer) module.set_clip_observer(nullptr, nullptr);
    FreePanelArt(&art);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    run = nullptr;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const PanelHostOptions o = ParseArguments(argc, argv);
    Attach(o);
    if (o.mode == "replay") return ReplayScript(OpenScript(o.operand), o.operand);
    if (o.mode == "window") return RunWindow(o);
    return RunPushback(o);
}
