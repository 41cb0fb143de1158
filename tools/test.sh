#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh test
# The Windows trees first: tests registered in the Linux build check them
# (the 32-bit module and release ZIP, the 64-bit module and hosts).
cmake --preset win32
cmake --build --preset win32 --target package
cmake --preset win64
cmake --build --preset win64
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
# Every line of the sequencer, the controls and the WAVE walk is run by a test.
bash tools/coverage.sh
# The sanitizer build, last so that its summary closes the run: every test
# again under ASan and UBSan, plus a bounded fuzz run of the WAVE walk (the
# Windows checks are not repeated there).
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan
