// controls.cpp - the four panel buttons and the two direction lamps.
//
// A direction click starts a sequence and sets the heading where the turn
// will end; once one direction is chosen the other button only clicks until
// the sequence resets. The timer buttons step the straight-push time by five
// seconds at any moment, also during the push.
#include <cstdint>

#include "host/module.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"

int32_t GAUGE_CALL TailLeftClick(int32_t, int32_t) {
    if (pushback.tail_right == 0) pushback.tail_left = 1;
    if (pushback.tail_left == 1) {
        // The refreshed heading is first seen by the next tick; the target is
        // taken from the heading of the most recent one.
        Host()->ReadVariable(&heading_var);
        pushback.target_heading = TargetLeftOf(pushback.heading_now);
    }
    PlayClip(CLICK, 0);
    return 0;
}

int32_t GAUGE_CALL TailRightClick(int32_t, int32_t) {
    if (pushback.tail_left == 0) pushback.tail_right = 1;
    if (pushback.tail_right == 1) {
        Host()->ReadVariable(&heading_var);
        pushback.target_heading = TargetRightOf(pushback.heading_now);
    }
    PlayClip(CLICK, 0);
    return 0;
}

int32_t GAUGE_CALL TimerDownClick(int32_t, int32_t) {
    pushback.timer_seconds -= kTimerStep;
    if (pushback.timer_seconds < 0) pushback.timer_seconds = 0;
    PlayClip(CLICK, 0);
    return 0;
}

int32_t GAUGE_CALL TimerUpClick(int32_t, int32_t) {
    // Capped so the display's six characters always hold the timer.
    if (pushback.timer_seconds > kTimerCap - kTimerStep)
        pushback.timer_seconds = kTimerCap;
    else
        pushback.timer_seconds += kTimerStep;
    PlayClip(CLICK, 0);
    return 0;
}

double GAUGE_CALL TailLeftLamp(Element*) { return pushback.tail_left == 1 ? 1.0 : -1.0; }

double GAUGE_CALL TailRightLamp(Element*) { return pushback.tail_right == 1 ? 1.0 : -1.0; }
