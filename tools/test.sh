#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh test
# The Windows trees first: tests registered in the Linux build check them
# (each tree's module, counting module and hosts; the release ZIP).
cmake --preset win32
cmake --build --preset win32 --target package
cmake --preset win64
cmake --build --preset win64
cmake --preset linux
cmake --build --preset linux
ctest --preset linux || status=$?
# Tests that cannot run here (32-bit wine on a kernel without 32-bit
# support) report themselves skipped; say why, once per reason.
grep -h "^SKIPPED: " build/linux/Testing/Temporary/LastTest.log | sort | uniq -c |
  sed 's/^ *\([0-9]*\) SKIPPED: /skipped (\1 tests): /' || true
[ "${status:-0}" -eq 0 ] || exit "$status"
# Every line of the sequencer, the controls and the WAVE walk is run by a test.
bash tools/coverage.sh
# The sanitizer build, last so that its summary closes the run: every test
# again under ASan and UBSan, plus a bounded fuzz run of the WAVE walk (the
# Windows checks are not repeated there).
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan
