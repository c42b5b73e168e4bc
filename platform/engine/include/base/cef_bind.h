#pragma once
#include <functional>
#include <utility>

#include "include/base/cef_callback.h"

namespace base {
// base::Bind(&Class::Method, object, args...): the object may be a raw pointer or a CefRefPtr,
// which keeps it alive until the call has run.
template <typename F, typename... Args>
Closure Bind(F&& f, Args&&... args) {
  return std::bind(std::forward<F>(f), std::forward<Args>(args)...);
}
}  // namespace base
