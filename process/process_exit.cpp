#include "process/process_exit.h"

#include <shellapi.h>

#include "common/trace.h"

namespace {
ProcessExitHook g_exitHook = nullptr;
RestartHook g_restartHook = nullptr;
}  // namespace

void EndClientProcess(UINT exitCode) {
    if (g_exitHook) {
        g_exitHook(exitCode);
        return;
    }
    TerminateProcess(GetCurrentProcess(), exitCode);
}

void StartClientAgain(const std::wstring& exePath, const std::wstring& parameters) {
    if (g_restartHook) {
        g_restartHook(exePath, parameters);
        return;
    }
    const HINSTANCE started = ShellExecuteW(nullptr, L"open", exePath.c_str(), parameters.c_str(), nullptr, SW_SHOW);
    TraceShellExecute(L"starting the client again", started);
}

ProcessExitHook SetProcessExitHookForTesting(ProcessExitHook hook) {
    ProcessExitHook previous = g_exitHook;
    g_exitHook = hook;
    return previous;
}

RestartHook SetRestartHookForTesting(RestartHook hook) {
    RestartHook previous = g_restartHook;
    g_restartHook = hook;
    return previous;
}
