#include "login/profile.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "common/handles.h"
#include "common/module_path.h"

namespace profile {

std::wstring ReadString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                        const wchar_t* defaultValue) {
    // The function signals a cut value by filling the buffer to size - 1: grow until it fits.
    // Profile lines are far below the cap, which only guards against a runaway loop.
    constexpr DWORD kMaxChars = 1u << 24;
    DWORD size = 256;
    for (;;) {
        std::vector<wchar_t> buffer(size, L'\0');
        DWORD got = GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), size, file.c_str());
        if (got < size - 1 || size >= kMaxChars) return std::wstring(buffer.data(), got);
        size *= 2;
    }
}

void EnsureUnicodeFile(const std::wstring& file) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) &&
        (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0)) {
        return;  // existing content keeps its encoding
    }
    // CREATE_NEW never overwrites a file that another writer created in the meantime; an
    // existing empty file has nothing to lose.
    qv::unique_hfile handle(
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        handle.reset(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size = {};
        if (!handle || !GetFileSizeEx(handle.get(), &size) || size.QuadPart != 0) return;
    }
    static const BYTE kBom[] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(handle.get(), kBom, sizeof kBom, &written, nullptr);
}

namespace {

bool IsProfileBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A; }

}  // namespace

std::wstring QuoteForReading(const std::wstring& value) {
    // Reading trims blanks around a value and drops one pair of matching quotes around it;
    // an extra pair of quotes keeps such a value as it was (and older readers agree).
    if (value.empty()) return value;
    const wchar_t first = value.front(), last = value.back();
    const bool quoted = value.size() >= 2 && (first == L'"' || first == L'\'') && last == first;
    if (quoted || IsProfileBlank(first) || IsProfileBlank(last)) return L"\"" + value + L"\"";
    return value;
}

void WriteString(const std::wstring& file, const wchar_t* section, const wchar_t* key, const std::wstring& value) {
    EnsureUnicodeFile(file);
    WritePrivateProfileStringW(section, key, QuoteForReading(value).c_str(), file.c_str());
}

int ParseCount(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    if (i < text.size() && text[i] == L'+') ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value >= INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

bool ParseStrictCount(const std::wstring& text, int& count) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return false;
    const size_t last = text.find_last_not_of(L" \t");
    long long value = 0;
    for (size_t i = first; i <= last; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
        if (value > INT_MAX) return false;
    }
    count = static_cast<int>(value);
    return true;
}

std::vector<std::wstring> KeyNames(const std::wstring& file, const wchar_t* section) {
    // With no key the function lists the key names, NUL-separated; a list cut short comes
    // back as size - 2 characters.
    constexpr DWORD kMaxChars = 1u << 24;
    DWORD size = 4096;
    std::vector<wchar_t> buffer;
    DWORD got = 0;
    for (;;) {
        buffer.assign(size, L'\0');
        got = GetPrivateProfileStringW(section, nullptr, L"", buffer.data(), size, file.c_str());
        if (got < size - 2 || size >= kMaxChars) break;
        size *= 2;
    }
    std::vector<std::wstring> names;
    for (DWORD at = 0; at < got;) {
        std::wstring name(buffer.data() + at);
        at += static_cast<DWORD>(name.size()) + 1;
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

bool FileExists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ExecutableDirectory() {
    const std::wstring path = ModuleFileName(nullptr);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace profile
