#!/usr/bin/python3
"""Checks the Windows gauge modules as the simulator and Windows see them.

    check_pe.py --resources DIR [--zip ZIP [--picture PNG]] MODULE:ARCH ...

ARCH is i386 or amd64. For each module: machine type, export directory
name and its two data exports, the exact list of imported routines (the
system calls the gauge makes, DirectSound by ordinal 1), no TLS directory
and no start-up or unwind sections, every clip and bitmap resource against
the files it was built from, and the version record. With --zip,
the release ZIP must hold the first module, byte for byte, the install
page, and the panel picture when one exists.

Prints one line per check and ends with "N passed, M failed"; exits 1 when
a check failed, 2 for bad arguments or an unreadable file.
"""
import argparse
import os
import sys
import zipfile

import pefile

from checklist import Checks
from gauge_names import BITMAP_FILES as BITMAPS, CLIPS

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
CLIP_SIZES = {"PB1": 41516, "PB2": 42748, "PB3": 53932, "PB4": 70580, "CLICK": 2476, "TUG": 55180}
# Exactly what the gauge calls: resources and its own name from KERNEL32,
# the host's window, DirectSound's entry by ordinal, and the one memory
# routine each compiler leaves as a call. Anything more is start-up or
# run-time code that has crept back into the module.
SYSTEM_CALLS = {
    "KERNEL32.dll": ["FindResourceA", "GetModuleFileNameA", "GetModuleHandleA", "LoadResource",
                     "LockResource", "SizeofResource"],
    "USER32.dll": ["GetActiveWindow"],
    "DSOUND.dll": ["#1"],
}
IMPORTS = {
    "i386": dict(SYSTEM_CALLS, **{"msvcrt.dll": ["memcmp"]}),
    "amd64": dict(SYSTEM_CALLS, **{"msvcrt.dll": ["memcpy"]}),
}
# Sections of the C run-time start-up and of unwinding, none of which the
# gauge needs.
RUNTIME_SECTIONS = {".tls", ".CRT", ".eh_frame", ".pdata", ".xdata"}
LANG_US = 1033
VERSION_STRINGS = {
    "FileVersion": "1.0",
    "ProductVersion": "1.0",
    "FileDescription": "FS98/2000 Gauge",
    "ProductName": "VORNAK_TOWS",
    "OriginalFilename": "VORNAK_TOWS.gau",
}


def resource_leaves(pe):
    """(type, name-or-number, language, bytes) for every resource."""
    leaves = []
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return leaves
    for rtype in root.entries:
        type_key = str(rtype.name) if rtype.name is not None else rtype.id
        for entry in rtype.directory.entries:
            name_key = str(entry.name) if entry.name is not None else entry.id
            for lang in entry.directory.entries:
                data = lang.data.struct
                blob = pe.get_data(data.OffsetToData, data.Size)
                leaves.append((type_key, name_key, lang.id, blob))
    return leaves


def check_module(report, path, arch, resource_dir):
    tag = f"{os.path.basename(os.path.dirname(os.path.abspath(path)))}/{os.path.basename(path)}"
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        report.check(f"{tag}: is a PE file", False, str(error))
        return
    report.check(f"{tag}: machine {arch}", pe.FILE_HEADER.Machine == MACHINES[arch],
                 f"machine 0x{pe.FILE_HEADER.Machine:X}")
    report.check(f"{tag}: is a DLL with an entry routine",
                 pe.is_dll() and pe.OPTIONAL_HEADER.AddressOfEntryPoint != 0)

    # Exports: the directory's own name, and exactly the two records, both
    # data (outside any executable section).
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    export_name = pe.get_string_at_rva(exports.struct.Name).decode() if exports else ""
    report.check(f"{tag}: export directory named VORNAK_TOWS.gau", export_name == "VORNAK_TOWS.gau",
                 repr(export_name))
    names = sorted((s.name or b"").decode() for s in exports.symbols) if exports else []
    report.check(f"{tag}: exports exactly ImportTable and Linkage", names == ["ImportTable", "Linkage"],
                 ", ".join(names) or "no exports")
    code_symbols = []
    for s in exports.symbols if exports else []:
        section = pe.get_section_by_rva(s.address)
        if section is None or section.Characteristics & 0x20000000:   # IMAGE_SCN_MEM_EXECUTE
            code_symbols.append((s.name or b"?").decode())
    report.check(f"{tag}: both exports are data", not code_symbols, ", ".join(code_symbols))

    # Imports, routine by routine (an ordinal as #N).
    imports = {entry.dll.decode(): sorted(i.name.decode() if i.name else f"#{i.ordinal}"
                                          for i in entry.imports)
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    want = IMPORTS[arch]
    listing = "; ".join(f"{dll}: {', '.join(names)}" for dll, names in sorted(imports.items()))
    report.check(f"{tag}: imports exactly " + "; ".join(
        f"{dll} {', '.join(names)}" for dll, names in sorted(want.items())),
        imports == want, listing or "no imports")

    # No run-time start-up: no TLS directory, whose callbacks and block
    # Windows before Vista does not set up for a DLL loaded with
    # LoadLibrary, and no start-up or unwind sections.
    tls = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_TLS"]]
    report.check(f"{tag}: no TLS directory", tls.VirtualAddress == 0 and tls.Size == 0,
                 f"TLS directory at 0x{tls.VirtualAddress:X}, {tls.Size} bytes")
    sections = [sec.Name.rstrip(b"\0").decode() for sec in pe.sections]
    extra = sorted(RUNTIME_SECTIONS.intersection(sections))
    report.check(f"{tag}: no start-up or unwind sections", not extra, ", ".join(extra))
    report.check(f"{tag}: relocations, for a load at another base",
                 ".reloc" in sections and not pe.FILE_HEADER.Characteristics & 0x0001, ", ".join(sections))

    # Resources, against the files they were built from.
    leaves = resource_leaves(pe)
    for clip in CLIPS:
        found = [leaf for leaf in leaves if leaf[0] == "WAV" and leaf[1] == clip]
        detail = f"{len(found)} found"
        ok = len(found) == 1 and found[0][2] == LANG_US and len(found[0][3]) == CLIP_SIZES[clip]
        if found:
            detail = f"language {found[0][2]}, {len(found[0][3])} bytes"
        if ok:
            with open(os.path.join(resource_dir, clip + ".wav"), "rb") as f:
                ok = f.read() == found[0][3]
                detail = "bytes differ from the clip file"
        report.check(f"{tag}: WAV {clip}, language 1033, {CLIP_SIZES[clip]} bytes", ok, detail)
    for number, file_name in BITMAPS.items():
        found = [leaf for leaf in leaves if leaf[0] == 2 and leaf[1] == number]
        with open(os.path.join(resource_dir, file_name), "rb") as f:
            dib = f.read()[14:]   # the compiler keeps the DIB without the file header
        ok = len(found) == 1 and found[0][2] == LANG_US and found[0][3] == dib
        detail = f"{len(found)} found" if len(found) != 1 else \
            f"language {found[0][2]}, {len(found[0][3])} bytes, expected {len(dib)}"
        report.check(f"{tag}: BITMAP {number} ({file_name}), language 1033", ok, detail)
    expected_types = {"WAV", 2, 16}
    other = sorted({str(leaf[0]) for leaf in leaves if leaf[0] not in expected_types})
    report.check(f"{tag}: no other resource types", not other, ", ".join(other))

    # Version record.
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    numbers = (fixed[0].FileVersionMS, fixed[0].FileVersionLS,
               fixed[0].ProductVersionMS, fixed[0].ProductVersionLS) if fixed else None
    report.check(f"{tag}: file and product version 1.0 as numbers",
                 numbers == (0x00010000, 0, 0x00010000, 0), repr(numbers))
    tables, translations = {}, []
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                tables[table.LangID.decode().upper()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()}
            for var in getattr(entry, "Var", []):
                if b"Translation" in var.entry:
                    translations.append(var.entry[b"Translation"].lower())
    report.check(f"{tag}: string block 040904B0 only", list(tables) == ["040904B0"], ", ".join(tables))
    strings = tables.get("040904B0", {})
    for key, value in VERSION_STRINGS.items():
        report.check(f"{tag}: version {key} \"{value}\"", strings.get(key) == value,
                     repr(strings.get(key)))
    report.check(f"{tag}: translation 0x0409, 1200", translations == ["0x0409 0x04b0"], repr(translations))


def check_zip(report, zip_path, module_path, picture):
    try:
        archive = zipfile.ZipFile(zip_path)
    except (OSError, zipfile.BadZipFile) as error:
        report.check("release ZIP readable", False, str(error))
        return
    members = {os.path.basename(n): n for n in archive.namelist() if not n.endswith("/")}
    with open(module_path, "rb") as f:
        module = f.read()
    report.check("release ZIP holds the 32-bit VORNAK_TOWS.gau as built",
                 "VORNAK_TOWS.gau" in members and archive.read(members["VORNAK_TOWS.gau"]) == module,
                 ", ".join(sorted(members)))
    report.check("release ZIP holds the install page", "INSTALL.txt" in members)
    if picture and os.path.exists(picture):
        report.check("release ZIP holds the panel picture", "panel.png" in members)
    extra = sorted(set(members) - {"VORNAK_TOWS.gau", "INSTALL.txt", "panel.png"})
    report.check("release ZIP holds nothing else", not extra, ", ".join(extra))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--resources", required=True)
    parser.add_argument("--zip")
    parser.add_argument("--picture")
    parser.add_argument("modules", nargs="+", metavar="MODULE:ARCH")
    args = parser.parse_args()

    modules = []
    for item in args.modules:
        path, _, arch = item.rpartition(":")
        if arch not in MACHINES or not path:
            print(f"check_pe: '{item}' is not MODULE:i386 or MODULE:amd64", file=sys.stderr)
            return 2
        if not os.path.isfile(path):
            print(f"check_pe: {path} is missing; build it first (cmake --build --preset "
                  f"{'win32' if arch == 'i386' else 'win64'})", file=sys.stderr)
            return 2
        modules.append((path, arch))
    if args.zip and not os.path.isfile(args.zip):
        print(f"check_pe: {args.zip} is missing; build it with cmake --build --preset win32 "
              "--target package", file=sys.stderr)
        return 2

    report = Checks()
    for path, arch in modules:
        check_module(report, path, arch, args.resources)
    if args.zip:
        check_zip(report, args.zip, modules[0][0], args.picture)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
