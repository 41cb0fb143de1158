// platform_linux.cpp - panel-host's seam to Linux (platform.h).
//
// Needs: POSIX, dlopen, the module's OpenAL. Provides:
//   [x] every mode, the window and every file a run writes
//   [x] the sound output: the default OpenAL device when one opens (tried
//       in a child process), else OpenAL's null output, said once
//   [x] the module's live OpenAL objects, where it tells them
//   [x] Ctrl-C, SIGTERM and SIGHUP stop a run as its end would; a closed
//       pipe on standard output is a write error
//   [x] a steady clock, folders made and listed, one name for a file however
//       written; paths apart by '/'
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "programs/panel-host/platform.h"

namespace {

// Whether OpenAL opens a playback device here. Tried in a child process:
// OpenAL reads its driver list once, when first used, so the module must
// not find it already started with the default list; and the sound
// libraries' complaints about a missing card go nowhere unless verbose.
// A child whose end cannot be learned counts as a device that does not open.
bool SoundDeviceOpens(bool verbose) {
    std::fflush(nullptr);
    // A child of a process that ignores SIGCHLD is reaped unseen.
    struct sigaction ignored, dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &dfl, &ignored);
    const pid_t child = fork();
    if (child == 0) {
        if (!verbose) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, 1);
                dup2(null, 2);
            }
        }
        void* al = dlopen("libopenal.so.1", RTLD_NOW | RTLD_LOCAL);
        if (al == nullptr) _exit(1);
        using OpenFn = void* (*)(const char*);
        using CloseFn = char (*)(void*);
        auto open_device = reinterpret_cast<OpenFn>(dlsym(al, "alcOpenDevice"));
        auto close_device = reinterpret_cast<CloseFn>(dlsym(al, "alcCloseDevice"));
        void* device = open_device ? open_device(nullptr) : nullptr;
        if (device && close_device) close_device(device);
        _exit(device ? 0 : 1);
    }
    int status = 0;
    pid_t waited = -1;
    if (child > 0)
        while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
    sigaction(SIGCHLD, &ignored, nullptr);
    return waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction stop_before[3], pipe_before;
volatile sig_atomic_t stop_asked = 0;

void OnStopRequest(int signal_number) {
    if (stop_asked == 0) stop_asked = signal_number;
}

}  // namespace

void CatchStopRequests() {
    stop_asked = 0;
    struct sigaction caught = {}, ignored = {};
    caught.sa_handler = OnStopRequest;
    caught.sa_flags = SA_RESTART;
    sigemptyset(&caught.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &caught, &stop_before[i]);
    ignored.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignored, &pipe_before);
}

int StopAsked() { return stop_asked; }

void ReleaseStopRequests() {
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &stop_before[i], nullptr);
    sigaction(SIGPIPE, &pipe_before, nullptr);
}

void StartStandardStreams() {}

bool WindowWithoutArguments() { return false; }

void ShowProblemToPerson(const std::string&) {}

void BufferOutput(bool whole_blocks) {
    if (whole_blocks)
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    else
        std::setvbuf(stdout, nullptr, _IOLBF, 1 << 12);
}

std::string ChooseSoundOutput(const PanelHostOptions& o) {
    if (!o.verbose) setenv("ALSOFT_LOGLEVEL", "0", 0);
    // A run recorded to a file mixes on a loopback device and needs no card;
    // a driver list the user set is theirs.
    if (!o.audio.empty() || std::getenv("ALSOFT_DRIVERS") != nullptr) return "";
    if (SoundDeviceOpens(o.verbose)) return "";
    setenv("ALSOFT_DRIVERS", "null", 1);
    return std::string("no sound device opens here, so the clips play on OpenAL's null output: "
                       "they run and are shown, but nothing is audible") +
           (o.verbose ? "" : " (--verbose shows why)");
}

const char* SoundSystemName() { return "OpenAL"; }

bool CountSoundObjects(const LoadedModule& module, SoundObjects* out) {
    if (module.audio_counts == nullptr) return false;
    VornakAudioCounts c;
    module.audio_counts(&c);
    *out = SoundObjects{};
    out->system = "OpenAL";
    out->kinds = 4;
    const char* names[4] = {"devices", "contexts", "buffers", "sources"};
    const uint32_t alive[4] = {c.devices, c.contexts, c.buffers, c.sources};
    for (int32_t k = 0; k < 4; ++k) {
        out->names[k] = names[k];
        out->alive[k] = alive[k];
    }
    return true;
}

double ClockSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void SleepUntil(double when) {
    timespec t;
    t.tv_sec = time_t(when);
    t.tv_nsec = long((when - double(t.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

std::string FileIdentity(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    char full[PATH_MAX];
    // A link to a file not there yet names the file it will make, followed
    // as the system follows it (at most 40 links deep).
    for (int depth = 0; depth < 40 && realpath(p.c_str(), full) == nullptr; ++depth) {
        char target[PATH_MAX];
        const ssize_t n = readlink(p.c_str(), target, sizeof target - 1);
        if (n <= 0) break;
        target[n] = '\0';
        const size_t slash = p.find_last_of('/');
        p = target[0] == '/' || slash == std::string::npos ? std::string(target) : p.substr(0, slash + 1) + target;
    }
    if (realpath(p.c_str(), full) != nullptr) return full;
    const size_t slash = p.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (realpath(folder.c_str(), full) == nullptr) return p;
    return std::string(full) + (std::string(full) == "/" ? "" : "/") + name;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return FileIdentity(a) == FileIdentity(b);
}

bool AsksForHelp(const std::string&) { return false; }

std::string FolderOf(const std::string& path, bool of_folder) {
    std::string p = path;
    if (of_folder)
        while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : p.substr(0, slash);
}

std::string InFolder(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool InsideFolder(const std::string& inner, const std::string& folder) {
    return inner.size() > folder.size() && inner.compare(0, folder.size(), folder) == 0 &&
           inner[folder.size()] == '/';
}

PathHolds WhatIsAt(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return PathHolds::kNothing;
    return S_ISDIR(st.st_mode) ? PathHolds::kFolder : PathHolds::kOther;
}

bool FolderWritable(const std::string& folder) { return access(folder.c_str(), W_OK) == 0; }

bool MakeFolder(const std::string& path, std::string* problem) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    *problem = "cannot make the folder " + path + ": " + std::strerror(errno);
    return false;
}

bool RemoveFolder(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool ListFolder(const std::string& path, std::vector<std::string>* names, std::string* problem) {
    DIR* d = opendir(path.c_str());
    if (d == nullptr) {
        *problem = "cannot read the folder " + path + ": " + std::strerror(errno);
        return false;
    }
    while (dirent* e = readdir(d)) names->push_back(e->d_name);
    closedir(d);
    return true;
}
