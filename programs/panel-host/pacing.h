// pacing.h - the pace of the updates in real time: each starts on its
// slot, 1/18 s apart or faster, where a person watches or listens (the
// window, a run or replay with --realtime); unpaced, they run as fast as
// they can.
#pragma once

#include "host/gauge_names.h"

struct Pacing {
    double start = 0.0, rate = kTicksPerSecond;   // updates a second
};

// From now on every update starts on its slot: 1/18 s, or `speed` times
// as fast.
void PaceFromNow(Pacing& p, double speed = 1.0);
// When the next update is to start, on the clock of ClockSeconds.
double NextUpdateAt(const Pacing& p);
