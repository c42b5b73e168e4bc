// Publisher signatures of update offers, checked with the system's CNG (bcrypt), so no crypto
// library ships with the updater.
//
// What is signed is the offer, not the file alone: the ECDSA P-256 signature (SHA-256) covers
// the bytes of OfferSigningText, that is
//     "quorvane-update\n" <offered version> "\n" <SHA-256 of the installer, 64 lower-case hex>
// with no line end after the digest; the version is the "version" member of the service's reply
// exactly as sent (UTF-8). An older installer, validly signed for its own version, therefore
// never passes as a newer one.
#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <string>

using PublicKey = std::array<unsigned char, 64>;     // X || Y of the uncompressed point
using RawSignature = std::array<unsigned char, 64>;  // r || s, each 32 bytes big-endian
using Sha256Digest = std::array<unsigned char, 32>;

// 128 hexadecimal characters (either case) to a key; false for anything else.
bool PublicKeyFromHex(const std::string& hex, PublicKey& key);

// Standard base64 (with padding) of exactly 64 bytes; blanks and line ends around it are
// tolerated because the text often comes from a file. False for anything else.
bool SignatureFromBase64(const std::string& text, RawSignature& signature);

// SHA-256 of a whole file, read in large blocks. False when the file cannot be read.
bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest);

// SHA-256 taken piece by piece, for bytes that pass by once (a download being written): on the
// processor's SHA instructions where it has them (see updater/sha256_instructions.h), otherwise,
// or when asked for `System`, with CNG.
class Sha256Stream {
public:
    enum class Engine { Fastest, System };
    explicit Sha256Stream(Engine engine = Engine::Fastest);
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    // False once anything failed (also when the system's provider could not be opened).
    bool Update(const void* data, size_t size);
    // The digest of everything given; false when a step failed. The stream is spent after it.
    bool Finish(Sha256Digest& digest);

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
    bool failed_ = false;
};

// True only when the signature verifies for the digest under the key.
bool VerifyDigestSignature(const PublicKey& key, const Sha256Digest& digest, const RawSignature& signature);

// The byte string a publisher signs for an offer of `version` (UTF-8) whose installer has the
// SHA-256 digest `installer`.
std::string OfferSigningText(const std::string& version, const Sha256Digest& installer);

// The signature the update service sent for the offer of `version` (UTF-8, as the reply gave
// it), checked against the key built into this updater.
class InstallerSignature {
public:
    InstallerSignature(const PublicKey& key, const std::string& base64, std::string version);

    // The service sent a signature at all, and in the expected form.
    bool WellFormed() const { return wellFormed_; }
    // The file at `path` is the installer the publisher signed for this version.
    bool Verifies(const std::wstring& path) const;
    // The same for an installer whose SHA-256 digest was taken while it was written, by a
    // writer that admitted no other one to the file.
    bool VerifiesDigest(const Sha256Digest& installer) const;

private:
    PublicKey key_;
    RawSignature signature_{};
    std::string version_;
    bool wellFormed_ = false;
};
