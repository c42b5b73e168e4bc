// MD5 message digest (RFC 1321).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
public:
    Md5();
    void Update(const void* data, size_t count);
    void Update(const std::string& bytes) { Update(bytes.data(), bytes.size()); }
    // 32 lowercase hexadecimal characters. Taking the digest does not end the message:
    // a later Update continues it as if no digest had been taken.
    std::string HexDigest();

private:
    void Transform(const uint8_t block[64]);

    uint32_t state_[4];
    uint32_t count_[2];  // bit count, low word first
    uint8_t buffer_[64];
    uint8_t digest_[16];
    bool finalized_ = false;
};

// Two lowercase hexadecimal digits per byte, high nibble first.
std::string ToLowerHex(const unsigned char* data, size_t count);
