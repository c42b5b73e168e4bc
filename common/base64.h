// Base64 through the system's CryptBinaryToStringW, as one unbroken line.
#pragma once
#include <cstddef>

class Base64Encoder {
public:
    Base64Encoder() = default;
    ~Base64Encoder();
    Base64Encoder(const Base64Encoder&) = delete;
    Base64Encoder& operator=(const Base64Encoder&) = delete;

    // Returns NUL-terminated text owned by the encoder (valid until the next Encode), or
    // nullptr when the system encoder reports no length (the previous text is kept then).
    const wchar_t* Encode(const unsigned char* data, size_t count);

private:
    wchar_t* encoded_ = nullptr;
    unsigned char* decoded_ = nullptr;  // reserved for decoding; only ever freed
};
