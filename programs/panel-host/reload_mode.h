// reload_mode.h - the reload mode: COUNT kill/initialise cycles of the
// gauge, then how many of the module's sound objects are still alive.
#pragma once

#include <string>

#include "programs/panel-host/command_line.h"
#include "programs/panel-host/session.h"

// 0 when none is alive, 1 when some are (they are named on stdout), 0 with
// a word when the module does not count them; kRefused with `problem` when
// the module cannot be attached.
int Reload(Session& session, const PanelHostOptions& o, std::string* problem);
