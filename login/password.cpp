#include "login/password.h"

#include <windows.h>

#include <cstdlib>

#include "common/base64.h"
#include "common/text.h"

std::wstring EncodePasswordWithLetter(const std::wstring& password, wchar_t letter) {
    if (password.empty()) return std::wstring();
    const std::string utf8 = WideToUtf8(password);
    if (utf8.empty()) return std::wstring();
    Base64Encoder encoder;
    const wchar_t* text = encoder.Encode(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
    if (!text || !*text) return std::wstring();
    std::wstring encoded(text);
    encoded.insert(1, 1, letter);
    return encoded;
}

wchar_t PickCapitalLetter(const std::function<int()>& draw, int randMax) {
    const long long range = static_cast<long long>(randMax) + 1;
    // Largest multiple of 26 not above the range: values from there up are drawn again.
    const long long limit = range >= 26 ? range - range % 26 : range;
    for (;;) {
        const long long value = draw();
        if (value >= 0 && value < limit) return static_cast<wchar_t>(L'A' + value % 26);
    }
}

std::wstring EncodePassword(const std::wstring& password) {
    if (password.empty()) return std::wstring();
    srand(GetTickCount());
    return EncodePasswordWithLetter(password, PickCapitalLetter([] { return rand(); }, RAND_MAX));
}
