// driver.h - what panel-host does to a module the same way on
// every platform: attaching it to the substitute host, replaying a script
// and the modelled pushback of programs/panel-host/aircraft.h.
//
// The pushback is a record and a few steps, not a loop: each host keeps its
// own loop around HostFrame, because what it prints, draws, records and how
// it keeps time are what differ between them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"
#include "programs/panel-host/aircraft.h"

const double kBrakeSet = 32767.0;
const uint32_t kMaxUpdates = 60u * 60u * kUpdatesPerSecond;   // an hour of simulated time

// Loads the module at `path` into `module` and attaches the host to its
// records; refuses (Fail) a file that is not a usable gauge module.
void AttachModule(const std::string& path, LoadedModule* module);

// Opens a replay script ("-" is standard input); refuses (Fail) a folder or
// a file that cannot be read.
FILE* OpenScript(const std::string& path);

// Installs and initialises the attached gauge, prints the trace of `in` to
// stdout, kills the gauge and closes `in`. Returns RunReplay's status;
// refuses (Fail) when the trace could not be written.
int ReplayScript(FILE* in, const std::string& path);

struct Pushback {
    Aircraft aircraft;
    Pilot    pilot;
    int32_t  target = 0;        // the heading the turn should end on
    bool     chosen = false;    // the pilot has chosen the side of the tail
    bool     reset = false;     // the gauge went idle after the pushback
    double   lamp_was = -1.0;
};

// The aircraft standing at `heading` and a pilot who will ask for the tail
// to `left` (or right) with a push time of `timer` seconds.
void PushbackReset(Pushback* p, double heading, bool left, int32_t timer);

// Names of the panel's buttons, in the order of its mouse areas, for the
// timeline: "left", "right", "minus", "plus"; "?" past the four.
const char* ButtonName(int32_t child);

// The whole-degree heading 90 degrees to the tail's side of `heading`.
int32_t TurnTarget(double heading, bool left);

// On the ground with the parking brake set, then the gauge installed and
// initialised.
void PushbackPowerUp(const Pushback& p);

// Does what the pilot decided, on the panel or the brake.
void PushbackAct(Pushback* p, const PilotAction& act);

// After an update: the aircraft moves, the host sees its new heading, and
// the pushback is over when the lamp of the chosen side goes out.
void PushbackStep(Pushback* p, bool left);

// The exit status of a run: 0 once the gauge reset, else 1 with the reason
// on stderr.
int PushbackStatus(const Pushback& p);
