// Text conversions between UTF-16 ("wide"), UTF-8 and the system ANSI code page.
// Each result ends at the first NUL the conversion produces; nothing here reports errors.
#pragma once
#include <string>

std::wstring Utf8ToWide(const std::string& utf8);  // reads up to the first NUL
std::string WideToUtf8(const std::wstring& wide);
std::wstring AnsiToWide(const std::string& ansi);  // full length, CP_ACP
std::string WideToAnsi(const std::wstring& wide);  // full length, CP_ACP
std::string Utf8ToAnsi(const std::string& utf8);   // UTF-8 -> wide -> CP_ACP
