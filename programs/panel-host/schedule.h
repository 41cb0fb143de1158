// schedule.h - the host's copy of the gauge's schedule: what the world
// foresees of the gauge's counts (sequencer/pushback.cpp) and of its timer
// buttons (sequencer/controls.cpp), written from the gauge's own constants
// so that the two cannot drift apart. The world needs it where the gauge
// shows nothing yet: the crew's calls nobody hears, the final count about to
// run, and a turn the push time no longer gives.
//
// The world counts an update of arming for each of the gauge's arming
// ticks (the aircraft stays on the ground) and an update of the wrap-up for
// each slew off it sends, so its counts are the gauge's.
#pragma once

#include <algorithm>
#include <cstdint>

#include "sequencer/pushback.h"

// The gauge's push count on `update`, for a push whose first step
// backwards (the gauge's kPushAheadTicks[0]) came on `push_start`.
inline int64_t PushTickOn(uint32_t update, uint32_t push_start) {
    return int64_t(update) - int64_t(push_start) + kPushAheadTicks[0];
}

// The push count the gauge sends its turn on, for a push time of `timer`
// seconds. The gauge looks for this count only; once it has passed, no
// turn comes.
inline int64_t TurnPushTick(int32_t timer) { return int64_t(timer) * kTicksPerSecond - kTurnBeforeEnd; }

// After `arm_updates` of arming the gauge starts its release wait with the
// brake off: from then on the crew's call to release it is due.
inline bool ReleaseCallDue(uint32_t arm_updates) { return arm_updates > uint32_t(kArmReleaseAfter); }

// After `wrapup_updates` of the wrap-up the crew's call to set the brake
// has come.
inline bool SetCallDue(uint32_t wrapup_updates) { return wrapup_updates >= uint32_t(kWrapupPb3Tick); }

// The gauge's final count runs on an update late enough in the wrap-up with
// the brake set.
inline bool FinalCountRuns(uint32_t wrapup_updates, bool brake_set) {
    return brake_set && wrapup_updates > uint32_t(kWrapupFinalAfter);
}

// The push time after a click on plus (or minus), as the gauge's buttons
// step and bound it.
inline int32_t TimerAfterClick(int32_t timer, bool plus) {
    return std::clamp(timer + (plus ? kTimerStep : -kTimerStep), 0, int32_t(kTimerCap));
}
