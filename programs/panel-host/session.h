// session.h - what panel-host does to a module in every mode, the same on
// every system: loading it, attaching the host to it and choosing its sound
// output, and saying once when nobody will hear it.
//
// No function here ends the program: a problem a user can cause comes back
// as kRefused with its one line in `problem`, and main says it.
#pragma once

#include <string>

#include "module_file/module_loader.h"
#include "programs/panel-host/command_line.h"

const int kRefused = 2;   // the exit status of every mistake a user can make

// The module a mode works on, and what is known of its sound output.
struct Session {
    LoadedModule module;
    std::string  sound_note;   // the platform's word on the sound output, if any
    bool         verbose = false;
    bool         sound_said = false;
};

// Loads the module at o.module, attaches the host to its records and
// chooses its sound output. False with a one-line reason.
bool Attach(Session& s, const PanelHostOptions& o, std::string* problem);

// Whether a person can hear the module's sound: asked once the gauge has
// been initialised (true before), by the world as it starts and for the
// line below. Where not, kNoSoundLine is said once on stderr as the first
// update begins.
bool ModuleSoundHeard(const Session& s);
// The same for the world (WorldModule), of the Session at `session`.
bool SessionSoundHeard(const void* session);
inline constexpr const char kNoSoundLine[] = "no sound device: the crew cannot be heard";
