#include "process/single_instance.h"

#include <string>
#include <vector>

#include "common/module_path.h"
#include "common/trace.h"
#include "common/client_title.h"

namespace {
HANDLE g_mutex = nullptr;
const wchar_t kMutexName[] = L"lenmark20191202";

// The full image path of the process that owns `window`; "" when it cannot be read.
std::wstring ImagePathOfWindow(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == 0) return std::wstring();
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return std::wstring();
    std::vector<wchar_t> buffer(1024);
    std::wstring path;
    for (int tries = 0; tries < 6; ++tries) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) {
            path.assign(buffer.data(), size);
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        buffer.resize(buffer.size() * 2);
    }
    CloseHandle(process);
    return path;
}

struct Search {
    std::wstring ownImage;
    HWND found = nullptr;
};

BOOL CALLBACK FindOurWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t title[64] = {};
    const int length = GetWindowTextW(window, title, 64);
    if (length != static_cast<int>(wcslen(kClientTitle)) || wcscmp(title, kClientTitle) != 0) return TRUE;
    const std::wstring image = ImagePathOfWindow(window);
    if (!image.empty() && SingleInstance::SameProgramFile(image, search->ownImage)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool SingleInstance::Acquire() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    const DWORD error = GetLastError();
    // Without the mutex (another object of that name, or no resources) this instance runs on.
    if (!mutex) TraceFailure(L"creating the single-instance mutex", error);
    if (error == ERROR_ALREADY_EXISTS) {
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

bool SingleInstance::SameProgramFile(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && a.size() == b.size() &&
           CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

HWND SingleInstance::FindOtherWindow() {
    Search search;
    search.ownImage = ModuleFileName(nullptr);
    if (search.ownImage.empty()) return nullptr;
    EnumWindows(&FindOurWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool SingleInstance::BringOtherForward() {
    // Only a window of a process running this same program file: a look-alike window of another
    // program (at any rights) is left alone and shown nothing.
    HWND other = FindOtherWindow();
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
