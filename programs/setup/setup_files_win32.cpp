// setup_files_win32.cpp - the setup program's files, through Win32 calls
// that Windows 95 and 98 have, or looked up at run time where they came
// later (no std::filesystem: it would bind the program to Windows 2000).
//
// Paths: on Windows NT, 2000 and later every path is held in UTF-8 and
// opened through the wide-character calls, so that an aircraft folder
// whose name the code page cannot spell ("Boeing \u65e5\u672c") is found
// and opened like any other. Windows 95 and 98 export those calls only as
// stubs that fail; there paths are in the ANSI code page, and a folder
// whose name it cannot spell (FindFirstFileA gives '?' for the letters it
// lacks) is skipped and counted, so that what is said names it.
//
// A panel.cfg is changed in four steps, so that a crash leaves the old file
// or the new one, never half of either:
//   1. once ever, the untouched file is copied to panel.cfg.VORNAK_TOWS.bak;
//   2. the new bytes go to panel.cfg.VORNAK_TOWS.tmp beside it, flushed;
//   3. MoveFileEx, where Windows has it, replaces panel.cfg with it.
//      Windows 95 and 98 have no such replace (their MoveFileEx fails), so
//      there the old file is renamed panel.cfg.VORNAK_TOWS.old, the new one
//      renamed into place, and the old one deleted;
//   4. the next run that touches the panel finishes or undoes whatever a
//      crash left of step 2 or 3 before it reads the file (Recover).
// The panel.cfg is held open without sharing from the read until just
// before the replace, so no other program changes it in between, and one
// that holds it open (the simulator) makes install refuse rather than wait.
#include "programs/setup/setup_files.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

namespace {

// The wide-character calls, looked up once; all null on Windows 95 and 98.
struct WideCalls {
    HANDLE(WINAPI* create_file)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    DWORD(WINAPI* attributes)(LPCWSTR);
    HANDLE(WINAPI* find_first)(LPCWSTR, LPWIN32_FIND_DATAW);
    BOOL(WINAPI* find_next)(HANDLE, LPWIN32_FIND_DATAW);
    BOOL(WINAPI* delete_file)(LPCWSTR);
    BOOL(WINAPI* move_file)(LPCWSTR, LPCWSTR);
    BOOL(WINAPI* move_file_ex)(LPCWSTR, LPCWSTR, DWORD);
    BOOL(WINAPI* copy_file)(LPCWSTR, LPCWSTR, BOOL);
    DWORD(WINAPI* full_path)(LPCWSTR, DWORD, LPWSTR, LPWSTR*);
    DWORD(WINAPI* long_path)(LPCWSTR, LPWSTR, DWORD);   // null on NT 4
    DWORD(WINAPI* module_file)(HMODULE, LPWSTR, DWORD);
    int(WINAPI* compare)(LPCWSTR, LPCWSTR);
    LPWSTR(WINAPI* command_line)();
    LPWSTR*(WINAPI* split_command_line)(LPCWSTR, int*);
};

template <typename Call>
void LookUp(HMODULE library, const char* name, Call* call) {
    *call = reinterpret_cast<Call>(
        reinterpret_cast<void (*)()>(library ? GetProcAddress(library, name) : nullptr));
}

const WideCalls& Wide() {
    static WideCalls calls;
    static bool looked = false;
    if (looked) return calls;
    looked = true;
    if (GetVersion() & 0x80000000u) return calls;   // Windows 95, 98, Me
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    LookUp(kernel, "CreateFileW", &calls.create_file);
    LookUp(kernel, "GetFileAttributesW", &calls.attributes);
    LookUp(kernel, "FindFirstFileW", &calls.find_first);
    LookUp(kernel, "FindNextFileW", &calls.find_next);
    LookUp(kernel, "DeleteFileW", &calls.delete_file);
    LookUp(kernel, "MoveFileW", &calls.move_file);
    LookUp(kernel, "MoveFileExW", &calls.move_file_ex);
    LookUp(kernel, "CopyFileW", &calls.copy_file);
    LookUp(kernel, "GetFullPathNameW", &calls.full_path);
    LookUp(kernel, "GetLongPathNameW", &calls.long_path);
    LookUp(kernel, "GetModuleFileNameW", &calls.module_file);
    LookUp(kernel, "lstrcmpiW", &calls.compare);
    LookUp(kernel, "GetCommandLineW", &calls.command_line);
    LookUp(LoadLibraryA("SHELL32.DLL"), "CommandLineToArgvW", &calls.split_command_line);
    bool whole = calls.create_file && calls.attributes && calls.find_first && calls.find_next &&
                 calls.delete_file && calls.move_file && calls.move_file_ex && calls.copy_file &&
                 calls.full_path && calls.module_file && calls.compare && calls.command_line &&
                 calls.split_command_line;
    if (!whole) calls = WideCalls();
    return calls;
}

std::wstring Utf16(const std::string& text, UINT code_page = CP_UTF8) {
    int length = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    if (length > 0)
        MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT code_page = CP_UTF8) {
    int length = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                     0, nullptr, nullptr);
    std::string text(length, '\0');
    if (length > 0)
        WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length,
                            nullptr, nullptr);
    return text;
}

DWORD Attributes(const std::string& path) {
    return Wide().attributes ? Wide().attributes(Utf16(path).c_str()) : GetFileAttributesA(path.c_str());
}

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD creation) {
    return Wide().create_file
               ? Wide().create_file(Utf16(path).c_str(), access, share, nullptr, creation,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)
               : CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
}

bool Delete(const std::string& path) {
    return Wide().delete_file ? Wide().delete_file(Utf16(path).c_str()) : DeleteFileA(path.c_str());
}

bool Move(const std::string& from, const std::string& to) {
    return Wide().move_file ? Wide().move_file(Utf16(from).c_str(), Utf16(to).c_str())
                            : MoveFileA(from.c_str(), to.c_str());
}

bool Copy(const std::string& from, const std::string& to, bool keep_existing) {
    return Wide().copy_file ? Wide().copy_file(Utf16(from).c_str(), Utf16(to).c_str(), keep_existing)
                            : CopyFileA(from.c_str(), to.c_str(), keep_existing);
}

bool SameName(const std::string& a, const std::string& b) {
    return Wide().compare ? Wide().compare(Utf16(a).c_str(), Utf16(b).c_str()) == 0
                          : lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The names in a folder that match `pattern` (* and ?), folders or files,
// without "." and ".."; `unspelled` counts those the code page cannot
// spell, which are left out.
std::vector<std::string> Names(const std::string& folder, const char* pattern, bool folders,
                               int* unspelled) {
    std::vector<std::string> names;
    std::string search = folder + "\\" + pattern;
    auto take = [&](const std::string& name, DWORD attributes) {
        bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == "." || name == ".." || folder != folders) return;
        if (name.find('?') != std::string::npos) {
            if (unspelled) ++*unspelled;
            return;
        }
        names.push_back(name);
    };
    if (Wide().find_first) {
        WIN32_FIND_DATAW found;
        HANDLE each = Wide().find_first(Utf16(search).c_str(), &found);
        if (each == INVALID_HANDLE_VALUE) return names;
        do take(Narrow(found.cFileName), found.dwFileAttributes);
        while (Wide().find_next(each, &found));
        FindClose(each);
    } else {
        WIN32_FIND_DATAA found;
        HANDLE each = FindFirstFileA(search.c_str(), &found);
        if (each == INVALID_HANDLE_VALUE) return names;
        do take(found.cFileName, found.dwFileAttributes);
        while (FindNextFileA(each, &found));
        FindClose(each);
    }
    return names;
}


const char kGaugeFile[] = VORNAK_GAUGE_NAME ".gau";
const char kBackupSuffix[] = "." VORNAK_GAUGE_NAME ".bak";
const char kTempSuffix[] = "." VORNAK_GAUGE_NAME ".tmp";
const char kOldSuffix[] = "." VORNAK_GAUGE_NAME ".old";
const DWORD kLargestFile = 16u << 20;

bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char last = folder[folder.size() - 1];
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool ReadHandle(HANDLE file, std::string* bytes) {
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || size > kLargestFile) return false;
    bytes->assign(size, '\0');
    DWORD got = 0;
    return size == 0 || (ReadFile(file, &(*bytes)[0], size, &got, nullptr) && got == size);
}

bool ReadWhole(const std::string& path, std::string* bytes) {
    HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool read = ReadHandle(file, bytes);
    CloseHandle(file);
    return read;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = (bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                          &written, nullptr)) &&
              written == bytes.size() && FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

bool SameBytes(const std::string& a, const std::string& b) {
    std::string x, y;
    return ReadWhole(a, &x) && ReadWhole(b, &y) && x == y;
}

bool Mentions(const std::string& bytes, const char* word) {
    std::string lower(bytes), wanted(word);
    for (char& c : lower) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (char& c : wanted) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower.find(wanted) != std::string::npos;
}

unsigned Word16(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
unsigned Word32(const std::string& b, size_t at) { return Word16(b, at) | Word16(b, at + 2) << 16; }

// Whether `bytes` are a gauge module of ours: a PE DLL for the processor
// this program was built for (the kit's 32-bit x86 one; the 64-bit build's
// own beside the 64-bit setup) whose export names include Linkage and
// ImportTable. Every offset is checked against the file's size before it
// is read.
bool IsOurModule(const std::string& b) {
#ifdef _WIN64
    // x86-64, PE32+: the data directories begin 112 bytes into the header.
    const unsigned kMachine = 0x8664, kMagic = 0x20b, kDirectories = 112;
#else
    const unsigned kMachine = 0x14c, kMagic = 0x10b, kDirectories = 96;
#endif
    const unsigned kDll = 0x2000;
    if (b.size() < 0x40 || b.compare(0, 2, "MZ") != 0) return false;
    size_t pe = Word32(b, 0x3c);
    if (pe > b.size() || b.size() - pe < 24 + kDirectories + 8 || b.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    unsigned sections = Word16(b, pe + 6), optional_size = Word16(b, pe + 20);
    size_t optional = pe + 24, table = optional + optional_size;
    if (Word16(b, pe + 4) != kMachine || !(Word16(b, pe + 22) & kDll) || Word16(b, optional) != kMagic ||
        optional_size < kDirectories + 8 || Word32(b, optional + kDirectories - 4) < 1 || table > b.size() ||
        (b.size() - table) / 40 < sections)
        return false;
    // A virtual address to a file offset through the section table; 0 when
    // it lies in none, or too close to the end for `length` bytes.
    auto offset = [&](unsigned address, size_t length) -> size_t {
        for (unsigned i = 0; i < sections; ++i) {
            size_t at = table + 40 * i;
            unsigned start = Word32(b, at + 12), raw_size = Word32(b, at + 16), raw = Word32(b, at + 20);
            if (address < start || address - start >= raw_size) continue;
            size_t file = static_cast<size_t>(raw) + (address - start);
            return file < b.size() && b.size() - file >= length ? file : 0;
        }
        return 0;
    };
    size_t exports = offset(Word32(b, optional + kDirectories), 40);
    if (exports == 0) return false;
    unsigned count = Word32(b, exports + 24);
    size_t names = offset(Word32(b, exports + 32), 4);
    bool linkage = false, import_table = false;
    for (unsigned i = 0; names != 0 && i < count && i < 4096; ++i) {
        size_t entry = offset(Word32(b, exports + 32) + 4 * i, 4);
        size_t name = entry ? offset(Word32(b, entry), 1) : 0;
        if (name == 0) return false;
        size_t end = b.find('\0', name);
        if (end == std::string::npos) return false;
        std::string text = b.substr(name, end - name);
        linkage = linkage || text == "Linkage";
        import_table = import_table || text == "ImportTable";
    }
    return linkage && import_table;
}

// GetLongPathNameA, looked up at run time: Windows 95 lacks it.
typedef DWORD(WINAPI* LongPathCall)(LPCSTR, LPSTR, DWORD);

// A path as one spelling: absolute, with backslashes and without "." or
// "..", long names for 8.3 ones where Windows can tell, no final backslash.
std::string OneSpelling(const std::string& path) {
    std::string result = path;
    if (Wide().full_path) {
        wchar_t full[2 * MAX_PATH], longer[2 * MAX_PATH];
        DWORD length = Wide().full_path(Utf16(path).c_str(), 2 * MAX_PATH, full, nullptr);
        if (length == 0 || length >= 2 * MAX_PATH) return path;
        result = Narrow(full);
        length = Wide().long_path ? Wide().long_path(full, longer, 2 * MAX_PATH) : 0;
        if (length > 0 && length < 2 * MAX_PATH) result = Narrow(longer);
    } else {
        char full[2 * MAX_PATH], longer[2 * MAX_PATH];
        DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
        if (length == 0 || length >= sizeof full) return path;
        result = full;
        LongPathCall long_path;
        LookUp(GetModuleHandleA("KERNEL32.DLL"), "GetLongPathNameA", &long_path);
        length = long_path ? long_path(full, longer, sizeof longer) : 0;
        if (length > 0 && length < sizeof longer) result = longer;
    }
    while (result.size() > 3 && result[result.size() - 1] == '\\') result.erase(result.size() - 1);
    return result;
}

// Whether `path` lies inside `folder`, whatever the case of the letters
// and the form of either path.
bool Inside(const std::string& folder, const std::string& path) {
    std::string f = OneSpelling(folder), p = OneSpelling(path);
    if (!f.empty() && f[f.size() - 1] != '\\') f += '\\';
    return p.size() > f.size() && SameName(p.substr(0, f.size()), f);
}

// Finishes or undoes a change that a crash cut short (see the top).
void Recover(const std::string& panel) {
    std::string temp = panel + kTempSuffix, old = panel + kOldSuffix;
    if (!Exists(panel) && Exists(old)) Move(old, panel);
    if (Exists(panel)) {
        Delete(temp);
        Delete(old);
    }
}

// MoveFileExA, looked up at run time: Windows 95 and 98 export it only as a
// stub that fails, and the program must not depend on it to start there.
typedef BOOL(WINAPI* MoveFileExCall)(LPCSTR, LPCSTR, DWORD);

bool Replace(const std::string& temp, const std::string& panel) {
    const DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (Wide().move_file_ex) {
        if (Wide().move_file_ex(Utf16(temp).c_str(), Utf16(panel).c_str(), kReplace)) return true;
    } else {
        MoveFileExCall move_replacing;
        LookUp(GetModuleHandleA("KERNEL32.DLL"), "MoveFileExA", &move_replacing);
        if (move_replacing != nullptr && move_replacing(temp.c_str(), panel.c_str(), kReplace)) return true;
    }
    std::string old = panel + kOldSuffix;
    Delete(old);
    if (!Move(panel, old)) return false;
    if (!Move(temp, panel)) {
        Move(old, panel);
        return false;
    }
    Delete(old);
    return true;
}

SetupResult Result(SetupStatus status, const std::string& line) {
    SetupResult result;
    result.status = status;
    result.line = line;
    return result;
}

std::string Sentence(const char* format, const std::string& a, const std::string& b = "") {
    // msvcrt's own _snprintf: MinGW's snprintf imports calls Windows 98 lacks.
    char text[1024];
    _snprintf(text, sizeof text - 1, format, PathShown(a).c_str(), PathShown(b).c_str());
    text[sizeof text - 1] = '\0';
    return text;
}

// The panel.cfg, opened for writing and not shared, and its bytes.
struct OpenPanel {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string bytes;
    ~OpenPanel() { Close(); }
    void Close() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
};

// Resolves the panel path: as given, else inside the simulator's folder.
std::string PanelPath(const SetupRequest& request) {
    if (Exists(request.panel) || request.simdir.empty()) return request.panel;
    std::string inside = Join(request.simdir, request.panel);
    return Exists(inside) ? inside : request.panel;
}

// Why `path` names no file to read as a panel.cfg, or "".
std::string PathProblem(const std::string& path, DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
            error == ERROR_BAD_NETPATH || error == ERROR_INVALID_DRIVE || error == ERROR_NOT_READY)
            return Sentence("There is no file %s.", path);
        // Something is there that has no file's attributes: a device, say.
        HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
        DWORD type = file == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(file);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (file != INVALID_HANDLE_VALUE && type != FILE_TYPE_DISK)
            return Sentence("%s is not a regular file, so it is not a panel.cfg.", path);
        char number[16];
        _snprintf(number, sizeof number - 1, "%lu", static_cast<unsigned long>(error));
        number[sizeof number - 1] = '\0';
        return Sentence("%s cannot be opened (Windows error %s).", path, number);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Sentence("%s is a folder, not a panel.cfg file.", path);
    return "";
}

// Reads an open panel.cfg whole; "" when read, else why not.
std::string ReadPanel(HANDLE file, const std::string& path, std::string* bytes) {
    if (GetFileType(file) != FILE_TYPE_DISK)
        return Sentence("%s is not a regular file, so it is not a panel.cfg.", path);
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return Sentence("%s cannot be read.", path);
    if (high != 0 || size > kLargestPanel) {
        unsigned long long whole = static_cast<unsigned long long>(high) << 32 | size;
        return PanelSizeProblem(whole > static_cast<size_t>(-1) ? static_cast<size_t>(-1)
                                                                 : static_cast<size_t>(whole));
    }
    bytes->assign(size, '\0');
    DWORD got = 0;
    if (size != 0 && !(ReadFile(file, &(*bytes)[0], size, &got, nullptr) && got == size))
        return Sentence("%s cannot be read.", path);
    return "";
}

std::string OpenProblem(const std::string& path, OpenPanel* open) {
    DWORD attributes = Attributes(path);
    std::string problem = PathProblem(path, attributes);
    if (!problem.empty()) return problem;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return Sentence("%s is read-only; clear Read-only in its Properties and try again.", path);
    open->file = Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    if (open->file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            return Sentence("%s is in use by another program (is the simulator running?); close "
                            "it and try again.", path);
        return Sentence("%s cannot be opened for writing (access denied or locked).", path);
    }
    return ReadPanel(open->file, path, &open->bytes);
}

struct BitmapFolder {
    std::string folder;
};

// Width and height from a BMP's header, for the main panel's picture.
bool BitmapSize(const std::string& name, int* width, int* height, void* context) {
    const BitmapFolder* where = static_cast<const BitmapFolder*>(context);
    HANDLE file = Open(Join(where->folder, name), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char bytes[26];
    DWORD got = 0;
    bool read = ReadFile(file, bytes, sizeof bytes, &got, nullptr) && got == sizeof bytes;
    CloseHandle(file);
    if (!read || bytes[0] != 'B' || bytes[1] != 'M') return false;
    auto word = [&](int at) { return bytes[at] | bytes[at + 1] << 8; };
    auto dword = [&](int at) { return static_cast<int>(word(at) | word(at + 2) << 16); };
    if (dword(14) == 12) {  // the OS/2 header: 16-bit sizes
        *width = word(18);
        *height = word(20);
    } else {
        *width = dword(18);
        *height = dword(22) < 0 ? -dword(22) : dword(22);
    }
    return *width > 0 && *height > 0;
}

std::string GaugesFolder(const std::string& simdir) { return Join(simdir, "Gauges"); }

// Copies the gauge into the Gauges folder unless the same file is there;
// "" when it is there afterwards, else why not.
std::string PlaceGauge(const SetupRequest& request, bool* would_replace) {
    std::string source = ProgramFolder() + kGaugeFile;
    std::string target = Join(GaugesFolder(request.simdir), kGaugeFile);
    *would_replace = Exists(target) && !SameBytes(source, target);
    if (request.dry_run || (Exists(target) && !*would_replace)) return "";
    if (*would_replace) {
        if (!request.force && !(request.ask && request.ask(GaugesFolder(request.simdir),
                                                           request.ask_context)))
            return Sentence("A different " VORNAK_GAUGE_NAME ".gau is already in %s; it is replaced only "
                            "when you agree (--force), and then kept as " VORNAK_GAUGE_NAME ".gau.bak.",
                            GaugesFolder(request.simdir));
        if (!Copy(target, target + ".bak", false))
            return Sentence(VORNAK_GAUGE_NAME ".gau cannot be backed up in %s.", GaugesFolder(request.simdir));
    }
    if (!Copy(source, target, false))
        return Sentence(VORNAK_GAUGE_NAME ".gau cannot be copied into %s (is the simulator running?).",
                        GaugesFolder(request.simdir));
    return "";
}

std::string SourcesProblem(bool window) {
    std::string folder = ProgramFolder();
    if (!Exists(folder + kGaugeFile))
        return Sentence(VORNAK_GAUGE_NAME ".gau is not beside the setup program in %s; unpack the whole "
                        "ZIP into one folder.", folder);
    std::string module;
    if (!ReadWhole(folder + kGaugeFile, &module) || !IsOurModule(module))
        return Sentence("The " VORNAK_GAUGE_NAME ".gau beside the setup program in %s is not the kit's gauge "
                        "module (damaged or cut short); unpack the whole ZIP again.", folder);
    if (window && !Exists(folder + kWindowPicture))
        return Sentence(VORNAK_GAUGE_NAME ".bmp is not beside the setup program in %s; unpack the whole "
                        "ZIP into one folder.", folder);
    return "";
}

// Writes the new panel.cfg (see the top) and closes the open one.
std::string WritePanel(const std::string& path, OpenPanel* open, const std::string& after) {
    std::string backup = path + kBackupSuffix, temp = path + kTempSuffix;
    if (!Exists(backup) && !WriteWhole(backup, open->bytes))
        return Sentence("The backup %s cannot be written.", backup);
    if (!WriteWhole(temp, after)) {
        Delete(temp);
        return Sentence("%s cannot be written (is the disk full?); the panel is unchanged.", temp);
    }
    open->Close();
    if (!Replace(temp, path)) {
        Delete(temp);
        return Sentence("%s cannot be replaced; it is unchanged.", path);
    }
    return "";
}

SetupResult Prepare(const SetupRequest& request, std::string* path, OpenPanel* open) {
    std::string problem = SimulatorFolderProblem(request.simdir);
    if (!problem.empty()) return Result(kSetupRefused, problem);
    *path = PanelPath(request);
    if (Exists(*path) && !Inside(request.simdir, *path))
        return Result(kSetupRefused,
                      Sentence("%s is not inside the simulator folder %s, and that simulator never "
                               "loads a gauge for it; choose the folder of the simulator the "
                               "aircraft belongs to.", *path, request.simdir));
    Recover(*path);
    problem = OpenProblem(*path, open);
    if (!problem.empty()) return Result(kSetupRefused, problem);
    return Result(kSetupDone, "");
}

// The name an aircraft.cfg gives the aircraft: its first title= line.
std::string AircraftTitle(const std::string& folder) {
    std::string bytes;
    if (!ReadWhole(Join(folder, "aircraft.cfg"), &bytes)) return "";
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        at = end + 1;
        size_t first = line.find_first_not_of(" \t");
        size_t equals = line.find('=');
        if (first == std::string::npos || equals == std::string::npos) continue;
        size_t key_end = line.find_last_not_of(" \t", equals - 1);
        if (key_end == std::string::npos || key_end < first ||
            lstrcmpiA(line.substr(first, key_end + 1 - first).c_str(), "title") != 0)
            continue;
        size_t value = line.find_first_not_of(" \t", equals + 1);
        size_t value_end = line.find_last_not_of(" \t\r");
        return value == std::string::npos || value_end < value
                   ? "" : line.substr(value, value_end + 1 - value);
    }
    return "";
}

}  // namespace

std::string ProgramFolder() {
    std::string folder;
    if (Wide().module_file) {
        wchar_t path[2 * MAX_PATH + 1];
        DWORD length = Wide().module_file(nullptr, path, 2 * MAX_PATH);
        path[length < 2 * MAX_PATH ? length : 2 * MAX_PATH] = L'\0';
        folder = Narrow(path);
    } else {
        char path[MAX_PATH + 1];
        DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        path[length < MAX_PATH ? length : MAX_PATH] = '\0';
        folder = path;
    }
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : folder.substr(0, slash + 1);
}

std::string SimulatorFolderProblem(const std::string& simdir) {
    if (simdir.empty()) return "Choose the simulator's folder first.";
    if (!IsFolder(simdir)) return Sentence("There is no folder %s.", simdir);
    if (!IsFolder(Join(simdir, "Gauges")) || !IsFolder(Join(simdir, "Aircraft")))
        return Sentence("%s is not a simulator's folder: it must hold the folders Gauges and "
                        "Aircraft.", simdir);
    return "";
}

std::vector<AircraftPanel> FindPanels(const std::string& simdir, int* skipped) {
    std::vector<AircraftPanel> panels;
    std::string aircraft_folder = Join(simdir, "Aircraft");
    for (const std::string& aircraft : Names(aircraft_folder, "*", true, skipped)) {
        std::string folder = Join(aircraft_folder, aircraft);
        for (const std::string& panel : Names(folder, "Panel*", true, skipped)) {
            std::string cfg = Join(Join(folder, panel), "panel.cfg");
            if (!Exists(cfg)) continue;
            panels.push_back({aircraft, AircraftTitle(folder),
                              "Aircraft\\" + aircraft + "\\" + panel + "\\panel.cfg", cfg});
        }
    }
    std::sort(panels.begin(), panels.end(), [](const AircraftPanel& a, const AircraftPanel& b) {
        return lstrcmpiA(a.relative.c_str(), b.relative.c_str()) < 0;
    });
    return panels;
}

SetupResult InstallPanel(const SetupRequest& request) {
    std::string path;
    OpenPanel open;
    SetupResult prepared = Prepare(request, &path, &open);
    if (prepared.status != kSetupDone) return prepared;
    BitmapFolder folder = {FolderOf(path)};
    PanelPlan plan = PlanInstall(open.bytes, request.placement, BitmapSize, &folder);
    if (plan.outcome == kPlanRefused) {
        SetupResult refused = Result(kSetupRefused, plan.message);
        refused.route = plan.route;
        return refused;
    }
    std::string gauge = Join(GaugesFolder(request.simdir), kGaugeFile);
    if (plan.outcome == kPlanAlready) {
        // The panel names the gauge; put the gauge back if it has gone.
        SetupResult result = Result(kSetupDone, plan.message);
        if (!request.dry_run && !Exists(gauge) && SourcesProblem(false).empty() &&
            Copy(ProgramFolder() + kGaugeFile, gauge, true))
            result.line += " " VORNAK_GAUGE_NAME ".gau was missing from Gauges and is back.";
        return result;
    }
    std::string problem = SourcesProblem(!request.placement.main_panel);
    if (!problem.empty()) return Result(kSetupRefused, problem);
    bool would_replace = false;
    problem = PlaceGauge(request, &would_replace);
    if (!problem.empty()) return Result(kSetupRefused, problem);
    SetupResult result = Result(kSetupDone, plan.message);
    result.added = plan.added;
    result.key = plan.key;
    if (request.dry_run) {
        // "VORNAK_TOWS added as ..." becomes "VORNAK_TOWS would be added as ...".
        std::string would = plan.message;
        size_t added = would.find(" added ");
        if (added != std::string::npos) would.replace(added, 7, " would be added ");
        result.line = "Nothing written (dry run): " + would;
        if (would_replace) result.line += " A different " VORNAK_GAUGE_NAME ".gau in Gauges would be replaced.";
        return result;
    }
    if (!request.placement.main_panel) {
        std::string picture = Join(folder.folder, kWindowPicture);
        if (!Exists(picture) && !Copy(ProgramFolder() + kWindowPicture, picture, true))
            return Result(kSetupRefused, Sentence(VORNAK_GAUGE_NAME ".bmp cannot be copied into %s.", folder.folder));
    }
    problem = WritePanel(path, &open, plan.after);
    if (!problem.empty()) return Result(kSetupRefused, problem);
    return result;
}

SetupResult RemovePanel(const SetupRequest& request) {
    std::string path;
    OpenPanel open;
    SetupResult prepared = Prepare(request, &path, &open);
    if (prepared.status != kSetupDone) return prepared;
    PanelPlan plan = PlanRemove(open.bytes);
    if (plan.outcome == kPlanRefused) return Result(kSetupRefused, plan.message);
    SetupResult result = Result(kSetupDone, plan.message);
    if (plan.outcome == kPlanDone) {
        std::string problem = WritePanel(path, &open, plan.after);
        if (!problem.empty()) return Result(kSetupRefused, problem);
        result.added = plan.added;
        // The window picture goes when this panel no longer names it, if it
        // is ours.
        std::string picture = Join(FolderOf(path), kWindowPicture);
        if (!Mentions(plan.after, kWindowPicture) &&
            SameBytes(picture, ProgramFolder() + kWindowPicture))
            Delete(picture);
    }
    open.Close();
    // The gauge goes when no panel of the simulator names it and it is
    // ours; also after a remove whose panel was done before, so that one
    // that stopped at a gauge in use finishes here.
    bool used = false;
    int skipped = 0;
    for (const AircraftPanel& panel : FindPanels(request.simdir, &skipped)) {
        std::string bytes;
        used = used || (ReadWhole(panel.path, &bytes) && Mentions(bytes, kGaugeName));
    }
    std::string gauge = Join(GaugesFolder(request.simdir), kGaugeFile);
    if (used || !Exists(gauge)) return result;
    if (skipped > 0) {
        char count[16];
        _snprintf(count, sizeof count - 1, "%d", skipped);
        count[sizeof count - 1] = '\0';
        result.line += Sentence(" " VORNAK_GAUGE_NAME ".gau stays in %s: %s aircraft folders have names "
                                "this Windows cannot open, and a panel in them may use it.",
                                GaugesFolder(request.simdir), count);
        return result;
    }
    std::string there, kit;
    bool readable = ReadWhole(gauge, &there);
    if (readable && !(ReadWhole(ProgramFolder() + kGaugeFile, &kit) && there == kit))
        return result;  // another build of the gauge: not ours to delete
    if (readable && Delete(gauge)) {
        result.line += " No panel uses the gauge any more, so " VORNAK_GAUGE_NAME ".gau left Gauges too.";
        return result;
    }
    result.status = kSetupRefused;
    result.line += Sentence(" " VORNAK_GAUGE_NAME ".gau stays in %s because it is in use by another program (is "
                            "the simulator running?); close it and run remove again to take the "
                            "gauge out.", GaugesFolder(request.simdir));
    return result;
}

SetupResult CheckPanelFile(const std::string& panel) {
    Recover(panel);
    std::string problem = PathProblem(panel, Attributes(panel));
    if (!problem.empty()) return Result(kSetupRefused, problem);
    HANDLE file = Open(panel, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return Result(kSetupRefused, Sentence("%s cannot be opened for reading.", panel));
    std::string bytes;
    problem = ReadPanel(file, panel, &bytes);
    CloseHandle(file);
    if (!problem.empty()) return Result(kSetupRefused, problem);
    PanelReport report = CheckPanel(bytes);
    if (!report.readable) return Result(kSetupRefused, report.state);
    SetupResult result = Result(report.faults.empty() ? kSetupDone : kSetupRefused, report.state);
    result.added = report.faults;
    return result;
}

std::string PathShown(const std::string& path) {
    return Wide().create_file ? Narrow(Utf16(path), CP_ACP) : path;
}

std::string PathFromShown(const std::string& text) {
    return Wide().create_file ? Narrow(Utf16(text, CP_ACP)) : text;
}

std::vector<std::string> CommandArguments(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    if (!Wide().command_line) return arguments;
    int count = 0;
    LPWSTR* wide = Wide().split_command_line(Wide().command_line(), &count);
    if (wide == nullptr) return arguments;
    if (count == argc)
        for (int i = 0; i < count; ++i) arguments[i] = Narrow(wide[i]);
    LocalFree(wide);
    return arguments;
}
