#pragma once
#include "include/cef_base.h"

class CefSchemeRegistrar : public CefBaseScoped {
 public:
  // Custom schemes are not supported; registering one reports false.
  virtual bool AddCustomScheme(const CefString& scheme_name, bool is_standard, bool is_local,
                               bool is_display_isolated, bool is_secure, bool is_cors_enabled,
                               bool is_csp_bypassing, bool is_fetch_enabled) = 0;
};
