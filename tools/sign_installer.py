#!/usr/bin/env python3
"""Release signing of update offers: ECDSA P-256 (SHA-256) over the offer's signing text, made
with openssl and written the way the update service passes it on as the reply's "signature".

The signing text binds the installer to the version it is offered as, byte for byte:

    "quorvane-update\n" + VERSION + "\n" + SHA-256 of the installer in 64 lower-case hex digits

(no line end after the digest). VERSION is the reply's "version" exactly, four numbers.

  sign_installer.py genkey KEY.pem            new private key (mode 600); keep it out of git
  sign_installer.py public-hex KEY.pem        X||Y of the public key as 128 hex digits (for CMake)
  sign_installer.py sign KEY.pem INSTALLER [--version V] [--out FILE]
                                              writes INSTALLER.sig: base64 of r||s, one line
                                              without a line end; V defaults to the version in a
                                              setup program's name (quorvane-setup-V-ARCH.exe)
  sign_installer.py verify KEY.pem INSTALLER [--version V] [--sig FILE]
                                              checks INSTALLER.sig (or FILE) before publishing:
                                              exit code 0 when it holds for INSTALLER as V
"""
import base64
import hashlib
import os
import re
import subprocess
import sys
import tempfile

SIGNING_PREFIX = b"quorvane-update\n"
VERSION_PATTERN = r"\d{1,9}\.\d{1,9}\.\d{1,9}\.\d{1,9}"

P256_SPKI_LENGTH = 91  # DER SubjectPublicKeyInfo of an uncompressed P-256 point


def openssl(*args, data=None):
    proc = subprocess.run(["openssl", *args], input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        raise SystemExit("openssl %s failed: %s" % (args[0], proc.stderr.decode(errors="replace").strip()))
    return proc.stdout


def genkey(path):
    old = os.umask(0o077)
    try:
        openssl("ecparam", "-genkey", "-name", "prime256v1", "-noout", "-out", path)
    finally:
        os.umask(old)


def public_point(path):
    """The 64 bytes X||Y of the key in `path` (a private or a public PEM key)."""
    with open(path, "rb") as f:
        public_only = b"PUBLIC KEY" in f.read()
    args = ["ec", "-pubin"] if public_only else ["ec", "-pubout"]
    der = openssl(*args, "-in", path, "-outform", "DER")
    if len(der) != P256_SPKI_LENGTH or der[-65] != 0x04 or b"\x2a\x86\x48\xce\x3d\x03\x01\x07" not in der:
        raise SystemExit("%s is not an ECDSA P-256 key" % path)
    return der[-64:]


def _der_item(data, at, tag):
    if data[at] != tag:
        raise ValueError("unexpected DER tag %#x" % data[at])
    length = data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return data[at:at + length], at + length


def raw_signature(der):
    """DER ECDSA-Sig-Value (SEQUENCE of INTEGER r, INTEGER s) to r||s of 32 bytes each."""
    body, end = _der_item(der, 0, 0x30)
    if end != len(der):
        raise ValueError("trailing bytes after the signature")
    r, at = _der_item(body, 0, 0x02)
    s, at = _der_item(body, at, 0x02)
    if at != len(body):
        raise ValueError("trailing bytes in the signature")
    out = b""
    for number in (r, s):
        number = number.lstrip(b"\x00")
        if len(number) > 32:
            raise ValueError("signature number longer than 32 bytes")
        out += number.rjust(32, b"\x00")
    return out


def signing_text(version, installer_bytes):
    """The bytes the publisher signs for an offer of `version` whose installer is `installer_bytes`."""
    if not re.fullmatch(VERSION_PATTERN, version or ""):
        raise SystemExit("the offered version must be four numbers like 1.0.3.13, not %r" % (version,))
    return SIGNING_PREFIX + version.encode("ascii") + b"\n" + hashlib.sha256(installer_bytes).hexdigest().encode("ascii")


def sign_bytes(key, version, installer_bytes):
    """The offer's "signature" text: base64 of r||s over the signing text."""
    with tempfile.NamedTemporaryFile(prefix="quorvane-offer-") as text:
        text.write(signing_text(version, installer_bytes))
        text.flush()
        der = openssl("dgst", "-sha256", "-sign", key, text.name)
    return base64.b64encode(raw_signature(der)).decode("ascii")


def _der_integer(number):
    body = number.to_bytes(number.bit_length() // 8 + 1, "big")
    return b"\x02" + bytes([len(body)]) + body


def verify_bytes(key, version, installer_bytes, signature):
    """True when `signature` (the offer's text) holds for offering `installer_bytes` as `version`."""
    try:
        raw = base64.b64decode(signature.strip(), validate=True)
    except ValueError:
        return False
    if len(raw) != 64:
        return False
    body = _der_integer(int.from_bytes(raw[:32], "big")) + _der_integer(int.from_bytes(raw[32:], "big"))
    with tempfile.TemporaryDirectory(prefix="quorvane-verify-") as work:
        paths = {name: os.path.join(work, name) for name in ("text", "sig", "pub.pem")}
        with open(paths["text"], "wb") as f:
            f.write(signing_text(version, installer_bytes))
        with open(paths["sig"], "wb") as f:
            f.write(b"\x30" + bytes([len(body)]) + body)
        with open(key, "rb") as f:
            public_only = b"PUBLIC KEY" in f.read()
        if public_only:
            paths["pub.pem"] = key
        else:
            openssl("ec", "-in", key, "-pubout", "-out", paths["pub.pem"])
        proc = subprocess.run(["openssl", "dgst", "-sha256", "-verify", paths["pub.pem"], "-signature", paths["sig"],
                               paths["text"]], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return proc.returncode == 0


def version_of_setup(path):
    """The version in a setup program's name (quorvane-setup-<version>-<arch>.exe), else None."""
    match = re.search(r"-(%s)-[^-]*$" % VERSION_PATTERN, os.path.basename(path))
    return match.group(1) if match else None


def sign(key, installer, version=None, out=None):
    version = version or version_of_setup(installer)
    if not version:
        raise SystemExit("--version is needed for %s (the version it is offered as)" % installer)
    with open(installer, "rb") as f:
        text = sign_bytes(key, version, f.read())
    out = out or installer + ".sig"
    with open(out, "w", encoding="ascii", newline="") as f:
        f.write(text)
    return out


def option(argv, name):
    return argv[argv.index(name) + 1] if name in argv and argv.index(name) + 1 < len(argv) else None


def main(argv):
    if len(argv) >= 2 and argv[0] == "genkey":
        genkey(argv[1])
    elif len(argv) >= 2 and argv[0] == "public-hex":
        print(public_point(argv[1]).hex())
    elif len(argv) >= 3 and argv[0] == "sign":
        print(sign(argv[1], argv[2], option(argv, "--version"), option(argv, "--out")))
    elif len(argv) >= 3 and argv[0] == "verify":
        version = option(argv, "--version") or version_of_setup(argv[2])
        if not version:
            raise SystemExit("--version is needed for %s" % argv[2])
        with open(option(argv, "--sig") or argv[2] + ".sig", encoding="ascii") as f:
            signature = f.read()
        with open(argv[2], "rb") as f:
            good = verify_bytes(argv[1], version, f.read(), signature)
        print("signature holds for %s as %s" % (argv[2], version) if good else "signature does NOT hold")
        return 0 if good else 1
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
