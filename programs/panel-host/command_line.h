// command_line.h - panel-host's one command line, read the same way on
// every system with CLI11: the modes, their options, --help and --version,
// and the checks that refuse a mistake before any work starts.
#pragma once

#include <cstdint>
#include <string>

struct PanelHostOptions {
    std::string module;
    std::string mode;            // "replay", "run", "window" or "reload"
    std::string script;          // replay
    long        reloads = 0;     // reload
    bool        left = true;
    bool        side_given = false;
    int32_t     timer = 20;      // seconds
    double      heading = 0.0;   // degrees
    double      speed = 1.0;     // window: times real time (18 updates a second)
    bool        realtime = false;
    bool        verbose = false;
    // The files a run writes, and when its snapshot is taken (seconds).
    std::string audio, snapshot, frames, path;
    double      at = -1.0;
};

const long kMaxReloads = 100000;
const double kLongestRunSeconds = 3600.0;   // a run stops after an hour of simulated time
const double kSlowestSpeed = 0.1, kFastestSpeed = 100.0;   // window --speed

// Reads the command line. -h/--help and --version print to stdout and exit
// 0; any mistake exits 2 through Fail, naming the mode's options.
PanelHostOptions ReadCommandLine(int argc, char** argv);

// Prints "panel-host: MESSAGE" as the one line on stderr: bytes that are not
// printable as \xNN, a very long message cut.
void ShowProblem(const std::string& message);

// ShowProblem, then exit with 2, the status of every failure a user can
// cause: for the command line only, which is read before anything runs.
[[noreturn]] void Fail(const std::string& message);
