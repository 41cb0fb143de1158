// aircraft.h - the aircraft that panel-host puts behind the panel.
//
// The aircraft answers the host events the gauge sends the way the
// simulator's slew mode does: slew on and off, a signed backward speed in
// steps, a rotation rate set from an axis value, and a freeze of all slew
// motion (a rotation key the pilot holds included, until pressed again).
// The pilot turns it by hand with the slew rotation keys. It moves only
// while slew is on. Headings stay in [0, 360).
#pragma once

#include <cstdint>
#include <vector>

#include "host/abi.h"
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
