// Addresses the client builds from the login results for its own tabs.
#pragma once
#include <string>

// serverBaseUrl + "/clientlogin?username=" U "&&password=" P "&&platform=1": the first tab's
// sign-in address. U and P are query-encoded (common/escaping.h), so an encoded password with
// "+" or a user name with "&", "#" or Chinese characters reaches the server as typed.
std::wstring ClientLoginAddress(const std::wstring& serverBaseUrl, const std::wstring& userName,
                                const std::wstring& encodedPassword);

// The short-message system's address: its base alone without a token, otherwise
// base + "login?token=" and the query-encoded token (ANSI text as received).
std::wstring ShortMessageAddress(const std::wstring& shortMessageBaseUrl, const std::string& loginToken);
