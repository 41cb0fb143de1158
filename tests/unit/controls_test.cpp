// The four buttons and two lamps.
#include "host/gauge.h"
#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "test_support.h"

namespace {

class Controls : public GaugeTest {
protected:
    void SetUp() override {
        GaugeTest::SetUp();
        StartGauge();
    }
    void AtHeading(double heading) {
        Set(kTokenHeading, heading);
        Tick(2);   // refreshed after the first, taken by the second
    }
};

TEST_F(Controls, DirectionTargetsWrapAroundNorth) {
    struct { double heading; const char* button; int32_t target; } cases[] = {
        {300.0, "left", 30}, {45.0, "right", 315}, {270.0, "left", 0}, {90.0, "right", 0},
        {300.9, "left", 30}, {0.0, "right", 270}, {269.5, "left", 359}, {89.99, "right", 359}};
    for (auto c : cases) {
        pushback = kPushbackInitial;
        AtHeading(c.heading);
        Click(c.button);
        EXPECT_EQ(pushback.target_heading, c.target) << c.button << " at " << c.heading;
    }
}

TEST_F(Controls, TheTargetComesFromTheLastTickNotTheRefresh) {
    Click("left");
    EXPECT_EQ(pushback.target_heading, 90) << "before any tick the heading is 0";
    pushback = kPushbackInitial;
    Click("right");
    EXPECT_EQ(pushback.target_heading, 270);

    // Either direction refreshes the heading for the next tick, then clicks.
    for (const char* button : {"left", "right"}) {
        pushback = kPushbackInitial;
        AtHeading(0.0);
        Set(kTokenHeading, 200);
        host_calls.clear();
        Click(button);
        EXPECT_EQ(pushback.target_heading, button[0] == 'l' ? 90 : 270) << button;
        EXPECT_EQ(heading_var.value, 200.0) << button << ": the click refreshed the heading";
        EXPECT_EQ(host_calls, (std::vector<std::string>{"ReadVariable heading",
                                                         "SetCurrentPosition CLICK", "Play CLICK"}))
            << button;
    }
}

TEST_F(Controls, TheFirstDirectionHoldsUntilTheReset) {
    Click("right");
    Click("left");
    EXPECT_EQ(pushback.tail_right, 1);
    EXPECT_EQ(pushback.tail_left, 0);
    EXPECT_EQ(pushback.target_heading, 270) << "the other button changes no target";
    EXPECT_EQ(PlaysOf("CLICK").size(), 2u) << "both clicks sound";
    Tick();
    EXPECT_EQ(HostIconValue(kBitmapRightLamp), 1.0);
    EXPECT_EQ(HostIconValue(kBitmapLeftLamp), -1.0);
}

TEST_F(Controls, LampsFollowTheChosenDirection) {
    Tick();
    EXPECT_EQ(HostIconValue(kBitmapLeftLamp), -1.0);
    EXPECT_EQ(HostIconValue(kBitmapRightLamp), -1.0);
    Click("left");
    EXPECT_EQ(TailLeftLamp(nullptr), 1.0);
    Tick();
    EXPECT_EQ(HostIconValue(kBitmapLeftLamp), 1.0);
    EXPECT_EQ(HostIconValue(kBitmapRightLamp), -1.0);
}

TEST_F(Controls, TimerStepsByFiveBetweenZeroAndItsCap) {
    Click("minus");
    EXPECT_EQ(pushback.timer_seconds, 15);
    Click("plus");
    Click("plus");
    EXPECT_EQ(pushback.timer_seconds, 25);
    pushback.timer_seconds = 992;   // set by other means: a part step short of the cap
    Click("plus");
    EXPECT_EQ(pushback.timer_seconds, 995);
    Click("plus");
    EXPECT_EQ(pushback.timer_seconds, 995);
    pushback.timer_seconds = 4;   // one short of a step above zero
    Click("minus");
    EXPECT_EQ(pushback.timer_seconds, 0);
    Click("minus");
    EXPECT_EQ(pushback.timer_seconds, 0);
    EXPECT_EQ(PlaysOf("CLICK").size(), 7u) << "every click sounds, even one that changes nothing";
    Tick();
    EXPECT_EQ(Display(), "  0sec");
}

TEST_F(Controls, HandlersAnswerZeroAndIgnoreTheirArguments) {
    EXPECT_EQ(TimerUpClick(0x7FFFFFFF, -1), 0);
    EXPECT_EQ(TimerDownClick(-5, 12345), 0);
    EXPECT_EQ(TailRightClick(0, 0), 0);
    EXPECT_EQ(TailLeftClick(1, 1), 0);
    EXPECT_EQ(TailRightLamp(nullptr), 1.0);
}

TEST_F(Controls, ClicksLandOnlyInsideTheButtonBoxes) {
    // Corners of the left button (13, 27, 29, 22) and just outside them.
    EXPECT_TRUE(HostClick(13, 27));
    EXPECT_EQ(pushback.tail_left, 1);
    pushback = kPushbackInitial;
    EXPECT_TRUE(HostClick(41, 48));
    EXPECT_EQ(pushback.tail_left, 1);
    pushback = kPushbackInitial;
    EXPECT_FALSE(HostClick(12, 27));
    EXPECT_FALSE(HostClick(42, 30));
    EXPECT_FALSE(HostClick(20, 49));
    EXPECT_FALSE(HostClick(50, 35)) << "between the direction buttons";
    EXPECT_FALSE(HostClick(120, 50)) << "between minus and plus";
    EXPECT_EQ(pushback.tail_left, 0);
    EXPECT_TRUE(HostClick(145, 56));
    EXPECT_EQ(pushback.timer_seconds, 25);
    EXPECT_TRUE(HostClick(99, 46));
    EXPECT_EQ(pushback.timer_seconds, 20);
    EXPECT_EQ(PlaysOf("CLICK").size(), 4u);
}

}  // namespace
