// panel_cfg.cpp - reads a panel.cfg as lines of bytes and plans the edits
// that add or remove the gauge (see panel_cfg.h for what is written).
//
// A line is its bytes up to and including LF; its content ends before a CR
// that comes just before the LF. Lines are classed by their first
// non-blank bytes: "//" or ";" a comment, "[" a section header, otherwise a
// key if it holds "=". Names and keys compare without regard to case, as
// the simulator reads them.
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

// Real panel.cfg files are a few kilobytes; anything this large is not one.
const size_t kLargestPanel = 1u << 20;
const int kMainWindow = 0;
const int kGaugeLimit = 100;

enum LineKind { kBlank, kComment, kHeader, kKey, kOther };

struct Line {
    size_t begin, content_end, end;
    LineKind kind;
    std::string name;      // header: the section's name; key: the key (both trimmed)
    std::string value;     // key: the value, trimmed, without a trailing // comment
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
void SplitNumber(Line* line, size_t name_at) {
    const std::string& name = line->name;
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    line->number = -1;
    line->stem.clear();
    size_t count = name.size() - digits;
    if (count == 0 || count > 3 || digits == 0) return;
    for (size_t i = 0; i < digits; ++i) {
        char c = Lower(name[i]);
        if (c < 'a' || c > 'z') return;
        line->stem += c;
    }
    line->number = std::atoi(name.c_str() + digits);
    line->digits_at = name_at + digits;
    line->digits_length = count;
}

void ReadLine(const std::string& bytes, Line* line) {
    size_t end = line->content_end;
    size_t at = Trim(bytes, line->begin, &end);
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
        size_t value_end = bytes.find("//", equals);
        if (value_end > end) value_end = end;
        size_t value_at = Trim(bytes, equals + 1, &value_end);
        line->kind = kKey;
        line->name = bytes.substr(key_at, key_end - key_at);
        line->value = bytes.substr(value_at, value_end - value_at);
        SplitNumber(line, key_at);
    }
}

// False when the bytes are not a text file.
bool Parse(const std::string& bytes, Panel* panel) {
    panel->bytes = &bytes;
    if (bytes.size() > kLargestPanel || bytes.find('\0') != std::string::npos) return false;
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
        ReadLine(bytes, &line);
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

// Every window number in use: titles and sections alike.
std::vector<bool> WindowsUsed(const Panel& p) {
    std::vector<bool> used(1000, false);
    if (const Section* titles = FindSection(p, "Window Titles"))
        for (size_t i : NumberedKeys(p, *titles, "window")) used[p.lines[i].number] = true;
    for (const Section& s : p.sections)
        if (WindowNumber(p, s) >= 0) used[WindowNumber(p, s)] = true;
    return used;
}

// The first number not in use, and the first one in use past it (-1 if none).
int FirstFree(const std::vector<bool>& used, int* used_after) {
    int free_number = 0;
    while (free_number < static_cast<int>(used.size()) && used[free_number]) ++free_number;
    *used_after = -1;
    for (int n = free_number; n < static_cast<int>(used.size()); ++n)
        if (used[n]) { *used_after = n; break; }
    return free_number;
}

std::vector<bool> GaugesUsed(const Panel& p, const Section& s) {
    std::vector<bool> used(1000, false);
    for (size_t i : NumberedKeys(p, s, "gauge")) used[p.lines[i].number] = true;
    return used;
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

// Where the gauge is, as found by its gauge line.
struct Ours {
    int window = -1;             // the window holding it; -1 when absent
    bool popup = false;          // a window of its own, not a line on a panel
    size_t gauge_line = 0;
    const Section* section = nullptr;
    bool exact = false;          // the lines are as install writes them
    size_t title_line = 0;       // pop-up: its title in [Window Titles]
    size_t first_line = 0;       // pop-up: the first byte line to take out
    int x = 0, y = 0;            // main panel: where it is
};

std::vector<std::string> WindowBody(int ident) {
    return {Format("file=%s", kWindowPicture), "size_mm=172", "position=2", "visible=0",
            Format("ident=%d", ident),
            Format("gauge00=%s, 0, 0, %d, %d", kGaugeName, kGaugeWidth, kGaugeHeight)};
}

std::string MainGaugeValue(int x, int y) {
    return Format("%s, %d, %d, %d, %d", kGaugeName, x, y, kGaugeWidth, kGaugeHeight);
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

// The main panel's gauge line exactly as install writes it.
bool ReadMainGauge(const std::string& value, int* x, int* y) {
    std::string prefix = std::string(kGaugeName) + ", ";
    std::string suffix = Format(", %d, %d", kGaugeWidth, kGaugeHeight);
    if (value.compare(0, prefix.size(), prefix) != 0 || value.size() < prefix.size() + suffix.size() ||
        value.compare(value.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    return ReadPair(value.substr(prefix.size(), value.size() - prefix.size() - suffix.size()), x, y) &&
           value == MainGaugeValue(*x, *y);
}

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
    return true;
}

Ours FindOurs(const Panel& p) {
    Ours ours;
    for (const Section& s : p.sections) {
        int window = WindowNumber(p, s);
        if (window < 0) continue;
        for (size_t i : NumberedKeys(p, s, "gauge")) {
            if (!SameText(GaugeModule(p.lines[i].value), kGaugeName)) continue;
            ours.window = window;
            ours.section = &s;
            ours.gauge_line = i;
            // A window of its own, even as Window00 of a file that had none;
            // else a line on that window's panel.
            ours.exact = ExactWindow(p, s, &ours);
            ours.popup = ours.exact || window != kMainWindow;
            if (!ours.popup)
                ours.exact = ReadMainGauge(p.lines[i].value, &ours.x, &ours.y) &&
                             p.lines[i].stem == "gauge";
            return ours;
        }
    }
    return ours;
}

std::string Describe(const Panel& p, const Ours& ours) {
    if (!ours.popup)
        return Format("on the main panel as %s", p.lines[ours.gauge_line].name.c_str());
    const Line& header = HeaderOf(p, *ours.section);
    std::string text = Format("as pop-up window %s", header.name.c_str());
    if (ours.exact) text += Format(" (%s), opened with %s", kWindowTitle,
                                   WindowKey(ours.window).c_str());
    return text;
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

const char kNotText[] = "This file is not a text file, so it is not a panel.cfg.";

// Faults that stop any change, first one only: "" when there is none.
std::string Blocking(const Panel& p) {
    for (size_t a = 0; a < p.sections.size(); ++a)
        for (size_t b = a + 1; b < p.sections.size(); ++b)
            if (SameText(HeaderOf(p, p.sections[a]).name, HeaderOf(p, p.sections[b]).name))
                return Format("panel.cfg has two sections named [%s] and the simulator reads only "
                              "one of them; fix the file first.",
                              HeaderOf(p, p.sections[b]).name.c_str());
    // An aircraft may borrow another's panel: its panel.cfg holds only
    // [fltsim] alias=OTHER\PANEL, and the lines belong in that one.
    if (const Section* fltsim = FindSection(p, "fltsim"))
        for (size_t i = fltsim->header + 1; i < fltsim->end; ++i)
            if (p.lines[i].kind == kKey && SameText(p.lines[i].name, "alias"))
                return Format("This panel.cfg only borrows the panel of %s (alias=); install into "
                              "that one.", p.lines[i].value.c_str());
    if (FindSection(p, "Window Titles") == nullptr)
        return "panel.cfg has no [Window Titles] section, so the simulator shows no window "
               "from it.";
    return "";
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

PanelPlan InstallWindow(const Panel& p) {
    int used_after;
    std::vector<bool> used = WindowsUsed(p);
    int window = FirstFree(used, &used_after);
    if (window >= kWindowLimit)
        return Refuse("panel.cfg has 64 windows already, and the simulator shows none past "
                      "Window63.");
    if (used_after >= 0)
        return Refuse(Format("The window numbers skip Window%02d, so the simulator never shows "
                             "Window%02d and the windows after it; fix the file first.",
                             window, used_after));
    // An ident that no window uses.
    int ident = kFirstIdent;
    for (bool taken = true; taken; ) {
        taken = false;
        for (const Line& line : p.lines)
            if (line.kind == kKey && SameText(line.name, "ident") &&
                line.value == Format("%d", ident)) { taken = true; ++ident; break; }
    }
    const Section& titles = *FindSection(p, "Window Titles");
    std::vector<size_t> title_lines = NumberedKeys(p, titles, "window");
    const Line* last_title = title_lines.empty() ? nullptr : &p.lines[title_lines.back()];
    const Line& title_after = last_title ? *last_title : HeaderOf(p, titles);
    const Line* last_header = nullptr;
    for (const Section& s : p.sections)
        if (WindowNumber(p, s) >= 0) last_header = &HeaderOf(p, s);

    std::string title = Numbered(Spelling(p, last_title, "Window"), window) + "=" + kWindowTitle;
    std::vector<std::string> section = {"[" + Numbered(Spelling(p, last_header, "Window"), window) + "]"};
    for (const std::string& line : WindowBody(ident)) section.push_back(line);

    std::vector<Edit> edits;
    edits.push_back({title_after.content_end, 0, p.eol + title});
    std::string block = p.eol;
    for (const std::string& line : section) block += p.eol + line;
    edits.push_back({p.lines.back().content_end, 0, block});

    PanelPlan plan;
    plan.outcome = kPlanDone;
    plan.after = Apply(*p.bytes, edits);
    plan.added = "[" + HeaderOf(p, titles).name + "]\n" + title + "\n\n" + Lines(section);
    plan.key = WindowKey(window);
    plan.message = Format("VORNAK_TOWS added as pop-up window %s (%s), opened with %s.",
                          section[0].substr(1, section[0].size() - 2).c_str(), kWindowTitle,
                          plan.key.c_str());
    return plan;
}

PanelPlan InstallMain(const Panel& p, const Placement& at, BitmapSizeReader read_size,
                      void* context) {
    const Section* main = FindWindow(p, kMainWindow);
    if (main == nullptr) return Refuse("panel.cfg has no [Window00] section for the main panel.");
    int width = -1, height = -1;
    for (size_t i = main->header + 1; i < main->end; ++i) {
        const Line& line = p.lines[i];
        if (line.kind != kKey) continue;
        if (SameText(line.name, "file") && width < 0 &&
            !(read_size && read_size(line.value, &width, &height, context)))
            return Refuse(Format("The main panel's picture %s cannot be read, so its size is "
                                 "not known.", line.value.c_str()));
    }
    if (width < 0)
        for (size_t i = main->header + 1; i < main->end; ++i) {
            const Line& line = p.lines[i];
            if (line.kind == kKey && SameText(line.name, "size_mm") &&
                !ReadPair(line.value, &width, &height))
                width = -1;
        }
    if (width < 0)
        return Refuse("The main panel has neither a picture nor a size_mm of width and height, "
                      "so its size is not known.");
    if (at.x < 0 || at.y < 0 || at.x > width - kGaugeWidth || at.y > height - kGaugeHeight)
        return Refuse(Format("At %d, %d the gauge (172 x 78) would not lie inside the main panel "
                             "(%d x %d).", at.x, at.y, width, height));
    int used_after;
    int gauge = FirstFree(GaugesUsed(p, *main), &used_after);
    if (used_after >= 0)
        return Refuse(Format("The main panel's gauge numbers skip gauge%02d, so the simulator "
                             "never shows gauge%02d and the ones after it; fix the file first.",
                             gauge, used_after));
    if (gauge >= kGaugeLimit) return Refuse("The main panel has 100 gauges already.");
    std::vector<size_t> gauges = NumberedKeys(p, *main, "gauge");
    const Line* last_gauge = gauges.empty() ? nullptr : &p.lines[gauges.back()];
    const Line* after = last_gauge;
    if (after == nullptr) {
        after = &p.lines[main->header];
        for (size_t i = main->header + 1; i < main->end; ++i)
            if (p.lines[i].kind == kKey) after = &p.lines[i];
    }
    std::string line = Numbered(Spelling(p, last_gauge, "gauge"), gauge) + "=" +
                       MainGaugeValue(at.x, at.y);
    PanelPlan plan;
    plan.outcome = kPlanDone;
    plan.after = Apply(*p.bytes, {{after->content_end, 0, p.eol + line}});
    plan.added = "[" + HeaderOf(p, *main).name + "]\n" + line + "\n";
    plan.key = "the main panel (Shift+1)";
    plan.message = Format("VORNAK_TOWS added to the main panel as gauge%02d at %d, %d.", gauge,
                          at.x, at.y);
    return plan;
}

// Lowers every later number by one, in place, keeping its width.
void Renumber(const Line& line, int removed, std::vector<Edit>* edits) {
    if (line.number <= removed) return;
    std::string digits = Format("%0*d", static_cast<int>(line.digits_length), line.number - 1);
    edits->push_back({line.digits_at, line.digits_length, digits});
}

}  // namespace

std::string WindowKey(int window) {
    if (window >= 0 && window <= 8) return Format("Shift+%d", window + 1);
    return Format("the Views menu, Instrument Panel, %s", kWindowTitle);
}

PanelPlan PlanInstall(const std::string& before, const Placement& placement,
                      BitmapSizeReader read_bitmap_size, void* context) {
    Panel p;
    if (!Parse(before, &p)) return Refuse(kNotText);
    std::string blocking = Blocking(p);
    if (!blocking.empty()) return Refuse(blocking);
    Ours ours = FindOurs(p);
    if (ours.window >= 0) {
        PanelPlan plan;
        plan.outcome = kPlanAlready;
        plan.message = "VORNAK_TOWS is already installed here " + Describe(p, ours) + ".";
        return plan;
    }
    return placement.main_panel ? InstallMain(p, placement, read_bitmap_size, context)
                                : InstallWindow(p);
}

PanelPlan PlanRemove(const std::string& before) {
    Panel p;
    if (!Parse(before, &p)) return Refuse(kNotText);
    for (size_t a = 0; a < p.sections.size(); ++a)
        for (size_t b = a + 1; b < p.sections.size(); ++b)
            if (SameText(HeaderOf(p, p.sections[a]).name, HeaderOf(p, p.sections[b]).name))
                return Refuse(Blocking(p));
    Ours ours = FindOurs(p);
    PanelPlan plan;
    if (ours.window < 0) {
        plan.outcome = kPlanAbsent;
        plan.message = "VORNAK_TOWS is not installed here; nothing to remove.";
        return plan;
    }
    if (!ours.exact)
        return Refuse("The VORNAK_TOWS lines " + Describe(p, ours) +
                      " were changed by hand, so they are left as they are.");
    std::vector<Edit> edits;
    std::string removed;
    auto take_out = [&](size_t first, size_t last) {
        size_t from = first > 0 ? p.lines[first - 1].content_end : 0;
        edits.push_back({from, p.lines[last].content_end - from, ""});
        for (size_t i = first; i <= last; ++i) removed += Content(p, p.lines[i]) + "\n";
    };
    if (!ours.popup) {
        take_out(ours.gauge_line, ours.gauge_line);
        int number = p.lines[ours.gauge_line].number;
        for (size_t i : NumberedKeys(p, *ours.section, "gauge"))
            if (i != ours.gauge_line) Renumber(p.lines[i], number, &edits);
        plan.message = Format("VORNAK_TOWS removed from the main panel (%s).",
                              p.lines[ours.gauge_line].name.c_str());
    } else {
        take_out(ours.title_line, ours.title_line);
        size_t last = ours.gauge_line;
        take_out(ours.first_line, last);
        const Section& titles = *FindSection(p, "Window Titles");
        for (size_t i : NumberedKeys(p, titles, "window"))
            if (i != ours.title_line) Renumber(p.lines[i], ours.window, &edits);
        for (const Section& s : p.sections)
            if (&s != ours.section && WindowNumber(p, s) >= 0)
                Renumber(HeaderOf(p, s), ours.window, &edits);
        plan.message = Format("VORNAK_TOWS removed: pop-up window %s and its title.",
                              HeaderOf(p, *ours.section).name.c_str());
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
        report.state = kNotText;
        return report;
    }
    std::vector<std::string> faults;
    std::string blocking = Blocking(p);
    if (!blocking.empty()) faults.push_back(blocking);
    int used_after;
    std::vector<bool> used = WindowsUsed(p);
    int free_window = FirstFree(used, &used_after);
    if (used_after >= 0)
        faults.push_back(Format("The window numbers skip Window%02d; the simulator never shows "
                                "Window%02d and the windows after it.", free_window, used_after));
    for (int n = kWindowLimit; n < static_cast<int>(used.size()); ++n)
        if (used[n]) faults.push_back(Format("Window%02d is past Window63, the last one the "
                                             "simulator reads.", n));
    if (const Section* titles = FindSection(p, "Window Titles")) {
        for (size_t i : NumberedKeys(p, *titles, "window"))
            if (FindWindow(p, p.lines[i].number) == nullptr)
                faults.push_back(Format("%s has a title but no [%s] section.",
                                        p.lines[i].name.c_str(), p.lines[i].name.c_str()));
        for (const Section& s : p.sections) {
            int window = WindowNumber(p, s);
            if (window < 0) continue;
            bool titled = false;
            for (size_t i : NumberedKeys(p, *titles, "window"))
                titled = titled || p.lines[i].number == window;
            if (!titled)
                faults.push_back(Format("[%s] has no title in [Window Titles], so it is never shown.",
                                        HeaderOf(p, s).name.c_str()));
        }
    }
    for (const Section& s : p.sections) {
        if (WindowNumber(p, s) < 0) continue;
        int gauge = FirstFree(GaugesUsed(p, s), &used_after);
        if (used_after >= 0)
            faults.push_back(Format("[%s]: the gauge numbers skip gauge%02d, so gauge%02d and the "
                                    "ones after it are never shown.", HeaderOf(p, s).name.c_str(),
                                    gauge, used_after));
        for (size_t i : NumberedKeys(p, s, "gauge"))
            if (SameText(GaugeModule(p.lines[i].value), kGaugeName) &&
                p.lines[i].value.find('!') != std::string::npos)
                faults.push_back(Format("[%s] %s names VORNAK_TOWS!VORNAK_TOWS, which only FS2000 "
                                        "reads; FS98 wants VORNAK_TOWS alone.",
                                        HeaderOf(p, s).name.c_str(), p.lines[i].name.c_str()));
    }
    Ours ours = FindOurs(p);
    if (ours.window < 0)
        report.state = "VORNAK_TOWS is not installed here.";
    else
        report.state = "VORNAK_TOWS is installed " + Describe(p, ours) +
                       (ours.exact ? "." : "; its lines were changed by hand, so remove leaves them.");
    report.faults = Lines(faults);
    return report;
}
