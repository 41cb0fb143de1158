// driver.h - the modelled pushback of programs/panel-host/aircraft.h as a
// record and a few steps: the aircraft and the pilot set up, the gauge
// powered up on the ground, the pilot's actions done on the panel. The run
// (run.cpp) and the window (window.cpp) keep their loops around them.
#pragma once

#include <cstdint>
#include <string>

#include "hostsim/hostsim.h"
#include "module_file/module_loader.h"
#include "programs/panel-host/aircraft.h"

const double kBrakeSet = 32767.0;
const uint32_t kMaxUpdates = 60u * 60u * kTicksPerSecond;   // an hour of simulated time

struct Pushback {
    Aircraft aircraft;
    Pilot    pilot;
    int32_t  target = 0;        // the heading the turn should end on
    bool     chosen = false;    // the pilot has chosen the side of the tail
    bool     reset = false;     // the gauge went idle after the pushback
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

// The exit status of a run: 0 once the gauge reset, else 1 with the reason
// on stderr.
int PushbackStatus(const Pushback& p);
