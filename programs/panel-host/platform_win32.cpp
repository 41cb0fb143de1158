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
//   [x] a steady clock (the performance counter), folders made and listed,
//       one name for a file however written (letter case too)
//   [x] /? asks for the help
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cctype>
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

bool AsksForHelp(const std::string& arg) { return arg == "/?"; }

bool MakeFolder(const std::string& path, std::string* problem) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    *problem = "cannot make the folder " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

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
