// world.cpp - the world behind the panel and its one step (see world.h).
#include "programs/panel-host/world.h"

#include <cmath>
#include <cstring>

#include "hostsim/hostsim.h"
#include "programs/panel-host/schedule.h"

namespace {

void NewPushback(World& world, bool left) {
    world.push = Pushback{};
    world.push.left = left;
    // The gauge aims 90 degrees to the tail's side of the heading it saw.
    world.push.target = TurnTarget(world.aircraft.heading, left);
    world.pushbacks++;
    world.phase = kPhaseArming;
}

void OnEvent(uint32_t id, uint32_t value, void* context) {
    World& world = *static_cast<World*>(context);
    const uint32_t update = UpdateNow(world);
    Aircraft& a = world.aircraft;
    Pushback& p = world.push;
    WorldEvent e = {id, value, AircraftEvent(&a, id, value), false, -1.0, -1.0};
    if (Chosen(world)) {
        if (id == kEventCalibrate && !Pushing(world)) world.phase = kPhaseReleaseWait;
        if (id == kEventSlewAheadMinus && !Pushing(world)) {
            p.push_start = update;
            world.phase = kPhaseStraightPush;
        }
        if (id == kEventSlewToggle && a.slew && world.modelled_pilot) PilotSeesPushBegin(&world.pilot, update);
        if (id == kEventSlewRotate && !Turning(world)) world.phase = kPhaseTurn;
        if (id == kEventSlewOff && !Wrapping(world)) world.phase = kPhaseWrapUp;
        if (id == kEventSlewOff) p.wrapup_updates++;
        if (id == kEventSlewAheadMinus || id == kEventSlewAheadPlus) p.slowing = id == kEventSlewAheadPlus;
    }
    if (id == kEventSlewOff && world.modelled_pilot) PilotSeesSlewOff(&world.pilot, update);
    // Where the turn should end follows from the command itself (a negative
    // rate turns the nose right), also in the window, where the person at
    // the panel chose the side.
    if (id == kEventSlewRotate) p.target = TurnTarget(a.heading, static_cast<int32_t>(value) < 0);
    if (id == kEventSlewFreeze && world.phase == kPhaseTurn) {
        e.turn_ended = true;
        e.turn_end_heading = a.heading;
        double off = std::fabs(a.heading - p.target);
        if (off > 180.0) off = 360.0 - off;
        e.turn_end_off = off;
        world.phase = kPhaseAfterTurn;
    }
    for (int32_t i = 0; i < world.observer_count; ++i)
        if (world.observers[i].observer->event) world.observers[i].observer->event(world.observers[i].context, e);
}

// What the gauge's schedule allows now, where nobody hears the crew ask
// for it; and the final phase, which begins on the update the gauge's
// final count can run. Returns what the update has to say of it, or null.
const char* FollowTheSchedule(World& world) {
    const char* news = nullptr;
    if (!Chosen(world)) return news;
    Pushback& p = world.push;
    p.arm_updates++;
    if (!world.sound_heard && !Pushing(world) && !p.crew_asks_release && ReleaseCallDue(p.arm_updates)) {
        p.crew_asks_release = true;
        world.phase = kPhaseReleaseWait;
        news = "no sound: the crew would ask now for the parking brake to be released";
    }
    if (!world.sound_heard && Wrapping(world) && !p.crew_asks_set && SetCallDue(p.wrapup_updates)) {
        p.crew_asks_set = true;
        news = "no sound: the crew would ask now for the parking brake to be set";
    }
    if (world.phase == kPhaseWrapUp && FinalCountRuns(p.wrapup_updates, world.brake_set)) {
        world.phase = kPhaseFinal;
        news = "the brake is set and the tug is gone: the gauge's final count runs";
    }
    return news;
}

void OnClip(const char* name, void* context) {
    World& world = *static_cast<World*>(context);
    const uint32_t update = UpdateNow(world);
    world.clips_started++;
    // The call opens the release wait, as the gauge plays it; but a call
    // nobody hears asks the person for nothing: the schedule stands in.
    if (std::strcmp(name, kClipNames[kClipPB1]) == 0 && Chosen(world) && !Pushing(world)) {
        world.phase = kPhaseReleaseWait;
        if (world.sound_heard) world.push.crew_asks_release = true;
    }
    if (world.sound_heard && std::strcmp(name, kClipNames[kClipPB3]) == 0) world.push.crew_asks_set = true;
    if (world.modelled_pilot) PilotHears(&world.pilot, name, update);
    for (int32_t i = 0; i < world.observer_count; ++i)
        if (world.observers[i].observer->clip) world.observers[i].observer->clip(world.observers[i].context, name);
}

}  // namespace

uint32_t UpdateNow(const World& w) { return w.in_update ? host.updates : host.updates + 1; }

void WorldStart(World& world, double heading, const WorldModule& module) {
    world = World{};
    world.linked = module;
    AircraftReset(&world.aircraft, heading);
    if (world.linked.set_clip_observer) world.linked.set_clip_observer(OnClip, &world);
    HostAddEventHook(OnEvent, &world);
    // On the ground with the parking brake set, then the gauge installed
    // and initialised.
    HostSetValue(kTokenOnGround, 1.0);
    WorldSetBrake(world, true);
    HostSetValue(kTokenHeading, world.aircraft.heading);
    HostInstall();
    HostInitialize();
    world.sound_heard = world.linked.sound_heard(world.linked.context);
}

void WorldStartWithPilot(World& world, double heading, bool left, int32_t timer, const WorldModule& module) {
    WorldStart(world, heading, module);
    world.modelled_pilot = true;
    PilotReset(&world.pilot, left, timer);
}

void WorldObserve(World& world, const WorldObserver* observer, void* context) {
    if (world.observer_count < World::kMaxObservers) world.observers[world.observer_count++] = {observer, context};
}

void WorldEnd(World& world) {
    if (world.linked.set_clip_observer) world.linked.set_clip_observer(nullptr, nullptr);
    HostRemoveEventHook(OnEvent, &world);
    world.observer_count = 0;
    HostKill();
}

bool WorldStep(World& world) {
    world.in_update = true;
    HostFrame();
    // Until the push begins the display shows the push time itself.
    if (!Pushing(world)) world.timer = int32_t(host.display_value);
    const bool lit = HostIconValue(kBitmapLeftLamp) == 1.0 || HostIconValue(kBitmapRightLamp) == 1.0;
    bool reset = false;
    if (lit && !Chosen(world))
        NewPushback(world, HostIconValue(kBitmapLeftLamp) == 1.0);
    else if (!lit && Chosen(world))
        reset = true;
    const WorldUpdate over = {reset, FollowTheSchedule(world)};
    for (int32_t i = 0; i < world.observer_count; ++i)
        if (world.observers[i].observer->update_over)
            world.observers[i].observer->update_over(world.observers[i].context, over);
    world.in_update = false;
    if (reset) {
        world.push = Pushback{};
        world.resets++;
        world.phase = kPhaseIdle;
    }
    AircraftStep(&world.aircraft);
    HostSetValue(kTokenHeading, world.aircraft.heading);
    return reset;
}

void WorldAct(World& world, const PilotAction& act) {
    if (act.kind == kPilotClick) {
        int32_t x, y;
        if (HostChildCentre(act.button, &x, &y)) HostClick(x, y);
    } else if (act.kind == kPilotReleaseBrake) {
        WorldSetBrake(world, false);
    } else if (act.kind == kPilotSetBrake) {
        WorldSetBrake(world, true);
    }
}

void WorldSetBrake(World& world, bool set) {
    HostSetValue(kTokenParkingBrake, set ? kParkingBrakeSet : 0.0);
    world.brake_set = set;
}

bool TurnIsThePilots(const World& world) {
    if (world.phase != kPhaseStraightPush) return false;
    // Asked between updates: the next one is the first the gauge could turn on.
    return TurnPushTick(world.timer) < PushTickOn(host.updates + 1, world.push.push_start);
}

bool WorldTimerClick(World& world, bool plus) {
    if (world.phase != kPhaseStraightPush) return false;
    world.timer = TimerAfterClick(world.timer, plus);
    return plus && TurnIsThePilots(world);
}

bool WorldHandRotation(World& world, int32_t direction) {
    Aircraft& a = world.aircraft;
    const double was = a.hand_rotation;
    a.hand_rotation = a.slew ? direction * kHandDegreesPerUpdate : 0.0;
    return a.hand_rotation != was;
}

bool WorldTakeTurnByHand(World& world) {
    if (!TurnIsThePilots(world)) return false;
    world.push.by_hand = true;
    world.phase = kPhaseTurn;
    return true;
}

int32_t TowardTarget(const World& world) {
    if (world.push.target < 0) return 0;
    const int32_t ahead = ((world.push.target - int32_t(world.aircraft.heading)) % 360 + 360) % 360;
    return ahead == 0 ? 0 : ahead <= 180 ? 1 : -1;
}

bool TurningAway(const World& world) {
    const double turn = world.aircraft.hand_rotation;
    const int32_t toward = TowardTarget(world);
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
