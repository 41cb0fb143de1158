// pilot.h - the pilot panel-host models for a run.
//
// He works the panel as a person would: waits a moment, sets the push time
// with the minus and plus buttons, chooses the direction, releases the
// parking brake when the crew asks (a moment after the first call is heard)
// and sets it when asked at the end (a moment after the last-but-one call).
// A pilot who hears nothing, because the module has no sound, acts on what
// he sees instead: a while after choosing, and a while after the aircraft
// left slew mode. A pilot who dialled a push time of 0 sees the push begin
// with no turn to come (the gauge turns at the end of the push time) and
// raises it by one step while the push goes on, so the turn still comes.
#pragma once

#include <cstdint>

#include "host/gauge_names.h"

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
