#!/usr/bin/env bash
# Installs what is needed, builds, and replays a whole left pushback through
# gauge-replay, printing its trace.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
build/linux/gauge-replay tests/replay/push_left_20.script
