"""The real updater (its short-wait test build) against servers that trickle, stall, redirect
elsewhere or answer too much: every run ends within its bounds with the outcome of a failed
query or download, and slow but steady downloads go through."""
import json
import os
import socket
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import updater_harness as h  # noqa: E402

MINUS_ONE = 4294967295  # exit code -1 as Windows reports it


def setUpModule():
    h.start_session()


def tearDownModule():
    h.stop_session()


class PacedServer:
    """Answers every request on 127.0.0.1 with `head`, then `body` in pieces of `piece` bytes,
    one every `pause` seconds (or, with `endless`, the piece again and again). Each connection
    is served on its own thread and given up after two minutes at most."""

    def __init__(self, head, body=b"", piece=1, pause=1.0, endless=False):
        self.head, self.body, self.piece, self.pause, self.endless = head, body, piece, pause, endless
        self.requests = []
        self.lock = threading.Lock()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def _accept(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        deadline = time.time() + 120
        try:
            conn.settimeout(30)
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                data += chunk
            with self.lock:
                self.requests.append(data)
            conn.sendall(self.head)
            at = 0
            while time.time() < deadline and (self.endless or at < len(self.body)):
                conn.sendall(self.body[at:at + self.piece] if not self.endless else self.body)
                at += self.piece
                time.sleep(self.pause)
        except OSError:
            pass
        finally:
            conn.close()

    def stop(self):
        self.listener.close()


class NetworkBounds(h.UpdaterCase):
    short_waits = True

    def setUp(self):
        super().setUp()
        with open(h.INSTALLER, "rb") as f:
            self.installer = f.read()

    def server(self, *args, **kw):
        server = PacedServer(*args, **kw)
        self.addCleanup(server.stop)
        return server

    def run_updater(self, command_line, answers=()):
        start = time.time()
        result = self.upd.run(command_line, answers, settle=60)
        print("%s: %.1f s" % (self.id().rsplit(".", 1)[-1], time.time() - start), file=sys.stderr)
        return result

    def query_fails(self, url):
        self.assertEqual((MINUS_ONE, []), self.run_updater(h.command_line(url, self.host.hwnd)))

    def test_trickling_query_ends(self):
        # One byte well within every per-byte wait, for ever: only the bound for the whole ends it.
        trickle = self.server(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", b" ", pause=1.0, endless=True)
        self.query_fails(trickle.url(h.QUERY_PATH))

    def test_https_on_a_port_that_never_answers_the_handshake(self):
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(4)  # the system takes the connection; nobody reads the hello
        self.addCleanup(silent.close)
        self.query_fails("https://127.0.0.1:%d%s" % (silent.getsockname()[1], h.QUERY_PATH))

    def test_reply_larger_than_the_cap_fails(self):
        # A sound offer behind 17 MiB of blanks: read whole, it would be shown.
        offer = json.dumps(h.offer("http://127.0.0.1:1/pkg/a.exe")).encode()
        body = b" " * (17 << 20) + offer
        big = self.server(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body), body,
                          piece=1 << 20, pause=0)
        self.query_fails(big.url(h.QUERY_PATH))

    def test_query_redirected_to_another_host_keeps_its_body(self):
        other = self.server(b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}")
        mover = self.server(b"HTTP/1.1 307 Moved\r\nLocation: " + other.url(h.QUERY_PATH).encode() +
                            b"\r\nContent-Length: 0\r\n\r\n")
        self.query_fails(mover.url(h.QUERY_PATH))
        self.assertEqual(1, len(mover.requests))
        self.assertEqual([], other.requests)

    def download_fails(self, url):
        self.service.reply = h.offer(url, is_must="1")
        code, boxes = self.run_updater(h.command_line(self.service.query_url, self.host.hwnd), ["IDOK", "IDOK"])
        self.assertEqual(1, code)
        self.assertIn("失败", boxes[1]["text"])
        self.assertFalse(os.path.exists(self.upd.E))

    def test_trickling_download_is_stalled(self):
        name = h.md5_hex(self.installer)
        trickle = self.server(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(self.installer),
                              self.installer, piece=64, pause=1.0)
        self.download_fails(trickle.url("/pkg/%s.exe" % name))

    def test_long_redirect_target_is_not_taken_for_the_installer(self):
        mover = self.server(b"HTTP/1.1 302 Found\r\nLocation: /pkg/a.exe?sig=" + b"s" * 9000 +
                            b"\r\nContent-Length: 0\r\n\r\n")
        self.download_fails(mover.url("/pkg/%s.exe" % h.md5_hex(self.installer)))

    def installs(self, url):
        self.service.reply = h.offer(url, is_must="1")
        code, boxes = self.run_updater(h.command_line(self.service.query_url, self.host.hwnd), ["IDOK", "IDYES"])
        self.assertEqual(1, code, boxes)
        self.assertEqual(1, len(self.upd.installer_runs()))

    def test_slow_but_steady_download_goes_through(self):
        # 40 KB/s: the whole takes far longer than the silence a download may have, but bytes
        # keep coming all along.
        steady = self.server(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(self.installer),
                             self.installer, piece=4000, pause=0.1)
        self.installs(steady.url("/pkg/%s.exe" % h.md5_hex(self.installer)))

    def test_digest_is_read_from_the_path_alone(self):
        url = self.service.add_file(self.installer)
        self.installs(url + "?expires=1.5&path=/cdn/x.y#part.2")


if __name__ == "__main__":
    unittest.main()
