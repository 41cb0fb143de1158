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

struct Timeline {
    std::string last_text;
    uint32_t    last_colour = 0;
    // A run of one event repeated on consecutive updates is shown once,
    // with the span it was repeated over.
    uint32_t    repeat_id = 0, repeat_value = 0, repeat_first = 0, repeat_last = 0, repeat_count = 0;
    // What happens inside an update is shown once the update is over, under
    // the phase it ended in.
    std::vector<std::pair<uint32_t, std::string>> pending;   // (update stamped, text)
};

Timeline timeline;

void PrintLine(uint32_t update, const std::string& what) {
    std::printf("%s  %-13s %s\n", Clock(update).c_str(), kPhaseNames[world.phase], what.c_str());
}

void FlushRepeats() {
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
    if (world.in_update)
        timeline.pending.emplace_back(last, line);
    else
        PrintLine(last, line);
    // Repeats after whatever interrupted them are a run of their own.
    timeline.repeat_first = timeline.repeat_last;
    timeline.repeat_count = 0;
}

const char* ColourName(uint32_t colour) {
    if (colour == kColourCountdown) return "yellow";
    if (colour == kColourIdle) return "grey";
    return "other colour";
}

void ShowDisplay() {
    const std::string text = HostDisplayText();
    const uint32_t colour = HostDisplayColour();
    if (text == timeline.last_text && colour == timeline.last_colour) return;
    timeline.last_text = text;
    timeline.last_colour = colour;
    char line[96];
    std::snprintf(line, sizeof line, "display \"%s\" %s (0x%08" PRIX32 ")", text.c_str(), ColourName(colour), colour);
    Say(line);
}

void OnEvent(const WorldEvent& e) {
    const uint32_t update = UpdateNow();
    const bool repeat = e.id == timeline.repeat_id && e.value == timeline.repeat_value &&
                        update == timeline.repeat_last + 1;
    if (repeat && !e.turn_ended) {
        timeline.repeat_last = update;
        timeline.repeat_count++;
        return;
    }
    FlushRepeats();
    char line[200];
    std::snprintf(line, sizeof line, "event 0x%" PRIX32 " %" PRId32 ": %s", e.id, int32_t(e.value), e.name);
    Say(line);
    const Aircraft& a = world.aircraft;
    if (e.id == kEventSlewRotate) {
        std::snprintf(line, sizeof line, "  turning from heading %s toward %" PRId32, HeadingText(a.heading).c_str(),
                      world.push.target);
        Say(line);
    }
    if (e.turn_ended) {
        std::snprintf(line, sizeof line, "  turn ends at heading %.2f (target %" PRId32 ", %.2f off)",
                      e.turn_end_heading, world.push.target, e.turn_end_off);
        Say(line);
    }
    timeline.repeat_id = e.id;
    timeline.repeat_value = e.value;
    timeline.repeat_first = timeline.repeat_last = update;
    timeline.repeat_count = 0;
}

void OnClip(const char* name) {
    FlushRepeats();
    Say(std::string("clip ") + name + " starts");
}

void OnUpdateOver(const WorldUpdate& u) {
    ShowDisplay();
    if (u.news) Say(std::string("  ") + u.news);
    // A repeated event that was not sent this time has stopped.
    if (timeline.repeat_count > 0 && timeline.repeat_last != host.updates) FlushRepeats();
    if (u.reset) FlushRepeats();
    for (const auto& [update, what] : timeline.pending) PrintLine(update, what);
    timeline.pending.clear();
    // The reset takes the pushback away: its line is the idle gauge's.
    if (u.reset)
        std::printf("%s  %-13s reset: the gauge is idle again\n", Clock(host.updates).c_str(),
                    kPhaseNames[kPhaseIdle]);
}

const WorldObserver kTimelineObserver = {OnEvent, OnClip, OnUpdateOver};

}  // namespace

void Say(const std::string& what) {
    if (world.in_update) {
        timeline.pending.emplace_back(host.updates, what);
        return;
    }
    PrintLine(UpdateNow(), what);
}

void SayAt(uint32_t update, const std::string& what) { PrintLine(update, what); }

void TimelineStart() {
    timeline = Timeline{};
    WorldObserve(&kTimelineObserver);
}

void TimelineEnd() { FlushRepeats(); }
