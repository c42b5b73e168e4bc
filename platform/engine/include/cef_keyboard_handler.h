#pragma once
#include "include/cef_browser.h"

class CefKeyboardHandler : public virtual CefBaseRefCounted {
 public:
  // Before the page sees the key; return true to consume it.
  virtual bool OnPreKeyEvent(CefRefPtr<CefBrowser> browser, const CefKeyEvent& event, CefEventHandle os_event,
                             bool* is_keyboard_shortcut) {
    return false;
  }
  // After the page's default handling; return true when handled.
  virtual bool OnKeyEvent(CefRefPtr<CefBrowser> browser, const CefKeyEvent& event, CefEventHandle os_event) {
    return false;
  }
};
