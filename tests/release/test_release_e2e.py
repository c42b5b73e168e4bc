"""The setup programs and a whole update under Wine, in a Wine prefix made for this module alone:
silent install of version N, the installed client updated to N+1 through the real updater and the
demo platform's update service (optional and mandatory), a declined update, downloads that are cut
short or carry a wrong digest, a setup that cannot end a running client, and uninstall."""
import base64
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "updater"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import updater_harness as h  # noqa: E402
import demo_platform  # noqa: E402
import install_probe  # noqa: E402

BUILD = os.environ.get("QUORVANE_BUILD") or os.path.dirname(h.BIN)
VERSION = os.environ.get("QUORVANE_VERSION", "")
NEXT = os.environ.get("QUORVANE_NEXT_VERSION", "")
TITLE = "青杉工作台客户端"
MUTEX = "lenmark20191202"
WM_QUIT_CLIENT = 0x46E
CHECK_FAILED = "文件校验失败,将在下次重新更新"
# The installed updater carries the build tree's own key; the demo service signs with it.
SIGNING_KEY = os.environ.get("QUORVANE_UPDATE_SIGNING_KEY") or os.path.join(BUILD, "update-key", "publisher.pem")
KEY_KIND = os.environ.get("QUORVANE_UPDATE_KEY_KIND", "build")
RUN_FOLDER_PREFIX = ".setup-run-"

_tmp = None


def setup_program(version):
    return os.path.join(BUILD, "out", "quorvane-setup-%s-%s.exe" % (version, h.ARCH))


def setUpModule():
    global _tmp
    # Both setup programs are made once per run (nothing to do when they are up to date).
    subprocess.run(["cmake", "--build", BUILD, "--target", "installer", "installer_next"], check=True,
                   stdout=subprocess.DEVNULL)
    _tmp = tempfile.mkdtemp(prefix="quorvane-release-")
    # A prefix of our own: setup writes into Program Files and the registry.
    os.environ["QUORVANE_WINEPREFIX_BASE"] = os.path.join(_tmp, "wine")
    h.start_session()


def tearDownModule():
    h.stop_session(kill_wine=True)
    shutil.rmtree(_tmp, ignore_errors=True)


def encoded(password):
    text = base64.b64encode(password.encode("utf-8")).decode("ascii")
    return text[0] + "Q" + text[1:]


def read_ini(path, encoding):
    with open(path, encoding=encoding) as f:
        return dict(line.strip().split("=", 1) for line in f if "=" in line)


class ReleaseTest(unittest.TestCase):
    def setUp(self):
        self.dir = install_probe.install_dir(h.ARCH)
        self.platform = demo_platform.DemoPlatform().start()
        self.clients = []
        self.remove_installation()
        self.assertEqual(0, self.run_setup(setup_program(VERSION)))

    def tearDown(self):
        for client in self.clients:
            if client.poll() is None:
                client.kill()
                client.wait()
        self.platform.stop()

    # -- helpers ---------------------------------------------------------------------------------

    def remove_installation(self):
        subprocess.run(h.wine("reg", "delete", install_probe.UNINSTALL_KEY, "/f"),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_setup(self, path, *args):
        return subprocess.run(h.wine(path, "/S", *args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=300).returncode

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def installed_version(self):
        return install_probe.product_version(self.path("quorvane.exe"))

    def write_user_files(self):
        """What a user has beside the installed programs: settings, signed-in account, cache."""
        with open(self.path("maincfg.ini"), "w", encoding="ascii", newline="") as f:
            f.write("[cloud_client]\r\nurl=%s\r\n" % self.platform.base_url)
        with open(self.path("config.bin"), "w", encoding="utf-16", newline="") as f:
            f.write("[cloud_client]\r\nusername=demo\r\npassword=%s\r\nautologin=true\r\n" % encoded("demo123"))
        os.makedirs(self.path("mycache"), exist_ok=True)
        with open(self.path("mycache", "Local Storage"), "wb") as f:
            f.write(b"kept\x00data")
        return self.user_files()

    def user_files(self):
        with open(self.path("maincfg.ini"), "rb") as f:
            maincfg = f.read()
        with open(self.path("mycache", "Local Storage"), "rb") as f:
            cache = f.read()
        config = read_ini(self.path("config.bin"), "utf-16")
        # The client's own exit path adds this key; it is not the user's data.
        config.pop("click_close_exit", None)
        # A sealed password is sealed anew (with fresh randomness) at each sign-in, such as the
        # one of the client that setup starts again: what must stay is that it is there, sealed.
        for key, value in config.items():
            if value.startswith("dpapi1:"):
                config[key] = "dpapi1:<sealed>"
        return maincfg, cache, config

    def start_client(self, *args):
        client = subprocess.Popen(h.wine(self.path("quorvane.exe"), *args), cwd=self.dir,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.clients.append(client)
        return client

    def wait_for(self, predicate, timeout=120):
        return h.wait_for(predicate, timeout, 0.2)

    def queries(self):
        return [r for r in self.platform.requests if r["path"] == h.QUERY_PATH]

    def answer(self, title, button):
        got = h.driver("answer", "--title", title, "--button", button, "--timeout", 90000, timeout=120)
        self.assertTrue(got and "error" not in got[0], "no message box %r: %r" % (title, got))
        return got[0]

    def end_client(self, client):
        """Ends a signed-in client the way its exit item does."""
        window = h.driver("wait-window", "--title", TITLE, "--class", "PXJMainFrame", "--timeout", 30000,
                          timeout=60)
        self.assertTrue(window and "hwnd" in window[0], window)
        h.driver("send", "--hwnd", window[0]["hwnd"], "--msg", WM_QUIT_CLIENT, "--wparam", 1, "--post")
        client.wait(timeout=60)

    def updater_running(self):
        return bool(h.driver("processes", "--name", "quorvupdate.exe"))

    def clients_running(self):
        return h.driver("processes", "--name", "quorvane.exe")

    def offer(self, version, mandatory=False, fault=None):
        key = SIGNING_KEY if KEY_KIND == "build" and os.path.exists(SIGNING_KEY) else None
        return demo_platform.UpdateOffer(setup_program(version), version, mandatory, fault=fault, signing_key=key)

    def end_restarted_client(self):
        """Ends a client that setup started (not ours to wait for) through its exit item."""
        window = h.driver("wait-window", "--title", TITLE, "--class", "PXJMainFrame", "--timeout", 60000,
                          timeout=90)
        self.assertTrue(window and "hwnd" in window[0], window)
        h.driver("send", "--hwnd", window[0]["hwnd"], "--msg", WM_QUIT_CLIENT, "--wparam", 1, "--post")
        self.assertTrue(self.wait_for(lambda: not self.clients_running(), 60), self.clients_running())

    # -- tests -----------------------------------------------------------------------------------

    def test_silent_install_registers_the_programs(self):
        self.assertEqual(VERSION, self.installed_version())
        self.assertEqual("1.0.0.1", install_probe.product_version(self.path("quorvupdate.exe")))
        for name in ("MainWindow.xml", "lm_Login.xml", "menu_tray.xml", "menu_system.xml", "ConfirmDlg.xml"):
            self.assertTrue(os.path.isfile(self.path("res", "res", name)), name)
        entry = install_probe.uninstall_entry(h.ARCH)
        self.assertEqual(TITLE, entry.get("DisplayName"))
        self.assertEqual(VERSION, entry.get("DisplayVersion"))
        self.assertTrue(entry.get("Publisher"))
        self.assertIn("quorvane.exe", entry.get("DisplayIcon", ""))
        self.assertIn("uninst.exe", entry.get("UninstallString", ""))
        # Estimated size in KiB: at least the two programs.
        sizes = os.path.getsize(self.path("quorvane.exe")) + os.path.getsize(self.path("quorvupdate.exe"))
        self.assertGreaterEqual(entry.get("EstimatedSize", 0) * 1024, sizes)
        self.assertEqual(3, len(install_probe.shortcuts(h.ARCH)))
        self.assertFalse(os.path.exists(self.path(".setup-new")))

    def test_accepted_update_installs_the_next_version_and_keeps_the_user_files(self):
        # (offer, answers to the updater's two questions)
        cases = [("optional", False, [("更新提示", "IDYES"), ("提示", "IDYES")]),
                 ("mandatory", True, [("更新提示", "IDOK"), ("提示", "IDYES")])]
        for name, mandatory, answers in cases:
            with self.subTest(name):
                if name != cases[0][0]:
                    self.remove_installation()
                    self.assertEqual(0, self.run_setup(setup_program(VERSION)))
                    self.platform.requests.clear()
                self.write_user_files()
                self.platform.update_offer = self.offer(NEXT, mandatory)
                client = self.start_client()
                # The user's files as they are when the update is offered (signing in has
                # added the account to the history by then).
                box = h.driver("read-msgbox", "--title", answers[0][0], "--timeout", 90000, timeout=120)
                self.assertTrue(box and "error" not in box[0], box)
                before = self.user_files()
                for title, button in answers:
                    self.answer(title, button)
                # Setup N+1 runs silently, ends the running client through its exit path,
                # replaces the programs and starts the client again.
                client.wait(timeout=120)
                self.assertTrue(self.wait_for(lambda: install_probe.uninstall_entry(h.ARCH).get("DisplayVersion")
                                              == NEXT), install_probe.uninstall_entry(h.ARCH))
                self.assertEqual(NEXT, self.installed_version())
                self.assertEqual(before, self.user_files())
                # A finished setup is not left where the updater would start it again.
                self.assertFalse(os.path.exists(self.path("newupgrade.exe")))
                self.assertEqual(VERSION, h.json.loads(self.queries()[0]["body"].decode("gbk"))["version"])
                # The client is back by itself: version N+1, signed in with the remembered account
                # (it asks for updates only from its main window) and not offered anything.
                self.assertTrue(self.wait_for(lambda: len(self.queries()) == 2))
                self.assertEqual(NEXT, h.json.loads(self.queries()[1]["body"].decode("gbk"))["version"])
                self.assertEqual(1, len(self.clients_running()))
                self.assertTrue(self.wait_for(lambda: not self.updater_running(), 60))
                self.end_restarted_client()
                # The copy of setup that did the work ran from a folder of its own inside the
                # installed folder, never from the user's temporary folder.
                self.assertEqual([], glob.glob(os.path.join(h.winarch.prefix(h.ARCH), "drive_c", "**",
                                                            "quorvane-update-setup*"), recursive=True))
                run_folders = [n for n in os.listdir(self.dir) if n.startswith(RUN_FOLDER_PREFIX)]
                self.assertEqual(1, len(run_folders), run_folders)
                self.assertEqual(["setup.exe"], os.listdir(self.path(run_folders[0])))
                # The next setup takes the folder of the last one away.
                self.assertEqual(0, self.run_setup(setup_program(NEXT)))
                self.assertEqual([], [n for n in os.listdir(self.dir) if n.startswith(RUN_FOLDER_PREFIX)])

    def test_declined_update_is_remembered_and_not_offered_again(self):
        self.write_user_files()
        self.platform.update_offer = self.offer(NEXT)
        client = self.start_client()
        self.answer("更新提示", "IDNO")
        self.assertTrue(self.wait_for(lambda: os.path.exists(self.path("version.bin"))))
        self.assertEqual(NEXT, read_ini(self.path("version.bin"), "gbk").get("version"))
        self.end_client(client)
        client = self.start_client()
        self.assertTrue(self.wait_for(lambda: len(self.queries()) == 2))
        self.assertEqual(NEXT, h.json.loads(self.queries()[1]["body"].decode("gbk"))["version"])
        self.assertTrue(self.wait_for(lambda: not self.updater_running(), 60))
        self.assertIn("error", h.driver("read-msgbox", "--title", "更新提示", "--timeout", 500)[0])
        self.end_client(client)
        self.assertEqual(VERSION, self.installed_version())

    def test_spoilt_download_never_replaces_the_installed_version(self):
        for fault in ("cut", "digest"):
            with self.subTest(fault):
                self.write_user_files()
                for leftover in ("newupgrade", "newupgrade.exe"):
                    if os.path.exists(self.path(leftover)):
                        os.remove(self.path(leftover))
                self.platform.update_offer = self.offer(NEXT, fault=fault)
                client = self.start_client()
                self.answer("更新提示", "IDYES")
                # A short read may end the download as failed (no message) or as complete; then
                # the digest check refuses the file and says so.
                deadline = time.time() + 120
                while self.updater_running() and time.time() < deadline:
                    box = h.driver("read-msgbox", "--title", "提示", "--timeout", 1000)
                    if box and "error" not in box[0]:
                        self.assertEqual(CHECK_FAILED, box[0].get("text"))
                        self.answer("提示", "IDOK")
                self.assertFalse(os.path.exists(self.path("newupgrade.exe")))
                self.assertIsNone(client.poll())
                self.assertEqual(VERSION, self.installed_version())
                self.assertEqual(VERSION, install_probe.uninstall_entry(h.ARCH).get("DisplayVersion"))
                self.end_client(client)

    def test_setup_that_cannot_end_the_client_leaves_the_installed_version(self):
        holder = subprocess.Popen(h.wine(h.UIDRIVER, "hold-mutex", "--name", MUTEX), stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            self.assertIn(b'"held"', holder.stdout.readline())
            self.assertNotEqual(0, self.run_setup(setup_program(NEXT)))
        finally:
            holder.stdin.close()
            holder.wait(timeout=30)
            holder.stdout.close()
        self.assertEqual(VERSION, self.installed_version())
        self.assertEqual(VERSION, install_probe.uninstall_entry(h.ARCH).get("DisplayVersion"))
        self.assertEqual([], [n for n in os.listdir(self.dir) if n.endswith(".old") or n.startswith(".setup")])

    def test_setup_ends_a_client_waiting_at_its_login_dialog(self):
        client = self.start_client("noLogin")
        dialog = h.driver("wait-window", "--title", TITLE, "--class", "LoginDlg", "--timeout", 30000, timeout=60)
        self.assertTrue(dialog and "hwnd" in dialog[0], dialog)
        self.assertEqual(0, self.run_setup(setup_program(NEXT)))
        client.wait(timeout=60)
        self.assertEqual(NEXT, self.installed_version())

    def test_uninstall_removes_programs_and_entry_and_keeps_user_files_unless_asked(self):
        for args, keeps_user_files in ((["/S"], True), (["/S", "/REMOVEUSERDATA"], False)):
            with self.subTest(args=args):
                if not os.path.exists(self.path("uninst.exe")):
                    self.assertEqual(0, self.run_setup(setup_program(VERSION)))
                self.write_user_files()
                subprocess.run(h.wine(self.path("uninst.exe"), *args), timeout=120)
                # The uninstaller runs on from a copy of itself; its own file goes last.
                self.assertTrue(self.wait_for(lambda: not os.path.exists(self.path("uninst.exe"))))
                for name in ("quorvane.exe", "quorvupdate.exe", "res"):
                    self.assertFalse(os.path.exists(self.path(name)), name)
                self.assertEqual({}, install_probe.uninstall_entry(h.ARCH))
                self.assertEqual([], install_probe.shortcuts(h.ARCH))
                for name in ("config.bin", "maincfg.ini", "mycache"):
                    self.assertEqual(keeps_user_files, os.path.exists(self.path(name)), name)
                self.assertEqual(keeps_user_files, os.path.isdir(self.dir))


class UpdateServiceTest(unittest.TestCase):
    """The demo platform's update service as the updater reads it."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvane-offer-")
        self.setup = os.path.join(self.folder, "quorvane-setup-1.0.10.0-x86_64.exe")
        with open(self.setup, "wb") as f:
            f.write(b"MZ setup bytes")
        self.platform = demo_platform.DemoPlatform().start()

    def tearDown(self):
        self.platform.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def ask(self, body):
        request = urllib.request.Request(self.platform.base_url + h.QUERY_PATH, data=body)
        with urllib.request.urlopen(request, timeout=30) as reply:
            return h.json.loads(reply.read().decode("utf-8"))

    def test_offers_only_to_older_clients_by_numeric_version(self):
        self.platform.update_offer = demo_platform.UpdateOffer(self.setup, "1.0.10.0", mandatory=True)
        # (version the client reports, offered?)
        for installed, offered in (("1.0.9.99", True), ("1.0.10.0", False), ("1.0.10.1", False),
                                   ("1.1", False), ("", True), ("x.y", True)):
            with self.subTest(installed=installed):
                body = ('{\n   "type" : "quorvane_client",\n   "version" : "%s"\n}\n' % installed).encode("gbk")
                result = self.ask(body)["result"]
                self.assertEqual("1" if offered else "0", result["is_normal"])
                if offered:
                    self.assertEqual("1", result["is_must"])
                    self.assertEqual("1.0.10.0", result["version"])
                    # The updater takes the digest from the last path segment, up to the last dot.
                    name = result["url"].rsplit("/", 1)[1]
                    self.assertEqual(h.md5_hex(b"MZ setup bytes") + ".exe", name)
                    self.assertNotIn("signature", result)

    def test_signature_beside_the_setup_program_is_passed_on(self):
        with open(self.setup + ".sig", "w", encoding="utf-8") as f:
            f.write("MEUCIQ-signature")
        self.platform.update_offer = demo_platform.UpdateOffer(self.setup, "1.0.10.0")
        result = self.ask(b'{"version":"1.0.3.12"}')["result"]
        self.assertEqual("0", result["is_must"])
        self.assertEqual("MEUCIQ-signature", result["signature"])

    def test_offer_signed_with_a_key_binds_installer_and_version(self):
        key = os.path.join(self.folder, "key.pem")
        demo_platform.sign_installer.genkey(key)
        self.platform.update_offer = demo_platform.UpdateOffer(self.setup, "1.0.10.0", signing_key=key)
        signature = self.ask(b'{"version":"1.0.3.12"}')["result"]["signature"]
        verify = demo_platform.sign_installer.verify_bytes
        self.assertTrue(verify(key, "1.0.10.0", b"MZ setup bytes", signature))
        self.assertFalse(verify(key, "1.0.10.1", b"MZ setup bytes", signature))
        self.assertFalse(verify(key, "1.0.10.0", b"MZ setup bytes!", signature))
        # The release step's .sig says the same.
        demo_platform.sign_installer.sign(key, self.setup)
        with open(self.setup + ".sig", encoding="ascii") as f:
            self.assertTrue(verify(key, "1.0.10.0", b"MZ setup bytes", f.read()))

    def test_unreadable_query_gets_a_failure_status(self):
        self.platform.update_offer = demo_platform.UpdateOffer(self.setup, "1.0.10.0")
        for body in (b"", b"not json", b"[1, 2]"):
            with self.subTest(body=body):
                self.assertNotEqual(20000, self.ask(body)["status"])


if __name__ == "__main__":
    unittest.main()
