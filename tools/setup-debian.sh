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

# Where the archive could not give this machine 32-bit wine, the reason, in
# one line: the 32-bit wine tests then say SKIPPED with it, instead of failing
# for a package nobody could install. Made anew by each test set-up.
wine32_refused=build/wine32-unavailable

# apt-get update. A fetch the network dropped apt tries again itself
# (Acquire::Retries). What is left is a mirror in the middle of a sync,
# whose index does not match its Release file until the sync ends, minutes
# later; waiting a minute here does not mend it. So the first failure of a
# set-up gets one more try after 10 s (another server behind the same name
# may answer), and later calls, which meet the same mirror moments later,
# none. Then it goes on with the indexes apt has and says which one it
# lacks; what then cannot be installed fails in apt_quietly or
# install_wine32.
apt_retried=0
apt_update() {
  local try
  for try in 1 2; do
    DEBIAN_FRONTEND=noninteractive apt-get update -o Acquire::Retries=3 >>"$log" 2>&1 && return 0
    [ "$apt_retried" -eq 0 ] || break
    apt_retried=1
    say "apt-get update failed; trying once more in 10 s"
    sleep 10
  done
  local failed
  failed=$(grep '^[EW]: Failed to fetch' "$log" | tail -n 1 | sed 's/^.: Failed to fetch //; s/ .*//' || true)
  say "apt-get update could not fetch ${failed:-every index} ($log): going on with the indexes it has"
}

# Installs 32-bit wine (and what else is named); where apt cannot, says why
# and leaves the reason for the tests.
install_wine32() {
  if DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@" >>"$log" 2>&1; then
    return 0
  fi
  local why
  why=$(grep '^E: ' "$log" | tail -n 1 | cut -c 4-)
  echo "apt could not install $* from this machine's archive (${why:-see $log})" >"$wine32_refused"
  say "$(cat "$wine32_refused"): the 32-bit wine tests will say SKIPPED"
  return 1
}

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
  apt_update
  apt_quietly apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The shipped module is 32-bit, and the suite runs it under 32-bit wine
# (wine32:i386). Where the kernel runs no 32-bit programs, they run through
# qemu-i386: qemu-user from Debian's bookworm-backports (bookworm's own 7.2
# cannot carry wine), pinned so that nothing else comes from there, with a
# binfmt_misc entry for i386 programs. The tests make that entry in a
# binfmt_misc instance of their own (tools/run-i386.sh, Linux 6.7 and later),
# so nothing global changes; on an older kernel it is registered for the
# whole machine, and said so. VORNAK_I386_VIA_QEMU=1 takes this way on a
# kernel that does run 32-bit code, to try it there (the tests take it too).
backports_list=/etc/apt/sources.list.d/vornak-tows-backports.sources
backports_pin=/etc/apt/preferences.d/vornak-tows-backports

# The archive bookworm itself comes from, as "URI|Signed-By" (either list
# format); nothing when there is none.
bookworm_archive() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = "" } {
      uri = ""; key = ""; hit = 0
      n = split($0, lines, "\n")
      for (i = 1; i <= n; i++) {
        if (lines[i] ~ /^#/) continue
        split(lines[i], w, /[ \t]+/)
        field = tolower(w[1])
        if (field == "suites:") for (j = 2; j in w; j++) if (w[j] == "bookworm") hit = 1
        if (field == "uris:" && uri == "") uri = w[2]
        if (field == "signed-by:") key = w[2]
        if (field == "enabled:" && tolower(w[2]) == "no") hit = 0
      }
      if (hit && uri != "") { print uri "|" key; exit }
    }' "$f"
  done
  [ -f /etc/apt/sources.list ] && awk '$1 == "deb" {
    i = 2
    if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
    if ($(i + 1) == "bookworm") { print $i "|"; exit }
  }' /etc/apt/sources.list
  return 0
}

# qemu-user from bookworm-backports, and only it.
install_qemu_user() {
  local others=""
  if ! grep -rqsw bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/ || [ -f "$backports_list" ]; then
    local archive
    archive=$(bookworm_archive | head -n 1)
    if [ -z "$archive" ]; then
      say "no apt source names Debian's bookworm suite, so no bookworm-backports beside it: the 32-bit wine tests will say SKIPPED"
      return 1
    fi
    say "adding the bookworm-backports suite of ${archive%%|*} (apt's sources), for qemu-user alone"
    {
      echo "# Added by VORNAK_TOWS tools/setup-debian.sh: qemu-user to run 32-bit wine."
      echo "Types: deb"
      echo "URIs: ${archive%%|*}"
      echo "Suites: bookworm-backports"
      echo "Components: main"
      [ -z "${archive#*|}" ] || echo "Signed-By: ${archive#*|}"
    } >"$backports_list"
    # The suite is ours: nothing but qemu-user may come from it.
    others=$'\n\nPackage: *\nPin: release n=bookworm-backports\nPin-Priority: -1'
  fi
  printf '%s\n' "# Added by VORNAK_TOWS tools/setup-debian.sh: qemu-user from bookworm-backports,
# which runs 32-bit wine where the kernel runs no 32-bit code.
Package: qemu-user
Pin: release n=bookworm-backports
Pin-Priority: 600$others" >"$backports_pin"
  return 0
}

# True when the static i386 program runs.
runs_i386() { "$@" >/dev/null 2>&1; }

if [ "$profile" = test ]; then
  rm -f "$wine32_refused"
  probe=$(mktemp -d)
  printf 'int main(void) { return 0; }\n' >"$probe/hello.c"
  gcc -m32 -static -o "$probe/hello" "$probe/hello.c" >>"$log" 2>&1 || true
  total=$((total + 1))
  if [ "${VORNAK_I386_VIA_QEMU:-}" != 1 ] && runs_i386 "$probe/hello"; then
    if ! dpkg -s wine32:i386 >/dev/null 2>&1; then
      say "for the 32-bit module under wine (this kernel runs 32-bit code): wine32:i386"
      apt_quietly dpkg --add-architecture i386
      apt_update
      install_wine32 wine32:i386 || true
    fi
  else
    i386_started=$SECONDS
    if [ "${VORNAK_I386_VIA_QEMU:-}" = 1 ]; then
      say "VORNAK_I386_VIA_QEMU=1: 32-bit programs through qemu-i386, as where the kernel runs no 32-bit code"
    else
      say "this kernel runs no 32-bit code: 32-bit programs through qemu-i386"
    fi
    qemu_version=$(dpkg-query -W -f '${Version}' qemu-user 2>/dev/null || true)
    if [ -n "$qemu_version" ] && dpkg --compare-versions "$qemu_version" ge 1:10 &&
       dpkg -s wine32:i386 >/dev/null 2>&1; then
      ready=1
    elif [ "$(id -u)" -ne 0 ]; then
      echo "setup-debian: qemu-user 10 and wine32:i386 are missing; run as root to install them" >&2
      exit 2
    elif install_qemu_user; then
      say "for the 32-bit module under wine through qemu: qemu-user (bookworm-backports), wine32:i386"
      apt_quietly dpkg --add-architecture i386
      apt_update
      install_wine32 qemu-user wine32:i386 && ready=1
    fi
    if [ "${ready:-0}" = 1 ]; then
      if why=$(bash tools/run-i386.sh "$probe/hello" 2>&1 >/dev/null); then
        say "32-bit programs run through qemu-i386 in a binfmt_misc instance of the tests' own (tools/run-i386.sh): nothing global changed"
      elif [ "${VORNAK_I386_VIA_QEMU:-}" != 1 ] && [ "$(id -u)" -eq 0 ] && bash tools/run-i386.sh --global 2>>"$log"; then
        say "registered qemu-i386 for i386 programs in the whole machine's binfmt_misc, a global change (${why#run-i386: })"
      fi
      runs_i386 "$probe/hello" || runs_i386 bash tools/run-i386.sh "$probe/hello" ||
        say "32-bit programs do not run through qemu-i386 here either (${why#run-i386: }): the 32-bit wine tests will say SKIPPED"
    fi
    say "32-bit programs through qemu: $((SECONDS - i386_started)) s"
  fi
  rm -rf "$probe"
fi

say "$profile profile: $total packages present, ${#missing[@]} of them installed now, in $((SECONDS - started)) s"
