#!/usr/bin/env python3
"""Release signing of installers for the updater: ECDSA P-256 over the installer's SHA-256,
made with openssl and written the way the update service passes it on.

  sign_installer.py genkey KEY.pem            new private key (mode 600); keep it out of git
  sign_installer.py public-hex KEY.pem        X||Y of the public key as 128 hex digits (for CMake)
  sign_installer.py sign KEY.pem INSTALLER    writes INSTALLER.sig: base64 of r||s, one line
                                              without a line end (--out FILE to write elsewhere)
"""
import base64
import os
import subprocess
import sys

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


def sign(key, installer, out=None):
    der = openssl("dgst", "-sha256", "-sign", key, installer)
    text = base64.b64encode(raw_signature(der))
    out = out or installer + ".sig"
    with open(out, "wb") as f:
        f.write(text)
    return out


def main(argv):
    if len(argv) >= 2 and argv[0] == "genkey":
        genkey(argv[1])
    elif len(argv) >= 2 and argv[0] == "public-hex":
        print(public_point(argv[1]).hex())
    elif len(argv) >= 3 and argv[0] == "sign":
        out = argv[argv.index("--out") + 1] if "--out" in argv else None
        print(sign(argv[1], argv[2], out))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
