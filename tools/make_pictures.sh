#!/usr/bin/env bash
# Makes every picture in docs/ again, each by the command that makes it:
#
#   tools/make_pictures.sh [BUILD_DIR]      (default build/linux, built if needed)
#
#   docs/panel.png, panel_left.png,   the panel as the gauge draws it, idle and
#   panel_right.png                   with the left and the right direction
#                                     chosen, three times its size:
#                                     panel-host run --snapshot
#   docs/linux_track.png              the track of the demo's pushback (left,
#                                     20 s): panel-host run --path
#   docs/linux_window*.png            the window as tests/linux/window_test.py
#                                     leaves it under Xvfb: each of its
#                                     screenshots (the crew's first call, the
#                                     turn, the push whose turn is the
#                                     pilot's, ...)
#
# Needs the packages of tools/setup-debian.sh test (Xvfb, xdotool,
# imagemagick, python3-pil). docs/panel.png also goes into the release ZIP.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/linux}"
cd "$root"
host="$build/panel-host"
if [ ! -x "$host" ]; then
  [ "$build" = "$root/build/linux" ] || { echo "make_pictures: $host is not built" >&2; exit 2; }
  cmake --preset linux >/dev/null && cmake --build --preset linux -j2 --target panel-host VORNAK_TOWS >/dev/null
fi
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "make_pictures: $tool is missing (tools/setup-debian.sh test)" >&2; exit 2; }
done
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# The generator must still make the bitmaps the module embeds.
/usr/bin/python3 tools/assets/make_assets.py "$scratch/bitmaps" --only bitmaps >/dev/null
for f in panel_face.bmp lamp_left.bmp lamp_right.bmp; do
  cmp -s "$scratch/bitmaps/$f" "resources/$f" ||
    echo "make_pictures: resources/$f differs from what the generator makes now" >&2
done
# The panel as the gauge draws it: idle at the first update, then a little
# after the pilot's choice of each side, three times its size.
ALSOFT_DRIVERS=null "$host" run --snapshot "$scratch/panel.png" --at 0 >/dev/null
ALSOFT_DRIVERS=null "$host" run --left --snapshot "$scratch/panel_left.png" --at 2 >/dev/null
ALSOFT_DRIVERS=null "$host" run --right --snapshot "$scratch/panel_right.png" --at 2 >/dev/null
/usr/bin/python3 - "$scratch" docs <<'PY'
import sys
from PIL import Image
for name in ("panel.png", "panel_left.png", "panel_right.png"):
    shot = Image.open("%s/%s" % (sys.argv[1], name))
    shot.resize((shot.size[0] * 3, shot.size[1] * 3), resample=Image.NEAREST).save("%s/%s" % (sys.argv[2], name))
PY
echo "made docs/panel.png, docs/panel_left.png, docs/panel_right.png"

# The track of the demo's pushback, without a sound card's help.
ALSOFT_DRIVERS=null "$host" run --path docs/linux_track.png >/dev/null
echo "made docs/linux_track.png"

# The window, as its test works it (half a minute in real time, then ten
# times as fast); the test's own checks must pass for its pictures to count.
if ! /usr/bin/python3 tests/linux/window_test.py "$host" "$scratch/window" >"$scratch/window.log" 2>&1; then
  tail -20 "$scratch/window.log" >&2
  echo "make_pictures: the window test failed; docs/ keeps its window pictures" >&2
  exit 1
fi
# Each of its screenshots, window.png and window_WHAT.png, becomes
# docs/linux_window.png and docs/linux_window_WHAT.png.
for shot in "$scratch"/window/window*.png; do
  cp "$shot" "docs/linux_$(basename "$shot")"
  echo "made docs/linux_$(basename "$shot")"
done
