// pushback.h - the pushback sequencer's state, its tick and the panel controls.
//
// PushbackTick runs once per host update as the timer display's value
// callback and drives a whole pushback from the chosen direction to the
// reset. The click handlers and lamp callbacks are what the four buttons and
// two lamps of the panel call. All of them share the one PushbackState.
#pragma once

#include <cstdint>

#include "host/abi.h"
#include "host/gauge_names.h"

struct PushbackState {
    int32_t tail_left;          // 1: tail swings left, heading increases by 90
    int32_t tail_right;         // 1: tail swings right, heading decreases by 90
    int32_t timer_seconds;      // straight-push time
    int32_t heading_now;        // whole degrees, taken at the start of each tick
    int32_t target_heading;     // where the turn ends; kNoTarget when none
    int32_t arm_ticks;
    int32_t release_ticks;
    int32_t push_ticks;
    int32_t tug_sound_on;
    int32_t tug_sound_timer;
    int32_t turn_done;
    int32_t after_turn_ticks;
    int32_t wrapup_ticks;
    int32_t final_ticks;
};

enum : int32_t {
    kNoTarget          = 444,
    kInitialTimer      = 20,
    kTimerStep         = 5,
    kTimerCap          = 995,   // "995sec" is the widest text the display holds
    kTugTimerInitial   = 72,
};

enum : uint32_t {
    kColourCountdown = 0x0000DEDE,
    kColourIdle      = 0x00DEDEDE,
};

// The tick's schedule (pushback.cpp): the counter values its steps are tied
// to, in ticks, also for a host that follows a pushback by them.
const int32_t kArmTicksCap       = 180;
const int32_t kArmPb1Tick        = 91;
const int32_t kArmReleaseAfter   = 160;
const int32_t kReleaseTicksCap   = 120;
const int32_t kReleasePb2Tick    = 56;
const int32_t kReleaseCalibrateA = 101;
const int32_t kReleaseCalibrateB = 102;
const int32_t kReleasePushAfter  = 118;
const int32_t kPushSlewOnTick    = 2;
inline constexpr int32_t kPushAheadTicks[] = {1, 37, 73, 101};
const int32_t kFreezeBeforeEnd   = 7;
const int32_t kTurnBeforeEnd     = 4;
const int32_t kTurnRate          = 37;
const int32_t kTugRepeatAbove    = 72;
const int32_t kTugAfterPlay      = 5;
const int32_t kAfterTurnAheadA   = 1;
const int32_t kAfterTurnAheadB   = 19;
const int32_t kAfterTurnPlusA    = 151;
const int32_t kAfterTurnPlusB    = 201;
const int32_t kAfterTurnTicksCap = 220;
const int32_t kWrapupTugStop     = 16;
const int32_t kWrapupPb3Tick     = 71;
const int32_t kWrapupTicksCap    = 170;
const int32_t kWrapupFinalAfter  = 160;
const int32_t kFinalPb4Tick      = 61;
const int32_t kFinalTicksLimit   = 140;

extern PushbackState pushback;

// The state a freshly loaded module starts with.
inline constexpr PushbackState kPushbackInitial = {
    /* tail_left        */ 0,
    /* tail_right       */ 0,
    /* timer_seconds    */ kInitialTimer,
    /* heading_now      */ 0,
    /* target_heading   */ kNoTarget,
    /* arm_ticks        */ 0,
    /* release_ticks    */ 0,
    /* push_ticks       */ 0,
    /* tug_sound_on     */ 0,
    /* tug_sound_timer  */ kTugTimerInitial,
    /* turn_done        */ 0,
    /* after_turn_ticks */ 0,
    /* wrapup_ticks     */ 0,
    /* final_ticks      */ 0,
};

double GAUGE_CALL PushbackTick(Element* element);

int32_t GAUGE_CALL TailLeftClick(int32_t where, int32_t flags);
int32_t GAUGE_CALL TailRightClick(int32_t where, int32_t flags);
int32_t GAUGE_CALL TimerDownClick(int32_t where, int32_t flags);
int32_t GAUGE_CALL TimerUpClick(int32_t where, int32_t flags);

double GAUGE_CALL TailLeftLamp(Element* element);
double GAUGE_CALL TailRightLamp(Element* element);

// Writes "%3.0fsec" of a whole number of seconds (negative shows as 0) into
// `text`, cut to the display's kDisplayChars and terminated.
void FormatSeconds(char* text, int32_t seconds);

// A heading in degrees as whole degrees, truncated toward zero. NaN gives 0;
// values beyond the 32-bit range give the nearest 32-bit limit.
int32_t WholeDegrees(double degrees);

// Where a turn chosen at `heading` (whole degrees) ends: 90 degrees up for
// the tail to the left, down for the tail to the right, in [0, 360) for a
// heading in [0, 360). heading_now may be anything the host fed the last
// tick; 64-bit arithmetic keeps the target exact for headings at the ends
// of the 32-bit range (the results always fit back into 32 bits).
const int32_t kQuarterTurn = 90;
const int32_t kFullTurn    = 360;

inline int32_t TargetLeftOf(int32_t heading) {
    int64_t target = static_cast<int64_t>(heading) + kQuarterTurn;
    if (target >= kFullTurn) target -= kFullTurn;
    return static_cast<int32_t>(target);
}

inline int32_t TargetRightOf(int32_t heading) {
    int64_t target = static_cast<int64_t>(heading) - kQuarterTurn;
    if (target < 0) target += kFullTurn;
    return static_cast<int32_t>(target);
}
