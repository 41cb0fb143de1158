// session.cpp - loading and attaching the module (see session.h).
#include "programs/panel-host/session.h"

#include <cstdio>

#include "hostsim/hostsim.h"
#include "programs/panel-host/platform.h"

namespace {

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

// The no-sound line, as the first update begins: by then the gauge has
// been initialised, which opens the module's sound device.
void OnUpdate(void* context) {
    Session& s = *static_cast<Session*>(context);
    if (s.sound_said) return;
    s.sound_said = true;
    if (!ModuleSoundHeard(s)) {
        std::fflush(stdout);
        std::fprintf(stderr, VORNAK_HOST_NAME ": %s\n", kNoSoundLine);
        if (s.verbose && !s.sound_note.empty()) std::fprintf(stderr, VORNAK_HOST_NAME ": %s\n", s.sound_note.c_str());
    }
}

}  // namespace

bool Attach(Session& s, const PanelHostOptions& o, std::string* problem) {
    LoadedModule& module = s.module;
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
    s.sound_note = ChooseSoundOutput(o);
    s.verbose = o.verbose;
    s.sound_said = false;
    HostAddUpdateHook(OnUpdate, &s);
    return true;
}

bool ModuleSoundHeard(const Session& s) {
    if (!host.initialized) return true;
    // The platform sent the sound to an output nobody hears (its note says
    // so), or the module's device did not open at all.
    return s.sound_note.empty() && ModuleSoundStarted(s.module);
}

bool SessionSoundHeard(const void* session) { return ModuleSoundHeard(*static_cast<const Session*>(session)); }
