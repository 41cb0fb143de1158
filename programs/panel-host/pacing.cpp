// pacing.cpp - updates on their slots (see pacing.h).
#include "programs/panel-host/pacing.h"

#include "hostsim/hostsim.h"
#include "programs/panel-host/platform.h"

namespace {

double pace_start = 0.0, pace_rate = kTicksPerSecond;   // updates a second

// As each update begins, the wait for its slot.
void OnUpdate(void*) { SleepUntil(pace_start + double(host.updates) / pace_rate); }

}  // namespace

void PaceFromNow(double speed) {
    pace_start = ClockSeconds();
    pace_rate = double(kTicksPerSecond) * speed;
    HostAddUpdateHook(OnUpdate, nullptr);
}

double NextUpdateAt() { return pace_start + double(host.updates + 1) / pace_rate; }
