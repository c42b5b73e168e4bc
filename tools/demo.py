#!/usr/bin/env python3
"""Runs the client against the bundled demo platform on loopback.

With a display (DISPLAY set) the client simply runs until you end it; sign in as demo / demo123.
Without one, it runs on a private Xvfb display, signs in by itself as the demo user, takes a
screenshot of the main window and ends after --seconds.

With --update it shows a whole update instead: setup of version N installs the client silently
into a fresh Wine prefix, the installed client starts against the demo platform, whose update
service offers N+1 (optional, or mandatory with --mandatory); the updater asks, downloads and
starts setup N+1, which ends the client and replaces it. Headless, the questions are answered
Yes by the UI driver; at the end the installed version is printed.
"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import demo_platform  # noqa: E402
import screen_grab  # noqa: E402
import install_probe  # noqa: E402
import winarch  # noqa: E402


def encoded(password):
    text = base64.b64encode(password.encode("utf-8")).decode("ascii")
    return text[0] + "D" + text[1:]


def prepare(bin_dir, run_dir, auto, user="demo"):
    os.makedirs(run_dir, exist_ok=True)
    for name in ("quorvane.exe", "quorvupdate.exe"):
        shutil.copy2(os.path.join(bin_dir, name), run_dir)
    shutil.rmtree(os.path.join(run_dir, "res"), ignore_errors=True)
    shutil.copytree(os.path.join(bin_dir, "res"), os.path.join(run_dir, "res"))
    config = os.path.join(run_dir, "config.bin")
    if auto:
        with open(config, "w", encoding="utf-16") as f:
            f.write("[cloud_client]\r\nusername=%s\r\npassword=%s\r\nautologin=true\r\n"
                    % (user, encoded(demo_platform.USERS[user])))


def screenshot(path):
    image = screen_grab.grab()
    if image is not None:
        subprocess.run(["convert", "ppm:-", path], input=image.ppm())
        print("screenshot: %s" % path)


def drive(uidriver, arch, *args, timeout=120):
    out = subprocess.run(winarch.command(arch, uidriver, *args), env=winarch.env(arch), stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=timeout).stdout.decode("ascii", "replace")
    return [line for line in out.splitlines() if line.startswith("{")]


def run_update(args, headless):
    arch = winarch.current_arch()
    setup_n, setup_next = args.update
    version_n = demo_platform.version_of_setup(setup_n)
    version_next = demo_platform.version_of_setup(setup_next)
    print("setup N:   %s (%.1f MiB)" % (setup_n, os.path.getsize(setup_n) / 1048576.0))
    print("setup N+1: %s (%.1f MiB)" % (setup_next, os.path.getsize(setup_next) / 1048576.0), flush=True)
    winarch.boot(arch)
    folder = install_probe.install_dir(arch)
    started = time.time()
    rc = subprocess.run(winarch.command(arch, setup_n, "/S"), env=winarch.env(arch), timeout=300).returncode
    print("setup %s /S: exit code %d, %.1f s, into %s" % (version_n, rc, time.time() - started, folder),
          flush=True)
    if rc != 0:
        return 1
    try:
        platform = demo_platform.DemoPlatform(args.port).start()
    except OSError as error:
        print("cannot serve the demo platform on port %d: %s" % (args.port, error))
        return 1
    # Signed with the build tree's own key, which the demo's updater carries.
    key = args.sign_key or os.path.join(os.path.dirname(os.path.abspath(args.bin)), "update-key", "publisher.pem")
    platform.update_offer = demo_platform.UpdateOffer(setup_next, version_next, mandatory=args.mandatory,
                                                      signing_key=key if os.path.exists(key) else None)
    with open(os.path.join(folder, "maincfg.ini"), "w", encoding="ascii", newline="") as f:
        f.write("[cloud_client]\r\nurl=%s\r\n" % platform.base_url)
    if headless:
        with open(os.path.join(folder, "config.bin"), "w", encoding="utf-16", newline="") as f:
            f.write("[cloud_client]\r\nusername=demo\r\npassword=%s\r\nautologin=true\r\n" % encoded("demo123"))
    print("demo platform: %s offers %s (%s)" % (platform.base_url, version_next,
                                                 "mandatory" if args.mandatory else "optional"), flush=True)
    started = time.time()
    client = subprocess.Popen(winarch.command(arch, os.path.join(folder, "quorvane.exe")), cwd=folder,
                              env=winarch.env(arch))
    try:
        if headless:
            uidriver = os.path.join(args.bin, "uidriver.exe")
            first = "IDOK" if args.mandatory else "IDYES"
            for title, button in (("更新提示", first), ("提示", "IDYES")):
                answered = drive(uidriver, arch, "answer", "--title", title, "--button", button, "--timeout", "90000")
                box = json.loads(answered[0]) if answered else {}
                print("updater asked %r: %r, answered %s" % (box.get("caption"), box.get("text"), button), flush=True)
        deadline = time.time() + (240 if headless else 1800)
        while time.time() < deadline:
            if install_probe.uninstall_entry(arch).get("DisplayVersion") == version_next:
                break
            time.sleep(0.5)
        took = time.time() - started
        installed = install_probe.product_version(os.path.join(folder, "quorvane.exe"))
        print("update: %.1f s from the client's start to setup %s finished" % (took, version_next))
        print("installed version: %s" % installed)
        # Setup starts the updated client again; it signs in by itself and asks for updates.
        def queried_as_next():
            for r in platform.requests:
                if r["path"] == "/platform/clientversion/findClientVersion":
                    try:
                        if json.loads(r["body"].decode("gbk")).get("version") == version_next:
                            return True
                    except ValueError:
                        pass
            return False
        deadline = time.time() + 120
        while time.time() < deadline and not queried_as_next():
            time.sleep(0.5)
        back = queried_as_next()
        print("client %s running again after the update: %s" % (version_next, "yes" if back else "no"))
        if headless and back:
            screenshot(args.shot or os.path.join(os.path.dirname(os.path.abspath(args.bin)), "demo-update.png"))
        return 0 if installed == version_next and back else 1
    finally:
        if client.poll() is None:
            client.kill()
        # The client that setup started again runs apart from us: end it through its exit path.
        uidriver = os.path.join(args.bin, "uidriver.exe")
        for window in drive(uidriver, arch, "list", "--class", "PXJMainFrame", timeout=30):
            hwnd = json.loads(window).get("hwnd")
            if hwnd:
                drive(uidriver, arch, "send", "--hwnd", str(hwnd), "--msg", str(0x46E), "--wparam", "1", "--post",
                      timeout=30)
        platform.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder with the built programs and res/")
    parser.add_argument("--run-dir", default=None, help="folder the client runs in (default: <bin>/../demo)")
    parser.add_argument("--port", type=int, default=18080)
    parser.add_argument("--seconds", type=float, default=25, help="headless: how long the client runs")
    parser.add_argument("--shot", default=None, help="headless: screenshot file (PNG)")
    parser.add_argument("--update", nargs=2, metavar=("SETUP_N", "SETUP_N+1"),
                        help="install SETUP_N, then update it to SETUP_N+1 through the updater")
    parser.add_argument("--mandatory", action="store_true", help="with --update: offer the update as mandatory")
    parser.add_argument("--sign-key", default=None, help="with --update: private key the offer is signed with "
                        "(default: the build tree's own, <bin>/../update-key/publisher.pem)")
    parser.add_argument("--user", default="demo", choices=sorted(demo_platform.USERS),
                        help="headless: the demo user to sign in as")
    args = parser.parse_args()

    headless = os.environ.get("QUORVANE_DEMO_HEADLESS") == "1"
    if args.update:
        return run_update(args, headless)
    run_dir = os.path.abspath(args.run_dir or os.path.join(args.bin, "..", "demo"))
    prepare(args.bin, run_dir, auto=headless, user=args.user)
    try:
        platform = demo_platform.DemoPlatform(args.port).start()
    except OSError as error:
        print("cannot serve the demo platform on port %d: %s" % (args.port, error))
        return 1
    print("demo platform: %s   (users: demo / demo123, 张三 / zhang123, plus / plus>>>???)" % platform.base_url,
          flush=True)
    arch = winarch.current_arch()
    print("client architecture: %s" % arch, flush=True)
    client = subprocess.Popen(winarch.command(arch, os.path.join(run_dir, "quorvane.exe")), cwd=run_dir,
                              env=winarch.env(arch))
    try:
        if not headless:
            return client.wait()
        deadline = time.time() + args.seconds
        shot_at = time.time() + min(12, args.seconds / 2)
        shot_taken = False
        while time.time() < deadline and client.poll() is None:
            if not shot_taken and time.time() >= shot_at:
                screenshot(args.shot or os.path.join(run_dir, "demo.png"))
                shot_taken = True
            time.sleep(0.5)
        # The sign-in address redirects to the dashboard only when the server accepted it.
        signed_in = any(r["path"].startswith("/dashboard") for r in platform.requests)
        print("signed in as %s and opened the dashboard: %s" % (args.user, "yes" if signed_in else "no"))
        print("requests served: %d" % len(platform.requests))
        return 0 if signed_in else 1
    finally:
        if client.poll() is None:
            client.kill()
        platform.stop()


if __name__ == "__main__":
    sys.exit(main())
