// timeline.cpp - the timeline of run and window (see timeline.h).
#include "programs/panel-host/timeline.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <vector>

#include "hostsim/hostsim.h"
#include "programs/panel-host/world.h"
#include "sequencer/pushback.h"

namespace {

// The crew's words, from resources/crew_words.txt.
struct CrewWords { const char* clip; const char* words; };
const CrewWords kCrewWords[] = {
#include "crew_words.inc"
};

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
    const uint32_t update = CurrentUpdate();
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
        std::snprintf(line, sizeof line, "  turn ends at heading %s (target %" PRId32 ", %.2f off)",
                      HeadingText(e.turn_end_heading).c_str(), world.push.target, e.turn_end_off);
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

const char* WordsOf(const std::string& clip) {
    for (const CrewWords& c : kCrewWords)
        if (clip == c.clip) return c.words;
    return nullptr;
}

std::string Clock(uint32_t update) {
    const uint32_t tenths = (update > 0 ? update - 1 : 0) * 10 / kTicksPerSecond;
    char text[32];
    std::snprintf(text, sizeof text, "%02" PRIu32 ":%02" PRIu32 ".%" PRIu32, tenths / 600, tenths / 10 % 60,
                  tenths % 10);
    return text;
}

void Say(const std::string& what) {
    if (world.in_update) {
        timeline.pending.emplace_back(host.updates, what);
        return;
    }
    PrintLine(CurrentUpdate(), what);
}

void SayAt(uint32_t update, const std::string& what) { PrintLine(update, what); }

std::string Plural(uint32_t n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string Distances() {
    const std::vector<TrackPoint>& track = world.aircraft.track;
    double along = 0.0;
    for (size_t i = 1; i < track.size(); ++i)
        along += std::hypot(track[i].x - track[i - 1].x, track[i].y - track[i - 1].y);
    char text[96];
    std::snprintf(text, sizeof text, "pushed %.1f m along its track, ending %.1f m from the start", along,
                  std::hypot(world.aircraft.x, world.aircraft.y));
    return text;
}

std::string HeadingText(double heading) {
    char text[16];
    // Cut to hundredths, as the target's whole degrees are cut from it: a
    // heading below 360 never shows as 360.00, and one given as 359.96
    // shows as given.
    std::snprintf(text, sizeof text, "%.2f", std::min(std::floor(heading * 100.0 + 1e-6), 35999.0) / 100.0);
    return text;
}

void TimelineStart() {
    timeline = Timeline{};
    WorldObserve(&kTimelineObserver);
}

void TimelineEnd() { FlushRepeats(); }
