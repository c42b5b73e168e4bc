"""The real quorvane.exe under Wine against the demo platform on loopback: start-up, single
instance, sub-process dispatch, sign-in from stored credentials, the login dialog's waiting
and failing paths, window messages from other programs, and exit codes."""
import base64
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "updater"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import updater_harness as h  # noqa: E402
import demo_platform  # noqa: E402
import screen_grab  # noqa: E402
import winarch  # noqa: E402

BIN = os.environ.get("QUORVANE_BIN", "")
TITLE = "青杉工作台客户端"
MINUS_ONE = 4294967295
SEALED = "dpapi1:"  # the mark of a password sealed for the Windows user


def encoded(password, letter="K"):
    text = base64.b64encode(password.encode("utf-8")).decode("ascii")
    return text[0] + letter + text[1:]


def setUpModule():
    h.start_session()


def tearDownModule():
    h.stop_session(kill_wine=True)


class Client:
    """One client run in a folder of its own, started through the UI driver so that the exit
    code is the one Windows reports."""

    def __init__(self, folder, args="", env=None):
        cmd = h.wine(h.UIDRIVER, "run", "--exe", h.win_path(os.path.join(folder, "quorvane.exe")),
               "--cwd", h.win_path(folder), "--timeout", "120000")
        if args:
            cmd += ["--args", args]
        self.proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     env=dict(os.environ, **env) if env else None)
        first = self.proc.stdout.readline().decode("ascii")
        self.pid = h.json.loads(first)["pid"] if first.strip() else None

    def wait(self, timeout=60):
        out, _ = self.proc.communicate(timeout=timeout)
        self.proc.stdout.close()
        for line in out.decode("ascii").splitlines():
            if '"exit_code"' in line:
                return h.json.loads(line)["exit_code"]
        return None

    def kill(self):
        if self.pid:
            h.driver("kill", "--pid", self.pid)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()


class ClientTest(unittest.TestCase):
    def setUp(self):
        self.platform = demo_platform.DemoPlatform().start()
        self.folder = tempfile.mkdtemp(prefix="quorvane-e2e-")
        for name in ("quorvane.exe", "quorvupdate.exe"):
            shutil.copy2(os.path.join(BIN, name), self.folder)
        shutil.copytree(os.path.join(BIN, "res"), os.path.join(self.folder, "res"))
        with open(os.path.join(self.folder, "maincfg.ini"), "w", encoding="ascii") as f:
            f.write("[cloud_client]\r\nurl=%s\r\n" % self.platform.base_url)
        self.clients = []

    def tearDown(self):
        for client in self.clients:
            if client.proc.poll() is None:
                client.kill()
        self.platform.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def write_config(self, user="demo", password="demo123", autologin="true"):
        with open(os.path.join(self.folder, "config.bin"), "w", encoding="utf-16") as f:
            f.write("[cloud_client]\r\nusername=%s\r\npassword=%s\r\nautologin=%s\r\n"
                    % (user, encoded(password) if password else "", autologin))

    def start(self, args="", env=None):
        client = Client(self.folder, args, env)
        self.clients.append(client)
        return client

    def wait_window(self, cls, timeout=30000, pid=None):
        args = ["wait-window", "--title", TITLE, "--class", cls, "--timeout", timeout]
        if pid:
            args += ["--pid", pid]
        found = h.driver(*args, timeout=timeout / 1000 + 30)
        return found[0] if found and "hwnd" in found[0] else None

    def requests(self, path):
        return [r for r in self.platform.requests if r["path"].startswith(path)]

    def wait_for(self, predicate, timeout=30):
        return h.wait_for(predicate, timeout)

    # -----------------------------------------------------------------------------------------

    def test_engine_subprocess_start_ends_at_the_dispatch(self):
        client = self.start("--type=renderer --lang=zh-CN")
        self.assertEqual(0, client.wait())
        self.assertEqual([], self.platform.requests)
        # No mutex was left behind: a normal start right after is not turned away.
        self.write_config()
        normal = self.start()
        self.assertIsNotNone(self.wait_window("PXJMainFrame"))
        normal.kill()

    def test_stored_credentials_sign_in_and_open_the_main_window(self):
        os.makedirs(os.path.join(self.folder, "mycache"))
        with open(os.path.join(self.folder, "mycache", "Cookies"), "w") as f:
            f.write("stale-cookie-from-last-run")
        self.write_config()
        started_day = time.strftime("%Y%m%d")
        client = self.start()
        window = self.wait_window("PXJMainFrame")
        self.assertIsNotNone(window)
        logins = self.requests("/platform/encrypt/login")
        self.assertEqual(1, len(logins))
        self.assertIn(b'"loginName":"demo"', logins[0]["body"])
        self.assertTrue(self.wait_for(lambda: self.requests("/clientlogin?username=demo&&password=")))
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        # The update check asked the version service with today's header.
        self.assertTrue(self.wait_for(lambda: self.requests("/platform/clientversion/findClientVersion")))
        query = self.requests("/platform/clientversion/findClientVersion")[0]
        # The day's key (either day, should the run cross midnight).
        points = [h.md5_hex(("velmarix3071" + day).encode("ascii")) for day in (started_day, time.strftime("%Y%m%d"))]
        self.assertIn(query["headers"].get("Accept-Point"), points)
        # The body the updater sent carries the client's type and its product version.
        self.assertIn(b'"type" : "quorvane_client"', query["body"])
        self.assertIn(b'"version" : "1.0.3.12"', query["body"])
        # The previous run's cookies are gone.
        with open(os.path.join(self.folder, "mycache", "Cookies"), "rb") as f:
            self.assertNotIn(b"stale-cookie-from-last-run", f.read())
        with open(os.path.join(self.folder, "config.bin"), "rb") as f:
            config = f.read().decode("utf-16")
        self.assertIn("AccountCount=1", config)
        # A second instance brings the first forward and leaves with -1.
        second = self.start()
        self.assertEqual(MINUS_ONE, second.wait())
        # Window messages from another program: a foreign address pointer is ignored, a page
        # script request is fine, and the exit request ends the client with -1.
        hwnd = window["hwnd"]
        h.driver("send", "--hwnd", hwnd, "--msg", 0x46D, "--wparam", 0x12345678, "--post")
        h.driver("send", "--hwnd", hwnd, "--msg", 0x472, "--wparam", 4, "--post")
        time.sleep(0.5)
        self.assertIsNone(client.proc.poll())
        h.driver("send", "--hwnd", hwnd, "--msg", 0x46E, "--wparam", 1, "--lparam", 0, "--post")
        self.assertEqual(MINUS_ONE, client.wait())
        with open(os.path.join(self.folder, "config.bin"), "rb") as f:
            self.assertIn("click_close_exit=true", f.read().decode("utf-16"))

    def test_sign_in_address_carries_names_and_passwords_a_form_decoder_would_misread(self):
        # Encoded passwords with "+", "/" and "=", and user names with Chinese characters, "&",
        # "#" and a blank: the first tab still lands on the dashboard, never on the login page.
        extra = {"a&b #c": "pw+&=#", "李四": "li>>>?"}
        self.addCleanup(lambda: [demo_platform.USERS.pop(name, None) for name in extra])
        self.addCleanup(lambda: [demo_platform.USER_TYPES.pop(name, None) for name in extra])
        for name, password in extra.items():
            demo_platform.USERS[name] = password
            demo_platform.USER_TYPES[name] = "1"
        self.assertIn("+", encoded(demo_platform.USERS["plus"]))
        for user in ("plus", "李四", "a&b #c"):
            with self.subTest(user=user):
                del self.platform.requests[:]
                self.write_config(user=user, password=demo_platform.USERS[user])
                client = self.start()
                self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
                self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")), self.platform.requests)
                self.assertEqual([], self.requests("/login"))
                signin = self.requests("/clientlogin")[0]["path"]
                self.assertIn("&&platform=1", signin)
                client.kill()

    def click_main(self, hwnd, x, y):
        point = y << 16 | x
        h.driver("send", "--hwnd", hwnd, "--msg", 0x200, "--lparam", point)
        h.driver("send", "--hwnd", hwnd, "--msg", 0x201, "--wparam", 1, "--lparam", point)
        h.driver("send", "--hwnd", hwnd, "--msg", 0x202, "--lparam", point)

    def test_hostile_download_names_are_saved_as_plain_names_in_documents(self):
        # Module pages answered with downloads whose suggested names try to leave the folder,
        # hide behind a device name, reorder their display or overflow the path limit.
        long_stem = "x" * 350
        cases = [  # module button, its address, Content-Disposition, expected name
            ("btn_IMS", 278, "/crm/iframe", 'attachment; filename="..\\..\\..\\windows\\evil.exe"', "evil.exe"),
            ("btn_OA", 364, "/oa/commercial-manager/index", "attachment; filename=CON", "_CON.zip"),
            ("btn_CPA", 448, "/work/customer/index", "attachment; filename*=UTF-8''evil%E2%80%AEtxt.exe", "eviltxt.exe"),
            ("btn_Personal", 622, "/user/space/index", 'attachment; filename="%s.pdf"' % long_stem, None),
        ]
        for _, _, path, disposition, _ in cases:
            self.platform.get_overrides[path] = (200, [("Content-Disposition", disposition)], b"payload\r\n")
        self.write_config()
        client = self.start()
        window = self.wait_window("PXJMainFrame", pid=client.pid)
        self.assertIsNotNone(window)
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        time.sleep(1.0)  # maximised by then: the module buttons sit at their places in the caption
        saved = []
        for button, x, path, _, expected in cases:
            with self.subTest(button=button):
                self.click_main(window["hwnd"], x, 20)
                dialog = self.wait_window_class("#32770", client.pid, timeout=20)
                self.assertIsNotNone(dialog, path)
                h.driver("press", "--hwnd", dialog["hwnd"], "--button", "IDOK")
                box = h.driver("answer", "--button", "IDOK", "--pid", client.pid, "--timeout", 20000)
                self.assertTrue(box and box[0].get("text", "").endswith(" 下载完毕"), box)
                full = box[0]["text"][:-len(" 下载完毕")]
                self.assertEqual(window["hwnd"], box[0]["owner"])
                self.assertLessEqual(len(full), 259)
                folder, name = full.rsplit("\\", 1)
                self.assertTrue(folder.lower().endswith("\\documents"), full)
                if expected:
                    self.assertEqual(expected, name)
                else:
                    self.assertTrue(name.startswith("xxx") and name.endswith(".pdf"), name)
                saved.append(name)
        documents = os.path.realpath(os.path.join(winarch.prefix(h.ARCH), "drive_c", "users",
                                                  os.environ.get("USER", "root"), "Documents"))
        for name in saved:
            target = os.path.join(documents, name)
            self.addCleanup(lambda t=target: os.path.exists(t) and os.remove(t))
            self.assertTrue(os.path.isfile(target), target)
        client.kill()

    def test_no_login_flag_waits_at_the_dialog(self):
        self.write_config()
        client = self.start("NoLogin")
        dialog = self.wait_window("LoginDlg")
        self.assertIsNotNone(dialog)
        time.sleep(1.0)
        self.assertEqual([], self.requests("/platform/encrypt/login"))
        h.driver("close", "--hwnd", dialog["hwnd"])
        self.assertEqual(MINUS_ONE, client.wait())

    def test_refused_login_keeps_the_dialog_and_closing_ends_with_minus_one(self):
        self.write_config(password="wrong-password")
        client = self.start()
        dialog = self.wait_window("LoginDlg")
        self.assertIsNotNone(dialog)
        self.assertTrue(self.wait_for(lambda: self.requests("/platform/encrypt/login")))
        time.sleep(1.0)
        self.assertIsNone(client.proc.poll())
        self.assertEqual([], self.requests("/clientlogin"))
        h.driver("close", "--hwnd", dialog["hwnd"])
        self.assertEqual(MINUS_ONE, client.wait())

    def test_login_server_that_never_answers_gives_the_button_back(self):
        # The test build's waits (2 s) stand in for the shipped 15 s / 30 s.
        shutil.copy2(os.path.join(BIN, "quorvane_testwaits.exe"), os.path.join(self.folder, "quorvane.exe"))
        bad = h.BadServer()
        self.addCleanup(bad.stop)
        for path, per_attempt in (("/hole", 1), ("/headers", 1), ("/partial", 1), ("/loop", 11)):
            with self.subTest(path=path):
                with open(os.path.join(self.folder, "maincfg.ini"), "w", encoding="ascii") as f:
                    f.write("[cloud_client]\r\nurl=%s\r\n" % bad.url(path))
                self.write_config()  # auto-login
                client = self.start()
                dialog = self.wait_window("LoginDlg", pid=client.pid)
                self.assertIsNotNone(dialog)
                self.assertTrue(self.wait_for(lambda: bad.count(path) >= 1))
                start = time.time()
                # Enter only starts an attempt once the running one has ended.
                deadline = start + 60
                while bad.count(path) <= per_attempt and time.time() < deadline:
                    h.driver("send", "--hwnd", dialog["hwnd"], "--msg", 0x102, "--wparam", 13, "--post")
                    time.sleep(0.25)
                took = time.time() - start
                self.assertGreater(bad.count(path), per_attempt)  # a second attempt went out
                print("login %-8s button back after %.1f s" % (path, took), file=sys.stderr)
                self.assertIsNone(client.proc.poll())
                self.assertEqual([], self.requests("/platform/encrypt/login"))
                h.driver("close", "--hwnd", dialog["hwnd"])
                self.assertEqual(MINUS_ONE, client.wait())
                bad.hits.clear()

    def test_damaged_account_count_keeps_the_history(self):
        for count in ("2147483647", "abc", "-5", None):
            with self.subTest(count=count):
                with open(os.path.join(self.folder, "config.bin"), "w", encoding="utf-16") as f:
                    f.write("[cloud_client]\r\nusername=demo\r\npassword=%s\r\nautologin=true\r\n"
                            "[HistoryAccount]\r\n%susername1=alice\r\npassword1=aXYZ\r\n"
                            "username2=bob\r\npassword2=bQRS\r\n"
                            % (encoded("demo123"), "" if count is None else "AccountCount=%s\r\n" % count))
                client = self.start()
                self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
                client.kill()
                with open(os.path.join(self.folder, "config.bin"), "rb") as f:
                    config = f.read().decode("utf-16")
                history = config[config.index("[HistoryAccount]"):]
                self.assertIn("AccountCount=3\r\n", history)
                for line in ("username1=alice", "username2=bob", "username3=demo"):
                    self.assertIn(line + "\r\n", history)
                # Every password kept, sealed now (none in the open any more).
                for key in ("password1", "password2", "password3"):
                    self.assertIn("%s=%s" % (key, SEALED), history)
                self.assertNotIn("aXYZ", history)
                self.assertNotIn("bQRS", history)

    @staticmethod
    def is_minimised(state):
        left, top, right, bottom = state["rect"]
        return left <= -32000 or (right - left <= 200 and bottom - top <= 40)

    def window_state(self, hwnd):
        for window in h.driver("list", "--all"):
            if window.get("hwnd") == hwnd:
                return window
        return None

    def test_second_instance_restores_a_minimised_first_instance(self):
        self.write_config()
        client = self.start()
        window = self.wait_window("PXJMainFrame")
        self.assertIsNotNone(window)
        hwnd = window["hwnd"]
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        before = self.window_state(hwnd)  # maximised by then
        # A minimised window is only its icon: at -32000 under Windows, a 160x24 title strip
        # under Wine without a window manager.
        h.driver("send", "--hwnd", hwnd, "--msg", 0x112, "--wparam", 0xF020)
        self.assertTrue(self.wait_for(lambda: self.is_minimised(self.window_state(hwnd)), 10))
        second = self.start()
        self.assertEqual(MINUS_ONE, second.wait())
        self.assertTrue(self.wait_for(lambda: not self.is_minimised(self.window_state(hwnd)), 10))
        state = self.window_state(hwnd)
        self.assertTrue(state["visible"])
        self.assertEqual(before["rect"], state["rect"])  # back to its maximised place
        self.assertIsNone(client.proc.poll())
        # Only one main window: the second instance showed nothing of its own.
        self.assertEqual(1, len(h.driver("list", "--title", TITLE)))

    def test_switch_account_from_the_tray_starts_a_new_instance_at_the_login_dialog(self):
        self.write_config()
        client = self.start()
        window = self.wait_window("PXJMainFrame")
        self.assertIsNotNone(window)
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        logins = len(self.requests("/platform/encrypt/login"))
        # Right click on the tray icon opens the menu; its second item is switch account.
        h.driver("send", "--hwnd", window["hwnd"], "--msg", 0x465, "--lparam", 0x204, "--post")
        menu = self.wait_window_class("DuiMenuWnd", client.pid)
        self.assertIsNotNone(menu)
        item = (5 + 32 + 16) << 16 | 60  # inset 5, rows of 32 pixels, at 100 %
        h.driver("send", "--hwnd", menu["hwnd"], "--msg", 0x200, "--lparam", item)
        h.driver("send", "--hwnd", menu["hwnd"], "--msg", 0x201, "--wparam", 1, "--lparam", item)
        h.driver("send", "--hwnd", menu["hwnd"], "--msg", 0x202, "--lparam", item)
        self.assertEqual(MINUS_ONE, client.wait())
        # The new instance was not turned away by the single-instance name, and it waits.
        dialog = self.wait_window("LoginDlg")
        self.assertIsNotNone(dialog)
        self.assertNotEqual(client.pid, dialog["pid"])
        time.sleep(1.0)
        self.assertEqual(logins, len(self.requests("/platform/encrypt/login")))
        with open(os.path.join(self.folder, "config.bin"), "rb") as f:
            self.assertIn("click_close_exit=true", f.read().decode("utf-16"))
        h.driver("close", "--hwnd", dialog["hwnd"])
        h.driver("wait-gone", "--hwnd", dialog["hwnd"], "--timeout", 10000)

    def click_at(self, hwnd, x, y):
        point = y << 16 | x
        for msg, wparam in ((0x200, 0), (0x201, 1), (0x202, 0)):
            h.driver("send", "--hwnd", hwnd, "--msg", msg, "--wparam", wparam, "--lparam", point)

    def choose_tray_item(self, hwnd, pid, y):
        h.driver("send", "--hwnd", hwnd, "--msg", 0x465, "--lparam", 0x204, "--post")
        menu = self.wait_window_class("DuiMenuWnd", pid)
        self.assertIsNotNone(menu)
        self.click_at(menu["hwnd"], 60, y)

    @staticmethod
    def button_drawn(image, box, fill, ink):
        """True when most of the button's inner area has its fill colour and some pixels carry
        the colour of its caption: a black or blank rectangle passes neither test."""
        def near(p, c):
            return all(abs(a - b) <= 24 for a, b in zip(p, c))
        left, top, right, bottom = box
        pixels = [image.pixel(x, y) for y in range(top + 3, bottom - 3) for x in range(left + 3, right - 3)]
        filled = sum(near(p, fill) for p in pixels)
        inked = sum(ink(p) for p in pixels)
        return filled * 2 > len(pixels) and inked * 100 > len(pixels)

    def test_exit_from_the_tray_with_the_window_hidden_shows_a_drawn_confirmation(self):
        self.write_config()
        client = self.start()
        window = self.wait_window("PXJMainFrame", pid=client.pid)
        self.assertIsNotNone(window)
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        # The main window opens maximised; hide it with its close button (top right corner).
        self.assertTrue(self.wait_for(lambda: self.window_state(window["hwnd"])["rect"][0] <= 0, 20))
        left, top, right, _ = self.window_state(window["hwnd"])["rect"]
        self.click_at(window["hwnd"], right - left - 20, 20)
        self.assertTrue(self.wait_for(lambda: not self.window_state(window["hwnd"])["visible"], 10))

        # Tray menu: inset 5, two rows of 32 pixels, a 9-pixel separator, then the exit row.
        self.choose_tray_item(window["hwnd"], client.pid, 5 + 32 + 32 + 9 + 16)
        dialog = self.wait_window_class("ConfirmDlg", client.pid)
        self.assertIsNotNone(dialog)
        main = self.window_state(window["hwnd"])
        self.assertTrue(main["visible"])
        dl, dt, dr, db = dialog["rect"]
        ml, mt, mr, mb = main["rect"]
        self.assertTrue(ml <= dl and mt <= dt and dr <= mr and db <= mb, (main, dialog))

        # The skin's buttons row: 84-pixel buttons 10 apart, 18 from the right, inset 10/16.
        scale = (dr - dl) / 380.0
        image_box = (dl, dt, dr - dl, db - dt)

        def at(x0, y0, x1, y1):
            return (int(x0 * scale), int(y0 * scale), int(x1 * scale), int(y1 * scale))
        ok_box, cancel_box = at(278, 152, 362, 184), at(184, 152, 268, 184)

        def drawn():
            image = screen_grab.grab(*image_box)
            return image is not None and \
                self.button_drawn(image, ok_box, (0x2F, 0x7B, 0xEA), lambda p: min(p) > 200) and \
                self.button_drawn(image, cancel_box, (0xFF, 0xFF, 0xFF), lambda p: max(p) < 140)
        self.assertTrue(self.wait_for(drawn, 15), "the confirmation's buttons are not on the screen")

        # Cancel hides the dialog and the client keeps running.
        cx, cy = (cancel_box[0] + cancel_box[2]) // 2, (cancel_box[1] + cancel_box[3]) // 2
        self.click_at(dialog["hwnd"], cx, cy)
        self.assertTrue(self.wait_for(lambda: not (self.window_state(dialog["hwnd"]) or {}).get("visible"), 10))
        time.sleep(0.5)
        self.assertIsNone(client.proc.poll())
        client.kill()

    def test_quit_message_with_restart_ends_with_minus_one_and_the_new_one_waits(self):
        self.write_config()
        client = self.start()
        window = self.wait_window("PXJMainFrame")
        self.assertIsNotNone(window)
        h.driver("send", "--hwnd", window["hwnd"], "--msg", 0x46E, "--wparam", 1, "--lparam", 1, "--post")
        self.assertEqual(MINUS_ONE, client.wait())
        dialog = self.wait_window("LoginDlg")
        self.assertIsNotNone(dialog)
        time.sleep(1.0)
        self.assertEqual(1, len(self.requests("/platform/encrypt/login")))
        h.driver("close", "--hwnd", dialog["hwnd"])
        h.driver("wait-gone", "--hwnd", dialog["hwnd"], "--timeout", 10000)

    def read_config(self):
        with open(os.path.join(self.folder, "config.bin"), "rb") as f:
            return f.read().decode("utf-16")

    # -----------------------------------------------------------------------------------------
    # What others can make the elevated client do

    def test_shipped_programs_read_no_environment_and_write_no_marks(self):
        for name in ("quorvane.exe", "quorvupdate.exe"):
            with open(os.path.join(BIN, name), "rb") as f:
                data = f.read()
            self.assertNotIn(b"QUORVANE_", data, name)
            self.assertNotIn("QUORVANE_".encode("utf-16-le"), data, name)
        marks = os.path.join(self.folder, "marks.txt")
        self.write_config()
        client = self.start(env={"QUORVANE_TIMELINE": h.win_path(marks)})
        self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        client.kill()
        self.assertFalse(os.path.exists(marks))
        # The test build, which the start-up bench uses, does write them.
        shutil.copy2(os.path.join(BIN, "quorvane_testwaits.exe"), os.path.join(self.folder, "quorvane.exe"))
        client = self.start("NoLogin", env={"QUORVANE_TIMELINE": h.win_path(marks)})
        dialog = self.wait_window("LoginDlg", pid=client.pid)
        self.assertIsNotNone(dialog)
        self.assertTrue(self.wait_for(lambda: os.path.exists(marks)))
        h.driver("close", "--hwnd", dialog["hwnd"])
        self.assertEqual(MINUS_ONE, client.wait())
        with open(marks) as f:
            self.assertIn("entry ", f.read())

    def test_passwords_are_sealed_and_an_older_config_keeps_every_account(self):
        # A config.bin as earlier clients wrote it: the remembered password in the open.
        with open(os.path.join(self.folder, "config.bin"), "w", encoding="utf-16") as f:
            f.write("[cloud_client]\r\nusername=demo\r\npassword=%s\r\nautologin=true\r\n"
                    "[HistoryAccount]\r\nAccountCount=2\r\nusername1=plus\r\npassword1=%s\r\n"
                    "username2=demo\r\npassword2=%s\r\n"
                    % (encoded("demo123"), encoded(demo_platform.USERS["plus"]), encoded("demo123")))
        client = self.start()
        self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        client.kill()
        sent = self.requests("/platform/encrypt/login")[0]["body"]
        self.assertIn(('"password":"%s"' % encoded("demo123")).encode("ascii"), sent)
        config = self.read_config()
        self.assertIn("password=" + SEALED, config)
        self.assertNotIn(encoded("demo123")[2:], config)
        self.assertNotIn(encoded(demo_platform.USERS["plus"])[2:], config)
        history = config[config.index("[HistoryAccount]"):]
        for line in ("AccountCount=2", "username1=plus", "username2=demo"):
            self.assertIn(line + "\r\n", history)
        # The sealed form signs in by itself at the next start, with the same encoded password.
        del self.platform.requests[:]
        client = self.start()
        self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        client.kill()
        self.assertIn(('"password":"%s"' % encoded("demo123")).encode("ascii"),
                      self.requests("/platform/encrypt/login")[0]["body"])

    def test_a_password_sealed_for_another_user_is_never_sent(self):
        # What another Windows user's sealed value looks like here: it does not open.
        foreign = SEALED + base64.b64encode(os.urandom(230)).decode("ascii")
        with open(os.path.join(self.folder, "config.bin"), "w", encoding="utf-16") as f:
            f.write("[cloud_client]\r\nusername=demo\r\npassword=%s\r\nautologin=true\r\n" % foreign)
        client = self.start()
        dialog = self.wait_window("LoginDlg", pid=client.pid)
        self.assertIsNotNone(dialog)
        time.sleep(1.0)
        self.assertEqual([], self.requests("/platform/encrypt/login"))
        # Enter with the empty password box starts nothing either.
        h.driver("send", "--hwnd", dialog["hwnd"], "--msg", 0x102, "--wparam", 13, "--post")
        time.sleep(0.5)
        self.assertEqual([], self.requests("/platform/encrypt/login"))
        h.driver("close", "--hwnd", dialog["hwnd"])
        self.assertEqual(MINUS_ONE, client.wait())
        self.assertIn("password=" + foreign, self.read_config())  # left for its own user

    def test_a_page_naming_the_login_page_in_its_query_does_not_end_the_client(self):
        base = self.platform.base_url
        self.platform.get_overrides["/dashboard"] = (
            302, [("Location", "/user/space/index?r=%s/login#%s/login" % (base, base))], b"")
        self.write_config()
        client = self.start()
        self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
        self.assertTrue(self.wait_for(lambda: self.requests("/user/space/index?r=")))
        time.sleep(1.5)
        self.assertIsNone(client.proc.poll())
        self.assertEqual([], [w for w in h.driver("list", "--title", TITLE) if w.get("class") == "LoginDlg"])
        client.kill()

    def test_switches_that_run_programs_are_refused_and_others_honoured(self):
        self.write_config()
        for switch in ("--gpu-launcher=cmd.exe", "--Renderer-Cmd-Prefix=\"cmd /c calc\"",
                       "--remote-debugging-port=9222", "/load-extension=C:\\ext"):
            with self.subTest(switch=switch):
                client = self.start(switch)
                box = h.driver("answer", "--button", "IDOK", "--pid", client.pid, "--timeout", 30000)
                self.assertTrue(box and "不被允许" in box[0].get("text", ""), box)
                self.assertIn("--" + switch.split("=")[0].lstrip("-/").lower(), box[0]["text"])
                self.assertEqual(MINUS_ONE, client.wait())
                self.assertEqual([], self.requests("/platform/encrypt/login"))
        # An engine sub-process started with such a switch is the engine's: it ends at the dispatch.
        self.assertEqual(0, self.start("--type=gpu-process --gpu-launcher=x").wait())
        # Other switches go to the engine as before.
        client = self.start("--user-agent=quorvane-probe-agent")
        self.assertIsNotNone(self.wait_window("PXJMainFrame", pid=client.pid))
        self.assertTrue(self.wait_for(lambda: self.requests("/dashboard")))
        self.assertEqual("quorvane-probe-agent", self.requests("/dashboard")[0]["headers"].get("User-Agent"))
        client.kill()

    def test_a_look_alike_window_of_another_program_is_left_alone(self):
        holder = subprocess.Popen(h.wine(h.UIDRIVER, "hold-mutex", "--name", "lenmark20191202"),
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (holder.stdin.close(), holder.wait(timeout=10), holder.stdout.close()))
        self.assertIn(b"held", holder.stdout.readline())
        fake = h.HostWindow(TITLE)
        self.addCleanup(fake.proc.stdout.close)
        self.addCleanup(fake.close)
        h.driver("send", "--hwnd", fake.hwnd, "--msg", 0x112, "--wparam", 0xF020)
        self.assertTrue(self.wait_for(lambda: self.is_minimised(self.window_state(fake.hwnd)), 10))
        self.write_config()
        client = self.start()
        self.assertEqual(MINUS_ONE, client.wait())
        time.sleep(0.5)
        self.assertTrue(self.is_minimised(self.window_state(fake.hwnd)))  # not brought forward
        self.assertEqual([], self.requests("/platform/encrypt/login"))

    def wait_window_class(self, cls, pid, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for window in h.driver("list", "--pid", pid):
                if window.get("class") == cls:
                    return window
            time.sleep(0.1)
        return None


if __name__ == "__main__":
    unittest.main()
