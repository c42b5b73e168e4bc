#pragma once
#include "include/cef_base.h"

// Never asked: this engine has no localized resources of its own beyond a few menu labels.
class CefResourceBundleHandler : public virtual CefBaseRefCounted {};
