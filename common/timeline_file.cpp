#include "common/timeline_file.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/timeline.h"

namespace {

std::wstring& TimelinePath() {
    static std::wstring path;
    return path;
}

void AppendMark(const char* name) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    char line[128];
    int length = std::snprintf(line, sizeof line, "%s %lld\n", name, static_cast<long long>(now.QuadPart));
    if (length <= 0 || length >= static_cast<int>(sizeof line)) return;
    HANDLE file = CreateFileW(TimelinePath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void StartTimelineFromEnvironment() {
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"QUORVANE_TIMELINE", buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    TimelinePath().assign(buffer, length);
    SetTimelineSink(&AppendMark);
}
