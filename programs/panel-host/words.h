// words.h - how panel-host words what it shows, the same in the timeline,
// the run's summary and the window: times, headings, counts, distances and
// the crew's calls.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/aircraft.h"

// A heading as the timeline and the window show it: one decimal, cut
// rather than rounded, so that 359.97 is 359.9 and never 360.0.
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
