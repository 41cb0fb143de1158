// session.cpp - attaching, pacing, replay and reload (see session.h).
#include "programs/panel-host/session.h"

#include <cinttypes>
#include <cstdio>

#include "hostsim/hostsim.h"
#include "hostsim/replay.h"
#include "programs/panel-host/aircraft.h"
#include "programs/panel-host/platform.h"

LoadedModule module;

namespace {

std::string sound_note;     // said once, as the first update begins
bool paced = false;
double pace_start = 0.0, pace_rate = kTicksPerSecond;   // updates a second

void OnUpdate(void*) {
    if (!sound_note.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "panel-host: %s\n", sound_note.c_str());
        sound_note.clear();
    }
    if (paced) SleepUntil(pace_start + double(host.updates) / pace_rate);
}

}  // namespace

bool Attach(const PanelHostOptions& o, std::string* problem) {
    if (!LoadModule(o.module, &module, problem)) return false;
    HostReset();
    if (!HostAttach(module.import_table, module.linkage)) {
        *problem = "module " + o.module + " holds no usable gauge";
        return false;
    }
    // The sound output is chosen after loading, which does not yet start
    // the module's sound device, and before the first initialise, which does.
    sound_note = ChooseSoundOutput(o);
    HostAddUpdateHook(OnUpdate, nullptr);
    return true;
}

void PaceFromNow(double speed) {
    paced = true;
    pace_start = ClockSeconds();
    pace_rate = double(kTicksPerSecond) * speed;
}

double NextUpdateAt() { return pace_start + double(host.updates + 1) / pace_rate; }

int Replay(const PanelHostOptions& o, std::string* problem) {
    FILE* in = OpenReplayScript(o.script, problem);
    if (in == nullptr) return kRefused;
    if (!Attach(o, problem)) {
        if (in != stdin) std::fclose(in);
        return kRefused;
    }
    if (o.realtime) PaceFromNow();
    const int status = ReplayWholeScript(in, o.script, stdout, stderr, "panel-host");
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        *problem = "cannot write the trace";
        return kRefused;
    }
    return status;
}

int Reload(const PanelHostOptions& o, std::string* problem) {
    if (!Attach(o, problem)) return kRefused;
    HostInstall();
    HostInitialize();
    for (long i = 0; i < o.reloads; ++i) {
        HostFrame();
        HostReload();
    }
    HostFrame();
    HostKill();
    SoundObjects c;
    if (!CountSoundObjects(module, &c)) {
        std::printf("%ld reloads; the module does not tell its %s objects\n", o.reloads, SoundSystemName());
        return 0;
    }
    std::string alive;
    uint32_t total = 0;
    for (int32_t k = 0; k < c.kinds; ++k) {
        alive += (k == 0 ? "" : ", ") + std::to_string(c.alive[k]) + " " + c.names[k];
        total += c.alive[k];
    }
    std::printf("%ld reloads; %s objects still alive: %s%s%s\n", o.reloads, c.system, alive.c_str(),
                c.made.empty() ? "" : "; ", c.made.c_str());
    return total == 0 ? 0 : 1;
}
