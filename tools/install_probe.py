"""What an installed client looks like from the Linux side of a Wine prefix: its folder, the
version its programs carry, its Add/Remove Programs entry and its shortcuts. Used by the release
tests and the update demo."""
import os
import struct
import subprocess

import winarch

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvane"
PRODUCT_NAME = "青杉工作台客户端"
# The fixed part of a version resource (VS_FIXEDFILEINFO) starts with this signature.
_FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def install_dir(arch):
    """Where setup puts the programs: the Program Files folder of the program's own architecture,
    which is "Program Files" both for x86_64 in a 64-bit prefix and for i686 in a 32-bit one."""
    return os.path.join(winarch.prefix(arch), "drive_c", "Program Files", "quorvane")


def product_version(path):
    """The product version of a Windows program's version resource ("1.0.3.12"), None without one."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    at = data.find(_FIXED_INFO_SIGNATURE)
    if at < 0 or at + 24 > len(data):
        return None
    ms, ls = struct.unpack_from("<II", data, at + 16)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def uninstall_entry(arch):
    """The Add/Remove Programs values of the installed client ({} when there is no entry)."""
    out = subprocess.run(winarch.command(arch, "reg", "query", UNINSTALL_KEY), env=winarch.env(arch),
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60).stdout
    values = {}
    # reg writes in the console's code page, which is 936 in our prefixes.
    for line in out.decode("gbk", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            value = parts[2] if len(parts) == 3 else ""
            values[parts[0]] = int(value, 16) if parts[1] == "REG_DWORD" else value
    return values


def shortcuts(arch):
    """The client's shortcuts that exist: Start-menu entries and the desktop one."""
    drive = os.path.join(winarch.prefix(arch), "drive_c")
    candidates = [
        os.path.join(drive, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", PRODUCT_NAME,
                     PRODUCT_NAME + ".lnk"),
        os.path.join(drive, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", PRODUCT_NAME,
                     "卸载" + PRODUCT_NAME + ".lnk"),
        os.path.join(drive, "users", "Public", "Desktop", PRODUCT_NAME + ".lnk"),
    ]
    return [p for p in candidates if os.path.exists(p)]
