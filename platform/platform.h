// platform.h - the module's identity, the host window and the module's own
// resources, as the platform provides them.
//
// One file per platform implements this seam:
//   platform_win32.cpp  DllMain, GetModuleFileNameA, GetModuleHandleA,
//                       FindResourceA/LoadResource/LockResource/SizeofResource,
//                       GetActiveWindow.
//   platform_posix.cpp  a load-time constructor, dladdr, dlopen(RTLD_NOLOAD),
//                       and the resource directory embedded in the module
//                       at build time; there is no host window.
// Both give the stored size of a resource with its bytes, so that nothing
// reading a resource has to trust the lengths written inside it.
#pragma once

#include <cstdint>

// The module's own file path from its instance handle: at most `capacity`
// bytes including the terminator (GetModuleFileNameA). Returns the length
// written, 0 on failure (the buffer then holds an empty string).
uint32_t ModuleFileName(void* instance, char* path, uint32_t capacity);

// The already-loaded module whose file is `path`, or null (GetModuleHandleA).
void* ModuleFromPath(const char* path);

// The host's active window, or null where the platform has none.
void* ActiveHostWindow();

// A resource of `module` by type name and name ("WAV", "PB1"), or null. The
// bytes stay valid while the module is loaded.
const uint8_t* FindModuleResource(void* module, const char* type, const char* name,
                                  uint32_t* size);

// A bitmap resource by number (kBitmapFace and the lamps, host/gauge_names.h):
// the DIB as the resource compiler stores it (BITMAPINFOHEADER, palette,
// pixels), or null.
const uint8_t* FindModuleBitmap(void* module, int32_t number, uint32_t* size);
