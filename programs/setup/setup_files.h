// setup_files.h - the file work of the setup program: the simulator's
// folder, the aircraft panels in it, and install, remove and check of one
// panel.cfg, each answering with one line. Shared by the command line and
// the dialog; the panel.cfg bytes themselves are edited by panel_cfg.h.
#pragma once

#include <string>
#include <vector>

#include "programs/setup/panel_cfg.h"

enum SetupStatus { kSetupDone = 0, kSetupRefused = 1, kSetupMistake = 2 };

struct SetupResult {
    SetupStatus status;
    std::string line;    // one sentence: what was done, or why not
    std::string added;   // the lines added or taken out, LF-separated
    std::string key;     // install: how the pilot opens the gauge
    Placement route;     // install refused: where on the main panel the gauge
                         // can go instead (main_panel false when nowhere)
};

// Asked before a different VORNAK_TOWS.gau in the Gauges folder is replaced.
typedef bool (*ReplaceQuestion)(const std::string& gauges_folder, void* context);

struct SetupRequest {
    std::string simdir;
    std::string panel;        // a panel.cfg path, absolute or relative
    Placement placement;
    bool dry_run;
    bool force;               // replace a different VORNAK_TOWS.gau without asking
    ReplaceQuestion ask;      // may be null: then only `force` replaces
    void* ask_context;
};

struct AircraftPanel {
    std::string aircraft;     // the aircraft's folder name
    std::string title;        // its aircraft.cfg's first title=, or ""
    std::string relative;     // Aircraft\<aircraft>\<Panel folder>\panel.cfg
    std::string path;         // the full path
};

// "" when `simdir` is a simulator's folder, else the sentence why not.
std::string SimulatorFolderProblem(const std::string& simdir);
// The panels of Aircraft\*\Panel*\panel.cfg; `skipped` (may be null)
// counts the folders whose names Windows 95 and 98 cannot spell.
std::vector<AircraftPanel> FindPanels(const std::string& simdir, int* skipped);

SetupResult InstallPanel(const SetupRequest& request);
SetupResult RemovePanel(const SetupRequest& request);
SetupResult CheckPanelFile(const std::string& panel);

// Paths are held in UTF-8 where Windows has the wide-character calls (NT,
// 2000 and later), else in the ANSI code page; these give a path as the
// ANSI calls, the console and the controls show it, take one back from
// them, and give the command line's arguments as paths are held.
std::string PathShown(const std::string& path);
std::string PathFromShown(const std::string& text);
std::vector<std::string> CommandArguments(int argc, char** argv);

// The folder the setup program was started from, with a final backslash.
std::string ProgramFolder();
