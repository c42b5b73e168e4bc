// The updater's guards against a second run, and checks on what the command line and the
// service hand over.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "net/http_interface.h"
#include "updater/download_progress.h"

// The download's watch (silence, Cancel) lives in the HTTP layer (HttpInterface::Download),
// which reaches the file only while the download call runs. This runs `download` on the
// calling thread with `progress` (which may be null) and a byte counter.
using ReportingDownloadJob = std::function<bool(DownloadProgress* progress, std::atomic<unsigned long long>* counter)>;
bool DownloadWithStallLimit(ReportingDownloadJob download, DownloadProgress* progress);

// Held for the whole run: only one updater works on the files of a folder at a time.
class UpdaterRunLock {
public:
    // False when another updater of the same folder holds the lock.
    bool Acquire(const std::wstring& dir);
    ~UpdaterRunLock();

    // Exit code of a run that found another one working; no box, no file touched.
    static constexpr int kAlreadyRunningExitCode = 2;

private:
    HANDLE mutex_ = nullptr;
};

// Name of the run lock of a folder (letter case of the path does not matter).
std::wstring RunLockName(const std::wstring& dir);

// A release text as the question shows it: at most kMaxReleaseTextChars characters, then "…".
constexpr size_t kMaxReleaseTextChars = 4000;
std::wstring ShortenReleaseText(const std::wstring& text);

// True when the text holds CR or LF (which would end a header line early) or NUL.
bool HasLineBreak(const std::string& text);

// True when `path` names a plain file: not a folder, not a link or other reparse point.
bool IsPlainFile(const std::wstring& path);

// Takes away what sits at `path` when it is a link (the link only, never its target) or an
// empty folder, so that a new file can be moved there. Anything else stays.
void ClearNonFile(const std::wstring& path);
