// gauge-replay - runs a replay script against the gauge and prints the trace.
//
//   gauge-replay SCRIPT     (SCRIPT may be '-' for standard input)
//
// The gauge is linked in with the recording sound device and driven by the
// substitute host; the trace shows every event, every clip started and the
// display and lamps after every update (see hostsim/replay.h for both
// formats). Exit status: 0 after the whole script, 2 for a bad argument or
// a script line that cannot be read.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/module.h"
#include "hostsim/hostsim.h"
#include "hostsim/replay.h"
#include "sound/clip.h"
#include "sound/device_recording.h"

namespace {

void PrintPlay(void* buffer, void*) {
    struct { SoundClip* clip; const char* name; } const clips[] = {
        {&PB1, "PB1"}, {&PB2, "PB2"}, {&PB3, "PB3"}, {&PB4, "PB4"}, {&CLICK, "CLICK"}, {&TUG, "TUG"}};
    for (const auto& c : clips)
        if (*c.clip == buffer) ReplayPrintPlay(c.name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: gauge-replay SCRIPT   (SCRIPT '-' reads standard input)\n");
        return 2;
    }
    const bool from_stdin = std::strcmp(argv[1], "-") == 0;
    FILE* in = from_stdin ? stdin : std::fopen(argv[1], "r");
    if (in == nullptr) {
        std::fprintf(stderr, "gauge-replay: cannot open %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    // A trace runs to two lines an update; write it in large blocks.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    HostReset();
    ResetRecordingDevice();
    recording_control.on_play = PrintPlay;
    if (!HostAttach(&ImportTable, &Linkage)) {
        std::fprintf(stderr, "gauge-replay: the gauge's records are not usable\n");
        return 2;
    }
    HostInstall();
    HostInitialize();
    int status = RunReplay(in, from_stdin ? "<stdin>" : argv[1], stdout, stderr);
    HostKill();
    if (!from_stdin) std::fclose(in);
    if (std::ferror(stdout)) {
        std::fprintf(stderr, "gauge-replay: cannot write the trace\n");
        return 2;
    }
    return status;
}
