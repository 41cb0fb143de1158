// phases.h - the gauge on the substitute host, brought to each phase of a
// pushback, for the benchmarks and the instruction-count driver.
#pragma once

#include <cstdint>

#include "sequencer/pushback.h"

enum Phase : int32_t {
    kIdle, kArming, kReleaseWait, kStraightPush, kTurn, kRollingClear, kWrapUp, kFinal,
    kPhaseCount
};

extern const char* const kPhaseNames[kPhaseCount];

// Starts the gauge (recording sound device) and runs a left pushback until
// it is well inside `phase`; returns the sequencer state there. Restoring
// it before each update keeps the update in that phase.
PushbackState PreparePhase(Phase phase);

// Kills the gauge PreparePhase started.
void FinishPhase();
