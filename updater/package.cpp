#include "updater/package.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "common/md5.h"
#include "common/text.h"
#include "net/http_interface.h"
#include "updater/background_sha256.h"
#include "updater/transfer.h"

const std::wstring& UpdaterPaths::Dir() {
    if (dir_.empty()) {
        const std::wstring path = ModuleFileName(nullptr);
        const size_t slash = path.rfind(L'\\');
        dir_ = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    return dir_;
}

const std::wstring& UpdaterPaths::DownloadTarget() {
    if (target_.empty()) target_ = Dir() + L"\\newupgrade";
    return target_;
}

std::string InstallerNameFromUrl(const std::string& address) {
    // The digest names the file: a query or a fragment after the path is no part of it (a
    // signed CDN address carries dots and slashes there).
    const std::string url = address.substr(0, address.find_first_of("?#"));
    const size_t slash = url.rfind('/');
    const size_t dot = url.rfind('.');
    const size_t begin = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return url.substr(begin);
    return url.substr(begin, dot - begin);
}

namespace {

// Keeps a download's blocks in the file, hashing each one as it is written (the HTTP layer
// receives the next block meanwhile; the SHA-256, when wanted, is taken on a thread of its own),
// and passes the progress on. A short write (disk full)
// would only surface later as a digest mismatch that also throws away a good installer from
// an earlier run, so it fails the download; the digest takes exactly the bytes written.
class FileWriter : public DownloadWriter {
public:
    FileWriter(HANDLE file, Md5* md5, BackgroundSha256* sha, DownloadProgress* progress,
               std::atomic<unsigned long long>* counter)
        : file_(file), md5_(md5), sha_(sha), progress_(progress), counter_(counter) {}

    bool Write(const char* data, size_t size) override {
        DWORD written = 0;
        if (!WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) || written != size) return false;
        // Should the SHA-256 thread fail, its digest is refused and the check reads the file again.
        if (sha_ && !sha_->Add(data, size)) sha_ = nullptr;
        if (md5_) md5_->Update(data, size);
        if (counter_) *counter_ += size;
        return true;
    }
    bool OnProgress(unsigned long long received, unsigned long long total) override {
        return !progress_ || progress_->OnProgress(received, total);
    }
    bool Cancelled() const override { return progress_ && progress_->Cancelled(); }

private:
    HANDLE file_;
    Md5* md5_;
    BackgroundSha256* sha_;
    DownloadProgress* progress_;
    std::atomic<unsigned long long>* counter_;
};

}  // namespace

unsigned long long InstallerSizeLimit(const std::wstring& target) {
    unsigned long long limit = kMaxInstallerBytes;
    const size_t slash = target.find_last_of(L"\\/");
    const std::wstring dir = slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash + 1);
    ULARGE_INTEGER available = {};
    if (GetDiskFreeSpaceExW(dir.c_str(), &available, nullptr, nullptr)) {
        const unsigned long long room =
            available.QuadPart > kFreeSpaceMargin ? available.QuadPart - kFreeSpaceMargin : 0;
        limit = std::min(limit, room);
    }
    return limit;
}

bool DownloadToFile(const std::wstring& url, const std::wstring& target, std::atomic<unsigned long long>* counter) {
    return DownloadToFile(url, target, nullptr, counter);
}

bool DownloadToFile(const std::wstring& url, const std::wstring& target, DownloadProgress* progress,
                    std::atomic<unsigned long long>* counter, HeldDownload* held) {
    // Held for the check, the file is opened so that no one else can write to it while this
    // handle lives: then its bytes are exactly those written here, and hashing them on the way
    // spares reading the whole file again. Renaming and deleting stay open to others: neither
    // changes the bytes, and the file is moved into the installer's place through this handle.
    // Otherwise, or when another process still has it open, it is shared as before, so that a
    // run that hangs or is killed mid-download never keeps the next one from truncating the
    // file; the check then reads the file again.
    // Only this call writes through the handle, and only while it runs: the HTTP layer hands
    // blocks over on this thread, so nothing touches the file once the call has returned.
    qv::unique_hfile file;
    if (held) {
        file.reset(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    }
    const bool alone = static_cast<bool>(file);
    if (!alone) {
        file.reset(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) return false;
    Md5 md5;
    std::unique_ptr<BackgroundSha256> sha;
    if (alone && held->wantSha256) sha = std::make_unique<BackgroundSha256>();
    FileWriter writer(file.get(), alone ? &md5 : nullptr, sha.get(), progress, counter);
    HttpInterface http(HttpFlavor::Updater());
    // An installer larger than the cap, or than the drive can take, is refused like a failed
    // download: before the body when its length is announced, otherwise as it passes the limit.
    const bool ok = http.Download(WideToUtf8(url), writer, InstallerSizeLimit(target), kDownloadFlags);
    if (ok && alone) {
        held->md5 = md5.HexDigest();
        held->hasSha256 = sha && sha->Finish(held->sha256);  // false once an Add failed
        held->file = std::move(file);
    }
    file.reset();
    http.Close();
    return ok;
}

bool DigestMatches(const std::string& expected, const std::string& digest) {
    if (expected.size() != digest.size()) return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        char c = expected[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != digest[i]) return false;
    }
    return true;
}

namespace {

// Gives the file behind `file` (opened with DELETE access) the name `path`, replacing a file
// there: the name then stands for the very file that was written through the handle.
bool RenameHeldFile(HANDLE file, const std::wstring& path) {
    const size_t nameBytes = path.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, path.c_str(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

bool CheckPackageMd5(const std::string& expected, const std::wstring& path) {
    qv::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // The digest takes the file 1024 bytes at a time; the system is asked for 64 KiB at once,
    // as a buffered stream would, since every ReadFile call costs far more than its bytes.
    Md5 md5;
    std::vector<char> block(64 * 1024);
    DWORD read = 0;
    while (ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr) && read > 0) {
        for (DWORD at = 0; at < read; at += 1024) md5.Update(block.data() + at, std::min<DWORD>(1024, read - at));
    }
    return DigestMatches(expected, md5.HexDigest());
}

HWND LiveOwner(HWND owner) { return owner && IsWindow(owner) ? owner : nullptr; }

FetchResult FetchPackage(UpdaterPaths& paths, const std::wstring& url, const std::string& expectedDigest,
                         DownloadProgress* progress, const InstallerSignature* signature) {
    // Without a usable signature the download could only be thrown away afterwards.
    if (signature && !signature->WellFormed()) return FetchResult::SignatureMissing;
    const std::wstring target = paths.DownloadTarget();
    // Shared with the worker, which may outlive this call after a stall or a Cancel.
    auto held = std::make_shared<HeldDownload>();
    held->wantSha256 = signature != nullptr;
    const bool downloaded = DownloadWithStallLimit(
        [url, target, held](DownloadProgress* relay, std::atomic<unsigned long long>* counter) {
            return DownloadToFile(url, target, relay, counter, held.get());
        },
        progress);
    if (progress) {
        progress->Finished();
        if (!downloaded && progress->Cancelled()) {
            DeleteFileW(target.c_str());
            return FetchResult::Cancelled;
        }
    }
    if (!downloaded) return FetchResult::DownloadFailed;
    const std::wstring installer = paths.Installer();
    ClearNonFile(installer);  // a link or an empty folder in the installer's place
    // The digest taken while writing vouches for the file only while no one else could write
    // to it: from its creation until now the download's handle has admitted no other writer,
    // and it stays open until the checks are done. Without such a handle the file is read again.
    bool digestHolds = false;
    bool sha256Holds = false;  // held->sha256 vouches for the file as well
    if (held->file && RenameHeldFile(held->file.get(), installer)) {
        digestHolds = DigestMatches(expectedDigest, held->md5);
        sha256Holds = held->hasSha256;
    } else {
        held->file.reset();
        MoveFileExW(target.c_str(), installer.c_str(), MOVEFILE_REPLACE_EXISTING);
        digestHolds = CheckPackageMd5(expectedDigest, installer);
    }
    FetchResult result = FetchResult::Ready;
    if (!digestHolds) {
        result = FetchResult::CheckFailed;
    } else if (signature && !(sha256Holds ? signature->VerifiesDigest(held->sha256) : signature->Verifies(installer))) {
        result = FetchResult::SignatureWrong;
    }
    held->file.reset();
    if (result != FetchResult::Ready) DeleteFileW(installer.c_str());
    return result;
}

bool PendingInstallerMatches(UpdaterPaths& paths, const std::string& expectedDigest,
                             const InstallerSignature* signature) {
    const std::wstring installer = paths.Installer();
    if (!CheckPackageMd5(expectedDigest, installer)) return false;
    return !signature || (signature->WellFormed() && signature->Verifies(installer));
}

void StartInstaller(UpdaterPaths& paths, const std::wstring& parameters) {
    const std::wstring installer = paths.Installer();
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", installer.c_str(), parameters.c_str(), paths.Dir().c_str(), SW_SHOW));
    if (result == ERROR_BAD_FORMAT) DeleteFileW(installer.c_str());
}
