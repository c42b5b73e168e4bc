#include "browser/file_filter.h"

#include <algorithm>

#include "common/mime.h"

namespace {
constexpr size_t kFilterLimit = 500;  // characters, terminators included
const wchar_t kCustomFiles[] = L"\x81ea\x5b9a\x4e49\x6587\x4ef6(";  // 自定义文件(
const wchar_t kAllFiles[] = L"\x6240\x6709\x6587\x4ef6";            // 所有文件
}  // namespace

std::wstring DownloadTarget(const std::wstring& documentsFolder, const std::wstring& suggestedName) {
    std::wstring name = suggestedName;
    if (name.find(L'.') == std::wstring::npos) name += L".zip";
    return documentsFolder + L"\\" + name;
}

bool HandlesFileDialogMode(int mode) { return mode == 0x03000000 || mode == 0x03000001; }

std::wstring BuildOpenFileFilter(const std::vector<std::wstring>& acceptFilters) {
    std::vector<std::wstring> extensions;
    std::wstring display, pattern;
    auto size = [&](const std::wstring& d, const std::wstring& p) {
        // display ")" NUL pattern NUL 所有文件 NUL *.* NUL NUL
        return wcslen(kCustomFiles) + d.size() + 1 + 1 + p.size() + 1 + wcslen(kAllFiles) + 1 + 3 + 1 + 1;
    };
    for (const std::wstring& filter : acceptFilters) {
        std::wstring extension;
        if (!MimeTypeTable::Instance().ExtensionForMimeType(filter, &extension)) extension = filter;
        if (extension.empty() || extension[0] != L'.') extension = L"." + extension;
        if (std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) continue;
        std::wstring nextDisplay = display + (extensions.empty() ? L"" : L",") + extension;
        std::wstring nextPattern = pattern + (extensions.empty() ? L"" : L";") + L"*" + extension;
        if (size(nextDisplay, nextPattern) > kFilterLimit) break;
        extensions.push_back(extension);
        display = nextDisplay;
        pattern = nextPattern;
    }
    std::wstring text = kCustomFiles + display + L")";
    text.push_back(L'\0');
    text += pattern;
    text.push_back(L'\0');
    text += kAllFiles;
    text.push_back(L'\0');
    text += L"*.*";
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}
