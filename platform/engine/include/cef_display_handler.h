#pragma once
#include <vector>

#include "include/cef_browser.h"

class CefDisplayHandler : public virtual CefBaseRefCounted {
 public:
  // Main frame: the start address and every redirect target, then the committed address.
  virtual void OnAddressChange(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, const CefString& url) {}
  // The page's <title>, or its address when it has none.
  virtual void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {}
  virtual void OnFaviconURLChange(CefRefPtr<CefBrowser> browser, const std::vector<CefString>& icon_urls) {}
  virtual void OnFullscreenModeChange(CefRefPtr<CefBrowser> browser, bool fullscreen) {}
  virtual bool OnTooltip(CefRefPtr<CefBrowser> browser, CefString& text) { return false; }
  // The link under the mouse (empty when it leaves the link).
  virtual void OnStatusMessage(CefRefPtr<CefBrowser> browser, const CefString& value) {}
  virtual bool OnConsoleMessage(CefRefPtr<CefBrowser> browser, cef_log_severity_t level, const CefString& message,
                                const CefString& source, int line) {
    return false;
  }
};
