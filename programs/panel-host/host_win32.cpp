// host_win32.cpp - panel-host.exe: the substitute host on Windows,
// without a window. It loads a gauge module file as the simulator does
// (LoadLibraryA, the two records by name) and drives it; the module sounds
// through its own DirectSound device.
//
//   panel-host [--module FILE] replay [--realtime] SCRIPT
//   panel-host [--module FILE] run [--left|--right] [--timer S] [--heading DEG] [--realtime]
//   panel-host [--module FILE] reload COUNT
//
// The command line is the Linux host's (command_line.h); the window and the
// files a Linux run writes are refused here with one line. Output is
// written with LF line ends (stdout in binary mode), so traces compare byte
// for byte with the Linux hosts'.
//
// The module is VORNAK_TOWS.gau beside this program unless --module names
// another. `replay` prints the trace of hostsim/replay.h without play lines
// (the clips play inside the module); with --realtime it keeps to 18
// updates a second, so the clips are heard as in the cockpit. `run`
// performs a whole pushback with the modelled aircraft and pilot of
// programs/panel-host/aircraft.h and prints its events and a summary. `reload` runs
// COUNT kill/initialise cycles; a module built to tell its DirectSound
// counts (SoundDeviceCounts) is then checked for leaks.
//
// Needs: the module-loader seam (module_loader_win32.cpp), the shared
// command line and driver (command_line.h, driver.h), hostsim,
// replay, aircraft. Provides:
//   [x] replay, at full speed or in real time
//   [x] modelled pushback run (the pilot acts on what he sees: a module
//       here reports no clips)
//   [x] reload cycles with a DirectSound leak check
//   [ ] panel window, drawing, audio capture: the Linux panel-host's
// Exit status: 0 done, 1 a pushback that did not finish or a leak, 2 bad
// arguments, an unreadable script or a file that is not a gauge module.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "programs/panel-host/aircraft.h"
#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"
#include "programs/panel-host/command_line.h"
#include "programs/panel-host/driver.h"
#include "sound/device_directsound.h"

namespace {

LoadedModule module;

// Real time: the host's UpdateElements service is wrapped so that every
// update starts on its 1/18 s slot.
int32_t (GAUGE_CALL *update_elements)(Element*) = nullptr;
LARGE_INTEGER pace_start, pace_frequency;
uint32_t paced_updates = 0;

int32_t GAUGE_CALL PacedUpdateElements(Element* first) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double due = double(paced_updates++) / kUpdatesPerSecond;
    const double elapsed = double(now.QuadPart - pace_start.QuadPart) / double(pace_frequency.QuadPart);
    if (due > elapsed) Sleep(DWORD((due - elapsed) * 1000.0));
    return update_elements(first);
}

void PaceUpdates() {
    QueryPerformanceFrequency(&pace_frequency);
    QueryPerformanceCounter(&pace_start);
    update_elements = host.services.UpdateElements;
    host.services.UpdateElements = PacedUpdateElements;
}

int Replay(const PanelHostOptions& o) {
    FILE* in = OpenScript(o.script);
    AttachModule(o.module, &module);
    if (o.realtime) PaceUpdates();
    return ReplayScript(in, o.script);
}

// --- the modelled pushback -------------------------------------------------

Pushback push;

void OnRunEvent(uint32_t id, uint32_t value, void*) {
    static uint32_t last_id = 0, last_value = 0, last_update = 0;
    const char* name = AircraftEvent(&push.aircraft, id, value);
    if (id == kEventSlewToggle && push.aircraft.slew) PilotSeesPushBegin(&push.pilot, host.updates);
    if (id == kEventSlewOff) PilotSeesSlewOff(&push.pilot, host.updates);
    // The wrap-up sends one event on every update; show the first of a run.
    const bool repeat = id == last_id && value == last_value && host.updates == last_update + 1;
    last_id = id;
    last_value = value;
    last_update = host.updates;
    if (!repeat)
        std::printf("%6" PRIu32 "  event 0x%" PRIX32 " %" PRId32 ": %s\n", host.updates, id, int32_t(value), name);
}

int Run(const PanelHostOptions& o) {
    AttachModule(o.module, &module);
    if (o.realtime) PaceUpdates();
    PushbackReset(&push, o.heading, o.left, o.timer);
    push.target = TurnTarget(push.aircraft.heading, o.left);
    host.on_event = OnRunEvent;
    PushbackPowerUp(push);
    std::printf("panel-host: %s, tail %s, push time %" PRId32 " s, heading %.1f, target %" PRId32 "\n",
                o.module.c_str(), o.left ? "left" : "right", o.timer, push.aircraft.heading, push.target);

    while (!push.reset && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&push.pilot, host.updates + 1);
        PushbackAct(&push, act);
        // Said after it is done: a click's events come before it.
        if (act.kind != kPilotNothing)
            std::printf("%6" PRIu32 "  pilot: %s\n", host.updates + 1, act.why);
        HostFrame();
        PushbackStep(&push, o.left);
    }
    HostKill();
    std::printf("summary: %s after %" PRIu32 " updates; target heading %" PRId32
                ", final heading %.2f; pushed %.1f m\n",
                push.reset ? "reset" : "NOT FINISHED", host.updates, push.target, push.aircraft.heading,
                std::hypot(push.aircraft.x, push.aircraft.y));
    std::fflush(stdout);
    return PushbackStatus(push);
}

// --- reload cycles ---------------------------------------------------------

int Reload(const PanelHostOptions& o) {
    const long count = o.reloads;
    AttachModule(o.module, &module);
    HostInstall();
    HostInitialize();
    for (long i = 0; i < count; ++i) {
        HostFrame();
        HostReload();
    }
    HostFrame();
    HostKill();

    auto counts_of = reinterpret_cast<SoundDeviceCountsRoutine>(reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(module.handle), "SoundDeviceCounts")));
    if (counts_of == nullptr) {
        std::printf("%ld reloads; the module does not tell its DirectSound objects\n", count);
        return 0;
    }
    const DirectSoundCounts c = *counts_of();
    std::printf("%ld reloads; devices created %" PRIu32 ", released %" PRIu32 "; buffers created %" PRIu32
                ", released %" PRIu32 "\n",
                count, c.devices_created, c.devices_released, c.buffers_created, c.buffers_released);
    if (c.devices_created != c.devices_released || c.buffers_created != c.buffers_released) {
        std::printf("leak: %" PRId32 " devices and %" PRId32 " buffers still alive\n",
                    int32_t(c.devices_created - c.devices_released), int32_t(c.buffers_created - c.buffers_released));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // LF line ends, as on Linux: traces compare byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const PanelHostOptions o = ReadCommandLine(argc, argv, 0);
    // A run's timeline is read as it happens, also through a pipe (the C
    // library here buffers "line-buffered" streams fully).
    if (o.mode == "run" || o.realtime) std::setvbuf(stdout, nullptr, _IONBF, 0);
    int status = o.mode == "replay" ? Replay(o) : o.mode == "run" ? Run(o) : Reload(o);
    std::fflush(stdout);
    FreeLibrary(static_cast<HMODULE>(module.handle));
    return status;
}
