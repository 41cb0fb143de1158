// panel_host_cli.h - the command line that panel-host reads the same way on
// every platform: the options both hosts take, how a bad one is refused,
// and the one record they fill.
//
// Each host (panel_host.cpp on Linux, panel_host_win32.cpp on Windows) keeps
// its own loop over the arguments, its modes and its usage text; it hands
// every argument to TakeSharedOption first.
#pragma once

#include <cstdint>
#include <string>

struct PanelHostOptions {
    std::string module;
    std::string mode;            // "replay", "run", and "window" or "reload"
    std::string operand;         // the replay script, or the reload count
    bool        left = true;
    bool        side_given = false;
    int32_t     timer = 20;
    double      heading = 0.0;
    bool        heading_given = false;
    bool        realtime = false;
    // The files a Linux run writes, and when its snapshot is taken.
    std::string audio, snapshot, frames, path;
    double      at = -1.0;
};

// Prints "panel-host: MESSAGE" as the one line on stderr and exits with 2,
// the status of every failure a user can cause.
[[noreturn]] void Fail(const std::string& message);

// A whole finite number, nothing after it.
bool ParseDouble(const char* text, double* value);

// The value of the option at argv[*i], which *i then points at; refuses an
// option that ends the command line.
const char* OptionValue(int argc, char** argv, int* i);

// Takes argv[*i], with its value, when it is an option every host knows:
// --module, --left, --right, --timer, --heading or --realtime. False leaves
// the argument to the host.
bool TakeSharedOption(int argc, char** argv, int* i, PanelHostOptions* o);
