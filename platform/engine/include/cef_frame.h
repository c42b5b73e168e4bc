#pragma once
#include "include/cef_base.h"

class CefBrowser;
class CefV8Context;

// A frame of a page: the main frame or one per <iframe>.
class CefFrame : public virtual CefBaseRefCounted {
 public:
  virtual bool IsValid() = 0;
  // Starts a navigation of this frame; returns at once.
  virtual void LoadURL(const CefString& url) = 0;
  // Scripts are not run by this engine; they are recorded with their URL and line
  // (see include/test/cef_test_hooks.h).
  virtual void ExecuteJavaScript(const CefString& code, const CefString& script_url, int start_line) = 0;
  virtual bool IsMain() = 0;
  virtual bool IsFocused() = 0;
  virtual CefString GetName() = 0;
  virtual int64 GetIdentifier() = 0;
  virtual CefRefPtr<CefFrame> GetParent() = 0;
  virtual CefString GetURL() = 0;
  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  // The frame's current script context (renderer side).
  virtual CefRefPtr<CefV8Context> GetV8Context() = 0;
};
