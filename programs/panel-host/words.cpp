// words.cpp - panel-host's words for what it shows (see words.h).
#include "programs/panel-host/words.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <vector>

#include "host/abi.h"

namespace {

// The crew's words, from resources/crew_words.txt.
struct CrewWords { const char* clip; const char* words; };
const CrewWords kCrewWords[] = {
#include "crew_words.inc"
};

}  // namespace

std::string Clock(uint32_t update) {
    const uint32_t tenths = (update > 0 ? update - 1 : 0) * 10 / kTicksPerSecond;
    char text[32];
    std::snprintf(text, sizeof text, "%02" PRIu32 ":%02" PRIu32 ".%" PRIu32, tenths / 600, tenths / 10 % 60,
                  tenths % 10);
    return text;
}

std::string HeadingText(double heading) {
    char text[16];
    // Cut to hundredths, as the target's whole degrees are cut from it: a
    // heading below 360 never shows as 360.00, and one given as 359.96
    // shows as given.
    std::snprintf(text, sizeof text, "%.2f", std::min(std::floor(heading * 100.0 + 1e-6), 35999.0) / 100.0);
    return text;
}

std::string Plural(uint32_t n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string Distances(const Aircraft& a) {
    const std::vector<TrackPoint>& track = a.track;
    double along = 0.0;
    for (size_t i = 1; i < track.size(); ++i)
        along += std::hypot(track[i].x - track[i - 1].x, track[i].y - track[i - 1].y);
    char text[96];
    std::snprintf(text, sizeof text, "pushed %.1f m along its track, ending %.1f m from the start", along,
                  std::hypot(a.x, a.y));
    return text;
}

const char* WordsOf(const std::string& clip) {
    for (const CrewWords& c : kCrewWords)
        if (clip == c.clip) return c.words;
    return nullptr;
}
