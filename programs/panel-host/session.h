// session.h - what panel-host does to a module in every mode, the same on
// every system: loading and attaching it, its sound output, the pace of
// its updates, and the replay and reload modes whole.
//
// No function here ends the program: a problem a user can cause comes back
// as kRefused with its one line in `problem`, and main says it.
#pragma once

#include <string>

#include "module_file/module_loader.h"
#include "programs/panel-host/command_line.h"

const int kRefused = 2;   // the exit status of every mistake a user can make

extern LoadedModule module;

// Loads the module at o.module, attaches the host to its records and
// chooses its sound output. False with a one-line reason.
bool Attach(const PanelHostOptions& o, std::string* problem);

// Whether a person can hear the module's sound. Known once the gauge has
// been initialised; true until then. Where not, kNoSoundLine is said once
// on stderr as the first update begins.
bool ModuleSoundHeard();
inline constexpr const char kNoSoundLine[] = "no sound device: the crew cannot be heard";

// From now on every update starts on its slot: 1/18 s, or `speed` times
// as fast.
void PaceFromNow(double speed = 1.0);
// When the next update is to start, on the clock of ClockSeconds.
double NextUpdateAt();

// The modes that need no aircraft: the trace of a script (without play
// lines: the clips play in the module), and COUNT kill/initialise cycles
// with the sound objects the module keeps alive (1 when any are).
int Replay(const PanelHostOptions& o, std::string* problem);
int Reload(const PanelHostOptions& o, std::string* problem);
