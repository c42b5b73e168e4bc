// Fetching, checking and starting the installer of a new client version.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "common/handles.h"
#include "common/module_path.h"
#include "updater/download_progress.h"
#include "updater/signature.h"
#include "updater/update_flow.h"

// The updater's folder D and the download target P, each worked out once.
class UpdaterPaths {
public:
    UpdaterPaths() = default;
    // A given folder instead of the program's own (tests).
    explicit UpdaterPaths(std::wstring dir) : dir_(std::move(dir)) {}
    const std::wstring& Dir();
    const std::wstring& DownloadTarget();
    std::wstring Installer() { return DownloadTarget() + L".exe"; }

private:
    std::wstring dir_;
    std::wstring target_;
};

// The expected digest: the last path segment of the download URL without its extension.
std::string InstallerNameFromUrl(const std::string& url);

// The largest block a download hands over at once (blocks come as they arrive, at most
// HttpInterface::kReadChunk bytes).
constexpr DWORD kDownloadBufferSize = 1000000;
constexpr DWORD kDownloadFlags = 0x84000002;  // RELOAD | NO_CACHE_WRITE | TRANSFER_BINARY

// An installer is refused past 1 GiB, or when it would leave less than the margin free on the
// updater's drive.
constexpr unsigned long long kMaxInstallerBytes = 1ull << 30;
constexpr unsigned long long kFreeSpaceMargin = 64ull << 20;
// The size a download into `target` may reach: the cap, or the room on its drive.
unsigned long long InstallerSizeLimit(const std::wstring& target);

// What a download can hand to the check: the file, still open, and the digests of exactly the
// bytes written through that handle. The handle admits no other writer (see DownloadToFile).
struct HeldDownload {
    bool wantSha256 = false;  // asked for by the caller: the SHA-256 is taken as well
    qv::unique_hfile file;
    std::string md5;  // lower-case hex
    bool hasSha256 = false;
    Sha256Digest sha256{};
};

// Stores the body found at `url` in `target` (truncated first). False on any failure,
// including a body that ends before its announced length, and when `progress` asks to stop;
// a partial file stays. `counter`, when given, counts the bytes received (for the stall watch).
// With `held`, a successful download that could open the file for itself alone leaves it open
// there with the digest of what was written; otherwise `held` stays empty.
bool DownloadToFile(const std::wstring& url, const std::wstring& target,
                    std::atomic<unsigned long long>* counter = nullptr);
bool DownloadToFile(const std::wstring& url, const std::wstring& target, DownloadProgress* progress,
                    std::atomic<unsigned long long>* counter = nullptr, HeldDownload* held = nullptr);

// True when the file's MD5 digest equals `expected` (same length, letters in any case).
bool CheckPackageMd5(const std::string& expected, const std::wstring& path);
// The same comparison for a digest already taken (lower-case hex).
bool DigestMatches(const std::string& expected, const std::string& digest);

// Owner for a message box: the given window while it still exists, otherwise none, so that
// the box is shown at all.
HWND LiveOwner(HWND owner);

// Download, move into place and check, without a word to the user: the result says which check
// failed (the caller tells the user). A check that fails removes the installer. With
// `signature`, the installer must also carry the publisher's signature for the offer; with
// `progress`, the download reports to it and can be cancelled, which removes the partial download.
FetchResult FetchPackage(UpdaterPaths& paths, const std::wstring& url, const std::string& expectedDigest,
                         DownloadProgress* progress = nullptr, const InstallerSignature* signature = nullptr);

// Whether an installer E left by an earlier run is the one the current offer names: its MD5 is
// the offer's digest and, with `signature` (a signed build), the signature holds for it.
bool PendingInstallerMatches(UpdaterPaths& paths, const std::string& expectedDigest,
                             const InstallerSignature* signature);

void StartInstaller(UpdaterPaths& paths, const std::wstring& parameters);
