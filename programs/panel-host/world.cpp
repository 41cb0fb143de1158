// world.cpp - the world behind the panel and its one step (see world.h).
#include "programs/panel-host/world.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "hostsim/hostsim.h"
#include "programs/panel-host/session.h"

World world;

namespace {

const int32_t kMaxObservers = 4;

struct Observers {
    const WorldObserver* list[kMaxObservers] = {};
    int32_t count = 0;
};

Observers observers;

void NewPushback() {
    world.chosen = true;
    world.pushing = world.turning = world.turn_done = world.wrapping = world.by_hand = false;
    world.crew_asks_release = world.crew_asks_set = false;
    world.arm_updates = world.wrapup_updates = 0;
    world.slowing = false;
    // The gauge aims 90 degrees to the tail's side of the heading it saw.
    world.target = TurnTarget(world.aircraft.heading, world.left);
    world.pushbacks++;
    world.phase = kPhaseArming;
}

void OnEvent(uint32_t id, uint32_t value, void*) {
    const uint32_t update = CurrentUpdate();
    Aircraft& a = world.aircraft;
    world.event_name = AircraftEvent(&a, id, value);
    world.turn_ended = false;
    if (world.chosen) {
        if (id == kEventCalibrate && !world.pushing) world.phase = kPhaseReleaseWait;
        if (id == kEventSlewAheadMinus && !world.pushing) {
            world.pushing = true;
            world.push_start = update;
            world.phase = kPhaseStraightPush;
        }
        if (id == kEventSlewToggle && a.slew && world.modelled_pilot) PilotSeesPushBegin(&world.pilot, update);
        if (id == kEventSlewRotate && !world.turning) {
            world.turning = true;
            world.phase = kPhaseTurn;
        }
        if (id == kEventSlewOff && !world.wrapping) {
            world.wrapping = true;
            world.phase = kPhaseWrapUp;
        }
        if (id == kEventSlewOff) world.wrapup_updates++;
        if (id == kEventSlewAheadMinus || id == kEventSlewAheadPlus) world.slowing = id == kEventSlewAheadPlus;
    }
    if (id == kEventSlewOff && world.modelled_pilot) PilotSeesSlewOff(&world.pilot, update);
    // Where the turn should end follows from the command itself (a negative
    // rate turns the nose right), also in the window, where the person at
    // the panel chose the side.
    if (id == kEventSlewRotate) world.target = TurnTarget(a.heading, static_cast<int32_t>(value) < 0);
    if (id == kEventSlewFreeze && world.turning && !world.turn_done) {
        world.turn_done = world.turn_ended = true;
        world.turn_end_heading = a.heading;
        double off = std::fabs(a.heading - world.target);
        if (off > 180.0) off = 360.0 - off;
        world.turn_end_off = off;
        world.phase = kPhaseAfterTurn;
    }
    for (int32_t i = 0; i < observers.count; ++i)
        if (observers.list[i]->event) observers.list[i]->event(id, value);
}

// What the gauge's schedule allows now, where nobody hears the crew ask
// for it; and the final phase, which begins on the update the gauge's
// final count can run.
void FollowTheSchedule() {
    world.news = nullptr;
    if (!world.chosen) return;
    world.arm_updates++;
    if (!world.sound_heard && !world.pushing && !world.crew_asks_release &&
        world.arm_updates > uint32_t(kArmReleaseAfter)) {
        world.crew_asks_release = true;
        world.phase = kPhaseReleaseWait;
        world.news = "no sound: the crew would ask now for the parking brake to be released";
    }
    if (!world.sound_heard && world.wrapping && !world.crew_asks_set &&
        world.wrapup_updates >= uint32_t(kWrapupPb3Tick)) {
        world.crew_asks_set = true;
        world.news = "no sound: the crew would ask now for the parking brake to be set";
    }
    if (world.wrapping && world.phase != kPhaseFinal && world.brake_set &&
        world.wrapup_updates > uint32_t(kWrapupFinalAfter)) {
        world.phase = kPhaseFinal;
        world.news = "the brake is set and the tug is gone: the gauge's final count runs";
    }
}

void OnClip(const char* name, void*) {
    const uint32_t update = CurrentUpdate();
    world.clips_started++;
    // The call opens the release wait, as the gauge plays it; but a call
    // nobody hears asks the person for nothing: the schedule stands in.
    if (std::strcmp(name, kClipNames[kClipPB1]) == 0 && world.chosen && !world.pushing) {
        world.phase = kPhaseReleaseWait;
        if (world.sound_heard) world.crew_asks_release = true;
    }
    if (world.sound_heard && std::strcmp(name, kClipNames[kClipPB3]) == 0) world.crew_asks_set = true;
    if (world.modelled_pilot) PilotHears(&world.pilot, name, update);
    for (int32_t i = 0; i < observers.count; ++i)
        if (observers.list[i]->clip) observers.list[i]->clip(name);
}

}  // namespace

uint32_t CurrentUpdate() { return world.in_update ? host.updates : host.updates + 1; }

void WorldStart(double heading) {
    world = World{};
    observers = Observers{};
    AircraftReset(&world.aircraft, heading);
    if (module.set_clip_observer) module.set_clip_observer(OnClip, nullptr);
    HostAddEventHook(OnEvent, nullptr);
    // On the ground with the parking brake set, then the gauge installed
    // and initialised.
    HostSetValue(kTokenOnGround, 1.0);
    WorldSetBrake(true);
    HostSetValue(kTokenHeading, world.aircraft.heading);
    HostInstall();
    HostInitialize();
    world.sound_heard = ModuleSoundHeard();
}

void WorldStartWithPilot(double heading, bool left, int32_t timer) {
    WorldStart(heading);
    world.modelled_pilot = true;
    PilotReset(&world.pilot, left, timer);
}

void WorldObserve(const WorldObserver* observer) {
    if (observers.count < kMaxObservers) observers.list[observers.count++] = observer;
}

void WorldEnd() {
    if (module.set_clip_observer) module.set_clip_observer(nullptr, nullptr);
    HostRemoveEventHook(OnEvent, nullptr);
    observers = Observers{};
    HostKill();
}

bool WorldStep() {
    world.in_update = true;
    HostFrame();
    // Until the push begins the display shows the push time itself.
    if (!world.chosen || !world.pushing) world.timer = int32_t(host.display_value);
    const bool lit = HostIconValue(kBitmapLeftLamp) == 1.0 || HostIconValue(kBitmapRightLamp) == 1.0;
    bool reset = false;
    if (lit && !world.chosen) {
        world.left = HostIconValue(kBitmapLeftLamp) == 1.0;
        NewPushback();
    } else if (!lit && world.chosen) {
        reset = true;
    }
    FollowTheSchedule();
    for (int32_t i = 0; i < observers.count; ++i)
        if (observers.list[i]->update_over) observers.list[i]->update_over(reset);
    world.in_update = false;
    if (reset) {
        world.chosen = false;
        world.target = -1;
        world.resets++;
        world.phase = kPhaseIdle;
    }
    AircraftStep(&world.aircraft);
    HostSetValue(kTokenHeading, world.aircraft.heading);
    return reset;
}

void WorldAct(const PilotAction& act) {
    if (act.kind == kPilotClick) {
        int32_t x, y;
        if (HostChildCentre(act.button, &x, &y)) HostClick(x, y);
    } else if (act.kind == kPilotReleaseBrake) {
        WorldSetBrake(false);
    } else if (act.kind == kPilotSetBrake) {
        WorldSetBrake(true);
    }
}

void WorldSetBrake(bool set) {
    HostSetValue(kTokenParkingBrake, set ? kParkingBrakeSet : 0.0);
    world.brake_set = set;
}

bool TurnIsThePilots() {
    if (!world.pushing || world.turning) return false;
    // The update after this one is the push's (host.updates - push_start + 2)th.
    const int64_t turn_at = int64_t(world.timer) * kTicksPerSecond - kTurnBeforeEnd;
    return turn_at < int64_t(host.updates) - int64_t(world.push_start) + 2;
}

bool WorldTimerClick(bool plus) {
    if (!world.pushing || world.turning) return false;
    world.timer = std::clamp(world.timer + (plus ? kTimerStep : -kTimerStep), 0, int32_t(kTimerCap));
    return plus && TurnIsThePilots();
}

bool WorldHandRotation(int32_t direction) {
    Aircraft& a = world.aircraft;
    const double was = a.hand_rotation;
    a.hand_rotation = a.slew ? direction * kHandDegreesPerUpdate : 0.0;
    return a.hand_rotation != was;
}

bool WorldTakeTurnByHand() {
    if (!TurnIsThePilots()) return false;
    world.turning = world.by_hand = true;
    world.phase = kPhaseTurn;
    return true;
}

int32_t TowardTarget() {
    if (world.target < 0) return 0;
    const int32_t ahead = ((world.target - int32_t(world.aircraft.heading)) % 360 + 360) % 360;
    return ahead == 0 ? 0 : ahead <= 180 ? 1 : -1;
}

bool TurningAway() {
    const double turn = world.aircraft.hand_rotation;
    const int32_t toward = TowardTarget();
    return toward != 0 && turn != 0.0 && (turn > 0.0) != (toward > 0);
}

int32_t TurnTarget(double heading, bool left) {
    // The aircraft's heading is in [0, 360): its whole degrees are the
    // gauge's heading_now.
    const int32_t whole = int32_t(heading);
    return left ? TargetLeftOf(whole) : TargetRightOf(whole);
}

const char* ButtonName(int32_t child) {
    return child >= 0 && child < kButtonCount ? kButtonNames[child] : "?";
}
