// panel_check.cpp - check: how the gauge is installed in a panel.cfg, and
// the faults the simulator's reading rules find in it.
#include "programs/setup/panel_text.h"

namespace cfg {



}  // namespace cfg

using namespace cfg;

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
    ShownPanel shown = Show(p);
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
                faults.push_back(Format("[%s] %s names " VORNAK_GAUGE_NAME "!" VORNAK_GAUGE_NAME ", which only FS2000 "
                                        "reads; FS98 wants " VORNAK_GAUGE_NAME " alone.",
                                        HeaderOf(p, s).name.c_str(), p.lines[i].name.c_str()));
    }
    Ours ours = FindOurs(p);
    std::string fix;
    std::string unshown = ours.found ? Unshown(p, shown, ours, &fix) : "";
    if (!ours.found)
        report.state = VORNAK_GAUGE_NAME " is not installed here.";
    else if (!unshown.empty())
        report.state = VORNAK_GAUGE_NAME " is here " + Where(p, shown, ours) + ", but " + unshown +
                       "; " + fix + ".";
    else
        report.state = VORNAK_GAUGE_NAME " is installed " + Where(p, shown, ours) +
                       (ours.own_window && !ours.exact
                            ? "; its lines were changed by hand, so remove leaves them."
                            : ".");
    report.faults = Lines(faults);
    return report;
}
