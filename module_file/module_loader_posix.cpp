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
//       regular file that is an ELF shared object of this machine, its
//       program headers and segments inside the file, is handed to the
//       loader (which would map a cut-short file's missing pages and die
//       of SIGBUS touching them)
//   [x] the default module: VORNAK_TOWS.so beside the running program
//   [x] embedded resource directory (vornak_resource_directory), which
//       ModuleResource walks for clips and bitmaps (resources/embedded.h)
#include "module_file/module_loader.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

// The running program's own ELF header, which the linker places at its start.
extern "C" const ElfW(Ehdr) __ehdr_start __attribute__((visibility("hidden")));

namespace {

void* Export(void* handle, const char* name) { return dlsym(handle, name); }

bool ReadAt(int fd, void* into, size_t bytes, uint64_t at) {
    return pread(fd, into, bytes, off_t(at)) == ssize_t(bytes);
}

// Why the file `fd` of `size` bytes cannot be handed to dlopen, or "" when
// it can: an ELF shared object of this program's class, byte order and
// machine, whose program headers and every segment's stored bytes lie
// inside the file.
std::string Unloadable(int fd, uint64_t size) {
    ElfW(Ehdr) header;
    if (size < SELFMAG || !ReadAt(fd, &header, SELFMAG, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        return "it is not a Linux module (no ELF file)";
    if (size < sizeof header || !ReadAt(fd, &header, sizeof header, 0))
        return "it is damaged: the file ends inside its ELF header";
    const ElfW(Ehdr)& own = __ehdr_start;
    if (header.e_ident[EI_CLASS] != own.e_ident[EI_CLASS] || header.e_ident[EI_DATA] != own.e_ident[EI_DATA] ||
        header.e_machine != own.e_machine)
        return "it is built for another kind of machine";
    if (header.e_type != ET_DYN) return "it is an ELF file but no shared object";
    if (header.e_phnum == 0 || header.e_phentsize != sizeof(ElfW(Phdr)))
        return "it is damaged: its program headers are missing";
    const uint64_t table_end = uint64_t(header.e_phoff) + uint64_t(header.e_phnum) * sizeof(ElfW(Phdr));
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    if (table_end > size || !ReadAt(fd, segments.data(), segments.size() * sizeof(ElfW(Phdr)), header.e_phoff))
        return "it is damaged or cut short: its program headers end past the file's " + std::to_string(size) +
               " bytes";
    for (const ElfW(Phdr)& s : segments) {
        const uint64_t end = uint64_t(s.p_offset) + uint64_t(s.p_filesz);
        if (end < s.p_offset || end > size)
            return "it is damaged or cut short: its contents run to byte " + std::to_string(end) +
                   ", past the file's " + std::to_string(size) + " bytes";
    }
    return "";
}

}  // namespace

// Unloadable names every file of another kind while loading.
std::string ModuleKindMismatch(const std::string&) { return ""; }

std::string DefaultModulePath() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return VORNAK_GAUGE_NAME ".so";
    exe[n] = '\0';
    std::string dir(exe);
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    return dir + "/" VORNAK_GAUGE_NAME ".so";
}

bool LoadModule(const std::string& path, LoadedModule* module, std::string* problem, bool* no_gauge) {
    *module = LoadedModule{};
    if (no_gauge) *no_gauge = false;
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
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *problem = "cannot load module " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::string why = Unloadable(fd, uint64_t(st.st_size));
    close(fd);
    if (!why.empty()) {
        *problem = "cannot load module " + path + ": " + why;
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
        if (no_gauge) *no_gauge = true;
        dlclose(handle);
        return false;
    }
    return true;
}

const EmbeddedResource* ModuleResource(const LoadedModule& module, const char* type,
                                       const char* name, int32_t number) {
    return FindEmbeddedResource(module.resources, type, name, number);
}
