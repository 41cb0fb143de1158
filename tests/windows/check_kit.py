#!/usr/bin/python3
"""The release kit's install page, as a simulator user opens it.

    check_kit.py --zip ZIP --page packaging/INSTALL.txt --version V

INSTALL.txt in the ZIP must be the source page with the version filled in
and CRLF line ends throughout (the old Notepad shows LF-only text as one
line), plain ASCII in lines of at most 78 columns, hold every section a user
needs, list exactly the files the ZIP holds, and its panel.cfg examples must
parse as the simulator reads panel.cfg: [Section] headers, key=value lines
and gauge lines of the form

    gaugeNN=MODULE, X, Y[, W, H]          (FS98 and FS2000)
    gaugeNN=MODULE!GAUGE, X, Y[, W, H]    (FS2000 only)

naming this module. FS98 has no "!" form, so an example in it must be
introduced by a paragraph that says it is for FS2000 only; the same holds
for a pop-up window without the file= picture FS98 needs, or with a
size_mm of width and height. The pop-up window's picture in the ZIP is a
172 x 78 BMP.  The ZIP's entries carry one sane date.
"""

import argparse
import os
import re
import struct
import sys
import time
import zipfile

from checklist import Checks, refuse

MODULE = "VORNAK_TOWS"
GAUGE = "VORNAK_TOWS"
SECTIONS = ("What is in this kit", "Installing", "The panel.cfg lines", "Removing", "The panel",
            "A pushback, as you will hear it", "Troubleshooting", "Version")
TROUBLES = {"No sound": ("DirectSound", "sound card"),
            "The gauge is not shown": ("Name:", "Path:", "Size and place:"),
            "The aircraft does not move": ("slew", "parking brake", "ground")}
EXAMPLES = "The panel.cfg lines"
WINDOW_PICTURE = "VORNAK_TOWS.bmp"
FS2000_ONLY = "FS2000 only"


class CfgError(ValueError):
    pass


def parse_number(field, what, least):
    if not re.fullmatch(r"-?[0-9]+", field):
        raise CfgError("%s %r is not a whole number" % (what, field))
    if int(field) < least:
        raise CfgError("%s %s is below %d" % (what, field, least))
    return int(field)


def parse_gauge(line):
    """(number, module, gauge or None, x, y, size or None) of one gauge line,
    strictly as the host reads it; CfgError says what is wrong."""
    key, eq, value = line.partition("=")
    if not eq:
        raise CfgError("no '='")
    match = re.fullmatch(r"gauge([0-9]{2})", key)
    if not match:
        raise CfgError("key %r is not gauge and two digits" % key)
    fields = [f.strip() for f in value.split(",")]
    if len(fields) not in (3, 5):
        raise CfgError("%d fields; MODULE, X, Y and optionally W, H" % len(fields))
    module, bang, gauge = fields[0].partition("!")
    if not re.fullmatch(r"[A-Za-z0-9_.]+", module) \
            or (bang and not re.fullmatch(r"[A-Za-z0-9_]+", gauge)):
        raise CfgError("%r is not MODULE or MODULE!GAUGE" % fields[0])
    x, y = (parse_number(f, "position", 0) for f in fields[1:3])
    size = tuple(parse_number(f, "size", 1) for f in fields[3:]) or None
    return int(match.group(1)), module, gauge if bang else None, x, y, size


def parse_cfg_lines(lines):
    """Sections {name: [(key, value)]} of panel.cfg lines; CfgError on the
    first line the host would not read as intended."""
    sections, current = {}, None
    for line in lines:
        if line.startswith("["):
            if not re.fullmatch(r"\[(Window Titles|Window[0-9]{2})\]", line):
                raise CfgError("section header %r" % line)
            current = sections.setdefault(line[1:-1], [])
            continue
        key, eq, value = line.partition("=")
        if not eq or not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", key) or value != value.strip() \
                or not value:
            raise CfgError("%r is not key=value" % line)
        if current is None:
            raise CfgError("%r comes before any section" % line)
        if key.startswith("gauge"):
            try:
                parse_gauge(line)
            except CfgError as error:
                raise CfgError("%r: %s" % (line, error))
        current.append((key, value))
    return sections


def page_sections(text):
    """Heading -> its lines, for headings underlined with dashes."""
    lines = text.split("\n")
    found, name, underline = {}, None, False
    for i, line in enumerate(lines):
        if underline:
            underline = False
        elif i + 1 < len(lines) and line and re.fullmatch(r"-+", lines[i + 1]) \
                and len(lines[i + 1]) == len(line):
            name, underline = line, True
            found[name] = []
        elif name is not None:
            found[name].append(line)
    return found


def example_blocks(lines):
    """(runs of lines indented by exactly four spaces, the text of the
    paragraph just before each)."""
    blocks, block, paragraph = [], [], []
    for line in lines + [""]:
        if line.startswith("    ") and not line.startswith("     "):
            block.append(line[4:])
        elif block:
            blocks.append((block, " ".join(paragraph)))
            block, paragraph = [], []
        elif not line.strip():
            paragraph = []
        else:
            paragraph.append(line.strip())
    return blocks


def check_parser(report):
    good = ["gauge08=VORNAK_TOWS, 420, 310", "gauge03=Schweizer.Altimeter,17,78",
            "gauge08=VORNAK_TOWS!VORNAK_TOWS, 420, 310", "gauge00=A!B,0,0,172,78"]
    bad = ["gauge8=A, 1, 2", "gauge008=A!B, 1, 2", "Gauge08=A, 1, 2", "gauge08=A!, 1, 2",
           "gauge08=!B, 1, 2", "gauge08=A B, 1, 2", "gauge08=A, 1", "gauge08=A, 1, 2, 3",
           "gauge08=A, 1.5, 2", "gauge08=A, -1, 2", "gauge08=A, 1, 2, 0, 78", "gauge08=A, 1, , 2"]
    wrong = [line for line in good if not accepts(line)] + [line for line in bad if accepts(line)]
    report.check("the gauge line parser takes the host's forms and refuses near misses",
                 not wrong, ", ".join(wrong))


def accepts(line):
    try:
        parse_gauge(line)
        return True
    except CfgError:
        return False


def check_examples(report, lines):
    gauges, titles, popups = [], {}, {}
    for block, paragraph in example_blocks(lines):
        fs2000_only = FS2000_ONLY in paragraph
        label = "panel.cfg example parses: %s" % block[0]
        try:
            # A lone gauge line is a variant of the main panel's.
            sections = parse_cfg_lines(block if block[0].startswith("[") else ["[Window00]"] + block)
        except CfgError as error:
            report.check(label, False, str(error))
            continue
        report.check(label, True)
        titles.update(sections.pop("Window Titles", []))
        for name, keys in sections.items():
            entries = [parse_gauge("%s=%s" % kv) for kv in keys if kv[0].startswith("gauge")]
            bang = [e for e in entries if e[2] is not None]
            report.check("[%s]: gauge lines in the FS98 form, or said to be for FS2000 only"
                         % name, fs2000_only or not bang, repr(bang))
            numbers = [e[0] for e in entries]
            report.check("[%s]: gauge numbers unique" % name, len(set(numbers)) == len(numbers),
                         repr(numbers))
            gauges += entries
            if name != "Window00":
                popups[name] = (dict(keys), numbers, fs2000_only)
    for name, (values, numbers, fs2000_only) in popups.items():
        report.check("pop-up [%s] has a title, starts closed, has a size and gauges from 00"
                     % name, name in titles and values.get("visible") == "0"
                     and "size_mm" in values and numbers == list(range(len(numbers))),
                     repr(values))
        fs98 = values.get("file") == WINDOW_PICTURE \
            and re.fullmatch(r"[0-9]+", values.get("size_mm", "")) \
            and "position" in values and "ident" in values
        report.check("pop-up [%s] has FS98's keys (file=%s, size_mm of one number, position, "
                     "ident), or is said to be for FS2000 only" % (name, WINDOW_PICTURE),
                     fs2000_only or fs98, repr(values))
    report.check("examples put the gauge on the main panel and in a pop-up window",
                 gauges and popups, "pop-ups %r" % sorted(popups))
    wrong = [g for g in gauges
             if g[1] != MODULE or g[2] not in (None, GAUGE) or g[5] not in (None, (172, 78))]
    report.check("every example gauge line names %s at 172 x 78" % MODULE,
                 gauges and not wrong, repr(wrong))


def check_window_picture(report, archive, members):
    """The pop-up window's file= picture: a 172 x 78 BMP."""
    size = None
    if WINDOW_PICTURE in members:
        head = archive.read(members[WINDOW_PICTURE])[:26]
        if len(head) == 26 and head[:2] == b"BM" and struct.unpack("<I", head[14:18])[0] >= 40:
            size = struct.unpack("<ii", head[18:26])
    report.check("%s is a 172 x 78 BMP" % WINDOW_PICTURE,
                 size is not None and (size[0], abs(size[1])) == (172, 78), repr(size))


def check_dates(report, archive):
    dates = {info.date_time for info in archive.infolist()}
    newest = time.gmtime(time.time() + 86400)[:6]
    report.check("ZIP entries carry one date, after 1999 and not in the future",
                 len(dates) == 1 and all((2000,) <= d <= newest for d in dates), repr(sorted(dates)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--page", required=True, help="packaging/INSTALL.txt")
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    if not os.path.isfile(args.zip):
        return refuse("check_kit", f"{args.zip} is missing; build it with cmake --build --preset win32 --target package")

    report = Checks()
    check_parser(report)
    archive = zipfile.ZipFile(args.zip)
    members = {os.path.basename(n): n for n in archive.namelist() if not n.endswith("/")}
    if not report.check("ZIP holds INSTALL.txt", "INSTALL.txt" in members, ", ".join(members)):
        return report.finish()
    raw = archive.read(members["INSTALL.txt"])
    check_dates(report, archive)

    report.check("INSTALL.txt: CRLF throughout, last line included",
                 raw.endswith(b"\r\n") and raw.count(b"\n") == raw.count(b"\r\n")
                 and raw.count(b"\r") == raw.count(b"\r\n"),
                 "%d LF, %d CRLF" % (raw.count(b"\n"), raw.count(b"\r\n")))
    text = raw.replace(b"\r\n", b"\n").decode("latin-1")
    odd = sorted({c for c in text if not (" " <= c <= "~" or c == "\n")})
    report.check("INSTALL.txt: plain ASCII, no tabs", not odd, repr(odd))
    long_lines = [i + 1 for i, line in enumerate(text.split("\n")) if len(line) > 78]
    report.check("INSTALL.txt: lines of at most 78 columns", not long_lines, repr(long_lines))
    with open(args.page, encoding="ascii", errors="replace") as f:
        source = f.read().replace("@PROJECT_VERSION@", args.version)
    report.check("INSTALL.txt is packaging/INSTALL.txt with the version filled in",
                 text == source and "@" not in text)
    report.check("INSTALL.txt: 'Version %s' under its title" % args.version,
                 text.split("\n")[2] == "Version " + args.version, text.split("\n")[2])

    sections = page_sections(text)
    missing = [s for s in SECTIONS if s not in sections]
    report.check("INSTALL.txt: every section present", not missing, "missing " + ", ".join(missing))
    trouble = "\n" + "\n".join(sections.get("Troubleshooting", []))
    for name, words in TROUBLES.items():
        part = trouble.split("\n" + name + "\n")[1] if "\n" + name + "\n" in trouble else ""
        part = re.split(r"\n\S", part)[0]
        report.check("troubleshooting: '%s' covers %s" % (name, ", ".join(words)),
                     part and all(w in part for w in words))

    listed = {line.split()[0] for line in sections.get("What is in this kit", []) if line.strip()}
    report.check("the kit list names exactly the files in the ZIP", listed == set(members),
                 "listed %s, ZIP %s" % (sorted(listed), sorted(members)))
    report.check("no file is described as optional ('where included')",
                 "where included" not in text)
    check_examples(report, sections.get(EXAMPLES, []))
    check_window_picture(report, archive, members)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
