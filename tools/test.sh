#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test,
# saying how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
began=$SECONDS
mark=$SECONDS
# The processor time the finished commands took, in whole seconds, into
# $cpu: on a machine shared with other work it says more than the clock.
# (times must run in this shell, not in a subshell of its own.)
cpu() {
  times >build/.times
  cpu=$(awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%d", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' build/.times)
}
cpu_mark=0
stage() {
  cpu
  echo "test.sh: $1: $((SECONDS - mark)) s, $((cpu - cpu_mark)) s of processor time"
  mark=$SECONDS
  cpu_mark=$cpu
}

# A command's output kept in a log, shown only when it fails.
quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log"; echo "test.sh: '$*' failed ($log)" >&2; return 1; }
}

bash tools/setup-debian.sh test
stage "set-up"

# The three trees are configured side by side (each configure keeps to one
# core). The Windows trees build first: tests registered in the Linux build
# check them (each tree's module, counting module and hosts; the release ZIP).
pids=()
for preset in win32 win64 linux; do
  quietly "build/configure-$preset.log" cmake --preset "$preset" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid"; done
stage "configure win32, win64, linux"
cmake --build --preset win32 --target package
cmake --build --preset win64
stage "build win32 (with the release ZIP), win64"
cmake --build --preset linux
stage "build linux"

# Much of the Linux suite waits on real time (the window, sound, wine): the
# sanitizer and coverage trees build beside it at the lowest priority, their
# output in build/side-builds.log (shown if they fail).
quietly build/side-builds.log bash -c 'cmake --preset linux-asan && nice -n 19 cmake --build --preset linux-asan &&
  cmake --preset coverage && nice -n 19 cmake --build --preset coverage' &
side=$!
ctest --preset linux || status=$?
# Tests that cannot run here report themselves skipped; say why, once per
# reason.
grep -h "^SKIPPED: " build/linux/Testing/Temporary/LastTest.log | sort | uniq -c |
  sed 's/^ *\([0-9]*\) SKIPPED: /skipped (\1 tests): /' || true
stage "Linux suite (with the sanitizer and coverage builds beside it)"
wait "$side"
stage "the rest of the sanitizer and coverage builds"
[ "${status:-0}" -eq 0 ] || exit "$status"

# Every line of the sequencer, the controls and the WAVE walk is run by a
# unit test of the gauge.
bash tools/coverage.sh
stage "coverage"
# The sanitizer suite, last so that its summary closes the run: every test
# again under ASan and UBSan, plus a bounded fuzz run of the WAVE walk (the
# Windows checks and the asset checks, which read committed files with
# Python and give the same verdict in any tree, are not repeated there).
ctest --preset linux-asan
stage "sanitizer suite"
cpu
echo "test.sh: everything in $((SECONDS - began)) s, $cpu s of processor time"
