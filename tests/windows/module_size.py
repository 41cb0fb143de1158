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

from check_pe import resources
from checklist import refuse


def main():
    if len(sys.argv) < 2:
        return refuse("usage", "module_size.py MODULE ...")
    for path in sys.argv[1:]:
        if not os.path.isfile(path):
            return refuse("module_size", f"{path} is missing; build the win32 and win64 presets first")
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        payload = sum(d.Size for kind, _, _, d in resources(pe) if kind != 16)   # 16: the version record
        size = os.path.getsize(path)
        sections = ", ".join(s.Name.rstrip(b"\0").decode() + f" {s.SizeOfRawData}" for s in pe.sections)
        machine = "i386" if pe.FILE_HEADER.Machine == 0x14C else "amd64"
        print(f"{path} ({machine}): {size} bytes; resource payload {payload} bytes; "
              f"the rest {size - payload} bytes ({100.0 * payload / size:.1f}% payload)")
        print(f"  sections: {sections}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
