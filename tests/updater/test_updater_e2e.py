"""The real quorvupdate.exe under Wine against a fixture update service, its message boxes
read and answered through the UI driver."""
import os
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import updater_harness as h  # noqa: E402

MINUS_ONE = 4294967295  # exit code -1 as Windows reports it

BROKEN_URL_CLOSED_PORT = "http://127.0.0.1:%d" + h.QUERY_PATH


def setUpModule():
    h.start_session()


def tearDownModule():
    h.stop_session()


class UpdaterCase(h.UpdaterCase):
    def setUp(self):
        super().setUp()
        with open(h.INSTALLER, "rb") as f:
            self.installer = f.read()

    def cmd(self, **kw):
        return h.command_line(self.service.query_url, self.host.hwnd, **kw)

    def assertBox(self, box, caption, text, buttons=(1,), owner=None):
        self.assertEqual(caption, box["caption"])
        self.assertEqual(text, box["text"])
        self.assertEqual(list(buttons), sorted(b["id"] for b in box["buttons"]))
        self.assertEqual(self.host.hwnd if owner is None else owner, box["owner"])


class CommandLine(UpdaterCase):
    def test_each_check_in_order(self):
        rows = [
            (None, "提示", "没有传入参数"),
            ("not json {", "提示-解析失败", "not json {"),
            ("更新 {参数", "提示-解析失败", "更新 {参数"),
            ('{"header":{}}', "提示", "缺少url"),
            ('[1,2]', "提示", "缺少url"),
            ('{"url":5,"postdata":{},"header":{},"MainHwnd":1}', "提示", "缺少url"),
            ('{"url":"u"}', "提示", "缺少postdata"),
            ('{"url":"u","postdata":"x","header":{}}', "提示", "缺少postdata"),
            ('{"url":"u","postdata":{}}', "提示", "缺少header"),
            ('{"url":"u","postdata":{},"header":{}}', "提示", "缺少MainHwnd参数"),
            ('{"url":"u","postdata":{},"header":{},"MainHwnd":"65538"}', "提示", "缺少MainHwnd参数"),
            ('{"url":"u","postdata":{"version":null},"header":{},"MainHwnd":1}', "提示",
             "postdata中没有版本号version"),
        ]
        for command_line, caption, text in rows:
            with self.subTest(command_line=command_line):
                code, boxes = self.upd.run(command_line, ["IDOK"])
                self.assertEqual(1, code)
                self.assertBox(boxes[0], caption, text, owner=0)
        self.assertEqual([], self.service.requests)


class Query(UpdaterCase):
    def test_headers_and_styled_body(self):
        self.service.reply = {"status": 500}
        code, boxes = self.upd.run(self.cmd())
        self.assertEqual((1, []), (code, boxes))
        [query] = self.service.queries()
        self.assertEqual(h.QUERY_PATH, query["path"])
        self.assertEqual(h.ACCEPT_POINT, query["headers"]["Accept-Point"])
        self.assertEqual("application/json", query["headers"]["Content-Type"])
        self.assertEqual("Http-connect", query["headers"]["User-Agent"])
        self.assertEqual(h.styled_body({"type": "quorvane_client", "version": "1.0.3.12"}).encode(),
                         query["body"])

    def test_version_file_replaces_the_version(self):
        self.service.reply = {"status": 500}
        for content, sent in (("[browser_client]\nversion=2.0.0.7\n", "2.0.0.7"),
                              ("[other]\nversion=9\n", "")):
            with self.subTest(content=content):
                self.service.requests.clear()
                self.upd.write_version_file(content)
                self.assertEqual(1, self.upd.run(self.cmd())[0])
                body = self.service.queries()[0]["body"]
                self.assertEqual(h.styled_body({"type": "quorvane_client", "version": sent}).encode(), body)

    def test_endings_without_a_message(self):
        rows = [
            (b"", MINUS_ONE),
            (b"<html>busy</html>", 1),
            ({"status": 404, "result": {}}, 1),
            ({"status": 20000}, 1),
            ({"status": 20000, "result": "none"}, 1),
        ]
        for reply, expected in rows:
            with self.subTest(reply=reply):
                self.service.reply = reply
                self.assertEqual((expected, []), self.upd.run(self.cmd()))

    def test_service_unreachable(self):
        url = "http://127.0.0.1:%d%s" % (h.free_port(), h.QUERY_PATH)
        code, boxes = self.upd.run(h.command_line(url, self.host.hwnd))
        self.assertEqual((MINUS_ONE, []), (code, boxes))

    def test_missing_members_are_reported_to_the_owner(self):
        full = h.offer("http://x/pkg/a.exe")["result"]
        rows = [
            ({"result": full}, "没有status字段"),
            ({"status": "20000", "result": full}, "没有status字段"),
            ({"status": 20000, "result": {}}, "没有找到is_normal字段"),
            ({"status": 20000, "result": {"is_normal": 0}}, "没有找到is_must字段"),
            ({"status": 20000, "result": dict(full, text=12)}, "缺少text字段"),
            ({"status": 20000, "result": {k: v for k, v in full.items() if k != "url"}}, "缺少url字段"),
            ({"status": 20000, "result": {k: v for k, v in full.items() if k != "version"}},
             "返回数据缺少version字段"),
        ]
        for reply, text in rows:
            with self.subTest(text=text, reply=reply):
                self.service.reply = reply
                code, boxes = self.upd.run(self.cmd(), ["IDOK"])
                self.assertEqual(MINUS_ONE, code)
                self.assertBox(boxes[0], "提示", text)
        self.assertEqual([], self.service.downloads())


class Decisions(UpdaterCase):
    def test_no_update_deletes_pending_installer(self):
        self.upd.put_pending_installer()
        self.service.reply = h.offer("http://x/pkg/a.exe", is_normal="0")
        self.assertEqual((MINUS_ONE, []), self.upd.run(self.cmd()))
        self.assertFalse(os.path.exists(self.upd.E))

    def test_mandatory_with_pending_installer(self):
        self.upd.put_pending_installer()
        self.upd.write_version_file("[browser_client]\nversion=2.0.0.1\n")
        self.service.reply = h.offer(self.service.add_file(self.installer), is_must="1")
        code, boxes = self.upd.run(self.cmd(), ["IDOK"])
        self.assertEqual(MINUS_ONE, code)
        self.assertBox(boxes[0], "提示", "检测到新版本,即将更新")
        [run] = self.upd.installer_runs()
        self.assertEqual("", run["params"])
        self.assertEqual(h.win_path(self.upd.dir).lower(), run["cwd"].rstrip("\\").lower())
        self.assertFalse(os.path.exists(self.upd.V))
        self.assertEqual([], self.service.downloads())

    def test_mandatory_download_then_yes_or_no(self):
        url = self.service.add_file(self.installer)
        self.service.reply = h.offer(url, is_must="1")
        for answer in ("IDNO", "IDYES"):
            with self.subTest(answer=answer):
                if os.path.exists(self.upd.E):
                    os.remove(self.upd.E)
                self.upd.write_version_file("[browser_client]\nversion=2.0.0.1\n")
                code, boxes = self.upd.run(self.cmd(), ["IDOK", answer])
                self.assertEqual(1, code)
                self.assertBox(boxes[0], "更新提示", "修复了若干问题 将进行后台下载更新")
                self.assertBox(boxes[1], "提示", "升级版本下载完成是否现在更新?", buttons=(6, 7))
                self.assertFalse(os.path.exists(self.upd.V))
                self.assertFalse(os.path.exists(self.upd.P))
                with open(self.upd.E, "rb") as f:
                    self.assertEqual(self.installer, f.read())
        [run] = self.upd.installer_runs()
        self.assertEqual("", run["params"])
        self.assertEqual(2, len(self.service.downloads()))
        # An E that stays is what the next run starts without downloading.
        code, boxes = self.upd.run(self.cmd(), ["IDOK"])
        self.assertEqual(MINUS_ONE, code)
        self.assertBox(boxes[0], "提示", "检测到新版本,即将更新")
        self.assertEqual(2, len(self.upd.installer_runs(2)))
        self.assertEqual(2, len(self.service.downloads()))

    def test_optional_with_pending_installer_asks_nothing(self):
        for is_must in ("0", "true"):
            with self.subTest(is_must=is_must):
                self.upd.put_pending_installer()
                self.upd.write_version_file("[browser_client]\nversion=2.0.0.1\n")
                self.service.reply = h.offer(self.service.add_file(self.installer), is_must=is_must)
                self.assertEqual((MINUS_ONE, []), self.upd.run(self.cmd()))
                self.assertFalse(os.path.exists(self.upd.V))
        runs = self.upd.installer_runs(2)
        self.assertEqual(["delete", "delete"], [r["params"] for r in runs])

    def test_optional_declined_then_next_run_sends_declined_version(self):
        url = self.service.add_file(self.installer)
        self.service.reply = h.offer(url, is_must="true", version="3.1.0.2")
        code, boxes = self.upd.run(self.cmd(), ["IDNO"])
        self.assertEqual(1, code)
        self.assertBox(boxes[0], "更新提示", "修复了若干问题 是否进行更新?", buttons=(6, 7))
        self.assertIn("version=3.1.0.2", self.upd.read_version_file())
        self.assertIn("[browser_client]", self.upd.read_version_file())
        self.assertFalse(os.path.exists(self.upd.E))
        self.assertEqual([], self.service.downloads())

        self.service.reply = h.offer(url, is_normal="0")
        self.assertEqual((MINUS_ONE, []), self.upd.run(self.cmd()))
        body = self.service.queries()[-1]["body"]
        self.assertEqual(h.styled_body({"type": "quorvane_client", "version": "3.1.0.2"}).encode(), body)

    def test_optional_accepted(self):
        url = self.service.add_file(self.installer)
        # "is_normal" as the number 0 is not "no update".
        self.service.reply = h.offer(url, is_must="0", is_normal=0)
        for answer in ("IDNO", "IDYES"):
            with self.subTest(answer=answer):
                if os.path.exists(self.upd.E):
                    os.remove(self.upd.E)
                self.upd.write_version_file("[browser_client]\nversion=2.0.0.1\n")
                code, boxes = self.upd.run(self.cmd(), ["IDYES", answer])
                self.assertEqual(MINUS_ONE, code)
                self.assertBox(boxes[0], "更新提示", "修复了若干问题 是否进行更新?", buttons=(6, 7))
                self.assertBox(boxes[1], "提示", "升级版本下载完成是否现在更新?", buttons=(6, 7))
                self.assertFalse(os.path.exists(self.upd.V))
                self.assertTrue(os.path.exists(self.upd.E))
        [run] = self.upd.installer_runs()
        self.assertEqual("delete", run["params"])
        self.assertEqual(h.win_path(self.upd.dir).lower(), run["cwd"].rstrip("\\").lower())

    def test_uppercase_digest_in_url(self):
        url = self.service.add_file(self.installer, name=h.md5_hex(self.installer).upper())
        self.service.reply = h.offer(url, is_must="1")
        code, boxes = self.upd.run(self.cmd(), ["IDOK", "IDYES"])
        self.assertEqual(1, code)
        self.assertEqual(1, len(self.upd.installer_runs()))

    def test_dead_main_window_still_asks(self):
        dead = h.driver("dead-hwnd")[0]
        self.assertFalse(dead["is_window"])
        url = self.service.add_file(self.installer)
        self.service.reply = h.offer(url, is_must="0")
        code, boxes = self.upd.run(h.command_line(self.service.query_url, dead["hwnd"]), ["IDNO"])
        self.assertEqual(1, code)
        self.assertBox(boxes[0], "更新提示", "修复了若干问题 是否进行更新?", buttons=(6, 7), owner=0)
        self.assertTrue(os.path.exists(self.upd.V))


class Downloads(UpdaterCase):
    def test_broken_download(self):
        url = self.service.add_file(self.installer, broken=True)
        rows = [("1", ["IDOK", "IDOK"], 1), ("0", ["IDYES"], MINUS_ONE)]
        for is_must, answers, expected in rows:
            with self.subTest(is_must=is_must):
                self.service.reply = h.offer(url, is_must=is_must)
                code, boxes = self.upd.run(self.cmd(), answers)
                self.assertEqual(expected, code)
                if is_must == "1":
                    self.assertBox(boxes[1], "download", "失败")
                with open(self.upd.P, "rb") as f:
                    self.assertEqual(self.installer[: len(self.installer) // 2], f.read())
                self.assertFalse(os.path.exists(self.upd.E))
                self.assertEqual([], self.upd.installer_runs(timeout=0))

    def test_digest_mismatch_deletes_installer(self):
        wrong = "f" * 32
        rows = [
            ("1", self.service.add_file(self.installer, name=wrong), ["IDOK", "IDOK"]),
            ("0", self.service.add_file(self.installer, name=wrong[:31]), ["IDYES", "IDOK"]),
            # An error page is stored like any body and then fails the check.
            ("0", self.service.base + "/pkg/" + h.md5_hex(b"x") + ".exe", ["IDYES", "IDOK"]),
        ]
        for is_must, url, answers in rows:
            with self.subTest(url=url):
                # Signed for what the service means to send; the digest check comes first.
                self.service.reply = h.offer(url, is_must=is_must,
                                             signature=h.sign(self.installer) if h.can_sign() else None)
                code, boxes = self.upd.run(self.cmd(), answers)
                self.assertEqual(MINUS_ONE, code)
                self.assertBox(boxes[-1], "提示", "文件校验失败,将在下次重新更新")
                self.assertFalse(os.path.exists(self.upd.E))
                self.assertFalse(os.path.exists(self.upd.P))

    def test_installer_that_is_no_program_is_deleted(self):
        junk = b"this is not a program\r\n" * 100
        url = self.service.add_file(junk)
        self.service.reply = h.offer(url, is_must="1")
        code, boxes = self.upd.run(self.cmd(), ["IDOK", "IDYES"])
        self.assertEqual(1, code)
        self.assertFalse(os.path.exists(self.upd.E))

    def test_pending_junk_installer_is_deleted_after_start(self):
        with open(self.upd.E, "wb") as f:
            f.write(b"MZ but nothing more")
        self.service.reply = h.offer(self.service.add_file(b"MZ but nothing more"), is_must="0")
        self.assertEqual((MINUS_ONE, []), self.upd.run(self.cmd()))
        self.assertFalse(os.path.exists(self.upd.E))


class Stalls(UpdaterCase):
    """A server that answers nothing, stalls or redirects forever: every run ends within its
    bound (the test build's waits: 2 s per network wait, 4 s of download silence)."""

    def setUp(self):
        super().setUp()
        self.bad = h.BadServer()
        self.addCleanup(self.bad.stop)
        self.upd.cleanup()
        self.upd = h.UpdaterRun(short_waits=True)
        self.addCleanup(self.upd.cleanup)

    def timed_run(self, command_line, answers=()):
        start = time.time()
        code, boxes = self.upd.run(command_line, answers, settle=40)
        return code, boxes, time.time() - start

    def test_query_that_never_ends_is_a_failed_query(self):
        for path in ("/hole", "/headers", "/partial", "/loop", "/slowloop"):
            with self.subTest(path=path):
                code, boxes, took = self.timed_run(h.command_line(self.bad.url(path), self.host.hwnd))
                self.assertEqual((MINUS_ONE, []), (code, boxes))
                self.assertLess(took, 30)
                if "loop" in path:
                    self.assertEqual(11, self.bad.count(path))
                print("query %-9s ended in %.1f s" % (path, took), file=sys.stderr)

    def test_download_that_never_ends_fails_like_a_broken_one(self):
        urls = [self.bad.url(p + "/" + h.md5_hex(b"x") + ".exe") for p in ("/hole", "/headers", "/partial", "/loop")]
        # Other schemes on a port that never answers.
        urls += ["https://127.0.0.1:%d/a.exe" % self.bad.port, "ftp://127.0.0.1:%d/a.exe" % self.bad.port]
        for url in urls:
            with self.subTest(url=url):
                self.service.reply = h.offer(url, is_must="1")
                code, boxes, took = self.timed_run(self.cmd(), ["IDOK", "IDOK"])
                self.assertEqual(1, code)
                self.assertBox(boxes[1], "download", "失败")
                self.assertFalse(os.path.exists(self.upd.E))
                if url.startswith("http:") and "/loop" not in url:
                    # The download target stays as a failed download leaves it (WinINet may
                    # still have held back the bytes that did arrive).
                    with open(self.upd.P, "rb") as f:
                        self.assertTrue((b"x" * 1000).startswith(f.read()))
                self.assertLess(took, 40)
                print("download %-40s ended in %.1f s" % (url.split("/")[2] + "/" + url.split("/")[3], took),
                      file=sys.stderr)
        # A later run with a sound download works.
        self.service.reply = h.offer(self.service.add_file(self.installer), is_must="1")
        code, boxes, _ = self.timed_run(self.cmd(), ["IDOK", "IDYES"])
        self.assertEqual(1, code)
        self.assertEqual(1, len(self.upd.installer_runs()))

    def test_second_updater_ends_at_once_while_one_works(self):
        self.service.reply = h.offer(self.bad.url("/hole/" + h.md5_hex(b"x") + ".exe"), is_must="1")
        first = {}

        def run_first():
            first["result"] = self.upd.run(self.cmd(), ["IDOK", "IDOK"], settle=40)

        worker = threading.Thread(target=run_first)
        worker.start()
        deadline = time.time() + 30
        while self.bad.count("/hole") == 0 and time.time() < deadline:
            time.sleep(0.05)
        queries = len(self.service.queries())
        start = time.time()
        code, boxes = self.upd.run(self.cmd(), settle=20)
        self.assertEqual((2, []), (code, boxes))
        self.assertLess(time.time() - start, 15)
        self.assertEqual(queries, len(self.service.queries()))  # touched nothing, asked nothing
        worker.join(60)
        code, boxes = first["result"]
        self.assertEqual(1, code)
        self.assertBox(boxes[1], "download", "失败")
        # The lock went with the first run.
        self.service.reply = {"status": 500}
        self.assertEqual((1, []), self.upd.run(self.cmd()))

    def test_folder_in_the_installers_place_is_no_pending_installer(self):
        os.mkdir(self.upd.E)
        self.service.reply = h.offer(self.service.add_file(self.installer), is_must="1")
        code, boxes = self.upd.run(self.cmd(), ["IDOK", "IDYES"])
        self.assertEqual(1, code)
        self.assertBox(boxes[0], "更新提示", "修复了若干问题 将进行后台下载更新")
        self.assertTrue(os.path.isfile(self.upd.E))
        self.assertEqual(1, len(self.upd.installer_runs()))

    def test_long_release_text_is_cut(self):
        self.service.reply = h.offer("http://x/pkg/a.exe", is_must="0", text="长" * 1000000)
        code, boxes, took = self.timed_run(self.cmd(), ["IDNO"])
        self.assertEqual(1, code)
        self.assertEqual("长" * 4000 + "… 是否进行更新?", boxes[0]["text"])
        print("1,000,000-character release text: question after %.1f s" % took, file=sys.stderr)

    def test_line_breaks_in_the_command_line_are_refused(self):
        rows = [(h.command_line(self.service.query_url + "\\r\\nX-Evil: 1", self.host.hwnd), "缺少url"),
                (h.command_line(self.service.query_url, self.host.hwnd, accept_point="a\\r\\nX-Evil: 1"),
                 "缺少header")]
        for command_line, text in rows:
            with self.subTest(text=text):
                code, boxes = self.upd.run(command_line, ["IDOK"])
                self.assertEqual(1, code)
                self.assertBox(boxes[0], "提示", text, owner=0)
        self.assertEqual([], self.service.requests)


class Texts(UpdaterCase):
    def test_chinese_release_notes_and_empty_text(self):
        rows = [("新版本：修复登录问题；优化打印。", "新版本：修复登录问题；优化打印。 是否进行更新?"),
                ("Ünïcödé ✓ 한국어", "Ünïcödé ✓ 한국어 是否进行更新?"),
                ("", " 是否进行更新?")]
        for text, shown in rows:
            with self.subTest(text=text):
                self.service.reply = h.offer("http://x/pkg/a.exe", is_must="0", text=text)
                code, boxes = self.upd.run(self.cmd(), ["IDNO"])
                self.assertEqual(1, code)
                self.assertBox(boxes[0], "更新提示", shown, buttons=(6, 7))


SIGNATURE_MISSING = "更新服务没有提供有效的安装包签名,将在下次重新更新"
SIGNATURE_WRONG = "安装包签名校验失败,将在下次重新更新"
OFFER_NOT_NEWER = "更新服务提供的版本不比当前版本新,不进行更新"


class Progress(UpdaterCase):
    """The download's window: what it shows, that it goes with the download, and Cancel."""

    def gated_installer(self, size=3 << 20):
        data = self.installer + os.urandom(size - len(self.installer))
        gate = threading.Event()
        self.addCleanup(gate.set)
        return data, self.service.add_file(data, gate=gate), gate

    def test_window_follows_the_download(self):
        data, url, gate = self.gated_installer()
        self.service.reply = h.offer(url, is_must="1", version="2.3.0.9")
        seen = {}

        def watch(pid):
            view = h.ProgressView(pid)
            seen["window"] = view.window
            seen["received"] = view.wait_text(102, "/ 3.0 MB")
            seen["heading"] = view.controls()[100]["text"]
            gate.set()

        code, boxes = self.upd.run(self.cmd(), ["IDOK"], then=watch, more_answers=["IDNO"])
        self.assertEqual(1, code)
        self.assertEqual("正在下载更新", seen["window"]["title"])
        self.assertEqual(0, seen["window"]["owner"])  # its own taskbar button
        self.assertEqual("正在下载新版本 2.3.0.9", seen["heading"])
        self.assertRegex(seen["received"], r"^已下载 .+ / 3\.0 MB（\d+%）$")

    def test_no_window_when_the_question_comes(self):
        data, url, gate = self.gated_installer()
        self.service.reply = h.offer(url, is_must="1")
        left = []

        def release_and_check(pid):
            h.ProgressView(pid)
            gate.set()
            question = h.driver("read-msgbox", "--pid", pid, "--timeout", 60000, timeout=90)
            left.extend(h.progress_windows(pid))
            self.assertEqual("升级版本下载完成是否现在更新?", question[0]["text"])

        code, boxes = self.upd.run(self.cmd(), ["IDOK"], then=release_and_check, more_answers=["IDNO"])
        self.assertEqual(1, code)
        self.assertEqual([], left)
        with open(self.upd.E, "rb") as f:
            self.assertEqual(h.md5_hex(data), h.md5_hex(f.read()))

    def test_cancel_ends_like_a_declined_update(self):
        # Mandatory: as when the installation is put off (exit 1, no V); optional: as when the
        # update is declined (exit 1, the offered version recorded).
        rows = [("1", ["IDOK"], False), ("0", ["IDYES"], True)]
        for is_must, answers, recorded in rows:
            with self.subTest(is_must=is_must):
                data, url, gate = self.gated_installer()
                self.service.reply = h.offer(url, is_must=is_must, version="2.0.0.5")

                def cancel(pid):
                    h.ProgressView(pid).cancel()

                # The read stays blocked at the gate until the run is over: Cancel must not wait
                # for it.
                try:
                    code, boxes = self.upd.run(self.cmd(), answers, then=cancel)
                finally:
                    gate.set()
                self.assertEqual(1, code)
                self.assertEqual(len(answers), len(boxes))
                self.assertFalse(os.path.exists(self.upd.P))
                self.assertFalse(os.path.exists(self.upd.E))
                self.assertEqual(recorded, os.path.exists(self.upd.V))
                if recorded:
                    self.assertIn("version=2.0.0.5", self.upd.read_version_file())
                self.assertEqual([], self.upd.installer_runs(timeout=0))


@unittest.skipUnless(h.can_sign() and os.path.exists(h.SIGNED_UPDATER), "no signed updater in this build (openssl missing)")
class Signed(UpdaterCase):
    """The updater built with a publisher key: only installers signed with its private key run."""

    def setUp(self):
        super().setUp()
        self.upd.cleanup()
        self.upd = h.UpdaterRun(h.SIGNED_UPDATER)
        self.addCleanup(self.upd.cleanup)

    def test_good_signature(self):
        url = self.service.add_file(self.installer)
        signature = h.sign(self.installer)
        rows = [("1", ["IDOK", "IDYES"], 1, ""), ("0", ["IDYES", "IDYES"], MINUS_ONE, "delete")]
        for is_must, answers, expected, params in rows:
            with self.subTest(is_must=is_must):
                if os.path.exists(self.upd.E):
                    os.remove(self.upd.E)
                # The .sig file as the release step wrote it; a line end added on the way is harmless.
                self.service.reply = h.offer(url, is_must=is_must, signature=signature + "\n")
                code, boxes = self.upd.run(self.cmd(), answers)
                self.assertEqual(expected, code)
                self.assertEqual("升级版本下载完成是否现在更新?", boxes[-1]["text"])
        self.assertEqual(["", "delete"], [r["params"] for r in self.upd.installer_runs(2)])

    def test_refused_signatures(self):
        tampered = bytearray(self.installer)
        tampered[-1] ^= 0x01
        tampered = bytes(tampered)
        good_url = self.service.add_file(self.installer)
        # Served under the tampered file's own MD5, so only the signature can tell.
        tampered_url = self.service.add_file(tampered)
        good = h.sign(self.installer)
        rows = [
            ("missing", good_url, None, SIGNATURE_MISSING, False),
            ("empty", good_url, "", SIGNATURE_MISSING, False),
            ("not text", good_url, 12345, SIGNATURE_MISSING, False),
            ("malformed", good_url, "AAAA" + good[4:40], SIGNATURE_MISSING, False),
            ("wrong key", good_url, h.sign(self.installer, key="other"), SIGNATURE_WRONG, True),
            ("tampered file", tampered_url, good, SIGNATURE_WRONG, True),
            ("bit flipped", good_url, good[:10] + ("A" if good[10] != "A" else "B") + good[11:], SIGNATURE_WRONG,
             True),
            # Signed for another version: the same installer offered as a newer one than it is.
            ("other version", good_url, h.sign(self.installer, version="1.9.0.0"), SIGNATURE_WRONG, True),
            # The installer's digest alone, as signatures used to be made: it names no version.
            ("digest only", good_url, self.digest_only_signature(self.installer), SIGNATURE_WRONG, True),
        ]
        for name, url, signature, message, downloads in rows:
            for is_must, answers in (("1", ["IDOK", "IDOK"]), ("0", ["IDYES", "IDOK"])):
                with self.subTest(case=name, is_must=is_must):
                    self.service.requests.clear()
                    self.service.reply = h.offer(url, is_must=is_must, signature=signature)
                    code, boxes = self.upd.run(self.cmd(), answers)
                    self.assertEqual(MINUS_ONE, code)
                    self.assertBox(boxes[-1], "提示", message)
                    self.assertEqual(downloads, bool(self.service.downloads()))
                    self.assertFalse(os.path.exists(self.upd.E))
                    self.assertFalse(os.path.exists(self.upd.P))
        self.assertEqual([], self.upd.installer_runs(timeout=0))

    @staticmethod
    def digest_only_signature(data):
        with h.tempfile.TemporaryDirectory(prefix="quorvupdate-sign-") as work:
            path = os.path.join(work, "installer.exe")
            with open(path, "wb") as f:
                f.write(data)
            der = h.sign_installer.openssl("dgst", "-sha256", "-sign", h.SIGNING_KEY, path)
        return h.sign_installer.base64.b64encode(h.sign_installer.raw_signature(der)).decode("ascii")

    def test_pending_installer_must_verify_too(self):
        signature = h.sign(self.installer)
        url = self.service.add_file(self.installer)
        # Verifies: started at once as before, nothing downloaded.
        self.upd.put_pending_installer()
        self.service.reply = h.offer(url, is_must="0", signature=signature)
        self.assertEqual((MINUS_ONE, []), self.upd.run(self.cmd()))
        self.assertEqual(["delete"], [r["params"] for r in self.upd.installer_runs()])
        self.assertEqual([], self.service.downloads())
        # Does not verify (left from another offer): removed, and the offer is fetched afresh.
        with open(self.upd.E, "wb") as f:
            f.write(self.installer + b"older build")
        self.service.reply = h.offer(url, is_must="1", signature=signature)
        code, boxes = self.upd.run(self.cmd(), ["IDOK", "IDNO"])
        self.assertEqual(1, code)
        self.assertBox(boxes[0], "更新提示", "修复了若干问题 将进行后台下载更新")
        self.assertEqual(1, len(self.service.downloads()))
        with open(self.upd.E, "rb") as f:
            self.assertEqual(self.installer, f.read())


class Trust(UpdaterCase):
    """What nobody on the network path, nor a program at normal rights, can make the updater do."""

    @unittest.skipIf(h.KEY_KIND == "unsigned", "this build was made with unsigned updates")
    def test_everyday_updater_refuses_an_unsigned_offer(self):
        # A forged reply needs only an "OK": the everyday build asks for the publisher's signature.
        url = self.service.add_file(self.installer)
        for is_must, answers in (("1", ["IDOK", "IDOK"]), ("0", ["IDYES", "IDOK"])):
            with self.subTest(is_must=is_must):
                self.service.reply = h.offer(url, is_must=is_must, signature=None)
                code, boxes = self.upd.run(self.cmd(), answers)
                self.assertEqual(MINUS_ONE, code)
                self.assertBox(boxes[-1], "提示", SIGNATURE_MISSING)
        self.assertEqual([], self.service.downloads())
        self.assertFalse(os.path.exists(self.upd.E))
        self.assertEqual([], self.upd.installer_runs(timeout=0))

    @unittest.skipUnless(h.can_sign() and os.path.exists(h.SIGNED_UPDATER), "no signed updater in this build")
    def test_replayed_older_offer_is_refused_before_anything_runs(self):
        # A validly signed older (or the same) version: refused at once, also when its installer
        # is already waiting as newupgrade.exe; V stays as it was.
        self.upd.cleanup()
        self.upd = h.UpdaterRun(h.SIGNED_UPDATER)
        self.addCleanup(self.upd.cleanup)
        url = self.service.add_file(self.installer)
        for version in ("1.0.3.11", "1.0.3.12", "1.0.3"):
            for is_must, pending in (("1", False), ("0", False), ("1", True), ("0", True)):
                with self.subTest(version=version, is_must=is_must, pending=pending):
                    if pending:
                        self.upd.put_pending_installer()
                    elif os.path.exists(self.upd.E):
                        os.remove(self.upd.E)
                    self.upd.write_version_file("[browser_client]\nversion=0.1.0.0\n")
                    # A text that is not four numbers cannot be signed at all; it is refused first.
                    signature = h.sign(self.installer, version=version) if version.count(".") == 3 else None
                    self.service.reply = h.offer(url, is_must=is_must, version=version, signature=signature)
                    code, boxes = self.upd.run(self.cmd(), ["IDOK"])
                    self.assertEqual(MINUS_ONE, code)
                    self.assertBox(boxes[0], "提示", OFFER_NOT_NEWER)
                    self.assertEqual(pending, os.path.exists(self.upd.E))
                    self.assertIn("version=0.1.0.0", self.upd.read_version_file())
        self.assertEqual([], self.service.downloads())
        self.assertEqual([], self.upd.installer_runs(timeout=0))
        # The next version, numerically greater, is taken.
        self.service.reply = h.offer(url, is_must="1", version="1.0.10.0")
        code, boxes = self.upd.run(self.cmd(), ["IDOK"])
        self.assertEqual(MINUS_ONE, code)
        self.assertBox(boxes[0], "提示", "检测到新版本,即将更新")

    def test_stale_pending_installer_is_replaced_in_an_unsigned_build(self):
        # Even with the MD5 as its only check, a newupgrade.exe that is not the installer the
        # service offers now (withdrawn, stale) is never started: it goes, and the offer is fetched.
        self.upd.cleanup()
        self.upd = h.UpdaterRun(h.UNSIGNED_UPDATER)
        self.addCleanup(self.upd.cleanup)
        current = self.installer + b"current build"
        url = self.service.add_file(current)
        for is_must, answers, expected in (("1", ["IDOK", "IDNO"], 1), ("0", ["IDYES", "IDNO"], MINUS_ONE)):
            with self.subTest(is_must=is_must):
                self.service.requests.clear()
                self.upd.put_pending_installer()
                self.service.reply = h.offer(url, is_must=is_must, signature=None)
                code, boxes = self.upd.run(self.cmd(), answers)
                self.assertEqual(expected, code)
                self.assertEqual("更新提示", boxes[0]["caption"])
                self.assertEqual(1, len(self.service.downloads()))
                with open(self.upd.E, "rb") as f:
                    self.assertEqual(current, f.read())
                os.remove(self.upd.E)
        self.assertEqual([], self.upd.installer_runs(timeout=0))

    def test_holder_of_the_old_mutex_name_blocks_nothing(self):
        name = h.old_lock_name(h.win_path(self.upd.dir))
        holder = h.subprocess.Popen(h.wine(h.UIDRIVER, "hold-mutex", "--name", name), stdin=h.subprocess.PIPE,
                                    stdout=h.subprocess.PIPE, stderr=h.subprocess.DEVNULL)
        try:
            self.assertIn(b'"held"', holder.stdout.readline())
            self.service.reply = {"status": 500}
            self.assertEqual((1, []), self.upd.run(self.cmd()))
            self.assertEqual(1, len(self.service.queries()))
        finally:
            holder.stdin.close()
            holder.wait(timeout=30)
            holder.stdout.close()
        # The lock file goes with the run that held it.
        self.assertFalse(os.path.exists(os.path.join(self.upd.dir, "quorvupdate.lock")))


if __name__ == "__main__":
    unittest.main()
