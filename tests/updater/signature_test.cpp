// Offer signatures: the text forms of key and signature, the signed text, and CNG's verdict on
// signatures made by openssl for a known message and a known offer; the SHA-256 streams (the
// processor's instructions against CNG) and the download's background hasher.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "updater/background_sha256.h"
#include "updater/signature.h"

namespace {

// Made once with tools/sign_installer.py (private key discarded): the signature of kMessage.
const char kKeyHex[] =
    "928de784fcbbb130ef5cb6c02f566062b22e05616355995ec6a4e23e327b83f9"
    "999c208e96b328441153fad279b012e950ce63e0415aa1abaeccd2314683a37d";
const char kOtherKeyHex[] =
    "c44fd1f6ade8db59245e64238efd3de139557068b69d27fc6cc61e5eabd42b56"
    "0dccf00eeaf8a46fcb64d452129fbb7ac3664b4a49f4667bb83d4906130a52ce";
const char kMessage[] = "quorvane installer";
const char kSignature[] = "+G85YAhFmF96Lwf8DLdJqqjqsfPqgKQEAEXbDbkrfcQ8jYwXeYReS3ghOt12PFJ3t0GPz38pIvZnTyyNYiXjiA==";
const unsigned char kMessageSha256[32] = {0xba, 0xec, 0xe3, 0xd2, 0x26, 0xe4, 0xff, 0x1b, 0xa0, 0x3f, 0x35,
                                          0x29, 0x31, 0x48, 0xeb, 0xa1, 0x2e, 0x2f, 0x57, 0x8e, 0xa6, 0x54,
                                          0x88, 0xb7, 0xae, 0x5a, 0x6b, 0xa8, 0x5f, 0xc2, 0xb9, 0x03};

// Made the same way: the signature of the offer of version 2.0.0.1 whose installer holds
// kMessage, that is of OfferSigningText("2.0.0.1", SHA-256 of kMessage).
const char kOfferKeyHex[] =
    "8be1f1dabfc69617e240990b45c31996f8c19801eb9a66994c2f2aa1c0a4f3e9"
    "6d6bbb34066e9783813f55d805fcd6f8d213444db9374665c7b0955ebb4822ab";
const char kOfferVersion[] = "2.0.0.1";
const char kOfferSignature[] =
    "CBiS+FKrK6aHHkXtnDVSMKtLlhQpgTshnN7wsFlaTNzHlliz+GJ3fpZJCj1Fg4cwlZq48uNXpLvBkKbcNvqBAg==";

std::wstring WriteTemp(const std::string& content) {
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"sig", 0, name);
    HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
    return name;
}

PublicKey Key(const char* hex) {
    PublicKey key{};
    EXPECT_TRUE(PublicKeyFromHex(hex, key));
    return key;
}

TEST(Signature, PublicKeyText) {
    PublicKey key{};
    EXPECT_TRUE(PublicKeyFromHex(kKeyHex, key));
    EXPECT_EQ(0x92, key[0]);
    EXPECT_EQ(0x7d, key[63]);
    std::string upper = kKeyHex;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_TRUE(PublicKeyFromHex(upper, key));
    const std::string full = kKeyHex;
    for (const std::string& bad : {full.substr(1), full + "0", full.substr(0, 127) + "g", std::string()}) {
        EXPECT_FALSE(PublicKeyFromHex(bad, key)) << bad;
    }
}

TEST(Signature, Base64Text) {
    const std::string good = kSignature;
    RawSignature raw{};
    ASSERT_TRUE(SignatureFromBase64(good, raw));
    EXPECT_EQ(0xf8, raw[0]);
    EXPECT_EQ(0x88, raw[63]);
    // As read from a .sig file with a line end, or padded by a careless service.
    EXPECT_TRUE(SignatureFromBase64(good + "\r\n", raw));
    EXPECT_TRUE(SignatureFromBase64(" \t" + good + "\n", raw));

    std::string nonzeroTail = good;
    nonzeroTail[85] = 'B';  // "iA==" holds the last byte; "iB==" sets one of the unused bits
    const std::string rows[] = {
        "",
        good.substr(0, 86),                          // padding missing
        good.substr(0, 87),                          // one "=" short
        good + "=",                                  // too long
        good.substr(0, 84),                          // 63 bytes
        good.substr(0, 40) + " " + good.substr(41),  // blank inside
        good.substr(0, 10) + "-" + good.substr(11),  // URL-safe alphabet
        good.substr(0, 86) + "A=",                   // "=" must close the text
        nonzeroTail,
        "not a signature",
    };
    for (const std::string& bad : rows) EXPECT_FALSE(SignatureFromBase64(bad, raw)) << bad;
}

TEST(Signature, VerifiesWithTheSystemCrypto) {
    RawSignature signature{};
    ASSERT_TRUE(SignatureFromBase64(kSignature, signature));
    Sha256Digest digest{};
    std::copy(std::begin(kMessageSha256), std::end(kMessageSha256), digest.begin());
    EXPECT_TRUE(VerifyDigestSignature(Key(kKeyHex), digest, signature));
    EXPECT_FALSE(VerifyDigestSignature(Key(kOtherKeyHex), digest, signature));

    for (size_t at : {size_t(0), size_t(31), size_t(32), size_t(63)}) {
        RawSignature flipped = signature;
        flipped[at] ^= 0x01;
        EXPECT_FALSE(VerifyDigestSignature(Key(kKeyHex), digest, flipped)) << at;
    }
    Sha256Digest otherDigest = digest;
    otherDigest[5] ^= 0x80;
    EXPECT_FALSE(VerifyDigestSignature(Key(kKeyHex), otherDigest, signature));
    // A point that is not on the curve is refused by the import, never trusted.
    PublicKey offCurve = Key(kKeyHex);
    offCurve[63] ^= 0x01;
    EXPECT_FALSE(VerifyDigestSignature(offCurve, digest, signature));
}

TEST(Signature, SigningTextIsExactlyVersionAndDigest) {
    Sha256Digest digest{};
    std::copy(std::begin(kMessageSha256), std::end(kMessageSha256), digest.begin());
    EXPECT_EQ("quorvane-update\n2.0.0.1\nbaece3d226e4ff1ba03f35293148eba12e2f578ea65488b7ae5a6ba85fc2b903",
              OfferSigningText("2.0.0.1", digest));
}

// The signature binds the installer to the version it is offered as: the same file offered as
// another version, another file under the signed version, another key or no signature fail.
TEST(Signature, OfferSignatureBindsFileAndVersion) {
    const std::wstring good = WriteTemp(kMessage);
    const std::wstring tampered = WriteTemp(std::string(kMessage) + " ");

    const InstallerSignature signature(Key(kOfferKeyHex), kOfferSignature, kOfferVersion);
    EXPECT_TRUE(signature.WellFormed());
    EXPECT_TRUE(signature.Verifies(good));
    EXPECT_FALSE(signature.Verifies(tampered));
    EXPECT_FALSE(signature.Verifies(good + L".missing"));
    for (const char* version : {"2.0.0.2", "2.0.0.1 ", "1.0.0.1", ""}) {
        EXPECT_FALSE(InstallerSignature(Key(kOfferKeyHex), kOfferSignature, version).Verifies(good)) << version;
    }
    // A signature of the file's digest alone, as older releases made it, binds no version.
    EXPECT_FALSE(InstallerSignature(Key(kKeyHex), kSignature, kOfferVersion).Verifies(good));
    EXPECT_FALSE(InstallerSignature(Key(kOtherKeyHex), kOfferSignature, kOfferVersion).Verifies(good));

    const InstallerSignature missing(Key(kOfferKeyHex), "", kOfferVersion);
    EXPECT_FALSE(missing.WellFormed());
    EXPECT_FALSE(missing.Verifies(good));
    DeleteFileW(good.c_str());
    DeleteFileW(tampered.c_str());
}

TEST(Signature, Sha256OfFiles) {
    const std::wstring file = WriteTemp(kMessage);
    Sha256Digest digest{};
    ASSERT_TRUE(Sha256OfFile(file, digest));
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), std::begin(kMessageSha256)));
    EXPECT_FALSE(Sha256OfFile(file + L".missing", digest));
    DeleteFileW(file.c_str());
}

TEST(Signature, Sha256OfLargeFileSpansBlocks) {
    // Across several read blocks; the digest of a million "a" is a published test value.
    const std::wstring file = WriteTemp(std::string(1000000, 'a'));
    Sha256Digest digest{};
    ASSERT_TRUE(Sha256OfFile(file, digest));
    const unsigned char expected[32] = {0xcd, 0xc7, 0x6e, 0x5c, 0x99, 0x14, 0xfb, 0x92, 0x81, 0xa1, 0xc7,
                                        0xe2, 0x84, 0xd7, 0x3e, 0x67, 0xf1, 0x80, 0x9a, 0x48, 0xa4, 0x97,
                                        0x20, 0x0e, 0x04, 0x6d, 0x39, 0xcc, 0xc7, 0x11, 0x2c, 0xd0};
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), std::begin(expected)));
    DeleteFileW(file.c_str());
}

}  // namespace

namespace {

std::string Hex(const Sha256Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

// The digest of `bytes` given to a stream in pieces of `piece` bytes (0: all at once).
std::string StreamDigest(Sha256Stream::Engine engine, const std::string& bytes, size_t piece) {
    Sha256Stream sha(engine);
    for (size_t at = 0; at < bytes.size();) {
        const size_t size = piece ? std::min(piece, bytes.size() - at) : bytes.size();
        EXPECT_TRUE(sha.Update(bytes.data() + at, size));
        at += size;
    }
    Sha256Digest digest{};
    EXPECT_TRUE(sha.Finish(digest));
    Sha256Digest again{};
    EXPECT_FALSE(sha.Finish(again)) << "a stream is spent after Finish";
    return Hex(digest);
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    unsigned value = 12345;
    for (char& c : bytes) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    return bytes;
}

}  // namespace

// Published values, on the processor's instructions where it has them and on CNG.
TEST(Sha256Stream, PublishedValues) {
    const struct {
        std::string input;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (auto engine : {Sha256Stream::Engine::Fastest, Sha256Stream::Engine::System}) {
        for (const auto& row : rows) {
            EXPECT_EQ(StreamDigest(engine, row.input, 0), row.digest) << row.input.size() << " bytes";
            EXPECT_EQ(StreamDigest(engine, row.input, 7), row.digest) << row.input.size() << " bytes in 7s";
        }
    }
}

// Every length around the block and padding edges, and pieces that straddle blocks, give the
// system's digest.
TEST(Sha256Stream, AgreesWithTheSystemAcrossLengthsAndPieces) {
    const std::string bytes = Pattern(4096 + 77);
    for (size_t size = 0; size <= 300; ++size) {
        const std::string part = bytes.substr(0, size);
        ASSERT_EQ(StreamDigest(Sha256Stream::Engine::Fastest, part, 0),
                  StreamDigest(Sha256Stream::Engine::System, part, 0))
            << size << " bytes";
    }
    const std::string system = StreamDigest(Sha256Stream::Engine::System, bytes, 0);
    for (size_t piece : {1, 3, 55, 56, 63, 64, 65, 127, 1000}) {
        EXPECT_EQ(StreamDigest(Sha256Stream::Engine::Fastest, bytes, piece), system) << "pieces of " << piece;
    }
}

TEST(BackgroundSha256, DigestOfEverythingAddedInOrder) {
    // More than the queue holds, in blocks of a download's sizes, one larger than the queue.
    std::string bytes = Pattern(3 * BackgroundSha256::kMaxQueuedBytes + 1234);
    const size_t pieces[] = {1, 4096, 65536, 524288, BackgroundSha256::kMaxQueuedBytes + 5};
    BackgroundSha256 sha;
    size_t at = 0;
    for (int i = 0; at < bytes.size(); ++i) {
        const size_t size = std::min(pieces[i % 5], bytes.size() - at);
        ASSERT_TRUE(sha.Add(bytes.data() + at, size));
        at += size;
    }
    Sha256Digest digest{};
    ASSERT_TRUE(sha.Finish(digest));
    EXPECT_EQ(Hex(digest), StreamDigest(Sha256Stream::Engine::System, bytes, 0));
    EXPECT_FALSE(sha.Add("x", 1)) << "nothing is added after Finish";
    EXPECT_FALSE(sha.Finish(digest)) << "Finish is once";
}

TEST(BackgroundSha256, EmptyAndAbandoned) {
    {
        BackgroundSha256 sha;
        Sha256Digest digest{};
        ASSERT_TRUE(sha.Finish(digest));
        EXPECT_EQ(Hex(digest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    }
    // A download that fails halfway leaves blocks queued; the hasher still ends at once.
    const std::string bytes = Pattern(BackgroundSha256::kMaxQueuedBytes);
    BackgroundSha256 sha;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(sha.Add(bytes.data(), bytes.size()));
}
