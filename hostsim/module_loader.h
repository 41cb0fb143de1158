// module_loader.h - loads a gauge module file into the substitute host.
//
// The module is opened with dlopen (module_loader_posix.cpp) or LoadLibraryA
// (module_loader_win32.cpp), and the host finds its records by name the way
// the simulator does: Linkage and ImportTable, and on native modules the
// resource directory and the optional audio functions of
// sound/device_openal.h.
#pragma once

#include <cstdint>
#include <string>

#include "host/abi.h"
#include "resources/embedded.h"
#include "sound/device_openal.h"

struct LoadedModule {
    void*                    handle;
    std::string              path;
    ImportTableRecord*       import_table;
    const LinkageRecord*     linkage;
    const EmbeddedDirectory* resources;      // null when the module has none
    VornakSetClipObserverFn  set_clip_observer;
    VornakAudioLoopbackFn    audio_loopback;
    VornakAudioRenderFn      audio_render;
    VornakAudioCountsFn      audio_counts;
};

// The module built beside the running program (VORNAK_TOWS.so, or
// VORNAK_TOWS.gau on Windows, next to it).
std::string DefaultModulePath();

// Opens the module at `path` and finds its records. On failure returns false
// with a one-line reason in `problem`; nothing stays loaded.
bool LoadModule(const std::string& path, LoadedModule* module, std::string* problem);

// A resource of the loaded module: a clip by name ("WAV", "PB1") or a bitmap
// by number ("BITMAP", number). Null when absent.
const EmbeddedResource* ModuleResource(const LoadedModule& module, const char* type,
                                       const char* name, int32_t number);

// The sound data of the module's clip `clip`: its size in bytes (cut at the
// resource's end) and the byte rate of the format before it (0 when none
// came first). False, with both 0, when the clip or its data is missing.
bool ModuleClipData(const LoadedModule& module, const char* clip, uint32_t* data_bytes, uint32_t* byte_rate);
