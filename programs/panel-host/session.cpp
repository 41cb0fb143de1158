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

std::string sound_note;     // the platform's word on the sound output, if any
bool verbose = false;
// Whether the module's sound reaches a person: learned once the gauge has
// been initialised (which opens the module's sound device), said once as
// the first update begins.
enum SoundHeard { kSoundNotYetKnown, kSoundHeard, kSoundNotHeard };
SoundHeard sound_heard = kSoundNotYetKnown;
bool sound_said = false;
bool paced = false;
double pace_start = 0.0, pace_rate = kTicksPerSecond;   // updates a second

// The preview's pilot is told what to do about a gauge file that will not
// load, not the loader's reason: the file is missing, is not the gauge, or
// is damaged, and the whole kit unpacked into one folder mends all three.
// A system DLL loads from the system's folder, not from the one named: it
// is no gauge, never missing.
std::string PreviewModuleProblem(const std::string& path, bool no_gauge) {
    const char kMend[] = ": unpack the whole ZIP into one folder and start the preview there";
    if (no_gauge) return path + " is not the VORNAK_TOWS gauge" + kMend;
    if (WhatIsAt(path) == PathHolds::kNothing) return path + " is missing" + kMend;
    return path + " is damaged" + kMend;
}

void OnUpdate(void*) {
    if (!sound_said) {
        sound_said = true;
        if (!ModuleSoundHeard()) {
            std::fflush(stdout);
            std::fprintf(stderr, VORNAK_HOST_NAME ": %s\n", kNoSoundLine);
            if (verbose && !sound_note.empty()) std::fprintf(stderr, VORNAK_HOST_NAME ": %s\n", sound_note.c_str());
        }
    }
    if (paced) SleepUntil(pace_start + double(host.updates) / pace_rate);
}

}  // namespace

bool Attach(const PanelHostOptions& o, std::string* problem) {
    bool no_gauge = false;
    if (!LoadModule(o.module, &module, problem, &no_gauge)) {
        if (kPreview && ModuleKindMismatch(o.module).empty()) *problem = PreviewModuleProblem(o.module, no_gauge);
        return false;
    }
    HostReset();
    if (!HostAttach(module.import_table, module.linkage)) {
        *problem = kPreview ? PreviewModuleProblem(o.module, true) : "module " + o.module + " holds no usable gauge";
        return false;
    }
    // The sound output is chosen after loading, which does not yet start
    // the module's sound device, and before the first initialise, which does.
    sound_note = ChooseSoundOutput(o);
    verbose = o.verbose;
    sound_heard = kSoundNotYetKnown;
    sound_said = false;
    HostAddUpdateHook(OnUpdate, nullptr);
    return true;
}

bool ModuleSoundHeard() {
    if (sound_heard == kSoundNotYetKnown && host.initialized) {
        // The platform sent the sound to an output nobody hears (its note
        // says so), or the module's device did not open at all.
        const bool no_device = !ModuleSoundStarted(module);
        sound_heard = !sound_note.empty() || no_device ? kSoundNotHeard : kSoundHeard;
    }
    return sound_heard != kSoundNotHeard;
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
    const int status = ReplayWholeScript(in, o.script, stdout, stderr, VORNAK_HOST_NAME);
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
    // A long check says how far it has come, every few seconds, on stderr.
    const double kProgressEvery = 5.0;
    double next_word = ClockSeconds() + kProgressEvery;
    for (long i = 0; i < o.reloads; ++i) {
        HostFrame();
        HostReload();
        if ((i & 63) == 0 && ClockSeconds() >= next_word) {
            std::fflush(stdout);
            std::fprintf(stderr, VORNAK_HOST_NAME ": %ld of %ld reloads done\n", i + 1, o.reloads);
            std::fflush(stderr);
            next_word += kProgressEvery;
        }
    }
    HostFrame();
    HostKill();
    SoundObjects c;
    if (!CountSoundObjects(module, &c)) {
        std::printf("%ld reload%s; the module does not tell its %s objects\n", o.reloads, o.reloads == 1 ? "" : "s",
                    SoundSystemName());
        return 0;
    }
    std::string alive;
    uint32_t total = 0;
    for (int32_t k = 0; k < c.kinds; ++k) {
        alive += (k == 0 ? "" : ", ") + std::to_string(c.alive[k]) + " " + c.names[k];
        total += c.alive[k];
    }
    std::printf("%ld reload%s; %s objects still alive: %s%s%s\n", o.reloads, o.reloads == 1 ? "" : "s", c.system,
                alive.c_str(),
                c.made.empty() ? "" : "; ", c.made.c_str());
    return total == 0 ? 0 : 1;
}
