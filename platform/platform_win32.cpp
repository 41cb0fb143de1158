// platform_win32.cpp - module identity and resources on Windows.
//
// Needs: KERNEL32 and USER32 only; the resources compiled into the image by
// windres (resources/vornak_tows.rc.in, its lists filled in by the build).
// Provides:
//   [x] module entry: DllMain forwards every notification to ModuleEntry;
//       an executable that links the gauge statically (gauge-replay.exe)
//       gets no DllMain call and links executable_entry_win32.cpp instead
//   [x] own path from the instance: GetModuleFileNameA
//   [x] module from a path: GetModuleHandleA (modules already loaded only)
//   [x] resources by type and name: FindResourceA, SizeofResource,
//       LoadResource, LockResource; the stored size comes with the bytes so
//       the WAVE walk never trusts the lengths written inside a clip
//   [x] bitmaps by number: MAKEINTRESOURCE(number) under RT_BITMAP
//   [x] host window: GetActiveWindow
#include "platform/platform.h"

#include <windows.h>

#include "host/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return ModuleEntry(instance, reason, reserved) ? TRUE : FALSE;
}

namespace {

const uint8_t* Locked(HMODULE module, HRSRC found, uint32_t* size) {
    if (found == nullptr) return nullptr;
    DWORD stored = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr || stored == 0) return nullptr;
    const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    if (bytes == nullptr) return nullptr;
    if (size) *size = stored;
    return bytes;
}

}  // namespace

uint32_t ModuleFileName(void* instance, char* path, uint32_t capacity) {
    if (path == nullptr || capacity == 0) return 0;
    path[0] = '\0';
    DWORD n = GetModuleFileNameA(static_cast<HMODULE>(instance), path, capacity);
    // A path cut short is no path: it would name another file.
    if (n == 0 || n >= capacity) {
        path[0] = '\0';
        return 0;
    }
    return n;
}

void* ModuleFromPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    return GetModuleHandleA(path);
}

void* ActiveHostWindow() { return GetActiveWindow(); }

const uint8_t* FindModuleResource(void* module, const char* type, const char* name,
                                  uint32_t* size) {
    // A null module would make FindResourceA search the host's executable.
    if (module == nullptr || type == nullptr || name == nullptr) return nullptr;
    HMODULE m = static_cast<HMODULE>(module);
    return Locked(m, FindResourceA(m, name, type), size);
}

const uint8_t* FindModuleBitmap(void* module, int32_t number, uint32_t* size) {
    if (module == nullptr || number <= 0 || number > 0xFFFF) return nullptr;
    HMODULE m = static_cast<HMODULE>(module);
    return Locked(m, FindResourceA(m, MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(2) /* RT_BITMAP */),
                  size);
}
