// The aircraft behind panel-host's panel, and its pilot.
#include <gtest/gtest.h>

#include <cmath>

#include "programs/panel-host/aircraft.h"
#include "programs/panel-host/panel_draw.h"
#include "programs/panel-host/pilot.h"

namespace {

const uint32_t kTurnLeft = 0xFFFFFFDBu;   // -37, as the gauge sends it

TEST(AircraftSlew, MovesOnlyInSlewModeAndBackwardsFromTheNose) {
    Aircraft a;
    AircraftReset(&a, 90.0);   // nose east
    AircraftEvent(&a, kEventSlewAheadMinus, 1);
    for (int i = 0; i < 18; ++i) AircraftStep(&a);
    EXPECT_EQ(a.x, 0.0) << "slew mode is off: nothing moves";
    AircraftEvent(&a, kEventSlewToggle, 1);
    ASSERT_TRUE(a.slew);
    for (int i = 0; i < 18; ++i) AircraftStep(&a);
    EXPECT_NEAR(a.x, -0.5, 1e-9);   // one step: half a metre a second, tail first
    EXPECT_NEAR(a.y, 0.0, 1e-9);
    AircraftEvent(&a, kEventSlewAheadPlus, 1);
    AircraftEvent(&a, kEventSlewAheadPlus, 1);   // one step forwards
    for (int i = 0; i < 18; ++i) AircraftStep(&a);
    EXPECT_NEAR(a.x, 0.0, 1e-9);
    AircraftEvent(&a, kEventCalibrate, 1);
    EXPECT_EQ(a.back_steps, -1) << "the calibration request moves nothing";
    AircraftEvent(&a, kEventSlewToggle, 1);
    EXPECT_FALSE(a.slew);
}

TEST(AircraftSlew, FreezeAndSlewOffStopTranslationAndRotation) {
    Aircraft a;
    AircraftReset(&a, 0.0);
    AircraftEvent(&a, kEventSlewToggle, 1);
    AircraftEvent(&a, kEventSlewAheadMinus, 1);
    AircraftEvent(&a, kEventSlewRotate, kTurnLeft);
    AircraftEvent(&a, kEventSlewFreeze, 1);
    EXPECT_EQ(a.back_steps, 0);
    EXPECT_EQ(a.rotation, 0.0);
    EXPECT_TRUE(a.slew) << "a freeze leaves slew mode on";
    AircraftEvent(&a, kEventSlewAheadMinus, 1);
    AircraftEvent(&a, kEventSlewRotate, 37);
    AircraftEvent(&a, kEventSlewOff, 1);
    EXPECT_FALSE(a.slew);
    AircraftEvent(&a, kEventSlewOff, 1);
    EXPECT_FALSE(a.slew) << "slew off is not a toggle";
    AircraftStep(&a);
    EXPECT_EQ(a.heading, 0.0);
}

TEST(AircraftSlew, TheGaugesTurnTakesHalfAMinuteAndPassesEveryWholeDegree) {
    for (uint32_t value : {kTurnLeft, 37u}) {
        Aircraft a;
        AircraftReset(&a, 0.0);
        AircraftEvent(&a, kEventSlewToggle, 1);
        AircraftEvent(&a, kEventSlewRotate, value);
        const int32_t target = value == kTurnLeft ? 90 : 270;
        int32_t last = 0, updates = 0;
        while (int32_t(a.heading) != target && updates < 2000) {
            AircraftStep(&a);
            ++updates;
            const int32_t now = int32_t(a.heading);
            const int32_t step = std::abs(now - last) % 358;   // 0 -> 359 is one step
            ASSERT_LE(step, 1) << "skipped a whole degree at update " << updates;
            ASSERT_GE(a.heading, 0.0);
            ASSERT_LT(a.heading, 360.0);
            last = now;
        }
        EXPECT_EQ(int32_t(a.heading), target);
        EXPECT_NEAR(updates / 18.0, 30.0, 1.0);
    }
}

TEST(AircraftSlew, RotationNeverExceedsADegreePerUpdate) {
    for (int32_t axis : {16383, -16384, 2147483647, int32_t(0x80000000u)}) {
        Aircraft a;
        AircraftReset(&a, 359.5);
        AircraftEvent(&a, kEventSlewToggle, 1);
        AircraftEvent(&a, kEventSlewRotate, uint32_t(axis));
        EXPECT_LE(std::fabs(a.rotation), 1.0);
        AircraftStep(&a);
        EXPECT_GE(a.heading, 0.0);
        EXPECT_LT(a.heading, 360.0);
    }
    EXPECT_EQ(NormalHeading(-1e-18), 0.0);
    EXPECT_EQ(NormalHeading(720.0), 0.0);
    EXPECT_EQ(NormalHeading(-90.0), 270.0);
    EXPECT_EQ(NormalHeading(NAN), 0.0);
}

// Runs the pilot alone, hearing nothing, and collects what he does.
std::vector<PilotAction> Actions(Pilot* p, uint32_t updates, uint32_t* first_click = nullptr) {
    std::vector<PilotAction> done;
    for (uint32_t u = 1; u <= updates; ++u) {
        PilotAction a = PilotDecide(p, u);
        if (a.kind == kPilotNothing) continue;
        if (first_click && done.empty()) *first_click = u;
        done.push_back(a);
    }
    return done;
}

TEST(Pilot, DialsThePushTimeFromTwentyThenChoosesTheDirection) {
    struct Case { int32_t goal; int plus, minus; } const cases[] = {{20, 0, 0}, {35, 3, 0}, {5, 0, 3}};
    for (const Case& c : cases) {
        Pilot p;
        PilotReset(&p, false, c.goal);
        uint32_t first = 0;
        std::vector<PilotAction> done = Actions(&p, 300, &first);
        int plus = 0, minus = 0;
        for (const PilotAction& a : done) {
            plus += a.kind == kPilotClick && a.button == kPlusButton;
            minus += a.kind == kPilotClick && a.button == kMinusButton;
        }
        EXPECT_EQ(plus, c.plus);
        EXPECT_EQ(minus, c.minus);
        EXPECT_GE(first, 18u) << "the pilot looks before touching anything";
        const PilotAction& choose = done[size_t(c.plus + c.minus)];
        EXPECT_EQ(choose.kind, kPilotClick);
        EXPECT_EQ(choose.button, kRightButton);
        EXPECT_EQ(done.back().kind, kPilotReleaseBrake) << "with no word from the crew he releases anyway";
    }
}

TEST(Pilot, ReleasesAndSetsTheBrakeAMomentAfterTheCrewAsks) {
    Pilot p;
    PilotReset(&p, true, 20);
    Actions(&p, 40);   // chooses at 19
    PilotHears(&p, "CLICK", 40);
    PilotHears(&p, "PB1", 110);
    EXPECT_EQ(PilotDecide(&p, 120).kind, kPilotNothing);
    EXPECT_EQ(PilotDecide(&p, 137).kind, kPilotReleaseBrake);
    PilotHears(&p, "PB2", 200);
    PilotSeesSlewOff(&p, 1000);
    PilotHears(&p, "PB3", 1070);
    EXPECT_EQ(PilotDecide(&p, 1090).kind, kPilotNothing);
    EXPECT_EQ(PilotDecide(&p, 1097).kind, kPilotSetBrake);
    EXPECT_TRUE(PilotDone(&p));
    EXPECT_EQ(PilotDecide(&p, 5000).kind, kPilotNothing);
}

// The window's view from above, as large as the window draws it, keeps the
// whole aircraft and the track in sight at every heading a turn ends on:
// neither touches the picture's edge.
TEST(TopView, KeepsTheWholeAircraftAndItsTrackInSightAfterTheTurn) {
    const uint32_t kBody = 0xE8ECF0, kPath = 0xF0C419;
    for (const uint32_t turn : {kTurnLeft, 37u}) {
        for (double start : {0.0, 45.0, 90.0, 180.0, 270.0}) {
            Aircraft a;
            AircraftReset(&a, start);
            AircraftEvent(&a, kEventSlewToggle, 1);
            for (int step = 0; step < 4; ++step) AircraftEvent(&a, kEventSlewAheadMinus, 1);
            for (int i = 0; i < 400; ++i) AircraftStep(&a);            // 22 m straight back
            AircraftEvent(&a, kEventSlewRotate, turn);
            for (int i = 0; i < 540; ++i) AircraftStep(&a);            // the quarter turn
            AircraftEvent(&a, kEventSlewFreeze, 1);
            AircraftEvent(&a, kEventSlewAheadMinus, 1);
            AircraftEvent(&a, kEventSlewAheadMinus, 1);
            for (int i = 0; i < 300; ++i) AircraftStep(&a);            // rolled clear
            Image view;
            DrawTopView(a, 516, 270, nullptr, &view);
            int body = 0, edge = 0;
            for (int32_t y = 0; y < view.h; ++y)
                for (int32_t x = 0; x < view.w; ++x) {
                    const uint32_t p = ImageAt(view, x, y);
                    if (p != kBody && p != kPath) continue;
                    body += p == kBody;
                    edge += x == 0 || y == 0 || x == view.w - 1 || y == view.h - 1;
                }
            EXPECT_GT(body, 200) << start;
            EXPECT_EQ(edge, 0) << "from heading " << start << " to " << a.heading;
        }
    }
}

}  // namespace
