#include "updater/transfer.h"

#include <cwchar>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/handles.h"
#include "net/http_interface.h"

DWORD& DownloadStallLimitMs() {
    static DWORD limit = kDownloadStallMs;
    return limit;
}

std::wstring ResolveLocationW(const std::wstring& base, const std::wstring& location) {
    for (wchar_t c : location) {
        if (c < 0x20) return std::wstring();
    }
    std::vector<wchar_t> out(base.size() + location.size() + 64, L'\0');
    DWORD length = static_cast<DWORD>(out.size());
    if (!InternetCombineUrlW(base.c_str(), location.c_str(), out.data(), &length, ICU_NO_ENCODE)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::wstring();
        out.assign(static_cast<size_t>(length) + 1, L'\0');
        length = static_cast<DWORD>(out.size());
        if (!InternetCombineUrlW(base.c_str(), location.c_str(), out.data(), &length, ICU_NO_ENCODE)) {
            return std::wstring();
        }
    }
    return std::wstring(out.data(), length);
}

namespace {

DWORD StatusOf(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

std::wstring LocationOf(HINTERNET request) {
    std::vector<wchar_t> value(2048, L'\0');
    DWORD size = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, HTTP_QUERY_LOCATION, value.data(), &size, nullptr)) return std::wstring();
    return std::wstring(value.data(), size / sizeof(wchar_t));
}

}  // namespace

HINTERNET OpenUrlFollowingRedirects(HINTERNET session, const std::wstring& url, DWORD flags) {
    std::wstring current = url;
    for (int redirects = 0;; ++redirects) {
        for (wchar_t c : current) {
            if (c < 0x20) return nullptr;  // would split the request line
        }
        qv::unique_hinternet request(
            InternetOpenUrlW(session, current.c_str(), nullptr, 0, flags | INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
        if (!request) return nullptr;
        // Only HTTP answers carry a status; other schemes have nothing to follow.
        if (!IsRedirectStatus(StatusOf(request.get()))) return request.release();
        const std::wstring location = LocationOf(request.get());
        if (location.empty()) return request.release();
        if (redirects >= kMaxDownloadRedirects) return nullptr;
        current = ResolveLocationW(current, location);
        if (current.empty()) return nullptr;
    }
}

namespace {

// Forwards to the caller's progress until the caller stops waiting for the worker.
class ProgressRelay : public DownloadProgress {
public:
    explicit ProgressRelay(DownloadProgress* target) : target_(target) {}
    bool OnProgress(ULONGLONG received, ULONGLONG total) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return target_ ? target_->OnProgress(received, total) : false;
    }
    void Finished() override {}  // the caller says so itself once it stops waiting
    bool Cancelled() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return target_ && target_->Cancelled();
    }
    void Detach() {
        std::lock_guard<std::mutex> lock(mutex_);
        target_ = nullptr;
    }

private:
    mutable std::mutex mutex_;
    DownloadProgress* target_;
};

struct ReportingState {
    ReportingDownloadJob download;
    std::shared_ptr<ProgressRelay> relay;
    bool hasProgress = false;  // a download nobody watches gets no relay: nothing to stop it
    std::atomic<unsigned long long> counter{0};
    std::atomic<bool> done{false};
    std::atomic<bool> result{false};
};

}  // namespace

bool DownloadWithStallLimit(DownloadJob download, const std::wstring& url, const std::wstring& target) {
    return DownloadWithStallLimit(
        [download, url, target](DownloadProgress*, std::atomic<unsigned long long>* counter) {
            return download(url, target, counter);
        },
        nullptr);
}

bool DownloadWithStallLimit(ReportingDownloadJob download, DownloadProgress* progress) {
    auto state = std::make_shared<ReportingState>();
    state->download = std::move(download);
    state->relay = std::make_shared<ProgressRelay>(progress);
    state->hasProgress = progress != nullptr;
    std::thread worker;
    try {
        worker = std::thread([state] {
            state->result = state->download(state->hasProgress ? state->relay.get() : nullptr, &state->counter);
            state->done = true;
        });
    } catch (const std::exception&) {
        return state->download(progress, nullptr);  // no thread to spare: plain download
    }

    unsigned long long seen = 0;
    ULONGLONG lastProgress = GetTickCount64();
    while (!state->done) {
        Sleep(50);
        const unsigned long long now = state->counter;
        if (now != seen) {
            seen = now;
            lastProgress = GetTickCount64();
        } else if (GetTickCount64() - lastProgress >= DownloadStallLimitMs() || state->relay->Cancelled()) {
            // Silence, or a Cancel while a read is blocked: the worker keeps its own reference to
            // the state and dies with the process; it no longer reaches `progress`.
            state->relay->Detach();
            worker.detach();
            return false;
        }
    }
    worker.join();
    return state->result;
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
