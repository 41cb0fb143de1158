// panel_rules.cpp - what the simulator shows of a panel.cfg, and where
// the gauge is in it.
//
// What the simulator shows is read in one place, Show(): the windows of
// [Window Titles] from Window00 up to the first missing title (at most 64),
// and in each window's section, as in a virtual cockpit's, the gauges from
// gauge00 up to the first missing number. Install checks the file it is
// about to write with it, install and remove judge a gauge line already
// there with it, and check names what it leaves unshown.
#include "programs/setup/panel_text.h"

#include <cstdlib>

namespace cfg {

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

ShownPanel Show(const Panel& p) {
    ShownPanel shown;
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

const ShownWindow* ShownAs(const ShownPanel& shown, const Section* section) {
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
const ShownWindow* MainPanel(const Panel& p, const ShownPanel& shown) {
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
            const ShownPanel shown = Show(p);   // kept: the main panel points into it
            const ShownWindow* main = MainPanel(p, shown);
            ours.exact = ours.window >= 0 && gauges.size() == 1 && ExactWindow(p, s, &ours);
            ours.own_window = ours.exact || (ours.window >= 0 && gauges.size() == 1 &&
                                             !(main && main->section == &s));
            return ours;
        }
    }
    return ours;
}

std::string Where(const Panel& p, const ShownPanel& shown, const Ours& ours) {
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
std::string Unshown(const Panel& p, const ShownPanel& shown, const Ours& ours, std::string* fix) {
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

}  // namespace cfg
