#!/usr/bin/env python3
"""How a Windows program of either architecture is built for and started on this Linux machine.

This file is the only place that knows the Wine loaders, the Wine prefix of each architecture and
the mingw-w64 compiler names. CMake, the test harnesses, the shell scripts, the benchmarks and the
demo all go through it, as a module (`import winarch`) or as a command:

    winarch.py runnable              architectures this machine can execute, one a line
    winarch.py why-not ARCH          exit 0 if ARCH runs here, else 1 and the reason
    winarch.py env ARCH              shell `export` lines for ARCH (eval them)
    winarch.py run ARCH PROG [ARG..] run a Windows program (PROG may be a Linux path)
    winarch.py boot ARCH             create the prefix once, start a persistent wineserver
    winarch.py stop ARCH             end that wineserver and every program in the prefix
    winarch.py mingw ARCH            the mingw-w64 target triple (add -g++-posix, -windres ...)
    winarch.py toolchain ARCH        the CMake toolchain file
    winarch.py winpath PATH          the Windows form of a Linux path (Z:\\...)

i686 is the product's own architecture. Its loader (/usr/lib/wine/wine, which /usr/bin/wine,
winepath and wineboot all go through) cannot start on kernels without 32-bit support; x86_64
programs are then started with /usr/lib/wine/wine64 in a 64-bit prefix. Setting
QUORVANE_NO_I686=1 makes this file behave as if the 32-bit loader could not start, so that path
can be checked on any machine.
"""
import hashlib
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT_ARCH = "i686"
ARCHES = ("i686", "x86_64")

_LOADERS = {"i686": "/usr/lib/wine/wine", "x86_64": "/usr/lib/wine/wine64"}
_WINEARCH = {"i686": "win32", "x86_64": "win64"}
# The 64-bit server serves both kinds of prefix; the 32-bit one needs a 32-bit kernel ABI.
_SERVERS = {"i686": "/usr/lib/wine/wineserver64", "x86_64": "/usr/lib/wine/wineserver64"}
_TRIPLES = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}


def check_arch(arch):
    if arch not in ARCHES:
        raise ValueError("unknown architecture %r (one of %s)" % (arch, ", ".join(ARCHES)))
    return arch


def current_arch():
    """The architecture a harness was started for (ctest sets QUORVANE_ARCH per build); without
    one, the first this machine can run, the product's own first."""
    if os.environ.get("QUORVANE_ARCH"):
        return check_arch(os.environ["QUORVANE_ARCH"])
    arches = runnable()
    return arches[0] if arches else PRODUCT_ARCH


def loader(arch):
    return _LOADERS[check_arch(arch)]


def prefix(arch):
    """One prefix per architecture and per checkout: two clones tested at once on one machine
    must not share a wineserver (the single-instance name and window look-ups are per server)."""
    base = os.environ.get("QUORVANE_WINEPREFIX_BASE")
    if not base:
        tag = hashlib.sha1(ROOT.encode("utf-8")).hexdigest()[:8]
        base = os.path.expanduser("~/.wine-quorvane-" + tag)
    return "%s-%s" % (base, check_arch(arch))


def mingw(arch):
    return _TRIPLES[check_arch(arch)]


def cxx(arch):
    return mingw(arch) + "-g++-posix"


def toolchain(arch):
    return os.path.join(ROOT, "cmake", "toolchain-%s-mingw.cmake" % check_arch(arch))


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def env(arch, base=None):
    """The environment a Windows program of `arch` runs in: its own prefix, no debug output, no
    Mono/Gecko prompts, no proxies, and the Chinese locale (Wine's ANSI code page 936)."""
    result = dict(os.environ if base is None else base)
    result.update({
        "WINEPREFIX": prefix(arch),
        "WINEARCH": _WINEARCH[arch],
        "WINELOADER": loader(arch),
        "WINESERVER": _SERVERS[arch],
        "WINEDEBUG": result.get("WINEDEBUG") or "-all",
        "WINEDLLOVERRIDES": result.get("WINEDLLOVERRIDES") or "mscoree,mshtml=",
        "LC_ALL": "zh_CN.UTF-8",
        "LANG": "zh_CN.UTF-8",
        "QUORVANE_ARCH": arch,
    })
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "no_proxy", "NO_PROXY"):
        result.pop(name, None)
    return result


def use(arch):
    """Makes this process's environment the one of `arch`, for harnesses that start many programs."""
    wanted = env(arch)
    os.environ.clear()
    os.environ.update(wanted)


def command(arch, program, *args):
    """The argument list that starts a Windows program (a Linux path or a builtin like "reg")."""
    return [loader(arch), program] + [str(a) for a in args]


def why_not(arch):
    """None when this machine can execute programs of `arch`, else the reason."""
    check_arch(arch)
    if arch == "i686" and os.environ.get("QUORVANE_NO_I686") == "1":
        return "QUORVANE_NO_I686=1 (behaving as if 32-bit programs could not run)"
    if arch == "i686":
        # Written by bootstrap when the 32-bit part could not be installed (or was told to act so).
        try:
            with open(os.path.join(ROOT, ".deps", "no-i386"), encoding="utf-8") as f:
                reason = f.read().strip()
            if reason:
                return reason
        except OSError:
            pass
    path = loader(arch)
    if not os.path.exists(path):
        return "%s is not installed" % path
    try:
        probe = subprocess.run([path, "--version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    except OSError as error:
        return "%s cannot start: %s" % (path, error.strerror or error)
    except subprocess.TimeoutExpired:
        return "%s --version did not answer" % path
    if probe.returncode != 0:
        text = (probe.stderr or probe.stdout).decode("utf-8", "replace").strip().splitlines()
        return "%s cannot start: %s" % (path, text[-1] if text else "exit code %d" % probe.returncode)
    return None


def runnable():
    return [a for a in ARCHES if why_not(a) is None]


def server(arch, *args):
    subprocess.run([_SERVERS[arch]] + list(args), env=env(arch), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def boot(arch):
    """Creates the prefix once (parallel first starts of a new prefix collide), keeps one
    wineserver running for the whole session so that each program starts quickly, and lets Wine
    manage its own windows (an Xvfb display has no window manager to wait for)."""
    e = env(arch)
    if not os.path.isfile(os.path.join(e["WINEPREFIX"], "system.reg")):
        os.makedirs(os.path.dirname(e["WINEPREFIX"]), exist_ok=True)
        subprocess.run(command(arch, "wineboot", "--init"), env=e, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # wineboot returns while the new prefix is still being set up (services, font cache):
        # the first tests would otherwise run against a half-made prefix.
        server(arch, "-w")
    server(arch, "-p")
    subprocess.run(command(arch, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
                           "/d", "N", "/f"), env=e, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(arch):
    server(arch, "-k")


def _shell_quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def main(argv):
    if not argv:
        print(__doc__.strip())
        return 2
    verb, rest = argv[0], argv[1:]
    try:
        if verb == "runnable":
            for arch in runnable():
                print(arch)
            return 0
        if verb == "why-not":
            reason = why_not(rest[0])
            if reason:
                print(reason)
                return 1
            return 0
        if verb == "env":
            arch = check_arch(rest[0])
            # Not LC_ALL/LANG: a shell that already read the locale archive before bootstrap
            # generated zh_CN cannot switch to it ("setlocale: cannot change locale"); programs
            # get the locale from `run`, or from quorvane_wine.
            keys = ("WINEPREFIX", "WINEARCH", "WINELOADER", "WINESERVER", "WINEDEBUG", "WINEDLLOVERRIDES",
                    "QUORVANE_ARCH")
            e = env(arch)
            for key in keys:
                print("export %s=%s" % (key, _shell_quote(e[key])))
            print("unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY")
            return 0
        if verb == "run":
            arch = check_arch(rest[0])
            if len(rest) < 2:
                raise IndexError
            cmd = command(arch, *rest[1:])
            os.execve(cmd[0], cmd, env(arch))
        if verb == "boot":
            boot(check_arch(rest[0]))
            return 0
        if verb == "stop":
            stop(check_arch(rest[0]))
            return 0
        if verb == "mingw":
            print(mingw(rest[0]))
            return 0
        if verb == "toolchain":
            print(toolchain(rest[0]))
            return 0
        if verb == "winpath":
            print(win_path(rest[0]))
            return 0
    except (IndexError, ValueError) as error:
        print("winarch: %s" % (error or "missing argument"), file=sys.stderr)
        return 2
    print("winarch: unknown verb %r" % verb, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
