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

// run.cpp words its summary with these too.
#include "programs/panel-host/words.h"

// A fresh timeline, observing the world.
void TimelineStart();
// Prints what is still held back.
void TimelineEnd();

// A line of the timeline, stamped with the update it belongs to; or, once
// the updates up to `update` are over, with that one.
void Say(const std::string& what);
void SayAt(uint32_t update, const std::string& what);
