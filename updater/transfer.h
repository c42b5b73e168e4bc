// The updater's guards against waiting forever: the download with a limit on silence and on
// redirects, and checks on what the command line and the service hand over.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <string>

#include "updater/download_progress.h"

// Silence after which a download counts as failed, in milliseconds; tests shorten it.
constexpr DWORD kDownloadStallMs = 60000;
DWORD& DownloadStallLimitMs();

// Redirects a download follows before it counts as failed.
constexpr int kMaxDownloadRedirects = 10;

// Opens `url` like InternetOpenUrlW with `flags`, following at most kMaxDownloadRedirects
// redirects itself. Null on failure (also for a redirect loop or a Location that does not
// resolve).
HINTERNET OpenUrlFollowingRedirects(HINTERNET session, const std::wstring& url, DWORD flags);

// Absolute address of a Location value seen from `base`; "" when they do not combine or the
// value holds control characters.
std::wstring ResolveLocationW(const std::wstring& base, const std::wstring& location);

// Runs `download` (given a byte counter to bump) on a worker thread and waits while bytes keep
// arriving. Silence for DownloadStallLimitMs() gives false at once; the worker is left behind
// (the process ends soon after) so a call blocked inside WinINet cannot hold the updater.
using DownloadJob = bool (*)(const std::wstring& url, const std::wstring& target,
                             std::atomic<unsigned long long>* progress);
bool DownloadWithStallLimit(DownloadJob download, const std::wstring& url, const std::wstring& target);

// The same for a job that also reports to `progress` (which may be null). The job sees a relay
// that forwards to `progress` only while this call waits, so a worker left behind never touches
// it afterwards; a Cancel through `progress` ends the wait at once.
using ReportingDownloadJob = std::function<bool(DownloadProgress* relay, std::atomic<unsigned long long>* counter)>;
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
