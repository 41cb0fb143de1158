// The replay script reader: what it accepts, and how it stops on a line it
// cannot read.
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "host/gauge.h"
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

// A byte-order mark, as Windows editors save UTF-8, leads the first line.
TEST_F(Replay, CommentsBlanksTabsAndAByteOrderMark) {
    EXPECT_EQ(Run("\xEF\xBB\xBF# a comment\n\n   \ntick\t2 # two updates\nclick\tplus\ntick"), 0);
    EXPECT_EQ(out,
              "1 display \" 20sec\" 0x00DEDEDE 20\n1 lamps -1 -1\n"
              "2 display \" 20sec\" 0x00DEDEDE 20\n2 lamps -1 -1\n"
              "3 display \" 25sec\" 0x00DEDEDE 25\n3 lamps -1 -1\n");
    EXPECT_EQ(err, "");
}

// Whatever a display callback returns is printed as "%g" would print it.
TEST_F(Replay, DisplayValuesPrintAsPercentG) {
    static double next;
    ValueCallback saved = timer_display.source_callbacks[0];
    timer_display.source_callbacks[0] = [](Element*) -> double { return next; };
    struct { double v; const char* text; } cases[] = {
        {0.0, "0"}, {-0.0, "-0"}, {995.0, "995"}, {999999.0, "999999"}, {1e6, "1e+06"},
        {-999999.0, "-999999"}, {-1e6, "-1e+06"}, {2.5, "2.5"}, {-37.0, "-37"},
        {1.0 / 3.0, "0.333333"}, {1e300, "1e+300"}, {-2147483648.0, "-2.14748e+09"},
        {std::numeric_limits<double>::infinity(), "inf"}, {std::nan(""), "nan"}};
    for (auto c : cases) {
        next = c.v;
        ASSERT_EQ(Run("tick"), 0);
        const std::string line = out.substr(0, out.find('\n'));
        EXPECT_EQ(line.substr(line.rfind(' ') + 1), c.text) << c.v;
    }
    timer_display.source_callbacks[0] = saved;
}

TEST_F(Replay, ValuesAcceptDecimalNumbers) {
    EXPECT_EQ(Run("set heading 300.7\nset hold -0.0\nset ready 1\nset ready 1e0\nset heading nan\nset heading NaN\n"
                  "set heading -inf\nset heading -Infinity\ntick 0000000000000\nset heading 1e300\n"), 0);
    EXPECT_EQ(HostGetValue(kTokenHeading), 1e300);
    EXPECT_EQ(HostGetValue(kTokenOnGround), 1.0);
}

TEST_F(Replay, ABadLineStopsTheScriptBeforeItRunsWithItsNumberAndWordsEscaped) {
    struct { std::string script; const char* message; } cases[] = {
        {"tick\nfly away\ntick\n", "test.script:2: unknown command 'fly'\n"},
        {"set speed 3\n", "test.script:1: unknown variable 'speed' (hold, ready or heading)\n"},
        {"set hold\n", "test.script:1: 'set' takes a variable and a value\n"},
        {"set hold 1.0x\n", "test.script:1: '1.0x' is not a number\n"}, {"set hold 0x10\n", "test.script:1: '0x10' is not a number\n"},
        {"set hold nan(1)\n", "test.script:1: 'nan(1)' is not a number\n"}, {"set hold \v5\n", "test.script:1: '\\x0B5' is not a number\n"},
        {"click middle\n", "test.script:1: unknown button 'middle' (left, right, minus or plus)\n"},
        {"click\n", "test.script:1: 'click' takes one button\n"}, {"tick 1 2\n", "test.script:1: 'tick' takes at most one count\n"},
        {"tick -1\n", "test.script:1: '-1' is not a tick count (0 to 2147483647)\n"},
        {"tick 99999999999\n", "test.script:1: '99999999999' is not a tick count (0 to 2147483647)\n"},
        {"tick\r\ntick 1\rtick 2\n", "test.script:2: a carriage return inside the line: lines end in LF or CRLF\n"},
        {"reload now\n", "test.script:1: 'reload' takes no arguments\n"},
        {"set heading 1e999999\n", "test.script:1: '1e999999' is too large for a number\n"},
        {"\x1b]0;x\a\n", "test.script:1: unknown command '\\x1B]0;x\\x07'\n"},
        {"click g\xC3\xA9\xC3(\xC2\x9B\n", "test.script:1: unknown button 'g\xC3\xA9\\xC3(\\xC2\\x9B' (left, right, minus or plus)\n"},
        {"click " + std::string(39, 'z') + "\xC3\xA9" + std::string(4049, 'z') + "\n",
         "test.script:1: unknown button 'zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz' (cut, 4090 bytes) (left, right, minus "
         "or plus)\n"},
        {"tick\n\xEF\xBB\xBFtick\n", "test.script:2: unknown command '\\xEF\\xBB\\xBFtick'\n"},
        // A line or a script longer than any script needs is refused where it
        // passes the bound, whatever follows.
        {"click " + std::string(4091, 'z') + "\n", "test.script:1: the line is longer than 4096 bytes: not a replay script\n"},
        {std::string(1 << 20, '\n') + "tick\n",
         "test.script:1048577: the script goes on past 1048576 bytes: not a replay script\n"},
    };
    for (auto c : cases) {
        EXPECT_EQ(Run(c.script), 2) << c.script;
        EXPECT_EQ(err, c.message) << c.script;
    }
    uint32_t before = host.updates;
    Run("tick\nbad\ntick 5\n");
    EXPECT_EQ(host.updates, before) << "the whole script is checked before any of it runs";
    EXPECT_EQ(out, "");
}

TEST_F(Replay, ReloadKeepsTheSequenceAndPrintsNothing) {
    EXPECT_EQ(Run("click right\ntick\nreload\ntick\n"), 0);
    EXPECT_EQ(out,
              "1 display \" 20sec\" 0x0000DEDE 20\n1 lamps -1 1\n"
              "2 display \" 20sec\" 0x0000DEDE 20\n2 lamps -1 1\n");
}

}  // namespace
