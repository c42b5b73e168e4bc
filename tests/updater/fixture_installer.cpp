// Stand-in for a downloaded installer: appends one JSON line with its parameters and working
// folder to "installer_runs.txt" beside itself, then exits.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../tools/uidriver/json_text.h"

namespace {

std::string Escape(const std::wstring& text) { return JsonText(text); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR parameters, int) {
    wchar_t self[1024] = {};
    GetModuleFileNameW(nullptr, self, 1024);
    std::wstring log = self;
    log = log.substr(0, log.rfind(L'\\') + 1) + L"installer_runs.txt";
    wchar_t cwd[1024] = {};
    GetCurrentDirectoryW(1024, cwd);

    const std::string line = "{\"params\":" + Escape(parameters ? parameters : L"") + ",\"cwd\":" + Escape(cwd) +
                             ",\"exe\":" + Escape(self) + "}\n";
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
