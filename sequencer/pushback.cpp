// pushback.cpp - PushbackTick, the per-update state machine of a pushback.
//
// The tick is a fixed list of short steps run in order on every host update.
// Each cue tied to a counter is tested as a strict window around its value
// (more than 90 and less than 92), so a cue repeats on every tick its counter
// holds that value: a sequence that stalls on such a value restarts its clip
// every tick. Times are counted in ticks; the only conversion is seconds x 18
// for the straight-push time.
#include "sequencer/pushback.h"

#include <cstring>

#include "host/gauge.h"
#include "host/module.h"
#include "sound/clip.h"

namespace {

const int32_t kCounterMax        = 2147483647;

bool Within(int32_t counter, int32_t above, int32_t below) {
    return counter > above && counter < below;
}

bool At(int32_t counter, int32_t value) { return Within(counter, value - 1, value + 1); }

// ready_var must hold exactly 1.0, bit for bit: 0.9999 or 1.0000001 do not arm.
bool IsExactlyOne(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == 0x3FF0000000000000ull;
}

void Send(uint32_t event_id, uint32_t value) { Host()->SendEvent(event_id, value); }

}  // namespace

// The display shows whole seconds, so "%3.0fsec" of the value comes down to
// the number right-aligned in at least three places, then "sec". Done by
// hand it costs a few dozen instructions instead of a trip through the C
// library's floating-point formatting on every update.
void FormatSeconds(char* text, int32_t seconds) {
    char line[16];
    char digits[10];
    int32_t n = 0;
    uint32_t rest = seconds > 0 ? static_cast<uint32_t>(seconds) : 0;
    do {
        digits[n++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    int32_t length = 0;
    for (int32_t pad = n; pad < 3; ++pad) line[length++] = ' ';
    while (n > 0) line[length++] = digits[--n];
    line[length++] = 's';
    line[length++] = 'e';
    line[length++] = 'c';
    // Never more than the display holds, whatever the timer was set to.
    if (length > kDisplayChars) length = kDisplayChars;
    std::memcpy(text, line, static_cast<size_t>(length));
    text[length] = '\0';
}

// Set as the module is built, never by code run at load: the 32-bit module
// has no run-time start-up to run it.
constinit PushbackState pushback = kPushbackInitial;

int32_t WholeDegrees(double degrees) {
    if (degrees != degrees) return 0;
    if (degrees >= 2147483648.0) return kCounterMax;
    if (degrees <= -2147483649.0) return -kCounterMax - 1;
    return static_cast<int32_t>(degrees);
}

double GAUGE_CALL PushbackTick(Element*) {
    PushbackState& s = pushback;
    const bool direction_chosen = s.tail_right == 1 || s.tail_left == 1;

    // The heading in whole degrees, once for the whole tick.
    s.heading_now = WholeDegrees(heading_var.value);

    // Arming: counts while a direction is chosen and the aircraft is on the
    // ground; on the way the tug crew calls in, unless the push has begun.
    if (direction_chosen && IsExactlyOne(ready_var.value)) s.arm_ticks += 1;
    if (At(s.arm_ticks, kArmPb1Tick) && s.push_ticks == 0) PlayClip(PB1, 0);
    if (s.arm_ticks > kArmTicksCap) s.arm_ticks = kArmTicksCap;

    // Release wait: once armed, counts while the parking brake is off, until
    // the push starts. On the way the crew confirms the release, and the
    // joystick calibration request goes out on two ticks shortly before the
    // push hands the aircraft to slew mode, in which the stick's axes move
    // it: the request has the stick taken as centred and moves nothing.
    if (hold_var.value == 0.0 && s.arm_ticks > kArmReleaseAfter && s.push_ticks == 0)
        s.release_ticks += 1;
    if (At(s.release_ticks, kReleasePb2Tick) && s.push_ticks == 0) PlayClip(PB2, 0);
    if (s.release_ticks > kReleaseTicksCap) s.release_ticks = kReleaseTicksCap;
    if (Within(s.release_ticks, kReleaseCalibrateA - 1, kReleaseCalibrateB + 1))
        Send(kEventCalibrate, 1);

    // The push: counts from the tick the release wait ends until the
    // wrap-up; slew mode goes on at its second tick. The tug engine starts
    // with it and repeats while the tug works.
    if (s.release_ticks > kReleasePushAfter && s.wrapup_ticks < 1) {
        if (s.push_ticks < kCounterMax) s.push_ticks += 1;
        s.tug_sound_on = 1;
    }
    if (At(s.push_ticks, kPushSlewOnTick)) Send(kEventSlewToggle, 1);
    if (s.tug_sound_on == 1) s.tug_sound_timer += 1;
    if (s.tug_sound_timer > kTugRepeatAbove) {
        PlayClip(TUG, 0);
        s.tug_sound_timer = kTugAfterPlay;
    }

    // The straight push gathers speed backwards in four steps.
    for (int32_t tick : kPushAheadTicks)
        if (At(s.push_ticks, tick)) Send(kEventSlewAheadMinus, 1);

    // At the chosen push time, less a few ticks: the aircraft stops, then
    // turns the way the tail is to swing.
    if (At(s.push_ticks, s.timer_seconds * kTicksPerSecond - kFreezeBeforeEnd))
        Send(kEventSlewFreeze, 1);
    if (At(s.push_ticks, s.timer_seconds * kTicksPerSecond - kTurnBeforeEnd)) {
        if (s.tail_right == 1) Send(kEventSlewRotate, static_cast<uint32_t>(kTurnRate));
        if (s.tail_left == 1) Send(kEventSlewRotate, static_cast<uint32_t>(-kTurnRate));
    }

    // The turn ends when the whole-degree heading meets the target, looked
    // for on every tick of the push.
    if ((s.tail_right == 1 && s.push_ticks > 0) || (s.tail_left == 1 && s.push_ticks > 0)) {
        if (s.heading_now == s.target_heading) {
            Send(kEventSlewFreeze, 1);
            s.target_heading = kNoTarget;
            s.turn_done = 1;
        }
    }

    // After the turn: two steps faster backwards to roll clear, then two
    // back to a standstill; once this counter is full, slew mode is turned
    // off and the wrap-up counts on every tick until the reset.
    if (s.turn_done == 1) s.after_turn_ticks += 1;
    if (At(s.after_turn_ticks, kAfterTurnAheadA)) Send(kEventSlewAheadMinus, 1);
    if (At(s.after_turn_ticks, kAfterTurnAheadB)) Send(kEventSlewAheadMinus, 1);
    if (At(s.after_turn_ticks, kAfterTurnPlusA)) Send(kEventSlewAheadPlus, 1);
    if (At(s.after_turn_ticks, kAfterTurnPlusB)) Send(kEventSlewAheadPlus, 1);
    if (s.after_turn_ticks > kAfterTurnTicksCap) {
        Send(kEventSlewOff, 1);
        s.after_turn_ticks = kAfterTurnTicksCap;
        s.wrapup_ticks += 1;
    }

    // Wrap-up: the tug falls silent and the crew asks for the brake.
    if (At(s.wrapup_ticks, kWrapupTugStop)) s.tug_sound_on = 0;
    if (At(s.wrapup_ticks, kWrapupPb3Tick)) PlayClip(PB3, 0);
    if (s.wrapup_ticks > kWrapupTicksCap) s.wrapup_ticks = kWrapupTicksCap;

    // Final: counts while the brake is set, late in the wrap-up; the
    // farewell, then back to idle with the timer at 0.
    if (hold_var.value > 0.0 && s.wrapup_ticks > kWrapupFinalAfter) s.final_ticks += 1;
    if (At(s.final_ticks, kFinalPb4Tick)) PlayClip(PB4, 0);
    if (s.final_ticks > kFinalTicksLimit) {
        s.push_ticks = 0;
        s.timer_seconds = 0;
        s.tail_right = 0;
        s.tail_left = 0;
        s.arm_ticks = 0;
        s.release_ticks = 0;
        s.wrapup_ticks = 0;
        s.final_ticks = 0;
        s.tug_sound_timer = kTugTimerInitial;
        s.turn_done = 0;
        s.after_turn_ticks = 0;
    }

    // The display: a countdown while a push is set up, else the timer.
    // The right direction shows the countdown at once; the left only once
    // arming has begun.
    int32_t seconds;
    if (s.tail_right == 1 || (s.tail_left == 1 && s.arm_ticks > 0)) {
        seconds = (s.timer_seconds * kTicksPerSecond - s.push_ticks) / kTicksPerSecond;
        timer_display.text_colour = kColourCountdown;
    } else {
        seconds = s.timer_seconds;
        timer_display.text_colour = kColourIdle;
    }
    if (seconds < 0) seconds = 0;
    if (timer_display.text != nullptr) FormatSeconds(timer_display.text, seconds);
    return seconds;
}
