// run.h - the run mode: a whole pushback with the modelled aircraft and
// pilot of aircraft.h and pilot.h, its timeline printed line by line
// (timeline.h), a summary, and the files of outputs.h. The same on every system.
#pragma once

#include <string>

#include "programs/panel-host/command_line.h"

struct PanelHost;

// 0 once the gauge reset after the pushback, 1 when it did not within an
// hour of simulated time (the reason on stderr), kRefused with `problem`
// when an output cannot be made or the timeline cannot be written (the
// files it made are then removed), and kStoppedBySignal plus the signal's
// number with `problem` after Ctrl-C, SIGTERM or SIGHUP (the files then
// hold the run so far, a WAV with its right sizes). The gauge is killed
// however it ends.
const int kStoppedBySignal = 128;   // as a shell reports it: 130 for Ctrl-C
int RunPushback(PanelHost& ph, const PanelHostOptions& o, std::string* problem);
