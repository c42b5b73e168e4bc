#include "updater/transfer.h"

#include <cwchar>

bool DownloadWithStallLimit(ReportingDownloadJob download, DownloadProgress* progress) {
    std::atomic<unsigned long long> counter{0};
    return download(progress, &counter);
}

std::wstring ShortenReleaseText(const std::wstring& text) {
    if (text.size() <= kMaxReleaseTextChars) return text;
    size_t cut = kMaxReleaseTextChars;
    // Never split a surrogate pair.
    if (IS_HIGH_SURROGATE(text[cut - 1])) --cut;
    return text.substr(0, cut) + L"\x2026";
}

bool HasLineBreak(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

bool IsPlainFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

void ClearNonFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || IsPlainFile(path)) return;
    // Both calls remove a link itself, never what it points to; a folder goes only when empty.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
    } else {
        DeleteFileW(path.c_str());
    }
}
