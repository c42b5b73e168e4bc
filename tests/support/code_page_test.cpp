// Linked into every test program: the suites run as on the users' PCs, with the Chinese ANSI code
// page. A machine whose locale is missing would quietly run them under another code page.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Environment, AnsiCodePageIs936) { ASSERT_EQ(936u, GetACP()) << "run under LC_ALL=zh_CN.UTF-8"; }
