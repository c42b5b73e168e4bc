// The engine's string helpers. Two kinds of lower case on purpose: protocol words (schemes,
// header names, link targets, MIME types) fold A-Z only, whatever the locale; markup and host
// names take the C runtime's wide mapping.
#pragma once
#include <string>

namespace engine {

// Without leading and trailing blanks, tabs and line ends.
std::wstring Trim(const std::wstring& s);
// Without leading and trailing blanks and tabs (the optional white space of HTTP headers).
std::string TrimHeaderSpace(const std::string& s);

// A-Z to a-z; every other character as it is.
std::wstring AsciiLower(std::wstring s);
std::string AsciiLower(std::string s);
// Each character through the C runtime's towlower.
std::wstring CrtLower(std::wstring s);

// UTF-8 bytes as UTF-16 (invalid sequences become U+FFFD).
std::wstring Utf8ToWide(const std::string& s);
// One character per byte (ISO 8859-1), as cookie files and header bytes are kept.
std::wstring Latin1ToWide(const std::string& s);
// ASCII characters as they are, every other one as '?'.
std::string WideToAscii(const std::wstring& s);

}  // namespace engine
