#!/usr/bin/env bash
# Installs what building and testing VORNAK_TOWS needs on Debian 12, as root.
# Run by tools/demo.sh and tools/test.sh; safe to run again.
set -euo pipefail

packages=(
  # native build and tests
  cmake ninja-build g++ libgtest-dev libgmock-dev python3
  # the assets generator and its checks
  espeak-ng sox python3-pil fonts-dejavu-core
  # Linux sound, the panel host's window and pictures
  libopenal-dev libopenal1 libsdl2-dev libsdl2-ttf-dev libfontconfig-dev fonts-liberation
  pkg-config zlib1g-dev
  # Windows builds and their checks
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 python3-pefile wine64 zip
  # hardening: the fuzzer (clang's libFuzzer and sanitizer runtimes), leak
  # checks and instruction counts, benchmarks, coverage
  clang libclang-rt-14-dev valgrind libbenchmark-dev lcov
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup-debian: missing packages (${missing[*]}); run as root to install them" >&2
    exit 2
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
