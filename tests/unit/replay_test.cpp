// The replay script reader: what it accepts, and how it stops on a line it
// cannot read.
#include <cstdio>
#include <string>

#include "host/module.h"
#include "hostsim/hostsim.h"
#include "hostsim/replay.h"
#include "test_support.h"

namespace {

class Replay : public GaugeTest {
protected:
    void SetUp() override {
        GaugeTest::SetUp();
        StartGauge();
    }
    // Runs `script`; returns the status and fills out/err.
    int Run(const std::string& script) {
        FILE* in = fmemopen(const_cast<char*>(script.data()), script.size(), "r");
        char* out_buf = nullptr;
        char* err_buf = nullptr;
        size_t out_len = 0, err_len = 0;
        FILE* o = open_memstream(&out_buf, &out_len);
        FILE* e = open_memstream(&err_buf, &err_len);
        int status = RunReplay(in, "test.script", o, e);
        std::fclose(o);
        std::fclose(e);
        std::fclose(in);
        out.assign(out_buf, out_len);
        err.assign(err_buf, err_len);
        std::free(out_buf);
        std::free(err_buf);
        return status;
    }
    std::string out, err;
};

TEST_F(Replay, CommentsBlanksAndTabs) {
    EXPECT_EQ(Run("# a comment\n\n   \ntick\t2 # two updates\nclick\tplus\ntick"), 0);
    EXPECT_EQ(out,
              "1 display \" 20sec\" 0x00DEDEDE 20\n1 lamps -1 -1\n"
              "2 display \" 20sec\" 0x00DEDEDE 20\n2 lamps -1 -1\n"
              "3 display \" 25sec\" 0x00DEDEDE 25\n3 lamps -1 -1\n");
    EXPECT_EQ(err, "");
}

TEST_F(Replay, EventsPrintTheirValueSigned) {
    host.on_event(0x1014D, static_cast<uint32_t>(-37), nullptr);
    EXPECT_EQ(Run(""), 0);
    Run("");
    std::string s = out;
    EXPECT_EQ(Run("tick 0"), 0);
    EXPECT_EQ(out, "");
}

TEST_F(Replay, ValuesAcceptDecimalNumbers) {
    EXPECT_EQ(Run("set heading 300.7\nset hold -0.0\nset ready 1\nset ready 1e0\nset heading nan\n"
                  "set heading -inf\nset heading 1e300\n"), 0);
    EXPECT_EQ(HostGetValue(kTokenHeading), 1e300);
    EXPECT_EQ(HostGetValue(kTokenOnGround), 1.0);
}

TEST_F(Replay, ABadLineStopsTheScriptWithItsNumber) {
    struct { const char* script; const char* message; } cases[] = {
        {"tick\nfly away\ntick\n", "test.script:2: unknown command 'fly'\n"},
        {"set speed 3\n", "test.script:1: unknown variable 'speed' (hold, ready or heading)\n"},
        {"set hold\n", "test.script:1: 'set' takes a variable and a value\n"},
        {"set hold 1.0x\n", "test.script:1: '1.0x' is not a number\n"},
        {"set hold 0x10\n", "test.script:1: '0x10' is not a number\n"},
        {"click middle\n", "test.script:1: unknown button 'middle' (left, right, minus or plus)\n"},
        {"click\n", "test.script:1: 'click' takes one button\n"},
        {"tick -1\n", "test.script:1: '-1' is not a tick count (0 to 2147483647)\n"},
        {"tick 99999999999\n", "test.script:1: '99999999999' is not a tick count (0 to 2147483647)\n"},
        {"tick 1 2\n", "test.script:1: 'tick' takes at most one count\n"},
        {"reload now\n", "test.script:1: 'reload' takes no arguments\n"},
    };
    for (auto c : cases) {
        EXPECT_EQ(Run(c.script), 2) << c.script;
        EXPECT_EQ(err, c.message) << c.script;
    }
    uint32_t before = host.updates;
    Run("tick\nbad\ntick 5\n");
    EXPECT_EQ(host.updates, before + 1) << "nothing after the bad line runs";
}

TEST_F(Replay, ReloadKeepsTheSequenceAndPrintsNothing) {
    EXPECT_EQ(Run("click right\ntick\nreload\ntick\n"), 0);
    EXPECT_EQ(out,
              "1 display \" 20sec\" 0x0000DEDE 20\n1 lamps -1 1\n"
              "2 display \" 20sec\" 0x0000DEDE 20\n2 lamps -1 1\n");
}

}  // namespace
