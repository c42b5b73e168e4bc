#!/usr/bin/env python3
"""Time from process start to the first window on screen: quorvane.exe against a plain Win32
program that only opens a window, both started the same way under Wine in the same run,
interleaved (plain, login dialog, main window, plain, ...).

    python3 bench/client_startup.py [--bin BUILD/bin] [--runs 11]

Prints the median of each, the ratios, and where the client's time goes: the medians of its own
start-up marks from process start. The marks come from the test build (quorvane_testwaits.exe,
which alone writes them, to the file that QUORVANE_TIMELINE names), run apart from the timed runs
of the shipped program. Measured by a probe
(bench/client_window_probe.cpp, compiled here with mingw) that starts the program and polls for
its visible window.
"""
import argparse
import base64
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "updater"))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import updater_harness as h  # noqa: E402
import demo_platform  # noqa: E402


def build_probe(folder):
    exe = os.path.join(folder, "client_window_probe.exe")
    subprocess.run([h.winarch.cxx(h.ARCH), "-O2", "-static", "-municode", "-o", exe,
                    os.path.join(HERE, "client_window_probe.cpp")], check=True)
    return exe


def measure(probe, cls, exe, *args, marks=None):
    """Milliseconds to the window; with `marks` (a dict), the client's own marks are added to it
    as lists of milliseconds from process start."""
    env = dict(os.environ)
    timeline = None
    if marks is not None:
        fd, timeline = tempfile.mkstemp(prefix="quorvane-timeline-")
        os.close(fd)
        env["QUORVANE_TIMELINE"] = h.win_path(timeline)
        env["QUORVANE_PROBE_SETTLE_MS"] = "300"
    try:
        out = subprocess.run(h.wine(probe, "launch", cls, h.win_path(exe), *args), env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120).stdout.decode()
        for line in out.splitlines():
            if line.startswith("{"):
                result = h.json.loads(line)
                if result.get("found"):
                    if timeline:
                        seen = set()
                        with open(timeline) as f:
                            for mark in f.read().split("\n"):
                                if not mark.strip():
                                    continue
                                name, counter = mark.split()
                                # A mark that repeats (a later paint) counts at its first time.
                                if name in seen:
                                    continue
                                seen.add(name)
                                ms = 1000.0 * (int(counter) - result["start"]) / result["frequency"]
                                marks.setdefault(name, []).append(ms)
                        marks.setdefault("window visible (probe)", []).append(result["ms"])
                    return result["ms"]
        raise RuntimeError("no window: " + out)
    finally:
        if timeline:
            os.remove(timeline)


def prepare_client(bin_dir, work, base_url, program="quorvane.exe", folder="client"):
    """A client folder in `work` pointed at `base_url`, signing in by itself as demo / demo123,
    with `program` of `bin_dir` as its quorvane.exe. Returns the client's path and the encoded
    password it stores."""
    client = os.path.join(work, folder)
    os.makedirs(client)
    shutil.copy2(os.path.join(bin_dir, program), os.path.join(client, "quorvane.exe"))
    shutil.copy2(os.path.join(bin_dir, "quorvupdate.exe"), client)
    shutil.copytree(os.path.join(bin_dir, "res"), os.path.join(client, "res"))
    with open(os.path.join(client, "maincfg.ini"), "w", encoding="ascii") as f:
        f.write("[cloud_client]\r\nurl=%s\r\n" % base_url)
    password = base64.b64encode(b"demo123").decode("ascii")
    password = password[0] + "K" + password[1:]
    with open(os.path.join(client, "config.bin"), "w", encoding="utf-16") as f:
        f.write("[cloud_client]\r\nusername=demo\r\npassword=%s\r\nautologin=true\r\n" % password)
    return os.path.join(client, "quorvane.exe"), password


def print_timeline(title, marks):
    print(title)
    for name, values in sorted(marks.items(), key=lambda item: statistics.median(item[1])):
        print("  %-28s %8.1f ms" % (name, statistics.median(values)))


def bench_options(runs=11):
    """--bin (the built programs) and --runs, as the client benches take them."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.environ.get("QUORVANE_BIN", os.path.join(ROOT, "build", h.ARCH, "bin")))
    parser.add_argument("--runs", type=int, default=runs)
    return parser.parse_args()


def main():
    options = bench_options()

    h.start_session()
    platform = demo_platform.DemoPlatform().start()
    work = tempfile.mkdtemp(prefix="quorvane-bench-")
    try:
        probe = build_probe(work)
        exe, _ = prepare_client(options.bin, work, platform.base_url)
        # Only the test build writes start-up marks; the shipped program reads no environment.
        marked, _ = prepare_client(options.bin, work, platform.base_url, "quorvane_testwaits.exe", "marked")

        # One warm-up of each, so that neither pays for a cold file cache.
        measure(probe, "BenchPlainWindow", probe, "window")
        measure(probe, "LoginDlg", exe, "NoLogin")
        plain, login, main_window = [], [], []
        for _ in range(options.runs):
            plain.append(measure(probe, "BenchPlainWindow", probe, "window"))
            login.append(measure(probe, "LoginDlg", exe, "NoLogin"))
            main_window.append(measure(probe, "PXJMainFrame", exe))
        # The timeline runs apart from the timed ones: writing marks is not free.
        login_marks, main_marks = {}, {}
        for _ in range(max(3, options.runs // 2)):
            measure(probe, "LoginDlg", marked, "NoLogin", marks=login_marks)
            measure(probe, "PXJMainFrame", marked, marks=main_marks)
        p, l, m = (statistics.median(x) for x in (plain, login, main_window))
        print("architecture: %s, cores: %d" % (h.ARCH, os.cpu_count()))
        print("runs: %d (medians, milliseconds from process start to a visible window)" % options.runs)
        print("plain Win32 window:               %8.1f ms" % p)
        print("quorvane login dialog (NoLogin):  %8.1f ms   ratio %.2f" % (l, l / p))
        print("quorvane main window (sign-in):   %8.1f ms   ratio %.2f" % (m, m / p))
        print_timeline("login dialog start-up (medians from process start):", login_marks)
        print_timeline("main window start-up with automatic sign-in (medians from process start):", main_marks)
    finally:
        platform.stop()
        shutil.rmtree(work, ignore_errors=True)
        h.stop_session()


if __name__ == "__main__":
    main()
