// module_loader_posix.cpp - loading a gauge module file on Linux, for the
// module-loader seam (module_loader.h; module_loader_win32.cpp is its
// LoadLibraryA sibling).
//
// Needs: libdl, /proc/self/exe. Provides:
//   [x] load by path with dlopen (a bare name is taken as a file here, not
//       searched for on the library path)
//   [x] ImportTable, Linkage and the extras by their export names (read
//       in module_loader.cpp)
//   [x] a one-line reason for every failure, with dlerror's; only a
//       regular file is handed to the loader
//   [x] the default module: VORNAK_TOWS.so beside the running program
//   [x] embedded resource directory (vornak_resource_directory), which
//       ModuleResource walks for clips and bitmaps (resources/embedded.h)
#include "module_file/module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

void* Export(void* handle, const char* name) { return dlsym(handle, name); }

}  // namespace

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
    if (!ReadModuleExports(path, handle, Export, module, problem)) {
        dlclose(handle);
        return false;
    }
    return true;
}

const EmbeddedResource* ModuleResource(const LoadedModule& module, const char* type,
                                       const char* name, int32_t number) {
    return FindEmbeddedResource(module.resources, type, name, number);
}
