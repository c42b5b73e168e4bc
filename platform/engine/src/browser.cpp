#include "src/browser_impl.h"

#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <map>

#include "include/cef_request_context.h"
#include "include/test/cef_test_hooks.h"
#include "src/engine_internal.h"
#include "src/url.h"
#include "src/v8_internal.h"

namespace engine {
namespace {

enum NavKind { kNewEntry = 0, kHistory = 1, kReload = 2, kSubframe = 3 };
enum RunKind { kRunText = 0, kRunLink, kRunButton, kRunTitle, kRunAddress, kRunStatus, kRunBanner };

constexpr int kMargin = 8;
// The page view shows at most this many words; a huge reply must not stall the UI thread.
constexpr size_t kMaxRuns = 20000;
// Frames a document may open; a page with thousands of them gets the first ones only, so
// that neither requests nor threads pile up.
constexpr size_t kMaxFramesPerDocument = 64;
constexpr int kLineGap = 4;

int g_nextBrowserId = 0;
int64 g_nextFrameId = 0;

// Live browsers by identifier (UI thread only); holds a reference until OnBeforeClose.
std::map<int, CefRefPtr<BrowserImpl>>& Registry() {
  static std::map<int, CefRefPtr<BrowserImpl>> registry;
  return registry;
}

std::wstring Trim(const std::wstring& s) {
  size_t b = s.find_first_not_of(L" \t\r\n");
  if (b == std::wstring::npos) return std::wstring();
  size_t e = s.find_last_not_of(L" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  return s;
}

std::wstring StripFragment(const std::wstring& url) {
  size_t h = url.find(L'#');
  return h == std::wstring::npos ? url : url.substr(0, h);
}

LRESULT CALLBACK BrowserWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* browser = static_cast<BrowserImpl*>(cs->lpCreateParams);
    browser->AddRef();  // the window's reference, dropped at WM_NCDESTROY
    browser->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(browser));
  }
  auto* browser = reinterpret_cast<BrowserImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!browser) return DefWindowProcW(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  try {
    result = browser->HandleMessage(msg, wParam, lParam);
  } catch (...) {
    result = 0;  // nothing may unwind through the window procedure
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    browser->hwnd_ = nullptr;
    browser->Release();
  }
  return result;
}

class MenuModelImpl : public CefMenuModel {
 public:
  struct Item {
    int id;
    std::wstring label;
    MenuItemType type;
    bool visible = true;
    bool enabled = true;
  };
  std::vector<Item> items_;

  bool IsSubMenu() override { return false; }
  bool Clear() override {
    items_.clear();
    return true;
  }
  int GetCount() override { return static_cast<int>(items_.size()); }
  bool AddSeparator() override { return InsertSeparatorAt(GetCount()); }
  bool AddItem(int command_id, const CefString& label) override { return InsertItemAt(GetCount(), command_id, label); }
  bool InsertSeparatorAt(int index) override {
    if (index < 0 || index > GetCount()) return false;
    items_.insert(items_.begin() + index, Item{-1, L"", MENUITEMTYPE_SEPARATOR});
    return true;
  }
  bool InsertItemAt(int index, int command_id, const CefString& label) override {
    if (index < 0 || index > GetCount()) return false;
    items_.insert(items_.begin() + index, Item{command_id, label.ToWString(), MENUITEMTYPE_COMMAND});
    return true;
  }
  bool Remove(int command_id) override { return RemoveAt(GetIndexOf(command_id)); }
  bool RemoveAt(int index) override {
    if (index < 0 || index >= GetCount()) return false;
    items_.erase(items_.begin() + index);
    return true;
  }
  int GetIndexOf(int command_id) override {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].id == command_id && items_[i].type != MENUITEMTYPE_SEPARATOR) return static_cast<int>(i);
    }
    return -1;
  }
  int GetCommandIdAt(int index) override { return Valid(index) ? items_[index].id : -1; }
  CefString GetLabel(int command_id) override { return GetLabelAt(GetIndexOf(command_id)); }
  CefString GetLabelAt(int index) override { return Valid(index) ? items_[index].label : std::wstring(); }
  bool SetLabel(int command_id, const CefString& label) override {
    int i = GetIndexOf(command_id);
    if (i < 0) return false;
    items_[i].label = label.ToWString();
    return true;
  }
  MenuItemType GetType(int command_id) override { return GetTypeAt(GetIndexOf(command_id)); }
  MenuItemType GetTypeAt(int index) override { return Valid(index) ? items_[index].type : MENUITEMTYPE_NONE; }
  bool IsVisible(int command_id) override {
    int i = GetIndexOf(command_id);
    return i >= 0 && items_[i].visible;
  }
  bool SetVisible(int command_id, bool visible) override {
    int i = GetIndexOf(command_id);
    if (i < 0) return false;
    items_[i].visible = visible;
    return true;
  }
  bool IsEnabled(int command_id) override {
    int i = GetIndexOf(command_id);
    return i >= 0 && items_[i].enabled;
  }
  bool SetEnabled(int command_id, bool enabled) override {
    int i = GetIndexOf(command_id);
    if (i < 0) return false;
    items_[i].enabled = enabled;
    return true;
  }

 private:
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(items_.size()); }
  IMPLEMENT_REFCOUNTING(MenuModelImpl);
};

class ContextMenuParamsImpl : public CefContextMenuParams {
 public:
  int x = 0, y = 0;
  int flags = CM_TYPEFLAG_PAGE;
  std::wstring linkUrl, pageUrl, frameUrl;

  int GetXCoord() override { return x; }
  int GetYCoord() override { return y; }
  TypeFlags GetTypeFlags() override { return static_cast<TypeFlags>(flags); }
  CefString GetLinkUrl() override { return linkUrl; }
  CefString GetUnfilteredLinkUrl() override { return linkUrl; }
  CefString GetSourceUrl() override { return CefString(); }
  bool HasImageContents() override { return false; }
  CefString GetTitleText() override { return CefString(); }
  CefString GetPageUrl() override { return pageUrl; }
  CefString GetFrameUrl() override { return frameUrl; }
  CefString GetFrameCharset() override { return CefString(L"UTF-8"); }
  MediaType GetMediaType() override { return CM_MEDIATYPE_NONE; }
  CefString GetSelectionText() override { return CefString(); }
  bool IsEditable() override { return false; }
  IMPLEMENT_REFCOUNTING(ContextMenuParamsImpl);
};

class FileDialogCallbackImpl : public CefFileDialogCallback {
 public:
  FileDialogCallbackImpl(int browserId, int64 frameId, int generation, size_t input)
      : browserId_(browserId), frameId_(frameId), generation_(generation), input_(input) {}
  void Continue(int, const std::vector<CefString>& file_paths) override {
    if (done_.exchange(true)) return;
    std::vector<std::wstring> paths;
    for (auto& p : file_paths) {
      if (!p.empty()) paths.push_back(p.ToWString());
    }
    int browserId = browserId_;
    int64 frameId = frameId_;
    int generation = generation_;
    size_t input = input_;
    auto apply = [=]() {
      CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(browserId);
      if (b) b->SetFilePaths(frameId, generation, input, paths);
    };
    if (IsUiThread()) {
      apply();
    } else {
      PostUiTask(apply);
    }
  }
  void Cancel() override { done_ = true; }

 private:
  int browserId_;
  int64 frameId_;
  int generation_;
  size_t input_;
  std::atomic<bool> done_{false};
  IMPLEMENT_REFCOUNTING(FileDialogCallbackImpl);
};

// Splits `a(); b()` at top-level semicolons.
std::vector<std::wstring> SplitStatements(const std::wstring& code) {
  std::vector<std::wstring> out;
  std::wstring cur;
  int nest = 0;
  wchar_t quote = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    wchar_t c = code[i];
    if (quote) {
      cur.push_back(c);
      if (c == L'\\' && i + 1 < code.size()) {
        cur.push_back(code[++i]);
      } else if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if (c == L'\'' || c == L'"') quote = c;
    if (c == L'(' || c == L'[' || c == L'{') ++nest;
    if (c == L')' || c == L']' || c == L'}') --nest;
    if (c == L';' && nest <= 0) {
      out.push_back(Trim(cur));
      cur.clear();
      continue;
    }
    cur.push_back(c);
  }
  if (!Trim(cur).empty()) out.push_back(Trim(cur));
  return out;
}

}  // namespace

void RegisterBrowserWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = BrowserWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kBrowserWindowClass;
  RegisterClassExW(&wc);
}

void CloseAllBrowsers() {
  std::vector<CefRefPtr<BrowserImpl>> all;
  for (auto& entry : Registry()) all.push_back(entry.second);
  for (auto& b : all) {
    if (b->hwnd_) {
      DestroyWindow(b->hwnd_);
    }
  }
  Registry().clear();
}

// ---------------------------------------------------------------------------------------------
// FrameImpl

FrameImpl::FrameImpl(BrowserImpl* browser, int64 id, bool main, const std::wstring& name)
    : browser_(browser), id_(id), main_(main), name_(name) {}

void FrameImpl::LoadURL(const CefString& url) {
  if (!browser_) return;
  CefRefPtr<FrameImpl> self(this);
  std::wstring u = url.ToWString();
  if (IsUiThread()) {
    browser_->Navigate(this, u, main_ ? kNewEntry : kSubframe, -1);
  } else {
    PostUiTask([self, u]() {
      if (self->browser_) self->browser_->Navigate(self.get(), u, self->main_ ? kNewEntry : kSubframe, -1);
    });
  }
}

void FrameImpl::ExecuteJavaScript(const CefString& code, const CefString& script_url, int start_line) {
  CefRefPtr<FrameImpl> self(this);
  Script s{code.ToWString(), script_url.ToWString(), start_line};
  if (IsUiThread()) {
    scripts_.push_back(s);
  } else {
    PostUiTask([self, s]() { self->scripts_.push_back(s); });
  }
}

CefRefPtr<CefFrame> FrameImpl::GetParent() {
  if (main_ || !browser_) return nullptr;
  return browser_->GetMainFrame();
}

CefRefPtr<CefBrowser> FrameImpl::GetBrowser() { return browser_; }

// ---------------------------------------------------------------------------------------------
// BrowserImpl: life cycle

BrowserImpl::BrowserImpl(int id, CefRefPtr<CefClient> client, const CefBrowserSettings& settings, bool popup,
                         HWND opener)
    : id_(id), client_(client), settings_(settings), popup_(popup), opener_(opener) {
  mainFrame_ = new FrameImpl(this, ++g_nextFrameId, true, L"");
}

BrowserImpl::~BrowserImpl() {
  if (font_) DeleteObject(font_);
  if (bold_) DeleteObject(bold_);
  if (underline_) DeleteObject(underline_);
}

CefRefPtr<BrowserImpl> BrowserImpl::FromId(int id) {
  auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : it->second;
}

CefRefPtr<BrowserImpl> BrowserImpl::Create(const CefWindowInfo& info, CefRefPtr<CefClient> client,
                                           const std::wstring& url, const CefBrowserSettings& settings, bool popup,
                                           HWND opener) {
  CefRefPtr<BrowserImpl> browser = new BrowserImpl(++g_nextBrowserId, client, settings, popup, opener);
  HWND parent = info.parent_window && IsWindow(info.parent_window) ? info.parent_window : nullptr;
  DWORD style = info.style;
  if ((style & WS_CHILD) && !parent) style &= ~WS_CHILD;  // a child needs a parent: make it top-level
  if (style == 0) style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  HMENU menu = (style & WS_CHILD) ? nullptr : info.menu;
  std::wstring name = CefString(&info.window_name).ToWString();
  HWND hwnd = CreateWindowExW(info.ex_style, kBrowserWindowClass, name.c_str(), style, info.x, info.y, info.width,
                              info.height, parent, menu, Instance(), browser.get());
  if (!hwnd) return nullptr;
  browser->font_ = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                               L"Microsoft YaHei");
  browser->bold_ = CreateFontW(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                               L"Microsoft YaHei");
  browser->underline_ = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, TRUE, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                                    0, L"Microsoft YaHei");
  Registry()[browser->id_] = browser;
  browser->Layout();
  if (client) {
    CefRefPtr<CefLifeSpanHandler> lsh = client->GetLifeSpanHandler();
    if (lsh) lsh->OnAfterCreated(browser.get());
  }
  if (CefRefPtr<CefRenderProcessHandler> render = RenderHandler()) render->OnBrowserCreated(browser.get());
  if (!browser->closed_ && !Trim(url).empty()) browser->Navigate(browser->mainFrame_.get(), url, kNewEntry, -1);
  return browser;
}

void BrowserImpl::OnWindowDestroyed() {
  if (closed_) return;
  closed_ = true;
  CefRefPtr<BrowserImpl> self(this);
  if (mainFrame_->transfer_) mainFrame_->transfer_->Cancel();
  for (auto& f : subframes_) {
    if (f->transfer_) f->transfer_->Cancel();
  }
  CancelDownloads(downloads_);
  ReleaseContexts(true);
  if (client_) {
    if (CefRefPtr<CefLifeSpanHandler> lsh = client_->GetLifeSpanHandler()) lsh->OnBeforeClose(this);
  }
  if (CefRefPtr<CefRenderProcessHandler> render = RenderHandler()) render->OnBrowserDestroyed(this);
  ClearView();
  for (auto& f : subframes_) f->browser_ = nullptr;
  subframes_.clear();
  mainFrame_->browser_ = nullptr;
  loading_ = false;
  Registry().erase(id_);
}

void BrowserImpl::CloseBrowser(bool force_close) {
  if (closed_ || !hwnd_) return;
  if (force_close) {
    DestroyWindow(hwnd_);
  } else {
    RequestClose();
  }
}

bool BrowserImpl::TryCloseBrowser() {
  CloseBrowser(false);
  return closed_;
}

void BrowserImpl::RequestClose() {
  if (closed_ || !hwnd_) return;
  CefRefPtr<BrowserImpl> self(this);
  bool clientCloses = false;
  if (client_) {
    if (CefRefPtr<CefLifeSpanHandler> lsh = client_->GetLifeSpanHandler()) clientCloses = lsh->DoClose(this);
  }
  if (!clientCloses && !closed_ && hwnd_) DestroyWindow(hwnd_);
}

void BrowserImpl::SetFocus(bool focus) {
  if (focus && hwnd_) ::SetFocus(hwnd_);
}

CefRefPtr<CefRequestContext> BrowserImpl::GetRequestContext() { return CefRequestContext::GetGlobalContext(); }

void BrowserImpl::WasResized() {
  Layout();
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(int64 identifier) {
  if (mainFrame_->id_ == identifier) return mainFrame_.get();
  for (auto& f : subframes_) {
    if (f->id_ == identifier) return f.get();
  }
  return nullptr;
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(const CefString& name) {
  if (name.empty()) return mainFrame_.get();
  for (auto& f : subframes_) {
    if (f->name_ == name.ToWString()) return f.get();
  }
  return nullptr;
}

void BrowserImpl::GetFrameIdentifiers(std::vector<int64>& identifiers) {
  identifiers.clear();
  identifiers.push_back(mainFrame_->id_);
  for (auto& f : subframes_) identifiers.push_back(f->id_);
}

void BrowserImpl::GetFrameNames(std::vector<CefString>& names) {
  names.clear();
  names.push_back(mainFrame_->name_);
  for (auto& f : subframes_) names.push_back(f->name_);
}

bool BrowserImpl::SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) {
  if (!message || closed_) return false;
  CefRefPtr<BrowserImpl> self(this);
  return PostUiTask([self, target_process, message]() {
    if (self->closed_) return;
    if (target_process == PID_RENDERER) {
      if (CefRefPtr<CefRenderProcessHandler> render = RenderHandler())
        render->OnProcessMessageReceived(self.get(), PID_BROWSER, message);
    } else if (self->client_) {
      self->client_->OnProcessMessageReceived(self.get(), PID_RENDERER, message);
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Navigation

void BrowserImpl::GoBack() {
  if (CanGoBack()) Navigate(mainFrame_.get(), history_[historyIndex_ - 1], kHistory, historyIndex_ - 1);
}

void BrowserImpl::GoForward() {
  if (CanGoForward()) Navigate(mainFrame_.get(), history_[historyIndex_ + 1], kHistory, historyIndex_ + 1);
}

void BrowserImpl::Reload() {
  if (historyIndex_ >= 0) Navigate(mainFrame_.get(), history_[historyIndex_], kReload, historyIndex_);
}

void BrowserImpl::StopLoad() {
  if (mainFrame_->transfer_) mainFrame_->transfer_->Cancel();
  for (auto& f : subframes_) {
    if (f->transfer_) f->transfer_->Cancel();
  }
}

void BrowserImpl::NotifyLoadingState() {
  if (!client_ || closed_) return;
  if (CefRefPtr<CefLoadHandler> lh = client_->GetLoadHandler())
    lh->OnLoadingStateChange(this, loading_, CanGoBack(), CanGoForward());
}

void BrowserImpl::Navigate(FrameImpl* frame, const std::wstring& urlIn, int kind, int historyTarget) {
  if (closed_ || !frame || frame->browser_ != this) return;
  std::wstring url = Trim(urlIn);
  if (UrlScheme(url) == L"javascript") {
    RunScriptUrl(frame, url);
    return;
  }
  int navId = ++frame->navId_;
  if (frame->transfer_) frame->transfer_->Cancel();
  frame->transfer_.reset();
  frame->loading_ = true;
  if (frame->main_) {
    for (auto& f : subframes_) {
      if (f->transfer_) f->transfer_->Cancel();
      f->loading_ = false;
    }
    bool wasLoading = loading_;
    loading_ = true;
    if (!wasLoading) NotifyLoadingState();
  }
  CefRefPtr<BrowserImpl> self(this);
  int64 frameId = frame->id_;
  std::wstring scheme = UrlScheme(url);
  if (url.empty() || Lower(url) == L"about:blank" || (scheme != L"http" && scheme != L"https")) {
    FetchResult r;
    r.addresses.push_back(url.empty() ? L"about:blank" : url);
    r.finalUrl = r.addresses.back();
    if (!(url.empty() || Lower(url) == L"about:blank")) {
      r.error = scheme.empty() ? ERR_INVALID_URL : ERR_UNKNOWN_URL_SCHEME;
      r.errorText = scheme.empty() ? L"net::ERR_INVALID_URL" : L"net::ERR_UNKNOWN_URL_SCHEME";
    }
    // Still asynchronous, as every navigation is.
    PostUiTask([self, frameId, navId, kind, historyTarget, r]() {
      self->Commit(frameId, navId, kind, historyTarget, r);
    });
    return;
  }
  auto transfer = std::make_shared<Transfer>();
  frame->transfer_ = transfer;
  ActiveTransfers()++;
  int browserId = id_;
  bool started = StartWorker([transfer, url, browserId, frameId, navId, kind, historyTarget]() {
    FetchResult r = transfer->Fetch(url, false);
    if (r.download && r.error == 0) {
      // Not a page: the frame keeps its document and the response becomes a download.
      PostUiTask([browserId, frameId, navId, kind, historyTarget, transfer, r]() {
        CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(browserId);
        if (!b) {
          transfer->Cancel();
          return;
        }
        b->BeginDownload(r.finalUrl, L"", transfer, &r);
        FetchResult none;
        none.error = ERR_ABORTED;
        none.download = true;
        b->Commit(frameId, navId, kind, historyTarget, none);
      });
    } else {
      PostUiTask([browserId, frameId, navId, kind, historyTarget, r]() {
        CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(browserId);
        if (b) b->Commit(frameId, navId, kind, historyTarget, r);
      });
    }
    ActiveTransfers()--;
  });
  if (!started) {
    ActiveTransfers()--;
    FetchResult r;
    r.addresses.push_back(url);
    r.finalUrl = url;
    r.error = ERR_FAILED;
    r.errorText = L"net::ERR_FAILED";
    PostUiTask([self, frameId, navId, kind, historyTarget, r]() { self->Commit(frameId, navId, kind, historyTarget, r); });
  }
}

void BrowserImpl::ReleaseContexts(bool includeMain) {
  CefRefPtr<CefRenderProcessHandler> render = RenderHandler();
  auto release = [&](FrameImpl* f) {
    if (!f->context_) return;
    CefRefPtr<CefV8Context> ctx = f->context_;
    f->context_ = nullptr;
    if (render) render->OnContextReleased(this, f, ctx);
    InvalidateV8Context(ctx);
  };
  for (auto& f : subframes_) release(f.get());
  if (includeMain) release(mainFrame_.get());
}

void BrowserImpl::Commit(int64 frameId, int navId, int kind, int historyTarget, FetchResult r) {
  CefRefPtr<FrameImpl> frame = static_cast<FrameImpl*>(GetFrame(frameId).get());
  if (closed_ || !frame || frame->navId_ != navId) return;  // superseded or gone
  CefRefPtr<BrowserImpl> self(this);
  frame->transfer_.reset();
  frame->loading_ = false;
  if (r.download) {
    // The navigation turned into a download: nothing is committed.
    FinishLoadingIfDone();
    return;
  }
  // The documents change below while client callbacks run (which may pump messages): the view
  // must not point into them until it is laid out again.
  ClearView();
  CefRefPtr<CefDisplayHandler> dh = client_ ? client_->GetDisplayHandler() : nullptr;
  CefRefPtr<CefLoadHandler> lh = client_ ? client_->GetLoadHandler() : nullptr;
  std::wstring url = r.finalUrl.empty() ? (r.addresses.empty() ? L"about:blank" : r.addresses.back()) : r.finalUrl;

  if (frame->main_) {
    if (dh) {
      for (const std::wstring& a : r.addresses) {
        if (closed_) return;
        dh->OnAddressChange(this, frame.get(), a);
      }
      if (!r.addresses.empty() && r.addresses.back() != url && !closed_) dh->OnAddressChange(this, frame.get(), url);
    }
    if (closed_) return;
    if (kind == kNewEntry) {
      history_.resize(historyIndex_ + 1);
      history_.push_back(url);
      historyIndex_ = static_cast<int>(history_.size()) - 1;
    } else if (historyTarget >= 0 && historyTarget < static_cast<int>(history_.size())) {
      historyIndex_ = historyTarget;
      history_[historyIndex_] = url;
    } else {
      history_.push_back(url);
      historyIndex_ = static_cast<int>(history_.size()) - 1;
    }
    ReleaseContexts(true);
    for (auto& f : subframes_) {
      if (f->transfer_) f->transfer_->Cancel();
      f->browser_ = nullptr;
    }
    subframes_.clear();
  } else if (frame->context_) {
    CefRefPtr<CefV8Context> ctx = frame->context_;
    frame->context_ = nullptr;
    if (CefRefPtr<CefRenderProcessHandler> render = RenderHandler()) render->OnContextReleased(this, frame.get(), ctx);
    InvalidateV8Context(ctx);
  }

  frame->url_ = url;
  ++frame->generation_;
  if (r.error != 0) {
    if (lh) lh->OnLoadError(this, frame.get(), static_cast<cef_errorcode_t>(r.error), r.errorText, url);
    frame->doc_ = HtmlDocument();
    PageItem t;
    t.text = ChineseUi() ? L"无法访问此网页 (" + r.errorText + L")" : L"This page can't be reached (" + r.errorText + L")";
    frame->doc_.items.push_back(t);
  } else {
    if (lh) lh->OnLoadStart(this, frame.get(), kind == kReload ? TT_RELOAD : (frame->main_ ? TT_EXPLICIT : TT_AUTO_SUBFRAME));
    std::string type = r.contentType;
    std::string lowerType = type;
    for (auto& c : lowerType) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::wstring text = DecodeBody(r.body, type);
    if (lowerType.find("text/plain") != std::string::npos || lowerType.find("json") != std::string::npos) {
      frame->doc_ = HtmlDocument();
      size_t start = 0;
      while (start <= text.size()) {
        size_t nl = text.find(L'\n', start);
        std::wstring line = text.substr(start, nl == std::wstring::npos ? std::wstring::npos : nl - start);
        PageItem t;
        t.text = line;
        frame->doc_.items.push_back(t);
        PageItem br;
        br.kind = PageItem::kBreak;
        frame->doc_.items.push_back(br);
        if (nl == std::wstring::npos) break;
        start = nl + 1;
      }
    } else {
      frame->doc_ = ParseHtml(text);
    }
  }
  if (closed_) return;
  size_t inputs = 0;
  for (auto& item : frame->doc_.items) inputs += item.kind == PageItem::kFileInput;
  frame->filePaths_.assign(inputs, {});

  if (frame->main_ && dh) {
    std::wstring title = frame->doc_.hasTitle && !frame->doc_.title.empty() ? frame->doc_.title : url;
    dh->OnTitleChange(this, title);
    if (closed_) return;
  }
  frame->context_ = NewV8Context(this, frame.get());
  if (CefRefPtr<CefRenderProcessHandler> render = RenderHandler())
    render->OnContextCreated(this, frame.get(), frame->context_);
  if (closed_) return;
  if (r.error == 0 && lh) lh->OnLoadEnd(this, frame.get(), r.status);
  if (closed_) return;
  if (frame->main_) StartSubframes();
  Layout();
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  FinishLoadingIfDone();
}

void BrowserImpl::StartSubframes() {
  std::wstring base = mainFrame_->doc_.baseHref.empty() ? mainFrame_->url_
                                                        : ResolveUrl(mainFrame_->url_, mainFrame_->doc_.baseHref);
  for (auto& item : mainFrame_->doc_.items) {
    if (item.kind != PageItem::kFrame) continue;
    if (subframes_.size() >= kMaxFramesPerDocument) break;
    CefRefPtr<FrameImpl> f = new FrameImpl(this, ++g_nextFrameId, false, item.text);
    subframes_.push_back(f);
    std::wstring src = Trim(item.href);
    Navigate(f.get(), src.empty() ? L"about:blank" : ResolveUrl(base, src), kSubframe, -1);
  }
}

void BrowserImpl::FinishLoadingIfDone() {
  if (!loading_ || closed_) return;
  if (mainFrame_->loading_) return;
  for (auto& f : subframes_) {
    if (f->loading_) return;
  }
  loading_ = false;
  NotifyLoadingState();
}

void BrowserImpl::RunScriptUrl(CefRefPtr<FrameImpl> frame, const std::wstring& url) {
  std::wstring code = PercentDecode(Trim(url).substr(11), true);  // after "javascript:"
  CefRefPtr<BrowserImpl> self(this);
  // Run after the current input message, as page script does.
  PostUiTask([self, frame, code]() {
    for (const std::wstring& statement : SplitStatements(code)) {
      if (self->closed_ || !frame->browser_) return;
      std::wstring s = statement;
      size_t open = s.find(L'(');
      if (open == std::wstring::npos || s.back() != L')') continue;
      std::wstring callee = Trim(s.substr(0, open));
      std::wstring args = s.substr(open + 1, s.size() - open - 2);
      if (callee == L"window.close" || callee == L"self.close" || callee == L"top.close" || callee == L"close") {
        self->RequestClose();
        return;
      }
      if (callee.compare(0, 7, L"window.") == 0) callee = callee.substr(7);
      if (callee == L"void" || callee.empty()) continue;
      if (!CallGlobalFunction(frame->context_, callee, ParseScriptArguments(args))) {
        CefRefPtr<CefDisplayHandler> dh = self->client_ ? self->client_->GetDisplayHandler() : nullptr;
        if (dh) {
          dh->OnConsoleMessage(self.get(), LOGSEVERITY_ERROR, L"Uncaught ReferenceError: " + callee + L" is not defined",
                               frame->url_, 1);
        }
      }
    }
  });
}

void BrowserImpl::ActivateLink(LinkRef ref) {
  if (closed_ || !ref.frame || ref.frame->browser_ != this || ref.item >= ref.frame->doc_.items.size()) return;
  CefRefPtr<FrameImpl> frame = ref.frame;
  const PageItem item = frame->doc_.items[ref.item];
  std::wstring href = Trim(item.href);
  if (href.empty()) return;
  if (UrlScheme(href) == L"javascript") {
    RunScriptUrl(frame, href);
    return;
  }
  std::wstring base = frame->doc_.baseHref.empty() ? frame->url_ : ResolveUrl(frame->url_, frame->doc_.baseHref);
  std::wstring url = ResolveUrl(base, href);
  if (item.download) {
    BeginDownload(url, item.downloadName, nullptr, nullptr);
    return;
  }
  std::wstring target = Lower(Trim(item.target));
  if (target.empty() || target == L"_self") {
    if (href[0] == L'#' || (url.find(L'#') != std::wstring::npos && StripFragment(url) == StripFragment(frame->url_)))
      return;  // same document
    Navigate(frame.get(), url, frame->main_ ? kNewEntry : kSubframe, -1);
    return;
  }
  if (target == L"_top" || target == L"_parent") {
    Navigate(mainFrame_.get(), url, kNewEntry, -1);
    return;
  }
  for (auto& f : subframes_) {
    if (Lower(f->name_) == target) {
      Navigate(f.get(), url, kSubframe, -1);
      return;
    }
  }
  // A new window.
  CefWindowInfo info;
  info.SetAsPopup(hwnd_ ? GetAncestor(hwnd_, GA_ROOT) : nullptr, L"");
  CefRefPtr<CefClient> client = client_;
  CefBrowserSettings settings = settings_;
  bool noJavascriptAccess = false;
  CefPopupFeatures features = {};
  features.menuBarVisible = features.statusBarVisible = features.toolBarVisible = features.scrollbarsVisible = 1;
  if (client_) {
    if (CefRefPtr<CefLifeSpanHandler> lsh = client_->GetLifeSpanHandler()) {
      if (lsh->OnBeforePopup(this, frame.get(), url, item.target, WOD_NEW_FOREGROUND_TAB, true, features, info, client,
                             settings, &noJavascriptAccess))
        return;  // cancelled by the client
    }
  }
  HWND opener = hwnd_;
  PostUiTask([info, client, url, settings, opener]() {
    if (IsInitialized()) BrowserImpl::Create(info, client, url, settings, true, opener);
  });
}

void BrowserImpl::ActivateFileInput(LinkRef ref) {
  if (closed_ || !ref.frame || ref.item >= ref.frame->doc_.items.size()) return;
  CefRefPtr<FrameImpl> frame = ref.frame;
  const PageItem item = frame->doc_.items[ref.item];
  size_t input = 0;
  for (size_t i = 0; i < ref.item; ++i) input += frame->doc_.items[i].kind == PageItem::kFileInput;
  std::vector<CefString> filters;
  size_t start = 0;
  while (start <= item.accept.size()) {
    size_t comma = item.accept.find(L',', start);
    std::wstring f = Lower(Trim(item.accept.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start)));
    if (!f.empty()) filters.push_back(f);
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  int mode = (item.multiple ? FILE_DIALOG_OPEN_MULTIPLE : FILE_DIALOG_OPEN) | FILE_DIALOG_OVERWRITEPROMPT_FLAG |
             FILE_DIALOG_HIDEREADONLY_FLAG;
  CefRefPtr<CefFileDialogCallback> callback = new FileDialogCallbackImpl(id_, frame->id_, frame->generation_, input);
  CefRefPtr<BrowserImpl> self(this);
  bool handled = false;
  if (client_) {
    if (CefRefPtr<CefDialogHandler> dh = client_->GetDialogHandler())
      handled = dh->OnFileDialog(this, static_cast<cef_file_dialog_mode_t>(mode), CefString(), CefString(), filters, 0,
                                 callback);
  }
  if (handled || closed_) return;

  // The engine's own open dialog.
  std::wstring patterns;
  for (auto& f : filters) {
    std::wstring s = f.ToWString();
    std::wstring p;
    if (!s.empty() && s[0] == L'.') {
      p = L"*" + s;
    } else if (s == L"image/*") {
      p = L"*.png;*.jpg;*.jpeg;*.gif;*.bmp";
    } else if (s == L"text/*") {
      p = L"*.txt;*.csv;*.htm;*.html";
    }
    if (p.empty()) continue;
    if (!patterns.empty()) patterns += L";";
    patterns += p;
  }
  std::wstring filter;
  if (!patterns.empty()) filter += (ChineseUi() ? L"自定义文件" : L"Custom files") + std::wstring(1, L'\0') + patterns + std::wstring(1, L'\0');
  filter += (ChineseUi() ? L"所有文件" : L"All files") + std::wstring(1, L'\0') + L"*.*" + std::wstring(2, L'\0');
  std::vector<wchar_t> buffer(item.multiple ? 32768 : MAX_PATH * 2, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_ ? GetAncestor(hwnd_, GA_ROOT) : nullptr;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
              (item.multiple ? OFN_ALLOWMULTISELECT : 0);
  if (!RunOpenFileDialog(&ofn)) {
    callback->Cancel();
    return;
  }
  buffer.back() = 0;
  buffer[buffer.size() - 2] = 0;
  std::vector<CefString> paths;
  std::wstring first(buffer.data());
  const wchar_t* next = buffer.data() + first.size() + 1;
  if (item.multiple && *next) {
    // Folder, then the names, each NUL-terminated.
    std::wstring folder = first;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    while (*next && next < buffer.data() + buffer.size()) {
      std::wstring name(next);
      paths.push_back(folder + name);
      next += name.size() + 1;
    }
  } else if (!first.empty()) {
    paths.push_back(first);
  }
  callback->Continue(0, paths);
}

void BrowserImpl::SetFilePaths(int64 frameId, int generation, size_t input, const std::vector<std::wstring>& paths) {
  CefRefPtr<FrameImpl> frame = static_cast<FrameImpl*>(GetFrame(frameId).get());
  if (!frame || generation != frame->generation_ || input >= frame->filePaths_.size()) return;  // page changed
  frame->filePaths_[input] = paths;
  Layout();
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void BrowserImpl::ShowContextMenu(int x, int y) {
  if (closed_) return;
  CefRefPtr<BrowserImpl> self(this);
  int hit = HitTest(x, y);
  CefRefPtr<ContextMenuParamsImpl> params = new ContextMenuParamsImpl();
  params->x = x;
  params->y = y;
  params->pageUrl = mainFrame_->url_;
  params->frameUrl = mainFrame_->url_;
  CefRefPtr<FrameImpl> frame = mainFrame_;
  if (hit >= 0 && runs_[hit].kind == kRunLink) {
    const LinkRef& ref = links_[runs_[hit].link];
    frame = ref.frame;
    params->flags |= CM_TYPEFLAG_LINK;
    std::wstring base = frame->doc_.baseHref.empty() ? frame->url_ : ResolveUrl(frame->url_, frame->doc_.baseHref);
    params->linkUrl = ResolveUrl(base, frame->doc_.items[ref.item].href);
    params->frameUrl = frame->url_;
    if (!frame->main_) params->flags |= CM_TYPEFLAG_FRAME;
  }
  bool zh = ChineseUi();
  CefRefPtr<MenuModelImpl> model = new MenuModelImpl();
  model->AddItem(MENU_ID_BACK, zh ? L"返回" : L"Back");
  model->SetEnabled(MENU_ID_BACK, CanGoBack());
  model->AddItem(MENU_ID_FORWARD, zh ? L"前进" : L"Forward");
  model->SetEnabled(MENU_ID_FORWARD, CanGoForward());
  model->AddItem(MENU_ID_RELOAD, zh ? L"重新加载" : L"Reload");
  model->AddSeparator();
  model->AddItem(MENU_ID_PRINT, zh ? L"打印..." : L"Print...");
  model->AddItem(MENU_ID_VIEW_SOURCE, zh ? L"查看网页源代码" : L"View page source");
  CefRefPtr<CefContextMenuHandler> handler = client_ ? client_->GetContextMenuHandler() : nullptr;
  if (handler) handler->OnBeforeContextMenu(this, frame.get(), params.get(), model.get());
  if (closed_) return;
  bool anyVisible = false;
  for (auto& item : model->items_) anyVisible |= item.visible && item.type != MENUITEMTYPE_SEPARATOR;
  if (model->GetCount() == 0 || !anyVisible) return;

  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (auto& item : model->items_) {
    if (!item.visible) continue;
    if (item.type == MENUITEMTYPE_SEPARATOR) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING | (item.enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(item.id), item.label.c_str());
    }
  }
  POINT pt = {x, y};
  if (hwnd_) ClientToScreen(hwnd_, &pt);
  CountContextMenuShown();
  int command = RunContextMenu(menu, hwnd_, pt);
  DestroyMenu(menu);
  if (closed_) return;
  if (command > 0 && model->IsEnabled(command)) {
    bool handled = handler && handler->OnContextMenuCommand(this, frame.get(), params.get(), command, EVENTFLAG_NONE);
    if (!handled && !closed_) {
      if (command == MENU_ID_BACK) GoBack();
      if (command == MENU_ID_FORWARD) GoForward();
      if (command == MENU_ID_RELOAD || command == MENU_ID_RELOAD_NOCACHE) Reload();
      if (command == MENU_ID_STOPLOAD) StopLoad();
    }
  }
  if (handler && !closed_) handler->OnContextMenuDismissed(this, frame.get());
}

// ---------------------------------------------------------------------------------------------
// Page view

void BrowserImpl::ClearView() {
  runs_.clear();
  links_.clear();
  inputs_.clear();
  hoverLink_ = -1;
}

void BrowserImpl::Layout() {
  ClearView();
  lines_.clear();
  RECT client = {0, 0, 800, 600};
  if (hwnd_) GetClientRect(hwnd_, &client);
  int width = std::max<int>(client.right - client.left - 2 * kMargin, 80);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  auto use = [&](HFONT f) { SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT)); };
  int x = 0, y = kMargin, lineHeight = 0;
  std::wstring line;
  auto newLine = [&]() {
    lines_.push_back(line);
    line.clear();
    y += (lineHeight ? lineHeight : 16) + kLineGap;
    x = 0;
    lineHeight = 0;
  };
  auto place = [&](const std::wstring& word, int kind, int link, int input, HFONT f) {
    if (runs_.size() >= kMaxRuns) return;
    use(f);
    SIZE sz = {0, 0};
    GetTextExtentPoint32W(dc, word.c_str(), static_cast<int>(word.size()), &sz);
    if (x > 0 && x + sz.cx > width) newLine();
    Run r;
    r.rc = {kMargin + x, y, kMargin + x + sz.cx, y + sz.cy};
    r.text = word;
    r.kind = kind;
    r.link = link;
    r.input = input;
    runs_.push_back(r);
    x += sz.cx;
    lineHeight = std::max<int>(lineHeight, sz.cy);
    line += word;
  };
  // Words wrap; CJK text has no blanks, so long runs break by character.
  auto flow = [&](const std::wstring& text, int kind, int link, int input, HFONT f) {
    size_t i = 0;
    while (i < text.size() && runs_.size() < kMaxRuns) {
      size_t j = i;
      while (j < text.size() && text[j] != L' ' && text[j] < 0x2E80) ++j;
      if (j == i) ++j;
      // Closing punctuation never starts a line.
      while (j < text.size() && wcschr(L"\u3001\u3002\uFF0C\uFF1B\uFF1A\uFF01\uFF1F\uFF09\u300D\u300F\u201D.,;:!?)", text[j])) ++j;
      while (j < text.size() && text[j] == L' ') ++j;
      place(text.substr(i, j - i), kind, link, input, f);
      i = j;
    }
  };

  std::wstring title = mainFrame_->doc_.hasTitle && !mainFrame_->doc_.title.empty() ? mainFrame_->doc_.title : mainFrame_->url_;
  flow(title, kRunTitle, -1, -1, bold_);
  newLine();
  flow(mainFrame_->url_, kRunAddress, -1, -1, font_);
  newLine();
  lines_.push_back(L"");
  y += 8;

  const bool zh = ChineseUi();
  std::function<void(FrameImpl*, int)> emit = [&](FrameImpl* frame, int depth) {
    size_t inputIndex = 0;
    size_t subframe = 0;
    for (size_t i = 0; i < frame->doc_.items.size() && runs_.size() < kMaxRuns; ++i) {
      const PageItem& item = frame->doc_.items[i];
      switch (item.kind) {
        case PageItem::kText:
          flow(item.text + L" ", kRunText, -1, -1, font_);
          break;
        case PageItem::kLink:
          links_.push_back({frame, i});
          flow(item.text, kRunLink, static_cast<int>(links_.size()) - 1, -1, underline_);
          place(L" ", kRunText, -1, -1, font_);
          break;
        case PageItem::kBreak:
          if (x > 0) newLine();
          break;
        case PageItem::kFileInput: {
          inputs_.push_back({frame, i});
          int idx = static_cast<int>(inputs_.size()) - 1;
          place(zh ? L"[选择文件]" : L"[Choose File]", kRunButton, -1, idx, font_);
          std::wstring status;
          const auto& paths = inputIndex < frame->filePaths_.size() ? frame->filePaths_[inputIndex] : std::vector<std::wstring>();
          for (auto& p : paths) status += (status.empty() ? L"" : L"; ") + p;
          if (status.empty()) status = zh ? L"未选择任何文件" : L"No file chosen";
          place(L" ", kRunText, -1, -1, font_);
          flow(status + L" ", kRunStatus, -1, idx, font_);
          ++inputIndex;
          break;
        }
        case PageItem::kFrame: {
          if (x > 0) newLine();
          FrameImpl* sub = nullptr;
          if (frame->main_ && subframe < subframes_.size()) sub = subframes_[subframe].get();
          ++subframe;
          std::wstring banner = L"[frame" + (item.text.empty() ? std::wstring() : L" " + item.text) + L": " +
                                (sub ? sub->url_ : item.href) + L"]";
          flow(banner, kRunBanner, -1, -1, font_);
          newLine();
          if (sub && depth == 0) emit(sub, depth + 1);
          if (x > 0) newLine();
          break;
        }
      }
    }
  };
  emit(mainFrame_.get(), 0);
  if (x > 0 || !line.empty()) newLine();
  docHeight_ = y + kMargin;
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  int viewHeight = client.bottom - client.top;
  scrollY_ = std::max(0, std::min(scrollY_, docHeight_ - viewHeight));
}

void BrowserImpl::Paint(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, font_);
  int viewHeight = client.bottom - client.top;
  int separatorY = -1;
  for (size_t i = 0; i < runs_.size(); ++i) {
    const Run& r = runs_[i];
    if (r.kind == kRunAddress) separatorY = r.rc.bottom + 4;
    if (r.rc.bottom < scrollY_ || r.rc.top > scrollY_ + viewHeight) continue;
    HFONT f = r.kind == kRunTitle ? bold_ : r.kind == kRunLink ? underline_ : font_;
    SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT));
    COLORREF color = RGB(0x20, 0x20, 0x20);
    if (r.kind == kRunLink) color = r.link == hoverLink_ ? RGB(0xCC, 0x33, 0x00) : RGB(0x1A, 0x0D, 0xAB);
    if (r.kind == kRunAddress || r.kind == kRunBanner || r.kind == kRunStatus) color = RGB(0x60, 0x60, 0x60);
    if (r.kind == kRunButton) {
      RECT box = r.rc;
      OffsetRect(&box, 0, -scrollY_);
      InflateRect(&box, 1, 1);
      FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    }
    SetTextColor(dc, color);
    TextOutW(dc, r.rc.left, r.rc.top - scrollY_, r.text.c_str(), static_cast<int>(r.text.size()));
  }
  if (separatorY >= 0) {
    RECT line = {client.left, separatorY - scrollY_, client.right, separatorY - scrollY_ + 1};
    FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  }
  SelectObject(dc, old);
}

int BrowserImpl::HitTest(int x, int y) {
  POINT pt = {x, y + scrollY_};
  for (size_t i = 0; i < runs_.size(); ++i) {
    if ((runs_[i].kind == kRunLink || runs_[i].kind == kRunButton) && PtInRect(&runs_[i].rc, pt)) return static_cast<int>(i);
  }
  return -1;
}

void BrowserImpl::ScrollTo(int y) {
  RECT client = {0, 0, 0, 0};
  if (hwnd_) GetClientRect(hwnd_, &client);
  int maxScroll = std::max<int>(0, docHeight_ - (client.bottom - client.top));
  int next = std::max(0, std::min(y, maxScroll));
  if (next != scrollY_) {
    scrollY_ = next;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  }
}

bool BrowserImpl::HandleKey(UINT msg, WPARAM wParam, LPARAM lParam) {
  CefRefPtr<CefKeyboardHandler> kh = client_ ? client_->GetKeyboardHandler() : nullptr;
  CefKeyEvent event = {};
  event.type = msg == WM_CHAR || msg == WM_SYSCHAR ? KEYEVENT_CHAR
               : (msg == WM_KEYUP || msg == WM_SYSKEYUP) ? KEYEVENT_KEYUP
                                                         : KEYEVENT_RAWKEYDOWN;
  event.windows_key_code = static_cast<int>(wParam);
  event.native_key_code = static_cast<int>(lParam);
  event.is_system_key = msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP || msg == WM_SYSCHAR;
  if (event.type == KEYEVENT_CHAR) event.character = event.unmodified_character = static_cast<char16>(wParam);
  if (GetKeyState(VK_SHIFT) < 0) event.modifiers |= EVENTFLAG_SHIFT_DOWN;
  if (GetKeyState(VK_CONTROL) < 0) event.modifiers |= EVENTFLAG_CONTROL_DOWN;
  if (GetKeyState(VK_MENU) < 0) event.modifiers |= EVENTFLAG_ALT_DOWN;
  MSG os = {hwnd_, msg, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {0, 0}};
  bool shortcut = false;
  CefRefPtr<BrowserImpl> self(this);
  if (kh && kh->OnPreKeyEvent(this, event, &os, &shortcut)) return true;
  if (closed_) return true;
  bool handled = false;
  if (event.type == KEYEVENT_RAWKEYDOWN) {
    handled = true;
    bool alt = (event.modifiers & EVENTFLAG_ALT_DOWN) != 0;
    switch (wParam) {
      case VK_F5: Reload(); break;
      case VK_LEFT: if (alt) GoBack(); else handled = false; break;
      case VK_RIGHT: if (alt) GoForward(); else handled = false; break;
      case VK_DOWN: ScrollTo(scrollY_ + 40); break;
      case VK_UP: ScrollTo(scrollY_ - 40); break;
      case VK_NEXT: ScrollTo(scrollY_ + 400); break;
      case VK_PRIOR: ScrollTo(scrollY_ - 400); break;
      case VK_HOME: ScrollTo(0); break;
      case VK_END: ScrollTo(docHeight_); break;
      default: handled = false;
    }
  }
  if (closed_) return true;
  if (!handled && kh) handled = kh->OnKeyEvent(this, event, &os);
  return handled;
}

LRESULT BrowserImpl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  CefRefPtr<BrowserImpl> self(this);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      Layout();
      InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      ::SetFocus(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      int hit = HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      if (hit < 0) return 0;
      Run r = runs_[hit];
      if (r.kind == kRunLink && r.link >= 0) ActivateLink(links_[r.link]);
      if (r.kind == kRunButton && r.input >= 0) ActivateFileInput(inputs_[r.input]);
      return 0;
    }
    case WM_RBUTTONUP:
      ShowContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE: {
      int hit = HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      int link = hit >= 0 && runs_[hit].kind == kRunLink ? runs_[hit].link : -1;
      SetCursor(LoadCursorW(nullptr, hit >= 0 ? IDC_HAND : IDC_ARROW));
      if (link != hoverLink_) {
        hoverLink_ = link;
        InvalidateRect(hwnd_, nullptr, FALSE);
        CefRefPtr<CefDisplayHandler> dh = client_ ? client_->GetDisplayHandler() : nullptr;
        if (dh) {
          std::wstring status;
          if (link >= 0) status = links_[link].frame->doc_.items[links_[link].item].href;
          dh->OnStatusMessage(this, status);
        }
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) return TRUE;  // set in WM_MOUSEMOVE
      break;
    case WM_MOUSEWHEEL:
      ScrollTo(scrollY_ - GET_WHEEL_DELTA_WPARAM(wParam) * 60 / WHEEL_DELTA);
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      if (HandleKey(msg, wParam, lParam)) return 0;
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_CLOSE:
      // A top-level browser window's close button: ask the client like a page's close.
      RequestClose();
      return 0;
    case WM_DESTROY:
      OnWindowDestroyed();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// Test surface -----------------------------------------------------------------------------------

std::wstring BrowserImpl::PageText() {
  std::wstring out;
  for (auto& l : lines_) out += l + L"\n";
  return out;
}

std::vector<std::wstring> BrowserImpl::LinkTexts() {
  std::vector<std::wstring> out;
  for (auto& ref : links_) out.push_back(ref.frame->doc_.items[ref.item].text);
  return out;
}

std::vector<std::wstring> BrowserImpl::FileInputPaths(int index) {
  if (index < 0 || index >= static_cast<int>(inputs_.size())) return {};
  const LinkRef& ref = inputs_[index];
  size_t input = 0;
  for (size_t i = 0; i < ref.item; ++i) input += ref.frame->doc_.items[i].kind == PageItem::kFileInput;
  return input < ref.frame->filePaths_.size() ? ref.frame->filePaths_[input] : std::vector<std::wstring>();
}

bool BrowserImpl::ClickRun(int kind, int index, bool right) {
  if (!hwnd_ || closed_) return false;
  for (const Run& r : runs_) {
    if (r.kind != kind || (kind == kRunLink ? r.link : r.input) != index) continue;
    RECT client;
    GetClientRect(hwnd_, &client);
    if (r.rc.top < scrollY_ || r.rc.bottom > scrollY_ + (client.bottom - client.top)) ScrollTo(r.rc.top - kMargin);
    int x = (r.rc.left + r.rc.right) / 2;
    int y = (r.rc.top + r.rc.bottom) / 2 - scrollY_;
    LPARAM pos = MAKELPARAM(x, y);
    SendMessageW(hwnd_, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, pos);
    if (hwnd_) SendMessageW(hwnd_, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, pos);
    return true;
  }
  return false;
}

}  // namespace engine

using engine::BrowserImpl;

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client, const CefString& url,
                                   const CefBrowserSettings& settings, CefRefPtr<CefRequestContext>) {
  if (!engine::IsInitialized()) return false;
  CefWindowInfo info = windowInfo;
  std::wstring u = url.ToWString();
  CefBrowserSettings s = settings;
  return engine::PostUiTask([info, client, u, s]() {
    if (engine::IsInitialized()) BrowserImpl::Create(info, client, u, s, false, nullptr);
  });
}

CefRefPtr<CefBrowser> CefBrowserHost::CreateBrowserSync(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                                                        const CefString& url, const CefBrowserSettings& settings,
                                                        CefRefPtr<CefRequestContext>) {
  if (!engine::IsUiThread()) return nullptr;
  return BrowserImpl::Create(windowInfo, client, url.ToWString(), settings, false, nullptr).get();
}

namespace cef_test {

namespace {
BrowserImpl* Impl(CefRefPtr<CefBrowser> browser) {
  if (!browser) return nullptr;
  return BrowserImpl::FromId(browser->GetIdentifier()).get();
}
}  // namespace

std::wstring GetPageText(CefRefPtr<CefBrowser> browser) {
  BrowserImpl* b = Impl(browser);
  return b ? b->PageText() : std::wstring();
}

std::vector<std::wstring> GetLinks(CefRefPtr<CefBrowser> browser) {
  BrowserImpl* b = Impl(browser);
  return b ? b->LinkTexts() : std::vector<std::wstring>();
}

bool ClickLink(CefRefPtr<CefBrowser> browser, int index) {
  BrowserImpl* b = Impl(browser);
  return b && b->ClickRun(engine::kRunLink, index, false);
}

bool ClickLinkByText(CefRefPtr<CefBrowser> browser, const std::wstring& text) {
  std::vector<std::wstring> links = GetLinks(browser);
  for (size_t i = 0; i < links.size(); ++i) {
    if (links[i] == text) return ClickLink(browser, static_cast<int>(i));
  }
  return false;
}

bool ClickFileInput(CefRefPtr<CefBrowser> browser, int index) {
  BrowserImpl* b = Impl(browser);
  return b && b->ClickRun(engine::kRunButton, index, false);
}

std::vector<std::wstring> GetFileInputPaths(CefRefPtr<CefBrowser> browser, int index) {
  BrowserImpl* b = Impl(browser);
  return b ? b->FileInputPaths(index) : std::vector<std::wstring>();
}

bool RightClick(CefRefPtr<CefBrowser> browser, int x, int y) {
  BrowserImpl* b = Impl(browser);
  if (!b || !b->hwnd_) return false;
  LPARAM pos = MAKELPARAM(x, y);
  SendMessageW(b->hwnd_, WM_RBUTTONDOWN, MK_RBUTTON, pos);
  if (b->hwnd_) SendMessageW(b->hwnd_, WM_RBUTTONUP, 0, pos);
  return true;
}

std::vector<ExecutedScript> GetExecutedScripts(CefRefPtr<CefFrame> frame) {
  std::vector<ExecutedScript> out;
  auto* f = static_cast<engine::FrameImpl*>(frame.get());
  if (!f) return out;
  for (auto& s : f->scripts_) out.push_back({s.code, s.url, s.line});
  return out;
}

}  // namespace cef_test
