// aircraft.h - the aircraft and the pilot that panel-host puts behind the
// panel.
//
// The aircraft answers the host events the gauge sends the way the
// simulator's slew mode does: slew on and off, a signed backward speed in
// steps, a rotation rate set from an axis value, and a freeze of all slew
// motion (a rotation key the pilot holds included, until pressed again).
// The pilot turns it by hand with the slew rotation keys. It moves only
// while slew is on. Headings stay in [0, 360).
//
// The pilot works the panel as a person would: waits a moment, sets the push
// time with the minus and plus buttons, chooses the direction, releases the
// parking brake when the crew asks (a moment after the first call is heard)
// and sets it when asked at the end (a moment after the last-but-one call).
// A pilot who hears nothing, because the module has no sound, acts on what
// he sees instead: a while after choosing, and a while after the aircraft
// left slew mode. A pilot who dialled a push time of 0 sees the push begin
// with no turn to come (the gauge turns at the end of the push time) and
// raises it by one step while the push goes on, so the turn still comes.
#pragma once

#include <cstdint>
#include <vector>

#include "host/abi.h"
#include "host/gauge_names.h"
#include "sequencer/pushback.h"

// 0.5 m/s for each step of backward speed.
const double kMetresPerSecondPerStep = 0.5;
// The gauge's turn command carries kTurnRate (37): that turns 90 degrees in
// 30 s, a sixth of a degree per update, so the gauge sees every whole degree.
const double kDegreesPerUpdatePerAxisUnit = 90.0 / (30.0 * double(kTicksPerSecond)) / double(kTurnRate);
const double kMaxDegreesPerUpdate = 1.0;
// The simulator's slew rotation keys, held by the pilot: half a degree an
// update (9 degrees a second), slow enough that the gauge sees every whole
// degree on the way.
const double kHandDegreesPerUpdate = 0.5;

struct TrackPoint { double x, y; };

struct Aircraft {
    double  heading;          // degrees, [0, 360)
    double  x, y;             // metres east and north of where it started
    bool    slew;
    int32_t back_steps;       // signed: positive moves the tail first
    double  rotation;         // degrees per update, positive raises the heading
    double  hand_rotation;    // the same, from a rotation key the pilot holds
    bool    moved;            // has moved since the start
    std::vector<TrackPoint> track;   // one point per update while slewing
};

void AircraftReset(Aircraft* a, double heading);
// Applies one host event; returns its name for the timeline.
const char* AircraftEvent(Aircraft* a, uint32_t event_id, uint32_t value);
// Moves the aircraft by one update's worth of slew.
void AircraftStep(Aircraft* a);
// A heading folded into [0, 360).
double NormalHeading(double degrees);

enum PilotActionKind { kPilotNothing, kPilotClick, kPilotReleaseBrake, kPilotSetBrake };

struct PilotAction {
    PilotActionKind kind;
    GaugeButton     button;
    const char*     why;
};

struct Pilot {
    bool     left;
    int32_t  timer_goal;
    int32_t  timer_shown;       // what the pilot has dialled so far
    int32_t  stage;
    uint32_t next_update;       // the pilot acts again from this update on
    uint32_t chosen_update;
    uint32_t slew_off_update;
    bool     slew_off_seen;
    uint32_t push_update;       // when the pilot saw the push begin (0: not yet)
    bool     raised_for_turn;
};

void PilotReset(Pilot* p, bool left, int32_t timer_goal);
// What the pilot does before update `update` runs.
PilotAction PilotDecide(Pilot* p, uint32_t update);
// The pilot hears a clip start / sees the aircraft leave slew mode.
void PilotHears(Pilot* p, const char* clip, uint32_t update);
void PilotSeesSlewOff(Pilot* p, uint32_t update);
void PilotSeesPushBegin(Pilot* p, uint32_t update);
bool PilotDone(const Pilot* p);
