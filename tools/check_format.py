#!/usr/bin/env python3
"""Checks that the client's own C++ code is formatted as .clang-format says (clang-format
--dry-run --Werror, nothing is changed). platform/ keeps the style of the libraries it stands in
for and is not checked.

Formatting differs between clang-format releases, so the check holds the tree to the release
the project formats with (REQUIRED_MAJOR); with another release it says so and checks nothing,
and without clang-format at all it fails (tools/bootstrap.sh installs it).

To format a file: clang-format -i FILE.   Usage: check_format.py [repository root]
Prints each file that differs and exits 1; prints one summary line and exits 0 otherwise."""
import os
import re
import shutil
import subprocess
import sys

FOLDERS = ["app", "browser", "common", "login", "mainframe", "net", "process", "ui", "updater", "tests", "bench"]
SUFFIXES = (".h", ".hpp", ".cpp", ".cc")
SKIP_DIRS = {".git", "build", ".deps", "_deps"}
REQUIRED_MAJOR = 14
BATCH = 40


def sources(root):
    for top in FOLDERS:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if d not in SKIP_DIRS and not d.startswith("build"))
            for name in sorted(files):
                if name.endswith(SUFFIXES):
                    yield os.path.join(folder, name)


def major_version(tool):
    try:
        out = subprocess.run([tool, "--version"], capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    m = re.search(r"version (\d+)\.", out)
    return int(m.group(1)) if m else None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    tool = os.environ.get("CLANG_FORMAT") or shutil.which("clang-format")
    if not tool:
        print("format: clang-format not found (tools/bootstrap.sh installs it)")
        return 1
    major = major_version(tool)
    if major != REQUIRED_MAJOR:
        print(f"format: skipped: {tool} is release {major}, the tree is formatted with release {REQUIRED_MAJOR}")
        return 0
    files = list(sources(root))
    bad = []
    for i in range(0, len(files), BATCH):
        batch = files[i:i + BATCH]
        try:
            run = subprocess.run([tool, "--dry-run", "--Werror", "--style=file"] + batch, cwd=root,
                                 capture_output=True, text=True, timeout=300)
        except subprocess.TimeoutExpired:
            print("format: clang-format did not finish within 300 s")
            return 1
        if run.returncode == 0:
            continue
        named = {line.split(":", 1)[0] for line in run.stderr.splitlines() if ": error:" in line}
        bad.extend(sorted(os.path.relpath(p, root) for p in named) or ["(clang-format failed: "
                                                                       + run.stderr.strip()[:300] + ")"])
    for path in bad:
        print(f"format: {path} differs from .clang-format (clang-format -i {path})")
    if bad:
        return 1
    print(f"format: ok ({len(files)} files)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
