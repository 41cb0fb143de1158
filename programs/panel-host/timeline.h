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
    // The push time as set: what the display shows until the push begins,
    // then changed by the clicks on minus and plus (NoteTimerClick).
    int32_t  timer = -1;
    uint32_t push_start = 0;      // the update the push began on
    bool     by_hand = false;     // the pilot turns the aircraft, not the gauge
    uint32_t too_late_until = 0;  // a + came too late: said until this update
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

// The phases of a pushback, as the timeline names them.
const char* const kPhases[] = {"idle", "arming", "release wait", "straight push", "turn", "after turn", "wrap-up",
                               "final"};

// A heading as the timeline and the window show it: one decimal, cut
// rather than rounded, so that 359.97 is 359.9 and never 360.0.
std::string HeadingText(double heading);

// True during a straight push whose turn the gauge will no longer give:
// the push time has passed (a push time of 0 never gives one). The turn is
// then the pilot's, by hand.
bool TurnIsThePilots();
// The pilot clicked minus or plus during the push (the push time the
// gauge counts against changes with it).
void NoteTimerClick(bool plus);
// The pilot presses (direction -1 nose left, +1 nose right) or lets go (0)
// of a slew rotation key.
void HandTurn(int32_t direction);

// "MM:SS.T", the time an update starts at.
std::string Clock(uint32_t update);
// The crew's words for a clip, or null for a clip without words.
const char* WordsOf(const std::string& clip);
