// run.cpp - the modelled pushback (see run.h).
#include "programs/panel-host/run.h"

#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>

#include "hostsim/hostsim.h"
#include "programs/panel-host/outputs.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"
#include "programs/panel-host/world.h"

namespace {

// Ctrl-C ends the run where it is, as its end would: the files finished
// with what they hold, the gauge killed. A second one ends the program.
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

// Where the turn ended, for the summary, which comes after the reset has
// cleared the pushback.
struct TurnEnd {
    bool   ended = false;
    double heading = 0.0, off = 0.0;
};

TurnEnd turn_end;

void OnEvent(const WorldEvent& e) {
    if (e.turn_ended) turn_end = {true, e.turn_end_heading, e.turn_end_off};
}

const WorldObserver kRunObserver = {OnEvent, nullptr, nullptr};

}  // namespace

int RunPushback(const PanelHostOptions& o, std::string* problem) {
    if (!OutputsStart(o, problem)) return kRefused;
    WorldStartWithPilot(o.heading, o.left, o.timer, {module.set_clip_observer, ModuleSoundHeard});
    TimelineStart();
    turn_end = TurnEnd{};
    WorldObserve(&kRunObserver);
    if (!OutputsOpen(problem)) {
        TimelineEnd();
        WorldEnd();
        OutputsAbandon();
        return kRefused;
    }
    interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    if (o.realtime) PaceFromNow();

    // The heading the pilot's choice will turn to.
    const int32_t target = TurnTarget(world.aircraft.heading, world.pilot.left);
    std::printf(VORNAK_HOST_NAME ": %s, tail %s, push time %" PRId32 " s, heading %s, target %" PRId32 "%s\n",
                o.module.c_str(), world.pilot.left ? "left" : "right", world.pilot.timer_goal,
                HeadingText(world.aircraft.heading).c_str(), target,
                module.set_clip_observer ? "" : " (the module reports no clips)");
    Say("on the ground, parking brake set");

    bool reset = false, ok = true;
    while (ok && !reset && !interrupted && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&world.pilot, host.updates + 1);
        // Said before it is done: a click's events come after it.
        if (act.kind != kPilotNothing) Say(act.why);
        WorldAct(act);
        reset = WorldStep();
        ok = OutputsAfterUpdate(problem);
        // A timeline nobody can read is not run to its end.
        if (ok && std::ferror(stdout)) {
            *problem = "cannot write the timeline to standard output";
            ok = false;
        }
    }
    std::signal(SIGINT, SIG_DFL);
    const bool stopped = interrupted != 0;
    TimelineEnd();
    ok = ok && OutputsFinish(problem);
    WorldEnd();
    if (!ok) {
        OutputsAbandon();
        return kRefused;
    }

    char turn[96] = "the turn had not ended";
    if (turn_end.ended)
        std::snprintf(turn, sizeof turn, "turn ended at %.2f (%.2f off)", turn_end.heading, turn_end.off);
    std::printf("summary: %s after %" PRIu32 " updates (%s); target heading %" PRId32
                ", %s, final heading %.2f; %s; %s started\n",
                reset ? "reset" : stopped ? "interrupted" : "NOT FINISHED", host.updates, Clock(host.updates).c_str(),
                target, turn, world.aircraft.heading, Distances().c_str(), Plural(world.clips_started, "clip").c_str());
    OutputsReport();
    std::fflush(stdout);
    if (stopped) {
        *problem = "interrupted at " + Clock(host.updates) + "; the files written hold the run until then";
        return kInterrupted;
    }
    if (reset) return 0;
    std::fprintf(stderr, VORNAK_HOST_NAME ": the pushback did not finish within an hour of simulated time\n");
    return 1;
}
