// replay_mode.h - the replay mode: the trace of a gauge-replay script (see
// hostsim/replay.h) with the module loaded from its file, without play
// lines: the clips play in the module.
#pragma once

#include <string>

#include "programs/panel-host/command_line.h"

struct PanelHost;

// RunReplay's status (hostsim/replay.h), or kRefused with `problem` when
// the script or the module cannot be opened or the trace cannot be written.
// Paced by ph.pacing with --realtime.
int Replay(PanelHost& ph, const PanelHostOptions& o, std::string* problem);
