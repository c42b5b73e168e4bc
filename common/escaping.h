// Escaping of values that the client puts into documents and addresses it builds as text.
#pragma once
#include <string>

// The text of a JSON string literal's content for `value` (quotes, backslashes and control
// characters escaped; everything else unchanged).
std::wstring EscapeJsonString(const std::wstring& value);

// A value for a query parameter, percent-encoded only where a form decoder would misread it or
// a query may not hold it: "+", "&", "#", "%", blanks, control characters and everything outside
// ASCII (as its UTF-8 bytes). Everything else, "/" and "=" included, stays as it is, so a plain
// value gives the same address as before.
std::wstring EncodeQueryValue(const std::wstring& value);
