#!/usr/bin/env bash
# Installs what is needed, builds the Linux module and panel-host (not the
# tests), and flies a whole left pushback through panel-host with the module,
# printing its timeline.
# Leaves in out/: the sound OpenAL mixed (pushback.wav), the panel half a
# minute in (panel.png) and the aircraft's track seen from above (track.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh demo
# Its own tree, without the tests: the demo needs only the Linux build's packages.
cmake --preset demo >/dev/null
cmake --build --preset demo
mkdir -p out
build/demo/panel-host run --audio out/pushback.wav --snapshot out/panel.png --at 30 \
  --path out/track.png
