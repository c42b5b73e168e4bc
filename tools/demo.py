#!/usr/bin/env python3
"""Runs the client against the bundled demo platform on loopback.

With a display (DISPLAY set) the client simply runs until you end it; sign in as demo / demo123.
Without one, it runs on a private Xvfb display, signs in by itself as the demo user, takes a
screenshot of the main window and ends after --seconds.
"""
import argparse
import base64
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import demo_platform  # noqa: E402
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
    xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True)
    if xwd.returncode == 0:
        subprocess.run(["convert", "xwd:-", path], input=xwd.stdout)
        print("screenshot: %s" % path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder with the built programs and res/")
    parser.add_argument("--run-dir", default=None, help="folder the client runs in (default: <bin>/../demo)")
    parser.add_argument("--port", type=int, default=18080)
    parser.add_argument("--seconds", type=float, default=25, help="headless: how long the client runs")
    parser.add_argument("--shot", default=None, help="headless: screenshot file (PNG)")
    parser.add_argument("--user", default="demo", choices=sorted(demo_platform.USERS),
                        help="headless: the demo user to sign in as")
    args = parser.parse_args()

    headless = os.environ.get("QUORVANE_DEMO_HEADLESS") == "1"
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
