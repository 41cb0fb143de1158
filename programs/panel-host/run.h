// run.h - the run mode: a whole pushback with the modelled aircraft and
// pilot of aircraft.h, its timeline printed line by line (timeline.h), a
// summary, and the files of outputs.h. The same on every system.
#pragma once

#include <string>

#include "programs/panel-host/command_line.h"

// 0 once the gauge reset after the pushback, 1 when it did not within an
// hour of simulated time (the reason on stderr), kRefused with `problem`
// when an output cannot be made. The gauge is killed however it ends.
int RunPushback(const PanelHostOptions& o, std::string* problem);
