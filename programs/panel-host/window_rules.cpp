// window_rules.cpp - the window's hints and hold-to-repeat (see window_rules.h).
#include "programs/panel-host/window_rules.h"

#include <cstdio>

#include "programs/panel-host/session.h"
#include "programs/panel-host/world.h"

namespace {

// 18 updates a second: the first repeat 9 updates after the press, then
// one every 3.
const uint32_t kRepeatDelay = 9, kRepeatEvery = 3;

// The arrows are the panel's; Left and Right are the keyboard's slew
// rotation keys.
const char* const kHints[kHintCount] = {
    /* kHintChoose              */ "left/right arrow: tail swings left/right; - + set push time",
    /* kHintNoTurn              */ "time 0, no turn: + or the Left/Right keys; an arrow starts",
    /* kHintConnecting          */ "the tug connects: wait for the crew's call",
    /* kHintSilentConnecting    */ "the tug connects; no crew call can be heard: wait",
    /* kHintRelease             */ "the crew asks: press B to release the parking brake",
    /* kHintSilentRelease       */ "now press B to release the parking brake (no sound)",
    /* kHintReleased            */ "brake released: the push begins in a few seconds",
    /* kHintPushing             */ "pushing straight; the turn comes as the timer ends",
    /* kHintYourTurnLeft        */ "no turn from the gauge: hold the Left key to heading %d",
    /* kHintYourTurnRight       */ "no turn from the gauge: hold the Right key to heading %d",
    /* kHintTooLate             */ "+ too late: push time passed. Turn by the Left/Right keys",
    /* kHintTurning             */ "turning to heading %d; the gauge stops the turn there",
    /* kHintTurningByHandLeft   */ "hold the Left key to heading %d; the gauge stops there",
    /* kHintTurningByHandRight  */ "hold the Right key to heading %d; the gauge stops there",
    /* kHintTurningAwayLeft     */ "turning away from heading %d: hold the Left key",
    /* kHintTurningAwayRight    */ "turning away from heading %d: hold the Right key",
    /* kHintBrakeIgnored        */ "brake set, but slew ignores it: the aircraft still moves",
    /* kHintRollingBack         */ "turn done: the tug pushes the aircraft on backwards",
    /* kHintSlowing             */ "the tug slows the aircraft to a stop",
    /* kHintStopped             */ "the aircraft has stopped: the tug lets go next",
    /* kHintDisconnecting       */ "the tug disconnects: wait for the crew's call",
    /* kHintSilentDisconnecting */ "the tug disconnects; no crew call can be heard: wait",
    /* kHintSet                 */ "the crew asks: press B to set the parking brake",
    /* kHintSilentSet           */ "now press B to set the parking brake (no sound)",
    /* kHintBrakeEarly          */ "brake set: the crew's goodbye follows once the tug is off",
    /* kHintFinal               */ "brake set: the crew says goodbye, then the gauge resets",
    /* kHintSilentFinal         */ "brake set: the gauge resets in about 8 s (no sound)",
};

// The hint naming the key that turns toward the target: `left` or `right`.
Hint KeyHint(const World& world, Hint left, Hint right) { return TowardTarget(world) < 0 ? left : right; }

}  // namespace

Hint ChooseHint(const World& world, bool plus_too_late) {
    const Pushback& p = world.push;
    const bool brake_set = world.brake_set, heard_crew = world.sound_heard;
    if (world.phase == kPhaseIdle) return world.timer == 0 ? kHintNoTurn : kHintChoose;
    if (plus_too_late) return kHintTooLate;
    switch (world.phase) {
    case kPhaseArming:
    case kPhaseReleaseWait:
        if (!p.crew_asks_release) return heard_crew ? kHintConnecting : kHintSilentConnecting;
        if (brake_set) return heard_crew ? kHintRelease : kHintSilentRelease;
        return kHintReleased;
    case kPhaseStraightPush:
        // A key to press comes before the word that the brake holds nothing.
        if (TurnIsThePilots(world)) return KeyHint(world, kHintYourTurnLeft, kHintYourTurnRight);
        return brake_set ? kHintBrakeIgnored : kHintPushing;
    case kPhaseTurn:
        if (!p.by_hand) return brake_set ? kHintBrakeIgnored : kHintTurning;
        // The way toward the target is the other key's while turning away.
        if (TurningAway(world)) return KeyHint(world, kHintTurningAwayLeft, kHintTurningAwayRight);
        return KeyHint(world, kHintTurningByHandLeft, kHintTurningByHandRight);
    case kPhaseAfterTurn:
        if (brake_set) return kHintBrakeIgnored;
        // The words follow what the gauge's last speed step did.
        if (world.aircraft.back_steps == 0) return kHintStopped;
        return p.slowing ? kHintSlowing : kHintRollingBack;
    default:   // the wrap-up and the final phase
        if (world.phase == kPhaseFinal && brake_set) return heard_crew ? kHintFinal : kHintSilentFinal;
        if (p.crew_asks_set && !brake_set) return heard_crew ? kHintSet : kHintSilentSet;
        if (brake_set) return kHintBrakeEarly;
        return heard_crew ? kHintDisconnecting : kHintSilentDisconnecting;
    }
}

std::string HintText(Hint hint, int32_t target) {
    char text[160];
    std::snprintf(text, sizeof text, kHints[hint], int(target));
    return text;
}

const char* CaptionWords(const char* words, uint32_t speaking_until, uint32_t update, bool sound_heard) {
    if (!sound_heard) return kNoSoundLine;
    return words != nullptr && update <= speaking_until ? words : "";
}

uint32_t HoldRepeats(uint32_t updates_held) {
    return updates_held < kRepeatDelay ? 0 : (updates_held - kRepeatDelay) / kRepeatEvery + 1;
}
