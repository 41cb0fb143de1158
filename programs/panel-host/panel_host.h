// panel_host.h - what a mode of panel-host works with, in one record that
// main makes and passes down, as a context: the module and its session,
// the world behind the panel, the timeline that tells of it, and the pace
// of the updates. Every function that uses one of them is handed it; the
// run keeps its outputs (outputs.h) itself.
#pragma once

#include "programs/panel-host/pacing.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"
#include "programs/panel-host/world.h"

struct PanelHost {
    Session  session;
    World    world;
    Timeline timeline;
    Pacing   pacing;
};
