// module_loader_posix.cpp - loading a gauge module file on Linux, for the
// module-loader seam (hostsim/module_loader.h; module_loader_win32.cpp is its
// LoadLibraryA sibling).
//
// Needs: libdl, /proc/self/exe. Provides:
//   [x] load by path with dlopen (a bare name is taken as a file here, not
//       searched for on the library path)
//   [x] ImportTable and Linkage by their export names
//   [x] the optional audio exports, where a module has them
//   [x] a one-line reason for every failure, with dlerror's; only a
//       regular file is handed to the loader
//   [x] the default module: VORNAK_TOWS.so beside the running program
//   [x] embedded resource directory (vornak_resource_directory), which
//       ModuleResource walks for clips and bitmaps
#include "hostsim/module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

std::string DefaultModulePath() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "VORNAK_TOWS.so";
    exe[n] = '\0';
    std::string dir(exe);
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    return dir + "/VORNAK_TOWS.so";
}

bool LoadModule(const std::string& path, LoadedModule* module, std::string* problem) {
    *module = LoadedModule{};
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        *problem = "cannot load module " + path + ": " + std::strerror(errno);
        return false;
    }
    // The loader would wait on a pipe for a writer that never comes.
    if (!S_ISREG(st.st_mode)) {
        *problem = "cannot load module " + path + ": " +
                   (S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
        return false;
    }
    // dlopen searches the library path for a bare name; a module is a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        *problem = "cannot load module " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    auto import_table = static_cast<ImportTableRecord*>(dlsym(handle, "ImportTable"));
    auto linkage = static_cast<const LinkageRecord*>(dlsym(handle, "Linkage"));
    if (import_table == nullptr || linkage == nullptr) {
        dlclose(handle);
        *problem = "module " + path + " exports no Linkage and ImportTable records";
        return false;
    }
    module->handle = handle;
    module->path = path;
    module->import_table = import_table;
    module->linkage = linkage;
    auto resources = static_cast<const EmbeddedDirectory*>(dlsym(handle, "vornak_resource_directory"));
    module->resources = (resources && resources->magic == kEmbeddedMagic) ? resources : nullptr;
    module->set_clip_observer =
        reinterpret_cast<VornakSetClipObserverFn>(dlsym(handle, "vornak_set_clip_observer"));
    module->audio_loopback =
        reinterpret_cast<VornakAudioLoopbackFn>(dlsym(handle, "vornak_audio_loopback"));
    module->audio_render = reinterpret_cast<VornakAudioRenderFn>(dlsym(handle, "vornak_audio_render"));
    module->audio_counts = reinterpret_cast<VornakAudioCountsFn>(dlsym(handle, "vornak_audio_counts"));
    return true;
}

const EmbeddedResource* ModuleResource(const LoadedModule& module, const char* type,
                                       const char* name, int32_t number) {
    if (module.resources == nullptr) return nullptr;
    for (uint32_t i = 0; i < module.resources->count; ++i) {
        const EmbeddedResource& r = module.resources->entries[i];
        if (std::strcmp(r.type, type) != 0) continue;
        if (name ? std::strcmp(r.name, name) == 0 : r.number == number) return &r;
    }
    return nullptr;
}
