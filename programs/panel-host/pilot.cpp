// pilot.cpp - the modelled pilot (see pilot.h).
#include "programs/panel-host/pilot.h"

#include <cstring>

#include "sequencer/pushback.h"

namespace {

const uint32_t kFirstLook = 18;          // a second before touching anything
const uint32_t kClickGap = 9;            // half a second between clicks
const uint32_t kReactUpdates = 27;       // a second and a half to react
const uint32_t kNoWordUpdates = 12 * kTicksPerSecond;
const uint32_t kAfterSlewOffUpdates = 8 * kTicksPerSecond;

enum Stage { kWaiting, kSettingTimer, kChoosing, kAwaitRelease, kReleasing, kAwaitSet, kSetting, kDone };

}  // namespace

void PilotReset(Pilot* p, bool left, int32_t timer_goal) {
    *p = Pilot{};
    p->left = left;
    p->timer_goal = timer_goal;
    p->timer_shown = kInitialTimer;
    p->stage = kWaiting;
    p->next_update = kFirstLook;
}

PilotAction PilotDecide(Pilot* p, uint32_t update) {
    PilotAction none = {kPilotNothing, kLeftButton, ""};
    if (p->timer_goal == 0 && p->push_update != 0 && !p->raised_for_turn &&
        update >= p->push_update + kReactUpdates) {
        p->raised_for_turn = true;
        return {kPilotClick, kPlusButton, "push time 0 gives no turn: pilot raises it to 5 s during the push"};
    }
    switch (p->stage) {
    case kWaiting:
        if (update < p->next_update) return none;
        p->stage = kSettingTimer;
        [[fallthrough]];
    case kSettingTimer:
        if (update < p->next_update) return none;
        p->next_update = update + kClickGap;
        if (p->timer_shown < p->timer_goal) {
            p->timer_shown += kTimerStep;
            return {kPilotClick, kPlusButton, "pilot raises the push time"};
        }
        if (p->timer_shown > p->timer_goal) {
            p->timer_shown -= kTimerStep;
            return {kPilotClick, kMinusButton, "pilot lowers the push time"};
        }
        p->stage = kChoosing;
        return none;
    case kChoosing:
        if (update < p->next_update) return none;
        p->stage = kAwaitRelease;
        p->chosen_update = update;
        p->next_update = update + kNoWordUpdates;
        return {kPilotClick, p->left ? kLeftButton : kRightButton,
                p->left ? "pilot chooses tail left" : "pilot chooses tail right"};
    case kAwaitRelease:
        if (update < p->next_update) return none;
        p->stage = kAwaitSet;
        return {kPilotReleaseBrake, kLeftButton, "no word from the crew: pilot releases the parking brake"};
    case kReleasing:
        if (update < p->next_update) return none;
        p->stage = kAwaitSet;
        return {kPilotReleaseBrake, kLeftButton, "pilot releases the parking brake"};
    case kAwaitSet:
        if (!p->slew_off_seen || update < p->slew_off_update + kAfterSlewOffUpdates) return none;
        p->stage = kDone;
        return {kPilotSetBrake, kLeftButton, "tug gone quiet: pilot sets the parking brake"};
    case kSetting:
        if (update < p->next_update) return none;
        p->stage = kDone;
        return {kPilotSetBrake, kLeftButton, "pilot sets the parking brake"};
    default:
        return none;
    }
}

void PilotHears(Pilot* p, const char* clip, uint32_t update) {
    if (p->stage == kAwaitRelease && std::strcmp(clip, kClipNames[kClipPB1]) == 0) {
        p->stage = kReleasing;
        p->next_update = update + kReactUpdates;
    } else if (p->stage == kAwaitSet && std::strcmp(clip, kClipNames[kClipPB3]) == 0) {
        p->stage = kSetting;
        p->next_update = update + kReactUpdates;
    }
}

void PilotSeesSlewOff(Pilot* p, uint32_t update) {
    if (p->slew_off_seen) return;
    p->slew_off_seen = true;
    p->slew_off_update = update;
}

void PilotSeesPushBegin(Pilot* p, uint32_t update) {
    if (p->push_update == 0) p->push_update = update;
}

bool PilotDone(const Pilot* p) { return p->stage == kDone; }
