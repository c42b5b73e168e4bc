#include "browser/file_filter.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "common/mime.h"

namespace {

constexpr size_t kFilterLimit = 500;  // characters, terminators included
constexpr size_t kMaxNameLength = 255;
const wchar_t kCustomFiles[] = L"\x81ea\x5b9a\x4e49\x6587\x4ef6(";  // 自定义文件(
const wchar_t kAllFiles[] = L"\x6240\x6709\x6587\x4ef6";            // 所有文件

// Marks that reorder how a name is shown (U+202E makes "evil\u202Etxt.exe" read as a text file).
bool IsBidiFormatting(wchar_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsReservedDeviceName(std::wstring stem) {
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const kFixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* name : kFixed) {
        if (stem == name) return true;
    }
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0)) {
        wchar_t digit = stem[3];
        // COM1-9, and the superscript digits Windows treats the same way.
        return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

// At most `count` characters of `text`, not ending inside a surrogate pair.
std::wstring Head(const std::wstring& text, size_t count) {
    if (count >= text.size()) return text;
    if (count > 0 && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) --count;
    return text.substr(0, count);
}

std::wstring TrimDotsAndBlanks(const std::wstring& text) {
    size_t first = text.find_first_not_of(L". ");
    if (first == std::wstring::npos) return std::wstring();
    size_t last = text.find_last_not_of(L". ");
    return text.substr(first, last - first + 1);
}

// The extensions one accept filter stands for (with their dot); none when it is not usable.
std::vector<std::wstring> ExtensionsFor(const std::wstring& filter) {
    const MimeTypeTable& table = MimeTypeTable::Instance();
    std::wstring extension;
    if (table.ExtensionForMimeType(filter, &extension)) return {L"." + extension};
    if (filter.size() > 2 && filter.compare(filter.size() - 2, 2, L"/*") == 0) {
        // "image/*": every image type the table knows.
        std::wstring prefix = filter.substr(0, filter.size() - 1);
        std::vector<std::wstring> all;
        for (const auto& row : table.rows()) {
            if (row.first.compare(0, prefix.size(), prefix) == 0) all.push_back(L"." + row.second);
        }
        return all;
    }
    // An extension, with or without its dot. A MIME type the table does not know, or a text a
    // pattern cannot carry, offers nothing to choose.
    if (filter.find_first_of(L"/\\;:*?\"<>| \t") != std::wstring::npos) return {};
    std::wstring dotted = !filter.empty() && filter[0] == L'.' ? filter : L"." + filter;
    if (dotted.size() < 2) return {};
    return {dotted};
}

}  // namespace

std::wstring SafeDownloadName(const std::wstring& suggestedName) {
    std::wstring name = suggestedName;
    size_t separator = name.find_last_of(L"/\\");
    if (separator != std::wstring::npos) name = name.substr(separator + 1);
    std::wstring clean;
    for (wchar_t c : name) {
        if (IsBidiFormatting(c)) continue;
        clean.push_back(c < 0x20 || c == 0x7F || std::wcschr(L"<>:\"|?*", c) ? L'_' : c);
    }
    clean = TrimDotsAndBlanks(clean);
    if (clean.empty()) return L"download";
    if (IsReservedDeviceName(clean.substr(0, clean.find(L'.')))) clean = L"_" + clean;
    return clean;
}

std::wstring DownloadTarget(const std::wstring& documentsFolder, const std::wstring& suggestedName) {
    std::wstring name = SafeDownloadName(suggestedName);
    if (name.find(L'.') == std::wstring::npos) name += L".zip";
    size_t room = kMaxDownloadPath > documentsFolder.size() + 1 ? kMaxDownloadPath - documentsFolder.size() - 1 : 0;
    room = std::min(room, kMaxNameLength);
    if (name.size() > room && room > 0) {
        size_t dot = name.rfind(L'.');
        std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
        if (extension.size() + 1 > room) extension.clear();  // an extension that alone does not fit
        std::wstring stem = name.substr(0, name.size() - extension.size());
        stem = Head(stem, room - extension.size());
        while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.')) stem.pop_back();
        if (stem.empty()) stem = Head(L"download", room - extension.size());
        name = stem + extension;
    }
    return documentsFolder + L"\\" + name;
}

bool HandlesFileDialogMode(int mode) { return mode == 0x03000000 || mode == 0x03000001; }
bool IsMultipleFileMode(int mode) { return (mode & 0xFF) == 1; }

std::wstring BuildOpenFileFilter(const std::vector<std::wstring>& acceptFilters) {
    std::vector<std::wstring> extensions;
    std::wstring display, pattern;
    auto size = [&](const std::wstring& d, const std::wstring& p) {
        // display ")" NUL pattern NUL 所有文件 NUL *.* NUL NUL
        return wcslen(kCustomFiles) + d.size() + 1 + 1 + p.size() + 1 + wcslen(kAllFiles) + 1 + 3 + 1 + 1;
    };
    bool full = false;
    for (const std::wstring& filter : acceptFilters) {
        for (const std::wstring& extension : ExtensionsFor(filter)) {
            if (std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) continue;
            std::wstring nextDisplay = display + (extensions.empty() ? L"" : L",") + extension;
            std::wstring nextPattern = pattern + (extensions.empty() ? L"" : L";") + L"*" + extension;
            if (size(nextDisplay, nextPattern) > kFilterLimit) {
                full = true;
                break;
            }
            extensions.push_back(extension);
            display = nextDisplay;
            pattern = nextPattern;
        }
        if (full) break;
    }
    std::wstring text;
    if (extensions.empty()) {
        // Nothing to narrow the choice to: an empty pattern would end the list and offer nothing.
        text = kAllFiles + std::wstring(L"(*.*)");
    } else {
        text = kCustomFiles + display + L")";
        text.push_back(L'\0');
        text += pattern;
        text.push_back(L'\0');
        text += kAllFiles;
    }
    text.push_back(L'\0');
    text += L"*.*";
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}

std::vector<std::wstring> ChosenFiles(const wchar_t* buffer, size_t size) {
    std::vector<std::wstring> parts;
    size_t at = 0;
    while (buffer && at < size && buffer[at] != L'\0') {
        size_t stop = at;
        while (stop < size && buffer[stop] != L'\0') ++stop;
        parts.emplace_back(buffer + at, stop - at);
        at = stop + 1;
    }
    if (parts.size() <= 1) return parts;  // one file: its full path
    std::wstring folder = parts[0];
    if (folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> paths;
    for (size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
    return paths;
}
