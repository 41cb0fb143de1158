#!/usr/bin/env python3
"""mutate.py - plant one fault at a time in the gauge core and see whether a test notices.

Copies the tree into a scratch folder (build/mutate/src by default), configures
a build of its own there, and for each mutant: writes the one changed file,
recompiles that object, and, unless the object comes out byte for byte the same
as the original's (the fault then cannot change behaviour), relinks and runs the
fast tests in order of cost, stopping at the first that fails:

  unit      tests/gauge_tests        unit and behaviour tests
  hostile   hardening_tests          hostile host input
  replay    gauge-replay             every replay script against its trace
  linux     linux_tests, panel-host  the Linux module tests, one process a test,
                                     and panel-host's replay parity

Each run has a memory limit (RLIMIT_AS) and a time limit, from the unmutated
run's time. A mutant is killed, timed out (a hang is a failure a test run
sees), survived, did not build, or equivalent (same object code).

    tools/mutate.py                         # every mutant (see --list for the count)
    tools/mutate.py --sample 60 --seed 7    # 60 of them, the same 60 for the same seed
    tools/mutate.py --files sound/clip_loader.cpp --operators swap,seam-arg

Survivors print as `file:line: before -> after`. The run nices itself; CPU use
is one compile or link at a time unless --jobs says otherwise. Standard library
only; needs cmake, ninja and the packages the Linux build needs.
"""

import argparse
import collections
import hashlib
import json
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The gauge core. The device-independent part of sound/ is the walk, the
# loader and playback; the devices themselves are the platform's.
CORE = [
    "sequencer/pushback.cpp",
    "sequencer/controls.cpp",
    "host/gauge.cpp",
    "host/module.cpp",
    "platform/platform_posix.cpp",
    "sound/wave_reader.cpp",
    "sound/clip_loader.cpp",
    "sound/clip.cpp",
    "sequencer/pushback.h",   # last: most of the tree recompiles for each of its mutants
]
NOT_MEASURED = {
    "platform/platform_win32.cpp": "built only by the Windows cross builds, whose tests run under "
                                   "wine and are not among the fast tests",
}

OPERATORS = ["comparison", "constant", "logical", "delete", "swap", "seam-arg", "return-zero"]

# Calls that cross a seam: the host's services (Host()->...), the sound
# device (kSoundDevice....), the platform seam and the system calls behind it,
# and the clip layer the sequencer and lifecycle call.
SEAM_FUNCTIONS = {
    "ModuleFileName", "ModuleFromPath", "FindModuleResource", "FindModuleBitmap",
    "LoadWaveClip", "PlayClip", "ReleaseClip", "FillClipBuffer", "FindWaveResource",
    "dladdr", "dlopen", "dlsym", "dlclose", "realpath", "readlink",
}

# Survivors that cannot change what the gauge does, each with the reason:
# "FILE: BEFORE -> AFTER ## why", as the run prints them less the line number.
EQUIVALENT_LIST = os.path.join(ROOT, "tools", "mutate_equivalent.txt")

SKIP_DIRS = {"build", "out", ".git", "__pycache__"}
MEMORY_LIMIT = 2 << 30


# ---------------------------------------------------------------- tokens

PUNCT = sorted("""<<= >>= ... -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= ::
               { } [ ] ( ) ; : , . ? ~ ! + - * / % & | ^ = < > #""".split(), key=len, reverse=True)
TOKEN_RE = re.compile(r"""
    (?P<ws>[ \t\r\f\v]+|\\\n)
  | (?P<nl>\n)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*")
  | (?P<char>(?:u8|u|U|L)?'(?:\\.|[^'\\\n])+')
  | (?P<number>(?:0[xX][0-9a-fA-F']+|\d[\d']*\.?\d*(?:[eE][+-]?\d+)?|\.\d+(?:[eE][+-]?\d+)?)[uUlLfF]*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<punct>""" + "|".join(re.escape(p) for p in PUNCT) + ")", re.S | re.X)


class Tok:
    __slots__ = ("kind", "text", "start", "end", "line")

    def __init__(self, kind, text, start, end, line):
        self.kind, self.text, self.start, self.end, self.line = kind, text, start, end, line

    def __repr__(self):
        return "%s@%d" % (self.text, self.line)


def tokenize(source):
    """Significant tokens with offsets; comments and preprocessor lines dropped."""
    toks, pos, line, at_line_start, in_directive = [], 0, 1, True, False
    while pos < len(source):
        m = TOKEN_RE.match(source, pos)
        if not m:
            raise ValueError("cannot read line %d" % line)
        kind, text = m.lastgroup, m.group()
        if kind == "nl":
            at_line_start, in_directive = True, False
        elif kind in ("ws", "comment"):
            pass
        elif kind == "punct" and text == "#" and at_line_start:
            in_directive = True
        elif not in_directive:
            toks.append(Tok(kind, text, m.start(), m.end(), line))
            at_line_start = False
        line += text.count("\n")
        pos = m.end()
    return toks


def match_close(toks, i):
    """Index of the bracket closing toks[i]."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    open_, close, depth = toks[i].text, pairs[toks[i].text], 0
    for j in range(i, len(toks)):
        if toks[j].text == open_:
            depth += 1
        elif toks[j].text == close:
            depth -= 1
            if depth == 0:
                return j
    raise ValueError("unbalanced %s at line %d" % (open_, toks[i].line))


# ---------------------------------------------------------------- mutants

class Mutant:
    def __init__(self, path, operator, edits, line, before, after):
        self.path, self.operator, self.edits = path, operator, edits   # edits: [(start, end, text)]
        self.line, self.before, self.after = line, before, after

    def key(self):
        return "%s:%d:%s:%s" % (self.path, self.line, self.operator,
                                ",".join("%d-%d=%s" % e for e in self.edits))

    def apply(self, source):
        for start, end, text in sorted(self.edits, reverse=True):
            source = source[:start] + text + source[end:]
        return source

    def describe(self):
        return "%s:%d: %s -> %s" % (self.path, self.line, self.before, self.after)

    def unnumbered(self):
        return "%s: %s -> %s" % (self.path, self.before, self.after)


def known_equivalents():
    """The listed equivalent mutants: their unnumbered description -> why."""
    known = {}
    if os.path.exists(EQUIVALENT_LIST):
        with open(EQUIVALENT_LIST) as f:
            for line in f:
                if line.strip() and not line.startswith("#"):
                    mutant, _, why = line.rstrip("\n").partition(" ## ")
                    known[mutant.strip()] = why.strip()
    return known


def squeeze(text):
    return " ".join(text.split())


def line_span(source, start, end):
    a = source.rfind("\n", 0, start) + 1
    b = source.find("\n", end)
    return a, len(source) if b < 0 else b


def make(path, source, operator, edits):
    """A mutant with its before/after shown as the whole source lines it touches."""
    lo = min(e[0] for e in edits)
    hi = max(e[1] for e in edits)
    a, b = line_span(source, lo, hi)
    before = squeeze(source[a:b])
    shifted = [(s - a, e - a, t) for s, e, t in edits]
    after_text = source[a:b]
    for s, e, t in sorted(shifted, reverse=True):
        after_text = after_text[:s] + t + after_text[e:]
    after = squeeze(after_text) or "(nothing)"
    return Mutant(path, operator, edits, source.count("\n", 0, lo) + 1, before, after)


CASTS = {"static_cast", "reinterpret_cast", "const_cast", "dynamic_cast", "template"}
TYPE_WORDS = {"const", "static", "constexpr", "int", "char", "bool", "double", "float", "unsigned",
              "signed", "long", "short", "void", "auto", "struct", "enum", "typedef", "using",
              "extern", "int8_t", "int16_t", "int32_t", "int64_t", "uint8_t", "uint16_t",
              "uint32_t", "uint64_t", "size_t", "ssize_t"}
STATEMENT_WORDS = {"if", "for", "while", "switch", "do", "return", "else", "case", "default"}
ZEROS = {"0", "0u", "0U", "nullptr", "NULL", "false", "0.0"}


def template_brackets(toks):
    """Indices of '<' and '>' that are template brackets (after a cast keyword)."""
    skip = set()
    for i, t in enumerate(toks):
        if t.text in CASTS and i + 1 < len(toks) and toks[i + 1].text == "<":
            depth = 0
            for j in range(i + 1, len(toks)):
                if toks[j].text == "<":
                    depth += 1
                elif toks[j].text == ">":
                    depth -= 1
                elif toks[j].text == ">>":
                    depth -= 2
                skip.add(j)
                if depth <= 0:
                    break
    return skip


def function_bodies(toks):
    """(open, close) index pairs of every function body at namespace level."""
    bodies, i = [], 0
    while i < len(toks):
        if toks[i].text == "{":
            j = match_close(toks, i)
            prev = toks[i - 1].text if i else ""
            if prev in (")", "const", "noexcept", "override"):
                bodies.append((i, j))
                i = j + 1
                continue
            # namespaces, extern "C", structs and initialisers: look inside
        i += 1
    return bodies


class Statement:
    def __init__(self, first, last, kind, block):
        self.first, self.last, self.kind, self.block = first, last, kind, block   # last: the ';'


def parse_block(toks, i, out):
    """Statements of the block opening at toks[i]; returns the closing index."""
    block, j = [], i + 1
    while toks[j].text != "}":
        j = parse_statement(toks, j, out, block)
    return j


def parse_statement(toks, j, out, block):
    t = toks[j].text
    if t == "{":
        return parse_block(toks, j, out) + 1
    if t in ("if", "for", "while", "switch"):
        close = match_close(toks, j + 1)
        block.append(None)   # a compound statement breaks adjacency
        k = parse_statement(toks, close + 1, out, [])
        if t == "if" and k < len(toks) and toks[k].text == "else":
            k = parse_statement(toks, k + 1, out, [])
        return k
    if t == "do":
        block.append(None)
        k = parse_statement(toks, j + 1, out, [])
        close = match_close(toks, k + 1)   # while ( ... )
        return close + 2
    # A simple statement: up to the ';' outside any brackets.
    k = j
    while toks[k].text != ";":
        k = match_close(toks, k) + 1 if toks[k].text in "([{" else k + 1
    kind = classify(toks, j, k)
    s = Statement(j, k, kind, block)
    out.append(s)
    block.append(s)
    return k + 1


def classify(toks, j, k):
    first = toks[j]
    if first.text == "return":
        return "return"
    if first.text in ("break", "continue"):
        return "jump"
    if first.text in TYPE_WORDS:
        return "declaration"
    if first.kind == "ident":
        m = j
        while m + 2 <= k and toks[m + 1].text == "::" and toks[m + 2].kind == "ident":
            m += 2
        m += 1
        while m < k and toks[m].text in ("*", "&"):
            m += 1
        if m < k and toks[m].kind == "ident" and toks[m - 1].text != "." and toks[m - 1].text != "->":
            return "declaration"
    return "expression"


def has_call(toks, first, last):
    for m in range(first, last):
        if toks[m].kind == "ident" and toks[m + 1].text == "(" and toks[m].text not in \
                ("sizeof", "if", "while", "for", "return") and toks[m].text not in CASTS:
            return True
    return False


def split_args(toks, open_, close):
    """(first, last) token index ranges of each top-level argument."""
    args, start, m = [], open_ + 1, open_ + 1
    if close == open_ + 1:
        return args
    while m < close:
        if toks[m].text in "([{":
            m = match_close(toks, m) + 1
            continue
        if toks[m].text == ",":
            args.append((start, m - 1))
            start = m + 1
        m += 1
    args.append((start, close - 1))
    return args


def number_plus(text, delta):
    m = re.match(r"(.*?)([uUlLfF]*)$", text)
    body, suffix = m.group(1), m.group(2)
    if re.match(r"0[xX]", body):
        value = int(body.replace("'", ""), 16) + delta
        return None if value < 0 else "0x%X%s" % (value, suffix)
    if re.search(r"[.eE]", body):
        value = float(body) + delta
        return repr(value) if value >= 0 else "(%r)" % value
    value = int(body.replace("'", ""), 10) + delta
    if len(body) > 1 and body.startswith("0"):
        return None   # octal: none in the core
    return str(value) + suffix if value >= 0 else "(-1%s)" % suffix


def generate(path, source):
    toks = tokenize(source)
    mutants = []
    template = template_brackets(toks)
    bodies = function_bodies(toks)
    in_body = [False] * len(toks)
    statements = []
    for open_, close in bodies:
        for m in range(open_, close + 1):
            in_body[m] = True
        parse_block(toks, open_, statements)

    def span(first, last):
        return toks[first].start, toks[last].end

    # Comparisons: the boundary moved and the comparison negated.
    boundary = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
    negated = {"<": ">=", "<=": ">", ">": "<=", ">=": "<", "==": "!=", "!=": "=="}
    for i, t in enumerate(toks):
        if t.kind != "punct" or i in template:
            continue
        for table in (boundary, negated):
            if t.text in table:
                mutants.append(make(path, source, "comparison", [(t.start, t.end, table[t.text])]))
        if t.text in ("&&", "||"):
            other = "||" if t.text == "&&" else "&&"
            mutants.append(make(path, source, "logical", [(t.start, t.end, other)]))

    # Numeric constants +-1, except the sizes of declared arrays.
    for i, t in enumerate(toks):
        if t.kind != "number":
            continue
        if i >= 3 and toks[i - 1].text == "[" and toks[i + 1].text == "]" and \
                toks[i - 2].kind == "ident" and (toks[i - 3].kind == "ident" or toks[i - 3].text == "*"):
            continue
        for delta in (1, -1):
            new = number_plus(t.text, delta)
            if new is not None:
                mutants.append(make(path, source, "constant", [(t.start, t.end, new)]))

    # Statements deleted; adjacent calls swapped; returned values made 0.
    for s in statements:
        a, b = span(s.first, s.last)
        if s.kind in ("expression", "jump"):
            mutants.append(make(path, source, "delete", [(a, b, "")]))
        if s.kind == "return" and s.last > s.first + 1:
            expr = "".join(toks[m].text for m in range(s.first + 1, s.last))
            if expr not in ZEROS:
                mutants.append(make(path, source, "return-zero",
                                    [(toks[s.first + 1].start, toks[s.last - 1].end, "0")]))
        block = s.block
        at = block.index(s)
        if at + 1 < len(block) and block[at + 1] is not None:
            n = block[at + 1]
            if s.kind == n.kind == "expression" and has_call(toks, s.first, s.last) and \
                    has_call(toks, n.first, n.last):
                sa, sb = span(s.first, s.last)
                na, nb = span(n.first, n.last)
                mutants.append(make(path, source, "swap",
                                    [(sa, sb, source[na:nb]), (na, nb, source[sa:sb])]))

    # Adjacent elements of a list built inside a function swapped (the order
    # clips are released in lives in such a list).
    for i, t in enumerate(toks):
        if t.text == "{" and in_body[i] and i and toks[i - 1].text == "=":
            close = match_close(toks, i)
            elems = split_args(toks, i, close)
            for (f1, l1), (f2, l2) in zip(elems, elems[1:]):
                a1, b1 = span(f1, l1)
                a2, b2 = span(f2, l2)
                if source[a1:b1] != source[a2:b2]:
                    mutants.append(make(path, source, "swap",
                                        [(a1, b1, source[a2:b2]), (a2, b2, source[a1:b1])]))

    # Seam calls: each argument replaced by 0 (a null pointer where one is taken).
    for i, t in enumerate(toks):
        if not in_body[i] or t.kind != "ident" or i + 1 >= len(toks) or toks[i + 1].text != "(":
            continue
        seam = t.text in SEAM_FUNCTIONS or (
            i >= 2 and toks[i - 1].text in (".", "->") and toks[i - 2].text in (")", "kSoundDevice")
            and (toks[i - 2].text == "kSoundDevice" or toks[i - 4].text == "Host"))
        if not seam:
            continue
        close = match_close(toks, i + 1)
        for first, last in split_args(toks, i + 1, close):
            text = "".join(toks[m].text for m in range(first, last + 1))
            if text not in ZEROS:
                a, b = span(first, last)
                mutants.append(make(path, source, "seam-arg", [(a, b, "0")]))
    return mutants


def all_mutants(files):
    out = []
    for path in files:
        with open(os.path.join(ROOT, path)) as f:
            out.extend(generate(path, f.read()))
    seen, unique = set(), []
    for m in out:
        if m.key() not in seen:
            seen.add(m.key())
            unique.append(m)
    return unique


# ---------------------------------------------------------------- running

def limit_child():
    os.nice(0)
    resource.setrlimit(resource.RLIMIT_AS, (MEMORY_LIMIT, MEMORY_LIMIT))
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def run(cmd, cwd, timeout, limited=True, env=None):
    """(status, output); status None when the time ran out."""
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, start_new_session=True, env=env,
                            preexec_fn=limit_child if limited else None)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return None, ""


class Workspace:
    def __init__(self, args):
        self.args = args
        self.src = os.path.join(args.work, "src")
        self.build = os.path.join(args.work, "build")
        self.env = dict(os.environ, ALSOFT_LOGLEVEL="0", ALSOFT_DRIVERS="null",
                        ALSOFT_CONF="/dev/null", GTEST_COLOR="no")
        self.timeouts = {}
        self.found = {}
        self.alone = None

    def sync(self):
        """Copies the tree into the scratch folder, touching only files that differ
        and removing those the tree no longer has."""
        wanted = set()
        for dirpath, dirnames, filenames in os.walk(ROOT):
            rel = os.path.relpath(dirpath, ROOT)
            dirnames[:] = [d for d in dirnames if d not in SKIP_DIRS]
            wanted.update(os.path.normpath(os.path.join(rel, n)) for n in filenames)
        for dirpath, dirnames, filenames in os.walk(self.src):
            for name in filenames:
                rel = os.path.normpath(os.path.relpath(os.path.join(dirpath, name), self.src))
                if rel not in wanted:
                    os.remove(os.path.join(dirpath, name))
        for dirpath, dirnames, filenames in os.walk(ROOT):
            rel = os.path.relpath(dirpath, ROOT)
            dirnames[:] = [d for d in dirnames if d not in SKIP_DIRS and not (rel == "." and d == "build")]
            os.makedirs(os.path.join(self.src, rel), exist_ok=True)
            for name in filenames:
                a, b = os.path.join(dirpath, name), os.path.join(self.src, rel, name)
                with open(a, "rb") as f:
                    data = f.read()
                if os.path.exists(b):
                    with open(b, "rb") as f:
                        if f.read() == data:
                            continue
                with open(b, "wb") as f:
                    f.write(data)
                shutil.copymode(a, b)

    def configure(self):
        if os.path.exists(os.path.join(self.build, "build.ninja")):
            return
        status, out = run(["cmake", "-S", self.src, "-B", self.build, "-G", "Ninja",
                           "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                           "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG",
                           "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG",
                           "-DVORNAK_WERROR=OFF"] + self.linker(), ROOT, 600, limited=False)
        if status != 0:
            fail("configuring the scratch build failed:\n" + out[-2000:])

    @staticmethod
    def linker():
        """lld where it is installed: every mutant relinks a few test programs."""
        if shutil.which("ld.lld") is None:
            return []
        return ["-D%s=-fuse-ld=lld" % v for v in
                ("CMAKE_EXE_LINKER_FLAGS", "CMAKE_SHARED_LINKER_FLAGS", "CMAKE_MODULE_LINKER_FLAGS")]

    def ninja(self, targets, timeout=600):
        status, out = run(["ninja", "-j", str(self.args.jobs)] + targets, self.build, timeout,
                          limited=False)
        return status == 0, out

    def objects(self):
        """Each core .cpp file's object in the unit tests' link (for the same-code check)."""
        found = {}
        with open(os.path.join(self.build, "build.ninja")) as f:
            for line in f:
                m = re.match(r"build (\S+\.o): CXX_COMPILER\S* (\S+)", line)
                if not m:
                    continue
                rel = os.path.relpath(m.group(2), self.src)
                if rel in CORE and (rel not in found or "gauge_tests" in m.group(1)):
                    found[rel] = m.group(1)
        return found

    # --- the stages: (name, targets, function returning (ok or None, detail))
    def stages(self):
        return [("unit", ["gauge_tests", "odd_module"], self.unit),
                ("hostile", ["hardening_tests"], self.hostile),
                ("replay", ["gauge-replay"], self.replay),
                ("linux", ["VORNAK_TOWS", "linux_tests", "panel-host"], self.linux)]

    def find(self, name):
        """A built file of the scratch build by its name, wherever the build put it."""
        if name not in self.found:
            for dirpath, dirnames, filenames in os.walk(self.build):
                dirnames[:] = [d for d in dirnames if d != "CMakeFiles"]
                if name in filenames:
                    self.found[name] = os.path.join(dirpath, name)
                    break
            else:
                fail("the scratch build made no %s" % name)
        return self.found[name]

    def gtest(self, binary, name, extra=()):
        status, out = run([self.find(binary), "--gtest_brief=1", "--gtest_fail_fast"]
                          + list(extra), self.build, self.timeouts.get(name, 600), env=self.env)
        if status is None:
            return None, "timed out"
        failed = [l for l in out.splitlines() if l.startswith("[  FAILED  ]")]
        return status == 0, (failed[0][13:] if failed else "exit %s" % status)

    def unit(self):
        return self.gtest("gauge_tests", "unit")

    def hostile(self):
        return self.gtest("hardening_tests", "hostile")

    def scripts(self):
        folder = os.path.join(self.src, "tests", "replay")
        return sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".script"))

    def replay(self):
        for script in self.scripts():
            trace = script[:-len(".script")] + ".trace"
            if not os.path.exists(trace):
                continue
            status, out = run([self.find("gauge-replay"), script], self.build,
                              self.timeouts.get("replay", 600), env=self.env)
            if status is None:
                return None, "timed out"
            with open(trace) as f:
                if status != 0 or out != f.read():
                    return False, "replay " + os.path.basename(script)
        return True, ""

    def linux(self):
        binary = "linux_tests"
        if self.alone is None:
            # The unmutated run finds the tests that fail when run after the
            # others in one process (the module keeps its state from one test
            # to the next) but pass on their own, as CTest runs them; those
            # run in processes of their own from then on.
            status, out = run([self.find(binary), "--gtest_brief=1"], self.build,
                              600, env=self.env)
            if status is None:
                return None, "timed out"
            self.alone = [l[13:].split()[0] for l in dict.fromkeys(out.splitlines())
                          if l.startswith("[  FAILED  ]") and "," not in l and "listed" not in l]
        if self.alone:
            ok, detail = self.gtest(binary, "linux", ["--gtest_filter=-" + ":".join(self.alone)])
        else:
            ok, detail = self.gtest(binary, "linux")
        if ok is not True:
            return ok, detail
        for name in self.alone:
            ok, detail = self.gtest(binary, "linux", ["--gtest_filter=" + name])
            if ok is not True:
                return ok, detail
        # panel-host with the module prints gauge-replay's trace (which the
        # replay stage has checked), less its clip lines.
        panel_host = self.find("panel-host")
        module = self.find("VORNAK_TOWS.so")
        for script in self.scripts():
            trace = script[:-len(".script")] + ".trace"
            if not os.path.exists(trace):
                continue
            status, actual = run([panel_host, "--module", module, "replay", script], self.build,
                                 self.timeouts.get("replay", 600), env=self.env)
            if status is None:
                return None, "timed out"
            with open(trace) as f:
                expected = re.sub(r"[0-9]+ play [A-Z0-9]+\n", "", f.read())
            actual = "".join(l for l in actual.splitlines(True) if not l.startswith("ALSA lib"))
            if status != 0 or actual != expected:
                return False, "parity " + os.path.basename(script)
        return True, ""


def fail(message):
    print("mutate.py: " + message, file=sys.stderr)
    sys.exit(2)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def baseline(ws):
    print("mutate: building the unmutated tree in %s" % ws.build, file=sys.stderr)
    targets = [t for _, ts, _ in ws.stages() for t in ts]
    ok, out = ws.ninja(targets, timeout=3600)
    if not ok:
        fail("the unmutated tree does not build:\n" + out[-2000:])
    for name, _, stage in ws.stages():
        started = time.monotonic()
        ok, detail = stage()
        took = time.monotonic() - started
        if ok is not True:
            fail("the unmutated tree fails the %s tests (%s); fix that first" % (name, detail))
        # A mutant that loops or slows to a crawl is stopped at ten times the
        # unmutated run, and never sooner than 20 s.
        ws.timeouts[name] = max(20.0, 10 * took)
        print("mutate: %-8s tests pass in %.1f s" % (name, took), file=sys.stderr)
    ws.timeouts["replay"] = max(ws.timeouts["linux"], 20.0)


def try_mutant(ws, mutant, objects, originals):
    path = os.path.join(ws.src, mutant.path)
    with open(path, "w") as f:
        f.write(mutant.apply(originals[mutant.path]))
    try:
        obj = objects.get(mutant.path)
        if obj:
            ok, out = ws.ninja([obj], timeout=300)
            if not ok:
                return "did not build", ""
            if digest(os.path.join(ws.build, obj)) == originals["#" + mutant.path]:
                return "equivalent", "same object code"
        for name, targets, stage in ws.stages():
            ok, out = ws.ninja(targets, timeout=600)
            if not ok:
                return "did not build", ""
            ok, detail = stage()
            if ok is None:
                return "timed out", name
            if ok is False:
                return "killed", name + ": " + detail
        return "survived", ""
    finally:
        with open(path, "w") as f:
            f.write(originals[mutant.path])


def summarize(records, seconds=None):
    """Prints the counts by operator, the score and the survivors."""
    tally = collections.defaultdict(collections.Counter)
    for r in records:
        tally[r["operator"]][r["outcome"]] += 1
    total = collections.Counter()
    print("\n%-12s %7s %9s %9s %10s %10s" % ("operator", "killed", "timed out", "survived",
                                            "not built", "same code"))
    for o in OPERATORS:
        c = tally.get(o)
        if not c:
            continue
        total.update(c)
        print("%-12s %7d %9d %9d %10d %10d" % (o, c["killed"], c["timed out"], c["survived"],
                                              c["did not build"], c["equivalent"]))
    known = known_equivalents()
    described = lambda r: "%s:%d: %s -> %s" % (r["file"], r["line"], r["before"], r["after"])
    unnumbered = lambda r: "%s: %s -> %s" % (r["file"], r["before"], r["after"])
    survivors = [r for r in records if r["outcome"] == "survived"]
    listed = [r for r in survivors if unnumbered(r) in known]
    left = [r for r in survivors if unnumbered(r) not in known]
    caught = total["killed"] + total["timed out"]
    measured = caught + len(left)
    print("\nmutation score: %d of %d non-equivalent mutants caught (%.1f%%)"
          % (caught, measured, 100.0 * caught / measured if measured else 100.0))
    print("  %d mutants%s: %d killed, %d timed out, %d survived (%d of them listed as equivalent "
          "in tools/mutate_equivalent.txt), %d did not build, %d gave the same object code as "
          "the original" % (len(records), "" if seconds is None else " run in %.0f s" % seconds,
                            total["killed"], total["timed out"], len(survivors), len(listed),
                            total["did not build"], total["equivalent"]))
    if listed:
        print("\nequivalent survivors:")
        for r in listed:
            print("  %s\n      %s" % (described(r), known[unnumbered(r)]))
    if left:
        print("\nsurvivors:")
        for r in left:
            print("  " + described(r))


def report(paths):
    """The summary of earlier --results files; a later file's outcome for a mutant wins."""
    # A mutant is known by its text and which of the same text it is, in
    # source order, not by its line: a rerun after the code moved still matches.
    merged = collections.OrderedDict()
    for path in paths:
        seen = collections.Counter()
        try:
            with open(path) as f:
                rows = [json.loads(line) for line in f if line.strip()]
            for r in sorted(rows, key=lambda r: (CORE.index(r["file"]) if r["file"] in CORE else 99,
                                                 r["line"])):
                text = (r["file"], r["operator"], r["before"], r["after"])
                seen[text] += 1
                merged[text + (seen[text],)] = r
        except (OSError, ValueError, KeyError) as e:
            fail("cannot read %s: %s" % (path, e))
    summarize(list(merged.values()))


def main():
    parser = argparse.ArgumentParser(description="Mutation run over the gauge core.")
    parser.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    parser.add_argument("--sample", type=int, default=0, help="run N mutants chosen by the seed")
    parser.add_argument("--files", default="", help="comma-separated core files (default all)")
    parser.add_argument("--operators", default="", help="comma-separated: " + ", ".join(OPERATORS))
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutate"),
                        help="scratch folder for the copy and its build (default build/mutate)")
    parser.add_argument("--jobs", type=int, default=2, help="ninja jobs (default 2)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--results", default="", help="also write one JSON line a mutant here")
    parser.add_argument("--rerun", default="",
                        help="run only the mutants that survived in this earlier --results file")
    parser.add_argument("--report", nargs="+", metavar="RESULTS",
                        help="print the summary of earlier --results files (a later file's "
                             "outcome for a mutant wins) and stop")
    args = parser.parse_args()

    if args.report:
        report(args.report)
        return 0
    files = [f.strip() for f in args.files.split(",") if f.strip()] or CORE
    for f in files:
        if f in NOT_MEASURED:
            fail("%s is not measured: %s" % (f, NOT_MEASURED[f]))
        if f not in CORE:
            fail("%s is not a core file (%s)" % (f, ", ".join(CORE)))
    operators = [o.strip() for o in args.operators.split(",") if o.strip()] or OPERATORS
    for o in operators:
        if o not in OPERATORS:
            fail("unknown operator '%s' (%s)" % (o, ", ".join(OPERATORS)))
    if args.sample < 0 or args.jobs < 1:
        fail("--sample and --jobs take positive numbers")

    mutants = [m for m in all_mutants(files) if m.operator in operators]
    if args.rerun:
        try:
            with open(args.rerun) as f:
                earlier = [json.loads(line) for line in f if line.strip()]
        except (OSError, ValueError) as e:
            fail("cannot read %s: %s" % (args.rerun, e))
        wanted = {(r["file"], r["operator"], r["before"], r["after"])
                  for r in earlier if r["outcome"] == "survived"}
        mutants = [m for m in mutants if (m.path, m.operator, m.before, m.after) in wanted]
    if args.sample and args.sample < len(mutants):
        mutants = random.Random(args.seed).sample(mutants, args.sample)
    order = {f: i for i, f in enumerate(CORE)}
    mutants.sort(key=lambda m: (order[m.path], m.edits[0][0], m.key()))
    if args.list:
        for m in mutants:
            print("%-12s %s" % (m.operator, m.describe()))
        count = collections.Counter(m.operator for m in mutants)
        print("%d mutants: %s" % (len(mutants), ", ".join("%s %d" % (o, count[o]) for o in OPERATORS)))
        return 0

    for tool in ("cmake", "ninja"):
        if shutil.which(tool) is None:
            fail("%s is not installed (tools/setup-debian.sh installs it)" % tool)
    try:
        os.nice(15)
    except OSError:
        pass
    for f, why in NOT_MEASURED.items():
        print("mutate: %s not measured: %s" % (f, why), file=sys.stderr)
    ws = Workspace(args)
    os.makedirs(args.work, exist_ok=True)
    ws.sync()
    ws.configure()
    baseline(ws)
    objects = ws.objects()
    originals = {}
    for f in CORE:
        with open(os.path.join(ws.src, f)) as fh:
            originals[f] = fh.read()
        if f in objects:
            originals["#" + f] = digest(os.path.join(ws.build, objects[f]))

    results = open(args.results, "w") if args.results else None
    done = []
    started = time.monotonic()
    for n, m in enumerate(mutants, 1):
        t0 = time.monotonic()
        outcome, detail = try_mutant(ws, m, objects, originals)
        done.append((m, outcome))
        print("[%d/%d] %-13s %-11s %s%s  (%.1f s)" % (n, len(mutants), outcome, m.operator,
              m.describe(), "  [" + detail + "]" if detail else "", time.monotonic() - t0),
              file=sys.stderr, flush=True)
        if results:
            results.write(json.dumps({"file": m.path, "line": m.line, "operator": m.operator,
                                      "before": m.before, "after": m.after, "outcome": outcome,
                                      "detail": detail}) + "\n")
            results.flush()
    # Leave the scratch tree's objects as the real code's for the next run.
    ws.ninja([t for _, ts, _ in ws.stages() for t in ts])

    summarize([dict(file=m.path, line=m.line, operator=m.operator, before=m.before, after=m.after,
                    outcome=outcome) for m, outcome in done], time.monotonic() - started)
    return 0


if __name__ == "__main__":
    sys.exit(main())
