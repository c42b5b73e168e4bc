// The path of a loaded module, however long it is.
#pragma once
#include <windows.h>

#include <string>

// Full path of `module` (nullptr: the program itself); "" when the system cannot tell. The
// buffer grows by `step` characters until the path fits.
std::wstring ModuleFileName(HMODULE module, DWORD step = 500);
