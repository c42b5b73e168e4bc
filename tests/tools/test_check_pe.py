"""tools/check_pe.py against this build's own programs and copies of them with one fault planted:
the check must pass on what the build made and name each planted fault. Reads files only, so it
runs for an architecture this machine cannot execute too."""
import os
import shutil
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.environ.get("QUORVANE_SRC", os.path.join(os.path.dirname(__file__), "..", "..")),
                                "tools"))
import check_pe  # noqa: E402

BIN = os.environ.get("QUORVANE_BIN", "")
ARCH = os.environ.get("QUORVANE_ARCH", "x86_64")
OTHER = {"i686": "x86_64", "x86_64": "i686"}[ARCH]


def program(name):
    path = os.path.join(BIN, name)
    if not os.path.isfile(path):
        raise unittest.SkipTest("%s was not built" % path)
    return path


class Planted:
    """A copy of a program in a folder of its own, with bytes changed at file offsets."""

    def __init__(self, source):
        self.dir = tempfile.mkdtemp(prefix="pecheck-")
        self.path = os.path.join(self.dir, os.path.basename(source))
        shutil.copyfile(source, self.path)
        self.image = check_pe.Image(self.path)

    def offset(self, rva):
        s = self.image.section_of(rva)
        return s[3] + rva - s[1]

    def write(self, rva, data):
        with open(self.path, "r+b") as f:
            f.seek(self.offset(rva))
            f.write(data)

    def faults(self):
        return check_pe.check_image(ARCH, self.path)[0]

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def import_entries(image):
    """(dll, function, hint/name rva, slot rva) of each by-name import of the import directory."""
    rva = image.dirs[1][0]
    out = []
    while True:
        lookup, _, _, name_rva, first = struct.unpack("<IIIII", image.read(rva, 20))
        if not (lookup or name_rva or first):
            return out
        dll = image.cstr(name_rva)
        for (slot, _), (_, entry) in zip(image.thunks(first), image.thunks(lookup or first)):
            if not entry & image.ordinal_flag():
                out.append((dll, image.cstr(entry + 2), entry + 2, slot))
        rva += 20


def delay_slots(image):
    """(dll, slot rva) of each delay-load slot."""
    out = []
    for rva in check_pe.delay_descriptors(image):
        attrs, name, _, iat, inames, _, _, _ = struct.unpack("<8I", image.read(rva, 32))
        rebase = 0 if attrs & 1 else image.image_base
        for i, _ in enumerate(image.thunks(inames - rebase)):
            out.append((image.cstr(name - rebase), iat - rebase + i * image.ptr))
    return out


class BuiltPrograms(unittest.TestCase):
    def test_every_program_of_the_build_passes(self):
        if not os.path.isdir(BIN):
            self.skipTest("no build folder")
        self.assertEqual(check_pe.main([ARCH, BIN]), 0)

    def test_a_program_of_the_other_architecture_is_refused(self):
        faults, _, _ = check_pe.check_image(OTHER, program("quorvupdate.exe"))
        self.assertTrue(any("not " + OTHER in f for f in faults), faults)

    def test_export_lists_come_from_the_import_libraries(self):
        names = check_pe.exports(ARCH, "wininet.dll")
        self.assertIn("InternetOpenW", names)
        self.assertNotIn("InternetOpenW@20", names)  # the loader looks up the undecorated name
        self.assertIsNone(check_pe.exports(ARCH, "no-such-library.dll"))


class PlantedFaults(unittest.TestCase):
    def setUp(self):
        self.copy = Planted(program("quorvupdate.exe"))

    def tearDown(self):
        self.copy.close()

    def test_an_import_the_dll_does_not_export_is_named(self):
        dll, name, at, _ = next(e for e in import_entries(self.copy.image) if e[1] == "CreateFileW")
        self.copy.write(at, b"CreateFileQ")
        self.assertIn("import CreateFileQ: %s does not export it under that name" % dll, self.copy.faults())

    def test_an_import_from_an_unknown_dll_is_named(self):
        image = self.copy.image
        name_rva = struct.unpack("<IIIII", image.read(image.dirs[1][0], 20))[3]
        old = image.cstr(name_rva)
        self.copy.write(name_rva, b"Q" * (len(old) - 4))
        self.assertTrue(any("no import library lists" in f for f in self.copy.faults()))

    def test_delay_load_slots(self):
        slots = delay_slots(self.copy.image)
        if not slots:
            self.skipTest("this architecture's build delay-loads nothing")
        dll, slot = slots[0]
        zero = b"\0" * self.copy.image.ptr
        self.copy.write(slot, zero)
        self.assertTrue(any("starts out as 0" in f for f in self.copy.faults()))
        # Pointing at data instead of a thunk.
        data = next(s for s in self.copy.image.sections if not s[5] & (check_pe.SCN_CODE | check_pe.SCN_EXECUTE))
        value = self.copy.image.image_base + data[1]
        self.copy.write(slot, struct.pack("<Q" if self.copy.image.ptr == 8 else "<I", value))
        self.assertTrue(any("outside executable code" in f for f in self.copy.faults()))
        # Pointing at code that is not a resolving thunk: the program's entry point.
        pe = struct.unpack_from("<I", self.copy.image.data, 0x3C)[0]
        entry = struct.unpack_from("<I", self.copy.image.data, pe + 24 + 16)[0]
        self.copy.write(slot, struct.pack("<Q" if self.copy.image.ptr == 8 else "<I",
                                          self.copy.image.image_base + entry))
        self.assertTrue(any("does not resolve that slot" in f for f in self.copy.faults()))

    def test_an_import_pointer_outside_the_tables_that_starts_at_zero(self):
        image = self.copy.image
        slots = {e[3] for e in import_entries(image)} | {s for _, s in delay_slots(image)}
        pointer = None
        for name, secnum, value in image.symbols():
            if name.startswith("__imp_") and 0 < secnum <= len(image.sections):
                rva = image.sections[secnum - 1][1] + value
                if rva not in slots and image.word(rva):
                    pointer = (name, rva)
                    break
        if pointer is None:
            self.skipTest("no link-time import pointer in this program")
        self.copy.write(pointer[1], b"\0" * image.ptr)
        self.assertTrue(any(pointer[0] in f and "holds 0" in f for f in self.copy.faults()))


if __name__ == "__main__":
    unittest.main()
