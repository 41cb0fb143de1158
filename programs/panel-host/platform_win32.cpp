// platform_win32.cpp - panel-host's seam to Windows (platform.h).
//
// Needs: KERNEL32 as Windows 98 has it (ANSI calls only), and the C
// library's _setmode. Provides:
//   [x] every mode, the window and the pictures; the sound capture of
//       --audio is refused by the run (a module here has no loopback)
//   [x] started without arguments (double-clicked), the window; its
//       problems in a message box too
//   [x] standard output in binary mode: LF line ends, as on Linux, so the
//       traces and timelines compare byte for byte
//   [x] the sound output: the module's own DirectSound, nothing to choose
//   [x] DirectSound objects made and released, from a counting module
//   [x] Ctrl-C and Ctrl-Break stop a run as its end would
//   [x] a steady clock (the performance counter), folders made and listed,
//       one name for a file however written (letter case too), a hard
//       link told by the file's index
//   [x] paths with a drive letter or none, apart by '\\' or '/'; a folder
//       proven writable by making a file in it
//   [x] /? asks for the help
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cctype>
#include <csignal>
#include <cstdio>

#include "programs/panel-host/platform.h"

void StartStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// Double-clicked beside the module, the program is the preview.
bool WindowWithoutArguments() { return true; }

void ShowProblemToPerson(const std::string& problem) {
    MessageBoxA(nullptr, problem.c_str(), "VORNAK_TOWS preview", MB_OK | MB_ICONERROR);
}

void BufferOutput(bool whole_blocks) {
    // The C library here buffers "line-buffered" streams fully: a timeline
    // goes out unbuffered, to be read as it happens through a pipe too.
    if (whole_blocks)
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    else
        std::setvbuf(stdout, nullptr, _IONBF, 0);
}

std::string ChooseSoundOutput(const PanelHostOptions&) { return ""; }

const char* SoundSystemName() { return "DirectSound"; }

bool CountSoundObjects(const LoadedModule& module, SoundObjects* out) {
    if (module.audio_counts == nullptr) return false;
    VornakAudioCounts c;
    module.audio_counts(&c);
    *out = SoundObjects{};
    out->system = "DirectSound";
    out->kinds = 2;
    out->names[0] = "devices";
    out->alive[0] = c.devices;
    out->names[1] = "buffers";
    out->alive[1] = c.buffers;
    out->made = "devices created " + std::to_string(c.devices_made) + ", released " +
                std::to_string(c.devices_released) + "; buffers created " + std::to_string(c.buffers_made) +
                ", released " + std::to_string(c.buffers_released);
    return true;
}

namespace {

// The C library here puts a signal back to its default as it delivers it:
// the handler is set again at once, so that a second Ctrl-C is caught too.
volatile std::sig_atomic_t stop_asked = 0;

void OnStopRequest(int signal_number) {
    std::signal(signal_number, OnStopRequest);
    if (stop_asked == 0) stop_asked = signal_number;
}

}  // namespace

void CatchStopRequests() {
    stop_asked = 0;
    std::signal(SIGINT, OnStopRequest);
    std::signal(SIGBREAK, OnStopRequest);
}

int StopAsked() { return stop_asked; }

void ReleaseStopRequests() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGBREAK, SIG_DFL);
}

double ClockSeconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

void SleepUntil(double when) {
    const double wait = when - ClockSeconds();
    if (wait > 0.0) Sleep(DWORD(wait * 1000.0));
}

std::string FileIdentity(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string p = n > 0 && n < sizeof full ? full : path;
    for (char& c : p) c = c == '/' ? '\\' : char(std::tolower(static_cast<unsigned char>(c)));
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    return p;
}

namespace {

// The volume and index of the file at `path`, where it is there.
bool FileOnDisk(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (FileOnDisk(a, &ia) && FileOnDisk(b, &ib))
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
               ia.nFileIndexLow == ib.nFileIndexLow;
    return FileIdentity(a) == FileIdentity(b);
}

bool AsksForHelp(const std::string& arg) { return arg == "/?"; }

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// How many leading bytes of `path` are its root: "C:", "C:\\", "\\" or none.
size_t RootLength(const std::string& path) {
    size_t n = 0;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) n = 2;
    if (path.size() > n && IsSeparator(path[n])) ++n;
    return n;
}

}  // namespace

std::string FolderOf(const std::string& path, bool of_folder) {
    const size_t root = RootLength(path);
    std::string p = path;
    if (of_folder)
        while (p.size() > root && IsSeparator(p.back())) p.pop_back();
    size_t last = std::string::npos;
    for (size_t i = root; i < p.size(); ++i)
        if (IsSeparator(p[i])) last = i;
    if (last != std::string::npos) return p.substr(0, last);
    return root > 0 ? p.substr(0, root) : ".";
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsSeparator(folder.back()) || folder.back() == ':') return folder + name;
    // Written with the separator the folder's own name uses.
    const bool slashes = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    return folder + (slashes ? "/" : "\\") + name;
}

bool InsideFolder(const std::string& inner, const std::string& folder) {
    if (inner.size() <= folder.size() || inner.compare(0, folder.size(), folder) != 0) return false;
    return IsSeparator(inner[folder.size()]) || IsSeparator(folder.back());
}

PathHolds WhatIsAt(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathHolds::kNothing;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathHolds::kFolder : PathHolds::kOther;
}

// A folder's read-only flag says nothing on Windows: a file is made there
// and removed again.
bool FolderWritable(const std::string& folder) {
    char made[MAX_PATH];
    if (GetTempFileNameA(folder.c_str(), "vtw", 0, made) == 0) return false;
    DeleteFileA(made);
    return true;
}

bool MakeFolder(const std::string& path, std::string* problem) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    *problem = "cannot make the folder " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

bool RemoveFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool ListFolder(const std::string& path, std::vector<std::string>* names, std::string* problem) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        *problem = "cannot read the folder " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    do names->push_back(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return true;
}
