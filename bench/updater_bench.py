#!/usr/bin/env python3
"""Whole updater run with a 256 MiB installer on loopback (query, download, digest check,
start of the fixture installer, "Yes" answered) against `curl -o` plus `md5sum` of the same
file from the same server in the same run; and the updater's peak memory against an idle
Wine program (the same updater waiting at its first message box).

The updater runs with its progress window on, as users see it. What the window costs the
download is measured against the same updater built without it (quorvupdate_nowindow): the
download's throughput as the server sees it (first to last byte sent), runs interleaved, at full
loopback speed (the whole download takes a fraction of a second, so the window's one-time cost
of appearing weighs heavily) and paced at a fast network's rate (the download lasts seconds).

A signed update takes two digests of every byte (MD5 against the address, SHA-256 for the
signature), so a second reference adds `sha256sum` of the file. And every updater run has costs
that do not grow with the installer (Wine starting the process, the query, two message boxes
answered by the UI driver, the installer's start): the same run with the bare fixture installer
measures them, and the run less that is what the 256 MiB cost.

Usage: bench/updater_bench.py [BIN_DIR] [--runs N]   (default: $QUORVANE_BIN or build/<arch>/bin)
Prints: reference seconds, updater seconds, ratio reference/updater (goal >= 0.9), the same
against curl + md5sum + sha256sum and less the fixed costs, download throughput with and without
the window and their ratios (goal >= 0.95), peak RSS."""
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
RUNS = 5
_args = sys.argv[1:]
if "--runs" in _args:
    RUNS = max(1, int(_args[_args.index("--runs") + 1]))
    del _args[_args.index("--runs"):_args.index("--runs") + 2]
if _args:
    os.environ["QUORVANE_BIN"] = os.path.abspath(_args[0])
sys.path.insert(0, os.path.join(ROOT, "tools"))
import winarch  # noqa: E402

os.environ["QUORVANE_ARCH"] = winarch.current_arch()
os.environ.setdefault("QUORVANE_BIN", os.path.join(ROOT, "build", os.environ["QUORVANE_ARCH"], "bin"))
sys.path.insert(0, os.path.join(ROOT, "tests", "updater"))
import updater_harness as h  # noqa: E402

SIZE = 256 << 20
# A fast office network (about 1 Gbit/s): the 256 MiB download then lasts about 2 s.
PACED_RATE = 128 << 20


def linux_pids_with(fragment):
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if fragment.encode() in f.read():
                    pids.append(int(entry))
        except OSError:
            pass
    return pids


def peak_rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class PeakWatcher(threading.Thread):
    """Follows VmHWM of the Wine process running a given executable until it ends."""

    def __init__(self, fragment):
        super().__init__(daemon=True)
        self.fragment = fragment
        self.peak = 0
        self.done = threading.Event()

    def run(self):
        while not self.done.is_set():
            for pid in linux_pids_with(self.fragment):
                self.peak = max(self.peak, peak_rss_kib(pid))
            time.sleep(0.02)


def main():
    h.start_session()
    service = h.Service()
    work = tempfile.mkdtemp(prefix="quorvupdate-bench-")
    try:
        with open(h.INSTALLER, "rb") as f:
            program = f.read()
        # The fixture installer with padding after its image still runs.
        payload = program + os.urandom(SIZE - len(program))
        url = service.add_file(payload)
        digest = h.md5_hex(payload)

        # Reference: the same bytes from the same server, stored and hashed by native tools.
        target = os.path.join(work, "ref.bin")
        start = time.perf_counter()
        subprocess.run(["curl", "-s", "-o", target, url], check=True)
        out = subprocess.run(["md5sum", target], check=True, stdout=subprocess.PIPE).stdout.decode()
        reference = time.perf_counter() - start
        assert out.split()[0] == digest, "reference digest differs"
        start = time.perf_counter()
        subprocess.run(["sha256sum", target], check=True, stdout=subprocess.DEVNULL)
        reference_signed = reference + time.perf_counter() - start
        os.remove(target)

        # Idle Wine program: the updater waiting at "没有传入参数".
        idle = h.UpdaterRun()
        watcher = PeakWatcher(os.path.basename(idle.dir))
        watcher.start()
        proc = subprocess.Popen(h.wine(h.UIDRIVER, "run", "--exe", h.win_path(idle.exe)),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        pid = int(proc.stdout.readline().decode().split(":")[1].rstrip("}\r\n"))
        h.driver("read-msgbox", "--pid", pid, "--timeout", 30000)
        time.sleep(0.5)
        idle_peak = watcher.peak
        h.driver("answer", "--pid", pid, "--button", "IDOK", "--timeout", 30000)
        proc.wait()
        watcher.done.set()
        idle.cleanup()

        # Whole updater runs, with the progress window and without it, interleaved; then the
        # same with the body paced at a fast network's rate (a download lasting seconds).
        paced_payload = program + os.urandom(SIZE - len(program))
        paced_url = service.add_file(paced_payload, rate=PACED_RATE)
        quiet = os.path.join(os.environ["QUORVANE_BIN"], "quorvupdate_nowindow.exe")
        variants = [("window", h.UPDATER)] + ([("no window", quiet)] if os.path.exists(quiet) else [])
        variants += [("paced " + name, exe) for name, exe in variants]
        bare_url = service.add_file(program)
        variants.append(("bare installer", h.UPDATER))
        whole = {name: [] for name, _ in variants}
        download = {name: [] for name, _ in variants}
        steady = {name: [] for name, _ in variants}
        peak = 0
        for _ in range(RUNS):
            for name, program in variants:
                served = bare_url if name == "bare installer" else paced_url if name.startswith("paced") else url
                service.reply = h.offer(served, is_must="1", text="bench")
                run = h.UpdaterRun(program)
                watcher = PeakWatcher(os.path.basename(run.dir))
                watcher.start()
                sent = len(service.transfers)
                start = time.perf_counter()
                code, boxes = run.run(h.command_line(service.query_url, 0), ["IDOK", "IDYES"], settle=120)
                elapsed = time.perf_counter() - start
                watcher.done.set()
                started = run.installer_runs()
                run.cleanup()
                if code != 1 or len(started) != 1 or len(service.transfers) != sent + 1:
                    print("updater run (%s) failed: exit %d, boxes %r, installer runs %r"
                          % (name, code, boxes, started))
                    return 1
                seconds, size, late_seconds, late_size = service.transfers[-1]
                whole[name].append(elapsed)
                download[name].append(size / max(seconds, 1e-6) / (1 << 20))
                steady[name].append(late_size / max(late_seconds, 1e-6) / (1 << 20))
                if name == "window":
                    peak = max(peak, watcher.peak)
        elapsed = statistics.median(whole["window"])

        print("architecture: %s, cores: %d" % (h.ARCH, os.cpu_count()))
        print("installer size:        %d bytes" % SIZE)
        print("reference (curl+md5):  %.2f s" % reference)
        print("updater whole run:     %.2f s (progress window on, median of %d)" % (elapsed, RUNS))
        print("ratio reference/updater: %.2f (goal >= 0.9)" % (reference / elapsed))
        fixed = statistics.median(whole["bare installer"])
        print("reference with sha256sum: %.2f s, ratio %.2f" % (reference_signed, reference_signed / elapsed))
        print("fixed costs (bare installer run): %.2f s; the 256 MiB cost %.2f s, ratio against curl+md5 %.2f, "
              "against curl+md5+sha256 %.2f" % (fixed, elapsed - fixed, reference / max(elapsed - fixed, 1e-3),
                                               reference_signed / max(elapsed - fixed, 1e-3)))
        # On a shared machine other load only ever slows a run down, so the best run of each
        # variant is the steadier comparison; the medians are printed beside it. "whole" is the
        # transfer from its first byte, which includes the window coming up; "steady" its last
        # three quarters, the throughput while the window is showing progress.
        for name in download:
            if name == "bare installer":
                continue
            print("%-16s whole %6.1f MiB/s best %6.1f median | steady %6.1f best %6.1f median | run %.2f s best"
                  % (name + ":", max(download[name]), statistics.median(download[name]), max(steady[name]),
                     statistics.median(steady[name]), min(whole[name])))
        if "no window" in download:
            for prefix, label in (("", "loopback"), ("paced ", "paced %d MiB/s" % (PACED_RATE >> 20))):
                def ratio(values, pick):
                    return pick(values[prefix + "window"]) / pick(values[prefix + "no window"])
                print("%s: ratio with/without window, download whole:  %.3f best, %.3f median (goal >= 0.95)"
                      % (label, ratio(download, max), ratio(download, statistics.median)))
                print("%s: ratio with/without window, download steady: %.3f best, %.3f median"
                      % (label, ratio(steady, max), ratio(steady, statistics.median)))
                print("%s: ratio with/without window, whole run time:  %.3f best, %.3f median"
                      % (label, min(whole[prefix + "no window"]) / min(whole[prefix + "window"]),
                         statistics.median(whole[prefix + "no window"]) / statistics.median(whole[prefix + "window"])))
        else:
            print("quorvupdate_nowindow.exe not built: no comparison without the window")
        print("peak RSS updater run:  %.1f MiB" % (peak / 1024.0))
        print("peak RSS idle updater: %.1f MiB" % (idle_peak / 1024.0))
        return 0
    finally:
        service.stop()
        h.stop_session()
        import shutil
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
