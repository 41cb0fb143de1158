// aircraft.cpp - the slew model and the pilot.
#include "programs/panel-host/aircraft.h"

#include <cmath>
#include <cstring>

namespace {

const double kPi = 3.14159265358979323846;
const uint32_t kFirstLook = 18;          // a second before touching anything
const uint32_t kClickGap = 9;            // half a second between clicks
const uint32_t kReactUpdates = 27;       // a second and a half to react
const uint32_t kNoWordUpdates = 12 * kTicksPerSecond;
const uint32_t kAfterSlewOffUpdates = 8 * kTicksPerSecond;

enum Stage { kWaiting, kSettingTimer, kChoosing, kAwaitRelease, kReleasing, kAwaitSet, kSetting, kDone };

}  // namespace

double NormalHeading(double degrees) {
    if (!std::isfinite(degrees)) return 0.0;
    double h = std::fmod(degrees, 360.0);
    if (h < 0.0) h += 360.0;
    // fmod of a tiny negative value can round up to 360 itself.
    return h >= 360.0 ? 0.0 : h;
}

void AircraftReset(Aircraft* a, double heading) {
    *a = Aircraft{};
    a->heading = NormalHeading(heading);
    a->track.push_back({0.0, 0.0});
}

const char* AircraftEvent(Aircraft* a, uint32_t event_id, uint32_t value) {
    switch (event_id) {
    case kEventCalibrate:
        return "joystick calibration (moves nothing)";
    case kEventSlewToggle:
        a->slew = !a->slew;
        return a->slew ? "slew mode toggled: on" : "slew mode toggled: off";
    case kEventSlewAheadMinus:
        a->back_steps++;
        return "slew one step faster backwards";
    case kEventSlewAheadPlus:
        a->back_steps--;
        return "slew one step less backwards";
    case kEventSlewFreeze:
        a->back_steps = 0;
        a->rotation = 0.0;
        a->hand_rotation = 0.0;
        return "slew freeze (all motion stops)";
    case kEventSlewRotate: {
        // Negative axis values turn the nose right: the heading increases.
        double rate = -static_cast<double>(static_cast<int32_t>(value)) * kDegreesPerUpdatePerAxisUnit;
        if (rate > kMaxDegreesPerUpdate) rate = kMaxDegreesPerUpdate;
        if (rate < -kMaxDegreesPerUpdate) rate = -kMaxDegreesPerUpdate;
        a->rotation = rate;
        return rate > 0.0 ? "slew rotation: nose right" : rate < 0.0 ? "slew rotation: nose left"
                                                                     : "slew rotation: stop";
    }
    case kEventSlewOff:
        // Leaving slew mode ends every slew motion with it.
        a->slew = false;
        a->back_steps = 0;
        a->rotation = 0.0;
        a->hand_rotation = 0.0;
        return "slew off";
    default:
        return "unknown event";
    }
}

void AircraftStep(Aircraft* a) {
    if (!a->slew) return;
    a->heading = NormalHeading(a->heading + a->rotation + a->hand_rotation);
    if (a->back_steps != 0) {
        // Backwards: opposite to where the nose points (0 north, 90 east).
        double metres = a->back_steps * kMetresPerSecondPerStep / double(kTicksPerSecond);
        double rad = a->heading * kPi / 180.0;
        a->x -= metres * std::sin(rad);
        a->y -= metres * std::cos(rad);
        a->moved = true;
    }
    if (a->back_steps != 0 || a->rotation != 0.0 || a->hand_rotation != 0.0) a->track.push_back({a->x, a->y});
}

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
