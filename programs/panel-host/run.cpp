// run.cpp - the modelled pushback (see run.h).
#include "programs/panel-host/run.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "hostsim/hostsim.h"
#include "programs/panel-host/driver.h"
#include "programs/panel-host/outputs.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"

int RunPushback(const PanelHostOptions& o, std::string* problem) {
    if (!OutputsCheck(o, problem)) return kRefused;
    TimelineStart(o.heading, true);
    Pushback push;
    PushbackReset(&push, o.heading, o.left, o.timer);
    watch.pilot = push.pilot;
    push.target = TurnTarget(watch.aircraft.heading, o.left);
    if (!OutputsOpen(o, problem)) {
        OutputsAbandon(o);
        return kRefused;
    }
    PushbackPowerUp(push);
    if (o.realtime) PaceFromNow();

    std::printf("panel-host: %s, tail %s, push time %" PRId32 " s, heading %.1f, target %" PRId32 "%s\n",
                o.module.c_str(), o.left ? "left" : "right", o.timer, watch.aircraft.heading, push.target,
                module.set_clip_observer ? "" : " (the module reports no clips)");
    Say("on the ground, parking brake set");

    bool reset = false, ok = true;
    while (ok && !reset && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&watch.pilot, host.updates + 1);
        // Said before it is done: a click's events come after it.
        if (act.kind != kPilotNothing) Say(act.why);
        PushbackAct(&push, act);
        if (act.kind == kPilotSetBrake) OnBrake(true);

        reset = TimelineFrame();
        AircraftStep(&watch.aircraft);
        HostSetValue(kHostTokenHeading, watch.aircraft.heading);
        ok = OutputsAfterUpdate(o, problem);
    }
    TimelineEnd();
    ok = ok && OutputsFinish(o, problem);
    HostKill();
    if (!ok) {
        OutputsAbandon(o);
        return kRefused;
    }

    const double distance = std::hypot(watch.aircraft.x, watch.aircraft.y);
    std::printf("summary: %s after %" PRIu32 " updates (%s); target heading %" PRId32
                ", turn ended at %.2f (%.2f off), final heading %.2f; pushed %.1f m; %zu clips heard\n",
                reset ? "reset" : "NOT FINISHED", host.updates, Clock(host.updates).c_str(), push.target,
                watch.turn_end_heading, watch.turn_end_off, watch.aircraft.heading, distance, watch.heard.size());
    OutputsReport(o);
    std::fflush(stdout);
    push.reset = reset;
    return PushbackStatus(push);
}
