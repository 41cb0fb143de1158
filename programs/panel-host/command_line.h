// command_line.h - panel-host's one command line, read the same way on
// every system with CLI11: the modes, their options, --help and --version,
// and the checks that refuse a mistake before any work starts.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/identity.h"
#include "programs/panel-host/world.h"

struct PanelHostOptions {
    std::string module;
    std::string mode;            // "replay", "run", "window" or "reload"
    std::string script;          // replay
    long        reloads = 0;     // reload
    bool        left = true;
    bool        side_given = false;
    int32_t     timer = 0;       // seconds: the gauge's own first push time unless given
    double      heading = 0.0;   // degrees
    double      speed = 1.0;     // window: times real time
    bool        realtime = false;
    bool        verbose = false;
    // The files a run writes, and when its snapshot is taken (seconds).
    std::string audio, snapshot, frames, path;
    double      at = -1.0;
};

const long kMaxReloads = 100000;
const double kLongestRunSeconds = double(kMaxUpdates / kTicksPerSecond);   // where a run stops
const double kSlowestSpeed = 0.1, kFastestSpeed = 100.0;   // window --speed

// Reads the command line into *o, every value checked. False when the
// program is to end at once with *status: 0 after -h/--help or --version,
// printed to stdout; 2 after a mistake, which *problem then says in one
// line, naming the mode's options. Nothing is opened or written before.
bool ReadCommandLine(int argc, char** argv, PanelHostOptions* o, int* status, std::string* problem);

// Prints "panel-host: MESSAGE" as the one line on stderr: bytes that are not
// printable as \xNN, a very long message cut.
void ShowProblem(const std::string& message);
