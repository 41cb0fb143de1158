// main.cpp - panel-host: loads a gauge module file and drives it, as the
// flight simulator would, 18 panel updates a second.
//
// Its modes, options and exit statuses are written once, in command_line.cpp
// (the help says them all, `panel-host --help`).
//
// The modes are written once for every system: replay_mode.h,
// reload_mode.h, run.h with timeline.h and outputs.h, window.h, each
// attaching the module with session.h and paced by pacing.h; what is the
// system's own is behind platform.h, fonts.h, png_files.h, window.h's seam
// and module_file/module_loader.h. Every input is checked before the module
// is loaded, and every output before it is opened.
//
// On Windows, started without arguments (double-clicked beside the module),
// it is the window mode; a problem is then shown in a message box too.
//
// Only main ends the program, once the gauge has been killed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "programs/panel-host/command_line.h"
#include "programs/panel-host/panel_host.h"
#include "programs/panel-host/platform.h"
#include "programs/panel-host/reload_mode.h"
#include "programs/panel-host/replay_mode.h"
#include "programs/panel-host/run.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/window.h"

int main(int argc, char** argv) {
    StartStandardStreams();
    // Double-clicked on Windows: the window, with the module beside it.
    const bool double_clicked = argc == 1 && WindowWithoutArguments();
    char program[] = "panel-host", window[] = "window";
    char* window_argv[] = {argc > 0 ? argv[0] : program, window, nullptr};
    PanelHostOptions o;
    PanelHost ph;   // what the mode works with, handed down to it
    std::string problem;
    int status = kRefused;
    const bool read = double_clicked ? ReadCommandLine(2, window_argv, &o, &status, &problem)
                                     : ReadCommandLine(argc, argv, &o, &status, &problem);
    if (read) {
        BufferOutput(o.mode == "replay" && !o.realtime);
        if (o.mode == "replay")
            status = Replay(ph, o, &problem);
        else if (o.mode == "reload")
            status = Reload(ph.session, o, &problem);
        else if (Attach(ph.session, o, &problem))
            status = o.mode == "window" ? RunWindow(ph, o, &problem) : RunPushback(ph, o, &problem);
    }
    // What was printed must have been written: a full disk or a closed
    // pipe is said, not lost.
    errno = 0;
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && problem.empty()) {
        problem = std::string("cannot write to standard output") + (errno ? std::string(": ") + std::strerror(errno) : "");
        status = kRefused;
    }
    if (!problem.empty()) {
        ShowProblem(problem);
        if (double_clicked) ShowProblemToPerson(problem);
    }
    return status;
}
