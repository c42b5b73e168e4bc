#include "process/single_instance.h"

#include "ui/messages.h"

namespace {
HANDLE g_mutex = nullptr;
const wchar_t kMutexName[] = L"lenmark20191202";
}  // namespace

bool SingleInstance::Acquire() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return false;
    }
    g_mutex = mutex;  // held until the process ends (or Release)
    return true;
}

void SingleInstance::Release() {
    if (g_mutex) {
        CloseHandle(g_mutex);
        g_mutex = nullptr;
    }
}

bool SingleInstance::BringOtherForward() {
    HWND other = FindWindowW(nullptr, kClientTitle);
    if (!other) return false;
    if (IsIconic(other)) {
        ShowWindow(other, SW_RESTORE);
        InvalidateRect(other, nullptr, TRUE);
    } else {
        ShowWindow(other, SW_SHOW);
    }
    SetForegroundWindow(other);
    return true;
}
