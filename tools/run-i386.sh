#!/usr/bin/env bash
# Runs a command whose 32-bit (i386) programs go through qemu-i386, on a
# machine whose kernel runs no 32-bit code, without changing the machine:
#
#   tools/run-i386.sh COMMAND [ARG...]
#   tools/run-i386.sh --global     (root) the same entry in the machine's own
#                                  binfmt_misc, for kernels before 6.7
#
# The command runs in a user and mount namespace of its own, with a
# binfmt_misc instance of its own (Linux 6.7 and later mount one per user
# namespace) holding one entry: i386 ELF programs run by /usr/bin/qemu-i386
# (qemu-user from bookworm-backports, which tools/setup-debian.sh test
# installs). The entry takes precedence over the kernel's own ELF loader,
# so it applies where the kernel does run 32-bit code too. Its flags: P
# keeps the program's argv[0], O hands qemu the program already open, C
# keeps set-id credentials, F opens qemu now, so the entry works in any
# mount namespace below. Everything goes with the command's last process.
#
# Exit status: the command's; 125 with one line on stderr when no such
# namespace can be had here (qemu-i386 missing, user namespaces refused, a
# kernel before 6.7).
set -euo pipefail

qemu=/usr/bin/qemu-i386
if [ $# -eq 0 ]; then
  echo "run-i386: usage: tools/run-i386.sh COMMAND [ARG...] | --global" >&2
  exit 2
fi
if [ ! -x "$qemu" ]; then
  echo "run-i386: $qemu is missing (tools/setup-debian.sh test installs qemu-user)" >&2
  exit 125
fi
# The magic and mask are qemu's own for i386 executables and shared objects.
entry=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':POCF'
binfmt=/proc/sys/fs/binfmt_misc

if [ "$1" = --global ]; then
  if ! { [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null; }; then
    echo "run-i386: this machine has no binfmt_misc to register qemu-i386 in" >&2
    exit 125
  fi
  [ -e "$binfmt/qemu-i386" ] || echo "$entry" >"$binfmt/register"
  exit 0
fi
if ! unshare --user --map-root-user --mount true 2>/dev/null; then
  echo "run-i386: this machine refuses a user namespace (unshare --user), so no binfmt_misc of our own" >&2
  exit 125
fi

exec unshare --user --map-root-user --mount -- bash -c '
  set -e
  dir=/proc/sys/fs/binfmt_misc
  if ! mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null; then
    echo "run-i386: this kernel ($(uname -r)) mounts no binfmt_misc of a namespace'"'"'s own (Linux 6.7 and later do)" >&2
    exit 125
  fi
  echo "$1" >"$dir/register"
  shift
  exec "$@"' run-i386 "$entry" "$@"
