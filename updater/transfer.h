// Checks on what the command line and the update service hand over, and the download's run
// through the HTTP layer.
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
