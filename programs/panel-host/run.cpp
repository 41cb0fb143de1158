// run.cpp - the modelled pushback (see run.h).
#include "programs/panel-host/run.h"

#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>

#include "hostsim/hostsim.h"
#include "programs/panel-host/driver.h"
#include "programs/panel-host/outputs.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"

namespace {

// Ctrl-C ends the run where it is, as its end would: the files finished
// with what they hold, the gauge killed. A second one ends the program.
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int RunPushback(const PanelHostOptions& o, std::string* problem) {
    if (!OutputsCheck(o, problem)) return kRefused;
    TimelineStart(o.heading, true);
    Pushback push;
    PushbackReset(&push, o.heading, o.left, o.timer);
    watch.pilot = push.pilot;
    push.target = TurnTarget(watch.aircraft.heading, o.left);
    PushbackPowerUp(push);
    if (!OutputsOpen(o, problem)) {
        TimelineEnd();
        HostKill();
        OutputsAbandon(o);
        return kRefused;
    }
    interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    if (o.realtime) PaceFromNow();

    std::printf("panel-host: %s, tail %s, push time %" PRId32 " s, heading %s, target %" PRId32 "%s\n",
                o.module.c_str(), o.left ? "left" : "right", o.timer, HeadingText(watch.aircraft.heading).c_str(),
                push.target, module.set_clip_observer ? "" : " (the module reports no clips)");
    Say("on the ground, parking brake set");

    bool reset = false, ok = true;
    while (ok && !reset && !interrupted && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&watch.pilot, host.updates + 1);
        // Said before it is done: a click's events come after it.
        if (act.kind != kPilotNothing) Say(act.why);
        PushbackAct(&push, act);
        if (act.kind == kPilotSetBrake) OnBrake(true);

        reset = TimelineFrame();
        AircraftStep(&watch.aircraft);
        HostSetValue(kHostTokenHeading, watch.aircraft.heading);
        ok = OutputsAfterUpdate(o, problem);
        // A timeline nobody can read is not run to its end.
        if (ok && std::ferror(stdout)) {
            *problem = "cannot write the timeline to standard output";
            ok = false;
        }
    }
    std::signal(SIGINT, SIG_DFL);
    const bool stopped = interrupted != 0;
    TimelineEnd();
    ok = ok && OutputsFinish(o, problem);
    HostKill();
    if (!ok) {
        OutputsAbandon(o);
        return kRefused;
    }

    const double distance = std::hypot(watch.aircraft.x, watch.aircraft.y);
    std::printf("summary: %s after %" PRIu32 " updates (%s); target heading %" PRId32
                ", turn ended at %.2f (%.2f off), final heading %.2f; pushed %.1f m; %zu clips started\n",
                reset ? "reset" : stopped ? "interrupted" : "NOT FINISHED", host.updates, Clock(host.updates).c_str(),
                push.target,
                watch.turn_end_heading, watch.turn_end_off, watch.aircraft.heading, distance, watch.heard.size());
    OutputsReport(o);
    std::fflush(stdout);
    if (stopped) {
        *problem = "interrupted at " + Clock(host.updates) + "; the files written hold the run until then";
        return kInterrupted;
    }
    push.reset = reset;
    return PushbackStatus(push);
}
