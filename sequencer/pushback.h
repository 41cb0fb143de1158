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
    kQuarterTurn       = 90,    // degrees a pushback turns the heading through
};

enum : uint32_t {
    kColourCountdown = 0x0000DEDE,
    kColourIdle      = 0x00DEDEDE,
};

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

// The display holds six characters and a terminator.
const int32_t kDisplayBytes = 7;

// Writes "%3.0fsec" of a whole number of seconds (negative shows as 0) into
// `text`, cut to the display's six characters and terminated.
void FormatSeconds(char* text, int32_t seconds);

// A heading in degrees as whole degrees, truncated toward zero. NaN gives 0;
// values beyond the 32-bit range give the nearest 32-bit limit.
int32_t WholeDegrees(double degrees);
