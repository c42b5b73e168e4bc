#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/base64.h"
#include "common/md5.h"
#include "common/mime.h"
#include "common/text.h"

namespace {

// The tests run with the Chinese ANSI code page, as the users' PCs do.

TEST(TextConversion, RoundTripsChineseThroughEveryEncoding) {
    const std::wstring wide = L"青杉工作台客户端 v1";
    const std::string utf8 =
        "\xe9\x9d\x92\xe6\x9d\x89\xe5\xb7\xa5\xe4\xbd\x9c\xe5\x8f\xb0\xe5\xae\xa2\xe6\x88\xb7\xe7\xab\xaf v1";
    const std::string gbk = "\xc7\xe0\xc9\xbc\xb9\xa4\xd7\xf7\xcc\xa8\xbf\xcd\xbb\xa7\xb6\xcb v1";
    EXPECT_EQ(utf8, WideToUtf8(wide));
    EXPECT_EQ(wide, Utf8ToWide(utf8));
    EXPECT_EQ(gbk, WideToAnsi(wide));
    EXPECT_EQ(wide, AnsiToWide(gbk));
    EXPECT_EQ(gbk, Utf8ToAnsi(utf8));
}

TEST(TextConversion, EmptyAndEmbeddedNul) {
    EXPECT_EQ(L"", Utf8ToWide(""));
    EXPECT_EQ("", WideToUtf8(L""));
    EXPECT_EQ(L"", AnsiToWide(""));
    EXPECT_EQ("", WideToAnsi(L""));
    EXPECT_EQ(L"abc", Utf8ToWide("abc"));
    // Reading stops at the first NUL in every direction.
    EXPECT_EQ(L"ab", Utf8ToWide(std::string("ab\0cd", 5)));
    EXPECT_EQ(L"ab", AnsiToWide(std::string("ab\0cd", 5)));
    EXPECT_EQ("ab", WideToAnsi(std::wstring(L"ab\0cd", 5)));
    EXPECT_EQ("ab", WideToUtf8(std::wstring(L"ab\0cd", 5)));
}

TEST(TextConversion, UnrepresentableCharactersBecomeSubstitutes) {
    // Hangul and an emoji have no code page 936 form: the system's default character appears
    // instead, the text around them survives.
    const std::string ansi = WideToAnsi(
        L"a\xD55C"
        L"b\xD83D\xDE00"
        L"c");
    ASSERT_GE(ansi.size(), 4u);
    EXPECT_EQ('a', ansi.front());
    EXPECT_EQ('c', ansi.back());
    EXPECT_NE(std::string::npos, ansi.find('?'));
    // UTF-8 carries them whole.
    EXPECT_EQ(std::wstring(L"\xD55C\xD83D\xDE00"), Utf8ToWide(WideToUtf8(L"\xD55C\xD83D\xDE00")));
}

std::wstring B64(const std::string& bytes) {
    Base64Encoder encoder;
    const wchar_t* text = encoder.Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return text ? std::wstring(text) : std::wstring(L"<null>");
}

TEST(Base64, Rfc4648Vectors) {
    struct Row {
        const char* in;
        const wchar_t* out;
    } rows[] = {{"f", L"Zg=="},        {"fo", L"Zm8="},        {"foo", L"Zm9v"},
                {"foob", L"Zm9vYg=="}, {"fooba", L"Zm9vYmE="}, {"foobar", L"Zm9vYmFy"}};
    for (const Row& row : rows) EXPECT_EQ(row.out, B64(row.in)) << row.in;
}

TEST(Base64, LongInputIsOneLine) {
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(i * 7));
    std::wstring text = B64(bytes);
    EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n"));
    EXPECT_EQ(400u, text.size());
    EXPECT_EQ(L"AAcOFRwjKjE4P0ZNVFtiaXB3foWMk5qhqK+2vcTL0tng5+7", text.substr(0, 47));
}

TEST(Base64, EncoderReusesItsBuffer) {
    Base64Encoder encoder;
    const unsigned char a[] = {'a', 'b', 'c'};
    const unsigned char b[] = {'x'};
    EXPECT_STREQ(L"YWJj", encoder.Encode(a, 3));
    EXPECT_STREQ(L"eA==", encoder.Encode(b, 1));
}

std::string Md5Of(const std::string& text) {
    Md5 md5;
    md5.Update(text);
    return md5.HexDigest();
}

TEST(Md5Digest, Rfc1321Vectors) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5Of(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", Md5Of("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5Of("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", Md5Of("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", Md5Of("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              Md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              Md5Of("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));
}

TEST(Md5Digest, PaddingBoundaries) {
    // Lengths around the 56- and 64-byte block edges, against the same digest computed by
    // feeding one byte at a time.
    for (size_t n : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        std::string text(n, 'q');
        Md5 bytewise;
        for (char c : text) bytewise.Update(&c, 1);
        EXPECT_EQ(Md5Of(text), bytewise.HexDigest()) << n;
    }
    EXPECT_EQ("014842d480b571495a4a0363793f7367", Md5Of(std::string(64, 'a')));
}

TEST(Md5Digest, MegabytesInOddPiecesMatchOneShot) {
    std::string data(3 * 1024 * 1024 + 17, '\0');
    uint32_t x = 12345;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    Md5 pieces;
    size_t at = 0, step = 1;
    while (at < data.size()) {
        size_t n = std::min(step, data.size() - at);
        pieces.Update(data.data() + at, n);
        at += n;
        step = step * 3 % 9973 + 1;
    }
    EXPECT_EQ(Md5Of(data), pieces.HexDigest());
    // One million 'a's: a well-known digest.
    EXPECT_EQ("7707d6ae4e027c70eea2a935c2296f21", Md5Of(std::string(1000000, 'a')));
}

TEST(Md5Digest, DigestThenContinue) {
    Md5 md5;
    md5.Update(std::string("ab"));
    EXPECT_EQ("187ef4436122d1cc2f40dc2b92f0eba0", md5.HexDigest());
    EXPECT_EQ("187ef4436122d1cc2f40dc2b92f0eba0", md5.HexDigest());
    md5.Update(std::string("c"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5.HexDigest());
}

TEST(Md5Digest, ToLowerHex) {
    const unsigned char bytes[] = {0x00, 0x0f, 0xa5, 0xff};
    EXPECT_EQ("000fa5ff", ToLowerHex(bytes, 4));
    EXPECT_EQ("", ToLowerHex(bytes, 0));
}

TEST(MimeTypes, ExactLookups) {
    const MimeTypeTable& table = MimeTypeTable::Instance();
    EXPECT_EQ(20u, table.size());
    std::wstring ext;
    ASSERT_TRUE(table.ExtensionForMimeType(L"image/png", &ext));
    EXPECT_EQ(L"png", ext);
    ASSERT_TRUE(
        table.ExtensionForMimeType(L"application/vnd.openxmlformats-officedocument.wordprocessingml.document", &ext));
    EXPECT_EQ(L"docx", ext);
    ASSERT_TRUE(table.ExtensionForMimeType(L"video/x-sgi-movie", &ext));
    EXPECT_EQ(L"movie", ext);
    EXPECT_FALSE(table.ExtensionForMimeType(L"IMAGE/PNG", &ext));
    EXPECT_FALSE(table.ExtensionForMimeType(L"image/png; q=1", &ext));
    EXPECT_FALSE(table.ExtensionForMimeType(L"image/*", &ext));
    EXPECT_FALSE(table.ExtensionForMimeType(L"", &ext));
}

}  // namespace
