// reload_driver - kill and initialise cycles of the gauge on the substitute
// host, for leak checks under valgrind.
//
//   reload_driver [--cycles N] [--unload-every N] [--module PATH]
//
// Built twice. reload_driver_module loads the Linux module file with dlopen
// (VORNAK_TOWS.so beside the program unless --module names another), so the
// cycles run through the module's OpenAL device; every --unload-every
// cycles (default 100, 0 never) the module is also closed and opened again.
// reload_driver_core links the gauge with the recording sound device, so a
// leak in the gauge itself shows apart from one in the device.
//
// Each cycle kills the gauge, installs and initialises it again (six clips
// loaded), clicks a direction and the timer, and runs a few updates so the
// click clip plays. After the last cycle the gauge is killed and every
// device, buffer and source it made must be gone. Exit status: 0 when clean,
// 1 when something was left behind, 2 for bad arguments or a module that
// cannot be loaded.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/module_extras.h"
#include "hostsim/hostsim.h"

#ifdef VORNAK_RELOAD_MODULE
#include <dlfcn.h>

#include "module_file/module_loader.h"
#else
#include "host/module.h"
#endif

namespace {

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr, "reload_driver: %s (usage: reload_driver [--cycles N] "
                         "[--unload-every N] [--module PATH])\n", problem);
    std::exit(2);
}

long Count(const char* text) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < 0 || n > 10000000) Usage("counts are whole numbers");
    return n;
}

// One pushback's worth of host activity, short: clicks that play the click
// clip on the fresh buffers, and updates that run the tick.
void Exercise() {
    for (int32_t button : {0, 3, 2}) {
        int32_t x, y;
        if (HostChildCentre(button, &x, &y)) HostClick(x, y);
    }
    for (int i = 0; i < 3; ++i) HostFrame();
}

#ifdef VORNAK_RELOAD_MODULE

const char* const kFresh = "load of the module";
LoadedModule module;

void Open(const std::string& path) {
    std::string problem;
    if (!LoadModule(path, &module, &problem)) {
        std::fprintf(stderr, "reload_driver: %s\n", problem.c_str());
        std::exit(2);
    }
    HostReset();
    if (!HostAttach(module.import_table, module.linkage)) {
        std::fprintf(stderr, "reload_driver: %s holds no usable gauge\n", path.c_str());
        std::exit(2);
    }
    HostSetValue(kTokenOnGround, 1.0);
    HostInstall();
    HostInitialize();
}

void Close() {
    dlclose(module.handle);
    module = LoadedModule{};
}

#else

const char* const kFresh = "attach to the host";

void Open(const std::string&) {
    HostReset();
    if (!HostAttach(&ImportTable, &Linkage)) {
        std::fprintf(stderr, "reload_driver: the gauge's records are not usable\n");
        std::exit(2);
    }
    HostSetValue(kTokenOnGround, 1.0);
    HostInstall();
    HostInitialize();
}

void Close() {}

#endif

// The sound objects the gauge holds, as the module tells them, or as the
// device linked in here tells them.
VornakAudioCounts Counts() {
    VornakAudioCounts c = {};
#ifdef VORNAK_RELOAD_MODULE
    if (module.audio_counts) module.audio_counts(&c);
#else
    vornak_audio_counts(&c);
#endif
    return c;
}

// Kills the gauge; true when its device holds nothing any more.
bool KillClean(const char* when) {
    HostKill();
    const VornakAudioCounts c = Counts();
    if (c.devices == 0 && c.contexts == 0 && c.buffers == 0 && c.sources == 0) return true;
    std::fprintf(stderr, "reload_driver: %s the gauge still holds %u devices, %u contexts, "
                 "%u buffers and %u sources\n", when, c.devices, c.contexts, c.buffers, c.sources);
    return false;
}

// True when the freshly initialised gauge holds its six clips on one device.
bool Loaded() {
#ifdef VORNAK_RELOAD_MODULE
    if (module.audio_counts == nullptr) return true;
#endif
    const VornakAudioCounts c = Counts();
    if (c.devices == 1 && c.buffers == 6) return true;
    std::fprintf(stderr, "reload_driver: after initialise the gauge holds %u devices and %u "
                 "buffers, not 1 and 6 (is OpenAL's null backend there?)\n", c.devices, c.buffers);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    long cycles = 1000;
    long unload_every = 100;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) Usage(("missing value after " + arg).c_str());
        if (arg == "--cycles") cycles = Count(argv[++i]);
        else if (arg == "--unload-every") unload_every = Count(argv[++i]);
        else if (arg == "--module") path = argv[++i];
        else Usage(("unknown argument " + arg).c_str());
    }
#ifdef VORNAK_RELOAD_MODULE
    if (path.empty()) path = DefaultModulePath();
    // No sound card is needed: OpenAL Soft's null backend mixes into nothing.
    setenv("ALSOFT_DRIVERS", "null", 0);
#else
    if (!path.empty()) Usage("--module needs the module build of this driver");
#endif

    Open(path);
    bool clean = Loaded();
    long unloads = 0;
    for (long n = 1; n <= cycles && clean; ++n) {
        Exercise();
        if (unload_every > 0 && n % unload_every == 0) {
            clean = KillClean("after an unload cycle");
            Close();
            Open(path);
            ++unloads;
        } else {
            HostReload();
        }
        clean = clean && Loaded();
    }
    Exercise();
    clean = KillClean("at the end") && clean;
    Close();
    if (!clean) return 1;
    std::printf("reload_driver: %ld kill and initialise cycles (%ld of them with a fresh %s); "
                "six clips loaded each time, nothing left behind\n", cycles, unloads, kFresh);
    return 0;
}
