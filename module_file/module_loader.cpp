// module_loader.cpp - what a host reads from a module file the system has
// loaded, the same on every system: the simulator's two records, the
// resource directory and the extras (host/module_extras.h).
#include "module_file/module_loader.h"

namespace {

template <typename T>
T Found(void* handle, ModuleExportFinder find, const char* name) {
    return reinterpret_cast<T>(find(handle, name));
}

}  // namespace

bool ReadModuleExports(const std::string& path, void* handle, ModuleExportFinder find, LoadedModule* module,
                       std::string* problem) {
    *module = LoadedModule{};
    auto import_table = Found<ImportTableRecord*>(handle, find, "ImportTable");
    auto linkage = Found<const LinkageRecord*>(handle, find, "Linkage");
    if (import_table == nullptr || linkage == nullptr) {
        *problem = "module " + path + " exports no Linkage and ImportTable records";
        return false;
    }
    module->handle = handle;
    module->path = path;
    module->import_table = import_table;
    module->linkage = linkage;
    auto resources = Found<const EmbeddedDirectory*>(handle, find, "vornak_resource_directory");
    module->resources = (resources && resources->magic == kEmbeddedMagic) ? resources : nullptr;
    module->set_clip_observer = Found<VornakSetClipObserverFn>(handle, find, "vornak_set_clip_observer");
    module->audio_loopback = Found<VornakAudioLoopbackFn>(handle, find, "vornak_audio_loopback");
    module->audio_render = Found<VornakAudioRenderFn>(handle, find, "vornak_audio_render");
    module->audio_counts = Found<VornakAudioCountsFn>(handle, find, "vornak_audio_counts");
    return true;
}

bool ModuleSoundStarted(const LoadedModule& module) {
    bool started = true;
    if (module.sound_watched && module.sound_watched(&started)) return started;
    if (module.audio_counts == nullptr) return true;
    VornakAudioCounts c{};
    module.audio_counts(&c);
    return c.devices > 0;
}
