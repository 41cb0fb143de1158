#!/usr/bin/python3
"""Prints each module's file size beside the resources it carries.

    module_size.py MODULE ...

The clips and bitmaps are the payload; what is left is code, data, the
runtime linked in statically and the PE headers. A measurement, not a
check: it exits 0 whatever the numbers (2 when a module is missing).
"""
import os
import sys

import pefile


def main():
    if len(sys.argv) < 2:
        print("usage: module_size.py MODULE ...", file=sys.stderr)
        return 2
    for path in sys.argv[1:]:
        if not os.path.isfile(path):
            print(f"module_size: {path} is missing; build the win32 and win64 presets first",
                  file=sys.stderr)
            return 2
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        payload = 0
        root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
        for rtype in root.entries if root else []:
            if rtype.id == 16:   # the version record is not payload
                continue
            for entry in rtype.directory.entries:
                for lang in entry.directory.entries:
                    payload += lang.data.struct.Size
        size = os.path.getsize(path)
        sections = ", ".join(s.Name.rstrip(b"\0").decode() + f" {s.SizeOfRawData}" for s in pe.sections)
        machine = "i386" if pe.FILE_HEADER.Machine == 0x14C else "amd64"
        print(f"{path} ({machine}): {size} bytes; resource payload {payload} bytes; "
              f"the rest {size - payload} bytes ({100.0 * payload / size:.1f}% payload)")
        print(f"  sections: {sections}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
