// platform_posix.cpp - module identity and resources on Linux and other ELF
// systems.
//
// Needs: the resource directory generated at build time (resources are
// embedded in the module's own image with .incbin), libdl.
// Provides:
//   [x] module entry: a constructor runs ModuleEntry with the module's base
//   [x] own path from the instance: dladdr on the base address
//   [x] module from a path: this module itself, or another module already
//       loaded from that path (dlopen with RTLD_NOLOAD) through its exported
//       resource directory
//   [x] resources by type and name, bitmaps by number, with stored sizes
//   [ ] host window: none on this platform (null)
#include "platform/platform.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "host/module.h"
#include "resources/embedded.h"

namespace {

void* OwnBase() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&ModuleEntry), &info) == 0) return nullptr;
    return info.dli_fbase;
}

__attribute__((constructor)) void LoaderHook() { ModuleEntry(OwnBase(), 1, nullptr); }

bool SameFile(const char* a, const char* b) {
    if (std::strcmp(a, b) == 0) return true;
    char ra[4096], rb[4096];
    return realpath(a, ra) && realpath(b, rb) && std::strcmp(ra, rb) == 0;
}

const EmbeddedResource* Lookup(void* module, const char* type, const char* name,
                               int32_t number) {
    return FindEmbeddedResource(static_cast<const EmbeddedDirectory*>(module), type, name, number);
}

}  // namespace

uint32_t ModuleFileName(void* instance, char* path, uint32_t capacity) {
    if (path == nullptr || capacity == 0) return 0;
    path[0] = '\0';
    Dl_info info;
    if (instance == nullptr || dladdr(instance, &info) == 0) return 0;
    const char* name = info.dli_fname;
    char exe[4096];
    // The main program reports an empty or bare name; ask the kernel instead.
    if (name == nullptr || name[0] == '\0' || std::strchr(name, '/') == nullptr) {
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return 0;
        exe[n] = '\0';
        name = exe;
    }
    size_t length = std::strlen(name);
    // A path cut short is no path: it would name another file.
    if (length >= capacity) return 0;
    std::memcpy(path, name, length);
    path[length] = '\0';
    return static_cast<uint32_t>(length);
}

void* ModuleFromPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    char own[4096];
    if (ModuleFileName(module_instance, own, sizeof own) && SameFile(own, path))
        return const_cast<EmbeddedDirectory*>(&vornak_resource_directory);
    void* handle = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) return nullptr;
    void* directory = dlsym(handle, "vornak_resource_directory");
    // The module stays loaded by whoever loaded it; drop the count we added.
    dlclose(handle);
    return directory;
}

void* ActiveHostWindow() { return nullptr; }

const uint8_t* FindModuleResource(void* module, const char* type, const char* name,
                                  uint32_t* size) {
    if (type == nullptr || name == nullptr) return nullptr;
    const EmbeddedResource* r = Lookup(module, type, name, 0);
    if (r == nullptr) return nullptr;
    if (size) *size = r->size;
    return r->data;
}

const uint8_t* FindModuleBitmap(void* module, int32_t number, uint32_t* size) {
    const EmbeddedResource* r = Lookup(module, "BITMAP", nullptr, number);
    if (r == nullptr) return nullptr;
    if (size) *size = r->size;
    return r->data;
}
