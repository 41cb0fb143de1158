// timeline.h - the pushback as the gauge shows it, printed line by line:
// what run and window print, the same on every system. It observes the
// world (world.h): the gauge's events and clips, its display, the phases.
//
// Each line is stamped with the time of the update it happened in; what
// happens inside an update is printed once the update is over, under the
// phase it ended in. An event repeated on consecutive updates is printed
// once, with a line naming the span it was repeated over.
//
// Usage: TimelineStart once the world has started, Say for what the pilot
// does, and TimelineEnd before the world ends.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "programs/panel-host/world.h"

struct Timeline {
    const World* world = nullptr;   // the world it tells of
    std::string last_text;
    uint32_t    last_colour = 0;
    // A run of one event repeated on consecutive updates is shown once,
    // with the span it was repeated over.
    uint32_t    repeat_id = 0, repeat_value = 0, repeat_first = 0, repeat_last = 0, repeat_count = 0;
    // What happens inside an update is shown once the update is over, under
    // the phase it ended in.
    std::vector<std::pair<uint32_t, std::string>> pending;   // (update stamped, text)
};

// A fresh timeline, observing `world`.
void TimelineStart(Timeline& t, World& world);
// Prints what is still held back.
void TimelineEnd(Timeline& t);

// A line of the timeline, stamped with the update it belongs to; or, once
// the updates up to `update` are over, with that one.
void Say(Timeline& t, const std::string& what);
void SayAt(Timeline& t, uint32_t update, const std::string& what);
