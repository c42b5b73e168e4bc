// Thin helpers over the private-profile functions for the client's INI files.
#pragma once
#include <string>
#include <vector>

namespace profile {

// The whole value of a key (no length cut), or `defaultValue` when the key is missing.
std::wstring ReadString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                        const wchar_t* defaultValue);

// Writes one value. A file that does not exist yet (or is empty) is first created as
// UTF-16LE with a byte-order mark, so that every character of the value survives; an
// existing ANSI file stays ANSI. Values come back as written (see QuoteForReading). Failures are not reported, as
// elsewhere for these files.
void WriteString(const std::wstring& file, const wchar_t* section, const wchar_t* key, const std::wstring& value);

// The text to write so that reading gives `value` back: values with blanks at either end
// or wrapped in matching quotes get one more pair of quotes.
std::wstring QuoteForReading(const std::wstring& value);

// Makes `file` a UTF-16LE file with a byte-order mark when it does not exist or is empty.
void EnsureUnicodeFile(const std::wstring& file);

// A count as stored in a file: optional leading blanks and "+", then decimal digits, read up
// to the first other character and capped at INT_MAX. Negative, missing or non-numeric
// text gives 0.
int ParseCount(const std::wstring& text);

// A count that is nothing but decimal digits (blanks around allowed) and fits an int; false
// for anything else, including a missing value.
bool ParseStrictCount(const std::wstring& text, int& count);

// The names of the keys of a section, in file order (empty when there is none).
std::vector<std::wstring> KeyNames(const std::wstring& file, const wchar_t* section);

bool FileExists(const std::wstring& file);

// The folder of the running executable, without a trailing backslash.
std::wstring ExecutableDirectory();

}  // namespace profile
