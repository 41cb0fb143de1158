// timeline.cpp - the timeline of run and window (see timeline.h).
#include "programs/panel-host/timeline.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "hostsim/hostsim.h"
#include "programs/panel-host/driver.h"
#include "programs/panel-host/session.h"

Watch watch;

namespace {

// The crew's words, from resources/crew_words.txt.
struct CrewWords { const char* clip; const char* words; };
const CrewWords kCrewWords[] = {
#include "crew_words.inc"
};

// How long a clip of the module plays, in updates (4 s when unknown).
uint32_t ClipUpdates(const std::string& clip) {
    uint32_t bytes, byte_rate;
    if (!ModuleClipData(module, clip.c_str(), &bytes, &byte_rate) || byte_rate == 0) return 4 * kTicksPerSecond;
    return uint32_t(uint64_t(bytes) * kTicksPerSecond / byte_rate) + 1;
}

struct Timeline {
    bool        in_update = false;
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

}  // namespace

const char* WordsOf(const std::string& clip) {
    for (const CrewWords& c : kCrewWords)
        if (clip == c.clip) return c.words;
    return nullptr;
}

// The update that things happen in: the one running, or the next one for
// clicks between updates. Its time is that of its start.
static uint32_t CurrentUpdate() { return timeline.in_update ? host.updates : host.updates + 1; }

std::string Clock(uint32_t update) {
    const uint32_t tenths = (update > 0 ? update - 1 : 0) * 10 / kTicksPerSecond;
    char text[32];
    std::snprintf(text, sizeof text, "%02" PRIu32 ":%02" PRIu32 ".%" PRIu32, tenths / 600, tenths / 10 % 60,
                  tenths % 10);
    return text;
}

static void PrintLine(uint32_t update, const std::string& what) {
    std::printf("%s  %-13s %s\n", Clock(update).c_str(), watch.phase, what.c_str());
}

void Say(const std::string& what) {
    if (timeline.in_update) {
        timeline.pending.emplace_back(host.updates, what);
        return;
    }
    PrintLine(CurrentUpdate(), what);
}

static void FlushRepeats() {
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
    if (timeline.in_update)
        timeline.pending.emplace_back(last, line);
    else
        PrintLine(last, line);
    // Repeats after whatever interrupted them are a run of their own.
    timeline.repeat_first = timeline.repeat_last;
    timeline.repeat_count = 0;
}

static const char* ColourName(uint32_t colour) {
    if (colour == 0x0000DEDE) return "yellow";
    if (colour == 0x00DEDEDE) return "grey";
    return "other colour";
}

static void ShowDisplay() {
    const std::string text = HostDisplayText();
    const uint32_t colour = HostDisplayColour();
    if (text == timeline.last_text && colour == timeline.last_colour) return;
    timeline.last_text = text;
    timeline.last_colour = colour;
    char line[96];
    std::snprintf(line, sizeof line, "display \"%s\" %s (0x%08" PRIX32 ")", text.c_str(), ColourName(colour), colour);
    Say(line);
}


static void NewPushback() {
    watch.chosen = true;
    watch.pushing = watch.turning = watch.turn_done = watch.wrapping = watch.by_hand = false;
    watch.crew_asks_release = watch.crew_asks_set = false;
    // The gauge aims 90 degrees to the tail's side of the heading it saw.
    watch.target = TurnTarget(watch.aircraft.heading, watch.left);
    watch.pushbacks++;
    watch.phase = "arming";
}

static void OnEvent(uint32_t id, uint32_t value, void*) {
    const uint32_t update = CurrentUpdate();
    Aircraft& a = watch.aircraft;
    const char* name = AircraftEvent(&a, id, value);
    const bool repeat = id == timeline.repeat_id && value == timeline.repeat_value && update == timeline.repeat_last + 1;
    if (watch.chosen) {
        if (id == kEventCalibrate && !watch.pushing) watch.phase = "release wait";
        if (id == kEventSlewAheadMinus && !watch.pushing) {
            watch.pushing = true;
            watch.push_start = update;
            watch.phase = "straight push";
        }
        if (id == kEventSlewToggle && a.slew && watch.modelled_pilot) PilotSeesPushBegin(&watch.pilot, update);
        if (id == kEventSlewRotate && !watch.turning) {
            watch.turning = true;
            watch.phase = "turn";
        }
        if (id == kEventSlewOff && !watch.wrapping) {
            watch.wrapping = true;
            watch.phase = "wrap-up";
        }
    }
    if (id == kEventSlewOff && watch.modelled_pilot) PilotSeesSlewOff(&watch.pilot, update);
    if (repeat) {
        timeline.repeat_last = update;
        timeline.repeat_count++;
        return;
    }
    FlushRepeats();
    char line[200];
    std::snprintf(line, sizeof line, "event 0x%" PRIX32 " %" PRId32 ": %s", id, int32_t(value), name);
    Say(line);
    if (id == kEventSlewRotate) {
        // Where the turn should end follows from the command itself (a
        // negative rate turns the nose right), also in the window, where
        // the person at the panel chose the side.
        watch.target = TurnTarget(a.heading, static_cast<int32_t>(value) < 0);
        std::snprintf(line, sizeof line, "  turning from heading %s toward %" PRId32, HeadingText(a.heading).c_str(),
                      watch.target);
        Say(line);
    }
    if (id == kEventSlewFreeze && watch.turning && !watch.turn_done) {
        watch.turn_done = true;
        watch.turn_end_heading = a.heading;
        double off = std::fabs(a.heading - watch.target);
        if (off > 180.0) off = 360.0 - off;
        watch.turn_end_off = off;
        watch.phase = "after turn";
        std::snprintf(line, sizeof line, "  turn ends at heading %.2f (target %" PRId32 ", %.2f off)", a.heading,
                      watch.target, off);
        Say(line);
    }
    timeline.repeat_id = id;
    timeline.repeat_value = value;
    timeline.repeat_first = timeline.repeat_last = update;
    timeline.repeat_count = 0;
}

static void OnClip(const char* name, void*) {
    FlushRepeats();
    const uint32_t update = CurrentUpdate();
    Say(std::string("clip ") + name + " starts");
    watch.heard.push_back(name);
    const std::string clip = name;
    if (clip == "PB1" && watch.chosen && !watch.pushing) {
        watch.crew_asks_release = true;
        watch.phase = "release wait";
    }
    if (clip == "PB3") watch.crew_asks_set = true;
    if (WordsOf(clip)) {
        watch.speaking = clip;
        watch.speaking_until = update + ClipUpdates(clip);
    }
    if (watch.modelled_pilot) PilotHears(&watch.pilot, name, update);
}

std::string HeadingText(double heading) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", std::floor(heading * 10.0 + 1e-9) / 10.0);
    return text;
}

// The panel's push time, in steps of 5 s up to 995 s; the gauge turns on
// the update of the push 4 short of it.
const int32_t kTimerStep = 5, kTimerCap = 995, kTurnBeforeEnd = 4;

bool TurnIsThePilots() {
    if (!watch.pushing || watch.turning) return false;
    // The update after this one is the push's (host.updates - push_start + 2)th.
    const int64_t turn_at = int64_t(watch.timer) * kTicksPerSecond - kTurnBeforeEnd;
    return turn_at < int64_t(host.updates) - int64_t(watch.push_start) + 2;
}

void NoteTimerClick(bool plus) {
    if (!watch.pushing || watch.turning) return;
    watch.timer = std::clamp(watch.timer + (plus ? kTimerStep : -kTimerStep), 0, kTimerCap);
    if (plus && TurnIsThePilots()) {
        watch.too_late_until = host.updates + 4 * kTicksPerSecond;
        Say("  too late for this pushback: its push time has passed, the turn is the pilot's");
    }
}

void HandTurn(int32_t direction) {
    Aircraft& a = watch.aircraft;
    const double was = a.hand_rotation;
    a.hand_rotation = a.slew ? direction * kHandDegreesPerUpdate : 0.0;
    if (a.hand_rotation == was) return;
    if (a.hand_rotation == 0.0) {
        Say("pilot lets go of the rotation key");
        return;
    }
    Say(direction < 0 ? "pilot turns the nose left by hand" : "pilot turns the nose right by hand");
    if (TurnIsThePilots()) {
        watch.turning = watch.by_hand = true;
        watch.phase = "turn";
        char line[96];
        std::snprintf(line, sizeof line, "  turning by hand from heading %s toward %" PRId32,
                      HeadingText(a.heading).c_str(), watch.target);
        Say(line);
    }
}

void OnBrake(bool set) {
    if (set && watch.wrapping) watch.phase = "final";
}

// One update of the gauge, with what it shows and sends on the timeline;
// true when it reset the gauge after a pushback.
bool TimelineFrame() {
    timeline.in_update = true;
    HostFrame();
    ShowDisplay();
    // Until the push begins the display shows the push time itself.
    if (!watch.chosen || !watch.pushing) watch.timer = int32_t(host.display_value);
    // A repeated event that was not sent this time has stopped.
    if (timeline.repeat_count > 0 && timeline.repeat_last != host.updates) FlushRepeats();
    const bool lit = HostIconValue(kBitmapLeftLamp) == 1.0 || HostIconValue(kBitmapRightLamp) == 1.0;
    bool reset = false;
    if (lit && !watch.chosen) {
        watch.left = HostIconValue(kBitmapLeftLamp) == 1.0;
        NewPushback();
    } else if (!lit && watch.chosen) {
        FlushRepeats();
        reset = true;
    }
    const std::string clock = Clock(host.updates);
    for (const auto& [update, what] : timeline.pending) PrintLine(update, what);
    timeline.pending.clear();
    timeline.in_update = false;
    if (reset) {
        watch.chosen = false;
        watch.target = -1;
        watch.resets++;
        watch.phase = "idle";
        std::printf("%s  %-13s reset: the gauge is idle again\n", clock.c_str(), watch.phase);
    }
    return reset;
}


void TimelineStart(double heading, bool modelled_pilot) {
    watch = Watch{};
    timeline = Timeline{};
    watch.modelled_pilot = modelled_pilot;
    AircraftReset(&watch.aircraft, heading);
    if (module.set_clip_observer) module.set_clip_observer(OnClip, nullptr);
    host.on_event = OnEvent;
}

void TimelineEnd() {
    FlushRepeats();
    if (module.set_clip_observer) module.set_clip_observer(nullptr, nullptr);
    host.on_event = nullptr;
}
