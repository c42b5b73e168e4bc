// How the client ends its own process (exit code -1 when the last browser closes or the user
// exits). Tests replace the hook to observe the end without losing the test program.
#pragma once
#include <windows.h>

using ProcessExitHook = void (*)(UINT exitCode);

// Terminates the current process with the code (through the hook when one is set).
void EndClientProcess(UINT exitCode);
// Installs a replacement (nullptr restores the real termination); returns the previous one.
ProcessExitHook SetProcessExitHookForTesting(ProcessExitHook hook);
