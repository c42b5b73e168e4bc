// Fetching, checking and starting the installer of a new client version.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "updater/update_flow.h"

// The updater's folder D and the download target P, each worked out once.
class UpdaterPaths {
public:
    const std::wstring& Dir();
    const std::wstring& DownloadTarget();
    std::wstring Installer() { return DownloadTarget() + L".exe"; }

private:
    std::wstring dir_;
    std::wstring target_;
};

// Full path of a module; the buffer grows by `step` characters while it is too small.
std::wstring ModuleFileName(HMODULE module, DWORD step = 500);

// The expected digest: the last path segment of the download URL without its extension.
std::string InstallerNameFromUrl(const std::string& url);

constexpr DWORD kDownloadBufferSize = 1000000;
constexpr DWORD kDownloadFlags = 0x84000002;  // RELOAD | NO_CACHE_WRITE | TRANSFER_BINARY

// Stores the body found at `url` in `target` (truncated first). False on any failure,
// including a body that ends before its announced length; a partial file stays. `progress`,
// when given, counts the bytes received.
bool DownloadToFile(const std::wstring& url, const std::wstring& target,
                    std::atomic<unsigned long long>* progress = nullptr);

// True when the file's MD5 digest equals `expected` (same length, letters in any case).
bool CheckPackageMd5(const std::string& expected, const std::wstring& path);

// Owner for a message box: the given window while it still exists, otherwise none, so that
// the box is shown at all.
HWND LiveOwner(HWND owner);

FetchResult FetchPackage(UpdaterPaths& paths, const std::wstring& url, const std::string& expectedDigest,
                         HWND owner);
void StartInstaller(UpdaterPaths& paths, const std::wstring& parameters);
