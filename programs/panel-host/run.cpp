// run.cpp - the modelled pushback (see run.h).
#include "programs/panel-host/run.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "hostsim/hostsim.h"
#include "programs/panel-host/outputs.h"
#include "programs/panel-host/panel_host.h"
#include "programs/panel-host/platform.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"
#include "programs/panel-host/words.h"
#include "programs/panel-host/world.h"

namespace {

// Where the turn ended, for the summary, which comes after the reset has
// cleared the pushback.
struct TurnEnd {
    bool   ended = false;
    double heading = 0.0, off = 0.0;
};

void OnEvent(void* context, const WorldEvent& e) {
    if (e.turn_ended) *static_cast<TurnEnd*>(context) = {true, e.turn_end_heading, e.turn_end_off};
}

const WorldObserver kRunObserver = {OnEvent, nullptr, nullptr};

// The run itself, with the requests to stop caught (platform.h): one ends
// the run where it is, as its end would, the files finished with what they
// hold and the gauge killed. A run stopped before its first update has
// done nothing and leaves nothing.
int RunCaught(PanelHost& ph, const PanelHostOptions& o, std::string* problem) {
    World& world = ph.world;
    Timeline& timeline = ph.timeline;
    const LoadedModule& module = ph.session.module;
    Outputs out;
    if (!OutputsStart(out, module, o, problem)) return kRefused;
    WorldStartWithPilot(world, o.heading, o.left, o.timer, {module.set_clip_observer, SessionSoundHeard, &ph.session});
    TimelineStart(timeline, world);
    TurnEnd turn_end;
    WorldObserve(world, &kRunObserver, &turn_end);
    const bool opened = OutputsOpen(out, problem);
    if (!opened || StopAsked() != 0) {
        TimelineEnd(timeline);
        WorldEnd(world);
        OutputsAbandon(out);
        if (opened) *problem = "interrupted before the run began; nothing was written";
        return opened ? kStoppedBySignal + StopAsked() : kRefused;
    }
    if (o.realtime) PaceFromNow(ph.pacing);

    // The heading the pilot's choice will turn to.
    const int32_t target = TurnTarget(world.aircraft.heading, world.pilot.left);
    std::printf(VORNAK_HOST_NAME ": %s, tail %s, push time %" PRId32 " s, heading %s, target %" PRId32 "%s\n",
                o.module.c_str(), world.pilot.left ? "left" : "right", world.pilot.timer_goal,
                HeadingText(world.aircraft.heading).c_str(), target,
                module.set_clip_observer ? "" : " (the module reports no clips)");
    Say(timeline, "on the ground, parking brake set");

    bool reset = false, ok = true, timeline_lost = false;
    while (ok && !reset && StopAsked() == 0 && host.updates < kMaxUpdates) {
        const PilotAction act = PilotDecide(&world.pilot, host.updates + 1);
        // Said before it is done: a click's events come after it.
        if (act.kind != kPilotNothing) Say(timeline, act.why);
        WorldAct(world, act);
        reset = WorldStep(world);
        ok = OutputsAfterUpdate(out, problem);
        // A timeline nobody can read is not run to its end.
        if (ok && std::ferror(stdout)) timeline_lost = true, ok = false;
    }
    const int stop = StopAsked();
    const bool stopped = stop != 0;
    // Ctrl-C in a terminal ends the reader of a pipe too: a timeline lost
    // then is no failure of the run, whose files are kept.
    if (timeline_lost && stopped) ok = true;
    if (timeline_lost && !ok) *problem = "cannot write the timeline to standard output";
    TimelineEnd(timeline);
    ok = ok && OutputsFinish(out, world, problem);
    WorldEnd(world);
    if (!ok) {
        OutputsAbandon(out);
        return kRefused;
    }

    char turn[96] = "the turn had not ended";
    if (turn_end.ended)
        std::snprintf(turn, sizeof turn, "turn ended at %s (%.2f off)", HeadingText(turn_end.heading).c_str(),
                      turn_end.off);
    std::printf("summary: %s after %" PRIu32 " updates (%s); target heading %" PRId32
                ", %s, final heading %s; %s; %s started\n",
                reset ? "reset" : stopped ? "interrupted" : "NOT FINISHED", host.updates, Clock(host.updates).c_str(),
                target, turn, HeadingText(world.aircraft.heading).c_str(), Distances(world.aircraft).c_str(),
                Plural(world.clips_started, "clip").c_str());
    OutputsReport(out);
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && !stopped) {
        OutputsAbandon(out);
        *problem = "cannot write the timeline to standard output";
        return kRefused;
    }
    if (stopped) {
        *problem = "interrupted at " + Clock(host.updates) + "; the files written hold the run until then";
        return kStoppedBySignal + stop;
    }
    if (reset) return 0;
    std::fprintf(stderr, VORNAK_HOST_NAME ": the pushback did not finish within an hour of simulated time\n");
    return 1;
}

}  // namespace

int RunPushback(PanelHost& ph, const PanelHostOptions& o, std::string* problem) {
    CatchStopRequests();
    const int status = RunCaught(ph, o, problem);
    ReleaseStopRequests();
    return status;
}
