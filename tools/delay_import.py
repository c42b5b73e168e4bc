#!/usr/bin/env python3
"""Makes a delay-load import library for one system DLL: the program then loads the DLL on the
first call into it instead of at process start. Used for DLLs that only later steps need (the
file dialog, version information, ...), since each DLL loaded before the first window is paid by
every start.

    delay_import.py TRIPLE DLL OUTPUT     e.g. delay_import.py x86_64-w64-mingw32 comdlg32 libx.a

The export list is read from mingw-w64's ordinary import library of that DLL. x86_64 only: the
i686 delay-load libraries this toolchain's dlltool makes leave every slot at 0 (their thunk
symbols come out absolute), so the first call crashes; i686 programs import these DLLs plainly.
"""
import os
import re
import subprocess
import sys
import tempfile


def main(triple, dll, output):
    if not triple.startswith("x86_64"):
        sys.exit("delay_import.py: %s: delay-load libraries are made for x86_64 only" % triple)
    implib = "/usr/%s/lib/lib%s.a" % (triple, dll)
    symbols = subprocess.run([triple + "-nm", implib], stdout=subprocess.PIPE, text=True, check=True).stdout
    names = set()
    for line in symbols.splitlines():
        match = re.search(r" I __imp_(\S+)$", line)
        if match:
            name = match.group(1)
            names.add(name)
    if not names:
        sys.exit("no exports found in %s" % implib)
    with tempfile.TemporaryDirectory() as work:
        definition = os.path.join(work, dll + ".def")
        with open(definition, "w") as f:
            f.write("LIBRARY %s.dll\nEXPORTS\n" % dll)
            for name in sorted(names):
                f.write(name + "\n")
        command = [triple + "-dlltool", "--input-def", definition, "--output-delaylib", output,
                   "--dllname", dll + ".dll"]
        subprocess.run(command, check=True)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
