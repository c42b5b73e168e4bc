// Start-up probe for bench/client_startup.py (built by that script, not by CMake).
//   client_window_probe window                 the reference: a plain window, nothing else
//   client_window_probe launch CLASS EXE [ARGS] starts EXE, prints the milliseconds until a
//                                               visible top-level window of class CLASS of
//                                               that process exists, then ends the process
//                                               (QUORVANE_PROBE_SETTLE_MS: after that long)
// The child inherits the environment, so QUORVANE_TIMELINE reaches the client; the probe prints
// its own performance-counter start so that the client's marks can be put on the same clock.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int RunPlainWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchPlainWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                480, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

struct Search {
    DWORD pid;
    const wchar_t* cls;
    bool found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    if (pid == search->pid && IsWindowVisible(hwnd) && wcscmp(cls, search->cls) == 0) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

int Launch(const wchar_t* cls, std::wstring commandLine, DWORD settleMs) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("{\"error\":\"start failed\"}\n");
        return 1;
    }
    Search search = {pi.dwProcessId, cls, false};
    for (;;) {
        EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&now);
        if (search.found) break;
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
        if ((now.QuadPart - start.QuadPart) / frequency.QuadPart > 60) break;
    }
    double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    // The process runs on for a moment, so that marks just after the window appeared are kept.
    WaitForSingleObject(pi.hProcess, settleMs);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("{\"found\":%s,\"ms\":%.1f,\"start\":%lld,\"frequency\":%lld}\n", search.found ? "true" : "false", ms,
                static_cast<long long>(start.QuadPart), static_cast<long long>(frequency.QuadPart));
    return search.found ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && wcscmp(argv[1], L"window") == 0) return RunPlainWindow();
    if (argc >= 4 && wcscmp(argv[1], L"launch") == 0) {
        std::wstring commandLine = L"\"" + std::wstring(argv[3]) + L"\"";
        for (int i = 4; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);
        const wchar_t* settle = _wgetenv(L"QUORVANE_PROBE_SETTLE_MS");
        return Launch(argv[2], commandLine, settle ? static_cast<DWORD>(_wtoi(settle)) : 0);
    }
    std::printf("{\"error\":\"usage\"}\n");
    return 2;
}
