// phases.cpp - drives a pushback to each of its phases (see phases.h).
#include "benchmarks/phases.h"

#include <initializer_list>

#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sound/clip.h"

const char* const kPhaseNames[kPhaseCount] = {
    "idle", "arming", "release_wait", "straight_push", "turn", "rolling_clear", "wrap_up", "final"};

namespace {

template <typename Done>
void RunUntil(Done done) {
    for (int i = 0; i < 100000 && !done(); ++i) HostFrame();
}

bool Reached(Phase phase) {
    const PushbackState& s = pushback;
    switch (phase) {
        case kIdle: return true;
        case kArming: return s.arm_ticks >= 100;
        case kReleaseWait: return s.release_ticks >= 80;
        case kStraightPush: return s.push_ticks >= 150;
        case kTurn: return s.push_ticks >= 400;
        case kRollingClear: return s.after_turn_ticks >= 100;
        case kWrapUp: return s.wrapup_ticks >= 100;
        case kFinal: return s.final_ticks >= 100;
        default: return true;
    }
}

}  // namespace

PushbackState PreparePhase(Phase phase) {
    pushback = kPushbackInitial;
    for (SoundClip* c : kClipHandles) *c = nullptr;
    HostReset();
    HostAttach(&ImportTable, &Linkage);
    HostInstall();
    HostInitialize();
    HostSetValue(kTokenOnGround, 1.0);
    HostSetValue(kTokenHeading, 10.0);
    HostSetValue(kTokenParkingBrake, phase == kArming ? 32767.0 : 0.0);
    HostFrame();
    HostFrame();
    if (phase == kIdle) return pushback;
    int32_t x, y;
    HostChildCentre(0, &x, &y);
    HostClick(x, y);   // left: the turn ends at 100
    RunUntil([] { return pushback.push_ticks >= 400 || pushback.arm_ticks >= 100; });
    RunUntil([phase] { return Reached(phase) || pushback.push_ticks >= 400; });
    if (phase >= kRollingClear) {
        HostSetValue(kTokenHeading, 100.0);
        RunUntil([phase] { return Reached(phase) || pushback.wrapup_ticks >= 100; });
    }
    if (phase == kFinal) {
        HostSetValue(kTokenParkingBrake, 32767.0);
        RunUntil([] { return Reached(kFinal); });
    }
    RunUntil([phase] { return Reached(phase); });
    return pushback;
}

void FinishPhase() { HostKill(); }
