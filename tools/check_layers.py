#!/usr/bin/env python3
"""Checks the client's folder layering from the #include lines alone (no build needed).

  - client folders include only folders below their own in the README's declared order
    (app -> mainframe -> login, browser -> ui, process -> net -> common; folders named together
    on one step do not include each other); the updater uses net and common only;
  - no include cycle between the project's own folders;
  - product code (the folders above) includes nothing under tests/ or bench/;
  - nothing outside app/ (tests and benches included) includes a file of app/;
  - client folders include the skin library only through ui/skin.h (which keeps windowsx.h's
    macros away from the engine's DOM methods);
  - no source file of those folders reaches 500 lines (split it along its jobs instead).

Prints each violation and exits 1; prints one summary line and exits 0 otherwise.
Usage: check_layers.py [repository root]
"""
import os
import re
import sys

FOLDERS = ["app", "login", "mainframe", "browser", "ui", "process", "net", "common", "updater"]
# The declared downward order, top first: a folder may include folders of later steps only.
ORDER = [["app"], ["mainframe"], ["login", "browser"], ["ui", "process"], ["net"], ["common"]]
STEP = {folder: step for step, group in enumerate(ORDER) for folder in group}
# Folders outside the client's order and what each may use.
ALLOWED = {"updater": {"net", "common"}}
TEST_INCLUDE = re.compile(r'^\s*#\s*include\s*[<"](?:\.\./)*((?:tests|bench)/[^">]*)[">]')
MAX_LINES = 500
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")
SKIP_DIRS = {".git", "build", ".deps", "_deps", "node_modules"}
SKIN_HEADER = re.compile(r'^\s*#\s*include\s*[<"]UIlib\.h[">]')
SKIN_WRAPPER = os.path.join("ui", "skin.h")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([A-Za-z0-9_]+)/[^">]+[">]')


def sources(root, top):
    for folder, dirs, files in os.walk(os.path.join(root, top)):
        dirs[:] = [d for d in dirs if d not in SKIP_DIRS and not d.startswith("build")]
        for name in files:
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(folder, name)


def included_folders(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1)


def may_include(top, target):
    if top in ALLOWED:
        return target in ALLOWED[top]
    if top in STEP and target in STEP:
        return STEP[target] > STEP[top]
    return False


def find_cycle(edges):
    """One cycle of the folder graph as a list of folders, or None."""
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(edges):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    problems = []
    edges = {}
    witness = {}
    for top in FOLDERS:
        for path in sources(root, top):
            rel = os.path.relpath(path, root)
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = sum(1 for _ in f)
            if lines >= MAX_LINES:
                problems.append(f"{rel}: {lines} lines (keep it under {MAX_LINES})")
            if rel != SKIN_WRAPPER:
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        if SKIN_HEADER.match(line):
                            problems.append(f"{rel}:{number}: includes UIlib.h directly (use ui/skin.h)")
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = TEST_INCLUDE.match(line)
                    if m:
                        problems.append(f"{rel}:{number}: product code includes {m.group(1)}")
            for number, target in included_folders(path):
                if target != top and target in FOLDERS:
                    edges.setdefault(top, set()).add(target)
                    witness.setdefault((top, target), f"{rel}:{number}")
                    if not may_include(top, target):
                        problems.append(f"{rel}:{number}: {top} includes {target}/ (against the declared order)")

    cycle = find_cycle(edges)
    if cycle:
        steps = [f"{a} -> {b} ({witness[(a, b)]})" for a, b in zip(cycle, cycle[1:])]
        problems.append("include cycle between folders: " + "; ".join(steps))

    for top in sorted(os.listdir(root)):
        if top == "app" or top in SKIP_DIRS or top.startswith("build") or not os.path.isdir(os.path.join(root, top)):
            continue
        for path in sources(root, top):
            for number, target in included_folders(path):
                if target == "app":
                    problems.append(f"{os.path.relpath(path, root)}:{number}: includes app/ (only app/ may)")

    for problem in problems:
        print("layers: " + problem)
    if problems:
        return 1
    print(f"layers: ok ({sum(len(v) for v in edges.values())} folder dependencies, all downward)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
