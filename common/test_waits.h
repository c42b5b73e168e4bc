// Compiled only into the test variants of the two programs (QUORVANE_TEST_WAITS), never into
// the programs that ship: their time-outs are fixed. The end-to-end tests set
// QUORVANE_TEST_WAIT_MS so that a stalled server costs them seconds instead of minutes.
#pragma once
#ifndef QUORVANE_TEST_WAITS
#error "common/test_waits.h belongs to the test variants only (QUORVANE_TEST_WAITS)"
#endif
#include <windows.h>

#include <cwchar>

// The shortened wait in milliseconds, or 0 when the variable is not set.
inline DWORD TestWaitMs() {
    wchar_t text[32] = {};
    const DWORD got = GetEnvironmentVariableW(L"QUORVANE_TEST_WAIT_MS", text, 32);
    if (got == 0 || got >= 32) return 0;
    return static_cast<DWORD>(std::wcstoul(text, nullptr, 10));
}
