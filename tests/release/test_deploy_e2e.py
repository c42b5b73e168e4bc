"""What IT staff rely on when they roll the client out: the server address given to setup, the
exit code of a setup that refuses its address, and Authenticode signatures on every program that
lands on the PC. Runs the setup programs in a Wine prefix of this module's own."""
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_release_e2e as rel  # noqa: E402  (its helpers; its tests run in their own module)

h = rel.h
SIGN_CA = os.environ.get("QUORVANE_TEST_SIGN_CA", "")
AUTHENTICODE = os.path.join(HERE, "..", "..", "tools", "authenticode.sh")
BAD_ADDRESS = 7
LOGIN_PATH = "/platform/encrypt/login"

# The same set-up as the release tests: both setup programs made, a Wine prefix of this module's own.
setUpModule = rel.setUpModule
tearDownModule = rel.tearDownModule


class Deploy(unittest.TestCase):
    def maincfg(self):
        try:
            with open(self.path("maincfg.ini"), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def test_server_address_at_install_is_the_one_the_client_signs_in_to(self):
        other = rel.demo_platform.DemoPlatform().start()
        try:
            self.assertIsNone(self.maincfg())  # a plain install writes none
            self.assertEqual(0, self.run_setup(rel.setup_program(rel.VERSION), "/SERVERURL=" + other.base_url))
            self.assertIn(("url=" + other.base_url).encode("ascii"), self.maincfg())
            self.write_user_files()
            # The user's files above name the first platform: setup given an address again wins.
            self.assertEqual(0, self.run_setup(rel.setup_program(rel.NEXT), "/SERVERURL=" + other.base_url))
            client = self.start_client()
            self.assertTrue(self.wait_for(lambda: any(r["path"] == LOGIN_PATH for r in other.requests)),
                            "the installed client never asked the address given to setup")
            self.assertFalse(any(r["path"] == LOGIN_PATH for r in self.platform.requests))
            self.end_client(client)
        finally:
            other.stop()

    def test_upgrade_without_an_address_keeps_the_file(self):
        before = self.write_user_files()[0]
        self.assertEqual(0, self.run_setup(rel.setup_program(rel.NEXT)))
        self.assertEqual(rel.NEXT, self.installed_version())
        self.assertEqual(before, self.maincfg())

    def test_an_address_the_client_would_not_take_fails_setup_before_it_touches_anything(self):
        before = self.write_user_files()[0]
        for address in ("", "ftp://example.com", "http://", "https:///path", "http://@host",
                        "file://C:/Windows", "example.com", "http://exa<mple.com",
                        "http://" + "a" * 192,  # 199 characters: one more than the client reads
                        "http://host'x"):
            with self.subTest(address=address):
                self.assertEqual(BAD_ADDRESS, self.run_setup(rel.setup_program(rel.NEXT), "/SERVERURL=" + address))
                self.assertEqual(rel.VERSION, self.installed_version())
                self.assertEqual(before, self.maincfg())
        # The longest address the client takes whole is accepted.
        longest = "https://" + "b" * 190
        self.assertEqual(0, self.run_setup(rel.setup_program(rel.NEXT), "/SERVERURL=" + longest))
        self.assertIn(longest.encode("ascii"), self.maincfg())

    @unittest.skipUnless(SIGN_CA, "this build signs nothing")
    def test_every_program_that_lands_on_the_pc_is_signed(self):
        def verify(*paths):
            return subprocess.run(["bash", AUTHENTICODE, "verify", "--ca", SIGN_CA] + list(paths),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        installed = [self.path(n) for n in ("quorvane.exe", "quorvupdate.exe", "uninst.exe")]
        got = verify(rel.setup_program(rel.VERSION), *installed)
        self.assertEqual(0, got.returncode, got.stdout.decode("utf-8", "replace"))
        # What the build linked stays as it was: the signature is the release step's.
        got = verify(os.path.join(h.BIN, "quorvane.exe"))
        self.assertNotEqual(0, got.returncode)


class ReleaseScript(unittest.TestCase):
    """tools/package.sh refuses before it builds anything."""

    def package(self, *args):
        return subprocess.run(["bash", os.path.join(HERE, "..", "..", "tools", "package.sh")] + list(args) + [h.ARCH],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)

    def test_a_release_must_name_its_server_or_say_it_is_a_demo(self):
        for args, words in (((), "--server-url"),
                            (("--server-url", "https://platform.example.com"), "--sms-url"),
                            (("--server-url", "ftp://platform.example.com", "--sms-url", "https://sms.example.com"),
                             "no address the client takes"),
                            (("--server-url", "https://platform.example.com", "--demo"), "exclude each other"),
                            (("--demo", "--unsigned", "--sign-cert", "/nonexistent.p12"), "no certificate file"),
                            (("--demo",), "publisher's key")):
            with self.subTest(args=args):
                got = self.package(*args)
                self.assertEqual(2, got.returncode)
                self.assertIn(words, got.stdout.decode("utf-8", "replace"))


# The release tests' set-up and helpers, without their tests (those run in their own module).
for _name, _value in vars(rel.ReleaseTest).items():
    if callable(_value) and not _name.startswith("test_") and not _name.startswith("__"):
        setattr(Deploy, _name, _value)


if __name__ == "__main__":
    unittest.main()
