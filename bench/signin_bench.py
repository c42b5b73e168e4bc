#!/usr/bin/env python3
"""Signing in, against curl making the same requests to the same loopback demo platform in the
same run:
  - one login POST through the request class (a new object per request, as the login makes it)
    against curl's POST, and the request class's steps made by hand (open, connect, request,
    send and wait for the headers, header query, body);
  - the whole automatic sign-in of the real client, from the attempt starting to the main window
    shown (the client's own QUORVANE_TIMELINE marks), against curl making the login POST and
    fetching the first tab's sign-in address.

    python3 bench/signin_bench.py [--bin BUILD/bin] [--runs 11]
"""
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
sys.path.insert(0, HERE)
import updater_harness as h  # noqa: E402
import demo_platform  # noqa: E402
import client_startup  # noqa: E402

LOGIN_BODY = '{"loginName":"demo"}'


def curl_ms(*args):
    out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{time_total}"] + list(args),
                         stdout=subprocess.PIPE, text=True, timeout=30).stdout
    return 1000.0 * float(out)


def tool(bin_dir, *args):
    out = subprocess.run(h.wine(os.path.join(bin_dir, "bench_tools.exe"), *args), stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, timeout=300).stderr
    return {line.split()[0]: float(line.split()[1]) for line in out.splitlines() if len(line.split()) == 2}


def main():
    options = client_startup.bench_options()

    h.start_session()
    platform = demo_platform.DemoPlatform().start()
    work = tempfile.mkdtemp(prefix="quorvane-bench-")
    try:
        login_url = platform.base_url + "/platform/encrypt/login"
        post = ["-X", "POST", "-H", "Content-Type: application/json", "-d", LOGIN_BODY, login_url]
        curl_post = statistics.median(curl_ms(*post) for _ in range(options.runs * 3))
        ours = tool(options.bin, "posts", login_url, str(options.runs * 3))
        steps = tool(options.bin, "steps", login_url, str(options.runs * 3))
        plain = tool(options.bin, "steps-plain", login_url, str(options.runs * 3))

        probe = client_startup.build_probe(work)
        # Only the test build writes the marks; the shipped program reads no environment.
        exe, password = client_startup.prepare_client(options.bin, work, platform.base_url, "quorvane_testwaits.exe")
        marks = {}
        for _ in range(options.runs):
            client_startup.measure(probe, "PXJMainFrame", exe, marks=marks)
        if not marks.get("login-attempt") or not marks.get("main-window-shown"):
            print("the client wrote no sign-in marks (marks: %s)" % (", ".join(sorted(marks)) or "none"))
            return 1
        signin = [shown - attempt for attempt, shown in zip(marks["login-attempt"], marks["main-window-shown"])]
        first_tab = platform.base_url + "/clientlogin?username=demo&&password=%s&&platform=1" % password
        curl_signin = statistics.median(curl_ms(*post) + curl_ms(first_tab) for _ in range(options.runs))

        print("architecture: %s, cores: %d" % (h.ARCH, os.cpu_count()))
        print("login POST, curl:                  %7.2f ms" % curl_post)
        print("login POST, request class:         %7.2f ms   ratio %.2f (goal <= 3)"
              % (ours["request"], ours["request"] / curl_post))
        print("  its steps (the class's flags): " + ", ".join("%s %.2f ms" % (k, v) for k, v in steps.items()))
        print("  the same with WinINet's plain flags (URL-cache entry): "
              + ", ".join("%s %.2f ms" % (k, v) for k, v in plain.items()))
        plain_total = sum(plain.values())
        print("login POST, request class against the plain WinINet sequence (%.2f ms): ratio %.2f (goal <= 1.5)"
              % (plain_total, ours["request"] / plain_total))
        print("sign-in, curl (login + first tab): %7.2f ms" % curl_signin)
        print("sign-in, client (attempt to main window shown): %7.2f ms   ratio %.2f"
              % (statistics.median(signin), statistics.median(signin) / curl_signin))
    finally:
        platform.stop()
        shutil.rmtree(work, ignore_errors=True)
        h.stop_session(kill_wine=True)


if __name__ == "__main__":
    sys.exit(main())
