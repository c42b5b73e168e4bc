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
  - no source file of those folders reaches 500 lines (split it along its jobs instead);
  - the skin library's window-base members (m_PaintManager, GetSkinFolder, GetResourceType),
    which public versions of the library name differently, appear only in ui/skinned_window.*,
    so that moving to another version is a change there only;
  - client code calls the skin controls only in forms every version of the library has:
    SetCheck(bool), SelectItem(int[, bool]) and Selected(bool), not the stand-in's longer ones.

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
WINDOW_BASE = re.compile(r"\b(m_PaintManager|GetSkinFolder|GetResourceType)\b")
WINDOW_BASE_HOME = {os.path.join("ui", "skinned_window.h"), os.path.join("ui", "skinned_window.cpp")}
# Member calls and the most arguments the common form takes.
CALL_FORMS = {"SetCheck": 1, "SelectItem": 2, "Selected": 1}
MEMBER_CALL = re.compile(r"(?:->|\.)(" + "|".join(CALL_FORMS) + r")\s*\(")
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


def argument_count(line, start):
    """Arguments of the call whose "(" is at line[start - 1], or None when it does not close on
    the line."""
    depth, count, empty = 0, 1, True
    for c in line[start:]:
        if c in "([{":
            depth += 1
        elif c in ")]}":
            if depth == 0:
                return 0 if empty else count
            depth -= 1
        elif c == "," and depth == 0:
            count += 1
        if not c.isspace():
            empty = False
    return None


def skin_call_problems(rel, path):
    problems = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            code = line.split("//", 1)[0]
            if rel not in WINDOW_BASE_HOME:
                m = WINDOW_BASE.search(code)
                if m:
                    problems.append(f"{rel}:{number}: {m.group(1)} outside ui/skinned_window (use its Skin())")
            for m in MEMBER_CALL.finditer(code):
                count = argument_count(code, m.end())
                if count is not None and count > CALL_FORMS[m.group(1)]:
                    problems.append(f"{rel}:{number}: {m.group(1)} with {count} arguments "
                                    f"(a form only the stand-in has)")
    return problems


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
            if top not in ALLOWED:
                problems.extend(skin_call_problems(rel, path))
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
