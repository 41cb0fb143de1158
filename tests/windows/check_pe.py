#!/usr/bin/python3
"""Checks the Windows gauge modules and programs as Windows sees them.

    check_pe.py [--resources DIR] [--zip ZIP [--picture PNG]] [--program EXE:ARCH ...]
                [MODULE:ARCH ...]
    check_pe.py --self-test MODULE:ARCH

ARCH is i386 or amd64. For each module: machine type, the Windows version
in its header, export directory name and its two data exports, the exact
set of imported DLLs and routines (the system calls the gauge makes,
DirectSound by ordinal 1), no TLS directory, no start-up or unwind
sections and no constructor or destructor in the linker's lists, every clip
and bitmap resource against the files it was built from, and the version
record. With --zip, the release ZIP must hold the first module and the
setup program beside it, byte for byte, the pop-up window's picture (the
panel face), the install page, and the panel picture when one exists.

For each program: machine type, and every routine it imports is one that
Windows 98's own DLLs export and carry out (win98_exports.txt beside this
script); each one outside that list is named.

--self-test plants a constructor in a copy of MODULE (in memory) and runs
the start-up check on it, which must refuse it.

Prints one line per check and ends with "N passed, M failed"; exits 1 when
a check failed, 2 for bad arguments or an unreadable file.
"""
import argparse
import os
import sys
import zipfile

import pefile

from checklist import Checks, refuse
from gauge_names import BITMAP_FILES as BITMAPS, CLIPS

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
SETUP_PROGRAM = "VORNAK_TOWS-setup.exe"
WINDOW_PICTURE = "VORNAK_TOWS.bmp"
PREVIEW_PROGRAM = "VORNAK_TOWS-preview.exe"   # panel-host.exe under the kit's name
CLIP_SIZES = {"PB1": 41516, "PB2": 42748, "PB3": 53932, "PB4": 70580, "CLICK": 2476, "TUG": 55180}
# Exactly what the gauge calls: resources and its own name from KERNEL32,
# the host's window and DirectSound's entry by ordinal; the memory routines
# the compiler calls are the module's own. Anything more is start-up or
# run-time code that has crept back into the module, and a DLL more (such
# as msvcrt.dll, which Windows 95 as sold did not have) keeps it from
# loading somewhere.
# Both modules make the same calls.
SYSTEM_CALLS = {
    "KERNEL32.dll": ["FindResourceA", "GetModuleFileNameA", "GetModuleHandleA", "LoadResource",
                     "LockResource", "SizeofResource"],
    "USER32.dll": ["GetActiveWindow"],
    "DSOUND.dll": ["#1"],
}
# Operating system and subsystem version in the optional header: 4.0, which
# Windows 95 and NT 4 load, on the 32-bit module; 64-bit Windows begins at
# 5.2.
WINDOWS_VERSIONS = {"i386": (4, 0, 4, 0), "amd64": (4, 0, 5, 2)}
# Sections of the C run-time start-up and of unwinding, none of which the
# gauge needs.
RUNTIME_SECTIONS = {".tls", ".CRT", ".ctors", ".dtors", ".eh_frame", ".pdata", ".xdata"}
WORD_SIZES = {"i386": 4, "amd64": 8}
WIN98_EXPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "win98_exports.txt")
LANG_US = 1033
VERSION_STRINGS = {
    "FileVersion": "1.0",
    "ProductVersion": "1.0",
    "FileDescription": "FS98/2000 Gauge",
    "ProductName": "VORNAK_TOWS",
    "OriginalFilename": "VORNAK_TOWS.gau",
}


def resources(pe):
    """(type, name-or-number, language, data entry) for every resource."""
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for rtype in root.entries if root else []:
        type_key = str(rtype.name) if rtype.name is not None else rtype.id
        for entry in rtype.directory.entries:
            name_key = str(entry.name) if entry.name is not None else entry.id
            for lang in entry.directory.entries:
                yield type_key, name_key, lang.id, lang.data.struct


def imported(pe):
    """{DLL name: sorted routine names, an ordinal as #N}."""
    return {entry.dll.decode(): sorted(i.name.decode() if i.name else f"#{i.ordinal}"
                                       for i in entry.imports)
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


def startup_lists(text, word):
    """The constructor and destructor lists the linker writes at the end of
    .text (each an all-ones word, its entries, a zero word) as two lists of
    entries, or None when .text does not end in them. Nothing runs these in
    a module linked without the run-time start-up: an entry there is a
    record left uninitialised."""
    words = [int.from_bytes(text[i - word:i], "little")
             for i in range(len(text), word - 1, -word)]   # from the end backwards
    ones = (1 << (8 * word)) - 1
    lists = []
    at = 0
    for _ in range(2):
        if at >= len(words) or words[at] != 0:
            return None
        at += 1
        entries = []
        while at < len(words) and words[at] != ones:
            entries.append(words[at])
            at += 1
        if at >= len(words):
            return None
        at += 1
        lists.append(entries[::-1])
    destructors, constructors = lists
    return constructors, destructors


def check_startup(report, tag, pe, arch):
    text = next((sec for sec in pe.sections if sec.Name.rstrip(b"\0") == b".text"), None)
    lists = startup_lists(text.get_data()[:text.Misc_VirtualSize], WORD_SIZES[arch]) if text else None
    if lists is None:
        detail = "no constructor and destructor lists at the end of .text"
    else:
        detail = f"{len(lists[0])} constructors, {len(lists[1])} destructors"
    report.check(f"{tag}: no constructor or destructor to run at load",
                 lists is not None and lists == ([], []), detail)


def open_pe(report, tag, path, arch, **parse):
    """The PE file at `path` with its machine checked, or None (a failed
    check) when it is none."""
    try:
        pe = pefile.PE(path, **parse)
    except (OSError, pefile.PEFormatError) as error:
        report.check(f"{tag}: is a PE file", False, str(error))
        return None
    report.check(f"{tag}: machine {arch}", pe.FILE_HEADER.Machine == MACHINES[arch],
                 f"machine 0x{pe.FILE_HEADER.Machine:X}")
    return pe


def check_module(report, path, arch, resource_dir):
    tag = f"{os.path.basename(os.path.dirname(os.path.abspath(path)))}/{os.path.basename(path)}"
    pe = open_pe(report, tag, path, arch)
    if pe is None:
        return
    report.check(f"{tag}: is a DLL with an entry routine",
                 pe.is_dll() and pe.OPTIONAL_HEADER.AddressOfEntryPoint != 0)
    header = pe.OPTIONAL_HEADER
    versions = (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion,
                header.MajorSubsystemVersion, header.MinorSubsystemVersion)
    want_versions = WINDOWS_VERSIONS[arch]
    report.check(f"{tag}: operating system {want_versions[0]}.{want_versions[1]}, "
                 f"subsystem {want_versions[2]}.{want_versions[3]}", versions == want_versions,
                 "operating system {}.{}, subsystem {}.{}".format(*versions))

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

    # Imports: the DLLs, then routine by routine (an ordinal as #N).
    imports, want = imported(pe), SYSTEM_CALLS
    report.check(f"{tag}: imports from exactly {', '.join(sorted(want))}",
                 sorted(imports) == sorted(want), ", ".join(sorted(imports)) or "no imports")
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
    check_startup(report, tag, pe, arch)
    report.check(f"{tag}: relocations, for a load at another base",
                 ".reloc" in sections and not pe.FILE_HEADER.Characteristics & 0x0001, ", ".join(sections))

    # Resources, against the files they were built from.
    leaves = [(kind, name, lang, pe.get_data(d.OffsetToData, d.Size)) for kind, name, lang, d in resources(pe)]
    # Each clip and bitmap as its file holds it (a bitmap as a DIB: the
    # compiler keeps no file header), the clips at their sizes.
    wanted = [("WAV", clip, clip + ".wav", 0) for clip in CLIPS] + [(2, n, f, 14) for n, f in BITMAPS.items()]
    for kind, name, file_name, header in wanted:
        with open(os.path.join(resource_dir, file_name), "rb") as f:
            blob = f.read()[header:]
        found = [leaf[2:] for leaf in leaves if leaf[:2] == (kind, name)]
        size = CLIP_SIZES.get(name, len(blob))
        detail = f"{len(found)} found" if len(found) != 1 else \
            f"language {found[0][0]}, {len(found[0][1])} bytes, {'equal to' if found[0][1] == blob else 'other than'} " \
            f"the {len(blob)} of {file_name}"
        report.check(f"{tag}: {'BITMAP' if kind == 2 else kind} {name} ({file_name}), language 1033, "
                     f"{size} bytes as its file", found == [(LANG_US, blob)] and len(blob) == size, detail)
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


def read_win98_exports(path):
    """{DLL name in capitals, without .DLL: set of routine names}."""
    known = {}
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.split()
            if not line or line[0].startswith("#"):   # a comment; "DSOUND #1" is an ordinal
                continue
            if len(line) != 2:
                raise ValueError(f"{path}:{number}: expected 'DLL routine'")
            known.setdefault(line[0].upper(), set()).add(line[1])
    return known


def check_program(report, path, arch, known):
    tag = os.path.basename(path)
    pe = open_pe(report, tag, path, arch, fast_load=True)
    if pe is None:
        return
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    for dll, names in sorted(imported(pe).items(), key=lambda item: item[0].upper()):
        key = dll.upper().removesuffix(".DLL")
        if key not in known:
            report.check(f"{tag}: {dll} is a Windows 98 DLL", False, ", ".join(names))
            continue
        outside = [name for name in names if name not in known[key]]
        report.check(f"{tag}: all {len(names)} imports from {dll} are in Windows 98", not outside,
                     f"{len(outside)} outside: " + ", ".join(outside))


def self_test(path, arch):
    """Plants one constructor in the module's list, in memory, and checks
    the copy: the start-up check must fail on it."""
    pe = pefile.PE(path)
    word = WORD_SIZES[arch]
    text = next(sec for sec in pe.sections if sec.Name.rstrip(b"\0") == b".text")
    end = text.PointerToRawData + text.Misc_VirtualSize
    ones, entry = b"\xff" * word, pe.OPTIONAL_HEADER.ImageBase + pe.OPTIONAL_HEADER.AddressOfEntryPoint
    if text.SizeOfRawData < text.Misc_VirtualSize + word or \
            pe.__data__[end - 4 * word:end] != (ones + bytes(word)) * 2:
        return refuse("check_pe", f"{path} has no empty start-up lists at the end of .text to plant into")
    text.Misc_VirtualSize += word
    planted = bytearray(pe.write())
    planted[end - 4 * word:end + word] = ones + entry.to_bytes(word, "little") + bytes(word) + \
        ones + bytes(word)
    report = Checks()
    check_startup(report, "VORNAK_TOWS.gau with a planted constructor", pefile.PE(data=bytes(planted)),
                  arch)
    return report.finish()


def check_zip(report, zip_path, module_path, picture, resources):
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
    # The setup program and the preview as built beside the module, and the
    # pop-up window's picture, which is the panel face.
    setup = os.path.join(os.path.dirname(module_path), SETUP_PROGRAM)
    preview = os.path.join(os.path.dirname(module_path), "panel-host.exe")
    face = os.path.join(resources, "panel_face.bmp") if resources else None
    for name, built in ((SETUP_PROGRAM, setup), (PREVIEW_PROGRAM, preview), (WINDOW_PICTURE, face)):
        same = name in members and built is not None and os.path.exists(built)
        if same:
            with open(built, "rb") as f:
                same = archive.read(members[name]) == f.read()
        report.check(f"release ZIP holds {name} as built", same, ", ".join(sorted(members)))
    extra = sorted(set(members) - {"VORNAK_TOWS.gau", "INSTALL.txt", "panel.png", SETUP_PROGRAM,
                                   PREVIEW_PROGRAM, WINDOW_PICTURE})
    report.check("release ZIP holds nothing else", not extra, ", ".join(extra))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--resources")
    parser.add_argument("--zip")
    parser.add_argument("--picture")
    parser.add_argument("--program", action="append", default=[], metavar="EXE:ARCH")
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("modules", nargs="*", metavar="MODULE:ARCH")
    args = parser.parse_args()

    def binaries(items, what):
        found = []
        for item in items:
            path, _, arch = item.rpartition(":")
            if arch not in MACHINES or not path:
                refuse("check_pe", f"'{item}' is not {what}:i386 or {what}:amd64")
                return None
            if not os.path.isfile(path):
                refuse("check_pe", f"{path} is missing; build it first (cmake --build --preset "
                       f"{'win32' if arch == 'i386' else 'win64'})")
                return None
            found.append((path, arch))
        return found

    modules = binaries(args.modules, "MODULE")
    programs = binaries(args.program, "EXE")
    if modules is None or programs is None:
        return 2
    if args.self_test:
        if len(modules) != 1 or programs:
            return refuse("check_pe", "--self-test takes one MODULE:ARCH")
        return self_test(*modules[0])
    if not modules and not programs:
        return refuse("check_pe", "name a MODULE:ARCH or a --program EXE:ARCH to check")
    if modules and not args.resources:
        return refuse("check_pe", "checking a module needs --resources DIR")
    if args.zip and not os.path.isfile(args.zip):
        return refuse("check_pe", f"{args.zip} is missing; build it with cmake --build --preset win32 --target package")

    known = {}
    if programs:
        try:
            known = read_win98_exports(WIN98_EXPORTS)
        except (OSError, ValueError) as error:
            return refuse("check_pe", str(error))

    report = Checks()
    for path, arch in modules:
        check_module(report, path, arch, args.resources)
    if args.zip and modules:
        check_zip(report, args.zip, modules[0][0], args.picture, args.resources)
    for path, arch in programs:
        check_program(report, path, arch, known)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
