#pragma once
#include "include/cef_browser.h"

// Not used by this engine: a client returning one changes nothing (the engine defaults apply).
class CefJSDialogHandler : public virtual CefBaseRefCounted {};
