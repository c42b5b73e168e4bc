#pragma once
#include <string>

#include "include/cef_v8.h"

namespace engine {

CefRefPtr<CefV8Context> NewV8Context(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame);
// The frame navigated away or closed: the context becomes invalid and lets go of the frame.
void InvalidateV8Context(CefRefPtr<CefV8Context> context);
// Calls global function |name| of |context| as a page would; false when there is no such
// function (the page's call would fail with a script error).
bool CallGlobalFunction(CefRefPtr<CefV8Context> context, const std::wstring& name, const CefV8ValueList& args);
// Values of a literal argument list such as `'a', 2, true, null, {}` (unknown tokens become
// undefined).
CefV8ValueList ParseScriptArguments(const std::wstring& text);

}  // namespace engine
