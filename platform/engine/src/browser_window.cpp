// Browser windows, their frames and the registry of live browsers: creation, closing and the
// window procedure that hands messages to the page view.
#include <map>

#include "include/cef_request_context.h"
#include "src/browser_internal.h"
#include "src/engine_internal.h"

namespace engine {
namespace {

int g_nextBrowserId = 0;
int64 g_nextFrameId = 0;

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

}  // namespace

std::map<int, CefRefPtr<BrowserImpl>>& Registry() {
  static std::map<int, CefRefPtr<BrowserImpl>> registry;
  return registry;
}

int64 NextFrameId() { return ++g_nextFrameId; }

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
  mainFrame_ = new FrameImpl(this, NextFrameId(), true, L"");
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
