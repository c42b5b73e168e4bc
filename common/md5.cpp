#include "common/md5.h"

#include <cstring>

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t)>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t m, uint32_t t, int s) {
    a = b + Rotl(a + Fn(b, c, d) + m + t, s);
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

// Rounds written out so that every message index, constant and shift is a compile-time value.
void Md5::Transform(const uint8_t block[64]) {
    uint32_t m[16];
    std::memcpy(m, block, sizeof m);  // x86 is little-endian, as MD5's words are
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    Step<F>(a, b, c, d, m[0], 0xd76aa478, 7);
    Step<F>(d, a, b, c, m[1], 0xe8c7b756, 12);
    Step<F>(c, d, a, b, m[2], 0x242070db, 17);
    Step<F>(b, c, d, a, m[3], 0xc1bdceee, 22);
    Step<F>(a, b, c, d, m[4], 0xf57c0faf, 7);
    Step<F>(d, a, b, c, m[5], 0x4787c62a, 12);
    Step<F>(c, d, a, b, m[6], 0xa8304613, 17);
    Step<F>(b, c, d, a, m[7], 0xfd469501, 22);
    Step<F>(a, b, c, d, m[8], 0x698098d8, 7);
    Step<F>(d, a, b, c, m[9], 0x8b44f7af, 12);
    Step<F>(c, d, a, b, m[10], 0xffff5bb1, 17);
    Step<F>(b, c, d, a, m[11], 0x895cd7be, 22);
    Step<F>(a, b, c, d, m[12], 0x6b901122, 7);
    Step<F>(d, a, b, c, m[13], 0xfd987193, 12);
    Step<F>(c, d, a, b, m[14], 0xa679438e, 17);
    Step<F>(b, c, d, a, m[15], 0x49b40821, 22);
    Step<G>(a, b, c, d, m[1], 0xf61e2562, 5);
    Step<G>(d, a, b, c, m[6], 0xc040b340, 9);
    Step<G>(c, d, a, b, m[11], 0x265e5a51, 14);
    Step<G>(b, c, d, a, m[0], 0xe9b6c7aa, 20);
    Step<G>(a, b, c, d, m[5], 0xd62f105d, 5);
    Step<G>(d, a, b, c, m[10], 0x02441453, 9);
    Step<G>(c, d, a, b, m[15], 0xd8a1e681, 14);
    Step<G>(b, c, d, a, m[4], 0xe7d3fbc8, 20);
    Step<G>(a, b, c, d, m[9], 0x21e1cde6, 5);
    Step<G>(d, a, b, c, m[14], 0xc33707d6, 9);
    Step<G>(c, d, a, b, m[3], 0xf4d50d87, 14);
    Step<G>(b, c, d, a, m[8], 0x455a14ed, 20);
    Step<G>(a, b, c, d, m[13], 0xa9e3e905, 5);
    Step<G>(d, a, b, c, m[2], 0xfcefa3f8, 9);
    Step<G>(c, d, a, b, m[7], 0x676f02d9, 14);
    Step<G>(b, c, d, a, m[12], 0x8d2a4c8a, 20);
    Step<H>(a, b, c, d, m[5], 0xfffa3942, 4);
    Step<H>(d, a, b, c, m[8], 0x8771f681, 11);
    Step<H>(c, d, a, b, m[11], 0x6d9d6122, 16);
    Step<H>(b, c, d, a, m[14], 0xfde5380c, 23);
    Step<H>(a, b, c, d, m[1], 0xa4beea44, 4);
    Step<H>(d, a, b, c, m[4], 0x4bdecfa9, 11);
    Step<H>(c, d, a, b, m[7], 0xf6bb4b60, 16);
    Step<H>(b, c, d, a, m[10], 0xbebfbc70, 23);
    Step<H>(a, b, c, d, m[13], 0x289b7ec6, 4);
    Step<H>(d, a, b, c, m[0], 0xeaa127fa, 11);
    Step<H>(c, d, a, b, m[3], 0xd4ef3085, 16);
    Step<H>(b, c, d, a, m[6], 0x04881d05, 23);
    Step<H>(a, b, c, d, m[9], 0xd9d4d039, 4);
    Step<H>(d, a, b, c, m[12], 0xe6db99e5, 11);
    Step<H>(c, d, a, b, m[15], 0x1fa27cf8, 16);
    Step<H>(b, c, d, a, m[2], 0xc4ac5665, 23);
    Step<I>(a, b, c, d, m[0], 0xf4292244, 6);
    Step<I>(d, a, b, c, m[7], 0x432aff97, 10);
    Step<I>(c, d, a, b, m[14], 0xab9423a7, 15);
    Step<I>(b, c, d, a, m[5], 0xfc93a039, 21);
    Step<I>(a, b, c, d, m[12], 0x655b59c3, 6);
    Step<I>(d, a, b, c, m[3], 0x8f0ccc92, 10);
    Step<I>(c, d, a, b, m[10], 0xffeff47d, 15);
    Step<I>(b, c, d, a, m[1], 0x85845dd1, 21);
    Step<I>(a, b, c, d, m[8], 0x6fa87e4f, 6);
    Step<I>(d, a, b, c, m[15], 0xfe2ce6e0, 10);
    Step<I>(c, d, a, b, m[6], 0xa3014314, 15);
    Step<I>(b, c, d, a, m[13], 0x4e0811a1, 21);
    Step<I>(a, b, c, d, m[4], 0xf7537e82, 6);
    Step<I>(d, a, b, c, m[11], 0xbd3af235, 10);
    Step<I>(c, d, a, b, m[2], 0x2ad7d2bb, 15);
    Step<I>(b, c, d, a, m[9], 0xeb86d391, 21);
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
