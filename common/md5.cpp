#include "common/md5.h"

#include <cstring>

namespace {

constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLe(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void StoreLe(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, count_{0, 0} {
    std::memset(buffer_, 0, sizeof buffer_);
    std::memset(digest_, 0, sizeof digest_);
}

void Md5::Transform(const uint8_t block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = LoadLe(block + 4 * i);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        uint32_t next = b + Rotl(a + f + kT[i] + m[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::Update(const void* data, size_t count) {
    finalized_ = false;
    const uint8_t* input = static_cast<const uint8_t*>(data);
    size_t index = (count_[0] >> 3) & 63;
    uint32_t bitsLow = static_cast<uint32_t>(count) << 3;
    count_[0] += bitsLow;
    if (count_[0] < bitsLow) ++count_[1];
    count_[1] += static_cast<uint32_t>(static_cast<uint64_t>(count) >> 29);

    size_t i = 0;
    size_t partLen = 64 - index;
    if (count >= partLen) {
        std::memcpy(buffer_ + index, input, partLen);
        Transform(buffer_);
        for (i = partLen; i + 63 < count; i += 64) Transform(input + i);
        index = 0;
    }
    std::memcpy(buffer_ + index, input + i, count - i);
}

std::string Md5::HexDigest() {
    if (!finalized_) {
        uint32_t savedState[4];
        uint32_t savedCount[2];
        uint8_t savedBuffer[64];
        std::memcpy(savedState, state_, sizeof state_);
        std::memcpy(savedCount, count_, sizeof count_);
        std::memcpy(savedBuffer, buffer_, sizeof buffer_);

        uint8_t bits[8];
        StoreLe(bits, count_[0]);
        StoreLe(bits + 4, count_[1]);
        static const uint8_t kPadding[64] = {0x80};
        size_t index = (count_[0] >> 3) & 63;
        size_t padLen = index < 56 ? 56 - index : 120 - index;
        Update(kPadding, padLen);
        Update(bits, 8);
        for (int i = 0; i < 4; ++i) StoreLe(digest_ + 4 * i, state_[i]);

        // Put the running message back so that later updates continue it.
        std::memcpy(state_, savedState, sizeof state_);
        std::memcpy(count_, savedCount, sizeof count_);
        std::memcpy(buffer_, savedBuffer, sizeof buffer_);
        finalized_ = true;
    }
    return ToLowerHex(digest_, sizeof digest_);
}

std::string ToLowerHex(const unsigned char* data, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 15]);
    }
    return out;
}
