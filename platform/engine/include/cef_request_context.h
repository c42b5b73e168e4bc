#pragma once
#include "include/cef_base.h"

// Only the global context exists; pass null where a request context is asked for.
class CefRequestContext : public virtual CefBaseRefCounted {
 public:
  static CefRefPtr<CefRequestContext> GetGlobalContext();
  virtual bool IsGlobal() = 0;
  virtual CefString GetCachePath() = 0;
};
