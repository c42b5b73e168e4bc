#!/usr/bin/env python3
"""Opening a module: from the click on a module button to the first tab showing the module page's
title, against curl fetching the same page from the same loopback server in the same run; and ten
tabs opened one after another (the cost of a tab must not grow with the number of tabs).

    python3 bench/module_bench.py [--bin BUILD/bin] [--rounds 3]

Runs the real main window in-process (client_module_probe, built with the tests).
"""
import argparse
import json
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "updater"))
import updater_harness as h  # noqa: E402

PAGES = ["/oa/commercial-manager/index", "/crm/iframe", "/work/customer/index", "/user/space/index", "/dashboard"]


def curl_ms(url):
    out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{time_total}", url], stdout=subprocess.PIPE,
                         text=True, timeout=30).stdout
    return 1000.0 * float(out)


def one_round(probe):
    proc = subprocess.Popen(h.wine(probe), cwd=os.path.dirname(probe), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    try:
        first = proc.stdout.readline().split()
        if len(first) < 2 or first[0] != "site":
            raise RuntimeError("the probe did not start: %r" % first)
        site = first[1]
        curl = [curl_ms(site + page) for _ in range(5) for page in PAGES]
        proc.stdin.write("go\n")
        proc.stdin.flush()
        for line in proc.stdout:
            if line.startswith("{"):
                result = json.loads(line)
                if "error" in result:
                    raise RuntimeError(line)
                return curl, result
        raise RuntimeError("the probe printed no result")
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.environ.get("QUORVANE_BIN", os.path.join(ROOT, "build", h.ARCH, "bin")))
    parser.add_argument("--rounds", type=int, default=3)
    options = parser.parse_args()
    # Absolute: the probe runs from its own folder, where a relative path would not lead.
    probe = os.path.abspath(os.path.join(options.bin, "client_module_probe.exe"))
    if not os.path.isfile(probe):
        sys.exit("no %s (build the tests first)" % probe)
    h.start_session()
    try:
        curl, clicks, early, late = [], [], [], []
        for _ in range(options.rounds):
            c, result = one_round(probe)
            curl += c
            clicks += result["clicks"]
            early += result["tabs"][:5]
            late += result["tabs"][5:]
        reference = statistics.median(curl)
        click = statistics.median(clicks)
        print("architecture: %s, cores: %d" % (h.ARCH, os.cpu_count()))
        print("curl, the same module page:        %7.2f ms (median of %d)" % (reference, len(curl)))
        print("module button to tab title:        %7.2f ms (median of %d)   ratio %.2f (goal <= 3)"
              % (click, len(clicks), click / reference))
        print("new tab, tabs 2-6:                 %7.2f ms" % statistics.median(early))
        print("new tab, tabs 7-11:                %7.2f ms   growth ratio %.2f (flat: about 1)"
              % (statistics.median(late), statistics.median(late) / statistics.median(early)))
    finally:
        h.stop_session(kill_wine=True)


if __name__ == "__main__":
    main()
