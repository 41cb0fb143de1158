// words.h - how panel-host words what it shows, the same in the timeline,
// the run's summary and the window: times, headings, counts, distances and
// the crew's calls.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/aircraft.h"

// A heading as the header, the timeline, the summaries and the window show
// it: two decimals, cut rather than rounded, so that 359.999 is 359.99 and
// never 360.00.
std::string HeadingText(double heading);

// "1 clip", "2 clips".
std::string Plural(uint32_t n, const char* thing);
// How far the aircraft was pushed, for a summary: along its track, and
// where it ended in a straight line from the start.
std::string Distances(const Aircraft& a);

// "MM:SS.T", the time an update starts at.
std::string Clock(uint32_t update);
// The crew's words for a clip, or null for a clip without words.
const char* WordsOf(const std::string& clip);
