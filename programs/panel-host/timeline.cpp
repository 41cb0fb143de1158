// timeline.cpp - the timeline of run and window (see timeline.h).
#include "programs/panel-host/timeline.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "hostsim/hostsim.h"
#include "programs/panel-host/words.h"
#include "programs/panel-host/world.h"
#include "sequencer/pushback.h"

namespace {


void PrintLine(const Timeline& timeline, uint32_t update, const std::string& what) {
    std::printf("%s  %-13s %s\n", Clock(update).c_str(), kPhaseNames[timeline.world->phase], what.c_str());
}

void FlushRepeats(Timeline& timeline) {
    if (timeline.repeat_count == 0) return;
    // Stamped where the repeats ended, the line names their whole span: no
    // repeat follows the time it is printed at.
    const uint32_t first = timeline.repeat_first + 1, last = timeline.repeat_last;
    char line[160];
    if (timeline.repeat_count == 1)
        std::snprintf(line, sizeof line, "  (0x%" PRIX32 " was sent again on the update after, at %s)",
                      timeline.repeat_id, Clock(last).c_str());
    else
        std::snprintf(line, sizeof line, "  (0x%" PRIX32 " was sent again on each update from %s to %s: %" PRIu32
                      " times)", timeline.repeat_id, Clock(first).c_str(), Clock(last).c_str(), timeline.repeat_count);
    if (timeline.world->in_update)
        timeline.pending.emplace_back(last, line);
    else
        PrintLine(timeline, last, line);
    // Repeats after whatever interrupted them are a run of their own.
    timeline.repeat_first = timeline.repeat_last;
    timeline.repeat_count = 0;
}

const char* ColourName(uint32_t colour) {
    if (colour == kColourCountdown) return "yellow";
    if (colour == kColourIdle) return "grey";
    return "other colour";
}

void ShowDisplay(Timeline& timeline) {
    const std::string text = HostDisplayText();
    const uint32_t colour = HostDisplayColour();
    if (text == timeline.last_text && colour == timeline.last_colour) return;
    timeline.last_text = text;
    timeline.last_colour = colour;
    char line[96];
    std::snprintf(line, sizeof line, "display \"%s\" %s (0x%08" PRIX32 ")", text.c_str(), ColourName(colour), colour);
    Say(timeline, line);
}

void OnEvent(void* context, const WorldEvent& e) {
    Timeline& timeline = *static_cast<Timeline*>(context);
    const World& world = *timeline.world;
    const uint32_t update = UpdateNow(world);
    const bool repeat = e.id == timeline.repeat_id && e.value == timeline.repeat_value &&
                        update == timeline.repeat_last + 1;
    if (repeat && !e.turn_ended) {
        timeline.repeat_last = update;
        timeline.repeat_count++;
        return;
    }
    FlushRepeats(timeline);
    char line[200];
    std::snprintf(line, sizeof line, "event 0x%" PRIX32 " %" PRId32 ": %s", e.id, int32_t(e.value), e.name);
    Say(timeline, line);
    const Aircraft& a = world.aircraft;
    if (e.id == kEventSlewRotate) {
        std::snprintf(line, sizeof line, "  turning from heading %s toward %" PRId32, HeadingText(a.heading).c_str(),
                      world.push.target);
        Say(timeline, line);
    }
    if (e.turn_ended) {
        std::snprintf(line, sizeof line, "  turn ends at heading %s (target %" PRId32 ", %.2f off)",
                      HeadingText(e.turn_end_heading).c_str(), world.push.target, e.turn_end_off);
        Say(timeline, line);
    }
    timeline.repeat_id = e.id;
    timeline.repeat_value = e.value;
    timeline.repeat_first = timeline.repeat_last = update;
    timeline.repeat_count = 0;
}

void OnClip(void* context, const char* name) {
    Timeline& timeline = *static_cast<Timeline*>(context);
    FlushRepeats(timeline);
    Say(timeline, std::string("clip ") + name + " starts");
}

void OnUpdateOver(void* context, const WorldUpdate& u) {
    Timeline& timeline = *static_cast<Timeline*>(context);
    ShowDisplay(timeline);
    if (u.news) Say(timeline, std::string("  ") + u.news);
    // A repeated event that was not sent this time has stopped.
    if (timeline.repeat_count > 0 && timeline.repeat_last != host.updates) FlushRepeats(timeline);
    if (u.reset) FlushRepeats(timeline);
    for (const auto& [update, what] : timeline.pending) PrintLine(timeline, update, what);
    timeline.pending.clear();
    // The reset takes the pushback away: its line is the idle gauge's.
    if (u.reset)
        std::printf("%s  %-13s reset: the gauge is idle again\n", Clock(host.updates).c_str(),
                    kPhaseNames[kPhaseIdle]);
}

const WorldObserver kTimelineObserver = {OnEvent, OnClip, OnUpdateOver};

}  // namespace

void Say(Timeline& t, const std::string& what) {
    if (t.world->in_update) {
        t.pending.emplace_back(host.updates, what);
        return;
    }
    PrintLine(t, UpdateNow(*t.world), what);
}

void SayAt(Timeline& t, uint32_t update, const std::string& what) { PrintLine(t, update, what); }

void TimelineStart(Timeline& t, World& world) {
    t = Timeline{};
    t.world = &world;
    WorldObserve(world, &kTimelineObserver, &t);
}

void TimelineEnd(Timeline& t) { FlushRepeats(t); }
