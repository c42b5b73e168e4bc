// Stand-in for a downloaded installer: appends one JSON line with its parameters and working
// folder to "installer_runs.txt" beside itself, then exits.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Escape(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out + "\"";
}

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
