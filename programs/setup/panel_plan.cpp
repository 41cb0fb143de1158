// panel_plan.cpp - the edits that add the gauge to a panel.cfg or take it
// out (see panel_cfg.h for what is written).
//
// Every added line is inserted as "line end + line" right after the content
// of the line it follows, so a last line without a line end stays without
// one, and removing "line end + line" gives back the exact bytes.
#include "programs/setup/panel_text.h"

#include <cstdlib>

namespace cfg {

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
                   "(htmlgauge lines), and that simulator loads no .gau gauge such as " VORNAK_GAUGE_NAME ".";
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
    const ShownPanel shown = Show(p);   // kept: the main panel points into it
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
    ShownPanel shown = Show(p);
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
    plan.message = Format(VORNAK_GAUGE_NAME " added as pop-up window %s (%s), opened with %s%s.",
                          section[0].substr(1, section[0].size() - 2).c_str(), kWindowTitle,
                          plan.key.c_str(),
                          shown.titles ? "" : ", in a [Window Titles] section of its own, as the "
                                              "aircraft had only a virtual cockpit");
    return plan;
}

PanelPlan InstallMain(const Panel& p, const Placement& at, BitmapSizeReader read_size,
                      void* context) {
    ShownPanel shown = Show(p);
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
    plan.message = Format(VORNAK_GAUGE_NAME " added to the main panel [%s] as gauge%02d at %d, %d%s.",
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
    ShownPanel old_shown = Show(old_panel), new_shown = Show(new_panel);
    Ours ours = FindOurs(new_panel);
    std::string fix;
    return ours.found && Unshown(new_panel, new_shown, ours, &fix).empty() &&
           new_shown.windows.size() >= old_shown.windows.size();
}

}  // namespace cfg

using namespace cfg;

const char kGaugeName[] = VORNAK_GAUGE_NAME;
const char kWindowPicture[] = VORNAK_GAUGE_NAME ".bmp";
const char kWindowTitle[] = "Pushback";

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
    ShownPanel shown = Show(p);
    Ours ours = FindOurs(p);
    if (ours.found) {
        std::string fix;
        std::string unshown = Unshown(p, shown, ours, &fix);
        if (!unshown.empty())
            return Refuse(VORNAK_GAUGE_NAME " is here " + Where(p, shown, ours) + ", but " + unshown +
                          "; " + fix + ".");
        PanelPlan plan;
        plan.outcome = kPlanAlready;
        plan.message = VORNAK_GAUGE_NAME " is already installed here " + Where(p, shown, ours) + ".";
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
    ShownPanel shown = Show(p);
    Ours ours = FindOurs(p);
    PanelPlan plan;
    if (!ours.found) {
        plan.outcome = kPlanAbsent;
        plan.message = VORNAK_GAUGE_NAME " is not installed here; nothing to remove.";
        return plan;
    }
    const Line& header = HeaderOf(p, *ours.section);
    if (ours.own_window && !ours.exact)
        return Refuse(Format("The " VORNAK_GAUGE_NAME " window [%s] was changed by hand, so it is left as "
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
                           ? Format(VORNAK_GAUGE_NAME " removed from the main panel (%s).",
                                    p.lines[ours.gauge_line].name.c_str())
                           : Format(VORNAK_GAUGE_NAME " removed from [%s] (%s).", header.name.c_str(),
                                    p.lines[ours.gauge_line].name.c_str());
    } else if (ours.titles_last) {
        // Install wrote [Window Titles] too: both go as one block.
        take_out(ours.first_line, ours.title_line);
        plan.message = Format(VORNAK_GAUGE_NAME " removed: pop-up window %s and the [Window Titles] "
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
        plan.message = Format(VORNAK_GAUGE_NAME " removed: pop-up window %s and its title.",
                              header.name.c_str());
    }
    plan.outcome = kPlanDone;
    plan.after = Apply(before, edits);
    plan.added = removed;
    return plan;
}
