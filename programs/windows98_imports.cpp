// windows98_imports.cpp - five routines the toolchain's libraries import that
// Windows 98 lacks or cannot carry out, answered by ones it has, for the
// 32-bit programs.
//
// libgcc's thread support, mingw's locale and random-number helpers and
// libstdc++'s file buffer are linked in with the C++ library, and between
// them they import CreateSemaphoreW, GetModuleHandleW and LoadLibraryW (on
// Windows 98 stubs that fail with ERROR_CALL_NOT_IMPLEMENTED), _fstat64
// (msvcrt.dll from Windows XP on) and _wfopen (which Windows 98's msvcrt.dll
// exports but which opens through CreateFileW, one of those stubs). Each import is reached through a
// pointer named __imp_ROUTINE; defining those pointers here, in an object
// the link names before any library, satisfies every reference to them, so
// the routines are never imported. tests/windows/check_pe.py holds the
// programs to what Windows 98 exports.
#include <windows.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

namespace {

// A wide name narrowed to the ANSI code page; false when it does not fit.
bool Narrow(LPCWSTR wide, char* narrow, int capacity) {
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, capacity, nullptr, nullptr) > 0;
}

HANDLE WINAPI CreateSemaphoreAnsi(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                  LPCWSTR name) {
    char narrow[MAX_PATH];
    if (name != nullptr && !Narrow(name, narrow, sizeof narrow)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return CreateSemaphoreA(attributes, initial, maximum, name ? narrow : nullptr);
}

HMODULE WINAPI GetModuleHandleAnsi(LPCWSTR name) {
    char narrow[MAX_PATH];
    if (name == nullptr) return GetModuleHandleA(nullptr);
    if (!Narrow(name, narrow, sizeof narrow)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return GetModuleHandleA(narrow);
}

HMODULE WINAPI LoadLibraryAnsi(LPCWSTR name) {
    char narrow[MAX_PATH];
    if (name == nullptr || !Narrow(name, narrow, sizeof narrow)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return LoadLibraryA(narrow);
}

}  // namespace

// msvcrt.dll's own file status with a 64-bit size and 32-bit times, which
// every msvcrt.dll has: the record as that library lays it out.
struct StatusWithLongSize {
    unsigned int device;
    unsigned short inode;
    unsigned short mode;
    short links;
    short user;
    short group;
    unsigned int raw_device;
    long long size;
    long accessed;
    long modified;
    long created;
};
static_assert(sizeof(StatusWithLongSize) == 48 && offsetof(StatusWithLongSize, size) == 24,
              "msvcrt.dll's struct _stati64");
extern "C" int FileStatusWithLongSize(int descriptor, StatusWithLongSize* status)
    __asm__("__fstati64");

namespace {

// A wide name and mode narrowed to the ANSI code page and opened with fopen.
FILE* __cdecl OpenWide(const wchar_t* name, const wchar_t* mode) {
    char narrow_name[MAX_PATH];
    char narrow_mode[16];
    if (name == nullptr || mode == nullptr || !Narrow(name, narrow_name, sizeof narrow_name) ||
        !Narrow(mode, narrow_mode, sizeof narrow_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(narrow_name, narrow_mode);
}

int __cdecl FileStatus64(int descriptor, struct _stat64* status) {
    StatusWithLongSize found;
    const int result = FileStatusWithLongSize(descriptor, &found);
    if (result != 0) return result;
    status->st_dev = found.device;
    status->st_ino = found.inode;
    status->st_mode = found.mode;
    status->st_nlink = found.links;
    status->st_uid = found.user;
    status->st_gid = found.group;
    status->st_rdev = found.raw_device;
    status->st_size = found.size;
    status->st_atime = found.accessed;
    status->st_mtime = found.modified;
    status->st_ctime = found.created;
    return 0;
}

}  // namespace

// The import pointers, under the names the i686 compiler gives them.
extern "C" {
extern decltype(&CreateSemaphoreAnsi) const create_semaphore_w __asm__("__imp__CreateSemaphoreW@16");
extern decltype(&GetModuleHandleAnsi) const get_module_handle_w __asm__("__imp__GetModuleHandleW@4");
extern decltype(&LoadLibraryAnsi) const load_library_w __asm__("__imp__LoadLibraryW@4");
extern decltype(&FileStatus64) const file_status_64 __asm__("__imp___fstat64");
extern decltype(&OpenWide) const open_wide __asm__("__imp___wfopen");
constinit decltype(&CreateSemaphoreAnsi) const create_semaphore_w = CreateSemaphoreAnsi;
constinit decltype(&GetModuleHandleAnsi) const get_module_handle_w = GetModuleHandleAnsi;
constinit decltype(&LoadLibraryAnsi) const load_library_w = LoadLibraryAnsi;
constinit decltype(&FileStatus64) const file_status_64 = FileStatus64;
constinit decltype(&OpenWide) const open_wide = OpenWide;
}
