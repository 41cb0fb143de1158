// gauge_bench - Google Benchmark figures of the gauge on the substitute
// host with the recording sound device (or, in gauge_bench_openal, the
// module's OpenAL device on OpenAL Soft's null backend).
//
//   Update/<phase>     one host update in that phase of a pushback: the
//                      tick, the two lamps and the three variable refreshes
//                      (the sequencer state is put back before each, so
//                      every update is one of that phase)
//   Initialize         GaugeInitialize: six clips walked, buffers made and
//                      filled (the kill after each is not timed)
//   Memcpy266168       one memcpy of the six clips' sample bytes, for scale
//   CreateClipBuffers  the device's share of an initialise: one device and
//                      six empty buffers of the clips' sizes, made (their
//                      release is not timed)
//   ReplayUpdates      updates of a whole pushback and the idle after it,
//                      without the trace printing gauge-replay adds
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "benchmarks/phases.h"
#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sound/clip.h"
#include "sound/sound_device.h"

namespace {

const size_t kClipSampleBytes = 266168;

void Update(benchmark::State& state) {
    const Phase phase = static_cast<Phase>(state.range(0));
    const PushbackState snapshot = PreparePhase(phase);
    state.SetLabel(kPhaseNames[phase]);
    for (auto _ : state) {
        pushback = snapshot;
        HostUpdate();
        benchmark::DoNotOptimize(host.display_value);
    }
    FinishPhase();
}
BENCHMARK(Update)->DenseRange(0, kPhaseCount - 1);

void Initialize(benchmark::State& state) {
    PreparePhase(kIdle);
    HostKill();
    HostInstall();
    for (auto _ : state) {
        HostInitialize();
        state.PauseTiming();
        if (TUG == nullptr) state.SkipWithError("the clips did not load");
        HostKill();
        HostInstall();
        state.ResumeTiming();
    }
    HostInitialize();
    FinishPhase();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kClipSampleBytes));
}
BENCHMARK(Initialize)->Unit(benchmark::kMicrosecond);

#ifndef VORNAK_BENCH_OPENAL
void Memcpy266168(benchmark::State& state) {
    std::vector<uint8_t> from(kClipSampleBytes, 0x80), to(kClipSampleBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kClipSampleBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kClipSampleBytes));
}
BENCHMARK(Memcpy266168)->Unit(benchmark::kMicrosecond);

void CreateClipBuffers(benchmark::State& state) {
    const uint32_t sizes[] = {41472, 42704, 53888, 70536, 2432, 55136};
    const uint8_t format[16] = {1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0};
    void* buffers[6];
    for (auto _ : state) {
        void* device = nullptr;
        kSoundDevice.Create(&device);
        for (int i = 0; i < 6; ++i) {
            ClipBufferDesc desc = {sizeof(ClipBufferDesc), kClipBufferFlags, sizes[i], 0, format};
            kSoundDevice.CreateBuffer(device, &desc, &buffers[i]);
        }
        state.PauseTiming();
        for (void* b : buffers) kSoundDevice.ReleaseBuffer(b);
        kSoundDevice.ReleaseDevice(device);
        state.ResumeTiming();
    }
}
BENCHMARK(CreateClipBuffers)->Unit(benchmark::kMicrosecond);

// A left pushback and then idle updates, as the gauge-replay throughput
// script runs it; the whole run counts, in updates per second.
void ReplayUpdates(benchmark::State& state) {
    const int64_t updates = 1000000;
    for (auto _ : state) {
        PreparePhase(kIdle);
        int32_t x, y;
        HostChildCentre(0, &x, &y);
        HostClick(x, y);
        for (int64_t i = 0; i < updates; ++i) {
            if (i == 400) HostSetValue(kTokenHeading, 100.0);
            if (i == 1000) HostSetValue(kTokenParkingBrake, 32767.0);
            HostUpdate();
        }
        if (pushback.tail_left != 0) state.SkipWithError("the pushback did not finish");
        FinishPhase();
    }
    state.SetItemsProcessed(state.iterations() * updates);
}
BENCHMARK(ReplayUpdates)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
