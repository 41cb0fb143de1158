// pacing.h - the pace of the updates in real time: each starts on its
// slot, 1/18 s apart or faster, where a person watches or listens (the
// window, a run or replay with --realtime); unpaced, they run as fast as
// they can.
#pragma once

// From now on every update starts on its slot: 1/18 s, or `speed` times
// as fast.
void PaceFromNow(double speed = 1.0);
// When the next update is to start, on the clock of ClockSeconds.
double NextUpdateAt();
