// Downloads: the response body streamed by a worker into the file the user or client chose.
#include <windows.h>
#include <shlobj.h>

#include <mutex>

#include "src/browser_internal.h"
#include "src/engine_internal.h"
#include "src/text.h"
#include "src/url.h"

namespace engine {

struct DownloadState {
  uint32 id = 0;
  int browserId = 0;
  std::shared_ptr<Transfer> transfer;
  std::mutex mutex;
  std::wstring url, originalUrl, suggestedName, fullPath, contentDisposition, mimeType;
  std::atomic<int64> total{-1};
  std::atomic<int64> received{0};
  std::atomic<bool> inProgress{false};
  std::atomic<bool> complete{false};
  std::atomic<bool> canceled{false};
  std::atomic<bool> cancelRequested{false};
  std::atomic<bool> paused{false};
  std::atomic<bool> decided{false};
  CefTime start = {}, end = {};

  void RequestCancel() {
    cancelRequested = true;
    if (transfer) transfer->Cancel();
  }
};

namespace {

std::atomic<uint32> g_nextDownloadId{0};

CefTime Now() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  CefTime t = {st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  return t;
}

class DownloadItemImpl : public CefDownloadItem {
 public:
  explicit DownloadItemImpl(DownloadState& s) {
    std::lock_guard<std::mutex> lock(s.mutex);
    id_ = s.id;
    url_ = s.url;
    originalUrl_ = s.originalUrl;
    suggested_ = s.suggestedName;
    fullPath_ = s.fullPath;
    disposition_ = s.contentDisposition;
    mime_ = s.mimeType;
    total_ = s.total;
    received_ = s.received;
    inProgress_ = s.inProgress;
    complete_ = s.complete;
    canceled_ = s.canceled;
    start_ = s.start;
    end_ = s.end;
  }
  bool IsValid() override { return true; }
  bool IsInProgress() override { return inProgress_; }
  bool IsComplete() override { return complete_; }
  bool IsCanceled() override { return canceled_; }
  int64 GetCurrentSpeed() override { return 0; }
  int GetPercentComplete() override {
    if (total_ <= 0) return complete_ ? 100 : -1;
    return static_cast<int>(received_ * 100 / total_);
  }
  int64 GetTotalBytes() override { return total_; }
  int64 GetReceivedBytes() override { return received_; }
  CefTime GetStartTime() override { return start_; }
  CefTime GetEndTime() override { return end_; }
  CefString GetFullPath() override { return fullPath_; }
  uint32 GetId() override { return id_; }
  CefString GetURL() override { return url_; }
  CefString GetOriginalUrl() override { return originalUrl_; }
  CefString GetSuggestedFileName() override { return suggested_; }
  CefString GetContentDisposition() override { return disposition_; }
  CefString GetMimeType() override { return mime_; }

 private:
  uint32 id_;
  std::wstring url_, originalUrl_, suggested_, fullPath_, disposition_, mime_;
  int64 total_, received_;
  bool inProgress_, complete_, canceled_;
  CefTime start_, end_;
  IMPLEMENT_REFCOUNTING(DownloadItemImpl);
};

class BeforeDownloadCallbackImpl : public CefBeforeDownloadCallback {
 public:
  explicit BeforeDownloadCallbackImpl(std::shared_ptr<DownloadState> state) : state_(state) {}
  ~BeforeDownloadCallbackImpl() override {
    // Released without Continue: the download is cancelled.
    if (!state_->decided.exchange(true)) state_->RequestCancel();
  }
  void Continue(const CefString& download_path, bool show_dialog) override {
    if (state_->decided.exchange(true)) return;
    std::shared_ptr<DownloadState> state = state_;
    std::wstring path = download_path.ToWString();
    auto go = [state, path, show_dialog]() {
      CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(state->browserId);
      if (!b) {
        state->RequestCancel();
        return;
      }
      b->ContinueDownload(state, path, show_dialog);
    };
    // Continue may come from any thread; the dialog and the callbacks belong to the UI thread.
    if (IsUiThread()) {
      PostUiTask(go);  // after OnBeforeDownload has returned, as the engine does
    } else if (!PostUiTask(go)) {
      state->RequestCancel();
    }
  }

 private:
  std::shared_ptr<DownloadState> state_;
  IMPLEMENT_REFCOUNTING(BeforeDownloadCallbackImpl);
};

class DownloadItemCallbackImpl : public CefDownloadItemCallback {
 public:
  explicit DownloadItemCallbackImpl(std::shared_ptr<DownloadState> state) : state_(state) {}
  void Cancel() override {
    if (!state_->complete) state_->RequestCancel();
  }
  void Pause() override { state_->paused = true; }
  void Resume() override { state_->paused = false; }

 private:
  std::shared_ptr<DownloadState> state_;
  IMPLEMENT_REFCOUNTING(DownloadItemCallbackImpl);
};

std::wstring DefaultDownloadFolder() {
  wchar_t path[MAX_PATH] = L"";
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, path))) {
    std::wstring downloads = std::wstring(path) + L"\\Downloads";
    DWORD attrs = GetFileAttributesW(downloads.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return downloads;
    return path;
  }
  return L".";
}

void PostNotify(std::shared_ptr<DownloadState> state) {
  PostUiTask([state]() {
    CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(state->browserId);
    if (b) b->NotifyDownload(state);
  });
}

void StreamToFile(std::shared_ptr<DownloadState> state, std::wstring path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = file != INVALID_HANDLE_VALUE;
  if (ok) {
    std::vector<char> buffer(65536);
    DWORD lastNotify = GetTickCount();
    for (;;) {
      while (state->paused && !state->cancelRequested) Sleep(50);
      if (state->cancelRequested) {
        ok = false;
        break;
      }
      int n = state->transfer->ReadSome(buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      DWORD written = 0;
      if (!WriteFile(file, buffer.data(), static_cast<DWORD>(n), &written, nullptr) || written != static_cast<DWORD>(n)) {
        ok = false;
        break;
      }
      state->received += n;
      if (GetTickCount() - lastNotify >= 200) {
        lastNotify = GetTickCount();
        PostNotify(state);
      }
    }
    CloseHandle(file);
    if (ok && state->total >= 0 && state->received != state->total) ok = false;  // cut short
    if (!ok) DeleteFileW(path.c_str());  // no partial file is left behind
  }
  state->transfer->Finish();
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->end = Now();
  }
  state->inProgress = false;
  if (ok) {
    if (state->total < 0) state->total = state->received.load();
    state->complete = true;
  } else {
    state->canceled = true;
  }
  PostNotify(state);
}

}  // namespace

void CancelDownloads(std::vector<std::shared_ptr<DownloadState>>& downloads) {
  for (auto& d : downloads) d->RequestCancel();
  downloads.clear();
}

void BrowserImpl::StartDownload(const CefString& url) { BeginDownload(url.ToWString(), L"", nullptr, nullptr); }

void BrowserImpl::BeginDownload(const std::wstring& url, const std::wstring& suggested,
                                std::shared_ptr<Transfer> transfer, const FetchResult* fetched) {
  if (closed_) {
    if (transfer) transfer->Cancel();
    return;
  }
  if (!fetched) {
    // Fetch the headers first; the body waits for the decision.
    auto t = std::make_shared<Transfer>();
    int browserId = id_;
    ActiveTransfers()++;
    bool started = StartWorker([t, url, suggested, browserId]() {
      FetchResult r = t->Fetch(url, true);
      PostUiTask([t, url, suggested, browserId, r]() {
        CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(browserId);
        if (!b || r.error != 0 || !r.download) {
          t->Cancel();
          t->Finish();
          return;
        }
        b->BeginDownload(url, suggested, t, &r);
      });
      ActiveTransfers()--;
    });
    if (!started) ActiveTransfers()--;
    return;
  }
  auto state = std::make_shared<DownloadState>();
  state->id = ++g_nextDownloadId;
  state->browserId = id_;
  state->transfer = transfer;
  state->url = fetched->finalUrl;
  state->originalUrl = fetched->addresses.empty() ? url : fetched->addresses.front();
  state->suggestedName = SuggestedFileName(fetched->contentDisposition, fetched->finalUrl, suggested);
  state->contentDisposition = Utf8ToWide(fetched->contentDisposition);
  state->mimeType = Utf8ToWide(fetched->contentType.substr(0, fetched->contentType.find(';')));
  state->total = fetched->contentLength;
  state->start = Now();
  CefRefPtr<CefDownloadHandler> handler = client_ ? client_->GetDownloadHandler() : nullptr;
  if (!handler) {
    state->decided = true;
    state->RequestCancel();
    return;
  }
  downloads_.push_back(state);
  CefRefPtr<BrowserImpl> self(this);
  CefRefPtr<CefDownloadItem> item = new DownloadItemImpl(*state);
  CefRefPtr<CefBeforeDownloadCallback> callback = new BeforeDownloadCallbackImpl(state);
  handler->OnBeforeDownload(this, item, state->suggestedName, callback);
}

void BrowserImpl::ContinueDownload(std::shared_ptr<DownloadState> state, const std::wstring& pathIn,
                                   bool showDialog) {
  if (closed_ || state->cancelRequested) {
    state->RequestCancel();
    return;
  }
  std::wstring path = pathIn;
  if (path.empty()) {
    // The whole path must stay within MAX_PATH, or nothing could be written at all.
    std::wstring folder = DefaultDownloadFolder();
    size_t room = folder.size() + 1 < MAX_PATH - 1 ? MAX_PATH - 1 - folder.size() - 1 : 0;
    path = folder + L"\\" + FitFileName(state->suggestedName, room);
  }
  if (showDialog) {
    FileDialogSetup setup;
    setup.save = true;
    setup.owner = hwnd_ ? GetAncestor(hwnd_, GA_ROOT) : nullptr;
    setup.path = path;
    std::wstring name = state->suggestedName;
    size_t dot = name.rfind(L'.');
    setup.defaultExt = dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
    if (!setup.defaultExt.empty())
      setup.filters.emplace_back(setup.defaultExt + L" (*." + setup.defaultExt + L")", L"*." + setup.defaultExt);
    CefRefPtr<BrowserImpl> self(this);
    std::vector<std::wstring> chosen = RunFileDialog(setup);
    if (chosen.empty() || closed_ || state->cancelRequested) {
      state->RequestCancel();
      state->transfer->Finish();
      state->canceled = true;
      NotifyDownload(state);
      return;
    }
    path = chosen.front();
  }
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->fullPath = path;
  }
  state->inProgress = true;
  NotifyDownload(state);
  if (closed_) return;
  if (state->cancelRequested) {  // cancelled from the first progress report
    state->transfer->Finish();
    state->inProgress = false;
    state->canceled = true;
    NotifyDownload(state);
    return;
  }
  ActiveTransfers()++;
  bool started = StartWorker([state, path]() {
    StreamToFile(state, path);
    ActiveTransfers()--;
  });
  if (!started) {
    ActiveTransfers()--;
    state->RequestCancel();
    state->inProgress = false;
    state->canceled = true;
    NotifyDownload(state);
  }
}

void BrowserImpl::NotifyDownload(std::shared_ptr<DownloadState> state) {
  if (closed_) return;
  bool finished = state->complete || state->canceled;
  // Drop a progress report that arrives after the final one.
  auto it = std::find(downloads_.begin(), downloads_.end(), state);
  if (it == downloads_.end()) return;
  if (finished) downloads_.erase(it);
  CefRefPtr<CefDownloadHandler> handler = client_ ? client_->GetDownloadHandler() : nullptr;
  if (!handler) return;
  CefRefPtr<BrowserImpl> self(this);
  CefRefPtr<CefDownloadItem> item = new DownloadItemImpl(*state);
  CefRefPtr<CefDownloadItemCallback> callback = new DownloadItemCallbackImpl(state);
  handler->OnDownloadUpdated(this, item, callback);
}

}  // namespace engine
