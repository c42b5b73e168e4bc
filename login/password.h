// The encoded password: base64 of the password's UTF-8 bytes with one random capital letter
// inserted after the first base64 character. It is what the server receives and what the
// settings file stores.
#pragma once
#include <functional>
#include <string>

// Seeds the run-time generator with the tick count and draws the letter from it.
// An empty password gives an empty result.
std::wstring EncodePassword(const std::wstring& password);

// Same, with the inserted letter given (tests and callers with their own random source).
std::wstring EncodePasswordWithLetter(const std::wstring& password, wchar_t letter);

// One capital letter A..Z, each equally likely: draws from `draw` (values 0..randMax) and
// rejects the top values that would favour some letters.
wchar_t PickCapitalLetter(const std::function<int()>& draw, int randMax);
