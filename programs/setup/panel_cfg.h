// panel_cfg.h - adds the gauge to a panel.cfg and takes it out again, as
// bytes in memory.
//
//   PanelPlan plan = PlanInstall(bytes, placement, ReadBitmapSize, context);
//   if (plan.outcome == kPlanDone) write plan.after ... ;
//   PanelPlan undo = PlanRemove(bytes);
//   PanelReport report = CheckPanel(bytes);
//
// This file knows nothing of files or Windows: it reads the file's bytes and
// answers with the new bytes, the lines added, the key that opens the window,
// or one sentence saying why it will not. Every byte it does not add or
// remove stays as it was: line ends (CRLF, LF, none after the last line),
// comments, spacing, the case of keys and sections, order, and bytes above
// 127 in titles (the file is in the user's code page, which is never
// decoded). New lines take the file's own line end.
//
// What install adds, and remove finds again by its content (no marker line:
// the simulator reads every line):
//   pop-up window  a title "WindowNN=Pushback" after the last title of
//                  [Window Titles], and at the end of the file a blank line
//                  and the section
//                      [WindowNN]
//                      file=VORNAK_TOWS.bmp
//                      size_mm=172
//                      position=2
//                      visible=0
//                      ident=10172
//                      gauge00=VORNAK_TOWS, 0, 0, 172, 78
//                  NN the first free window number, ident the first of
//                  10172, 10173, ... that no window uses.
//   main panel     "gaugeNN=VORNAK_TOWS, X, Y, 172, 78" after the last gauge
//                  line of [Window00], NN the first free gauge number.
// The forms are the ones FS98 reads (one gauge per module, named by its file
// name; a window picture named by file= and a size_mm of one number) and
// FS2000 reads them too.
#pragma once

#include <string>

#include "host/gauge.h"

// Fixed names and numbers of what is added; the gauge's size is the panel's
// own (kPanelWidth x kPanelHeight).
extern const char kGaugeName[];      // VORNAK_TOWS: the module's file name without .gau
extern const char kWindowPicture[];  // VORNAK_TOWS.bmp: the pop-up window's background
extern const char kWindowTitle[];    // Pushback
const int kFirstIdent = 10172;
const int kWindowLimit = 64;         // the simulator reads Window00 to Window63

enum PlanOutcome {
    kPlanDone,       // `after` holds the new file
    kPlanAlready,    // install: the gauge is there already; nothing to write
    kPlanAbsent,     // remove: the gauge is not there; nothing to write
    kPlanRefused,    // `message` says why, in one sentence
};

struct Placement {
    bool main_panel = false;  // false: a pop-up window of its own
    int x = 0, y = 0;         // main panel: the gauge's top left corner
};

// Width and height of a bitmap named by a window's file= (looked up in the
// panel's folder by the caller); false when it cannot be read.
typedef bool (*BitmapSizeReader)(const std::string& name, int* width, int* height, void* context);

struct PanelPlan {
    PlanOutcome outcome;
    std::string message;  // refusal, or what was found (already there / not there)
    std::string after;    // the whole new file when done
    std::string added;    // the lines added (install) or taken out (remove), LF-separated
    std::string key;      // install: how the pilot opens it, e.g. "Shift+3"
    Placement route;      // a pop-up refused: where on the main panel the gauge
                          // can go instead (main_panel false when nowhere)
};

PanelPlan PlanInstall(const std::string& before, const Placement& placement,
                      BitmapSizeReader read_bitmap_size, void* context);
PanelPlan PlanRemove(const std::string& before);

struct PanelReport {
    bool readable;        // false: `state` is the refusal (not a text file)
    std::string state;    // how the gauge is installed, or that it is not
    std::string faults;   // one line per fault seen in the file, LF-separated
};

PanelReport CheckPanel(const std::string& bytes);

// Real panel.cfg files are at most some tens of kilobytes; a file larger
// than this is not one.
const size_t kLargestPanel = 1u << 20;
// The refusal for a file of `size` bytes that is too large, or "".
std::string PanelSizeProblem(size_t size);

// "Shift+3" for window 2, or the View menu for windows past the number keys.
std::string WindowKey(int window);
