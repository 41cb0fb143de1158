// panel_cfg.cpp - reads a panel.cfg as lines of bytes and plans the edits
// that add or remove the gauge (see panel_cfg.h for what is written).
//
// A line is its bytes up to and including LF; its content ends before a CR
// that comes just before the LF. Lines are classed by their first
// non-blank bytes (after a UTF-8 byte-order mark on the first line): "//"
// or ";" a comment, "[" a section header, otherwise a key if it holds "=";
// anything else (a wrapped comment) is passed over. Names and keys compare
// without regard to case and to blanks around them, as the simulator reads
// them; a value ends before a "//" or ";" comment.
//
// What the simulator shows is read in one place, Show(): the windows of
// [Window Titles] from Window00 up to the first missing title (at most 64),
// and in each window's section, as in a virtual cockpit's, the gauges from
// gauge00 up to the first missing number. Install checks the file it is
// about to write with it, install and remove judge a gauge line already
// there with it, and check names what it leaves unshown.
//
// Every added line is inserted as "line end + line" right after the content
// of the line it follows, so a last line without a line end stays without
// one, and removing "line end + line" gives back the exact bytes.
#include "programs/setup/panel_cfg.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

const char kGaugeName[] = "VORNAK_TOWS";
const char kWindowPicture[] = "VORNAK_TOWS.bmp";
const char kWindowTitle[] = "Pushback";

namespace {

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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Formats with the C library's own vsnprintf; on Windows that is msvcrt's
// _vsnprintf, because MinGW's replacement for it brings in imports that
// Windows 98 lacks. Nothing formatted here comes near the buffer's size.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
#ifdef _WIN32
    _vsnprintf(text, sizeof text - 1, format, args);
#else
    vsnprintf(text, sizeof text - 1, format, args);
#endif
    va_end(args);
    text[sizeof text - 1] = '\0';
    return text;
}

// Trims [begin, end) of the file and returns the trimmed start.
size_t Trim(const std::string& bytes, size_t begin, size_t* end) {
    while (begin < *end && IsBlank(bytes[begin])) ++begin;
    while (*end > begin && IsBlank(bytes[*end - 1])) --*end;
    return begin;
}

// Splits a name such as "Window07" or "gauge12" into its letters and number.
// The simulator asks for "Window%02d", so a number counts only when it is
// written that way: "gauge7" and "gauge007" are no gauge line.
void SplitNumber(Line* line, size_t name_at) {
    const std::string& name = line->name;
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    line->number = -1;
    line->stem.clear();
    size_t count = name.size() - digits;
    if (count < 2 || count > 3 || digits == 0 || (count == 3 && name[digits] == '0')) return;
    for (size_t i = 0; i < digits; ++i) {
        char c = Lower(name[i]);
        if (c < 'a' || c > 'z') return;
        line->stem += c;
    }
    line->number = std::atoi(name.c_str() + digits);
    line->digits_at = name_at + digits;
    line->digits_length = count;
}

void ReadLine(const std::string& bytes, size_t from, Line* line) {
    size_t end = line->content_end;
    size_t at = Trim(bytes, from, &end);
    line->kind = kOther;
    line->number = -1;
    if (at == end) {
        line->kind = kBlank;
    } else if (bytes.compare(at, 2, "//") == 0 || bytes[at] == ';') {
        line->kind = kComment;
    } else if (bytes[at] == '[') {
        size_t close = bytes.find(']', at);
        size_t name_end = close < end ? close : end;
        size_t name_at = Trim(bytes, at + 1, &name_end);
        line->kind = kHeader;
        line->name = bytes.substr(name_at, name_end - name_at);
        SplitNumber(line, name_at);
    } else {
        size_t equals = bytes.find('=', at);
        if (equals >= end) return;
        size_t key_end = equals;
        size_t key_at = Trim(bytes, at, &key_end);
        size_t value_end = end;
        for (size_t i = equals + 1; i < end; ++i)
            if (bytes[i] == ';' || bytes.compare(i, 2, "//") == 0) { value_end = i; break; }
        size_t value_at = Trim(bytes, equals + 1, &value_end);
        line->kind = kKey;
        line->name = bytes.substr(key_at, key_end - key_at);
        line->value = bytes.substr(value_at, value_end - value_at);
        SplitNumber(line, key_at);
    }
}

const char kNotText[] = "This file is not a text file, so it is not a panel.cfg.";

// Why the simulator cannot read the bytes as a panel.cfg, or "".
std::string Unreadable(const std::string& bytes) {
    std::string size = PanelSizeProblem(bytes.size());
    if (!size.empty()) return size;
    if (bytes.find('\0') != std::string::npos) return kNotText;
    // The simulator ends a line at LF: lines ending in CR alone (an old Mac
    // file) are one line to it, whatever they show in an editor. A CR before
    // another CR is only a stray one at the end of a line.
    for (size_t cr = bytes.find('\r'); cr != std::string::npos; cr = bytes.find('\r', cr + 1))
        if (cr + 1 < bytes.size() && bytes[cr + 1] != '\n' && bytes[cr + 1] != '\r')
            return "The lines of this panel.cfg end in CR alone (an old Mac file), and the "
                   "simulator reads lines that end in LF or CR LF, so to it the file is one "
                   "line; save it with Windows line ends (CR LF) and try again.";
    return "";
}

// False when the simulator cannot read the bytes (see Unreadable).
bool Parse(const std::string& bytes, Panel* panel) {
    panel->bytes = &bytes;
    if (!Unreadable(bytes).empty()) return false;
    size_t first_lf = bytes.find('\n');
    panel->eol = first_lf != std::string::npos && first_lf > 0 && bytes[first_lf - 1] == '\r'
                     ? "\r\n" : first_lf == std::string::npos ? "\r\n" : "\n";
    size_t at = 0;
    while (at < bytes.size()) {
        Line line;
        line.begin = at;
        size_t lf = bytes.find('\n', at);
        line.end = lf == std::string::npos ? bytes.size() : lf + 1;
        line.content_end = lf == std::string::npos ? bytes.size() : lf;
        if (line.content_end > at && bytes[line.content_end - 1] == '\r') --line.content_end;
        size_t from = at == 0 && bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : at;
        ReadLine(bytes, from < line.content_end ? from : line.content_end, &line);
        if (line.kind == kHeader) {
            if (!panel->sections.empty()) panel->sections.back().end = panel->lines.size();
            panel->sections.push_back({panel->lines.size(), 0});
        }
        panel->lines.push_back(line);
        at = line.end;
    }
    if (!panel->sections.empty()) panel->sections.back().end = panel->lines.size();
    return true;
}

const Line& HeaderOf(const Panel& p, const Section& s) { return p.lines[s.header]; }

int WindowNumber(const Panel& p, const Section& s) {
    const Line& h = HeaderOf(p, s);
    return h.stem == "window" ? h.number : -1;
}

const Section* FindSection(const Panel& p, const char* name) {
    for (const Section& s : p.sections)
        if (SameText(HeaderOf(p, s).name, name)) return &s;
    return nullptr;
}

const Section* FindWindow(const Panel& p, int number) {
    for (const Section& s : p.sections)
        if (WindowNumber(p, s) == number) return &s;
    return nullptr;
}

bool IsNumbered(const Line& line, const char* stem) {
    return line.kind == kKey && line.number >= 0 && line.stem == stem;
}

// Lines of a section's body that are keys "<stem>NN".
std::vector<size_t> NumberedKeys(const Panel& p, const Section& s, const char* stem) {
    std::vector<size_t> found;
    for (size_t i = s.header + 1; i < s.end; ++i)
        if (IsNumbered(p.lines[i], stem)) found.push_back(i);
    return found;
}

// The first line of a section's body with that key, or 0 (never a body line).
size_t FindKey(const Panel& p, const Section& s, const char* key) {
    for (size_t i = s.header + 1; i < s.end; ++i)
        if (p.lines[i].kind == kKey && SameText(p.lines[i].name, key)) return i;
    return 0;
}

// The first line "<stem>NN" with that number, or 0.
size_t FindNumbered(const Panel& p, const Section& s, const char* stem, int number) {
    for (size_t i = s.header + 1; i < s.end; ++i)
        if (IsNumbered(p.lines[i], stem) && p.lines[i].number == number) return i;
    return 0;
}

// What the simulator shows of a panel.cfg, by its reading rules (see the top).
struct ShownWindow {
    int number;
    size_t title;                // its line in [Window Titles]
    const Section* section;      // null when the title has no section
    std::vector<size_t> gauges;  // the gauge lines it loads, gauge00 on
};

struct Shown {
    const Section* titles = nullptr;
    std::vector<ShownWindow> windows;   // Window00 on
    int next_window = 0;                // the first title number missing
};

// The gauge lines of a section that the simulator loads.
std::vector<size_t> GaugesShown(const Panel& p, const Section& s) {
    std::vector<size_t> shown;
    for (int n = 0; n < kGaugeLimit; ++n) {
        size_t line = FindNumbered(p, s, "gauge", n);
        if (line == 0) break;
        shown.push_back(line);
    }
    return shown;
}

Shown Show(const Panel& p) {
    Shown shown;
    shown.titles = FindSection(p, "Window Titles");
    if (shown.titles == nullptr) return shown;
    for (int n = 0; n < kWindowLimit; ++n) {
        size_t title = FindNumbered(p, *shown.titles, "window", n);
        if (title == 0) break;
        ShownWindow window = {n, title, FindWindow(p, n), {}};
        if (window.section) window.gauges = GaugesShown(p, *window.section);
        shown.windows.push_back(window);
        shown.next_window = n + 1;
    }
    return shown;
}

const ShownWindow* ShownAs(const Shown& shown, const Section* section) {
    for (const ShownWindow& w : shown.windows)
        if (w.section == section) return &w;
    return nullptr;
}

// The first word of a key's value: "MAIN_PANEL" of "ident=MAIN_PANEL".
std::string FirstWord(const std::string& value) {
    size_t end = 0;
    while (end < value.size() && !IsBlank(value[end]) && value[end] != ',') ++end;
    return value.substr(0, end);
}

std::string Ident(const Panel& p, const ShownWindow& w) {
    size_t ident = w.section ? FindKey(p, *w.section, "ident") : 0;
    return ident ? FirstWord(p.lines[ident].value) : "";
}

// The main panel: the first window shown whose ident says so (MAIN_PANEL,
// or 0), else Window00 unless its ident names another panel (GPS_PANEL):
// older files mark it by its place alone, or by a number.
const ShownWindow* MainPanel(const Panel& p, const Shown& shown) {
    for (const ShownWindow& w : shown.windows) {
        std::string ident = Ident(p, w);
        if (w.section && (SameText(ident, "MAIN_PANEL") || ident == "0")) return &w;
    }
    if (shown.windows.empty() || shown.windows[0].section == nullptr) return nullptr;
    std::string ident = Ident(p, shown.windows[0]);
    bool named = false;
    for (char c : ident) named = named || !(c >= '0' && c <= '9');
    return named ? nullptr : &shown.windows[0];
}

// The module named by a gauge line's value: the text before the first comma,
// up to a "!" when it has one.
std::string GaugeModule(const std::string& value) {
    size_t end = value.find(',');
    std::string module = value.substr(0, end);
    module = module.substr(0, module.find('!'));
    size_t trimmed = module.size();
    while (trimmed > 0 && IsBlank(module[trimmed - 1])) --trimmed;
    return module.substr(0, trimmed);
}

std::string Content(const Panel& p, const Line& line) {
    return p.bytes->substr(line.begin, line.content_end - line.begin);
}

// The letters a file spells a numbered name with ("Window", "WINDOW"), so
// that added lines match their neighbours; `fallback` when it has none.
std::string Spelling(const Panel& p, const Line* like, const char* fallback) {
    if (like == nullptr) return fallback;
    return p.bytes->substr(like->digits_at - like->stem.size(), like->stem.size());
}

std::string Numbered(const std::string& letters, int number) {
    return letters + Format("%02d", number);
}

std::vector<std::string> WindowBody(int ident) {
    return {Format("file=%s", kWindowPicture), Format("size_mm=%d", kPanelWidth), "position=2",
            "visible=0", Format("ident=%d", ident),
            Format("gauge00=%s, 0, 0, %d, %d", kGaugeName, kPanelWidth, kPanelHeight)};
}

std::string MainGaugeValue(int x, int y) {
    return Format("%s, %d, %d, %d, %d", kGaugeName, x, y, kPanelWidth, kPanelHeight);
}

// Two whole numbers "A , B" and nothing else; false for anything more.
bool ReadPair(const std::string& text, int* a, int* b) {
    const char* at = text.c_str();
    char* end = nullptr;
    long first = std::strtol(at, &end, 10);
    if (end == at) return false;
    while (IsBlank(*end)) ++end;
    if (*end != ',') return false;
    at = end + 1;
    long second = std::strtol(at, &end, 10);
    if (end == at || first < -100000 || first > 100000 || second < -100000 || second > 100000)
        return false;
    while (IsBlank(*end)) ++end;
    *a = static_cast<int>(first);
    *b = static_cast<int>(second);
    return *end == '\0';
}

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

// Whether a pop-up window section is exactly what install adds, with its
// title beside it; fills in the lines to take out.
bool ExactWindow(const Panel& p, const Section& s, Ours* ours) {
    std::vector<size_t> body;
    for (size_t i = s.header + 1; i < s.end; ++i)
        if (p.lines[i].kind != kBlank) body.push_back(i);
    if (body.size() != 6) return false;
    const Line& ident = p.lines[body[4]];
    int number = std::atoi(ident.value.c_str());
    if (ident.name != "ident" || number < kFirstIdent) return false;
    std::vector<std::string> expected = WindowBody(number);
    for (size_t k = 0; k < body.size(); ++k)
        if (Content(p, p.lines[body[k]]) != expected[k]) return false;
    const Section* titles = FindSection(p, "Window Titles");
    if (titles == nullptr) return false;
    bool titled = false;
    for (size_t i : NumberedKeys(p, *titles, "window")) {
        const Line& t = p.lines[i];
        if (t.number != ours->window) continue;
        if (titled || Content(p, t) != t.name + "=" + kWindowTitle) return false;
        titled = true;
        ours->title_line = i;
    }
    if (!titled) return false;
    // The blank line install puts before the section goes with it.
    ours->first_line = s.header;
    if (s.header >= 2 && p.lines[s.header - 1].kind == kBlank) ours->first_line = s.header - 1;
    // A [Window Titles] that install wrote for a file without one: after a
    // blank line at the end of our section, its header and our title, last
    // in the file. (A file whose own [Window Titles] was empty gets the
    // title right after that header and our section after it, never this.)
    size_t head = titles->header;
    if (s.end == head && head >= 1 && p.lines[head - 1].kind == kBlank &&
        ours->title_line == head + 1 && titles->end == p.lines.size() &&
        p.lines.size() == head + 2 && Content(p, p.lines[head]) == "[Window Titles]")
        ours->titles_last = true;
    return true;
}

Ours FindOurs(const Panel& p) {
    Ours ours;
    for (const Section& s : p.sections) {
        std::vector<size_t> gauges = NumberedKeys(p, s, "gauge");
        for (size_t i : gauges) {
            if (!SameText(GaugeModule(p.lines[i].value), kGaugeName)) continue;
            ours.found = true;
            ours.section = &s;
            ours.gauge_line = i;
            ours.window = WindowNumber(p, s);
            // A window whose only gauge it is, unless that is the main
            // panel of a hand edit.
            const Shown shown = Show(p);   // kept: the main panel points into it
            const ShownWindow* main = MainPanel(p, shown);
            ours.exact = ours.window >= 0 && gauges.size() == 1 && ExactWindow(p, s, &ours);
            ours.own_window = ours.exact || (ours.window >= 0 && gauges.size() == 1 &&
                                             !(main && main->section == &s));
            return ours;
        }
    }
    return ours;
}

std::string Where(const Panel& p, const Shown& shown, const Ours& ours) {
    const Line& gauge = p.lines[ours.gauge_line];
    const Line& header = HeaderOf(p, *ours.section);
    if (ours.exact)
        return Format("as pop-up window %s (%s), opened with %s", header.name.c_str(),
                      kWindowTitle, WindowKey(ours.window).c_str());
    const ShownWindow* main = MainPanel(p, shown);
    if (main && main->section == ours.section)
        return Format("on the main panel as %s", gauge.name.c_str());
    if (ours.own_window) return Format("as pop-up window %s", header.name.c_str());
    return Format("in [%s] as %s", header.name.c_str(), gauge.name.c_str());
}

// Why the simulator would not show the gauge line found, as a clause
// ("" when it does); `fix` gets what to do about it.
std::string Unshown(const Panel& p, const Shown& shown, const Ours& ours, std::string* fix) {
    const Line& gauge = p.lines[ours.gauge_line];
    const Line& header = HeaderOf(p, *ours.section);
    bool window = ours.window >= 0;
    bool cockpit = HeaderOf(p, *ours.section).stem == "vcockpit";
    if (!window && !cockpit) {
        *fix = "take the line out (remove) and install again";
        return Format("[%s] is not a window, so the simulator shows no gauge of it",
                      header.name.c_str());
    }
    if (window && ShownAs(shown, ours.section) == nullptr) {
        *fix = "run remove, then install again";
        if (shown.titles == nullptr)
            return "panel.cfg has no [Window Titles] section, so the simulator shows none of its "
                   "windows";
        if (FindNumbered(p, *shown.titles, "window", ours.window) == 0)
            return Format("[%s] has no title in [Window Titles], so it is never shown",
                          header.name.c_str());
        return Format("[Window Titles] has no Window%02d, so the simulator never shows %s and the "
                      "windows after it", shown.next_window, header.name.c_str());
    }
    std::vector<size_t> loaded = GaugesShown(p, *ours.section);
    bool reached = false;
    for (size_t i : loaded) reached = reached || i == ours.gauge_line;
    if (!reached) {
        *fix = Format("number it gauge%02d, or run remove and then install again",
                      static_cast<int>(loaded.size()));
        return Format("the simulator stops at the missing gauge%02d and never reaches %s",
                      static_cast<int>(loaded.size()), gauge.name.c_str());
    }
    if (gauge.value.find('!') != std::string::npos) {
        *fix = Format("write %s alone before the first comma", kGaugeName);
        return Format("it names %s!%s, which FS98 cannot load", kGaugeName, kGaugeName);
    }
    return "";
}

std::string Apply(const std::string& bytes, std::vector<Edit> edits) {
    // Stable by position: of two insertions at one place the first comes first.
    for (size_t i = 1; i < edits.size(); ++i)
        for (size_t j = i; j > 0 && edits[j].at < edits[j - 1].at; --j) std::swap(edits[j], edits[j - 1]);
    std::string out;
    size_t at = 0;
    for (const Edit& e : edits) {
        out.append(bytes, at, e.at - at);
        out += e.insert;
        at = e.at + e.erase;
    }
    out.append(bytes, at, std::string::npos);
    return out;
}

PanelPlan Refuse(const std::string& why) {
    PanelPlan plan;
    plan.outcome = kPlanRefused;
    plan.message = why;
    return plan;
}

std::string Duplicate(const Panel& p) {
    for (size_t a = 0; a < p.sections.size(); ++a)
        for (size_t b = a + 1; b < p.sections.size(); ++b)
            if (SameText(HeaderOf(p, p.sections[a]).name, HeaderOf(p, p.sections[b]).name))
                return Format("panel.cfg has two sections named [%s] and the simulator reads only "
                              "one of them; fix the file first.",
                              HeaderOf(p, p.sections[b]).name.c_str());
    return "";
}

// Faults that stop any change, first one only: "" when there is none.
std::string Blocking(const Panel& p) {
    std::string duplicate = Duplicate(p);
    if (!duplicate.empty()) return duplicate;
    // An aircraft may borrow another's panel: its panel.cfg holds only
    // [fltsim] alias=OTHER\PANEL, and the lines belong in that one.
    if (const Section* fltsim = FindSection(p, "fltsim"))
        if (size_t alias = FindKey(p, *fltsim, "alias"))
            return Format("This panel.cfg only borrows the panel of %s (alias=); install into "
                          "that one.", p.lines[alias].value.c_str());
    // Cockpits drawn by htmlgaugeNN= lines belong to a later simulator that
    // loads no .gau module of this kind.
    for (const Line& line : p.lines)
        if (IsNumbered(line, "htmlgauge"))
            return "This panel.cfg is for a simulator whose cockpits are web pages "
                   "(htmlgauge lines), and that simulator loads no .gau gauge such as VORNAK_TOWS.";
    // Nothing the simulator draws: no titles, no window, no virtual cockpit
    // (an empty file, or one of comments only).
    bool drawn = FindSection(p, "Window Titles") != nullptr;
    for (const Section& s : p.sections)
        drawn = drawn || WindowNumber(p, s) >= 0 || HeaderOf(p, s).stem == "vcockpit";
    if (!drawn)
        return p.lines.empty() ? "panel.cfg is empty, so it describes no panel."
                               : "panel.cfg has no [Window Titles], window or virtual cockpit "
                                 "section, so it describes no panel.";
    return "";
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

PanelPlan InstallMain(const Panel& p, const Placement& at, BitmapSizeReader read_size,
                      void* context);
bool ShownAfter(const std::string& before, const PanelPlan& plan);

// A pop-up the simulator cannot reach, refused with the way onto the main
// panel where that one reaches the gauge: its lower right corner.
// The main panel's width and height, from its picture or else its size_mm;
// "" when known, else the refusal.
std::string MainPanelSize(const Panel& p, const Section& main, BitmapSizeReader read_size,
                          void* context, int* width, int* height) {
    if (size_t file = FindKey(p, main, "file")) {
        const std::string& picture = p.lines[file].value;
        if (!(read_size && read_size(picture, width, height, context)))
            return Format("The main panel's picture %s cannot be read, so its size is not known.",
                          picture.c_str());
        return "";
    }
    size_t size = FindKey(p, main, "size_mm");
    if (size && ReadPair(p.lines[size].value, width, height)) return "";
    return "The main panel has neither a picture nor a size_mm of width and height, so its size "
           "is not known.";
}

PanelPlan RefuseWindow(const Panel& p, const std::string& why, BitmapSizeReader read_size,
                       void* context) {
    PanelPlan refused = Refuse(why + "; fix the file first.");
    int width = 0, height = 0;
    const Shown shown = Show(p);   // kept: the main panel points into it
    const ShownWindow* main = MainPanel(p, shown);
    if (main == nullptr || !MainPanelSize(p, *main->section, read_size, context, &width, &height).empty())
        return refused;
    Placement at = {true, width - kPanelWidth, height - kPanelHeight};
    PanelPlan plan = InstallMain(p, at, read_size, context);
    if (plan.outcome != kPlanDone || !ShownAfter(*p.bytes, plan)) return refused;
    refused.message = Format("%s; the gauge can go on the main panel instead: install --main %d "
                             "%d, or choose 'On the main panel at X, Y:' with %d, %d in the dialog.",
                             why.c_str(), at.x, at.y, at.x, at.y);
    refused.route = at;
    return refused;
}

PanelPlan InstallWindow(const Panel& p, BitmapSizeReader read_size, void* context) {
    Shown shown = Show(p);
    int window = shown.next_window;
    if (window >= kWindowLimit)
        return Refuse("panel.cfg has 64 windows already, and the simulator shows none past "
                      "Window63.");
    if (shown.titles)
        for (size_t i : NumberedKeys(p, *shown.titles, "window"))
            if (p.lines[i].number > window)
                return RefuseWindow(p, Format("The window numbers skip Window%02d, so the simulator "
                                              "never shows %s and the windows after it", window,
                                              p.lines[i].name.c_str()),
                                    read_size, context);
    // The number a new window must take belongs to a window that has no
    // title: giving it ours would show that window's lines in our place.
    if (const Section* other = FindWindow(p, window)) {
        const char* name = HeaderOf(p, *other).name.c_str();
        if (shown.titles == nullptr)
            return Refuse(Format("panel.cfg has no [Window Titles] section, so the simulator "
                                 "shows none of its windows, and [%s] holds the number a new "
                                 "window needs; add [Window Titles] with a title for each "
                                 "window, or delete [%s], then install again.", name, name));
        return RefuseWindow(p, Format("[%s] has no title in [Window Titles], so the simulator "
                                      "never shows it, and a new window can only take its "
                                      "number; give it a title (Window%02d=...) or delete it, "
                                      "then install again", name, window),
                            read_size, context);
    }
    // An ident that no window uses.
    int ident = kFirstIdent;
    for (bool taken = true; taken; ) {
        taken = false;
        for (const Line& line : p.lines)
            if (line.kind == kKey && SameText(line.name, "ident") &&
                FirstWord(line.value) == Format("%d", ident)) { taken = true; ++ident; break; }
    }
    const Line* last_header = nullptr;
    for (const Section& s : p.sections)
        if (WindowNumber(p, s) >= 0) last_header = &HeaderOf(p, s);
    std::vector<size_t> title_lines;
    if (shown.titles) title_lines = NumberedKeys(p, *shown.titles, "window");
    const Line* last_title = title_lines.empty() ? nullptr : &p.lines[title_lines.back()];

    std::string title = Numbered(Spelling(p, last_title, "Window"), window) + "=" + kWindowTitle;
    std::vector<std::string> section = {"[" + Numbered(Spelling(p, last_header, "Window"), window) + "]"};
    for (const std::string& line : WindowBody(ident)) section.push_back(line);

    std::vector<Edit> edits;
    std::string block = p.eol;
    for (const std::string& line : section) block += p.eol + line;
    std::string titles_name = "Window Titles";
    if (shown.titles) {
        const Line& after = last_title ? *last_title : HeaderOf(p, *shown.titles);
        edits.push_back({after.content_end, 0, p.eol + title});
        titles_name = HeaderOf(p, *shown.titles).name;
    } else {
        // Only a virtual cockpit: the pop-up brings the section that lists
        // it, after its own (remove knows the pair by that order).
        block += p.eol + p.eol + "[Window Titles]" + p.eol + title;
    }
    edits.push_back({p.lines.back().content_end, 0, block});

    PanelPlan plan;
    plan.outcome = kPlanDone;
    plan.after = Apply(*p.bytes, edits);
    plan.added = "[" + titles_name + "]\n" + title + "\n\n" + Lines(section);
    plan.key = WindowKey(window);
    plan.message = Format("VORNAK_TOWS added as pop-up window %s (%s), opened with %s%s.",
                          section[0].substr(1, section[0].size() - 2).c_str(), kWindowTitle,
                          plan.key.c_str(),
                          shown.titles ? "" : ", in a [Window Titles] section of its own, as the "
                                              "aircraft had only a virtual cockpit");
    return plan;
}

PanelPlan InstallMain(const Panel& p, const Placement& at, BitmapSizeReader read_size,
                      void* context) {
    Shown shown = Show(p);
    const ShownWindow* main_panel = MainPanel(p, shown);
    if (main_panel == nullptr)
        return Refuse("panel.cfg has no main panel that the simulator shows (a window with "
                      "ident=MAIN_PANEL, or [Window00]); install the gauge as a pop-up window.");
    const Section* main = main_panel->section;
    const std::string& main_name = HeaderOf(p, *main).name;
    int width = -1, height = -1;
    std::string unknown = MainPanelSize(p, *main, read_size, context, &width, &height);
    if (!unknown.empty()) return Refuse(unknown);
    if (at.x < 0 || at.y < 0 || at.x > width - kPanelWidth || at.y > height - kPanelHeight)
        return Refuse(Format("At %d, %d the gauge (%d x %d) would not lie inside the main panel "
                             "(%d x %d).", at.x, at.y, kPanelWidth, kPanelHeight, width, height));
    int gauge = static_cast<int>(main_panel->gauges.size());
    std::vector<size_t> gauges = NumberedKeys(p, *main, "gauge");
    for (size_t i : gauges)
        if (p.lines[i].number > gauge)
            return Refuse(Format("The main panel's gauge numbers skip gauge%02d, so the simulator "
                                 "never shows %s and the ones after it; fix the file first.",
                                 gauge, p.lines[i].name.c_str()));
    if (gauge >= kGaugeLimit) return Refuse("The main panel has 1000 gauges already.");
    const Line* last_gauge = gauges.empty() ? nullptr : &p.lines[gauges.back()];
    const Line* after = last_gauge;
    if (after == nullptr) {
        after = &p.lines[main->header];
        for (size_t i = main->header + 1; i < main->end; ++i)
            if (p.lines[i].kind == kKey) after = &p.lines[i];
    }
    std::string line = Numbered(Spelling(p, last_gauge, "gauge"), gauge) + "=" +
                       MainGaugeValue(at.x, at.y);
    std::string key = WindowKey(main_panel->number);
    size_t visible = FindKey(p, *main, "visible");
    bool hidden = visible && FirstWord(p.lines[visible].value) == "0";
    PanelPlan plan;
    plan.outcome = kPlanDone;
    plan.after = Apply(*p.bytes, {{after->content_end, 0, p.eol + line}});
    plan.added = "[" + main_name + "]\n" + line + "\n";
    plan.key = "the main panel (" + key + ")";
    plan.message = Format("VORNAK_TOWS added to the main panel [%s] as gauge%02d at %d, %d%s.",
                          main_name.c_str(), gauge, at.x, at.y,
                          hidden ? Format("; that panel starts closed (visible=0), so open it "
                                          "with %s", key.c_str()).c_str() : "");
    return plan;
}

// Lowers the numbers of `lines` that follow `removed` without a gap by one,
// in place, keeping their width: the windows or gauges the simulator
// reached after the one taken out stay reached, the ones past a gap stay
// as they were.
void Renumber(const Panel& p, const std::vector<size_t>& lines, int removed,
              std::vector<Edit>* edits) {
    for (int n = removed + 1; ; ++n) {
        bool any = false;
        for (size_t i : lines) {
            const Line& line = p.lines[i];
            if (line.number != n) continue;
            any = true;
            std::string digits = Format("%0*d", static_cast<int>(line.digits_length), n - 1);
            edits->push_back({line.digits_at, line.digits_length, digits});
        }
        if (!any) return;
    }
}

// Whether what install planned is shown by the simulator's reading rules
// in the new file, and every window shown before still is.
bool ShownAfter(const std::string& before, const PanelPlan& plan) {
    Panel old_panel, new_panel;
    if (!Parse(before, &old_panel) || !Parse(plan.after, &new_panel)) return false;
    Shown old_shown = Show(old_panel), new_shown = Show(new_panel);
    Ours ours = FindOurs(new_panel);
    std::string fix;
    return ours.found && Unshown(new_panel, new_shown, ours, &fix).empty() &&
           new_shown.windows.size() >= old_shown.windows.size();
}

}  // namespace

std::string PanelSizeProblem(size_t size) {
    if (size <= kLargestPanel) return "";
    return Format("This file is too large for a panel.cfg: it has %lu bytes, and a panel.cfg "
                  "has at most 1 MiB (%lu bytes).", static_cast<unsigned long>(size),
                  static_cast<unsigned long>(kLargestPanel));
}

std::string WindowKey(int window) {
    if (window >= 0 && window <= 8) return Format("Shift+%d", window + 1);
    return Format("the Views menu, Instrument Panel, %s", kWindowTitle);
}

PanelPlan PlanInstall(const std::string& before, const Placement& placement,
                      BitmapSizeReader read_bitmap_size, void* context) {
    Panel p;
    if (!Parse(before, &p)) return Refuse(Unreadable(before));
    std::string blocking = Blocking(p);
    if (!blocking.empty()) return Refuse(blocking);
    Shown shown = Show(p);
    Ours ours = FindOurs(p);
    if (ours.found) {
        std::string fix;
        std::string unshown = Unshown(p, shown, ours, &fix);
        if (!unshown.empty())
            return Refuse("VORNAK_TOWS is here " + Where(p, shown, ours) + ", but " + unshown +
                          "; " + fix + ".");
        PanelPlan plan;
        plan.outcome = kPlanAlready;
        plan.message = "VORNAK_TOWS is already installed here " + Where(p, shown, ours) + ".";
        return plan;
    }
    PanelPlan plan = placement.main_panel ? InstallMain(p, placement, read_bitmap_size, context)
                                          : InstallWindow(p, read_bitmap_size, context);
    if (plan.outcome == kPlanDone && !ShownAfter(before, plan))
        return Refuse("The simulator would not show the lines install would add to this "
                      "panel.cfg, so nothing is written; run check on it.");
    return plan;
}

PanelPlan PlanRemove(const std::string& before) {
    Panel p;
    if (!Parse(before, &p)) return Refuse(Unreadable(before));
    std::string duplicate = Duplicate(p);
    if (!duplicate.empty()) return Refuse(duplicate);
    Shown shown = Show(p);
    Ours ours = FindOurs(p);
    PanelPlan plan;
    if (!ours.found) {
        plan.outcome = kPlanAbsent;
        plan.message = "VORNAK_TOWS is not installed here; nothing to remove.";
        return plan;
    }
    const Line& header = HeaderOf(p, *ours.section);
    if (ours.own_window && !ours.exact)
        return Refuse(Format("The VORNAK_TOWS window [%s] was changed by hand, so it is left as "
                             "it is; delete the section [%s] and its title Window%02d= in "
                             "[Window Titles] by hand, and number the windows after it one "
                             "lower.", header.name.c_str(), header.name.c_str(), ours.window));
    std::vector<Edit> edits;
    std::string removed;
    auto take_out = [&](size_t first, size_t last) {
        size_t from = first > 0 ? p.lines[first - 1].content_end : 0;
        edits.push_back({from, p.lines[last].content_end - from, ""});
        for (size_t i = first; i <= last; ++i) removed += Content(p, p.lines[i]) + "\n";
    };
    if (!ours.own_window) {
        // One line among a panel's gauges, as install or a hand edit put it.
        take_out(ours.gauge_line, ours.gauge_line);
        std::vector<size_t> others;
        for (size_t i : NumberedKeys(p, *ours.section, "gauge"))
            if (i != ours.gauge_line) others.push_back(i);
        Renumber(p, others, p.lines[ours.gauge_line].number, &edits);
        const ShownWindow* main = MainPanel(p, shown);
        plan.message = main && main->section == ours.section
                           ? Format("VORNAK_TOWS removed from the main panel (%s).",
                                    p.lines[ours.gauge_line].name.c_str())
                           : Format("VORNAK_TOWS removed from [%s] (%s).", header.name.c_str(),
                                    p.lines[ours.gauge_line].name.c_str());
    } else if (ours.titles_last) {
        // Install wrote [Window Titles] too: both go as one block.
        take_out(ours.first_line, ours.title_line);
        plan.message = Format("VORNAK_TOWS removed: pop-up window %s and the [Window Titles] "
                              "section install wrote for it.", header.name.c_str());
    } else {
        take_out(ours.title_line, ours.title_line);
        take_out(ours.first_line, ours.gauge_line);
        const Section& titles = *FindSection(p, "Window Titles");
        std::vector<size_t> others;
        for (size_t i : NumberedKeys(p, titles, "window"))
            if (i != ours.title_line) others.push_back(i);
        for (const Section& s : p.sections)
            if (&s != ours.section && WindowNumber(p, s) >= 0) others.push_back(s.header);
        Renumber(p, others, ours.window, &edits);
        plan.message = Format("VORNAK_TOWS removed: pop-up window %s and its title.",
                              header.name.c_str());
    }
    plan.outcome = kPlanDone;
    plan.after = Apply(before, edits);
    plan.added = removed;
    return plan;
}

PanelReport CheckPanel(const std::string& bytes) {
    PanelReport report;
    Panel p;
    report.readable = Parse(bytes, &p);
    if (!report.readable) {
        report.state = Unreadable(bytes);
        return report;
    }
    std::vector<std::string> faults;
    std::string blocking = Blocking(p);
    if (!blocking.empty()) faults.push_back(blocking);
    Shown shown = Show(p);
    if (shown.titles) {
        std::vector<size_t> titles = NumberedKeys(p, *shown.titles, "window");
        for (size_t i : titles)
            if (FindWindow(p, p.lines[i].number) == nullptr)
                faults.push_back(Format("%s has a title but no [%s] section.",
                                        p.lines[i].name.c_str(), p.lines[i].name.c_str()));
        for (size_t i : titles)
            if (p.lines[i].number > shown.next_window) {
                faults.push_back(Format("The window numbers skip Window%02d; the simulator never "
                                        "shows %s and the windows after it.", shown.next_window,
                                        p.lines[i].name.c_str()));
                break;
            }
    }
    for (const Section& s : p.sections) {
        int window = WindowNumber(p, s);
        if (window < 0) continue;
        if (window >= kWindowLimit)
            faults.push_back(Format("[%s] is past Window63, the last one the simulator reads.",
                                    HeaderOf(p, s).name.c_str()));
        else if (shown.titles == nullptr || FindNumbered(p, *shown.titles, "window", window) == 0)
            faults.push_back(Format("[%s] has no title in [Window Titles], so it is never shown.",
                                    HeaderOf(p, s).name.c_str()));
    }
    for (const Section& s : p.sections) {
        if (WindowNumber(p, s) < 0 && HeaderOf(p, s).stem != "vcockpit") continue;
        std::vector<size_t> loaded = GaugesShown(p, s);
        for (size_t i : NumberedKeys(p, s, "gauge"))
            if (p.lines[i].number > static_cast<int>(loaded.size())) {
                faults.push_back(Format("[%s]: the gauge numbers skip gauge%02d, so %s and the "
                                        "ones after it are never shown.",
                                        HeaderOf(p, s).name.c_str(),
                                        static_cast<int>(loaded.size()), p.lines[i].name.c_str()));
                break;
            }
        for (size_t i : NumberedKeys(p, s, "gauge"))
            if (SameText(GaugeModule(p.lines[i].value), kGaugeName) &&
                p.lines[i].value.find('!') != std::string::npos)
                faults.push_back(Format("[%s] %s names VORNAK_TOWS!VORNAK_TOWS, which only FS2000 "
                                        "reads; FS98 wants VORNAK_TOWS alone.",
                                        HeaderOf(p, s).name.c_str(), p.lines[i].name.c_str()));
    }
    Ours ours = FindOurs(p);
    std::string fix;
    std::string unshown = ours.found ? Unshown(p, shown, ours, &fix) : "";
    if (!ours.found)
        report.state = "VORNAK_TOWS is not installed here.";
    else if (!unshown.empty())
        report.state = "VORNAK_TOWS is here " + Where(p, shown, ours) + ", but " + unshown +
                       "; " + fix + ".";
    else
        report.state = "VORNAK_TOWS is installed " + Where(p, shown, ours) +
                       (ours.own_window && !ours.exact
                            ? "; its lines were changed by hand, so remove leaves them."
                            : ".");
    report.faults = Lines(faults);
    return report;
}
