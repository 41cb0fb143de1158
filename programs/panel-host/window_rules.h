// window_rules.h - the window's rules that need no window: the hint under
// the status, chosen from the world, and a held button's repeats, counted
// in updates. window.cpp shows and applies them; they run on no clock.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/world.h"

// The hints under the status, one for every phase and the states within
// it; %d is the target heading. Where nobody hears the crew, the hints that
// wait for a call wait for the gauge's schedule instead (world.h). A hint
// naming a rotation key has one for each key, the one that turns toward
// the target.
enum Hint {
    kHintChoose, kHintNoTurn, kHintConnecting, kHintSilentConnecting, kHintRelease, kHintSilentRelease,
    kHintReleased, kHintPushing, kHintYourTurnLeft, kHintYourTurnRight, kHintTooLate, kHintTurning,
    kHintTurningByHandLeft, kHintTurningByHandRight, kHintTurningAwayLeft, kHintTurningAwayRight,
    kHintBrakeIgnored, kHintRollingBack, kHintSlowing, kHintStopped, kHintDisconnecting,
    kHintSilentDisconnecting, kHintSet, kHintSilentSet, kHintBrakeEarly, kHintFinal, kHintSilentFinal, kHintCount
};

// The hint for the world as it is now; `plus_too_late` while the window
// says that a plus came too late to give the turn.
Hint ChooseHint(const World& world, bool plus_too_late);
// Its words, with the target heading in them.
std::string HintText(Hint hint, int32_t target);

// The caption strip's words at update `update`: the crew's `words`, or
// null, while their call plays (until `speaking_until`); where nobody hears
// the crew, that they cannot be heard, whatever the gauge plays, as the
// hints then follow the gauge's schedule instead of its calls.
const char* CaptionWords(const char* words, uint32_t speaking_until, uint32_t update, bool sound_heard);

// A button held down repeats its click half a second after the click of
// the press, then six times a second: the repeats it has made once it has
// been held `updates_held` updates past the press's own.
uint32_t HoldRepeats(uint32_t updates_held);
