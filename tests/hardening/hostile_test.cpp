// Hostile host input: values no simulator should send, clicks by the
// hundred thousand, counters driven to their limits. Built with the rest of
// the suite, and in the sanitizer build with every undefined operation made
// fatal, so these prove the absence of overflow and out-of-range conversion
// as well as the behaviour checked here.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "host/gauge.h"
#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"
#include "sound/device_recording.h"
#include "../unit/test_support.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const int32_t kMax = std::numeric_limits<int32_t>::max();

class Hostile : public GaugeTest {
protected:
    void SetUp() override {
        GaugeTest::SetUp();
        StartGauge();
        recording_control.on_call = nullptr;   // millions of plays: no call log
    }

    // What must hold after any update, whatever the host fed: the display
    // is six characters and a terminator, its value finite and not negative,
    // the lamps on or off, every counter inside its range.
    void ExpectSane(const char* where) {
        SCOPED_TRACE(where);
        const std::string text = Display();
        EXPECT_EQ(text.size(), 6u) << text;
        EXPECT_EQ(text.substr(3), "sec") << text;
        EXPECT_TRUE(std::isfinite(host.display_value));
        EXPECT_GE(host.display_value, 0.0);
        for (int32_t bitmap : {int32_t{kBitmapLeftLamp}, int32_t{kBitmapRightLamp}}) {
            const double lamp = HostIconValue(bitmap);
            EXPECT_TRUE(lamp == 1.0 || lamp == -1.0) << lamp;
        }
        const PushbackState& s = pushback;
        EXPECT_TRUE(s.timer_seconds >= 0 && s.timer_seconds <= kTimerCap) << s.timer_seconds;
        EXPECT_TRUE(s.arm_ticks >= 0 && s.arm_ticks <= 180) << s.arm_ticks;
        EXPECT_TRUE(s.release_ticks >= 0 && s.release_ticks <= 120) << s.release_ticks;
        EXPECT_GE(s.push_ticks, 0);
        EXPECT_TRUE(s.tug_sound_timer >= 0 && s.tug_sound_timer <= 73) << s.tug_sound_timer;
        EXPECT_TRUE(s.after_turn_ticks >= 0 && s.after_turn_ticks <= 220) << s.after_turn_ticks;
        EXPECT_TRUE(s.wrapup_ticks >= 0 && s.wrapup_ticks <= 170) << s.wrapup_ticks;
        EXPECT_TRUE(s.final_ticks >= 0 && s.final_ticks <= 141) << s.final_ticks;
    }

    // Feeds each of `values` to `token` for a few updates, checking after
    // each, then puts `restore` back.
    void Storm(int32_t token, std::initializer_list<double> values, double restore,
               const char* where) {
        for (double v : values) {
            Set(token, v);
            for (int i = 0; i < 3; ++i) {
                Tick();
                ExpectSane(where);
            }
        }
        Set(token, restore);
    }

    template <typename Done>
    void RunUntil(Done done, uint32_t limit = 100000) {
        const uint32_t stop = host.updates + limit;
        while (!done() && host.updates < stop) Tick();
        ASSERT_TRUE(done()) << "not reached within " << limit << " updates";
    }
};

const std::initializer_list<double> kWildHeadings = {kNaN, kInf, -kInf, 1e300, -1e300,
                                                     -0.0, 4.9e-324, 2147483648.0, -2147483649.0};

// Every simulator value goes wild in every phase of a pushback; the sequence
// neither breaks nor runs past a cap, and once the values are sane again it
// finishes and resets as usual.
TEST_F(Hostile, WildValuesInEveryPhaseLeaveTheSequenceIntact) {
    Set(kTokenOnGround, 1.0);
    Set(kTokenParkingBrake, 32767);
    Set(kTokenHeading, 10);
    Tick(2);
    Click("left");   // target 100
    Storm(kTokenHeading, kWildHeadings, 10, "idle, armed");
    Storm(kTokenOnGround, {kNaN, kInf, -kInf, 1e300, 0.0}, 1.0, "arming");
    RunUntil([] { return pushback.arm_ticks == 180; });
    // The brake held at NaN or -inf is neither set nor released.
    Storm(kTokenParkingBrake, {kNaN, -kInf, -1e300}, 32767, "waiting for the brake");
    EXPECT_EQ(pushback.release_ticks, 0);
    Set(kTokenParkingBrake, 0);
    RunUntil([] { return pushback.push_ticks > 50; });
    Storm(kTokenHeading, kWildHeadings, 10, "pushing");
    Storm(kTokenParkingBrake, {kNaN, kInf, -kInf}, 0, "pushing");
    Storm(kTokenOnGround, {kNaN, -kInf}, 1.0, "pushing");
    EXPECT_EQ(pushback.turn_done, 0) << "no wild heading is the target";
    RunUntil([] { return pushback.push_ticks > 400; });
    Set(kTokenHeading, 100.5);
    RunUntil([] { return pushback.turn_done == 1; });
    RunUntil([] { return pushback.after_turn_ticks == 100; });
    Storm(kTokenHeading, kWildHeadings, 100.5, "rolling clear");
    RunUntil([] { return pushback.wrapup_ticks == 165; });
    // Wrap-up waits for the brake; NaN and -inf are not a set brake.
    Storm(kTokenParkingBrake, {kNaN, -kInf, -1e300, -0.0}, 0, "wrap-up");
    EXPECT_EQ(pushback.final_ticks, 0);
    Set(kTokenParkingBrake, kInf);   // any positive value is a set brake
    RunUntil([] { return pushback.final_ticks == 70; });
    Storm(kTokenHeading, kWildHeadings, 100.5, "final");
    Storm(kTokenOnGround, {kNaN, kInf}, 1.0, "final");
    RunUntil([] { return pushback.tail_left == 0; });
    Tick();
    ExpectSane("reset");
    EXPECT_EQ(Display(), "  0sec");
    EXPECT_EQ(PlaysOf("PB4").size(), 1u);
    EXPECT_EQ(EventsWithId(kEventSlewFreeze).size(), 2u);
}

// The conversion of any double, against a reference computed in long double:
// truncation toward zero inside the 32-bit range, the nearest limit outside
// it, 0 for NaN. Random bit patterns reach subnormals, huge exponents and
// every NaN payload; the sanitizer build traps a conversion out of range.
TEST(HostileHeading, AnyDoubleConvertsToTheClampedWholeDegree) {
    std::mt19937_64 random(20240607);
    auto reference = [](double d) -> int32_t {
        if (std::isnan(d)) return 0;
        const long double t = std::trunc(static_cast<long double>(d));
        if (t >= 2147483647.0L) return kMax;
        if (t <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
        return static_cast<int32_t>(t);
    };
    std::uniform_real_distribution<double> near_range(-3.3e9, 3.3e9);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (i % 4 == 1) d = near_range(random);
        if (i % 4 == 2) d = std::nextafter(i % 8 == 2 ? 2147483648.0 : -2147483649.0, 0.0) + (i % 3) - 1;
        ASSERT_EQ(WholeDegrees(d), reference(d)) << d;
    }
}

// A hundred thousand clicks of each button, idle and mid-push, interleaved
// with updates: the timer stays in its range and on the display, the first
// direction holds, and every click sounds.
TEST_F(Hostile, AHundredThousandClicksOfEachButton) {
    Set(kTokenOnGround, 1.0);
    Set(kTokenHeading, 359.9);
    Tick(2);
    const char* buttons[] = {"plus", "left", "minus", "right"};
    for (int round = 0; round < 2; ++round) {
        for (const char* button : buttons) {
            for (int i = 0; i < 100000; ++i) {
                Click(button);
                if (i % 997 == 0) {
                    Tick();
                    ExpectSane(button);
                }
            }
            ExpectSane(button);
        }
        if (round == 0) {
            EXPECT_EQ(pushback.timer_seconds, 0) << "the last timer button pressed was minus";
            // Push under way for the second round: brake off, wait for it.
            Set(kTokenParkingBrake, 0);
            RunUntil([] { return pushback.push_ticks > 0; });
        }
    }
    EXPECT_EQ(pushback.tail_left, 1);
    EXPECT_EQ(pushback.tail_right, 0) << "right never takes over from left";
    EXPECT_EQ(pushback.target_heading, 89) << "left of 359";
    EXPECT_EQ(PlaysOf("CLICK").size(), 800000u);
    EXPECT_EQ(RecordedBufferOf(CLICK)->plays, 800000u);
    Click("plus");
    EXPECT_EQ(pushback.timer_seconds, 5);
}

// The straight push left running for 2^31 updates: the push counter is
// poked near its limit and ticked across it. It stops at the limit, the
// countdown stays at 0 whatever the timer (its cap included), the tug keeps
// repeating, no push cue fires again, and the turn then finishes the
// sequence as usual, which resets the counter.
TEST_F(Hostile, ATurnLeftWaitingForTwoToTheThirtyOneUpdates) {
    Set(kTokenOnGround, 1.0);
    Set(kTokenHeading, 200);
    Tick(2);
    Click("right");   // target 110
    for (int i = 0; i < 200; ++i) Click("plus");
    ASSERT_EQ(pushback.timer_seconds, kTimerCap);
    RunUntil([] { return pushback.push_ticks == 10; });
    const size_t events_before = events.size();
    const size_t tugs_before = PlaysOf("TUG").size();

    pushback.push_ticks = kMax - 100;
    for (int i = 0; i < 300; ++i) {
        Tick();
        ExpectSane("across the limit");
    }
    EXPECT_EQ(pushback.push_ticks, kMax);
    EXPECT_EQ(Display(), "  0sec");
    EXPECT_EQ(Colour(), kColourCountdown);
    EXPECT_EQ(host.display_value, 0.0);
    EXPECT_EQ(events.size(), events_before) << "no cue of the straight push fires again";
    EXPECT_EQ(PlaysOf("TUG").size() - tugs_before, 4u) << "300 updates: a repeat every 68";

    // The timer buttons still work, at both ends.
    Click("minus");
    Click("plus");
    Click("plus");
    EXPECT_EQ(pushback.timer_seconds, kTimerCap);
    Tick();
    EXPECT_EQ(Display(), "  0sec");

    Set(kTokenHeading, 110.2);
    RunUntil([] { return pushback.turn_done == 1; });
    EXPECT_EQ(pushback.push_ticks, kMax) << "the counter holds while the sequence winds down";
    Set(kTokenParkingBrake, 32767);
    RunUntil([] { return pushback.tail_right == 0; });
    EXPECT_EQ(pushback.push_ticks, 0);
    EXPECT_EQ(PlaysOf("PB3").size(), 1u);
    EXPECT_EQ(PlaysOf("PB4").size(), 1u);
}

// A whole straight push at the longest timer: every cue of the push at its
// tick, the countdown from 995 down to 0.
TEST_F(Hostile, TheLongestStraightPush) {
    Set(kTokenOnGround, 1.0);
    Click("left");
    for (int i = 0; i < 195; ++i) Click("plus");
    ASSERT_EQ(pushback.timer_seconds, kTimerCap);
    Tick();
    EXPECT_EQ(Display(), "995sec");
    RunUntil([] { return pushback.push_ticks == 1; });
    const uint32_t p0 = host.updates - 1;
    EXPECT_EQ(Display(), "994sec") << "(17910 - 1) / 18 in whole seconds";
    RunUntil([this] { return !EventsWithId(kEventSlewRotate).empty(); });
    const auto freeze = EventsWithId(kEventSlewFreeze);
    ASSERT_EQ(freeze.size(), 1u);
    EXPECT_EQ(freeze[0].update, p0 + 995 * 18 - 7);
    const auto rotate = EventsWithId(kEventSlewRotate);
    EXPECT_EQ(rotate[0].update, p0 + 995 * 18 - 4);
    EXPECT_EQ(rotate[0].value, -37);
    RunUntil([] { return pushback.push_ticks == 995 * 18; });
    EXPECT_EQ(Display(), "  0sec");
    EXPECT_EQ(PlaysOf("TUG").size(), 1u + (995u * 18u - 1u) / 68u);
    EXPECT_EQ(EventsWithId(kEventSlewAheadMinus).size(), 4u);
}

}  // namespace
