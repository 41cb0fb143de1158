// The setup program's panel.cfg edits, byte for byte: one table of files as
// simulators and users leave them, what install or remove makes of each,
// and for every install that is done the way back (remove gives the
// original bytes) and the second install (already there).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "programs/setup/panel_cfg.h"

namespace {

enum Operation { kInstallWindow, kInstallMain, kRemove };

struct Case {
    const char* name;
    Operation operation;
    int x, y;
    std::string before;
    PlanOutcome outcome;
    std::string after;       // the whole new file, or words the message holds
};

const std::string kWindowBody =
    "file=VORNAK_TOWS.bmp|size_mm=172|position=2|visible=0|ident=10172|"
    "gauge00=VORNAK_TOWS, 0, 0, 172, 78";

// Lines written with "|" for the file's line end.
std::string Crlf(std::string text) {
    std::string out;
    for (char c : text) out += c == '|' ? std::string("\r\n") : std::string(1, c);
    return out;
}
std::string Lf(std::string text) {
    for (char& c : text) if (c == '|') c = '\n';
    return text;
}

std::string Titles(int count) {
    std::string text = "[Window Titles]|";
    for (int n = 0; n < count; ++n) text += "Window" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "=W|";
    return text;
}

// Gauge lines "gaugeNN=gNN, 0, 0" from `first` to `last`.
std::string Gauges(int first, int last) {
    std::string text;
    for (int n = first; n <= last; ++n) {
        std::string number = (n < 10 ? "0" : "") + std::to_string(n);
        text += "gauge" + number + "=g" + number + ", 0, 0|";
    }
    return text;
}

// A large FS2002-style file: 280 gauges on ten windows and two virtual
// cockpits, each gauge with a comment line, about 600 lines. With `added`,
// as install leaves it: a pop-up Window10, or gauge120 on the main panel.
enum Big { kBigBefore, kBigWindow, kBigMain };
std::string BigPanel(Big added) {
    std::string titles = "[Window Titles]|", windows;
    for (int w = 0; w < 10; ++w) {
        std::string number = "0" + std::to_string(w);
        titles += "Window" + number + "=Panel " + number + "|";
        windows += "[Window" + number + "]|size_mm=1024,768|ident=" + std::to_string(100 + w) + "|";
        int count = w == 0 ? 120 : 10;
        for (int g = 0; g < count; ++g) {
            windows += Gauges(g, g);
            if (added == kBigMain && w == 0 && g == count - 1)
                windows += "gauge120=VORNAK_TOWS, 0, 0, 172, 78|";
            windows += "// gauge " + std::to_string(g) + " of window " + number + "|";
        }
        windows += "|";
    }
    if (added == kBigWindow) titles += "Window10=Pushback|";
    std::string cockpits;
    for (int v = 1; v <= 2; ++v) {
        cockpits += "[Vcockpit0" + std::to_string(v) + "]|size_mm=512,512|texture=$VC0" +
                    std::to_string(v) + "|";
        for (int g = 0; g < 35; ++g) cockpits += Gauges(g, g) + "; vc gauge|";
    }
    std::string file = "// generated|" + titles + "|" + windows + cockpits;
    if (added == kBigWindow)
        file += "|[Window10]|file=VORNAK_TOWS.bmp|size_mm=172|position=2|visible=0|ident=10172|"
                "gauge00=VORNAK_TOWS, 0, 0, 172, 78|";
    return file;
}

// Real files' shapes side by side: a byte-order mark, keys in any case with
// blanks around "=", section names with a trailing blank or in another
// case, a commented-out section and title, every kind of comment, a bare
// wrapped line, a key in [Window Titles] that is no window, gauge lines of
// every form, code-page 1252 and UTF-8 bytes, the main panel (visible=0) on
// Window01 by its ident, a virtual cockpit, and no final line end. `added`
// is the line end and line install puts after each marked place.
std::string Shapes(const std::string& title_added, const std::string& gauge_added,
                   const std::string& window_added) {
    return "\xef\xbb\xbf// made-up twin, FS2002 style|[Window Titles]|window00 = Overhead \xe4|"
           "Window01\t=\tMain \xc3\xa4|//Window02=Old GPS|  ; indented|;/ odd|/// triple|"
           "Window02=GPS // a comment" + title_added + "|VIEW_FORWARD_DIR=10.0, 0.0, 0.0||"
           "//[Window03]|[Window00] |FILE=panel.bmp|size_mm\t= 1024|Ident=OVERHEAD|"
           "this line wraps a comment without an equals sign|gauge00= Sub\\fuel, 0,0,,,|"
           "Gauge01=..\\shared\\clock!clock, 10, 10, 100|gauge02=attitude,-5,-3 some words|"
           "gauge03=annunciator|gauge04=radio , 10 , 20 , 30 , 40 C:\\x\\y|"
           "[WINDOW01]|size_mm=300,100|visible=0|ident = MAIN_PANEL ; the main one|"
           "gauge00=radio!stack, 0, 0" + gauge_added + "|[window02]|file=gps.bmp|ident=10172|"
           "gauge00=gps!gps500, 0,0|[VCockpit01]|file=vc.bmp|gauge00=vc!clock, 0,0,64,64|"
           "[Views]|VIEW_FORWARD_DIR=0,0,0" + window_added;
}

const char kVcOnly[] = "[VCockpit01]|size_mm=512,512|pixel_size=512,512|texture=$VC01|"
                       "gauge00=a!b, 0,0,100,100|gauge01=c!d, 100,0,100,100|[VCockpit02]|"
                       "size_mm=256,256|gauge00=e!f, 0,0,256,256";

// The main panel's picture is 640 x 200.
bool PictureSize(const std::string& name, int* width, int* height, void*) {
    if (name != "panel.bmp") return false;
    *width = 640;
    *height = 200;
    return true;
}

const Case kCases[] = {
    {"fs98 crlf: a window after the main panel", kInstallWindow, 0, 0,
     Crlf("// FS98 panel|[Window Titles]|Window00=Main Panel||[Window00]|file=panel.bmp|"
          "size_mm=640|gauge00=Minicontrols, 0, 0|gauge01=Schweizer.Altimeter,17,78|"),
     kPlanDone,
     Crlf("// FS98 panel|[Window Titles]|Window00=Main Panel|Window01=Pushback||[Window00]|"
          "file=panel.bmp|size_mm=640|gauge00=Minicontrols, 0, 0|"
          "gauge01=Schweizer.Altimeter,17,78||[Window01]|" + kWindowBody + "|")},
    {"fs2000 lf without a final line end, odd case and spacing, a code-page title, "
     "a taken ident, sections after the windows", kInstallWindow, 0, 0,
     Lf("[window titles]|  window00 = Hauptinstrumente \xe4\xf6|; radio stack|window01=GPS||"
        "[WINDOW00]|file=p.bmp|file_1024=p1024.bmp|size_mm=1024|[WINDOW01]|ident = 10172|"
        "size_mm=100,50|gauge00=fs2000!gps, 0,0,100,50|[Views]|VIEW_FORWARD_DIR=0,0,0"),
     kPlanDone,
     Lf("[window titles]|  window00 = Hauptinstrumente \xe4\xf6|; radio stack|window01=GPS|"
        "window02=Pushback||[WINDOW00]|file=p.bmp|file_1024=p1024.bmp|size_mm=1024|[WINDOW01]|"
        "ident = 10172|size_mm=100,50|gauge00=fs2000!gps, 0,0,100,50|[Views]|"
        "VIEW_FORWARD_DIR=0,0,0||[WINDOW02]|file=VORNAK_TOWS.bmp|size_mm=172|position=2|"
        "visible=0|ident=10173|gauge00=VORNAK_TOWS, 0, 0, 172, 78")},
    {"titles last in a file ending without a line end", kInstallWindow, 0, 0,
     Crlf("[Window00]|size_mm=640,480||[Window Titles]|Window00=Main"), kPlanDone,
     Crlf("[Window00]|size_mm=640,480||[Window Titles]|Window00=Main|Window01=Pushback||"
          "[Window01]|" + kWindowBody)},
    {"an empty title section: the untitled [Window00] is never shown, and a pop-up as "
     "Window01 would not be either", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|[Window00]|size_mm=640,480|||"), kPlanRefused,
     "[Window00] has no title in [Window Titles]"},
    {"blank lines at the end", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|[Window00]|size_mm=640,480|||"), kPlanDone,
     Crlf("[Window Titles]|Window00=M|Window01=Pushback|[Window00]|size_mm=640,480||||"
          "[Window01]|" + kWindowBody + "|")},
    {"no window yet: the pop-up is Window00, and remove knows it from a main panel",
     kInstallWindow, 0, 0, Crlf("[Window Titles]|"), kPlanDone,
     Crlf("[Window Titles]|Window00=Pushback||[Window00]|" + kWindowBody + "|")},
    {"main panel with width and height: after the last gauge, before a comment",
     kInstallMain, 420, 200,
     Crlf("[Window Titles]|Window00=Main|[Window00]|size_mm=800,300|GAUGE00=a, 0, 0|"
          "GAUGE01=b!c,10,10|// the end|"),
     kPlanDone,
     Crlf("[Window Titles]|Window00=Main|[Window00]|size_mm=800,300|GAUGE00=a, 0, 0|"
          "GAUGE01=b!c,10,10|GAUGE02=VORNAK_TOWS, 420, 200, 172, 78|// the end|")},
    {"main panel picture: the right edge fits", kInstallMain, 468, 122,
     Lf("[Window Titles]|Window00=M|[Window00]|file=panel.bmp|size_mm=640|"), kPlanDone,
     Lf("[Window Titles]|Window00=M|[Window00]|file=panel.bmp|size_mm=640|"
        "gauge00=VORNAK_TOWS, 468, 122, 172, 78|")},
    {"main panel picture: a pixel past the edge", kInstallMain, 469, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|file=panel.bmp|"), kPlanRefused,
     "would not lie inside the main panel (640 x 200)"},
    {"main panel: negative position", kInstallMain, -1, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|size_mm=640,480|"), kPlanRefused, "inside"},
    {"main panel: picture missing", kInstallMain, 0, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|file=gone.bmp|"), kPlanRefused, "gone.bmp cannot be read"},
    {"main panel: size unknown", kInstallMain, 0, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|size_mm=640|"), kPlanRefused, "size is not known"},
    {"main panel: a gap in its gauges", kInstallMain, 0, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|size_mm=640,480|gauge00=a,0,0|gauge02=b,0,0|"),
     kPlanRefused, "skip gauge01"},
    {"no window titles", kInstallWindow, 0, 0, Crlf("[Window00]|size_mm=640|"), kPlanRefused,
     "no [Window Titles]"},
    {"a panel borrowed from another aircraft", kInstallWindow, 0, 0,
     Crlf("[fltsim]|alias=Cessna\\Panel|"), kPlanRefused, "borrows the panel of Cessna\\Panel"},
    {"a duplicate section", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|[Window00]|size_mm=1|[window00]|size_mm=2|"),
     kPlanRefused, "two sections named [window00]"},
    {"64 windows already", kInstallWindow, 0, 0, Crlf(Titles(64)), kPlanRefused, "64 windows"},
    {"63 windows: the last one fits", kInstallWindow, 0, 0, Crlf(Titles(63)), kPlanDone,
     Crlf(Titles(63) + "Window63=Pushback||[Window63]|" + kWindowBody + "|")},
    {"a gap in the window numbers", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|Window02=X|[Window00]|[Window02]|"), kPlanRefused,
     "skip Window01"},
    {"a gap in the window numbers, the main panel reached", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|Window02=X|[Window00]|size_mm=640,480|[Window02]|"),
     kPlanRefused, "skip Window01, so the simulator never shows Window02 and the windows after "
     "it; the gauge can go on the main panel instead: install --main 468 402, or choose "
     "'On the main panel at X, Y:' with 468, 402 in the dialog."},
    {"lines ending in CR alone are one line to the simulator", kInstallWindow, 0, 0,
     "[Window Titles]\rWindow00=Main Panel\r\r[Window00]\rfile=panel.bmp\r", kPlanRefused,
     "end in CR alone"},
    {"too large", kInstallWindow, 0, 0, std::string((1 << 20) + 1, ';'), kPlanRefused,
     "too large for a panel.cfg: it has 1048577 bytes, and a panel.cfg has at most 1 MiB"},
    {"one comment", kInstallWindow, 0, 0, "// my panel", kPlanRefused, "describes no panel"},
    {"not a text file", kInstallWindow, 0, 0, std::string("[Window Titles]\r\n\0\r\n", 20),
     kPlanRefused, "not a text file"},
    {"a hand-written line counts as installed", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|[Window00]|gauge00=vornak_tows, 5, 5 // mine|"),
     kPlanAlready, "already installed here on the main panel as gauge00"},
    {"a hand-written line in the form FS98 cannot load is not installed", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|[Window00]|gauge00=vornak_tows!VORNAK_TOWS, 5, 5|"),
     kPlanRefused, "names VORNAK_TOWS!VORNAK_TOWS, which FS98 cannot load; write VORNAK_TOWS alone"},
    {"the first free title number belongs to an untitled window", kInstallWindow, 0, 0,
     Crlf(Titles(18) + [] {
         std::string sections;
         for (int n = 0; n <= 18; ++n)
             sections += "[Window" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "]|size_mm=9|";
         return sections;
     }()),
     kPlanRefused, "[Window18] has no title in [Window Titles], so the simulator never shows it"},
    {"real files' shapes: a pop-up", kInstallWindow, 0, 0, Crlf(Shapes("", "", "")), kPlanDone,
     Crlf(Shapes("|Window03=Pushback", "",
                 "||[window03]|file=VORNAK_TOWS.bmp|size_mm=172|position=2|visible=0|"
                 "ident=10173|gauge00=VORNAK_TOWS, 0, 0, 172, 78"))},
    {"real files' shapes: on the main panel, found by its ident", kInstallMain, 100, 20,
     Lf(Shapes("", "", "")), kPlanDone,
     Lf(Shapes("", "|gauge01=VORNAK_TOWS, 100, 20, 172, 78", ""))},
    {"the main panel by ident=0 on Window01", kInstallMain, 10, 10,
     Crlf("[Window Titles]|Window00=GPS|Window01=Main|[Window00]|ident=GPS_PANEL|"
          "size_mm=200,100|gauge00=gps, 0, 0|[Window01]|ident=0|size_mm=800,600|gauge00=a,0,0|"),
     kPlanDone,
     Crlf("[Window Titles]|Window00=GPS|Window01=Main|[Window00]|ident=GPS_PANEL|"
          "size_mm=200,100|gauge00=gps, 0, 0|[Window01]|ident=0|size_mm=800,600|gauge00=a,0,0|"
          "gauge01=VORNAK_TOWS, 10, 10, 172, 78|")},
    {"no main panel", kInstallMain, 0, 0,
     Crlf("[Window Titles]|Window00=GPS|[Window00]|ident=GPS_PANEL|size_mm=200,100|"),
     kPlanRefused, "no main panel"},
    {"280 gauges in 600 lines: a pop-up past the number keys", kInstallWindow, 0, 0,
     Lf(BigPanel(kBigBefore)), kPlanDone, Lf(BigPanel(kBigWindow))},
    {"280 gauges in 600 lines: gauge120 on the main panel", kInstallMain, 0, 0,
     Lf(BigPanel(kBigBefore)), kPlanDone, Lf(BigPanel(kBigMain))},
    {"only a virtual cockpit: the pop-up brings its own titles", kInstallWindow, 0, 0,
     Lf(kVcOnly), kPlanDone,
     Lf(std::string(kVcOnly) + "||[Window00]|" + kWindowBody + "||[Window Titles]|Window00=Pushback")},
    {"only a virtual cockpit, with a final line end", kInstallWindow, 0, 0,
     Crlf(std::string(kVcOnly) + "|"), kPlanDone,
     Crlf(std::string(kVcOnly) + "||[Window00]|" + kWindowBody +
          "||[Window Titles]|Window00=Pushback|")},
    {"a cockpit of htmlgauge lines", kInstallWindow, 0, 0,
     Crlf("[VCockpit01]|size_mm=1024,1024|htmlgauge00=Pfd/pfd.html, 0,0,1024,1024|"),
     kPlanRefused, "loads no .gau gauge"},
    {"a hand line after a gap is not installed", kInstallWindow, 0, 0,
     Crlf("[Window Titles]|Window00=M|[Window00]|size_mm=800,600|" + Gauges(0, 9) +
          "gauge11=VORNAK_TOWS, 420, 200|"),
     kPlanRefused, "never reaches gauge11; number it gauge10"},
    {"remove: a hand line after a gap", kRemove, 0, 0,
     Crlf("[Window Titles]|Window00=M|[Window00]|size_mm=800,600|" + Gauges(0, 9) +
          "gauge11=VORNAK_TOWS, 420, 200|"),
     kPlanDone, Crlf("[Window Titles]|Window00=M|[Window00]|size_mm=800,600|" + Gauges(0, 9))},
    {"remove: a hand line as INSTALL.txt teaches, the gauges after it move down", kRemove, 0, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|size_mm=800,600|" + Gauges(0, 9) +
        "gauge10=VORNAK_TOWS, 420, 200|gauge11=k, 1, 1|gauge13=past a gap, 1, 1"),
     kPlanDone,
     Lf("[Window Titles]|Window00=M|[Window00]|size_mm=800,600|" + Gauges(0, 9) +
        "gauge10=k, 1, 1|gauge13=past a gap, 1, 1")},
    {"remove: the windows past a gap keep their numbers", kRemove, 0, 0,
     Crlf("[Window Titles]|Window00=M|Window01=Pushback|Window02=R|Window04=Lost|[Window00]||"
          "[Window01]|" + kWindowBody + "|[Window02]|[Window04]|[Window05]|"),
     kPlanDone,
     Crlf("[Window Titles]|Window00=M|Window01=R|Window04=Lost|[Window00]|[Window01]|[Window04]|"
          "[Window05]|")},
    {"remove: the windows after it move down", kRemove, 0, 0,
     Crlf("[Window Titles]|Window00=M|Window01=Pushback|window02=Radio|[Window00]|size_mm=9||"
          "[Window01]|" + kWindowBody + "|[WINDOW02]|ident=7|"),
     kPlanDone,
     Crlf("[Window Titles]|Window00=M|window01=Radio|[Window00]|size_mm=9|[WINDOW01]|ident=7|")},
    {"remove: the main panel's later gauges move down", kRemove, 0, 0,
     Lf("[Window Titles]|Window00=M|[Window00]|gauge00=a|gauge01=VORNAK_TOWS, 1, 2, 172, 78|"
        "gauge02=b|gauge03=c"),
     kPlanDone, Lf("[Window Titles]|Window00=M|[Window00]|gauge00=a|gauge01=b|gauge02=c")},
    {"remove: lines changed by hand stay", kRemove, 0, 0,
     Crlf("[Window Titles]|Window00=M|Window01=Pushback|[Window00]||[Window01]|"
          "file=VORNAK_TOWS.bmp|size_mm=172|position=5|visible=0|ident=10172|"
          "gauge00=VORNAK_TOWS, 0, 0, 172, 78|"),
     kPlanRefused, "changed by hand"},
    {"remove: a renamed title stays", kRemove, 0, 0,
     Crlf("[Window Titles]|Window00=M|Window01=Tug|[Window00]||[Window01]|" + kWindowBody + "|"),
     kPlanRefused, "changed by hand"},
    {"remove: nothing there", kRemove, 0, 0, Crlf("[Window Titles]|Window00=M|"), kPlanAbsent,
     "not installed"},
};

class PanelEdit : public testing::TestWithParam<Case> {};

TEST_P(PanelEdit, GivesTheExpectedBytes) {
    const Case& c = GetParam();
    PanelPlan plan = c.operation == kRemove
                         ? PlanRemove(c.before)
                         : PlanInstall(c.before, {c.operation == kInstallMain, c.x, c.y},
                                       PictureSize, nullptr);
    ASSERT_EQ(plan.outcome, c.outcome) << plan.message;
    if (c.outcome != kPlanDone) {
        EXPECT_NE(plan.message.find(c.after), std::string::npos) << plan.message;
        EXPECT_EQ(plan.message.find('\n'), std::string::npos);
        EXPECT_EQ(plan.message.back(), '.') << plan.message;
        return;
    }
    EXPECT_EQ(plan.after, c.after);
    if (c.operation == kRemove) {
        EXPECT_EQ(CheckPanel(plan.after).state, "VORNAK_TOWS is not installed here.");
        return;
    }
    // The simulator's reading rules reach what was added.
    EXPECT_EQ(CheckPanel(plan.after).state.rfind("VORNAK_TOWS is installed ", 0), 0u)
        << CheckPanel(plan.after).state;
    PanelPlan again = PlanInstall(plan.after, {c.operation == kInstallMain, c.x, c.y},
                                  PictureSize, nullptr);
    EXPECT_EQ(again.outcome, kPlanAlready) << again.message;
    PanelPlan back = PlanRemove(plan.after);
    ASSERT_EQ(back.outcome, kPlanDone) << back.message;
    EXPECT_EQ(back.after, c.before);
    EXPECT_EQ(CheckPanel(plan.after).faults, CheckPanel(c.before).faults);
}

INSTANTIATE_TEST_SUITE_P(Table, PanelEdit, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             // The case's first words, at most 42 characters: a line of
                             // ctest's list stays within 100.
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                                 else if (!name.empty() && name.back() != '_') name += '_';
                             if (name.size() > 42) name.resize(std::min<size_t>(name.rfind('_', 42), 42));
                             while (!name.empty() && name.back() == '_') name.pop_back();
                             return name;
                         });

// What check says of a file with every fault it knows.
TEST(PanelCheck, NamesEachFault) {
    PanelReport report = CheckPanel(Crlf(
        "[Window Titles]|Window00=M|Window01=GPS|Window03=Lost|[Window00]|gauge00=a,0,0|"
        "gauge02=VORNAK_TOWS!VORNAK_TOWS, 1, 1|[Window02]|[window00]|"));
    ASSERT_TRUE(report.readable);
    EXPECT_EQ(report.state, "VORNAK_TOWS is here on the main panel as gauge02, but the simulator "
                            "stops at the missing gauge01 and never reaches gauge02; number it "
                            "gauge01, or run remove and then install again.");
    EXPECT_EQ(report.faults,
              "panel.cfg has two sections named [window00] and the simulator reads only one of "
              "them; fix the file first.\n"
              "Window01 has a title but no [Window01] section.\n"
              "Window03 has a title but no [Window03] section.\n"
              "The window numbers skip Window02; the simulator never shows Window03 and the "
              "windows after it.\n"
              "[Window02] has no title in [Window Titles], so it is never shown.\n"
              "[Window00]: the gauge numbers skip gauge01, so gauge02 and the ones after it are "
              "never shown.\n"
              "[Window00] gauge02 names VORNAK_TOWS!VORNAK_TOWS, which only FS2000 reads; FS98 "
              "wants VORNAK_TOWS alone.\n");
    EXPECT_EQ(WindowKey(8), "Shift+9");
    EXPECT_EQ(WindowKey(9), "the Views menu, Instrument Panel, Pushback");
}

}  // namespace
