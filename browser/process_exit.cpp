#include "browser/process_exit.h"

namespace {
ProcessExitHook g_hook = nullptr;
}

void EndClientProcess(UINT exitCode) {
    if (g_hook) {
        g_hook(exitCode);
        return;
    }
    TerminateProcess(GetCurrentProcess(), exitCode);
}

ProcessExitHook SetProcessExitHookForTesting(ProcessExitHook hook) {
    ProcessExitHook previous = g_hook;
    g_hook = hook;
    return previous;
}
