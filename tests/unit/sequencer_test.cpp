// The pushback sequence, tick by tick: whole pushbacks each way with the
// three push times that matter, then the edges of each phase.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host/gauge.h"
#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"
#include "test_support.h"

namespace {

const uint32_t kClickUpdate = 2;     // the direction is chosen after update 2
const uint32_t kPushStart = 281;     // arming from 3, release wait from 163

struct Flight {
    uint32_t turn_end;   // update on which the turn was found complete
    uint32_t reset;      // update on which the sequence went back to idle
};

class Sequencer : public GaugeTest {
protected:
    void SetUp() override {
        GaugeTest::SetUp();
        StartGauge();
    }

    // Flies a pushback as a pilot would: brake set, direction and push time
    // chosen, brake released once the crew has called, the heading turned a
    // degree per update once the turn command is out (or, with no push time,
    // once the push is under way), the brake set after the crew's last call.
    Flight Fly(const char* direction, int minus_clicks, int heading) {
        Set(kTokenOnGround, 1.0);
        Set(kTokenParkingBrake, 32767);
        Set(kTokenHeading, heading);
        Tick(kClickUpdate);
        Click(direction);
        for (int i = 0; i < minus_clicks; ++i) Click("minus");
        Tick(120 - kClickUpdate);
        Set(kTokenParkingBrake, 0);
        const bool timed = pushback.timer_seconds * 18 >= 4;
        while (timed ? EventsWithId(kEventSlewRotate).empty() : host.updates < kPushStart + 20)
            Tick();
        const int step = std::string(direction) == "left" ? 1 : -1;
        const int target = ((heading + 90 * step) % 360 + 360) % 360;
        Flight flight = {0, 0};
        for (int h = heading; h != target;) {
            h = ((h + step) % 360 + 360) % 360;
            Set(kTokenHeading, h);
            Tick();
        }
        while (pushback.turn_done == 0 && host.updates < 5000) Tick();
        flight.turn_end = host.updates;
        Tick(330);
        Set(kTokenParkingBrake, 32767);
        while ((pushback.tail_left || pushback.tail_right) && host.updates < 5000) Tick();
        flight.reset = host.updates;
        return flight;
    }
};

struct Case {
    const char* direction;
    int minus_clicks;
    int heading;
    int timer;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.direction << ", " << c.timer << " s, from heading " << c.heading;
}

class FullPushback : public Sequencer, public ::testing::WithParamInterface<Case> {};

TEST_P(FullPushback, EveryEventAndClipAtItsTick) {
    const Case c = GetParam();
    const Flight f = Fly(c.direction, c.minus_clicks, c.heading);
    const int32_t turn = std::string(c.direction) == "left" ? -37 : 37;
    const uint32_t T = c.timer * 18;
    const uint32_t p0 = kPushStart - 1;   // update + push tick

    EXPECT_EQ(PlaysOf("CLICK").size(), 1u + c.minus_clicks);
    EXPECT_EQ(PlaysOf("PB1"), (std::vector<PlayedClip>{{93, "PB1"}}));
    EXPECT_EQ(PlaysOf("PB2"), (std::vector<PlayedClip>{{218, "PB2"}}));
    EXPECT_EQ(EventsWithId(kEventCalibrate),
              (std::vector<SentEvent>{{263, kEventCalibrate, 1}, {264, kEventCalibrate, 1}}));
    EXPECT_EQ(EventsWithId(kEventSlewToggle),
              (std::vector<SentEvent>{{p0 + 2, kEventSlewToggle, 1}}));

    std::vector<SentEvent> ahead;
    for (uint32_t at : {p0 + 1, p0 + 37, p0 + 73, p0 + 101, f.turn_end, f.turn_end + 18})
        ahead.push_back({at, kEventSlewAheadMinus, 1});
    EXPECT_EQ(EventsWithId(kEventSlewAheadMinus), ahead);

    std::vector<SentEvent> freeze;
    if (T >= 7) freeze.push_back({p0 + T - 7, kEventSlewFreeze, 1});
    freeze.push_back({f.turn_end, kEventSlewFreeze, 1});
    EXPECT_EQ(EventsWithId(kEventSlewFreeze), freeze);

    std::vector<SentEvent> rotate;
    if (T >= 4) rotate.push_back({p0 + T - 4, kEventSlewRotate, turn});
    EXPECT_EQ(EventsWithId(kEventSlewRotate), rotate);

    EXPECT_EQ(EventsWithId(kEventSlewAheadPlus),
              (std::vector<SentEvent>{{f.turn_end + 150, kEventSlewAheadPlus, 1},
                                      {f.turn_end + 200, kEventSlewAheadPlus, 1}}));

    // Slew off on every tick from 220 ticks after the turn until the reset.
    const auto off = EventsWithId(kEventSlewOff);
    ASSERT_FALSE(off.empty());
    EXPECT_EQ(off.front().update, f.turn_end + 220);
    EXPECT_EQ(off.back().update, f.reset);
    EXPECT_EQ(off.size(), f.reset - (f.turn_end + 220) + 1);

    const uint32_t wrapup1 = f.turn_end + 220;
    EXPECT_EQ(PlaysOf("PB3"), (std::vector<PlayedClip>{{wrapup1 + 70, "PB3"}}));
    // Final ticks count from wrap-up tick 161 (the brake is set by then).
    EXPECT_EQ(PlaysOf("PB4"), (std::vector<PlayedClip>{{wrapup1 + 160 + 60, "PB4"}}));
    EXPECT_EQ(f.reset, wrapup1 + 160 + 140);

    // The tug starts with the push, repeats every 68 ticks and stops
    // repeating at wrap-up tick 16.
    const auto tug = PlaysOf("TUG");
    ASSERT_FALSE(tug.empty());
    EXPECT_EQ(tug.front().update, kPushStart);
    for (size_t i = 1; i < tug.size(); ++i) EXPECT_EQ(tug[i].update - tug[i - 1].update, 68u);
    EXPECT_LE(tug.back().update, wrapup1 + 15);
    EXPECT_GT(tug.back().update + 68, wrapup1 + 15);

    // Back at idle: the timer is 0 and shown in grey; the lamps are out.
    Tick();
    EXPECT_EQ(Display(), "  0sec");
    EXPECT_EQ(Colour(), kColourIdle);
    EXPECT_EQ(HostIconValue(kBitmapLeftLamp), -1.0);
    EXPECT_EQ(HostIconValue(kBitmapRightLamp), -1.0);
    // Every counter back where a fresh module has it; the timer at 0.
    PushbackState idle = kPushbackInitial;
    idle.timer_seconds = 0;
    idle.heading_now = pushback.heading_now;
    EXPECT_EQ(std::memcmp(&pushback, &idle, sizeof idle), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachWayAndTimer, FullPushback,
    ::testing::Values(Case{"left", 0, 300, 20}, Case{"right", 0, 45, 20}, Case{"left", 3, 270, 5},
                      Case{"right", 3, 90, 5}, Case{"left", 4, 10, 0}, Case{"right", 4, 180, 0}),
    [](const ::testing::TestParamInfo<Case>& info) {
        return std::string(info.param.direction) + "_" + std::to_string(info.param.timer) + "s";
    });

TEST_F(Sequencer, IdleTicksOnlyShowTheTimerAndTakeTheHeading) {
    Set(kTokenOnGround, 1.0);
    Set(kTokenHeading, 123.9);
    Tick(200);
    const PushbackState at_load = {0, 0, 20, 0, 444, 0, 0, 0, 0, 72, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&kPushbackInitial, &at_load, sizeof at_load), 0);
    PushbackState expected = kPushbackInitial;
    expected.heading_now = 123;
    EXPECT_EQ(std::memcmp(&pushback, &expected, sizeof expected), 0);
    EXPECT_EQ(Display(), " 20sec");
    EXPECT_EQ(Colour(), kColourIdle);
    EXPECT_EQ(host.display_value, 20.0);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(plays.empty());
}

TEST_F(Sequencer, ArmsOnlyOnExactlyOne) {
    Click("left");
    for (double almost : {0.9999, 1.0000001, -1.0, 2.0, std::nan("")}) {
        Set(kTokenOnGround, almost);
        Tick(5);
        EXPECT_EQ(pushback.arm_ticks, 0) << almost;
    }
    Set(kTokenOnGround, 1.0);
    Tick(2);   // the first tick still sees the old value
    EXPECT_EQ(pushback.arm_ticks, 1);
}

TEST_F(Sequencer, StallingOnACueRepeatsItEveryTick) {
    // Ticks until `counter` reaches `at`, then holds `token` at `value` for
    // `ticks` more: the counter stops one past `at`. A tick sees a value one
    // update late, so the value is set one tick before the cue's.
    auto stall = [&](const int32_t& counter, int32_t at, int32_t token, double value, int ticks) {
        while (counter < at) Tick();
        Set(token, value);
        Tick(ticks);
        EXPECT_EQ(counter, at + 1) << "stalled at " << at;
    };
    Set(kTokenOnGround, 1.0);
    Set(kTokenParkingBrake, 1.0);
    Tick();
    Click("right");
    stall(pushback.arm_ticks, 90, kTokenOnGround, 0.0, 5);
    EXPECT_EQ(PlaysOf("PB1").size(), 5u);

    Set(kTokenOnGround, 1.0);
    Tick(80);
    EXPECT_EQ(pushback.arm_ticks, 170);
    EXPECT_EQ(pushback.release_ticks, 0) << "the brake is still set";
    Set(kTokenParkingBrake, 0.0);
    stall(pushback.release_ticks, 55, kTokenParkingBrake, 5.0, 4);
    EXPECT_EQ(PlaysOf("PB2").size(), 4u);

    Set(kTokenParkingBrake, 0.0);
    stall(pushback.release_ticks, 100, kTokenParkingBrake, 5.0, 3);
    EXPECT_EQ(EventsWithId(kEventCalibrate).size(), 3u);
    EXPECT_EQ(pushback.push_ticks, 0);
}

TEST_F(Sequencer, ArmingAndReleaseStopAtTheirCaps) {
    Set(kTokenOnGround, 1.0);
    Set(kTokenParkingBrake, 1.0);
    Click("left");
    Tick(400);
    EXPECT_EQ(pushback.arm_ticks, 180);
    EXPECT_EQ(pushback.release_ticks, 0);
    Set(kTokenParkingBrake, -0.0);   // negative zero equals 0.0: released
    Tick(200);
    EXPECT_EQ(pushback.release_ticks, 119) << "the push starts at 119 and holds it there";
    EXPECT_GT(pushback.push_ticks, 0);
}

// Wrap-up from its first tick with the brake off, the tug's repeat due on
// wrap-up tick 15, 16 or 17: it repeats up to tick 16 and never after, the
// push counter stops as wrap-up begins, and wrap-up counts to 170 and holds.
TEST_F(Sequencer, TheTugFallsSilentOnWrapUpTick16) {
    for (int32_t due : {15, 16, 17}) {
        pushback = kPushbackInitial;
        pushback.tail_left = 1;
        pushback.arm_ticks = 180;
        pushback.release_ticks = 119;
        pushback.push_ticks = 1000;
        pushback.turn_done = 1;
        pushback.after_turn_ticks = 220;
        pushback.tug_sound_on = 1;
        pushback.tug_sound_timer = 73 - due;
        plays.clear();
        Tick(200);
        EXPECT_EQ(PlaysOf("TUG").size(), due <= 16 ? 1u : 0u) << due;
        EXPECT_EQ(pushback.tug_sound_on, 0);
        EXPECT_EQ(pushback.push_ticks, 1001) << "counted on the tick wrap-up began, not after";
        EXPECT_EQ(pushback.wrapup_ticks, 170);
        EXPECT_EQ(pushback.final_ticks, 0) << "the brake is off";
    }
    Set(kTokenParkingBrake, 0.5);   // any value above 0 is a set brake
    Tick(2);
    EXPECT_EQ(pushback.final_ticks, 1);
}

TEST_F(Sequencer, CountdownInWholeSecondsThenZero) {
    Set(kTokenOnGround, 1.0);
    Click("right");
    EXPECT_EQ(pushback.target_heading, 270) << "no tick yet: heading_now is 0";
    Tick();
    EXPECT_EQ(Colour(), kColourCountdown) << "right shows the countdown colour at once";
    EXPECT_EQ(Display(), " 20sec");
    while (pushback.push_ticks < 1) Tick();
    EXPECT_EQ(Display(), " 19sec");
    while (pushback.push_ticks < 18) Tick();
    EXPECT_EQ(Display(), " 19sec");
    Tick();
    EXPECT_EQ(Display(), " 18sec");
    while (pushback.push_ticks < 342) Tick();
    EXPECT_EQ(Display(), "  1sec");
    Tick();
    EXPECT_EQ(Display(), "  0sec");
    while (pushback.push_ticks < 400) Tick();
    EXPECT_EQ(Display(), "  0sec");
    EXPECT_EQ(host.display_value, 0.0);
}

TEST_F(Sequencer, LeftShowsTheCountdownColourOnlyOnceArming) {
    Click("left");
    Tick(3);
    EXPECT_EQ(Colour(), kColourIdle);
    Set(kTokenOnGround, 1.0);
    Tick(2);
    EXPECT_EQ(Colour(), kColourCountdown);
}

TEST_F(Sequencer, TimerChangesDuringThePushMoveTheTurnAtOnce) {
    Set(kTokenOnGround, 1.0);
    Click("left");
    while (pushback.push_ticks < 50) Tick();
    Click("minus");   // 15 s: freeze at 263, turn at 266
    EXPECT_EQ(pushback.push_ticks, 50);
    Tick();
    EXPECT_EQ(Display(), " 12sec");   // (270 - 51) / 18
    while (pushback.push_ticks < 270) Tick();
    const auto rotate = EventsWithId(kEventSlewRotate);
    ASSERT_EQ(rotate.size(), 1u);
    EXPECT_EQ(rotate[0].update - EventsWithId(kEventSlewAheadMinus)[0].update, 265u);
}

TEST_F(Sequencer, ATurnThatJumpsPastTheTargetIsNotSeen) {
    Set(kTokenOnGround, 1.0);
    Set(kTokenHeading, 100);
    Tick(2);
    Click("left");   // target 190
    while (pushback.push_ticks < 400) Tick();
    Set(kTokenHeading, 189.99);
    Tick(2);
    Set(kTokenHeading, 191);
    Tick(200);
    EXPECT_EQ(pushback.turn_done, 0);
    EXPECT_EQ(pushback.target_heading, 190);
    EXPECT_GT(PlaysOf("TUG").size(), 8u) << "the tug keeps repeating";
    Set(kTokenHeading, 190.7);
    Tick(2);
    EXPECT_EQ(pushback.turn_done, 1);
}

// A heading already at the target ends the turn only once the push runs,
// from its first tick on, whichever the direction.
TEST_F(Sequencer, TheTurnEndIsLookedForFromTheFirstPushTick) {
    for (const char* button : {"left", "right"}) {
        SCOPED_TRACE(button);
        pushback = kPushbackInitial;
        events.clear();
        Set(kTokenOnGround, 1.0);
        Set(kTokenHeading, 100);
        Tick(2);
        Click(button);
        Set(kTokenHeading, button[0] == 'l' ? 190 : 10);
        while (pushback.push_ticks == 0 && host.updates < 1000) {
            ASSERT_EQ(pushback.turn_done, 0);
            Tick();
        }
        EXPECT_EQ(pushback.push_ticks, 1);
        EXPECT_EQ(pushback.turn_done, 1);
        EXPECT_EQ(EventsWithId(kEventSlewFreeze),
                  (std::vector<SentEvent>{{host.updates, kEventSlewFreeze, 1}}));
    }
}

TEST_F(Sequencer, ClickingTheChosenDirectionAgainAfterTheTurnSetsANewTarget) {
    Set(kTokenOnGround, 1.0);
    Click("right");   // target 270 from heading 0
    while (pushback.push_ticks < 10) Tick();
    Set(kTokenHeading, 270);
    Tick(2);
    ASSERT_EQ(pushback.turn_done, 1);
    EXPECT_EQ(pushback.target_heading, kNoTarget);
    Click("right");   // from 270: 180
    EXPECT_EQ(pushback.target_heading, 180);
    Set(kTokenHeading, 180);
    Tick(2);
    EXPECT_EQ(EventsWithId(kEventSlewFreeze).size(), 2u);
    EXPECT_EQ(pushback.target_heading, kNoTarget);
}

// Bounds the host or the pilot could push past: a display that cannot
// overflow, headings that cannot make the conversion undefined (the timer's
// cap and the push counter's limit are the hostile tests').
TEST_F(Sequencer, ATimerBeyondItsCapStillFitsTheDisplay) {
    // A timer set beyond the cap by other means never writes past the six
    // characters and terminator the host gave.
    char guard[16];
    std::memset(guard, 'x', sizeof guard);
    char* saved = timer_display.text;
    timer_display.text = guard;
    pushback.timer_seconds = 123456;
    Tick();
    timer_display.text = saved;
    EXPECT_EQ(std::string(guard), "123456");
    EXPECT_EQ(guard[7], 'x');
}

// The display text is exactly what "%3.0fsec" makes of the value, cut to
// the six characters the display holds.
TEST(DisplayText, MatchesTheCLibrarysFormatting) {
    std::vector<int32_t> values;
    for (int32_t v = 0; v <= 1100; ++v) values.push_back(v);
    for (int32_t v : {9999, 10000, 99999, 123456, 1000000, 2147483647}) values.push_back(v);
    for (int32_t v : values) {
        char expected[32], text[8];
        std::snprintf(expected, sizeof expected, "%3.0fsec", static_cast<double>(v));
        expected[kDisplayBytes - 1] = '\0';
        std::memset(text, 'x', sizeof text);
        FormatSeconds(text, v);
        ASSERT_STREQ(text, expected) << v;
        ASSERT_EQ(text[7], 'x') << "nothing written past the terminator";
    }
    char text[8];
    FormatSeconds(text, -5);
    EXPECT_STREQ(text, "  0sec");
}

TEST_F(Sequencer, HeadingsBeyondRangeSaturate) {
    const double inf = std::numeric_limits<double>::infinity();
    struct { double in; int32_t out; } cases[] = {
        {std::nan(""), 0}, {inf, 2147483647}, {-inf, -2147483647 - 1}, {1e300, 2147483647},
        {-1e300, -2147483647 - 1}, {2147483647.9, 2147483647}, {-2147483648.9, -2147483647 - 1},
        {-2147483649.0, -2147483647 - 1}, {-2147483649.5, -2147483647 - 1}, {2147483648.0, 2147483647},
        {359.999, 359}, {-0.5, 0}, {0.0, 0}};
    for (auto c : cases) {
        EXPECT_EQ(WholeDegrees(c.in), c.out) << c.in;
        Set(kTokenHeading, c.in);
        Tick(2);
        EXPECT_EQ(pushback.heading_now, c.out) << c.in;
    }
}

TEST_F(Sequencer, TargetsFromSaturatedHeadingsStayExact) {
    Set(kTokenHeading, -std::numeric_limits<double>::infinity());
    Tick(2);
    Click("left");
    EXPECT_EQ(pushback.target_heading, -2147483647 - 1 + 90);
    pushback = kPushbackInitial;
    Set(kTokenHeading, 1e300);
    Tick(2);
    Click("right");
    EXPECT_EQ(pushback.target_heading, 2147483647 - 90);
}

TEST_F(Sequencer, KillAndInitialiseContinueTheSequence) {
    Set(kTokenOnGround, 1.0);
    Click("left");
    Tick(50);
    HostReload();
    EXPECT_EQ(pushback.arm_ticks, 49);
    Tick(50);
    EXPECT_EQ(PlaysOf("PB1").size(), 1u) << "PB1 plays from the freshly loaded clip";
    EXPECT_EQ(pushback.arm_ticks, 99);
}

}  // namespace
