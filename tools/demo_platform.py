#!/usr/bin/env python3
"""The bundled demo platform: a small stand-in for the business platform's server on loopback.

It answers what the client uses: the login POST, the first tab's sign-in address, the module
pages, the server's login page, the short-message system, the version query of the updater and
a few pages that exercise popups, downloads, file inputs, frames and window.close().

    python3 tools/demo_platform.py [--port 18080]

Importable: DemoPlatform(port).start() / .stop(); .requests records every request.
"""
import argparse
import base64
import hashlib
import html
import json
import os
import re
import secrets
import socket
import threading
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sign_installer  # noqa: E402

# "plus": the base64 of this password holds "+", "/" and "=", which a query must carry escaped.
USERS = {"demo": "demo123", "张三": "zhang123", "admin": "admin123", "plus": "plus>>>???"}
USER_TYPES = {"demo": "1", "张三": "2", "admin": "3", "plus": "1"}

MODULES = [
    ("/dashboard", "工作平台"),
    ("/crm/iframe", "客户管理"),
    ("/oa/commercial-manager/index", "办公自动化"),
    ("/work/customer/index", "CPA工作"),
    ("/sys/employee/index", "系统设置"),
    ("/user/space/index", "个人空间"),
]


def decode_password(encoded):
    """The client inserts one capital letter after the first base64 character."""
    if len(encoded) < 2:
        return ""
    raw = encoded[0] + encoded[2:]
    try:
        return base64.b64decode(raw).decode("utf-8")
    except Exception:
        return None


def version_key(text):
    """A version as comparable numbers ("1.0.3.12" < "1.0.3.13" < "1.0.10.0"); None if malformed."""
    if not isinstance(text, str) or not re.fullmatch(r"\d{1,9}(\.\d{1,9}){0,3}", text):
        return None
    return tuple(int(n) for n in text.split("."))


class UpdateOffer:
    """A newer client that the update service offers: its installer file, the version the installer
    carries and whether the update is mandatory. The installer is served at /updates/<md5>.exe,
    named by its MD5 digest as the updater checks it. With `signing_key` (a private PEM key) the
    offer carries the signature of this installer for this version, as the release step makes it;
    without one, a "<installer>.sig" beside the installer is passed on. `fault` spoils the delivery
    for tests and demos: "cut" sends half of the file and closes the connection, "digest" names
    the URL after another digest than the file's."""

    def __init__(self, installer, version, mandatory=False, text="新版本修复了若干问题", fault=None,
                 signing_key=None):
        if version_key(version) is None:
            raise ValueError("not a version: %r" % version)
        if fault not in (None, "cut", "digest"):
            raise ValueError("unknown fault %r" % fault)
        with open(installer, "rb") as f:
            self.data = f.read()
        self.installer = installer
        self.version = version
        self.mandatory = mandatory
        self.text = text
        self.fault = fault
        self.md5 = hashlib.md5(self.data).hexdigest()
        self.name = ("0" * 32 if fault == "digest" else self.md5) + ".exe"
        self.signed = sign_installer.sign_bytes(signing_key, version, self.data) if signing_key else None

    def signature(self):
        """The offer's signature: made with the signing key, else the text of "<installer>.sig"."""
        if self.signed is not None:
            return self.signed
        try:
            with open(self.installer + ".sig", encoding="utf-8") as f:
                return f.read()
        except OSError:
            return None

    def reply(self, base_url, installed):
        """The update service's answer to a client that reports `installed` as its version."""
        have = version_key(installed)
        if have is not None and have >= version_key(self.version):
            return {"status": 20000, "result": {"is_normal": "0"}}
        result = {"is_normal": "1", "is_must": "1" if self.mandatory else "0", "text": self.text,
                  "url": "%s/updates/%s" % (base_url, self.name), "version": self.version}
        signature = self.signature()
        if signature is not None:
            result["signature"] = signature
        return {"status": 20000, "result": result}


def page(title, body):
    return ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%s</title></head>"
            "<body>%s</body></html>" % (html.escape(title), body)).encode("utf-8")


def module_links():
    return "".join('<p><a href="%s">%s</a></p>' % (path, html.escape(name)) for path, name in MODULES)


class DemoPlatform:
    def __init__(self, port=0, host="127.0.0.1"):
        self.requests = []
        self.tokens = {}
        self.update_reply = {"status": 20000, "result": {"is_normal": "0"}}
        self.update_offer = None  # an UpdateOffer: the service then answers by the client's version
        self.login_override = None  # (status, body bytes) to answer every login with
        self.get_overrides = {}  # path -> (status, headers, body bytes) answered instead (tests)
        platform = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"
            # Head and body leave in one write, as production servers send them: two small
            # writes meet the client's delayed acknowledgement and cost 40 ms a reply.
            wbufsize = -1

            def log_message(self, *args):
                pass

            def _send(self, status, body, content_type="text/html; charset=utf-8", headers=()):
                self.send_response(status)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(body)))
                for name, value in headers:
                    self.send_header(name, value)
                self.end_headers()
                self.wfile.write(body)

            def _record(self, body=b""):
                platform.requests.append({
                    "method": self.command, "path": self.path,
                    "headers": {k: v for k, v in self.headers.items()}, "body": body})

            def do_POST(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length) if length else b""
                self._record(body)
                path = urllib.parse.urlsplit(self.path).path
                if path == "/platform/encrypt/login":
                    return self._login(body)
                if path == "/platform/clientversion/findClientVersion":
                    return self._send(200, json.dumps(platform._update_reply(body), ensure_ascii=False).encode("utf-8"),
                                      "application/json; charset=utf-8")
                self._send(404, page("未找到", "<p>没有这个地址</p>"))

            def _login(self, body):
                if platform.login_override:
                    status, reply = platform.login_override
                    return self._send(status, reply, "application/json; charset=utf-8")
                try:
                    # The client sends its text in the Chinese ANSI code page.
                    request = json.loads(body.decode("gbk"))
                    name = request.get("loginName", "")
                    password = decode_password(request.get("password", ""))
                except Exception:
                    return self._send(200, json.dumps({"status": 40000, "message": "请求格式错误"},
                                                      ensure_ascii=False).encode("utf-8"), "application/json")
                if USERS.get(name) is not None and USERS.get(name) == password:
                    token = secrets.token_hex(16)
                    platform.tokens[token] = name
                    reply = {"status": 20000, "message": "登录成功", "result": {"userType": USER_TYPES[name]}}
                    return self._send(200, json.dumps(reply, ensure_ascii=False).encode("utf-8"),
                                      "application/json; charset=utf-8", [("Authorization", "Bearer " + token)])
                reply = {"status": 40001, "message": "用户名或密码错误"}
                self._send(200, json.dumps(reply, ensure_ascii=False).encode("utf-8"), "application/json; charset=utf-8")

            def _installer(self, offer):
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(offer.data)))
                self.end_headers()
                if offer.fault == "cut":
                    # The full length announced, half of it sent: a download cut short on the wire.
                    self.wfile.write(offer.data[: len(offer.data) // 2])
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
                    self.close_connection = True
                    return
                self.wfile.write(offer.data)

            def do_GET(self):
                self._record()
                parts = urllib.parse.urlsplit(self.path)
                path = parts.path
                if path in platform.get_overrides:
                    status, headers, body = platform.get_overrides[path]
                    return self._send(status, body, "application/octet-stream", headers)
                query = urllib.parse.parse_qs(parts.query.replace("&&", "&"))
                if path == "/clientlogin":
                    name = (query.get("username") or [""])[0]
                    password = decode_password((query.get("password") or [""])[0])
                    if USERS.get(name) is not None and USERS.get(name) == password:
                        return self._send(302, b"", headers=[("Location", "/dashboard"),
                                                             ("Set-Cookie", "session=%s; Path=/" % secrets.token_hex(8))])
                    return self._send(302, b"", headers=[("Location", "/login")])
                if path == "/login":
                    return self._send(200, page("登录", "<p>请重新登录</p>"))
                for module_path, name in MODULES:
                    if path == module_path:
                        return self._send(200, page(name, "<h1>%s</h1>%s%s" % (
                            html.escape(name), module_links(), EXTRAS)))
                if path == "/sms/" or path == "/sms/login":
                    token = (query.get("token") or [""])[0]
                    who = platform.tokens.get(token, "访客")
                    return self._send(200, page("短信系统", "<p>短信系统 欢迎 %s</p>" % html.escape(who)))
                if path == "/popup":
                    return self._send(200, page("弹出窗口", '<p>弹出的页面</p><p><a href="javascript:window.close()">关闭</a></p>'))
                if path == "/files/report":
                    return self._send(200, b"demo report\r\n", "application/octet-stream",
                                      [("Content-Disposition", "attachment; filename=report")])
                if path in ("/findPassword", "/register"):
                    return self._send(200, page("找回密码" if path == "/findPassword" else "注册", "<p>演示页面</p>"))
                offer = platform.update_offer
                if offer is not None and path == "/updates/" + offer.name:
                    return self._installer(offer)
                if path == "/frame":
                    return self._send(200, page("嵌入页面", '<p><a href="javascript:user_exit()">退出</a></p>'))
                self._send(404, page("未找到", "<p>没有这个地址</p>"))

        self._server = ThreadingHTTPServer((host, port), Handler)
        self._server.daemon_threads = True
        self.port = self._server.server_address[1]
        self.base_url = "http://%s:%d" % (host, self.port)
        self._thread = None

    def _update_reply(self, body):
        offer = self.update_offer
        if offer is None:
            return self.update_reply
        try:
            # The updater sends its query body in the Chinese ANSI code page.
            installed = json.loads(body.decode("gbk")).get("version")
        except (ValueError, AttributeError):
            return {"status": 40000, "message": "请求格式错误"}
        return offer.reply(self.base_url, installed)

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._server.shutdown()
        self._server.server_close()


EXTRAS = ('<p><a href="/popup" target="_blank">打开新窗口</a></p>'
          '<p><a href="/files/report">下载报表</a></p>'
          '<p><input type="file" accept="application/msword,.xlsx"></p>'
          '<p><a href="javascript:user_exit()">user_exit</a></p>'
          '<iframe src="/frame"></iframe>')


def add_offer_arguments(parser):
    parser.add_argument("--offer-installer", metavar="EXE", help="offer this installer as an update")
    parser.add_argument("--offer-version", metavar="VERSION", help="the version that installer carries")
    parser.add_argument("--mandatory", action="store_true", help="offer the update as mandatory (default optional)")
    parser.add_argument("--sign-key", metavar="PEM", help="sign the offer with this private key (the build tree's "
                        "own is build/<arch>/update-key/publisher.pem)")


def version_of_setup(path):
    """The version in a setup program's name (quorvane-setup-<version>-<arch>.exe), else None."""
    match = re.search(r"-(\d+\.\d+\.\d+\.\d+)-[^-]*$", os.path.basename(path))
    return match.group(1) if match else None


def offer_from_arguments(args):
    if not args.offer_installer:
        return None
    version = args.offer_version or version_of_setup(args.offer_installer)
    if not version:
        raise SystemExit("--offer-version is needed for %s" % args.offer_installer)
    return UpdateOffer(args.offer_installer, version, mandatory=args.mandatory, signing_key=args.sign_key)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=18080)
    add_offer_arguments(parser)
    args = parser.parse_args()
    platform = DemoPlatform(args.port)
    platform.update_offer = offer_from_arguments(args)
    print("demo platform on %s" % platform.base_url, flush=True)
    try:
        platform._server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
