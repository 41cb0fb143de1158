// command_line.h - panel-host's one command line, read the same way by the
// Linux host (host_linux.cpp) and the Windows host (host_win32.cpp) with
// CLI11: the modes, their options, --help and --version, and the checks
// that refuse a mistake before any work starts.
//
// Both hosts know every mode and option; what one platform cannot do (the
// window and the files a run writes are the Linux host's, nothing else is
// missing) is refused there with one line, so a command line means the same
// wherever it is accepted.
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

// What the host running the command line can do beyond replay, run and
// reload.
enum HostAbilities : unsigned { kHostHasWindow = 1u, kHostWritesFiles = 2u };

const long kMaxReloads = 100000;
const double kLongestRunSeconds = 3600.0;   // a run stops after an hour of simulated time
const double kSlowestSpeed = 0.1, kFastestSpeed = 100.0;   // window --speed

// Reads the command line. -h/--help and --version print to stdout and exit
// 0; any mistake exits 2 through Fail, naming the mode's options.
PanelHostOptions ReadCommandLine(int argc, char** argv, unsigned abilities);

// Prints "panel-host: MESSAGE" as the one line on stderr and exits with 2,
// the status of every failure a user can cause.
[[noreturn]] void Fail(const std::string& message);
