// update_driver - N host updates in one phase of a pushback, for counting
// instructions with callgrind (benchmarks/run.sh):
//
//   valgrind --tool=callgrind --collect-atstart=no
//            --toggle-collect='MeasuredUpdates(*' update_driver PHASE N
//
// Only MeasuredUpdates is counted: the updates that bring the gauge to the
// phase are not.
//
// PHASE is one of the names in phases.cpp. Exit status 2 for bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "benchmarks/phases.h"
#include "hostsim/hostsim.h"

__attribute__((noinline)) void MeasuredUpdates(const PushbackState& snapshot, long n) {
    for (long i = 0; i < n; ++i) {
        pushback = snapshot;
        HostUpdate();
    }
}

int main(int argc, char** argv) {
    int32_t phase = -1;
    for (int32_t p = 0; argc == 3 && p < kPhaseCount; ++p)
        if (std::strcmp(argv[1], kPhaseNames[p]) == 0) phase = p;
    char* end = nullptr;
    const long n = argc == 3 ? std::strtol(argv[2], &end, 10) : -1;
    if (phase < 0 || end == argv[2] || *end != '\0' || n < 0) {
        std::fprintf(stderr, "usage: update_driver idle|arming|release_wait|straight_push|turn|"
                             "rolling_clear|wrap_up|final N\n");
        return 2;
    }
    const PushbackState snapshot = PreparePhase(static_cast<Phase>(phase));
    MeasuredUpdates(snapshot, n);
    std::printf("%s: %ld updates, display \"%s\"\n", kPhaseNames[phase], n, HostDisplayText());
    FinishPhase();
    return 0;
}
