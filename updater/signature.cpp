#include "updater/signature.h"

#include <bcrypt.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "updater/sha256_instructions.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct AlgorithmTraits {
    static BCRYPT_ALG_HANDLE invalid() { return nullptr; }
    static void close(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct KeyTraits {
    static BCRYPT_KEY_HANDLE invalid() { return nullptr; }
    static void close(BCRYPT_KEY_HANDLE h) { BCryptDestroyKey(h); }
};
struct HashTraits {
    static BCRYPT_HASH_HANDLE invalid() { return nullptr; }
    static void close(BCRYPT_HASH_HANDLE h) { BCryptDestroyHash(h); }
};
using unique_alg = qv::unique_any<BCRYPT_ALG_HANDLE, AlgorithmTraits>;
using unique_key = qv::unique_any<BCRYPT_KEY_HANDLE, KeyTraits>;
using unique_hash = qv::unique_any<BCRYPT_HASH_HANDLE, HashTraits>;

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

bool PublicKeyFromHex(const std::string& hex, PublicKey& key) {
    if (hex.size() != key.size() * 2) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        key[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

bool SignatureFromBase64(const std::string& text, RawSignature& signature) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    // 64 bytes are 21 full groups and one group holding a single byte: 88 characters, "==" last.
    constexpr size_t kLength = 88;
    if (end - begin != kLength || text[end - 1] != '=' || text[end - 2] != '=') return false;
    std::vector<unsigned char> bytes;
    bytes.reserve(66);
    unsigned bits = 0;
    int count = 0;
    for (size_t i = begin; i < end - 2; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) return false;
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<unsigned char>(bits >> count));
            bits &= (1u << count) - 1;
        }
    }
    // The last character before the padding carries 4 unused bits, which must be zero so that
    // one signature has one spelling.
    if (bytes.size() != signature.size() || bits != 0) return false;
    std::copy(bytes.begin(), bytes.end(), signature.begin());
    return true;
}

struct Sha256Stream::Handles {
    std::unique_ptr<ShaInstructionsSha256> instructions;
    unique_alg algorithm;
    unique_hash hash;
};

Sha256Stream::Sha256Stream(Engine engine) : handles_(std::make_unique<Handles>()) {
    static const bool haveInstructions = CpuHasShaInstructions();
    if (engine == Engine::Fastest && haveInstructions) {
        handles_->instructions = std::make_unique<ShaInstructionsSha256>();
        return;
    }
    failed_ = !Succeeded(BCryptOpenAlgorithmProvider(handles_->algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
              !Succeeded(BCryptCreateHash(handles_->algorithm.get(), handles_->hash.put(), nullptr, 0, nullptr, 0, 0));
}

Sha256Stream::~Sha256Stream() = default;

bool Sha256Stream::Update(const void* data, size_t size) {
    // CNG takes a non-const buffer but only reads it; one call takes at most a ULONG.
    if (handles_->instructions) {
        if (!failed_) handles_->instructions->Update(data, size);
        return !failed_;
    }
    auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
    while (!failed_ && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
        failed_ = !Succeeded(BCryptHashData(handles_->hash.get(), bytes, piece, 0));
        bytes += piece;
        size -= piece;
    }
    return !failed_;
}

bool Sha256Stream::Finish(Sha256Digest& digest) {
    if (failed_) return false;
    failed_ = true;  // spent
    if (handles_->instructions) {
        digest = handles_->instructions->Finish();
        return true;
    }
    return Succeeded(BCryptFinishHash(handles_->hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest) {
    qv::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    Sha256Stream sha;
    std::vector<unsigned char> block(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return false;
        if (read == 0) break;
        if (!sha.Update(block.data(), read)) return false;
    }
    return sha.Finish(digest);
}

bool VerifyDigestSignature(const PublicKey& key, const Sha256Digest& digest, const RawSignature& signature) {
    unique_alg algorithm;
    if (!Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    // BCRYPT_ECCKEY_BLOB header followed by X and Y.
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = static_cast<ULONG>(key.size() / 2);
    std::copy(key.begin(), key.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));
    unique_key handle;
    if (!Succeeded(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, handle.put(), blob.data(),
                                       static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    // CNG takes non-const buffers but only reads them.
    Sha256Digest hashCopy = digest;
    RawSignature signatureCopy = signature;
    return BCryptVerifySignature(handle.get(), nullptr, hashCopy.data(), static_cast<ULONG>(hashCopy.size()),
                                 signatureCopy.data(), static_cast<ULONG>(signatureCopy.size()), 0) == 0;
}

std::string OfferSigningText(const std::string& version, const Sha256Digest& installer) {
    static const char kHex[] = "0123456789abcdef";
    std::string text = "quorvane-update\n" + version + "\n";
    for (unsigned char byte : installer) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0f];
    }
    return text;
}

namespace {

bool Sha256OfBytes(const std::string& bytes, Sha256Digest& digest) {
    Sha256Stream sha;
    return sha.Update(bytes.data(), bytes.size()) && sha.Finish(digest);
}

}  // namespace

InstallerSignature::InstallerSignature(const PublicKey& key, const std::string& base64, std::string version)
    : key_(key), version_(std::move(version)), wellFormed_(SignatureFromBase64(base64, signature_)) {}

bool InstallerSignature::Verifies(const std::wstring& path) const {
    Sha256Digest installer{};
    return wellFormed_ && Sha256OfFile(path, installer) && VerifiesDigest(installer);
}

bool InstallerSignature::VerifiesDigest(const Sha256Digest& installer) const {
    if (!wellFormed_) return false;
    Sha256Digest signedText{};
    return Sha256OfBytes(OfferSigningText(version_, installer), signedText) &&
           VerifyDigestSignature(key_, signedText, signature_);
}
