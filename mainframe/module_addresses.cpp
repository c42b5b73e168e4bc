#include "mainframe/module_addresses.h"

#include "common/escaping.h"
#include "common/text.h"

std::wstring ClientLoginAddress(const std::wstring& serverBaseUrl, const std::wstring& userName,
                                const std::wstring& encodedPassword) {
    return serverBaseUrl + L"/clientlogin?username=" + EncodeQueryValue(userName) + L"&&password=" +
           EncodeQueryValue(encodedPassword) + L"&&platform=1";
}

std::wstring ShortMessageAddress(const std::wstring& shortMessageBaseUrl, const std::string& loginToken) {
    if (loginToken.empty()) return shortMessageBaseUrl;
    return shortMessageBaseUrl + L"login?token=" + EncodeQueryValue(AnsiToWide(loginToken));
}
