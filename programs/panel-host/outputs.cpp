// outputs.cpp - the files a run writes (see outputs.h).
#include "programs/panel-host/outputs.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "hostsim/hostsim.h"
#include "programs/panel-host/panel_draw.h"
#include "programs/panel-host/platform.h"
#include "programs/panel-host/png_files.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/wav_file.h"
#include "programs/panel-host/world.h"

namespace {

const uint32_t kFramesPerUpdate = kAudioRate / kTicksPerSecond;

bool Snapshot(Outputs& out, double seconds, std::string* problem) {
    DrawPanel(out.art, &out.panel);
    out.snapped_at = seconds;
    return WritePng(out.o.snapshot, out.panel, problem);
}

// "frame_NNNN.png", as the run names its frames.
bool IsFrameName(const char* name) {
    if (std::strlen(name) != 14 || std::strncmp(name, "frame_", 6) != 0 || std::strcmp(name + 10, ".png") != 0)
        return false;
    for (int i = 6; i < 10; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// Makes the frames' folder, or empties it of an earlier run's frames (only
// those), counting them.
bool PrepareFrames(Outputs& out, const std::string& dir, std::string* problem) {
    if (WhatIsAt(dir) == PathHolds::kNothing) return out.made_frames_folder = MakeFolder(dir, problem);
    std::vector<std::string> names;
    if (!ListFolder(dir, &names, problem)) return false;
    for (const std::string& name : names) {
        if (!IsFrameName(name.c_str())) continue;
        const std::string frame = InFolder(dir, name);
        if (std::remove(frame.c_str()) != 0) {
            *problem = "cannot remove an earlier run's " + frame + ": " + std::strerror(errno);
            return false;
        }
        ++out.old_frames;
    }
    return true;
}

// Two outputs may not name one file, nor may a file go into the frames'
// folder, which the run fills and empties of an earlier run's frames.
bool OutputsApart(const PanelHostOptions& o, std::string* problem) {
    struct Named { const char* option; const std::string* path; };
    const Named files[] = {{"--audio", &o.audio}, {"--snapshot", &o.snapshot}, {"--path", &o.path}};
    const std::string frames = o.frames.empty() ? "" : FileIdentity(o.frames);
    for (size_t i = 0; i < 3; ++i) {
        if (files[i].path->empty()) continue;
        const std::string id = FileIdentity(*files[i].path);
        for (size_t j = i + 1; j < 3; ++j)
            if (!files[j].path->empty() && SameFile(*files[i].path, *files[j].path)) {
                *problem = std::string(files[i].option) + " and " + files[j].option + " name one file, " +
                           *files[i].path + ": give each its own";
                return false;
            }
        if (frames.empty()) continue;
        if (id == frames) {
            *problem = std::string(files[i].option) + " and --frames name one file, " + *files[i].path +
                       ": give each its own";
            return false;
        }
        if (InsideFolder(id, frames)) {
            *problem = std::string(files[i].option) + " " + *files[i].path +
                       " is inside the --frames folder, which the run fills: put it elsewhere";
            return false;
        }
    }
    return true;
}

// Makes the file a run is to write, empty, so that one that cannot be
// written is refused before the run rather than after it.
bool Create(Outputs& out, const std::string& path, std::string* problem) {
    errno = 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *problem = "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    out.made.push_back(path);
    if (std::fclose(file) != 0) {
        *problem = "cannot write " + path;
        return false;
    }
    return true;
}

// Removes every file and the folder this run made: a failed run leaves
// nothing half-written.
void RemoveWhatWasMade(Outputs& out) {
    for (const std::string& path : out.made) std::remove(path.c_str());
    out.made.clear();
    if (out.made_frames_folder) RemoveFolder(out.o.frames);
    out.made_frames_folder = false;
}

}  // namespace

bool OutputsStart(Outputs& out, const LoadedModule& module, const PanelHostOptions& options, std::string* problem) {
    out = Outputs{};
    out.module = &module;
    out.o = options;
    const PanelHostOptions& o = out.o;
    if (!o.audio.empty()) {
        if (out.module->audio_loopback == nullptr || out.module->audio_render == nullptr) {
            *problem = "module " + o.module + " offers no sound capture (needed for --audio)";
            return false;
        }
        if (!out.module->audio_loopback(kAudioRate)) {
            *problem = "this OpenAL cannot capture its mix (no ALC_SOFT_loopback)";
            return false;
        }
    }
    if (!OutputsApart(o, problem)) return false;
    for (const std::string* path : {&o.audio, &o.snapshot, &o.path})
        if (!path->empty() && !Create(out, *path, problem)) {
            RemoveWhatWasMade(out);
            return false;
        }
    return true;
}

bool OutputsOpen(Outputs& out, std::string* problem) {
    const PanelHostOptions& o = out.o;
    // The panel's pictures are taken from the installed gauge: its elements
    // name the lamps and the display's font only then.
    const bool drawing = !o.snapshot.empty() || !o.frames.empty() || !o.path.empty();
    if (drawing && !LoadPanelArt(*out.module, &out.art, problem)) return false;
    if (!o.frames.empty() && !PrepareFrames(out, o.frames, problem)) return false;
    if (o.audio.empty()) return true;
    out.mix.assign(size_t(kFramesPerUpdate) * 2, 0);
    return WavOpen(&out.wav, o.audio, kAudioRate, problem);
}

bool OutputsAfterUpdate(Outputs& out, std::string* problem) {
    const PanelHostOptions& o = out.o;
    if (out.wav.file) {
        out.module->audio_render(out.mix.data(), kFramesPerUpdate);
        if (!WavAppend(&out.wav, out.mix.data(), kFramesPerUpdate)) {
            *problem = "cannot write " + o.audio;
            return false;
        }
    }
    const double seconds = double(host.updates - 1) / double(kTicksPerSecond);
    if (!o.frames.empty() && (host.updates - 1) % kTicksPerSecond == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04" PRIu32 ".png", (host.updates - 1) / kTicksPerSecond);
        DrawPanel(out.art, &out.panel);
        out.made.push_back(InFolder(o.frames, name));
        if (!WritePng(out.made.back(), out.panel, problem)) return false;
        ++out.frames_written;
    }
    if (!o.snapshot.empty() && o.at >= 0.0 && out.snapped_at < 0.0 && seconds + 1e-9 >= o.at)
        return Snapshot(out, seconds, problem);
    return true;
}

bool OutputsFinish(Outputs& out, const World& world, std::string* problem) {
    const PanelHostOptions& o = out.o;
    out.end_seconds = double(host.updates - 1) / double(kTicksPerSecond);
    if (!o.snapshot.empty() && out.snapped_at < 0.0 && !Snapshot(out, out.end_seconds, problem)) return false;
    if (!o.path.empty()) {
        Image track;
        DrawTrack(world.aircraft.track, o.heading, world.aircraft.heading, &out.art, &track);
        if (!WritePng(o.path, track, problem)) return false;
    }
    FreePanelArt(&out.art);
    if (out.wav.file && !WavClose(&out.wav)) {
        *problem = "cannot write " + o.audio;
        std::remove(o.audio.c_str());
        return false;
    }
    return true;
}

void OutputsAbandon(Outputs& out) {
    FreePanelArt(&out.art);
    if (out.wav.file) WavClose(&out.wav);
    RemoveWhatWasMade(out);
}

void OutputsReport(const Outputs& out) {
    const PanelHostOptions& o = out.o;
    if (!o.audio.empty())
        std::printf("wrote %s: %.1f s of 16-bit stereo sound at %" PRIu32 " Hz\n", o.audio.c_str(),
                    double(host.updates) / double(kTicksPerSecond), kAudioRate);
    if (!o.snapshot.empty()) {
        if (o.at > out.end_seconds + 1e-9)
            std::printf("wrote %s: the panel at %.1f s, the end of the run (--at %g is past it)\n",
                        o.snapshot.c_str(), out.snapped_at, o.at);
        else
            std::printf("wrote %s: the panel at %.1f s\n", o.snapshot.c_str(), out.snapped_at);
    }
    if (!o.frames.empty()) {
        std::printf("wrote %s: %" PRIu32 " frames, frame_0000.png to frame_%04" PRIu32 ".png, one a second",
                    o.frames.c_str(), out.frames_written, out.frames_written > 0 ? out.frames_written - 1 : 0);
        if (out.old_frames > 0)
            std::printf(" (%d frame%s of an earlier run removed)", out.old_frames, out.old_frames == 1 ? "" : "s");
        std::printf("\n");
    }
    if (!o.path.empty()) std::printf("wrote %s: the track seen from above\n", o.path.c_str());
}
