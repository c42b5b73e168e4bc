// How the client ends its own process (exit code -1 when the last browser closes or the user
// exits) and starts itself again (switch account, the server's login page). Tests replace the
// hooks to observe both without losing the test program.
#pragma once
#include <windows.h>

#include <string>

using ProcessExitHook = void (*)(UINT exitCode);
using RestartHook = void (*)(const std::wstring& exePath, const std::wstring& parameters);

// Terminates the current process with the code (through the hook when one is set).
void EndClientProcess(UINT exitCode);
// Starts the executable again with the parameters (ShellExecuteW "open", SW_SHOW).
void StartClientAgain(const std::wstring& exePath, const std::wstring& parameters);

// Install replacements (nullptr restores the real behaviour); each returns the previous one.
ProcessExitHook SetProcessExitHookForTesting(ProcessExitHook hook);
RestartHook SetRestartHookForTesting(RestartHook hook);
