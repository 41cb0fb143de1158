// world.h - what panel-host puts behind the panel: the aircraft and the
// pilot (aircraft.h, pilot.h), the parking brake, and the pushback under
// way as the gauge shows and sends it (its phase, the side of the tail, the
// target).
// run and window share it; the timeline, the outputs and the window only
// look at it. Each mode has its own (panel_host.h), passed to every
// function here.
//
// The world hears the gauge's events and clips before anyone else: it
// applies each one, then tells its observers what happened (WorldEvent,
// WorldUpdate) and they find in `world` where that left it.
//
// The phase follows what the gauge itself shows and sends, for every
// pushback in turn:
//
//   phase         | begins when
//   --------------+---------------------------------------------------------
//   arming        | a lamp lights: a direction is chosen
//   release wait  | the crew's call to release the brake, or the calibration
//                 | event; with no sound, once the call is due (schedule.h)
//   straight push | the first slew step backwards
//   turn          | the turn command, or the pilot's own turn once the
//                 | gauge will give none (TurnIsThePilots)
//   after turn    | the freeze that ends the turn
//   wrap-up       | slew off
//   final         | the update the gauge's final count can run: late in the
//                 | wrap-up with the brake set (FinalCountRuns), wherever
//                 | the brake was set
//   idle          | the lamp goes out: the gauge reset
//
// Usage: WorldStart (a run adds its pilot), WorldObserve for each observer,
// then WorldStep for every update with what the pilot does between them
// (WorldAct, WorldSetBrake, WorldTimerClick, WorldHandRotation), and WorldEnd,
// which kills the gauge.
#pragma once

#include <cstdint>

#include "host/gauge_names.h"
#include "host/module_extras.h"
#include "programs/panel-host/aircraft.h"
#include "programs/panel-host/pilot.h"

const uint32_t kMaxUpdates = 60u * 60u * kTicksPerSecond;   // an hour of simulated time

// The phases of a pushback, in their order, and their names on the
// timeline and the window's status.
enum Phase : int32_t {
    kPhaseIdle, kPhaseArming, kPhaseReleaseWait, kPhaseStraightPush, kPhaseTurn, kPhaseAfterTurn, kPhaseWrapUp,
    kPhaseFinal, kPhaseCount
};
inline constexpr const char* kPhaseNames[kPhaseCount] = {"idle", "arming", "release wait", "straight push", "turn",
                                                         "after turn", "wrap-up", "final"};

// The pushback under way: its own facts, made whole when it begins and
// cleared whole when the gauge resets, so that none outlives it.
struct Pushback {
    bool     left = true;         // the tail goes left
    bool     by_hand = false;     // the pilot turns the aircraft, not the gauge
    int32_t  target = -1;         // the heading the turn ends on, -1 for none
    uint32_t push_start = 0;      // the update the push began on
    bool     crew_asks_release = false, crew_asks_set = false;
    // The gauge's own counts, as its events and the updates since the
    // choice show them: arming counts every update from the choice on (the
    // aircraft is on the ground), the wrap-up every update it sends slew
    // off.
    uint32_t arm_updates = 0, wrapup_updates = 0;
    bool     slowing = false;     // the last speed step after the turn was a step less backwards
};

// What an event of the gauge did, once the world applied it.
struct WorldEvent {
    uint32_t    id, value;
    const char* name;             // what the aircraft made of it
    // It ended the turn: at turn_end_heading, turn_end_off degrees from
    // the target.
    bool        turn_ended;
    double      turn_end_heading, turn_end_off;
};

// What an update did, once it is over: whether it reset the gauge after a
// pushback (the pushback is forgotten right after), and what it has to say
// for the timeline or null: the call a person would have heard now, or the
// final phase beginning.
struct WorldUpdate {
    bool        reset;
    const char* news;
};

// Told after the world applied an event or a clip, and once an update is
// over, what happened, with the context the observer was added with. Any of
// them may be null.
struct WorldObserver {
    void (*event)(void* context, const WorldEvent& event);
    void (*clip)(void* context, const char* name);
    void (*update_over)(void* context, const WorldUpdate& update);
};

// What the world needs of the loaded module (session.h's, or a test's):
// the call that tells it of every clip the module starts (null where the
// module reports none), and whether a person hears its sound, asked with
// `context` once the gauge has been initialised.
struct WorldModule {
    VornakSetClipObserverFn set_clip_observer;
    bool (*sound_heard)(const void* context);
    const void* context;
};

struct World {
    Aircraft aircraft;
    Pilot    pilot;               // acts only in a run; the window's pilot is a person
    bool     modelled_pilot = false;
    bool     brake_set = false;
    Phase    phase = kPhaseIdle;  // every other fact of the pushback's progress follows from it
    bool     in_update = false;   // the gauge's update is running
    Pushback push;
    // The push time as set: what the display shows until the push begins,
    // then changed by the clicks on minus and plus (WorldTimerClick).
    int32_t  timer = -1;

    // Whether a person hears the module's sound. Where not, the crew's
    // calls are taken as made when the gauge's schedule allows what they
    // ask for (schedule.h: ReleaseCallDue, SetCallDue).
    bool     sound_heard = true;

    uint32_t pushbacks = 0, resets = 0, clips_started = 0;

    // What WorldStart was given of the module, and who is told what happens.
    WorldModule linked = {};
    static const int32_t kMaxObservers = 4;
    struct Told { const WorldObserver* observer; void* context; };
    Told     observers[kMaxObservers] = {};
    int32_t  observer_count = 0;
};

// The pushback's progress, from its phase.
inline bool Chosen(const World& w) { return w.phase != kPhaseIdle; }
inline bool Pushing(const World& w) { return w.phase >= kPhaseStraightPush; }
inline bool Turning(const World& w) { return w.phase >= kPhaseTurn; }
inline bool Wrapping(const World& w) { return w.phase >= kPhaseWrapUp; }

// The aircraft standing at `heading`, on the ground with the parking brake
// set, and the gauge (attached to the host) installed and initialised. In
// a run the pilot of pilot.h then asks for the tail to `left` (or right)
// with a push time of `timer` seconds; in the window the person at the
// panel is the pilot.
void WorldStart(World& w, double heading, const WorldModule& module);
void WorldStartWithPilot(World& w, double heading, bool left, int32_t timer, const WorldModule& module);
// Observers are told in the order they were added, each with its context.
void WorldObserve(World& w, const WorldObserver* observer, void* context);
// Stops listening and kills the gauge.
void WorldEnd(World& w);

// The update that things happen in: the one running, or the next one for
// what the pilot does between updates.
uint32_t UpdateNow(const World& w);

// One update of the gauge (HostFrame), its observers told; then the
// aircraft moves by one update's slew. True when it reset the gauge after a
// pushback.
bool WorldStep(World& w);

// What the modelled pilot decided, on the panel or the brake.
void WorldAct(World& w, const PilotAction& act);
// The parking brake set or released.
void WorldSetBrake(World& w, bool set);
// The pilot clicked minus or plus: during the push the push time the gauge
// counts against changes with it. True when a plus came too late to give
// the turn.
bool WorldTimerClick(World& w, bool plus);
// The pilot presses (direction -1 nose left, +1 nose right) or lets go (0)
// of a slew rotation key: false when that changes nothing (slew is off, or
// the key was already so).
bool WorldHandRotation(World& w, int32_t direction);
// Once the pilot turns by hand where the gauge gives no turn, the turn is
// his (TurnIsThePilots): true when it begins now.
bool WorldTakeTurnByHand(World& w);

// True during a straight push whose turn the gauge will no longer give:
// the push time has passed (a push time of 0 never gives one). The turn is
// then the pilot's, by hand.
bool TurnIsThePilots(const World& w);

// Where the nose is to go to reach the target the short way: +1 right
// (the heading rising), -1 left, 0 when there is no target or the whole
// degrees are on it.
int32_t TowardTarget(const World& w);
// The pilot's rotation key turns the aircraft away from the target.
bool TurningAway(const World& w);

// The whole-degree heading the gauge's turn ends on when the tail goes to
// `left` (or right) from `heading`.
int32_t TurnTarget(double heading, bool left);

// Names of the panel's buttons, in the order of its mouse areas, for the
// timeline: "left", "right", "minus", "plus"; "?" past the four.
const char* ButtonName(int32_t child);
