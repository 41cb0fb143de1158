// pacing.cpp - updates on their slots (see pacing.h).
#include "programs/panel-host/pacing.h"

#include "hostsim/hostsim.h"
#include "programs/panel-host/platform.h"

namespace {

// As each update begins, the wait for its slot.
void OnUpdate(void* context) {
    const Pacing& p = *static_cast<const Pacing*>(context);
    SleepUntil(p.start + double(host.updates) / p.rate);
}

}  // namespace

void PaceFromNow(Pacing& p, double speed) {
    p.start = ClockSeconds();
    p.rate = double(kTicksPerSecond) * speed;
    HostAddUpdateHook(OnUpdate, &p);
}

double NextUpdateAt(const Pacing& p) { return p.start + double(host.updates + 1) / p.rate; }
