#!/usr/bin/env python3
"""Checks the Windows programs of a build by reading their PE files, without running them, so
that a program of an architecture this machine cannot execute is still checked.

    check_pe.py ARCH FILE_OR_FOLDER...    e.g. check_pe.py i686 build/i686/bin

For every program:
- the machine type and the optional header's kind are those of ARCH;
- every function imported by name, from the import directory and from the delay-load
  directory, is exported under that exact name by the DLL it is imported from (the export
  lists are read from mingw-w64's import libraries of ARCH: the hint/name entry each of their
  members would put into a program is the name the loader looks up);
- every delay-load slot starts out pointing at a thunk in executable code that names that same
  slot and goes on into executable code (a slot that starts at 0 crashes at its first call);
- where the program has a symbol table, every `__imp_` symbol the code calls through is one of
  those slots or a pointer set at link time to executable code; never an absolute value, never
  a word that starts out as 0.
Prints one line per architecture, and each fault on a line of its own; exit code 1 on a fault.
"""
import glob
import os
import struct
import sys

MACHINES = {"i686": 0x14C, "x86_64": 0x8664}
MAGICS = {"i686": 0x10B, "x86_64": 0x20B}
TRIPLES = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}
SCN_CODE = 0x20
SCN_EXECUTE = 0x20000000


class PeError(Exception):
    pass


# --- export lists from mingw-w64 import libraries -----------------------------------------

def _ar_members(data):
    if not data.startswith(b"!<arch>\n"):
        raise PeError("not an archive")
    pos = 8
    while pos + 60 <= len(data):
        header = data[pos:pos + 60]
        size = int(header[48:58].decode("ascii").strip() or "0")
        name = header[0:16].decode("ascii", "replace").strip()
        body = data[pos + 60:pos + 60 + size]
        if name not in ("/", "//", "/SYM64/"):
            yield body
        pos += 60 + size + (size & 1)


def _short_import_name(member):
    """Name a short-format import object makes the loader look up (None for ordinals)."""
    if len(member) < 20:
        return None
    name_type = (struct.unpack_from("<H", member, 18)[0] >> 2) & 7
    symbol = member[20:].split(b"\0", 1)[0].decode("ascii", "replace")
    if name_type == 0:
        return None
    if name_type == 1:
        return symbol
    if symbol[:1] in "?@_":
        symbol = symbol[1:]
    if name_type == 3:
        symbol = symbol.split("@", 1)[0]
    return symbol


def _long_import_name(member):
    """The hint/name entry (.idata$6) of a long-format import member, if it has one."""
    if len(member) < 20:
        return None
    sections = struct.unpack_from("<H", member, 2)[0]
    optional = struct.unpack_from("<H", member, 16)[0]
    for i in range(sections):
        off = 20 + optional + 40 * i
        if off + 40 > len(member):
            return None
        name = member[off:off + 8].rstrip(b"\0")
        if name == b".idata$6":
            size, raw = struct.unpack_from("<II", member, off + 16)
            entry = member[raw + 2:raw + size]
            text = entry.split(b"\0", 1)[0]
            return text.decode("ascii", "replace") if text else None
    return None


_export_cache = {}


def exports(arch, dll):
    """The names `dll` exports, from mingw-w64's import library for it; None if there is none."""
    key = (arch, dll.lower())
    if key in _export_cache:
        return _export_cache[key]
    base = dll.lower()
    if base.endswith(".dll"):
        base = base[:-4]
    names = None
    lib = "/usr/%s/lib/lib%s.a" % (TRIPLES[arch], base)
    if os.path.isfile(lib):
        names = set()
        with open(lib, "rb") as f:
            data = f.read()
        for member in _ar_members(data):
            if member[:4] == b"\0\0\xff\xff":
                name = _short_import_name(member)
            else:
                name = _long_import_name(member)
            if name:
                names.add(name)
    _export_cache[key] = names
    return names


# --- PE reading ----------------------------------------------------------------------------

class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, nsections, _, self.symtab, self.nsymbols, optsize, _) = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic == 0x10B:
            self.ptr = 4
            self.image_base = struct.unpack_from("<I", data, opt + 28)[0]
            dirs = opt + 96
            ndirs = struct.unpack_from("<I", data, opt + 92)[0]
        elif self.magic == 0x20B:
            self.ptr = 8
            self.image_base = struct.unpack_from("<Q", data, opt + 24)[0]
            dirs = opt + 112
            ndirs = struct.unpack_from("<I", data, opt + 108)[0]
        else:
            raise PeError("unknown optional header magic 0x%x" % self.magic)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(min(ndirs, 16))]
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, raw = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            chars = struct.unpack_from("<I", data, sec + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), va, max(vsize, rawsize),
                                  raw, rawsize, chars))

    def section_of(self, rva):
        for s in self.sections:
            if s[1] <= rva < s[1] + s[2]:
                return s
        return None

    def executable(self, rva):
        s = self.section_of(rva)
        return s is not None and bool(s[5] & (SCN_CODE | SCN_EXECUTE))

    def read(self, rva, size):
        s = self.section_of(rva)
        if s is None:
            raise PeError("address 0x%x lies in no section" % rva)
        off = rva - s[1]
        if off + size > s[4]:
            return b"\0" * size  # beyond the raw data: zero-filled at load
        return self.data[s[3] + off:s[3] + off + size]

    def word(self, rva):
        return struct.unpack("<Q" if self.ptr == 8 else "<I", self.read(rva, self.ptr))[0]

    def u32(self, rva):
        return struct.unpack("<I", self.read(rva, 4))[0]

    def cstr(self, rva):
        s = self.section_of(rva)
        if s is None:
            raise PeError("string at 0x%x lies in no section" % rva)
        start = s[3] + rva - s[1]
        end = self.data.find(b"\0", start, s[3] + s[4])
        if end < 0:
            raise PeError("unterminated string at 0x%x" % rva)
        return self.data[start:end].decode("ascii", "replace")

    def thunks(self, rva):
        """(slot rva, value) for each entry of a thunk array, up to its zero end."""
        while True:
            value = self.word(rva)
            if value == 0:
                return
            yield rva, value
            rva += self.ptr

    def ordinal_flag(self):
        return 1 << (self.ptr * 8 - 1)

    def symbols(self):
        """(name, section number, value) of each symbol of the COFF symbol table."""
        if not self.symtab or not self.nsymbols:
            return
        strtab = self.symtab + 18 * self.nsymbols
        i = 0
        while i < self.nsymbols:
            rec = self.data[self.symtab + 18 * i:self.symtab + 18 * i + 18]
            if len(rec) < 18:
                return
            if rec[:4] == b"\0\0\0\0":
                off = struct.unpack_from("<I", rec, 4)[0]
                end = self.data.find(b"\0", strtab + off)
                name = self.data[strtab + off:end].decode("ascii", "replace")
            else:
                name = rec[:8].rstrip(b"\0").decode("ascii", "replace")
            value, secnum = struct.unpack_from("<Ih", rec, 8)
            yield name, secnum, value
            i += 1 + rec[17]


# --- the checks ----------------------------------------------------------------------------

def _check_name(arch, dll, name, what, faults):
    names = exports(arch, dll)
    if names is None:
        faults.append("%s from %s: no import library lists what %s exports" % (what, dll, dll))
    elif name not in names:
        faults.append("%s %s: %s does not export it under that name" % (what, name, dll))


def _thunk_names_slot(image, thunk, slot):
    """True when the thunk's first instructions load or push the slot's address and then jump
    on into executable code: the shape of the thunks that resolve a slot on first call."""
    code = image.read(thunk, 24)
    slot_va = image.image_base + slot
    names = False
    for i in range(len(code) - 4):
        if image.ptr == 4 and code[i] in (0x68, 0xB8) and struct.unpack_from("<I", code, i + 1)[0] == slot_va:
            names = True
            rest = i + 5
            break
        if image.ptr == 8 and i + 7 <= len(code) and code[i] in (0x48, 0x4C) and code[i + 1] == 0x8D \
                and (code[i + 2] & 0xC7) == 0x05:
            if thunk + i + 7 + struct.unpack_from("<i", code, i + 3)[0] == slot:
                names = True
                rest = i + 7
                break
    if not names:
        return False
    for j in range(rest, len(code) - 4):
        if code[j] == 0xE9:
            return image.executable(thunk + j + 5 + struct.unpack_from("<i", code, j + 1)[0])
    return False


def delay_descriptors(image):
    """Addresses of the program's delay-load descriptors (32 bytes each)."""
    found = []
    rva = image.dirs[13][0] if len(image.dirs) > 13 else 0
    while rva and image.section_of(rva):
        if not any(struct.unpack("<8I", image.read(rva, 32))[1:5]):
            break
        found.append(rva)
        rva += 32
    for name, secnum, value in image.symbols():
        if name.startswith("__DELAY_IMPORT_DESCRIPTOR_") and 0 < secnum <= len(image.sections):
            at = image.sections[secnum - 1][1] + value
            if at not in found:
                found.append(at)
    return found


def check_image(arch, path):
    """Faults found in one program, and counts (imports, delay-loaded)."""
    faults = []
    image = Image(path)
    if image.machine != MACHINES[arch] or image.magic != MAGICS[arch]:
        faults.append("machine 0x%x / optional header 0x%x, not %s" % (image.machine, image.magic, arch))
        return faults, 0, 0
    slots = set()
    imports = delayed = 0
    # Import directory.
    rva, size = image.dirs[1] if len(image.dirs) > 1 else (0, 0)
    if rva:
        pos = rva
        while True:
            lookup, _, _, name_rva, first = struct.unpack("<IIIII", image.read(pos, 20))
            if not (lookup or name_rva or first):
                break
            dll = image.cstr(name_rva)
            for (slot, value), (_, entry) in zip(image.thunks(first), image.thunks(lookup or first)):
                slots.add(slot)
                imports += 1
                if entry & image.ordinal_flag():
                    continue
                _check_name(arch, dll, image.cstr(entry + 2), "import", faults)
            pos += 20
    # Delay-load descriptors: those of the directory, and those the linker left out of it (GNU ld
    # does not fill the directory entry; the thunks reach their descriptor directly), found by
    # the names dlltool gives them in the symbol table.
    for pos in delay_descriptors(image):
        attrs, name, _, iat, inames, _, _, _ = struct.unpack("<8I", image.read(pos, 32))
        if not (name or iat or inames):
            continue
        rebase = 0 if attrs & 1 else image.image_base
        dll = image.cstr(name - rebase)
        entries = list(image.thunks(inames - rebase))
        for i, (_, entry) in enumerate(entries):
            slot = iat - rebase + i * image.ptr
            slots.add(slot)
            delayed += 1
            if entry & image.ordinal_flag():
                func = "#%d" % (entry & 0xFFFF)
            else:
                func = image.cstr(entry - rebase + 2)
                _check_name(arch, dll, func, "delay-load import", faults)
            value = image.word(slot)
            thunk = value - image.image_base
            if value == 0:
                faults.append("delay-load slot of %s!%s starts out as 0: its first call jumps to 0" % (dll, func))
            elif not image.executable(thunk):
                faults.append("delay-load slot of %s!%s points outside executable code (0x%x)" % (dll, func, value))
            elif not _thunk_names_slot(image, thunk, slot):
                faults.append("delay-load slot of %s!%s points at code that does not resolve that slot" % (dll, func))
    # Every __imp_ symbol is a slot of one of the tables above.
    for name, secnum, value in image.symbols():
        if not name.startswith("__imp_") or name.startswith("__imp___tailMerge"):
            continue
        if secnum <= 0:
            faults.append("symbol %s is absolute (%d): calls through it reach no import slot" % (name, value))
            continue
        if secnum > len(image.sections):
            continue
        slot = image.sections[secnum - 1][1] + value
        if slot in slots:
            continue
        # Not a table slot: then a pointer the runtime library set at link time (mingw-w64's
        # emulations of some CRT functions are reached this way), which must point at code.
        target = image.word(slot) - image.image_base if image.word(slot) else None
        if target is None:
            faults.append("symbol %s (0x%x) is no import slot and holds 0: calls through it jump to 0" %
                          (name, image.image_base + slot))
        elif not image.executable(target):
            faults.append("symbol %s (0x%x) is no import slot and points outside executable code" %
                          (name, image.image_base + slot))
    return faults, imports, delayed


def programs(args):
    for a in args:
        if os.path.isdir(a):
            for p in sorted(glob.glob(os.path.join(a, "*.exe")) + glob.glob(os.path.join(a, "*.dll"))):
                yield p
        else:
            yield a


def main(argv):
    if len(argv) < 2 or argv[0] not in MACHINES:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    arch = argv[0]
    total_faults = checked = imports = delayed = 0
    for path in programs(argv[1:]):
        try:
            faults, n, d = check_image(arch, path)
        except (PeError, struct.error, OSError) as error:
            faults, n, d = ["cannot be read: %s" % error], 0, 0
        checked += 1
        imports += n
        delayed += d
        for fault in sorted(set(faults)):
            print("  %s: %s" % (os.path.basename(path), fault))
        total_faults += len(set(faults))
    if checked == 0:
        print("pe check %s: no program found in %s" % (arch, " ".join(argv[1:])))
        return 1
    verdict = "ok" if total_faults == 0 else "%d fault(s)" % total_faults
    print("pe check %s: %d programs, %d imports, %d delay-loaded: %s" % (arch, checked, imports, delayed, verdict))
    return 0 if total_faults == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
