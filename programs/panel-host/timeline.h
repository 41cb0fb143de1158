// timeline.h - the pushback as the gauge shows it, printed line by line:
// what run and window print, the same on every system.
//
// The phase follows what the gauge itself shows and sends, for every
// pushback in turn: a lamp lit is a chosen direction (arming); the crew's
// call to release the brake, or the calibration event, opens the release
// wait; the first slew step backwards is the push; the turn command the
// turn; the freeze after it the turn's end; slew off the wrap-up; the brake
// set during the wrap-up the final phase; the lamp going out the reset.
// Each line is stamped with the time of the update it happened in; what
// happens inside an update is printed once the update is over, under the
// phase it ended in. An event repeated on consecutive updates is printed
// once, with a line naming the span it was repeated over.
//
// Usage: TimelineStart, then TimelineFrame for every update (Say for what
// the pilot does between them), OnBrake when the brake is set, and
// TimelineEnd once the gauge is killed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "programs/panel-host/aircraft.h"

struct Watch {
    Aircraft aircraft;
    Pilot    pilot;               // acts only in a run; the window's pilot is a person
    bool     modelled_pilot = false;
    const char* phase = "idle";
    bool     chosen = false, pushing = false, turning = false, turn_done = false, wrapping = false;
    bool     left = true;
    int32_t  target = -1;
    double   turn_end_heading = -1.0, turn_end_off = -1.0;
    bool     crew_asks_release = false, crew_asks_set = false;
    uint32_t pushbacks = 0, resets = 0;
    std::vector<std::string> heard;   // clips heard so far, in order
    // The crew call being spoken, for the window's caption.
    std::string speaking;
    uint32_t    speaking_until = 0;
};

extern Watch watch;

// A fresh timeline for an aircraft standing at `heading`; it hears the
// gauge's events and, where the module tells them, its clips.
void TimelineStart(double heading, bool modelled_pilot);
// Prints what is still held back and stops listening.
void TimelineEnd();

// One update of the gauge (HostFrame), with what it shows and sends on the
// timeline; true when it reset the gauge after a pushback.
bool TimelineFrame();

// A line of the timeline, stamped with the update it belongs to.
void Say(const std::string& what);
// The parking brake set or released by the pilot.
void OnBrake(bool set);

// "MM:SS.T", the time an update starts at.
std::string Clock(uint32_t update);
// The crew's words for a clip, or null for a clip without words.
const char* WordsOf(const std::string& clip);
