// Decisions of the start-up sequence that need no window.
#pragma once
#include <cwchar>

// The login dialog may log in by itself unless the whole command-line tail is "noLogin" in any
// letter case.
inline bool AutoLoginAllowed(const wchar_t* tail) { return !(tail && _wcsicmp(tail, L"noLogin") == 0); }
