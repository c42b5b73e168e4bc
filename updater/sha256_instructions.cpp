#include "updater/sha256_instructions.h"

#include <cpuid.h>
#include <immintrin.h>

#include <cstring>

namespace {

alignas(16) const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// Hashes whole 64-byte blocks into `state`. The 32-bit build realigns the stack on entry: a
// thread's stack there is only 4-byte aligned, and the compiler keeps 16-byte values on it.
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
__attribute__((target("sha,ssse3,sse4.1"))) void
CompressBlocks(uint32_t state[8], const unsigned char* data, size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    // The instructions keep the state as ABEF and CDGH.
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefSaved = state0, cdghSaved = state1;
        __m128i w[4];
        // Sixteen groups of four rounds; w[g % 4] holds the message words of group g, and the
        // schedule for the groups ahead is worked out on the way.
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i& words = w[g & 3];
            if (g < 4) {
                words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byteSwap);
            }
            __m128i msg = _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * g])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
            if (g >= 3 && g <= 14) {
                __m128i& next = w[(g + 1) & 3];
                next = _mm_add_epi32(next, _mm_alignr_epi8(words, w[(g + 3) & 3], 4));
                next = _mm_sha256msg2_epu32(next, words);
            }
            msg = _mm_shuffle_epi32(msg, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
            if (g >= 1 && g <= 12) {
                __m128i& previous = w[(g + 3) & 3];
                previous = _mm_sha256msg1_epu32(previous, words);
            }
        }
        state0 = _mm_add_epi32(state0, abefSaved);
        state1 = _mm_add_epi32(state1, cdghSaved);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);
    state1 = _mm_shuffle_epi32(state1, 0xB1);
    state0 = _mm_blend_epi16(tmp, state1, 0xF0);
    state1 = _mm_alignr_epi8(state1, tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), state1);
}

}  // namespace

bool CpuHasShaInstructions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0, sse41 = (ecx & bit_SSE4_1) != 0;
    if (!ssse3 || !sse41 || __get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_SHA) != 0;
}

ShaInstructionsSha256::ShaInstructionsSha256() { std::memcpy(state_, kInitial, sizeof(state_)); }

void ShaInstructionsSha256::Update(const void* data, size_t size) {
    auto* bytes = static_cast<const unsigned char*>(data);
    length_ += size;
    if (buffered_ > 0) {
        const size_t take = size < 64 - buffered_ ? size : 64 - buffered_;
        std::memcpy(buffer_ + buffered_, bytes, take);
        buffered_ += take;
        bytes += take;
        size -= take;
        if (buffered_ < 64) return;
        CompressBlocks(state_, buffer_, 1);
        buffered_ = 0;
    }
    if (size >= 64) {
        CompressBlocks(state_, bytes, size / 64);
        bytes += size / 64 * 64;
        size %= 64;
    }
    std::memcpy(buffer_, bytes, size);
    buffered_ = size;
}

Sha256Digest ShaInstructionsSha256::Finish() {
    // Padding: 0x80, zeros up to 56 bytes mod 64, then the length in bits, big-endian.
    const uint64_t bits = length_ * 8;
    unsigned char tail[72] = {0x80};
    const size_t padding = (buffered_ < 56 ? 56 : 120) - buffered_;
    for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    Update(tail, padding + 8);
    Sha256Digest digest{};
    for (int i = 0; i < 8; ++i) {
        for (int b = 0; b < 4; ++b) digest[4 * i + b] = static_cast<unsigned char>(state_[i] >> (24 - 8 * b));
    }
    return digest;
}
