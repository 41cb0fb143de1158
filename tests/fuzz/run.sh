#!/usr/bin/env bash
# Builds the wave walk fuzzer with clang (ASan + UBSan) and runs it.
#
#   tests/fuzz/run.sh [--seconds N] [--build DIR] [--jobs N]
#
# N seconds (default 60; CI uses that) starting from the seed corpus: the six
# clips, each asked for all three results directly and through the resource
# lookup, and the hand-made odd images in seeds/. What the run learns is kept
# in DIR/corpus, so a later run goes on from there. For a long run:
#   tests/fuzz/run.sh --seconds 900
# A finding stops the run, leaves DIR/crash-* and exits non-zero; replay one
# with DIR/wave_walk_fuzz DIR/crash-<hash>.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds=60
build="$root/build/fuzz"
jobs=1
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="${2:?}"; shift 2 ;;
    --build) build="${2:?}"; shift 2 ;;
    --jobs) jobs="${2:?}"; shift 2 ;;
    *) echo "fuzz: unknown argument $1 (use --seconds N, --build DIR, --jobs N)" >&2; exit 2 ;;
  esac
done
case "$seconds$jobs" in ''|*[!0-9]*) echo "fuzz: --seconds and --jobs take whole numbers" >&2; exit 2 ;; esac
command -v clang++ >/dev/null || { echo "fuzz: clang++ is missing (tools/setup-debian.sh installs it)" >&2; exit 2; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null

seeds="$build/seeds"
rm -rf "$seeds" && mkdir -p "$seeds" "$build/corpus"
cp "$here"/seeds/* "$seeds/"
for clip in "$root"/resources/*.wav; do
  name="$(basename "$clip" .wav)"
  { printf '\007'; cat "$clip"; } >"$seeds/clip_$name"
  { printf '\017'; cat "$clip"; } >"$seeds/clip_${name}_resource"
done

log="$build/last-run.log"
status=0
parallel=()
# With --jobs, libFuzzer runs that many workers and writes their logs
# (fuzz-N.log) to the current folder.
if [ "$jobs" -gt 1 ]; then parallel=(-jobs="$jobs" -workers="$jobs"); rm -f "$build"/fuzz-*.log; fi
(cd "$build" && ./wave_walk_fuzz -max_total_time="$seconds" -dict="$here/wave.dict" -max_len=300000 \
  "${parallel[@]}" -print_final_stats=1 -artifact_prefix="$build/" corpus "$seeds") >"$log" 2>&1 ||
  status=$?
if [ "$jobs" -gt 1 ]; then cat "$build"/fuzz-*.log >>"$log" 2>/dev/null || true; fi
runs=$(grep -h 'stat::number_of_executed_units' "$log" | awk '{s += $2} END {print s + 0}')
if [ "$status" -ne 0 ]; then
  grep -E 'ERROR|finding|SUMMARY|runtime error' "$log" | head -20 >&2 || true
  echo "fuzz: FINDING after $runs executions; see $log and $build/crash-*" >&2
  exit 1
fi
echo "fuzz: $runs executions in ${seconds} s, corpus $(ls "$build/corpus" | wc -l) inputs, no finding"
