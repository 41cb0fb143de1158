#!/usr/bin/env bash
# Reruns the speed and size figures of docs/measurements.md and prints them:
#   benchmarks/run.sh [BUILD_DIR [WIN32_DIR]]   (default build/linux, built if
#   needed, and build/win32)
# Google Benchmark timings, instructions per update from callgrind, the
# gauge-replay throughput with its trace sent to /dev/null (on the clock and
# in processor time: on a shared machine the second is the figure), the CPU
# time of panel-host's idle window, and the 32-bit module's size against its
# payload and budget when build/win32 holds it. The fuzz, leak, coverage
# and mutation figures come from their own commands (docs/measurements.md).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/linux}"
cd "$root"
if [ ! -x "$build/benchmarks/gauge_bench" ]; then
  [ "$build" = "$root/build/linux" ] || { echo "run.sh: $build has no benchmarks; build it first" >&2; exit 2; }
  cmake --preset linux >/dev/null && cmake --build --preset linux -j2 >/dev/null
fi

echo "== machine"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(uname -sr)"

echo "== Google Benchmark (recording device)"
"$build/benchmarks/gauge_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  2>/dev/null | grep -E '_median|^Benchmark|^-'
if [ -x "$build/benchmarks/gauge_bench_openal" ]; then
  echo "== Google Benchmark (OpenAL device, null backend)"
  ALSOFT_DRIVERS=null "$build/benchmarks/gauge_bench_openal" --benchmark_filter=Initialize \
    --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median'
fi

echo "== instructions per host update (callgrind)"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
n=20000
for phase in idle arming release_wait straight_push turn rolling_clear wrap_up final; do
  valgrind --tool=callgrind --callgrind-out-file="$out/cg.$phase" --collect-atstart=no \
    --toggle-collect='MeasuredUpdates(*' "$build/benchmarks/update_driver" "$phase" "$n" >/dev/null 2>&1
  total=$(grep -E '^(summary|totals):' "$out/cg.$phase" | head -1 | awk '{print $2}')
  echo "$phase: $((total / n)) instructions per update"
done

echo "== gauge-replay throughput (10,000,000 updates, trace to /dev/null)"
TIMEFORMAT='%R %U %S'
{ time "$build/gauge-replay" benchmarks/full_pushback.script >/dev/null; } 2>"$out/replay.time"
read -r wall user sys <"$out/replay.time"
awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN {
  printf "%.2f s on the clock: %.2f million updates per second\n", w, 10 / w
  printf "%.2f s of processor time: %.2f million updates per processor-second\n", u + s, 10 / (u + s) }'

echo "== panel-host's window while idle (Xvfb, 5 s)"
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  /usr/bin/python3 benchmarks/window_idle.py "$build/panel-host" 5
else
  echo "needs Xvfb and xdotool (tools/setup-debian.sh test)"
fi

echo "== 32-bit module size"
gau="${2:-$root/build/win32}/VORNAK_TOWS.gau"
if [ -f "$gau" ]; then
  payload=0
  for f in resources/*.wav; do payload=$((payload + $(stat -c %s "$f"))); done
  for f in resources/*.bmp; do payload=$((payload + $(stat -c %s "$f") - 14)); done
  size=$(stat -c %s "$gau")
  # The budget: the code, records, tables and headers beyond the payload
  # fit in 12 KiB.
  budget=12288
  verdict="within it"
  [ $((size - payload)) -le $budget ] || verdict="OVER IT"
  echo "VORNAK_TOWS.gau $size bytes; payload $payload bytes (clips, bitmaps without file headers);" \
       "the rest $((size - payload)) bytes, budget $budget: $verdict"
else
  echo "$gau is not built (cmake --preset win32 && cmake --build --preset win32)"
fi
