// outputs.h - the files a run writes, the same on every system: the
// module's sound (--audio, through the module's own capture), the panel at
// one moment (--snapshot, --at), once a second (--frames) and the track
// seen from above (--path).
//
// Usage: OutputsStart takes the run's options, which the outputs keep, and
// refuses what cannot be done (two outputs naming one file among it) before
// the gauge is installed and anything is written;
// OutputsOpen, once it is installed, takes the panel's pictures, prepares
// the frames' folder and opens the WAV;
// OutputsAfterUpdate after every update; OutputsFinish at the end, or
// OutputsAbandon when the run is refused on the way (the WAV is closed
// with the sizes of what it holds, or removed when it could not be
// written); OutputsReport prints what was written.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/command_line.h"

bool OutputsStart(const PanelHostOptions& o, std::string* problem);
bool OutputsOpen(std::string* problem);
bool OutputsAfterUpdate(std::string* problem);
bool OutputsFinish(std::string* problem);
void OutputsAbandon();
void OutputsReport();
