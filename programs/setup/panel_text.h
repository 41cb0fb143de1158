// panel_text.h - what the setup engine's files share among themselves: a
// panel.cfg read as lines (panel_read.cpp), what the simulator shows of it
// and where the gauge is in it (panel_rules.cpp), the edits that install
// and remove plan (panel_plan.cpp), read by check (panel_check.cpp).
// Callers outside the engine use panel_cfg.h.
#pragma once

#include <string>
#include <vector>

#include "programs/setup/panel_cfg.h"

namespace cfg {

// Gauge numbers are read with two or three digits.
const int kGaugeLimit = 1000;

enum LineKind { kBlank, kComment, kHeader, kKey, kOther };

struct Line {
    size_t begin, content_end, end;
    LineKind kind;
    std::string name;      // header: the section's name; key: the key (both trimmed)
    std::string value;     // key: the value, trimmed, without a trailing comment
    std::string stem;      // name or key as lower-case letters before its number
    int number;            // the number ending the name or key, else -1
    size_t digits_at;      // where that number's digits are in the file
    size_t digits_length;
};

struct Section {
    size_t header;         // index of its header line
    size_t end;            // index of the line after its last
};

struct Panel {
    const std::string* bytes;
    std::vector<Line> lines;
    std::vector<Section> sections;
    std::string eol;
};

struct Edit {
    size_t at, erase;
    std::string insert;
};

bool IsBlank(char c);
char Lower(char c);
bool SameText(const std::string& a, const std::string& b);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Why the simulator cannot read the bytes as a panel.cfg, or "".
std::string Unreadable(const std::string& bytes);
// False when the simulator cannot read the bytes (see Unreadable).
bool Parse(const std::string& bytes, Panel* panel);

const Line& HeaderOf(const Panel& p, const Section& s);
int WindowNumber(const Panel& p, const Section& s);
const Section* FindSection(const Panel& p, const char* name);
const Section* FindWindow(const Panel& p, int number);
bool IsNumbered(const Line& line, const char* stem);
std::vector<size_t> NumberedKeys(const Panel& p, const Section& s, const char* stem);
size_t FindKey(const Panel& p, const Section& s, const char* key);
size_t FindNumbered(const Panel& p, const Section& s, const char* stem, int number);

struct ShownWindow {
    int number;
    size_t title;                // its line in [Window Titles]
    const Section* section;      // null when the title has no section
    std::vector<size_t> gauges;  // the gauge lines it loads, gauge00 on
};

struct ShownPanel {
    const Section* titles = nullptr;
    std::vector<ShownWindow> windows;   // Window00 on
    int next_window = 0;                // the first title number missing
};


std::vector<size_t> GaugesShown(const Panel& p, const Section& s);
ShownPanel Show(const Panel& p);
const ShownWindow* ShownAs(const ShownPanel& shown, const Section* section);
std::string FirstWord(const std::string& value);
const ShownWindow* MainPanel(const Panel& p, const ShownPanel& shown);
std::string GaugeModule(const std::string& value);
std::string Content(const Panel& p, const Line& line);

// Where the gauge is, as found by its first gauge line anywhere in the file.
struct Ours {
    bool found = false;
    const Section* section = nullptr;
    size_t gauge_line = 0;
    bool own_window = false;     // a window whose only gauge it is
    bool exact = false;          // own window: the lines are as install writes them
    int window = -1;             // own window: its number
    size_t title_line = 0;       // exact: its title in [Window Titles]
    size_t first_line = 0;       // exact: the first line to take out
    bool titles_last = false;    // exact, with a [Window Titles] of its own
                                 // right after it (see ExactWindow)
};


Ours FindOurs(const Panel& p);
std::string Where(const Panel& p, const ShownPanel& shown, const Ours& ours);
std::string Unshown(const Panel& p, const ShownPanel& shown, const Ours& ours, std::string* fix);

// The lines of the pop-up window install adds, after its header.
std::vector<std::string> WindowBody(int ident);
// Faults that stop any change, first one only: "" when there is none.
std::string Blocking(const Panel& p);
std::string Lines(const std::vector<std::string>& lines);

}  // namespace cfg
