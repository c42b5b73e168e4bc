"""Harness for driving the real quorvupdate.exe under Wine: a fixture update service on
127.0.0.1, the UI driver that answers message boxes, and per-test folders."""
import hashlib
import http.server
import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import unittest
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import winarch  # noqa: E402
import sign_installer  # noqa: E402

ARCH = winarch.current_arch()
BIN = os.environ.get("QUORVANE_BIN", "")
UPDATER = os.path.join(BIN, "quorvupdate.exe")
UIDRIVER = os.path.join(BIN, "uidriver.exe")
INSTALLER = os.path.join(BIN, "updater_fixture_installer.exe")
# The updater built with waits that QUORVANE_TEST_WAIT_MS shortens (never shipped).
UPDATER_TESTWAITS = os.path.join(BIN, "quorvupdate_testwaits.exe")
TEST_WAIT_MS = 2000  # connect, send and receive; a download may be silent for twice as long
# Offers are signed with the build tree's own key (build/<arch>/update-key/publisher.pem), whose
# public half the everyday quorvupdate carries; a build made with the publisher's key names
# another updater that carries it (QUORVANE_SIGNED_UPDATER). test-keys/other.pem signs what
# every signed updater must refuse.
BUILD_DIR = os.path.dirname(BIN.rstrip("/"))
SIGNING_KEY = os.environ.get("QUORVANE_UPDATE_SIGNING_KEY") or os.path.join(BUILD_DIR, "update-key", "publisher.pem")
KEY_KIND = os.environ.get("QUORVANE_UPDATE_KEY_KIND", "build")
SIGNED_UPDATER = os.path.join(BIN, (os.environ.get("QUORVANE_SIGNED_UPDATER") or "quorvupdate") + ".exe")
# What -DQUORVANE_UNSIGNED_UPDATES=ON makes: the MD5 is its only check.
UNSIGNED_UPDATER = os.path.join(BIN, "quorvupdate_unsigned.exe")
KEYS = os.path.join(BUILD_DIR, "test-keys")
PROGRESS_CLASS = "QuorvUpdateProgress"

QUERY_PATH = "/platform/clientversion/findClientVersion"
ACCEPT_POINT = "0123456789abcdef0123456789abcdef"


win_path = winarch.win_path


def wine(program, *args):
    """The argument list that starts a Windows program of this run's architecture."""
    return winarch.command(ARCH, program, *args)


def md5_hex(data):
    return hashlib.md5(data).hexdigest()


DEFAULT_VERSION = "2.0.0.1"  # what offer() offers; the command line's client is 1.0.3.12
_signatures = {}


def sign(data, key="release", version=DEFAULT_VERSION):
    """The "signature" the release step makes for offering `data` as `version`: base64 of r||s."""
    path = SIGNING_KEY if key == "release" else os.path.join(KEYS, key + ".pem")
    cache = (path, version, hashlib.sha256(data).digest())
    if cache not in _signatures:
        _signatures[cache] = sign_installer.sign_bytes(path, version, data)
    return _signatures[cache]


def can_sign():
    return os.path.exists(SIGNING_KEY)


def styled_body(members):
    """What Json::StyledWriter makes of a flat object of strings (members sorted by name)."""
    if not members:
        return "{}\n"
    lines = ['   %s : %s' % (json.dumps(k), json.dumps(v)) for k, v in sorted(members.items())]
    return "{\n" + ",\n".join(lines) + "\n}\n"


# ---------------------------------------------------------------------------------------------
# Wine session

_xvfb = None


def start_session():
    global _xvfb
    winarch.use(ARCH)
    # Read only by the test builds of the programs.
    os.environ["QUORVANE_TEST_WAIT_MS"] = str(TEST_WAIT_MS)
    if not os.environ.get("DISPLAY"):
        for n in range(141, 200):
            if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
                break
        _xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = ":%d" % n
        deadline = time.time() + 10
        while not os.path.exists("/tmp/.X11-unix/X%d" % n) and time.time() < deadline:
            time.sleep(0.05)
    # Without a window manager on the X display, Wine waits 2 s for each closed message box to
    # be withdrawn unless its windows are unmanaged: boot() sees to that.
    winarch.boot(ARCH)
    acp = subprocess.run(wine("reg", "query", r"HKLM\System\CurrentControlSet\Control\Nls\CodePage", "/v", "ACP"),
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode("ascii", "replace")
    if "936" not in acp.split():
        raise RuntimeError("Wine's ANSI code page is not 936 (LC_ALL=zh_CN.UTF-8 missing?): %r" % acp)


def stop_session(kill_wine=False):
    global _xvfb
    if kill_wine:
        winarch.stop(ARCH)
    if _xvfb is not None:
        _xvfb.terminate()
        _xvfb.wait()
        _xvfb = None


def wait_for(predicate, timeout=30, step=0.1):
    """True as soon as `predicate()` holds, False when `timeout` seconds passed without it."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return False


def driver(*args, timeout=30):
    """Runs one uidriver command and returns its JSON lines."""
    out = subprocess.run(wine(UIDRIVER, *args), stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=timeout).stdout
    return [json.loads(line) for line in out.decode("ascii").splitlines() if line.strip().startswith("{")]


class HostWindow:
    """A plain top-level window standing in for the client's main window."""

    def __init__(self, title="quorvane e2e host"):
        self.proc = subprocess.Popen(wine(UIDRIVER, "host-window", "--title", title),
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.hwnd = json.loads(self.proc.stdout.readline().decode("ascii"))["hwnd"]

    def close(self):
        driver("close", "--hwnd", self.hwnd)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


# ---------------------------------------------------------------------------------------------
# Fixture update service

class Service:
    """Answers the update query with `reply` (bytes or a JSON-able value) and serves the files in
    `files` under /pkg/<name>. A file registered through `add_broken` announces its full length
    but the connection closes after half of it; one registered with a `gate` (an Event) sends
    half, then waits for the gate to open before the rest. Every request is kept in `requests`."""

    def __init__(self):
        self.reply = b""
        self.files = {}
        self.broken = set()
        self.gates = {}
        self.rates = {}  # name -> bytes per second the file is paced at
        # Per complete download: (seconds from first to last byte sent, bytes, and the same for
        # the last three quarters alone, when the receiver's start-up is over).
        self.transfers = []
        self.requests = []
        self.lock = threading.Lock()
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def record(self, body):
                with service.lock:
                    service.requests.append({"method": self.command, "path": self.path,
                                             "headers": self.headers, "body": body})

            def do_POST(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length)
                self.record(body)
                reply = service.reply
                if not isinstance(reply, bytes):
                    reply = json.dumps(reply, ensure_ascii=False).encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "application/json;charset=UTF-8")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def do_GET(self):
                self.record(b"")
                name = self.path.split("?")[0].rsplit("/", 1)[-1]
                data = service.files.get(name)
                if data is None:
                    page = b"<html><body>404 not found</body></html>"
                    self.send_response(404)
                    self.send_header("Content-Length", str(len(page)))
                    self.end_headers()
                    self.wfile.write(page)
                    return
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                if name in service.broken:
                    self.wfile.write(data[: len(data) // 2])
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
                    self.close_connection = True
                    return
                view = memoryview(data)
                gate = service.gates.get(name)
                if gate is not None:
                    self.wfile.write(view[: len(data) // 2])
                    self.wfile.flush()
                    gate.wait(120)
                    view = view[len(data) // 2:]
                began = time.perf_counter()
                quarter = None
                for start in range(0, len(view), 1 << 20):
                    if quarter is None and start >= len(view) // 4:
                        quarter = (time.perf_counter(), start)
                    self.wfile.write(view[start:start + (1 << 20)])
                    rate = service.rates.get(name)
                    if rate:
                        ahead = began + (start + (1 << 20)) / rate - time.perf_counter()
                        if ahead > 0:
                            time.sleep(ahead)
                ended = time.perf_counter()
                quarter = quarter or (began, 0)
                with service.lock:
                    service.transfers.append((ended - began, len(view), ended - quarter[0], len(view) - quarter[1]))

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def base(self):
        return "http://127.0.0.1:%d" % self.port

    @property
    def query_url(self):
        return self.base + QUERY_PATH

    def add_file(self, data, name=None, ext=".exe", broken=False, gate=None, rate=None):
        """Serves `data`; returns its download URL (named by its MD5 unless `name` is given).
        `rate` paces the body at that many bytes per second. offer() signs what it serves."""
        name = (name or md5_hex(data)) + ext
        self.files[name] = data
        _served[name] = data
        if rate:
            self.rates[name] = rate
        if broken:
            self.broken.add(name)
        if gate is not None:
            self.gates[name] = gate
        return self.base + "/pkg/" + name

    def queries(self):
        with self.lock:
            return [r for r in self.requests if r["method"] == "POST"]

    def downloads(self):
        with self.lock:
            return [r for r in self.requests if r["method"] == "GET"]

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


class BadServer:
    """A loopback server that misbehaves by path: "/hole" reads the request and never answers,
    "/headers" sends the headers of a 5000-byte answer and then nothing, "/partial" sends them
    with 1000 bytes and then nothing, "/loop" redirects to itself, "/slowloop" does too after a
    pause. A held connection is let go when the client closes it (at most after two minutes)."""

    def __init__(self):
        self.hits = []
        self.lock = threading.Lock()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.stopped = False
        threading.Thread(target=self._accept, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def count(self, path):
        with self.lock:
            return sum(1 for p in self.hits if p.startswith(path))

    def _accept(self):
        while not self.stopped:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    @staticmethod
    def _hold(conn):
        conn.settimeout(120)
        try:
            while conn.recv(4096):
                pass
        except OSError:
            pass

    def _serve(self, conn):
        try:
            data = b""
            conn.settimeout(30)
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                data += chunk
            path = data.split(b" ", 2)[1].decode("latin-1")
            with self.lock:
                self.hits.append(path)
            head = b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 5000\r\n\r\n"
            if path.startswith("/headers"):
                conn.sendall(head)
            elif path.startswith("/partial"):
                conn.sendall(head + b"x" * 1000)
            elif path.startswith("/loop") or path.startswith("/slowloop"):
                if path.startswith("/slowloop"):
                    time.sleep(0.2)  # eleven hops stay within the bound of a whole query
                conn.sendall(b"HTTP/1.1 302 Found\r\nLocation: %s\r\nContent-Length: 0\r\n\r\n"
                             % path.encode("latin-1"))
                return
            self._hold(conn)
        except OSError:
            pass
        finally:
            conn.close()

    def stop(self):
        self.stopped = True
        self.listener.close()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ---------------------------------------------------------------------------------------------
# One updater folder

class UpdaterRun:
    """A private copy of the updater in its own folder D, so V, P and E belong to one test."""

    def __init__(self, program=UPDATER, short_waits=False):
        self.dir = tempfile.mkdtemp(prefix="quorvupdate-e2e-")
        self.exe = os.path.join(self.dir, "quorvupdate.exe")
        shutil.copy(UPDATER_TESTWAITS if short_waits else program, self.exe)
        self.V = os.path.join(self.dir, "version.bin")
        self.P = os.path.join(self.dir, "newupgrade")
        self.E = self.P + ".exe"
        self.log = os.path.join(self.dir, "installer_runs.txt")

    def cleanup(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def put_pending_installer(self):
        shutil.copy(INSTALLER, self.E)

    def write_version_file(self, text):
        with open(self.V, "w", encoding="ascii", newline="\r\n") as f:
            f.write(text)

    def read_version_file(self):
        with open(self.V, "rb") as f:
            return f.read().decode("gbk")

    def run(self, command_line, answers=(), settle=20, then=None, more_answers=()):
        """Starts the updater with exactly `command_line` (None: no parameters at all), answers
        the expected message boxes in order ((button) per box) and returns (exit code as Windows
        reports it, [message boxes as read]). A box beyond the expected ones fails the run.
        `then(pid)`, when given, runs after `answers`, followed by `more_answers`."""
        args = []
        if command_line is not None:
            args_file = os.path.join(self.dir, "cmdline-%d.txt" % threading.get_ident())
            with open(args_file, "wb") as f:
                f.write(command_line.encode("utf-8"))
            args = ["--args-file", win_path(args_file)]
        # Now and then Wine fails a start on a loaded machine before the updater runs at all:
        # CreateProcess refuses it (ERROR_INTERNAL_ERROR), or the driver itself ends before it
        # has started anything (it says the pid first). Such a start is tried again, twice at most.
        for attempt in range(3):
            proc = subprocess.Popen(wine(UIDRIVER, "run", "--exe", win_path(self.exe), "--cwd",
                                          win_path(self.dir), "--timeout", "120000", *args),
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            first = json.loads(proc.stdout.readline().decode("ascii") or "{}")
            if attempt == 2 or (first and first.get("error") != "start failed"):
                break
            proc.stdout.close()
            proc.wait(timeout=30)
            time.sleep(0.5)
        try:
            if "pid" not in first:
                raise AssertionError("updater did not start: %r" % first)
            pid = first["pid"]
            boxes = []
            for button in answers:
                got = driver("answer", "--pid", pid, "--button", button, "--timeout", 60000, timeout=90)
                if not got or "error" in got[0]:
                    raise AssertionError("expected message box %d not answered: %r (so far %r)"
                                         % (len(boxes) + 1, got, boxes))
                boxes.append(got[0])
            if then is not None:
                then(pid)
                for button in more_answers:
                    got = driver("answer", "--pid", pid, "--button", button, "--timeout", 60000, timeout=90)
                    if not got or "error" in got[0]:
                        raise AssertionError("expected message box not answered: %r (so far %r)" % (got, boxes))
                    boxes.append(got[0])
            try:
                out, _ = proc.communicate(timeout=settle)
            except subprocess.TimeoutExpired:
                extra = driver("read-msgbox", "--pid", pid, "--timeout", 1000)
                driver("answer", "--pid", pid, "--button", "IDOK", "--timeout", 1000)
                driver("answer", "--pid", pid, "--button", "IDNO", "--timeout", 1000)
                raise AssertionError("updater still running after %d boxes %r; showing %r"
                                     % (len(boxes), boxes, extra))
            # The updater's own diagnostics share the driver's standard output.
            codes = [int(c) for c in re.findall(r'\{"exit_code":(\d+)\}', out.decode("ascii", "replace"))]
            if not codes:
                raise AssertionError("no exit code: %r" % out)
            return codes[0], boxes
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()

    def installer_runs(self, expected=1, timeout=20):
        """Waits for the fixture installer to have recorded `expected` starts."""
        deadline = time.time() + timeout
        runs = []
        while time.time() < deadline:
            if os.path.exists(self.log):
                with open(self.log, encoding="ascii") as f:
                    runs = [json.loads(l) for l in f if l.strip()]
                if len(runs) >= expected:
                    break
            time.sleep(0.05)
        return runs


def command_line(url, hwnd, version="1.0.3.12", accept_point=ACCEPT_POINT):
    """The document exactly as the client writes it: no blanks, signed %d handle."""
    signed = hwnd - (1 << 32) if hwnd >= (1 << 31) else hwnd
    return ('{"MainHwnd":%d,"url":"%s","header":{"Accept-Point":"%s"},'
            '"postdata":{"type":"quorvane_client","version":"%s"}}' % (signed, url, accept_point, version))


# Every file a fixture service serves, by name: offer() signs an offer of one of them.
_served = {}
SIGNED = object()


def offer(url, is_must="1", text="修复了若干问题", version=DEFAULT_VERSION, is_normal="1", signature=SIGNED):
    """The reply offering `url`. By default signed as the release step would sign it, when `url`
    names a file a fixture service serves (and there is a key); `signature` None sends none."""
    result = {"is_normal": is_normal, "is_must": is_must, "text": text, "url": url, "version": version}
    if signature is SIGNED:
        data = _served.get(url.split("?")[0].rsplit("/", 1)[-1])
        signature = sign(data, version=version) if data is not None and can_sign() else None
    if signature is not None:
        result["signature"] = signature
    return {"status": 20000, "result": result}


def old_lock_name(folder):
    """The named mutex that earlier updaters took as their lock for `folder` (a Windows path)."""
    value = 1469598103934665603
    data = folder.lower().encode("utf-16-le")
    for i in range(0, len(data), 2):
        value = ((value ^ (data[i] | data[i + 1] << 8)) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return "Local\\quorvupdate-%016x" % value


class ProgressView:
    """The updater's progress window, found and read through the UI driver."""

    def __init__(self, pid, timeout=30000):
        found = driver("wait-window", "--pid", pid, "--class", PROGRESS_CLASS, "--timeout", timeout, timeout=60)
        if not found or "error" in found[0]:
            raise AssertionError("no progress window: %r" % found)
        self.window = found[0]
        self.hwnd = self.window["hwnd"]

    def controls(self):
        return {c["id"]: c for c in driver("children", "--hwnd", self.hwnd)}

    def wait_text(self, control_id, fragment, timeout=30):
        deadline = time.time() + timeout
        text = None
        while time.time() < deadline:
            text = self.controls().get(control_id, {}).get("text")
            if text and fragment in text:
                return text
            time.sleep(0.1)
        raise AssertionError("control %d never showed %r (last %r)" % (control_id, fragment, text))

    def cancel(self):
        got = driver("press", "--hwnd", self.hwnd, "--button", "2")
        if not got or "error" in got[0]:
            raise AssertionError("Cancel not pressed: %r" % got)


def progress_windows(pid):
    return driver("list", "--pid", pid, "--class", PROGRESS_CLASS)


class UpdaterCase(unittest.TestCase):
    """One host window for the class; a fixture update service and an updater folder per test.
    `short_waits` runs the test build whose limits the tests shorten."""
    short_waits = False

    @classmethod
    def setUpClass(cls):
        cls.host = HostWindow()

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def setUp(self):
        self.service = Service()
        self.addCleanup(self.service.stop)
        self.upd = UpdaterRun(short_waits=True) if self.short_waits else UpdaterRun()
        self.addCleanup(self.upd.cleanup)
