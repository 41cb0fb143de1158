// outputs.h - the files a run writes, the same on every system: the
// module's sound (--audio, through the module's own capture), the panel at
// one moment (--snapshot, --at), once a second (--frames) and the track
// seen from above (--path).
//
// Usage: OutputsStart takes the run's options, which the outputs keep,
// refuses what cannot be done (two outputs naming one file among it) before
// the gauge is installed, and makes every file the run is to write, empty,
// so that one that cannot be written is refused before the run;
// OutputsOpen, once it is installed, takes the panel's pictures, prepares
// the frames' folder and opens the WAV;
// OutputsAfterUpdate after every update; OutputsFinish at the end, also of
// a run stopped by Ctrl-C (the WAV is closed with the sizes of what it
// holds), or OutputsAbandon when the run fails on the way: every file and
// the folder it made are removed, so nothing half-written is left;
// OutputsReport prints what was written.
#pragma once

#include <cstdint>
#include <string>

#include "module_file/module_loader.h"
#include "programs/panel-host/command_line.h"
#include "programs/panel-host/world.h"

bool OutputsStart(const LoadedModule& module, const PanelHostOptions& o, std::string* problem);
bool OutputsOpen(std::string* problem);
bool OutputsAfterUpdate(std::string* problem);
bool OutputsFinish(const World& world, std::string* problem);
void OutputsAbandon();
void OutputsReport();
