// Navigation: history, fetching on a worker, committing the response to a frame, subframes,
// javascript: addresses and link activation.
#include "include/cef_request_context.h"
#include "src/browser_internal.h"
#include "src/engine_internal.h"
#include "src/url.h"
#include "src/v8_internal.h"

namespace engine {
namespace {

std::wstring StripFragment(const std::wstring& url) {
  size_t h = url.find(L'#');
  return h == std::wstring::npos ? url : url.substr(0, h);
}

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
  if (url.empty() || AsciiLower(url) == L"about:blank" || (scheme != L"http" && scheme != L"https")) {
    FetchResult r;
    r.addresses.push_back(url.empty() ? L"about:blank" : url);
    r.finalUrl = r.addresses.back();
    if (!(url.empty() || AsciiLower(url) == L"about:blank")) {
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
    std::string lowerType = AsciiLower(type);
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
    CefRefPtr<FrameImpl> f = new FrameImpl(this, NextFrameId(), false, item.text);
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
  std::wstring target = AsciiLower(Trim(item.target));
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
    if (AsciiLower(f->name_) == target) {
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

}  // namespace engine
