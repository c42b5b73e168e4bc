#include "common/text.h"

#include <windows.h>

#include <vector>

namespace {

// Converts with the given code page; `count` is -1 to read up to the first NUL.
std::wstring ToWide(UINT codePage, const char* text, int count) {
    if (count == 0) return std::wstring();
    int needed = MultiByteToWideChar(codePage, 0, text, count, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    MultiByteToWideChar(codePage, 0, text, count, buffer.data(), needed);
    return std::wstring(buffer.data());  // up to the first NUL
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int count = static_cast<int>(wide.size());
    int needed = WideCharToMultiByte(codePage, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), count, buffer.data(), needed, nullptr, nullptr);
    return std::string(buffer.data());
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) { return ToWide(CP_UTF8, utf8.c_str(), -1); }

std::string WideToUtf8(const std::wstring& wide) { return FromWide(CP_UTF8, wide); }

std::wstring AnsiToWide(const std::string& ansi) { return ToWide(CP_ACP, ansi.data(), static_cast<int>(ansi.size())); }

std::string WideToAnsi(const std::wstring& wide) { return FromWide(CP_ACP, wide); }

std::string Utf8ToAnsi(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8)); }
