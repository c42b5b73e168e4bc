// Browsers, frames and the page view window.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "include/cef_client.h"
#include "include/cef_v8.h"
#include "src/fetch.h"
#include "src/html.h"

namespace engine {

class BrowserImpl;
struct DownloadState;
// Stops every download of a closing browser (no further callbacks).
void CancelDownloads(std::vector<std::shared_ptr<DownloadState>>& downloads);

class FrameImpl : public CefFrame {
 public:
  FrameImpl(BrowserImpl* browser, int64 id, bool main, const std::wstring& name);

  bool IsValid() override { return browser_ != nullptr; }
  void LoadURL(const CefString& url) override;
  void ExecuteJavaScript(const CefString& code, const CefString& script_url, int start_line) override;
  bool IsMain() override { return main_; }
  bool IsFocused() override { return main_; }
  CefString GetName() override { return name_; }
  int64 GetIdentifier() override { return id_; }
  CefRefPtr<CefFrame> GetParent() override;
  CefString GetURL() override { return url_; }
  CefRefPtr<CefBrowser> GetBrowser() override;
  CefRefPtr<CefV8Context> GetV8Context() override { return context_; }

  // State kept by the browser (UI thread).
  BrowserImpl* browser_;
  int64 id_;
  bool main_;
  std::wstring name_;
  std::wstring url_;
  HtmlDocument doc_;
  std::vector<std::vector<std::wstring>> filePaths_;  // per file input of |doc_|
  CefRefPtr<CefV8Context> context_;
  int navId_ = 0;
  int generation_ = 0;  // bumped by every committed document
  bool loading_ = false;
  std::shared_ptr<Transfer> transfer_;
  struct Script {
    std::wstring code, url;
    int line;
  };
  std::vector<Script> scripts_;

  IMPLEMENT_REFCOUNTING(FrameImpl);
};

class BrowserImpl : public CefBrowser, public CefBrowserHost {
 public:
  BrowserImpl(int id, CefRefPtr<CefClient> client, const CefBrowserSettings& settings, bool popup, HWND opener);
  ~BrowserImpl();

  // Creates the window and announces the browser; null when the window cannot be made.
  static CefRefPtr<BrowserImpl> Create(const CefWindowInfo& info, CefRefPtr<CefClient> client, const std::wstring& url,
                                       const CefBrowserSettings& settings, bool popup, HWND opener);
  static CefRefPtr<BrowserImpl> FromId(int id);

  // CefBrowser
  CefRefPtr<CefBrowserHost> GetHost() override { return this; }
  bool CanGoBack() override { return historyIndex_ > 0; }
  void GoBack() override;
  bool CanGoForward() override { return historyIndex_ + 1 < static_cast<int>(history_.size()); }
  void GoForward() override;
  bool IsLoading() override { return loading_; }
  void Reload() override;
  void ReloadIgnoreCache() override { Reload(); }
  void StopLoad() override;
  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that && that->GetIdentifier() == id_; }
  bool IsPopup() override { return popup_; }
  bool HasDocument() override { return historyIndex_ >= 0; }
  CefRefPtr<CefFrame> GetMainFrame() override { return mainFrame_.get(); }
  CefRefPtr<CefFrame> GetFocusedFrame() override { return mainFrame_.get(); }
  CefRefPtr<CefFrame> GetFrame(int64 identifier) override;
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override;
  size_t GetFrameCount() override { return 1 + subframes_.size(); }
  void GetFrameIdentifiers(std::vector<int64>& identifiers) override;
  void GetFrameNames(std::vector<CefString>& names) override;
  bool SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) override;

  // CefBrowserHost
  CefRefPtr<CefBrowser> GetBrowser() override { return this; }
  void CloseBrowser(bool force_close) override;
  bool TryCloseBrowser() override;
  void SetFocus(bool focus) override;
  CefWindowHandle GetWindowHandle() override { return hwnd_; }
  CefWindowHandle GetOpenerWindowHandle() override { return opener_; }
  bool HasView() override { return false; }
  CefRefPtr<CefClient> GetClient() override { return client_; }
  CefRefPtr<CefRequestContext> GetRequestContext() override;
  void StartDownload(const CefString& url) override;
  void WasResized() override;
  void NotifyMoveOrResizeStarted() override {}

  // Engine side.
  void Navigate(FrameImpl* frame, const std::wstring& url, int kind, int historyTarget);
  void BeginDownload(const std::wstring& url, const std::wstring& suggested, std::shared_ptr<Transfer> transfer,
                     const FetchResult* alreadyFetched);
  void ContinueDownload(std::shared_ptr<DownloadState> state, const std::wstring& path, bool showDialog);
  void NotifyDownload(std::shared_ptr<DownloadState> state);
  void RequestClose();
  void SetFilePaths(int64 frameId, int docGeneration, size_t input, const std::vector<std::wstring>& paths);
  bool closed() const { return closed_; }

  // Test surface.
  struct Run {
    RECT rc;  // document coordinates
    std::wstring text;
    int kind;  // 0 text, 1 link, 2 file input button, 3 title, 4 address, 5 file input status, 6 frame banner
    int link = -1;
    int input = -1;
  };
  std::wstring PageText();
  std::vector<std::wstring> LinkTexts();
  bool ClickRun(int kind, int index, bool right);
  std::vector<std::wstring> FileInputPaths(int index);

  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;

 private:
  struct LinkRef {
    FrameImpl* frame;
    size_t item;
  };
  void Commit(int64 frameId, int navId, int kind, int historyTarget, FetchResult result);
  void ReleaseContexts(bool includeMain);
  void StartSubframes();
  void FinishLoadingIfDone();
  void ActivateLink(LinkRef ref);
  void ActivateFileInput(LinkRef ref);
  void ClearView();
  void RunScriptUrl(CefRefPtr<FrameImpl> frame, const std::wstring& url);
  void ShowContextMenu(int x, int y);
  void OnWindowDestroyed();
  void Layout();
  void Paint(HDC dc);
  int HitTest(int x, int y);
  void ScrollTo(int y);
  bool HandleKey(UINT msg, WPARAM wParam, LPARAM lParam);
  void NotifyLoadingState();

  int id_;
  CefRefPtr<CefClient> client_;
  CefBrowserSettings settings_;
  bool popup_;
  HWND opener_;
  bool closed_ = false;
  bool loading_ = false;
  CefRefPtr<FrameImpl> mainFrame_;
  std::vector<CefRefPtr<FrameImpl>> subframes_;
  std::vector<std::wstring> history_;
  int historyIndex_ = -1;
  std::vector<std::shared_ptr<DownloadState>> downloads_;

  std::vector<Run> runs_;
  std::vector<LinkRef> links_;   // index = Run::link
  std::vector<LinkRef> inputs_;  // index = Run::input
  std::vector<std::wstring> lines_;
  int scrollY_ = 0;
  int docHeight_ = 0;
  int hoverLink_ = -1;
  HFONT font_ = nullptr, bold_ = nullptr, underline_ = nullptr;

  IMPLEMENT_REFCOUNTING(BrowserImpl);
};

}  // namespace engine
