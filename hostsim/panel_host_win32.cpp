// panel_host_win32.cpp - panel-host.exe: the substitute host on Windows,
// without a window. It loads a gauge module file as the simulator does
// (LoadLibraryA, the two records by name) and drives it; the module sounds
// through its own DirectSound device.
//
//   panel-host replay MODULE SCRIPT   the script's trace, as fast as it runs
//   panel-host run MODULE SCRIPT      the same at 18 updates a second, so the
//                                     clips are heard as in the cockpit
//   panel-host reload MODULE COUNT    COUNT kill/initialise cycles, then the
//                                     module's DirectSound objects made and
//                                     released, where the module tells them
//
// Needs: the module loader seam (module_loader_win32.cpp), hostsim, replay.
// Provides:
//   [x] replay and real-time run of a replay script (hostsim/replay.h);
//       the trace has no play lines, since the clips play inside the module
//   [x] reload cycles with a DirectSound leak check, for a module built
//       with its sound counts exported (exit 1 on a leak)
//   [ ] panel window, drawing, mouse: none (run headless)
// Exit status: 0 done, 1 leak found, 2 bad arguments, unreadable script or
// a file that is not a gauge module.
#include <windows.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"
#include "hostsim/replay.h"
#include "sound/device_directsound.h"

namespace {

const char kUsage[] =
    "usage: panel-host replay MODULE SCRIPT | run MODULE SCRIPT | reload MODULE COUNT";
const long kMaxReloads = 100000;

// Real-time pacing: the host's UpdateElements service is wrapped so that
// each update starts on its 1/18 s slot.
int32_t (GAUGE_CALL *update_elements)(Element*) = nullptr;
LARGE_INTEGER pace_start, pace_frequency;
uint32_t paced_updates = 0;

int32_t GAUGE_CALL PacedUpdateElements(Element* first) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double due = static_cast<double>(paced_updates++) / 18.0;
    const double elapsed =
        static_cast<double>(now.QuadPart - pace_start.QuadPart) / static_cast<double>(pace_frequency.QuadPart);
    if (due > elapsed) Sleep(static_cast<DWORD>((due - elapsed) * 1000.0));
    return update_elements(first);
}

void PaceUpdates() {
    QueryPerformanceFrequency(&pace_frequency);
    QueryPerformanceCounter(&pace_start);
    update_elements = host.services.UpdateElements;
    host.services.UpdateElements = PacedUpdateElements;
}

int Replay(const LoadedModule& module, const char* script, bool paced) {
    FILE* in = std::fopen(script, "r");
    if (in == nullptr) {
        std::fprintf(stderr, "panel-host: cannot open %s: %s\n", script, std::strerror(errno));
        return 2;
    }
    HostReset();
    if (!HostAttach(module.import_table, module.linkage)) {
        std::fclose(in);
        std::fprintf(stderr, "panel-host: the module's records are not usable\n");
        return 2;
    }
    if (paced) PaceUpdates();
    HostInstall();
    HostInitialize();
    int status = RunReplay(in, script, stdout, stderr);
    HostKill();
    std::fclose(in);
    if (std::ferror(stdout)) {
        std::fprintf(stderr, "panel-host: cannot write the trace\n");
        return 2;
    }
    return status;
}

int Reload(const LoadedModule& module, const char* count_text) {
    char* end = nullptr;
    errno = 0;
    long count = std::strtol(count_text, &end, 10);
    if (*count_text == '\0' || *end != '\0' || errno != 0 || count < 0 || count > kMaxReloads) {
        std::fprintf(stderr, "panel-host: '%s' is not a reload count (0 to %ld)\n", count_text,
                     kMaxReloads);
        return 2;
    }
    HostReset();
    if (!HostAttach(module.import_table, module.linkage)) {
        std::fprintf(stderr, "panel-host: the module's records are not usable\n");
        return 2;
    }
    HostInstall();
    HostInitialize();
    for (long i = 0; i < count; ++i) {
        HostFrame();
        HostReload();
    }
    HostFrame();
    HostKill();

    auto counts_of = reinterpret_cast<SoundDeviceCountsRoutine>(reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(module.handle), "SoundDeviceCounts")));
    if (counts_of == nullptr) {
        std::printf("%ld reloads; the module does not tell its DirectSound objects\n", count);
        return 0;
    }
    const DirectSoundCounts c = *counts_of();
    std::printf("%ld reloads; devices created %" PRIu32 ", released %" PRIu32
                "; buffers created %" PRIu32 ", released %" PRIu32 "\n",
                count, c.devices_created, c.devices_released, c.buffers_created, c.buffers_released);
    if (c.devices_created != c.devices_released || c.buffers_created != c.buffers_released) {
        std::printf("leak: %" PRId32 " devices and %" PRId32 " buffers still alive\n",
                    static_cast<int32_t>(c.devices_created - c.devices_released),
                    static_cast<int32_t>(c.buffers_created - c.buffers_released));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "%s\n", kUsage);
        return 2;
    }
    const char* command = argv[1];
    const bool replay = std::strcmp(command, "replay") == 0;
    const bool run = std::strcmp(command, "run") == 0;
    const bool reload = std::strcmp(command, "reload") == 0;
    if (!replay && !run && !reload) {
        std::fprintf(stderr, "panel-host: unknown command '%s'\n%s\n", command, kUsage);
        return 2;
    }
    LoadedModule module;
    std::string problem;
    if (!LoadModule(argv[2], &module, &problem)) {
        std::fprintf(stderr, "panel-host: %s\n", problem.c_str());
        return 2;
    }
    int status = reload ? Reload(module, argv[3]) : Replay(module, argv[3], run);
    std::fflush(stdout);
    FreeLibrary(static_cast<HMODULE>(module.handle));
    return status;
}
