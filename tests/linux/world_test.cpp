// panel-host's rules by update number, with no window and no clock: the
// world's phases through a whole pushback of the real module, the window's
// hints and captions for each phase and situation, and hold-to-repeat.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "module_file/module_loader.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/schedule.h"
#include "programs/panel-host/window_rules.h"
#include "programs/panel-host/world.h"
#include "sequencer/pushback.h"

namespace {

struct PhaseBegins {
    Phase    phase;
    uint32_t update;
};

bool Heard(const void*) { return true; }

World world;

// What the module played, and where the host's copy of the schedule said
// its count got to.
uint32_t pb2_on = 0, pb3_wrapup = 0, pb4_on = 0;

void NoteClip(void*, const char* name) {
    if (std::string(name) == kClipNames[kClipPB2]) pb2_on = host.updates;
    if (std::string(name) == kClipNames[kClipPB3]) pb3_wrapup = world.push.wrapup_updates;
    if (std::string(name) == kClipNames[kClipPB4]) pb4_on = host.updates;
}

// One whole pushback of the real module: each phase begins on its update,
// the reset forgets the pushback whole, and the host's copy of the gauge's
// schedule foresees the display's countdown, the turn, the calls, the
// farewell and the push time's bounds.
TEST(WorldPhases, FollowTheGaugeThroughAWholePushbackAndTheReset) {
    LoadedModule module;
    std::string problem;
    ASSERT_TRUE(LoadModule(VORNAK_MODULE, &module, &problem)) << problem;
    HostReset();
    ASSERT_TRUE(HostAttach(module.import_table, module.linkage));
    ASSERT_EQ(module.audio_loopback(22050), 1);   // the clips start without a sound card
    // Tail to the right with a push time of 5 s, from heading 0.
    WorldStartWithPilot(world, 0.0, false, 5, {module.set_clip_observer, Heard, nullptr});
    const WorldObserver clips = {nullptr, NoteClip, nullptr};
    WorldObserve(world, &clips, nullptr);
    std::vector<PhaseBegins> seen;
    uint32_t release_due_on = 0, final_on = 0, countdowns = 0;
    bool reset = false;
    while (!reset && host.updates < kMaxUpdates) {
        if (world.phase == kPhaseStraightPush) {
            EXPECT_FALSE(TurnIsThePilots(world)) << host.updates;
        }
        WorldAct(world, PilotDecide(&world.pilot, host.updates + 1));
        const Phase was = world.phase;
        reset = WorldStep(world);
        if (world.phase != was) seen.push_back({world.phase, host.updates});
        if (!release_due_on && ReleaseCallDue(world.push.arm_updates)) release_due_on = host.updates;
        if (!final_on && FinalCountRuns(world.push.wrapup_updates, world.brake_set)) final_on = host.updates;
        if (Pushing(world) && !Wrapping(world)) {
            const int64_t left = int64_t(world.timer) * kTicksPerSecond - PushTickOn(host.updates, world.push.push_start);
            EXPECT_EQ(host.display_value, double(std::max<int64_t>(left, 0) / kTicksPerSecond)) << host.updates;
            countdowns++;
        }
        if (was == kPhaseStraightPush && world.phase == kPhaseTurn) {
            EXPECT_EQ(PushTickOn(host.updates, world.push.push_start), TurnPushTick(5));
        }
    }
    // Each from the one before by the gauge's schedule, where it sets the
    // pace: the crew's first call, the turn 5 s into the push, the counts
    // after the turn, of the wrap-up and of the final phase.
    const std::vector<PhaseBegins> expected = {
        {kPhaseArming, 54},   // the pilot chooses once the push time is dialled down to 5 s
        {kPhaseReleaseWait, 54 + kArmPb1Tick - 1},
        {kPhaseStraightPush, 332},
        {kPhaseTurn, 332 + 5 * kTicksPerSecond - kTurnBeforeEnd - 1},
        {kPhaseAfterTurn, 952},   // the whole degree of the target reached
        {kPhaseWrapUp, 952 + kAfterTurnTicksCap},
        {kPhaseFinal, 1172 + kWrapupFinalAfter},
        {kPhaseIdle, 1332 + kFinalTicksLimit},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].phase, expected[i].phase) << "phase " << i;
        EXPECT_EQ(seen[i].update, expected[i].update) << kPhaseNames[expected[i].phase];
    }
    EXPECT_EQ(world.push.target, -1) << "the reset forgets the pushback whole";
    EXPECT_FALSE(world.push.crew_asks_release || world.push.crew_asks_set || world.push.by_hand);
    EXPECT_GT(countdowns, uint32_t(kAfterTurnTicksCap));
    EXPECT_EQ(pb2_on, release_due_on + kReleasePb2Tick - 1);
    EXPECT_EQ(pb3_wrapup, uint32_t(kWrapupPb3Tick));
    EXPECT_TRUE(SetCallDue(pb3_wrapup) && !SetCallDue(pb3_wrapup - 1));
    EXPECT_EQ(pb4_on, final_on + kFinalPb4Tick - 1);
    // Back at idle the display shows the push time: one minus on 0, then
    // plus past the display's widest.
    int32_t timer = int32_t(host.display_value);
    for (int32_t click = 0; click <= kTimerCap / kTimerStep + 1; ++click) {
        const bool plus = click > 0;
        WorldAct(world, {kPilotClick, plus ? kPlusButton : kMinusButton, "bounds"});
        WorldStep(world);
        timer = TimerAfterClick(timer, plus);
        ASSERT_EQ(host.display_value, double(timer)) << "click " << click;
    }
    EXPECT_EQ(timer, kTimerCap);
    WorldEnd(world);
    module.audio_loopback(0);
}

// A world in one phase and situation, and the hint the window shows for it.
struct HintRow {
    const char* name;
    Phase       phase;
    bool        brake_set = true, heard = true, asks_release = false, asks_set = false, by_hand = false;
    bool        slowing = false, too_late = false;
    int32_t     timer = 20, back_steps = -1, target = 270;   // 270 is to the nose's left of heading 0
    double      hand_rotation = 0.0;
    Hint        hint;
    const char* says = "";   // words the hint must hold
};

const HintRow kHintRows[] = {
    {.name = "idle", .phase = kPhaseIdle, .target = -1, .hint = kHintChoose,
     .says = "left/right arrow: tail swings left/right"},
    {.name = "idle_after_a_pushback", .phase = kPhaseIdle, .timer = 0, .target = -1, .hint = kHintNoTurn,
     .says = "the Left/Right keys; an arrow starts"},
    {.name = "arming", .phase = kPhaseArming, .hint = kHintConnecting},
    {.name = "arming_unheard", .phase = kPhaseArming, .heard = false, .hint = kHintSilentConnecting},
    {.name = "crew_asks_release", .phase = kPhaseReleaseWait, .asks_release = true, .hint = kHintRelease},
    {.name = "schedule_asks_release", .phase = kPhaseReleaseWait, .heard = false, .asks_release = true,
     .hint = kHintSilentRelease},
    {.name = "released", .phase = kPhaseReleaseWait, .brake_set = false, .asks_release = true, .hint = kHintReleased},
    {.name = "pushing", .phase = kPhaseStraightPush, .brake_set = false, .hint = kHintPushing},
    {.name = "pushing_brake_set", .phase = kPhaseStraightPush, .hint = kHintBrakeIgnored},
    {.name = "push_time_0_left", .phase = kPhaseStraightPush, .timer = 0, .hint = kHintYourTurnLeft,
     .says = "hold the Left key to heading 270"},
    {.name = "push_time_0_right", .phase = kPhaseStraightPush, .timer = 0, .target = 90, .hint = kHintYourTurnRight},
    {.name = "plus_too_late", .phase = kPhaseStraightPush, .too_late = true, .hint = kHintTooLate,
     .says = "Left/Right keys"},
    {.name = "gauge_turns", .phase = kPhaseTurn, .brake_set = false, .hint = kHintTurning},
    {.name = "gauge_turns_brake_set", .phase = kPhaseTurn, .hint = kHintBrakeIgnored},
    {.name = "hand_turns_toward", .phase = kPhaseTurn, .by_hand = true, .hand_rotation = -1.0,
     .hint = kHintTurningByHandLeft},
    {.name = "hand_turns_away", .phase = kPhaseTurn, .by_hand = true, .target = 90, .hand_rotation = -1.0,
     .hint = kHintTurningAwayRight},
    {.name = "rolling_back", .phase = kPhaseAfterTurn, .brake_set = false, .hint = kHintRollingBack},
    {.name = "slowing", .phase = kPhaseAfterTurn, .brake_set = false, .slowing = true, .hint = kHintSlowing},
    {.name = "stopped", .phase = kPhaseAfterTurn, .brake_set = false, .back_steps = 0, .hint = kHintStopped},
    {.name = "after_turn_brake_set", .phase = kPhaseAfterTurn, .hint = kHintBrakeIgnored},
    {.name = "disconnecting", .phase = kPhaseWrapUp, .brake_set = false, .hint = kHintDisconnecting},
    {.name = "disconnecting_unheard", .phase = kPhaseWrapUp, .brake_set = false, .heard = false,
     .hint = kHintSilentDisconnecting},
    {.name = "crew_asks_set", .phase = kPhaseWrapUp, .brake_set = false, .asks_set = true, .hint = kHintSet},
    {.name = "schedule_asks_set", .phase = kPhaseWrapUp, .brake_set = false, .heard = false, .asks_set = true,
     .hint = kHintSilentSet},
    {.name = "brake_set_early", .phase = kPhaseWrapUp, .hint = kHintBrakeEarly},
    {.name = "final", .phase = kPhaseFinal, .hint = kHintFinal},
    {.name = "final_unheard", .phase = kPhaseFinal, .heard = false, .hint = kHintSilentFinal},
    {.name = "final_brake_off_again", .phase = kPhaseFinal, .brake_set = false, .asks_set = true, .hint = kHintSet},
};

// A row is named by its case, in the test's name and its messages.
void PrintTo(const HintRow& row, std::ostream* out) { *out << row.name; }

class Hints : public ::testing::TestWithParam<HintRow> {};

TEST_P(Hints, NameWhatToDoNow) {
    const HintRow& r = GetParam();
    HostReset();
    world = World{};
    AircraftReset(&world.aircraft, 0.0);
    world.phase = r.phase;
    world.brake_set = r.brake_set;
    world.sound_heard = r.heard;
    world.timer = r.timer;
    world.push.target = r.target;
    world.push.crew_asks_release = r.asks_release;
    world.push.crew_asks_set = r.asks_set;
    world.push.by_hand = r.by_hand;
    world.push.slowing = r.slowing;
    world.aircraft.back_steps = r.back_steps;
    world.aircraft.hand_rotation = r.hand_rotation;
    const Hint hint = ChooseHint(world, r.too_late);
    EXPECT_EQ(hint, r.hint);
    EXPECT_NE(HintText(hint, r.target).find(r.says), std::string::npos) << HintText(hint, r.target);
}

INSTANTIATE_TEST_SUITE_P(Table, Hints, ::testing::ValuesIn(kHintRows),
                         [](const ::testing::TestParamInfo<HintRow>& row) { return std::string(row.param.name); });

// Where nobody hears the crew, the caption says so even while the gauge
// plays a call: the hints then wait for the schedule, not the call.
TEST(Caption, SpeaksWithTheHintsVoice) {
    const char* words = "Tug connected. Release parking brake";
    EXPECT_STREQ(CaptionWords(words, 100, 100, true), words);
    EXPECT_STREQ(CaptionWords(words, 100, 101, true), "");
    EXPECT_STREQ(CaptionWords(words, 100, 50, false), kNoSoundLine);
    EXPECT_STREQ(CaptionWords(nullptr, 0, 50, false), kNoSoundLine);
}

TEST(HoldToRepeat, FirstAfterHalfASecondThenSixASecond) {
    // (updates held past the press, repeats made by then)
    const uint32_t rows[][2] = {{0, 0}, {8, 0}, {9, 1}, {11, 1}, {12, 2}, {18, 4}, {27, 7}, {180, 58}};
    for (const auto& row : rows) EXPECT_EQ(HoldRepeats(row[0]), row[1]) << row[0] << " updates held";
}

}  // namespace
