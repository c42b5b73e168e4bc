#include "mainframe/update_check.h"

#include <cstdio>
#include <vector>

#include "common/escaping.h"
#include "common/md5.h"
#include "common/module_path.h"
#include "common/text.h"
#include "common/window_handle.h"

std::wstring AcceptPointFor(const SYSTEMTIME& date) {
    char text[32];
    std::snprintf(text, sizeof text, "velmarix3071%04u%02u%02u", unsigned(date.wYear), unsigned(date.wMonth),
                  unsigned(date.wDay));
    Md5 md5;
    md5.Update(std::string(text));
    return AnsiToWide(md5.HexDigest());
}

std::wstring AcceptPointForToday() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return AcceptPointFor(now);
}

std::wstring GetProductVersion(HINSTANCE module) {
    const std::wstring file = ModuleFileName(module);
    const wchar_t* path = file.c_str();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return std::wstring();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return std::wstring();
    std::wstring version;
    if (void* data = GlobalLock(block)) {
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        if (GetFileVersionInfoW(path, 0, size, data) &&
            VerQueryValueW(data, L"\\", reinterpret_cast<void**>(&info), &length) && info) {
            wchar_t text[64];
            swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(info->dwProductVersionMS), LOWORD(info->dwProductVersionMS),
                     HIWORD(info->dwProductVersionLS), LOWORD(info->dwProductVersionLS));
            version = text;
        }
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return version;
}

std::wstring UpdaterCommandLine(HWND mainWindow, const std::wstring& serverBaseUrl, const std::wstring& acceptPoint,
                                const std::wstring& productVersion) {
    wchar_t handle[16];
    swprintf(handle, 16, L"%d", static_cast<int>(HandleNumber(mainWindow)));
    // The inserted values are escaped as JSON strings: an address with a quote or a backslash
    // must not make the updater's document unreadable. Ordinary values come out unchanged.
    return L"{\"MainHwnd\":" + std::wstring(handle) + L",\"url\":\"" + EscapeJsonString(serverBaseUrl) +
           L"/platform/clientversion/findClientVersion\",\"header\":{\"Accept-Point\":\"" +
           EscapeJsonString(acceptPoint) + L"\"},\"postdata\":{\"type\":\"quorvane_client\",\"version\":\"" +
           EscapeJsonString(productVersion) + L"\"}}";
}
