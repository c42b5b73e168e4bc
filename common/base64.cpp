#include "common/base64.h"

#include <windows.h>
#include <wincrypt.h>

Base64Encoder::~Base64Encoder() {
    delete[] encoded_;
    delete[] decoded_;
}

const wchar_t* Base64Encoder::Encode(const unsigned char* data, size_t count) {
    DWORD needed = 0;
    if (!CryptBinaryToStringW(data, static_cast<DWORD>(count), CRYPT_STRING_BASE64, nullptr, &needed) || needed == 0) {
        return nullptr;
    }
    delete[] encoded_;
    encoded_ = new wchar_t[needed + 1]();
    DWORD written = needed;
    if (!CryptBinaryToStringW(data, static_cast<DWORD>(count), CRYPT_STRING_BASE64, encoded_, &written)) {
        encoded_[0] = L'\0';
        return encoded_;
    }
    // The system encoder breaks lines every 64 characters with CR LF; the caller wants one line.
    wchar_t* out = encoded_;
    for (const wchar_t* in = encoded_; *in; ++in) {
        if (*in != L'\r' && *in != L'\n') *out++ = *in;
    }
    *out = L'\0';
    return encoded_;
}
