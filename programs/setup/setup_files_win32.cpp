// setup_files_win32.cpp - the setup program's files, through the ANSI
// Win32 calls that Windows 95 and 98 have (no wide calls, no
// std::filesystem: both would bind the program to Windows 2000 and later).
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

#include <algorithm>
#include <cstdio>

namespace {

const char kGaugeFile[] = "VORNAK_TOWS.gau";
const char kBackupSuffix[] = ".VORNAK_TOWS.bak";
const char kTempSuffix[] = ".VORNAK_TOWS.tmp";
const char kOldSuffix[] = ".VORNAK_TOWS.old";
const DWORD kLargestFile = 16u << 20;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
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
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool read = ReadHandle(file, bytes);
    CloseHandle(file);
    return read;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
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
    char full[2 * MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return path;
    std::string result = full;
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    LongPathCall long_path = reinterpret_cast<LongPathCall>(
        reinterpret_cast<void (*)()>(kernel ? GetProcAddress(kernel, "GetLongPathNameA") : nullptr));
    char longer[2 * MAX_PATH];
    if (long_path) {
        length = long_path(full, longer, sizeof longer);
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
    return p.size() > f.size() && lstrcmpiA(p.substr(0, f.size()).c_str(), f.c_str()) == 0;
}

// Finishes or undoes a change that a crash cut short (see the top).
void Recover(const std::string& panel) {
    std::string temp = panel + kTempSuffix, old = panel + kOldSuffix;
    if (!Exists(panel) && Exists(old)) MoveFileA(old.c_str(), panel.c_str());
    if (Exists(panel)) {
        DeleteFileA(temp.c_str());
        DeleteFileA(old.c_str());
    }
}

// MoveFileExA, looked up at run time: Windows 95 and 98 export it only as a
// stub that fails, and the program must not depend on it to start there.
typedef BOOL(WINAPI* MoveFileExCall)(LPCSTR, LPCSTR, DWORD);

bool Replace(const std::string& temp, const std::string& panel) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    MoveFileExCall move_replacing = reinterpret_cast<MoveFileExCall>(
        reinterpret_cast<void (*)()>(kernel ? GetProcAddress(kernel, "MoveFileExA") : nullptr));
    if (move_replacing != nullptr &&
        move_replacing(temp.c_str(), panel.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    std::string old = panel + kOldSuffix;
    DeleteFileA(old.c_str());
    if (!MoveFileA(panel.c_str(), old.c_str())) return false;
    if (!MoveFileA(temp.c_str(), panel.c_str())) {
        MoveFileA(old.c_str(), panel.c_str());
        return false;
    }
    DeleteFileA(old.c_str());
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
    _snprintf(text, sizeof text - 1, format, a.c_str(), b.c_str());
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

std::string OpenProblem(const std::string& path, OpenPanel* open) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Sentence("There is no file %s.", path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Sentence("%s is a folder, not a panel.cfg file.", path);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return Sentence("%s is read-only; clear Read-only in its Properties and try again.", path);
    open->file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (open->file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            return Sentence("%s is in use by another program (is the simulator running?); close "
                            "it and try again.", path);
        return Sentence("%s cannot be opened for writing (access denied or locked).", path);
    }
    if (!ReadHandle(open->file, &open->bytes))
        return Sentence("%s cannot be read, or is too large to be a panel.cfg.", path);
    return "";
}

struct BitmapFolder {
    std::string folder;
};

// Width and height from a BMP's header, for the main panel's picture.
bool BitmapSize(const std::string& name, int* width, int* height, void* context) {
    const BitmapFolder* where = static_cast<const BitmapFolder*>(context);
    HANDLE file = CreateFileA(Join(where->folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
            return Sentence("A different VORNAK_TOWS.gau is already in %s; it is replaced only "
                            "when you agree (--force), and then kept as VORNAK_TOWS.gau.bak.",
                            GaugesFolder(request.simdir));
        if (!CopyFileA(target.c_str(), (target + ".bak").c_str(), FALSE))
            return Sentence("VORNAK_TOWS.gau cannot be backed up in %s.", GaugesFolder(request.simdir));
    }
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        return Sentence("VORNAK_TOWS.gau cannot be copied into %s (is the simulator running?).",
                        GaugesFolder(request.simdir));
    return "";
}

std::string SourcesProblem(bool window) {
    std::string folder = ProgramFolder();
    if (!Exists(folder + kGaugeFile))
        return Sentence("VORNAK_TOWS.gau is not beside the setup program in %s; unpack the whole "
                        "ZIP into one folder.", folder);
    std::string module;
    if (!ReadWhole(folder + kGaugeFile, &module) || !IsOurModule(module))
        return Sentence("The VORNAK_TOWS.gau beside the setup program in %s is not the kit's gauge "
                        "module (damaged or cut short); unpack the whole ZIP again.", folder);
    if (window && !Exists(folder + kWindowPicture))
        return Sentence("VORNAK_TOWS.bmp is not beside the setup program in %s; unpack the whole "
                        "ZIP into one folder.", folder);
    return "";
}

// Writes the new panel.cfg (see the top) and closes the open one.
std::string WritePanel(const std::string& path, OpenPanel* open, const std::string& after) {
    std::string backup = path + kBackupSuffix, temp = path + kTempSuffix;
    if (!Exists(backup) && !WriteWhole(backup, open->bytes))
        return Sentence("The backup %s cannot be written.", backup);
    if (!WriteWhole(temp, after)) {
        DeleteFileA(temp.c_str());
        return Sentence("%s cannot be written (is the disk full?); the panel is unchanged.", temp);
    }
    open->Close();
    if (!Replace(temp, path)) {
        DeleteFileA(temp.c_str());
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
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    path[length < MAX_PATH ? length : MAX_PATH] = '\0';
    std::string folder = path;
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

std::vector<AircraftPanel> FindPanels(const std::string& simdir) {
    std::vector<AircraftPanel> panels;
    std::string aircraft_folder = Join(simdir, "Aircraft");
    WIN32_FIND_DATAA aircraft;
    HANDLE each = FindFirstFileA(Join(aircraft_folder, "*").c_str(), &aircraft);
    if (each == INVALID_HANDLE_VALUE) return panels;
    do {
        if (!(aircraft.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || aircraft.cFileName[0] == '.')
            continue;
        std::string folder = Join(aircraft_folder, aircraft.cFileName);
        WIN32_FIND_DATAA panel;
        HANDLE panels_of = FindFirstFileA(Join(folder, "Panel*").c_str(), &panel);
        if (panels_of == INVALID_HANDLE_VALUE) continue;
        do {
            if (!(panel.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
            std::string cfg = Join(Join(folder, panel.cFileName), "panel.cfg");
            if (!Exists(cfg)) continue;
            panels.push_back({aircraft.cFileName, AircraftTitle(folder),
                              std::string("Aircraft\\") + aircraft.cFileName + "\\" + panel.cFileName +
                                  "\\panel.cfg",
                              cfg});
        } while (FindNextFileA(panels_of, &panel));
        FindClose(panels_of);
    } while (FindNextFileA(each, &aircraft));
    FindClose(each);
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
            CopyFileA((ProgramFolder() + kGaugeFile).c_str(), gauge.c_str(), TRUE))
            result.line += " VORNAK_TOWS.gau was missing from Gauges and is back.";
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
        if (would_replace) result.line += " A different VORNAK_TOWS.gau in Gauges would be replaced.";
        return result;
    }
    if (!request.placement.main_panel) {
        std::string picture = Join(folder.folder, kWindowPicture);
        if (!Exists(picture) && !CopyFileA((ProgramFolder() + kWindowPicture).c_str(), picture.c_str(), TRUE))
            return Result(kSetupRefused, Sentence("VORNAK_TOWS.bmp cannot be copied into %s.", folder.folder));
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
            DeleteFileA(picture.c_str());
    }
    open.Close();
    // The gauge goes when no panel of the simulator names it and it is
    // ours; also after a remove whose panel was done before, so that one
    // that stopped at a gauge in use finishes here.
    bool used = false;
    for (const AircraftPanel& panel : FindPanels(request.simdir)) {
        std::string bytes;
        used = used || (ReadWhole(panel.path, &bytes) && Mentions(bytes, kGaugeName));
    }
    std::string gauge = Join(GaugesFolder(request.simdir), kGaugeFile);
    if (used || !Exists(gauge)) return result;
    std::string there, kit;
    bool readable = ReadWhole(gauge, &there);
    if (readable && !(ReadWhole(ProgramFolder() + kGaugeFile, &kit) && there == kit))
        return result;  // another build of the gauge: not ours to delete
    if (readable && DeleteFileA(gauge.c_str())) {
        result.line += " No panel uses the gauge any more, so VORNAK_TOWS.gau left Gauges too.";
        return result;
    }
    result.status = kSetupRefused;
    result.line += Sentence(" VORNAK_TOWS.gau stays in %s because it is in use by another program (is "
                            "the simulator running?); close it and run remove again to take the "
                            "gauge out.", GaugesFolder(request.simdir));
    return result;
}

SetupResult CheckPanelFile(const std::string& panel) {
    Recover(panel);
    DWORD attributes = GetFileAttributesA(panel.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Result(kSetupRefused, Sentence("There is no file %s.", panel));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Result(kSetupRefused, Sentence("%s is a folder, not a panel.cfg file.", panel));
    std::string bytes;
    if (!ReadWhole(panel, &bytes))
        return Result(kSetupRefused, Sentence("%s cannot be read, or is too large to be a panel.cfg.", panel));
    PanelReport report = CheckPanel(bytes);
    if (!report.readable) return Result(kSetupRefused, report.state);
    SetupResult result = Result(report.faults.empty() ? kSetupDone : kSetupRefused, report.state);
    result.added = report.faults;
    return result;
}
