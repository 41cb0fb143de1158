// module_loader_win32.cpp - loading a gauge module file on Windows, for the
// module-loader seam (module_loader.h; module_loader_posix.cpp is its
// dlopen sibling).
//
// Needs: KERNEL32. Provides:
//   [x] load by path with LoadLibraryA (the loader runs the module's
//       DllMain), without the loader's error dialogs
//   [x] ImportTable, Linkage and the extras by their undecorated export
//       names (read in module_loader.cpp); a module without a clip observer
//       of its own has its DirectSound watched for the clips it starts
//       (clip_watch_win32.cpp)
//   [x] a one-line reason for every failure, in words for the person in
//       front of the preview where the fix is theirs (a module missing,
//       damaged or no gauge: unpack the kit again; a Linux module or one of
//       the other bitness, named so from its headers), else with the
//       system's message
//   [x] the default module: VORNAK_TOWS.gau beside the running program
//   [x] resources: a PE module keeps its clips and bitmaps as Windows
//       resources, found with FindResourceA on the loaded module
#include "module_file/module_loader.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "module_file/clip_watch_win32.h"

namespace {

// The system's message for `code`, about the file `path`. Some loader
// messages name the file through an insert ("Bad EXE format for %1"):
// inserts are left unfilled by FormatMessage (its argument list could not
// be trusted to match) and filled here with the file's name.
std::string SystemMessage(DWORD code, const std::string& path) {
    char text[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    // System messages end in ".\r\n"; the caller wants one line.
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.' || text[n - 1] == ' ')) --n;
    if (n == 0) return "error " + std::to_string(code);
    std::string message;
    for (DWORD i = 0; i < n; ++i) {
        if (text[i] == '%' && i + 1 < n && text[i + 1] >= '1' && text[i + 1] <= '9') {
            message += text[i + 1] == '1' ? path : std::string("?");
            ++i;
            // An insert may carry a printf format: "%1!s!".
            if (i + 1 < n && text[i + 1] == '!') {
                const char* close = static_cast<const char*>(std::memchr(text + i + 2, '!', n - i - 2));
                if (close) i = DWORD(close - text);
            }
        } else if (text[i] == '\r' || text[i] == '\n') {
            message += ' ';
        } else {
            message += text[i];
        }
    }
    return message;
}

const char kUnpackAgain[] = "unpack the whole ZIP into one folder and start the preview there";

// Why LoadLibraryA refused `path` with `code`, as one line.
std::string LoadRefusal(DWORD code, const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "the gauge module " + path + " is missing: " + kUnpackAgain;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "the gauge module " + path + " is a folder, not a module: " + kUnpackAgain;
    switch (code) {
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_BAD_FORMAT:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_INVALID_DATA:
    case ERROR_HANDLE_EOF:
        return "the gauge module " + path + " is damaged or is no Windows module: " + kUnpackAgain;
    default:
        return "cannot load the gauge module " + path + ": " + SystemMessage(code, path);
    }
}

}  // namespace

// Read from the headers before the loader sees the file: wine's loader
// takes a Linux module for one of its own and fails on it with "No access
// to memory location", and the system's calls a module of the other
// bitness a bad format, as if it were damaged.
std::string ModuleKindMismatch(const std::string& path) {
    unsigned char head[4096] = {};
    FILE* f = std::fopen(path.c_str(), "rb");
    const size_t n = f ? std::fread(head, 1, sizeof head, f) : 0;
    if (f) std::fclose(f);
    if (n >= 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0)
        return "the gauge module " + path + " is a Linux module, no Windows module: " + kUnpackAgain;
    if (n < 0x40 || head[0] != 'M' || head[1] != 'Z') return "";
    const size_t pe = head[0x3c] | head[0x3d] << 8 | head[0x3e] << 16 | size_t(head[0x3f]) << 24;
    if (pe > n - 6 || std::memcmp(head + pe, "PE\0\0", 4) != 0) return "";
    const unsigned machine = head[pe + 4] | head[pe + 5] << 8;
    const bool own64 = sizeof(void*) == 8;
    if (machine != (own64 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64)) return "";
    return "the gauge module " + path +
           (own64 ? " is built for 32-bit Windows and this program for 64-bit: run it with the 32-bit panel-host "
                    "(the kit's preview), or give this one the 64-bit build's " VORNAK_GAUGE_NAME ".gau"
                  : " is built for 64-bit Windows and this program for 32-bit: give it the kit's " VORNAK_GAUGE_NAME
                    ".gau, which is 32-bit");
}

namespace {

void* Export(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

}  // namespace

std::string DefaultModulePath() {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (n == 0 || n >= sizeof exe) return VORNAK_GAUGE_NAME ".gau";
    std::string dir(exe, n);
    size_t slash = dir.find_last_of("\\/");
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    return dir + "\\" VORNAK_GAUGE_NAME ".gau";
}

bool LoadModule(const std::string& path, LoadedModule* module, std::string* problem, bool* no_gauge) {
    *module = LoadedModule{};
    if (no_gauge) *no_gauge = false;
    const std::string wrong_kind = ModuleKindMismatch(path);
    if (!wrong_kind.empty()) {
        *problem = wrong_kind;
        return false;
    }
    // A host without a window must not stop on a loader dialog.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryA(path.c_str());
    DWORD code = GetLastError();
    SetErrorMode(previous);
    if (handle == nullptr) {
        *problem = LoadRefusal(code, path);
        return false;
    }
    if (!ReadModuleExports(path, handle, Export, module, problem)) {
        if (no_gauge) *no_gauge = true;
        FreeLibrary(handle);
        *problem = path + " is a Windows module but no gauge (it has no Linkage and ImportTable records): " +
                   kUnpackAgain;
        return false;
    }
    if (module->set_clip_observer == nullptr) {
        WatchClipsOf(handle);
        module->set_clip_observer = WatchDirectSoundClips;
        module->sound_watched = WatchedSoundStarted;
    }
    return true;
}

const EmbeddedResource* ModuleResource(const LoadedModule& module, const char* type, const char* name,
                                       int32_t number) {
    // Bitmaps are of the system's type RT_BITMAP, clips of the module's own
    // named type. The record handed out lives until the next look-up.
    static EmbeddedResource found;
    HMODULE handle = static_cast<HMODULE>(module.handle);
    if (handle == nullptr || type == nullptr) return nullptr;
    const bool bitmap = std::strcmp(type, "BITMAP") == 0;
    if (!bitmap && name == nullptr) return nullptr;
    HRSRC info = FindResourceA(handle, bitmap ? MAKEINTRESOURCEA(number) : name, bitmap ? MAKEINTRESOURCEA(2) : type);
    HGLOBAL loaded = info ? LoadResource(handle, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) return nullptr;
    found = EmbeddedResource{type, bitmap ? "" : name, bitmap ? number : 0, static_cast<const uint8_t*>(data),
                             uint32_t(SizeofResource(handle, info))};
    return &found;
}
