#!/usr/bin/env bash
# Installs from Debian's packages what VORNAK_TOWS needs, as root, on Debian 12.
#
#   tools/setup-debian.sh demo   the Linux build: the module and panel-host
#   tools/setup-debian.sh test   everything tools/test.sh builds and runs (default)
#
# Run by tools/demo.sh and tools/test.sh; safe to run again: packages already
# present are not touched. It says in a few lines what it installs and why,
# and keeps apt's own output in build/setup-debian.log, shown only when apt
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."

profile=${1:-test}
case "$profile" in
  demo|test) ;;
  *) echo "setup-debian: unknown profile '$profile' (use demo or test)" >&2; exit 2 ;;
esac

# Each group: why, then its packages.
groups=(
  "the Linux build (compiler, CMake, OpenAL, SDL2, CLI11, fonts)|cmake ninja-build g++ pkg-config zlib1g-dev libopenal-dev libopenal1 libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libcli11-dev libfontconfig-dev fonts-liberation"
)
if [ "$profile" = test ]; then
  groups+=(
    "unit tests and the checks' Python|libgtest-dev libgmock-dev python3 python3-pil python3-pefile python3-unicorn"
    "the clips' generator and the spoken-sound checks|espeak-ng sox fonts-dejavu-core flite festival festvox-us-slt-hts pocketsphinx pocketsphinx-en-us"
    "the panel window on a virtual screen|xvfb xauth xdotool imagemagick"
    "the Windows builds (zlib for the Windows host's PNG pictures) and the 64-bit wine runs|g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 libz-mingw-w64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 gcc-multilib wine64 zip"
    "fuzzing, leak checks, benchmarks and coverage|clang libclang-rt-14-dev valgrind libbenchmark-dev lcov"
  )
fi

log=build/setup-debian.log
mkdir -p build
: >"$log"
started=$SECONDS

say() { echo "setup-debian: $*"; }

# Runs apt with its output in the log; on failure shows the log and stops.
apt_quietly() {
  if ! DEBIAN_FRONTEND=noninteractive "$@" >>"$log" 2>&1; then
    echo "setup-debian: '$*' failed; its output ($log):" >&2
    tail -n 60 "$log" >&2
    exit 1
  fi
}

missing=()
total=0
for group in "${groups[@]}"; do
  why=${group%%|*}
  read -r -a names <<<"${group#*|}"
  total=$((total + ${#names[@]}))
  absent=()
  for p in "${names[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || absent+=("$p")
  done
  if [ ${#absent[@]} -gt 0 ]; then
    say "for $why: ${absent[*]}"
    missing+=("${absent[@]}")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup-debian: ${#missing[@]} packages missing (${missing[*]}); run as root to install them" >&2
    exit 2
  fi
  say "installing ${#missing[@]} packages (apt's output in $log)"
  apt_quietly apt-get update
  apt_quietly apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The shipped module is 32-bit: where the kernel runs 32-bit programs, the
# test profile adds 32-bit wine so the suite runs that module itself. Where
# it does not, those tests report themselves skipped.
if [ "$profile" = test ]; then
  probe=$(mktemp -d)
  printf 'int main(void) { return 0; }\n' >"$probe/hello.c"
  if gcc -m32 -static -o "$probe/hello" "$probe/hello.c" >>"$log" 2>&1 && "$probe/hello" 2>/dev/null; then
    total=$((total + 1))
    if ! dpkg -s wine32:i386 >/dev/null 2>&1; then
      say "for the 32-bit module under wine (this kernel runs 32-bit code): wine32:i386"
      apt_quietly dpkg --add-architecture i386
      apt_quietly apt-get update
      apt_quietly apt-get install -y --no-install-recommends wine32:i386
    fi
  else
    say "this kernel runs no 32-bit code: no wine32, and the tests that need it will say SKIPPED"
  fi
  rm -rf "$probe"
fi

say "$profile profile: $total packages present, ${#missing[@]} of them installed now, in $((SECONDS - started)) s"
