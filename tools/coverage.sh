#!/usr/bin/env bash
# Line coverage of the gauge's sources by its unit tests (gcov + lcov).
#   tools/coverage.sh [BUILD_DIR]     (default build/coverage, preset coverage)
# Prints each source's line coverage, writes an HTML report to
# BUILD_DIR/coverage-html, and exits 1 when a line of the sequencer, the
# controls or the WAVE walk was never run. Only gauge_tests is built and run
# (the tests labelled "gauge"): every such line must be reached by a test of
# the gauge itself, not by the way through a program, and the tree builds in
# a fraction of the time of a whole one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/coverage}"
cd "$root"
if [ "$build" = "$root/build/coverage" ]; then
  cmake --preset coverage >/dev/null
  cmake --build --preset coverage >/dev/null
else
  cmake --build "$build" -j2 --target gauge_tests >/dev/null
fi
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" --output-on-failure -L '^gauge$' -j2 >"$build/coverage-ctest.log" ||
  { tail -20 "$build/coverage-ctest.log"; echo "coverage: tests failed" >&2; exit 1; }

info="$build/coverage.info"
lcov --quiet --capture --directory "$build" --output-file "$info.all" --rc lcov_branch_coverage=0 2>/dev/null
lcov --quiet --extract "$info.all" "$root/sequencer/*" "$root/host/*" "$root/platform/*" "$root/sound/*" \
  --output-file "$info" 2>/dev/null
lcov --list "$info"
genhtml --quiet --output-directory "$build/coverage-html" "$info" >/dev/null 2>&1 || true

# Every line of these must run.
status=0
for src in sequencer/pushback.cpp sequencer/controls.cpp sound/wave_reader.cpp; do
  missed=$(awk -v f="$root/$src" '
    /^SF:/ { on = ($0 == "SF:" f) }
    on && /^DA:/ { split(substr($0, 4), a, ","); if (a[2] == 0) printf "%s ", a[1] }' "$info")
  if [ -n "$missed" ]; then
    echo "coverage: $src lines never run: $missed" >&2
    status=1
  else
    echo "coverage: $src: every line run"
  fi
done
exit $status
