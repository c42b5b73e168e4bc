"""tools/check_layers.py on small trees made for the test, each with one fault planted, and on this
repository itself: the check must pass on a tree that keeps the declared order and name each
planted include. tools/check_format.py the same way: it passes here and names a file of a client
folder that is not formatted, while platform/ is left alone."""
import os
import subprocess
import sys
import tempfile
import unittest

SRC = os.environ.get("QUORVANE_SRC", os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(SRC, "tools", "check_layers.py")
FORMAT_SCRIPT = os.path.join(SRC, "tools", "check_format.py")

# A tree that keeps the order: each folder includes the one below it.
CLEAN = {
    "app/main.cpp": '#include "mainframe/main_frame_wnd.h"\n#include "common/text.h"\n',
    "mainframe/main_frame_wnd.h": '#include "login/login_dlg.h"\n#include "browser/client_handler.h"\n',
    "login/login_dlg.h": '#include "ui/skin.h"\n#include "net/http_interface.h"\n',
    "browser/client_handler.h": '#include "process/process_exit.h"\n#include "ui/messages.h"\n',
    "ui/skin.h": '#include <UIlib.h>\n#include "common/text.h"\n',
    "ui/messages.h": '#include <windows.h>\n',
    "process/process_exit.h": '#include "net/http_interface.h"\n',
    "net/http_interface.h": '#include "common/text.h"\n',
    "common/text.h": '#include <string>\n',
    "updater/main.cpp": '#include "net/http_interface.h"\n#include "common/text.h"\n',
    "tests/unit/text_test.cpp": '#include "common/text.h"\n#include "tests/support/helper.h"\n',
}


def run_on(files, script=SCRIPT):
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        done = subprocess.run([sys.executable, script, root], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout


def planted(rel, line):
    files = dict(CLEAN)
    files[rel] = files.get(rel, "") + line + "\n"
    return files


class CheckLayersTest(unittest.TestCase):
    def test_order_kept_passes_here_and_in_the_repository(self):
        code, out = run_on(CLEAN)
        self.assertEqual(code, 0, out)
        done = subprocess.run([sys.executable, SCRIPT, SRC], capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stdout)

    def test_includes_against_the_order_fail(self):
        cases = {
            "upward": ("process/process_exit.h", '#include "ui/messages.h"', "process includes ui/"),
            "upward over steps": ("common/text.h", '#include "login/login_dlg.h"', "common includes login/"),
            "same step": ("login/login_dlg.h", '#include "browser/client_handler.h"', "login includes browser/"),
            "updater beyond net": ("updater/main.cpp", '#include "ui/skin.h"', "updater includes ui/"),
            "client into updater": ("net/http_interface.h", '#include "updater/transfer.h"', "net includes updater/"),
        }
        for name, (rel, line, expected) in cases.items():
            with self.subTest(name):
                code, out = run_on(planted(rel, line))
                self.assertEqual(code, 1, out)
                self.assertIn(rel, out)
                self.assertIn(expected, out)

    def test_product_code_including_tests_or_bench_fails(self):
        for rel, line in (("app/main.cpp", '#include "tests/support/test_waits.h"'),
                          ("updater/main.cpp", '#include "bench/timing.h"'),
                          ("common/text.h", '#include "../tests/support/helper.h"')):
            with self.subTest(rel):
                code, out = run_on(planted(rel, line))
                self.assertEqual(code, 1, out)
                self.assertIn(rel + ":", out)
                self.assertIn("product code includes", out)

    def test_skin_library_forms_that_not_every_version_has_fail(self):
        # Forms every version of the library has, and the window base inside its one home.
        fine = planted("login/login_dlg.h", "void F() { box->SetCheck(IsOn(a, b)); combo->SelectItem(i, false); "
                       "tab.SelectItem(2); option->Selected(true); }  // m_PaintManager in a comment")
        fine["ui/skinned_window.h"] = "DuiLib::CPaintManagerUI& Skin() { return m_PaintManager; }\n"
        code, out = run_on(fine)
        self.assertEqual(code, 0, out)
        cases = {
            "silent check": ("login/login_dlg.h", "void F() { box->SetCheck(true, false); }", "SetCheck with 2"),
            "silent select": ("login/login_dlg.h", "void F() { combo->SelectItem(i, false, false); }",
                              "SelectItem with 3"),
            "option event flag": ("ui/messages.h", "void F() { o.Selected(true, true); }", "Selected with 2"),
            "paint manager": ("mainframe/main_frame_wnd.h", "auto* c = m_PaintManager.FindControl(L\"x\");",
                              "m_PaintManager outside ui/skinned_window"),
            "skin folder": ("login/login_dlg.h", "CDuiString GetSkinFolder() override;",
                            "GetSkinFolder outside ui/skinned_window"),
        }
        for name, (rel, line, expected) in cases.items():
            with self.subTest(name):
                code, out = run_on(planted(rel, line))
                self.assertEqual(code, 1, out)
                self.assertIn(rel + ":", out)
                self.assertIn(expected, out)


class CheckFormatTest(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(SRC, ".clang-format"), encoding="utf-8") as f:
            self.style = f.read()
        probe = subprocess.run([sys.executable, FORMAT_SCRIPT, SRC], capture_output=True, text=True, timeout=300)
        if "skipped" in probe.stdout:
            self.skipTest(probe.stdout.strip())
        self.repository = probe

    def test_repository_passes_and_a_planted_fault_is_named(self):
        self.assertEqual(self.repository.returncode, 0, self.repository.stdout)
        good = "int Twice(int value) { return value * 2; }\n"
        bad = "int  Twice( int value ){return value*2;}\n"
        code, out = run_on({".clang-format": self.style, "common/text.cpp": good,
                            "platform/skin/UIBase.cpp": bad}, FORMAT_SCRIPT)
        self.assertEqual(code, 0, out)
        for rel in ("login/settings.cpp", "tests/unit/text_test.cpp"):
            with self.subTest(rel):
                code, out = run_on({".clang-format": self.style, "common/text.cpp": good, rel: bad}, FORMAT_SCRIPT)
                self.assertEqual(code, 1, out)
                self.assertIn(rel + " differs", out)
                self.assertNotIn("common/text.cpp", out)


if __name__ == "__main__":
    unittest.main()
