#include "updater/transfer.h"

#include <cwchar>


bool DownloadWithStallLimit(ReportingDownloadJob download, DownloadProgress* progress) {
    std::atomic<unsigned long long> counter{0};
    return download(progress, &counter);
}

std::wstring RunLockName(const std::wstring& dir) {
    // Mutex names take no backslash after the namespace, and paths can be long: a hash of
    // the folder, its letters folded, names it.
    std::wstring folded = dir;
    if (!folded.empty()) CharLowerBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    unsigned long long hash = 1469598103934665603ull;  // FNV-1a
    for (wchar_t c : folded) hash = (hash ^ static_cast<unsigned short>(c)) * 1099511628211ull;
    wchar_t name[64];
    swprintf(name, 64, L"Local\\quorvupdate-%016llx", hash);
    return name;
}

bool UpdaterRunLock::Acquire(const std::wstring& dir) {
    mutex_ = CreateMutexW(nullptr, TRUE, RunLockName(dir).c_str());
    if (!mutex_) return true;  // no lock to be had: run as before rather than never
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // The owner of an abandoned mutex (a killed run) is gone: the lock is free again.
        const DWORD wait = WaitForSingleObject(mutex_, 0);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return true;
        CloseHandle(mutex_);
        mutex_ = nullptr;
        return false;
    }
    return true;
}

UpdaterRunLock::~UpdaterRunLock() {
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
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
