#!/usr/bin/python3
"""Runs the shipped 32-bit module's own code on an emulated CPU (unicorn)
and checks that it keeps the host's binary interface.

    abi_check.py MODULE REPLAY_DIR

No wine and no 32-bit kernel: the module's sections are mapped at a base
other than its preferred one and its base relocations applied, its imports
point at stubs (KERNEL32's resource and name calls answer from the image's
own resources, DirectSound is a fake object whose methods are __stdcall
stubs), and a minimal host gives it the panel services. Then, for every
replay script in REPLAY_DIR with an expected trace, the host loads the
module afresh, runs its entry routine, reads Linkage and ImportTable, and
drives the seven gauge routines, the element value callbacks and the click
handlers through the script, printing the same trace as gauge-replay.

After every call the host makes into the module it checks that the callee
popped exactly the argument bytes pushed, kept EBX, ESI, EDI, EBP and a
clear direction flag, and left the x87 stack as it found it, but for one
double in ST0 from a value callback; and, throughout, that no byte was
written outside the module's writable sections, the records the host
handed it (the display's text buffer, locked sound buffers) and the stack
below the call. Last, one clip is swapped for an image whose 14-byte fmt
chunk ends it, right at the end of mapped memory: the clip must still be
made and played, from a format copy, with nothing read past the image.

Prints one line per check and ends with "N passed, M failed"; exit 1 on a
failed check, 2 when the module or unicorn is missing.
"""
import os
import struct
import sys

from checklist import Checks, first_difference, refuse
from gauge_names import BITMAPS, BUTTONS, TOKENS

try:
    import pefile
    from unicorn import Uc, UcError, UC_ARCH_X86, UC_MODE_32, UC_HOOK_CODE, UC_HOOK_MEM_WRITE
    from unicorn import x86_const as X
    from check_pe import resources
except ImportError as error:
    print(f"abi_check: {error}; run with /usr/bin/python3 (python3-unicorn, python3-pefile)",
          file=sys.stderr)
    sys.exit(2)

STUBS, STUB_SIZE = 0x7F000000, 0x10000
HOST, HOST_SIZE = 0x60000000, 0x100000
STACK, STACK_SIZE = 0x00100000, 0x100000
STACK_TOP = STACK + STACK_SIZE - 0x1000
TAIL_PAGE = 0x62000000          # one page for the hostile clip; the next is unmapped
SENTINEL = STUBS
WINDOW = 0x00012345             # what GetActiveWindow answers
MODULE_PATH = b"C:\\FS98\\GAUGES\\VORNAK_TOWS.gau"
STEP_LIMIT = 5_000_000          # instructions per run between two host stops
CALLEE_SAVED = [(X.UC_X86_REG_EBX, "EBX", 0x0B0B0B0B), (X.UC_X86_REG_ESI, "ESI", 0x05050505),
                (X.UC_X86_REG_EDI, "EDI", 0x0D0D0D0D), (X.UC_X86_REG_EBP, "EBP", 0x0E0E0E0E)]
LEFT_LAMP, RIGHT_LAMP = BITMAPS["LeftLamp"], BITMAPS["RightLamp"]
VARIABLES = {"hold": TOKENS["ParkingBrake"], "ready": TOKENS["OnGround"], "heading": TOKENS["Heading"]}

# IDirectSound and IDirectSoundBuffer, in vtable order: (name, argument
# bytes after the object pointer).
DEVICE_METHODS = [("QueryInterface", 8), ("AddRef", 0), ("Release", 0), ("CreateSoundBuffer", 12),
                  ("GetCaps", 4), ("DuplicateSoundBuffer", 8), ("SetCooperativeLevel", 8),
                  ("Compact", 0), ("GetSpeakerConfig", 4), ("SetSpeakerConfig", 4),
                  ("Initialize", 4)]
BUFFER_METHODS = [("QueryInterface", 8), ("AddRef", 0), ("Release", 0), ("GetCaps", 4),
                  ("GetCurrentPosition", 8), ("GetFormat", 12), ("GetVolume", 4), ("GetPan", 4),
                  ("GetFrequency", 4), ("GetStatus", 4), ("Initialize", 8), ("Lock", 28),
                  ("Play", 12), ("SetCurrentPosition", 4), ("SetFormat", 4), ("SetVolume", 4),
                  ("SetPan", 4), ("SetFrequency", 4), ("Stop", 0), ("Unlock", 16), ("Restore", 0)]


class Fault(Exception):
    """A call that could not finish: the run stops there."""


def tally():
    """What one load of the module did, summed over the loads by main."""
    return {"clicks": [], "descs": [], "formats": [], "filled": 0, "plays": 0, "calls": 0, "value_calls": 0}


def x87_double(mantissa, exponent):
    sign = -1.0 if exponent & 0x8000 else 1.0
    exponent &= 0x7FFF
    if exponent == 0 and mantissa == 0:
        return sign * 0.0
    if exponent == 0x7FFF:
        return float("nan") if mantissa << 1 & (2**64 - 1) else sign * float("inf")
    return sign * mantissa * 2.0 ** (exponent - 16383 - 63)


def wave_data(image):
    """The data chunk of a WAVE image (a plain walk; the clips are ours)."""
    pos = 12
    while pos + 8 <= len(image):
        kind, size = image[pos:pos + 4], struct.unpack_from("<I", image, pos + 4)[0]
        if kind == b"data":
            return image[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    return b""


class Host:
    """One load of the module on a fresh CPU, and the host around it."""

    def __init__(self, path, problems, tail_clip=None):
        self.problems = problems         # {check label: [details]}
        self.trace = []
        self.updates = 0
        self.values = {}
        self.stats = tally()
        self.devices = [0, 0]            # made, released
        self.buffers = [0, 0]
        self.pe = pefile.PE(path)
        self.uc = Uc(UC_ARCH_X86, UC_MODE_32)
        self.stubs = {}
        self.next_stub = STUBS + 16
        self.heap = HOST + 0x10000
        self.hit = None
        self.frames = []                 # stack limit of each call in progress
        self.locked = {}                 # buffer -> (address, bytes) while locked
        self.tail_clip = tail_clip       # (name, image) of the hostile clip
        self.last_clip = None
        self.load()

    # -- reporting --------------------------------------------------------
    def problem(self, label, detail):
        found = self.problems.setdefault(label, [])
        if len(found) < 5:
            found.append(detail)

    # -- memory -----------------------------------------------------------
    def u32(self, address):
        return struct.unpack("<I", self.uc.mem_read(address, 4))[0]

    def i32(self, address):
        return struct.unpack("<i", self.uc.mem_read(address, 4))[0]

    def put32(self, address, value):
        self.uc.mem_write(address, struct.pack("<I", value & 0xFFFFFFFF))

    def cstring(self, address, limit=256):
        data = bytes(self.uc.mem_read(address, limit))
        return data.split(b"\0", 1)[0]

    def alloc(self, size, align=16):
        self.heap = (self.heap + align - 1) & ~(align - 1)
        address = self.heap
        self.heap += size
        if self.heap > HOST + HOST_SIZE:
            raise Fault("host memory exhausted")
        return address

    def stub(self, label, handler, arg_bytes):
        address = self.next_stub
        self.next_stub += 16
        self.stubs[address] = (label, handler, arg_bytes)
        return address

    # -- loading ----------------------------------------------------------
    def load(self):
        pe, uc = self.pe, self.uc
        preferred = pe.OPTIONAL_HEADER.ImageBase
        self.base = 0x10000000 if preferred != 0x10000000 else 0x20000000
        self.size = (pe.OPTIONAL_HEADER.SizeOfImage + 0xFFF) & ~0xFFF
        uc.mem_map(self.base, self.size)
        uc.mem_write(self.base, pe.header[:pe.OPTIONAL_HEADER.SizeOfHeaders])
        self.writable = []
        self.code = []
        for section in pe.sections:
            start = self.base + section.VirtualAddress
            uc.mem_write(start, section.get_data()[:max(section.Misc_VirtualSize, 0) or None])
            extent = (start, start + max(section.Misc_VirtualSize, section.SizeOfRawData))
            if section.Characteristics & 0x80000000 and not section.Name.startswith(b".idata"):
                self.writable.append(extent)
            if section.Characteristics & 0x20000000:
                self.code.append(extent)
        # Base relocations: every 32-bit address moves by the same delta.
        delta = self.base - preferred
        self.relocations = 0
        for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
            for entry in block.entries:
                if entry.type == 0:
                    continue
                if entry.type != 3:
                    raise Fault(f"relocation of type {entry.type} at RVA 0x{entry.rva:X}")
                if not 0 <= entry.rva <= self.size - 4:
                    raise Fault(f"relocation at RVA 0x{entry.rva:X} outside the image")
                where = self.base + entry.rva
                self.put32(where, self.u32(where) + delta)
                self.relocations += 1
        uc.mem_map(STACK, STACK_SIZE)
        uc.mem_map(HOST, HOST_SIZE)
        uc.mem_map(STUBS, STUB_SIZE)
        uc.mem_write(STUBS, b"\xF4" * STUB_SIZE)      # hlt: never run, the hook stops first
        uc.mem_map(TAIL_PAGE, 0x1000)
        uc.hook_add(UC_HOOK_CODE, self.on_stub, begin=STUBS, end=STUBS + STUB_SIZE - 1)
        uc.hook_add(UC_HOOK_MEM_WRITE, self.on_write)
        self.resources = self.read_resources()
        self.bind_imports()
        self.make_services()

    def read_resources(self):
        return {(kind, name): (self.base + d.OffsetToData, d.Size) for kind, name, _, d in resources(self.pe)}

    def bind_imports(self):
        k32 = {"FindResourceA": (self.find_resource, 12), "SizeofResource": (self.sizeof_resource, 8),
               "LoadResource": (self.load_resource, 8), "LockResource": (lambda a: a[0], 4),
               "GetModuleFileNameA": (self.module_file_name, 12),
               "GetModuleHandleA": (self.module_handle, 4)}
        known = {"KERNEL32.dll": k32,
                 "USER32.dll": {"GetActiveWindow": (lambda a: WINDOW, 0)},
                 "DSOUND.dll": {"#1": (self.direct_sound_create, 12)}}
        for entry in self.pe.DIRECTORY_ENTRY_IMPORT:
            dll = entry.dll.decode()
            for imp in entry.imports:
                name = imp.name.decode() if imp.name else f"#{imp.ordinal}"
                if name in known.get(dll, {}):
                    handler, arg_bytes = known[dll][name]
                    address = self.stub(f"{dll}!{name}", handler, arg_bytes)
                else:
                    raise Fault(f"imports {dll}!{name}, which no stub answers")
                self.put32(self.base + imp.address - self.pe.OPTIONAL_HEADER.ImageBase, address)

    # -- running ----------------------------------------------------------
    def on_stub(self, uc, address, size, user):
        self.hit = address
        uc.emu_stop()

    def on_write(self, uc, access, address, size, value, user):
        end = address + size
        if STACK <= address and end <= (self.frames[-1] if self.frames else STACK):
            return
        if any(lo <= address and end <= hi for lo, hi in self.writable):
            return
        if self.text and self.text <= address and end <= self.text + self.text_size:
            return
        if any(lo <= address and end <= lo + n for lo, n in self.locked.values()):
            return
        eip = uc.reg_read(X.UC_X86_REG_EIP)
        self.problem("no write outside the module's data, the host's records and the stack",
                     f"{size} bytes at 0x{address:08X} from 0x{eip:08X}")

    def call(self, address, args, what, returns="int"):
        """Calls `address` as __stdcall with 32-bit `args`; returns EAX or ST0."""
        uc = self.uc
        self.stats["calls"] += 1
        saved = uc.context_save() if self.frames else None
        esp0 = uc.reg_read(X.UC_X86_REG_ESP) - 64 if self.frames else STACK_TOP
        sp = esp0 - 4 * len(args) - 4
        uc.mem_write(sp, struct.pack(f"<{len(args) + 1}I", SENTINEL, *[a & 0xFFFFFFFF for a in args]))
        uc.reg_write(X.UC_X86_REG_ESP, sp)
        for reg, _, marker in CALLEE_SAVED:
            uc.reg_write(reg, marker)
        uc.reg_write(X.UC_X86_REG_EFLAGS, 0x202)
        fpsw = uc.reg_read(X.UC_X86_REG_FPSW)
        top0 = fpsw >> 11 & 7
        self.frames.append(esp0)
        pc = address
        try:
            while True:
                self.hit = None
                try:
                    uc.emu_start(pc, 0xFFFFFFFF, count=STEP_LIMIT)
                except UcError as error:
                    eip = uc.reg_read(X.UC_X86_REG_EIP)
                    raise Fault(f"{what}: {error} at 0x{eip:08X}")
                if self.hit is None:
                    raise Fault(f"{what}: still running after {STEP_LIMIT} instructions")
                if self.hit == SENTINEL:
                    break
                pc = self.service(self.hit)
        finally:
            self.frames.pop()
        popped = uc.reg_read(X.UC_X86_REG_ESP) - sp
        if popped != 4 + 4 * len(args):
            self.problem("every routine pops exactly the argument bytes pushed",
                         f"{what} popped {popped - 4}, pushed {4 * len(args)}")
        kept = [name for reg, name, marker in CALLEE_SAVED if uc.reg_read(reg) != marker]
        if kept or uc.reg_read(X.UC_X86_REG_EFLAGS) & 0x400:
            self.problem("EBX, ESI, EDI, EBP and a clear direction flag kept",
                         f"{what} changed {', '.join(kept) or 'the direction flag'}")
        top = uc.reg_read(X.UC_X86_REG_FPSW) >> 11 & 7
        result = uc.reg_read(X.UC_X86_REG_EAX)
        if returns == "double":
            self.stats["value_calls"] += 1
            if top != (top0 - 1) & 7:
                self.problem("x87 stack balanced, a double in ST0 from each value callback",
                             f"{what} left TOP {top}, expected {(top0 - 1) & 7}")
                result = float("nan")
            else:
                result = x87_double(*uc.reg_read(X.UC_X86_REG_FP0 + top))
            uc.reg_write(X.UC_X86_REG_FPSW, fpsw)       # the host pops it
        elif top != top0:
            self.problem("x87 stack balanced, a double in ST0 from each value callback",
                         f"{what} left TOP {top}, expected {top0}")
            uc.reg_write(X.UC_X86_REG_FPSW, fpsw)
        if saved is not None:
            uc.context_restore(saved)
        return result

    def service(self, address):
        """Answers one stub the module called; returns where it goes on."""
        uc = self.uc
        if address not in self.stubs:
            raise Fault(f"the module jumped to 0x{address:08X}, no routine of the host")
        label, handler, arg_bytes = self.stubs[address]
        sp = uc.reg_read(X.UC_X86_REG_ESP)
        back = self.u32(sp)
        args = struct.unpack(f"<{arg_bytes // 4}I", uc.mem_read(sp + 4, arg_bytes))
        try:
            result = handler(args)
        except UcError as error:
            raise Fault(f"{label} was handed an address it cannot read or write: {error}")
        if result is None:
            raise Fault(f"the module called {label}, which the gauge never needs")
        uc.reg_write(X.UC_X86_REG_EAX, result & 0xFFFFFFFF)
        uc.reg_write(X.UC_X86_REG_ESP, sp + 4 + arg_bytes)
        return back

    # -- KERNEL32, USER32 ---------------------------------------------------
    def resource_key(self, pointer):
        return pointer if pointer < 0x10000 else self.cstring(pointer).decode("latin-1")

    def find_resource(self, args):
        module, name, rtype = args
        if module != self.base:
            self.problem("resources looked up in the module's own image", f"handle 0x{module:X}")
            return 0
        key = (self.resource_key(rtype), self.resource_key(name))
        if self.tail_clip and key == ("WAV", self.tail_clip[0]):
            self.last_clip = key[1]
            return 0xF00D
        if key not in self.resources:
            return 0
        self.last_clip = key[1] if key[0] == "WAV" else None
        return self.resources[key][0]

    def sizeof_resource(self, args):
        if args[1] == 0xF00D:
            return len(self.tail_clip[1])
        return next((size for address, size in self.resources.values() if address == args[1]), 0)

    def load_resource(self, args):
        if args[1] == 0xF00D:
            return TAIL_PAGE + 0x1000 - len(self.tail_clip[1])
        return args[1]

    def module_file_name(self, args):
        module, buffer, capacity = args
        if module != self.base:
            return 0
        text = MODULE_PATH[:max(capacity - 1, 0)]
        self.uc.mem_write(buffer, text + b"\0")
        return len(text)

    def module_handle(self, args):
        return self.base if args[0] and self.cstring(args[0]) == MODULE_PATH else 0

    # -- DirectSound --------------------------------------------------------
    def com_object(self, methods, handlers):
        vtable = self.alloc(4 * len(methods))
        obj = self.alloc(8)
        self.put32(obj, vtable)
        for i, (name, arg_bytes) in enumerate(methods):
            handler = handlers.get(name, lambda args: None)
            self.put32(vtable + 4 * i, self.stub(name, lambda args, h=handler: h(args), 4 + arg_bytes))
        return obj

    def direct_sound_create(self, args):
        guid, out, outer = args
        if guid or outer:
            self.problem("DirectSound asked for its default device", f"guid 0x{guid:X}, outer 0x{outer:X}")
        self.devices[0] += 1
        handlers = {
            "Release": lambda a: self.release(self.devices),
            "SetCooperativeLevel": lambda a: self.cooperative_level(a),
            "SetSpeakerConfig": lambda a: 0 if a[1] == 4 else self.problem(
                "speaker configuration stereo", f"{a[1]}") or 0,
            "CreateSoundBuffer": self.create_buffer,
        }
        self.put32(out, self.com_object(DEVICE_METHODS, handlers))
        return 0

    def release(self, counts):
        counts[1] += 1
        return 0

    def cooperative_level(self, args):
        if args[1] != WINDOW or args[2] != 1:
            self.problem("cooperative level normal, for the host's window",
                         f"window 0x{args[1]:X}, level {args[2]}")
        return 0

    def create_buffer(self, args):
        _, desc, out, outer = args
        size, flags, data_bytes, reserved, fmt = struct.unpack("<5I", self.uc.mem_read(desc, 20))
        self.stats["descs"].append((size, flags, reserved, outer))
        tag, channels, rate, per_second, align, bits = struct.unpack(
            "<HHIIHH", self.uc.mem_read(fmt, 16))
        name = self.last_clip
        inside = None
        if self.tail_clip and name == self.tail_clip[0]:
            image_end = TAIL_PAGE + 0x1000
            inside = image_end - len(self.tail_clip[1]) <= fmt < image_end
            if inside and fmt + 16 > image_end:
                self.problem("the 14-byte fmt clip: the format handed over is a whole copy",
                             f"format at 0x{fmt:X} runs {fmt + 16 - image_end} bytes past the image")
        self.stats["formats"].append((name, tag, channels, rate, per_second, align, bits, inside))
        memory = self.alloc(max(data_bytes, 1))
        buffer = {"name": name, "memory": memory, "bytes": data_bytes}
        handlers = {
            "Release": lambda a: self.release(self.buffers),
            "Lock": lambda a: self.lock(buffer, a),
            "Unlock": lambda a: self.unlock(buffer, a),
            "SetCurrentPosition": lambda a: 0 if a[1] == 0 else self.problem(
                "clips rewound to 0 before playing", f"{a[1]}") or 0,
            "Play": lambda a: self.play(buffer, a),
        }
        self.buffers[0] += 1
        self.put32(out, self.com_object(BUFFER_METHODS, handlers))
        return 0

    def lock(self, buffer, args):
        _, offset, size, region1, length1, region2, length2, flags = args
        if offset != 0 or size != buffer["bytes"] or flags != 0:
            self.problem("each buffer filled whole with one lock",
                         f"{buffer['name']}: offset {offset}, {size} of {buffer['bytes']} bytes")
        self.put32(region1, buffer["memory"])
        self.put32(length1, buffer["bytes"])
        self.put32(region2, 0)
        self.put32(length2, 0)
        self.locked[id(buffer)] = (buffer["memory"], buffer["bytes"])
        return 0

    def unlock(self, buffer, args):
        self.locked.pop(id(buffer), None)
        samples = bytes(self.uc.mem_read(buffer["memory"], buffer["bytes"]))
        if self.tail_clip and buffer["name"] == self.tail_clip[0]:
            image = self.tail_clip[1]
        else:
            address, size = self.resources[("WAV", buffer["name"])]
            image = bytes(self.uc.mem_read(address, size))
        if samples == wave_data(image):
            self.stats["filled"] += 1
        else:
            self.problem("each clip buffer holds its clip's samples exactly", buffer["name"])
        return 0

    def play(self, buffer, args):
        self.stats["plays"] += 1
        self.trace.append(f"{self.updates} play {buffer['name']}")
        return 0

    # -- panel services -------------------------------------------------------
    def make_services(self):
        self.text = 0
        self.text_size = 0
        self.image_record = self.alloc(16)
        self.areas = 0
        self.registered = False
        self.display = 0
        self.display_value = 0.0
        self.icons = {}
        named = {24: ("QueryElements", lambda a: 1, 4),
                 25: ("InstallElements", self.install_elements, 8),
                 26: ("InitializeElements", lambda a: 1, 4),
                 27: ("UpdateElements", self.update_elements, 4),
                 28: ("GenerateElements", lambda a: 1, 8),
                 29: ("PlotElements", lambda a: 1, 4),
                 31: ("KillElements", self.kill_elements, 4),
                 32: ("InstallMouseAreas", self.install_areas, 12),
                 33: ("RegisterMouseAreas", self.register_areas, 8),
                 34: ("UnregisterMouseAreas", self.unregister_areas, 8),
                 36: ("SendEvent", self.send_event, 8),
                 38: ("InitializeVariable", self.initialize_variable, 4),
                 40: ("ReadVariable", self.read_variable, 4)}
        self.services = self.alloc(4 * 64)
        for i in range(64):
            name, handler, arg_bytes = named.get(i, (f"service {i}", lambda a: None, 0))
            self.put32(self.services + 4 * i, self.stub(name, handler, arg_bytes))

    def elements(self, first):
        seen = []
        element = first
        while element and len(seen) < 16:
            seen.append(element)
            following = self.u32(element + 40)
            element = self.u32(following) if following else 0
        return seen

    def install_elements(self, args):
        self.icons = {}
        for element in self.elements(args[0]):
            kind = self.i32(element)
            if kind == 0:
                self.put32(element + 60, self.image_record)
            elif kind == 2:
                self.text_size = struct.unpack("<h", self.uc.mem_read(element + 292, 2))[0] + 1
                self.text = self.alloc(self.text_size)
                self.uc.mem_write(self.text, bytes(self.text_size))
                self.put32(element + 184, self.text)
                self.display = element
            elif kind == 4:
                self.icons[self.i32(element + 4)] = -1.0
        return 1

    def update_elements(self, args):
        for element in self.elements(args[0]):
            kind = self.i32(element)
            if kind == 2:
                self.uc.mem_write(element + 72, struct.pack("<d", float(self.updates)))
                callback = self.u32(element + 168)
                if callback:
                    self.display_value = self.call(callback, [element], "display value callback",
                                                   "double")
            elif kind == 4:
                callback = self.u32(element + 88)
                value = self.call(callback, [element], "lamp value callback", "double") \
                    if callback else -1.0
                self.icons[self.i32(element + 4)] = value
        return 1

    def kill_elements(self, args):
        for element in self.elements(args[0]):
            kind = self.i32(element)
            if kind == 2:
                self.put32(element + 184, 0)
            elif kind == 0:
                self.put32(element + 60, 0)
        self.display = 0
        self.text = 0
        self.icons = {}
        return 1

    def install_areas(self, args):
        if args[2] != self.image_record + 4:
            self.problem("mouse areas tied to the face's image record, second word",
                         f"0x{args[2]:X}, expected 0x{self.image_record + 4:X}")
        self.areas = args[0]
        return 1

    def register_areas(self, args):
        self.areas = args[0]
        self.registered = True
        return 1

    def unregister_areas(self, args):
        self.registered = False
        return 1

    def send_event(self, args):
        self.trace.append(f"{self.updates} event 0x{args[0]:X} {struct.unpack('<i', struct.pack('<I', args[1]))[0]}")
        return 1

    def read_variable(self, args):
        variable = args[0]
        token = self.i32(variable)
        value = self.values.get(token, 0.0)
        self.uc.mem_write(variable + 20, bytes(self.uc.mem_read(variable + 12, 8)))
        self.uc.mem_write(variable + 12, struct.pack("<d", value))
        return 1

    def initialize_variable(self, args):
        self.put32(args[0] + 4, 0)
        self.put32(args[0] + 8, 0)
        self.read_variable(args)
        self.uc.mem_write(args[0] + 20, bytes(self.uc.mem_read(args[0] + 12, 8)))
        return 1

    # -- the host's side of a flight ------------------------------------------
    def attach(self, checks=None):
        """Entry routine, exports, records: the checks a loader would make,
        reported to `checks` when given."""
        entry = self.base + self.pe.OPTIONAL_HEADER.AddressOfEntryPoint
        attached = self.call(entry, [self.base, 1, 0], "DllMain(process attach)")
        exports = {s.name.decode(): self.base + s.address for s in self.pe.DIRECTORY_ENTRY_EXPORT.symbols}
        linkage, imports = exports["Linkage"], exports["ImportTable"]
        in_code = lambda a: any(lo <= a < hi for lo, hi in self.code)
        in_image = lambda a: self.base <= a < self.base + self.size
        words = struct.unpack("<8I", self.uc.mem_read(linkage, 32))
        self.header = words[6]
        records = {
            "entry routine returns TRUE": attached == 1,
            "Linkage: id 0x13, init and deinit hooks in code, one gauge header":
                words[0] == 0x13 and in_code(words[1]) and in_code(words[2]) and
                words[3:6] == (0, 0, 0) and in_image(words[6]) and words[7] == 0,
            "ImportTable: the panel services asked for (0x0F), then the end":
                struct.unpack("<4I", self.uc.mem_read(imports, 16)) == (0x0F, 0, 0, 0),
        }
        self.put32(imports + 4, self.services)
        h = struct.unpack("<22I", self.uc.mem_read(self.header, 88))
        self.routines = dict(zip(["query", "install", "initialize", "update", "generate", "draw",
                                  "kill"], h[3:10]))
        elements = self.elements(self.u32(h[2]))
        kinds = [self.i32(e) for e in elements]
        records["gauge header: 610, name VORNAK_TOWS, seven routines in code, reserved 0, 100 mm"] = \
            h[0] == 610 and self.cstring(h[1]) == b"VORNAK_TOWS" and \
            all(in_code(r) for r in h[3:10]) and h[10] == 0 and h[11] == 100
        records["elements: face, display, right lamp, left lamp, each naming the header"] = \
            kinds == [0, 2, 4, 4] and all(self.u32(e + 32) == self.header for e in elements)
        self.call(words[1], [], "ModuleInit")
        self.module_deinit = words[2]
        for label, ok in records.items() if checks else ():
            checks.check(label, ok)

    def frame(self):
        self.updates += 1
        self.call(self.routines["update"], [], "GaugeUpdate")
        self.call(self.routines["generate"], [0], "GaugeGenerate")
        self.call(self.routines["draw"], [], "GaugeDraw")
        text = self.cstring(self.text, 6).decode("latin-1") if self.text else ""
        colour = self.u32(self.display + 208) if self.display else 0
        self.trace.append(f'{self.updates} display "{text}" 0x{colour:08X} {self.display_value:g}')
        self.trace.append(f"{self.updates} lamps {self.icons.get(LEFT_LAMP, -1.0):g} "
                          f"{self.icons.get(RIGHT_LAMP, -1.0):g}")

    def start(self):
        self.call(self.routines["query"], [], "GaugeQuery")
        self.call(self.routines["install"], [0x1234], "GaugeInstall")
        self.call(self.routines["initialize"], [], "GaugeInitialize")

    def kill(self):
        self.call(self.routines["kill"], [], "GaugeKill")

    def click(self, button):
        child = BUTTONS[button]
        areas = []
        area = self.areas
        while self.registered and self.i32(area) != 0:
            kind, x, y, w, h = struct.unpack("<5i", self.uc.mem_read(area, 20))
            flags, handler = self.u32(area + 28), self.u32(area + 36)
            if kind == 2:
                areas.append((x + w // 2, y + h // 2, flags, handler))
            area += 44
        if child < len(areas):
            x, y, flags, handler = areas[child]
            self.stats["clicks"].append(button)
            self.call(handler, [(y << 16) | (x & 0xFFFF), flags & 0x20000000], f"{button} click handler")

    def run_script(self, lines):
        for line in lines:
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            if words[0] == "set":
                self.values[VARIABLES[words[1]]] = float(words[2])
            elif words[0] == "click":
                self.click(words[1])
            elif words[0] == "tick":
                for _ in range(int(words[1]) if len(words) > 1 else 1):
                    self.frame()
            elif words[0] == "reload":
                self.kill()
                self.start()


def hostile_clip(resources_image):
    """A clip whose data comes first and whose 14-byte fmt body ends it."""
    samples = wave_data(resources_image)[:4000]
    fmt = struct.pack("<HHIIH", 1, 1, 22050, 44100, 2)
    body = b"WAVE" + b"data" + struct.pack("<I", len(samples)) + samples + \
        b"fmt " + struct.pack("<I", len(fmt)) + fmt
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    if len(sys.argv) != 3:
        return refuse("usage", "abi_check.py MODULE REPLAY_DIR")
    module, replay_dir = sys.argv[1:]
    if not os.path.isfile(module):
        return refuse("abi_check", f"{module} is missing; build it with cmake --build --preset win32")
    scripts = sorted(f for f in os.listdir(replay_dir) if f.endswith(".script") and
                     os.path.exists(os.path.join(replay_dir, f[:-7] + ".trace")))
    checks = Checks()
    problems = {}
    totals = tally()
    first = True
    for script in scripts:
        with open(os.path.join(replay_dir, script)) as f:
            lines = f.read().splitlines()
        with open(os.path.join(replay_dir, script[:-7] + ".trace")) as f:
            expected = f.read().splitlines()
        try:
            host = Host(module, problems)
            if first:
                checks.check(f"loaded at 0x{host.base:08X}, not its preferred 0x"
                             f"{host.pe.OPTIONAL_HEADER.ImageBase:08X}: {host.relocations} "
                             "relocations applied", host.relocations > 0)
            host.attach(checks if first else None)
            host.start()
            host.run_script(lines)
            host.kill()
            host.call(host.module_deinit, [], "ModuleDeinit")
            host.call(host.base + host.pe.OPTIONAL_HEADER.AddressOfEntryPoint,
                      [host.base, 0, 0], "DllMain(process detach)")
        except Fault as fault:
            checks.check(f"{script}: runs to its end", False, str(fault))
            continue
        first = False
        checks.check(f"{script}: trace matches ({len(expected)} lines: events, clips, display)",
                     host.trace == expected, first_difference(host.trace, expected))
        checks.check(f"{script}: every DirectSound device and buffer released "
                     f"({host.devices[0]} and {host.buffers[0]} made)",
                     host.devices[0] == host.devices[1] and host.buffers[0] == host.buffers[1]
                     and host.devices[0] >= 1 and host.buffers[0] == 6 * host.devices[0],
                     f"devices {host.devices}, buffers {host.buffers}")
        for key in totals:
            totals[key] += host.stats[key]

    descs, formats = totals["descs"], totals["formats"]
    checks.check(f"every buffer description is the 20-byte form, static buffer with controls "
                 f"({len(descs)} buffers)",
                 descs and all(d == (20, 0x000100E2, 0, 0) for d in descs),
                 repr(sorted(set(descs))))
    checks.check("every buffer format is 16-bit PCM with bits from the block alignment",
                 formats and all(f[1] == 1 and f[6] == 8 * f[5] // f[2] for f in formats),
                 repr(sorted(set(formats))[:3]))

    # The hostile clip: CLICK's samples, data first, a 14-byte fmt body last,
    # the image ending where mapped memory ends.
    try:
        host = Host(module, problems, tail_clip=("CLICK", None))
        address, size = host.resources[("WAV", "CLICK")]
        host.tail_clip = ("CLICK", hostile_clip(bytes(host.uc.mem_read(address, size))))
        host.uc.mem_write(TAIL_PAGE + 0x1000 - len(host.tail_clip[1]), host.tail_clip[1])
        host.attach()
        host.start()
        host.run_script(["set ready 1", "tick 2", "click left", "tick", "click plus", "tick"])
        made = [f for f in host.stats["formats"] if f[0] == "CLICK"]
        totals["clicks"] += host.stats["clicks"]
        checks.check("the plus key raises the push time on the display: 20 s to 25 s",
                     '4 display " 25sec" 0x0000DEDE 25' in host.trace,
                     next((line for line in host.trace if line.startswith("4 display")), ""))
        checks.check("a clip whose 14-byte fmt chunk ends the image: made from a copy of the "
                     "format with 16 bits per sample, played, nothing read past the image",
                     len(made) == 1 and made[0][6] == 16 and not made[0][7] and
                     "2 play CLICK" in host.trace, repr(made))
        host.kill()
    except Fault as fault:
        checks.check("a clip whose 14-byte fmt chunk ends the image: made and played", False,
                     str(fault))

    checks.check("every click handler called: " + ", ".join(sorted(BUTTONS)),
                 set(totals["clicks"]) == set(BUTTONS), ", ".join(sorted(set(totals["clicks"]))))
    for label in ["every routine pops exactly the argument bytes pushed",
                  "EBX, ESI, EDI, EBP and a clear direction flag kept",
                  "x87 stack balanced, a double in ST0 from each value callback",
                  "no write outside the module's data, the host's records and the stack"]:
        checks.check(f"{label} ({totals['calls']} calls, {totals['value_calls']} value callbacks)",
                     label not in problems, "; ".join(problems.pop(label, [])))
    for label, details in problems.items():
        checks.check(label, False, "; ".join(details))
    print(f"{totals['plays']} clips started, {totals['calls']} calls into the module")
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
