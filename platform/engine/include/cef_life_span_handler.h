#pragma once
#include "include/cef_browser.h"

class CefClient;

class CefLifeSpanHandler : public virtual CefBaseRefCounted {
 public:
  typedef cef_window_open_disposition_t WindowOpenDisposition;

  // A page asks for a new window (a link with a target, window.open). |windowInfo| arrives
  // filled as a top-level popup; the client may change it (e.g. make it a child window).
  // Return true to cancel the popup.
  virtual bool OnBeforePopup(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, const CefString& target_url,
                             const CefString& target_frame_name, WindowOpenDisposition target_disposition,
                             bool user_gesture, const CefPopupFeatures& popupFeatures, CefWindowInfo& windowInfo,
                             CefRefPtr<CefClient>& client, CefBrowserSettings& settings,
                             bool* no_javascript_access) {
    return false;
  }
  // The browser and its window exist.
  virtual void OnAfterCreated(CefRefPtr<CefBrowser> browser) {}
  // A close was requested (page's window.close(), CloseBrowser(false), WM_CLOSE of a top-level
  // browser window). Return false to let the engine destroy the browser window now; true when
  // the client closes it itself (e.g. by DestroyWindow on the host window later).
  virtual bool DoClose(CefRefPtr<CefBrowser> browser) { return false; }
  // Last call for a browser: its window is being destroyed, whatever the cause.
  virtual void OnBeforeClose(CefRefPtr<CefBrowser> browser) {}
};
