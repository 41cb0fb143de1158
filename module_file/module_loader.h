// module_loader.h - loads a gauge module file into a host of ours.
//
// The module is opened with dlopen (module_loader_posix.cpp) or LoadLibraryA
// (module_loader_win32.cpp), and the host finds its records by name the way
// the simulator does: Linkage and ImportTable; then, read in one place
// (module_loader.cpp) for every system, the resource directory of native
// modules and the extras of host/module_extras.h, each where the module has
// it.
#pragma once

#include <cstdint>
#include <string>

#include "host/abi.h"
#include "host/gauge_names.h"
#include "host/module_extras.h"
#include "resources/embedded.h"

// The extras (set_clip_observer, audio_loopback, audio_render, audio_counts)
// are the record's first members: null where the module has none. On
// Windows a module that reports no clips of its own has its DirectSound
// watched for them instead (clip_watch_win32.cpp).
struct LoadedModule : ModuleExtras {
    void*                    handle;
    std::string              path;
    ImportTableRecord*       import_table;
    const LinkageRecord*     linkage;
    const EmbeddedDirectory* resources;      // null when the module has none
    // Where the host watches the module's sound itself (the clip watch):
    // true once it has seen the module ask for a device, with whether its
    // sound started. Null elsewhere.
    bool (*sound_watched)(bool* started);
};

// The module built beside the running program (VORNAK_TOWS.so, or
// VORNAK_TOWS.gau on Windows, next to it).
std::string DefaultModulePath();

// Opens the module at `path` and finds its records. On failure returns false
// with a one-line reason in `problem`; nothing stays loaded.
// `no_gauge`, where given, tells a file that loaded as a module but holds
// no gauge (no Linkage and ImportTable) from one that did not load at all.
bool LoadModule(const std::string& path, LoadedModule* module, std::string* problem, bool* no_gauge = nullptr);

// Why the file at `path` is a module of another kind than this program
// loads, as one line naming it ("the gauge module X is built for 32-bit
// Windows and this program for 64-bit: ..."), or "" where it is not (or
// the loader is left to tell). LoadModule refuses such a file with it.
std::string ModuleKindMismatch(const std::string& path);

// A resource of the loaded module: a clip by name ("WAV", "PB1") or a bitmap
// by number ("BITMAP", number). Null when absent.
const EmbeddedResource* ModuleResource(const LoadedModule& module, const char* type,
                                       const char* name, int32_t number);

// The sound data of the module's clip `clip` as the gauge's own walk finds
// it (sound/wave_reader.h): its size in bytes and the byte rate of its
// stored format. False, with both 0, when the walk finds no format and
// sound data, as the gauge then plays nothing.
bool ModuleClipData(const LoadedModule& module, const char* clip, uint32_t* data_bytes, uint32_t* byte_rate);

// Whether the module's sound could start when the gauge was initialised
// (which opens its sound device and makes a buffer for each clip): false
// once it is seen to have no device, or no clip buffer, true where it has
// or the host cannot tell. On Windows the clip watch sees DirectSound's
// answers; elsewhere the module's counts tell.
bool ModuleSoundStarted(const LoadedModule& module);

// For the system's loader files: fills `module` from the module the system
// loaded from `path` as `handle`, its exports found by `find` (dlsym,
// GetProcAddress). False, with the reason, when it holds no gauge; the
// caller then unloads it.
typedef void* (*ModuleExportFinder)(void* handle, const char* name);
bool ReadModuleExports(const std::string& path, void* handle, ModuleExportFinder find, LoadedModule* module,
                       std::string* problem);
