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
#include <vector>

#include "module_file/module_loader.h"
#include "programs/panel-host/command_line.h"
#include "programs/panel-host/image.h"
#include "programs/panel-host/panel_draw.h"
#include "programs/panel-host/wav_file.h"
#include "programs/panel-host/world.h"

// The rate of the WAV a run records: 1225 frames an update.
const uint32_t kAudioRate = 22050;

// What the run writes and how far it got, kept by the run and handed to
// each of these.
struct Outputs {
    const LoadedModule* module = nullptr;
    PanelHostOptions o;      // as the run gave them at its start
    WavWriter wav;
    std::vector<int16_t> mix;
    PanelArt art;
    Image    panel;
    double   snapped_at = -1.0;
    double   end_seconds = 0.0;
    uint32_t frames_written = 0;
    int      old_frames = 0;
    // What this run has made, removed again when the run fails.
    std::vector<std::string> made;
    bool     made_frames_folder = false;
};

bool OutputsStart(Outputs& out, const LoadedModule& module, const PanelHostOptions& o, std::string* problem);
bool OutputsOpen(Outputs& out, std::string* problem);
bool OutputsAfterUpdate(Outputs& out, std::string* problem);
bool OutputsFinish(Outputs& out, const World& world, std::string* problem);
void OutputsAbandon(Outputs& out);
void OutputsReport(const Outputs& out);
