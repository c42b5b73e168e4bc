#include "updater/package.h"

#include <shellapi.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "common/md5.h"
#include "net/http_interface.h"
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

std::string InstallerNameFromUrl(const std::string& url) {
    const size_t slash = url.rfind('/');
    const size_t dot = url.rfind('.');
    const size_t begin = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return url.substr(begin);
    return url.substr(begin, dot - begin);
}

namespace {

// The announced body length, when the server gave one.
bool ContentLength(HINTERNET request, ULONGLONG& length) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    wchar_t* end = nullptr;
    length = wcstoull(text, &end, 10);
    return end != text;
}

// Stores blocks in the file, and hashes each one just after it is written, on a thread of its
// own: the next block is received meanwhile. Two buffers, made once: the receiver fills one
// while the other is written. Without a thread to spare, each block is stored at once.
class BlockWriter {
public:
    BlockWriter(HANDLE file, Md5* md5) : file_(file), md5_(md5) {
        for (auto& buffer : buffers_) buffer.resize(kDownloadBufferSize);
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::exception&) {
        }
    }
    ~BlockWriter() { Finish(); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // The buffer to receive the next block into.
    char* Free() { return buffers_[fill_].data(); }

    // Hands over the `size` bytes received into Free(). False once a write has failed.
    bool Submit(DWORD size) {
        if (!thread_.joinable()) return Store(buffers_[fill_].data(), size);
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return !pending_; });
        if (failed_) return false;
        pending_ = true;
        pendingBuffer_ = fill_;
        pendingSize_ = size;
        work_.notify_one();
        fill_ ^= 1;  // the other buffer: its block is stored, as the writer is idle
        return true;
    }

    // Waits until every block handed over is stored; false when a write failed.
    bool Finish() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            work_.notify_one();
            thread_.join();
        }
        return !failed_;
    }

private:
    // A short write (disk full) would only surface later as a digest mismatch that also
    // throws away a good installer from an earlier run. The digest takes exactly the bytes
    // that were written.
    bool Store(const char* data, DWORD size) {
        DWORD written = 0;
        if (!WriteFile(file_, data, size, &written, nullptr) || written != size) {
            failed_ = true;
            return false;
        }
        if (md5_) md5_->Update(data, size);
        return true;
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return pending_ || stop_; });
            if (!pending_) return;
            const char* data = buffers_[pendingBuffer_].data();
            const DWORD size = pendingSize_;
            lock.unlock();
            if (!failed_) Store(data, size);  // after a failure, nothing more is written
            lock.lock();
            pending_ = false;
            idle_.notify_one();
        }
    }

    HANDLE file_;
    Md5* md5_;
    std::vector<char> buffers_[2];
    int fill_ = 0;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    bool pending_ = false;
    int pendingBuffer_ = 0;
    DWORD pendingSize_ = 0;
    bool stop_ = false;
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

}  // namespace

bool DownloadToFile(const std::wstring& url, const std::wstring& target, std::atomic<unsigned long long>* counter) {
    return DownloadToFile(url, target, nullptr, counter);
}

bool DownloadToFile(const std::wstring& url, const std::wstring& target, DownloadProgress* progress,
                    std::atomic<unsigned long long>* counter, HeldDownload* held) {
    // Held for the check, the file is opened so that no one else can write to it while this
    // handle lives: then its bytes are exactly those written here, and hashing them on the way
    // spares reading the whole file again. Renaming and deleting stay open to others (a Cancel
    // removes the file while a blocked read still holds it): neither changes the bytes, and the
    // file is moved into the installer's place through this same handle.
    // Otherwise, or when an earlier writer still has it open, it is shared as before, so that a
    // run that hangs or is killed mid-download never keeps the next one from truncating the
    // file; the check then reads the file again.
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
    qv::unique_hinternet session(InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    // An installer may pause longer than a query answer: silence ends it only after the
    // download's own limit (the worker's watchdog covers what WinINet does not time).
    HttpTimeouts timeouts = CurrentHttpTimeouts();
    timeouts.sendMs = timeouts.receiveMs = DownloadStallLimitMs();
    ApplyTimeouts(session.get(), timeouts);
    qv::unique_hinternet request(OpenUrlFollowingRedirects(session.get(), url, kDownloadFlags));
    if (!request) return false;

    ULONGLONG announced = 0;
    const bool lengthKnown = ContentLength(request.get(), announced);
    ULONGLONG received = 0;
    Md5 md5;
    BlockWriter writer(file.get(), alone ? &md5 : nullptr);
    bool ok = false;
    const ULONGLONG total = lengthKnown ? announced : 0;
    for (;;) {
        if (progress && !progress->OnProgress(received, total)) break;
        DWORD read = 0;
        if (!InternetReadFile(request.get(), writer.Free(), kDownloadBufferSize, &read)) break;
        if (read == 0) {
            // A connection that closes early reads like the end of the body.
            ok = !lengthKnown || received >= announced;
            break;
        }
        if (!writer.Submit(read)) break;
        received += read;
        if (counter) *counter += read;
    }
    ok = writer.Finish() && ok;
    if (ok && alone) {
        held->md5 = md5.HexDigest();
        held->file = std::move(file);
    }
    // File first, then the URL handle, then the session.
    file.reset();
    request.reset();
    session.reset();
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
    if (held->file && RenameHeldFile(held->file.get(), installer)) {
        digestHolds = DigestMatches(expectedDigest, held->md5);
    } else {
        held->file.reset();
        MoveFileExW(target.c_str(), installer.c_str(), MOVEFILE_REPLACE_EXISTING);
        digestHolds = CheckPackageMd5(expectedDigest, installer);
    }
    FetchResult result = FetchResult::Ready;
    if (!digestHolds) {
        result = FetchResult::CheckFailed;
    } else if (signature && !signature->Verifies(installer)) {
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
