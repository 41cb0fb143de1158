#!/usr/bin/python3
"""Runs a Windows check only where the build trees it reads exist.

    if_built.py PRESET=TREE [PRESET=TREE ...] -- COMMAND [ARG ...]

A tree that was never configured (no CMakeCache.txt) makes the check
print one "SKIPPED: ..." line naming the preset that builds it and exit
77; otherwise COMMAND runs in its place. A tree that exists but lacks a
file the check reads is the check's own failure, not a skip.
"""
import os
import sys

SKIP = 77


def main():
    if "--" not in sys.argv[2:]:
        print("usage: if_built.py PRESET=TREE ... -- COMMAND ...", file=sys.stderr)
        return 2
    split = sys.argv.index("--")
    trees, command = sys.argv[1:split], sys.argv[split + 1:]
    absent = []
    for item in trees:
        preset, _, tree = item.partition("=")
        if not os.path.isfile(os.path.join(tree, "CMakeCache.txt")):
            absent.append(f"'{tree}' (cmake --preset {preset} && cmake --build --preset {preset}"
                          f"{' --target package' if preset == 'win32' else ''})")
    if absent:
        print(f"SKIPPED: the Windows build tree{'s' if len(absent) > 1 else ''} "
              f"{' and '.join(absent)} {'are' if len(absent) > 1 else 'is'} not built")
        return SKIP
    os.execv(command[0], command)


if __name__ == "__main__":
    sys.exit(main())
