#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "login/password.h"

namespace {

// Decodes with the system's decoder, independent of the encoder under test.
std::string DecodeBase64(const std::wstring& text) {
    DWORD size = 0;
    if (!CryptStringToBinaryW(text.c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) return "?";
    std::vector<BYTE> bytes(size + 1);
    if (!CryptStringToBinaryW(text.c_str(), 0, CRYPT_STRING_BASE64, bytes.data(), &size, nullptr, nullptr)) return "?";
    return std::string(reinterpret_cast<char*>(bytes.data()), size);
}

TEST(EncodePassword, LetterGoesAfterTheFirstBase64Character) {
    struct Row {
        std::wstring password;
        std::wstring expected;  // with the letter Q
    } rows[] = {
        {L"", L""},
        {L"a", L"YQQ=="},  // one character: the letter is still second
        {L"abc", L"YQWJj"},
        {L"secret12", L"cQ2VjcmV0MTI="},
        {L"密码", L"5Qa+G56CB"},  // UTF-8 bytes, not the ANSI code page
        {L"p\"w\\d", L"cQCJ3XGQ="},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, EncodePasswordWithLetter(row.password, L'Q')) << WideToUtf8(row.password);
    }
}

TEST(EncodePassword, RandomFormDecodesBackAfterRemovingTheLetter) {
    const std::wstring passwords[] = {
        L"a",
        L"ab",
        L"abc",
        L"Passw0rd!",
        L"密码123",
        L"中文密码很长很长很长很长很长很长很长很长很长很长很长很长",
        std::wstring(200, L'x'),  // long enough for the system encoder to break lines
    };
    for (const std::wstring& password : passwords) {
        std::wstring encoded = EncodePassword(password);
        const std::string utf8 = WideToUtf8(password);
        ASSERT_GE(encoded.size(), 3u);
        EXPECT_EQ(((utf8.size() + 2) / 3) * 4 + 1, encoded.size()) << utf8;
        EXPECT_GE(encoded[1], L'A');
        EXPECT_LE(encoded[1], L'Z');
        EXPECT_EQ(std::wstring::npos, encoded.find_first_of(L"\r\n"));
        std::wstring base64 = encoded;
        base64.erase(1, 1);
        EXPECT_EQ(utf8, DecodeBase64(base64));
        EXPECT_EQ(password, Utf8ToWide(DecodeBase64(base64)));
    }
    EXPECT_EQ(L"", EncodePassword(L""));
}

TEST(PickCapitalLetter, EveryLetterEquallyLikely) {
    // Every value the run-time generator can give, once: each letter must come up equally
    // often, the top values that would favour A..H being drawn again.
    constexpr int kRandMax = 32767;
    std::vector<int> counts(26, 0);
    for (int value = 0; value <= kRandMax; ++value) {
        int calls = 0;
        wchar_t letter = PickCapitalLetter([&] { return ++calls == 1 ? value : 1; }, kRandMax);
        if (value >= 32760) {
            EXPECT_EQ(2, calls) << value;
            EXPECT_EQ(L'B', letter);
            continue;
        }
        ASSERT_EQ(1, calls);
        ASSERT_GE(letter, L'A');
        ASSERT_LE(letter, L'Z');
        ++counts[letter - L'A'];
    }
    for (int c : counts) EXPECT_EQ(32760 / 26, c);
}

TEST(PickCapitalLetter, SmallAndExactRanges) {
    int value = 25;
    EXPECT_EQ(L'Z', PickCapitalLetter([&] { return value; }, 25));
    value = 10;
    EXPECT_EQ(L'K', PickCapitalLetter([&] { return value; }, 10));  // range below 26: taken as is
    int calls = 0;
    EXPECT_EQ(L'C', PickCapitalLetter([&] { return ++calls == 1 ? -1 : 2; }, 32767));
}

}  // namespace
