// Passwords at rest: sealed for the signed-in Windows user in "config.bin", older open values
// still read, values that do not open read as no password, and history entries of another
// user kept as they were.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <utility>
#include <vector>

#include "common/base64.h"
#include "login/account_history.h"
#include "login/client_settings.h"
#include "login/profile.h"
#include "login/sealed_password.h"
#include "login/settings.h"
#include "test_files.h"

namespace {

// A value sealed the way another program (or the same program for another user) would: the
// system's protection with other entropy bytes, marked like ours.
std::wstring SealedElsewhere(const std::wstring& encoded, const char* entropyText) {
    DATA_BLOB plain{static_cast<DWORD>(encoded.size() * sizeof(wchar_t)),
                    reinterpret_cast<BYTE*>(const_cast<wchar_t*>(encoded.data()))};
    DATA_BLOB entropy{static_cast<DWORD>(strlen(entropyText)), reinterpret_cast<BYTE*>(const_cast<char*>(entropyText))};
    DATA_BLOB sealed{};
    if (!CryptProtectData(&plain, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &sealed)) return L"";
    Base64Encoder encoder;
    std::wstring text = kSealedPrefix + std::wstring(encoder.Encode(sealed.pbData, sealed.cbData));
    LocalFree(sealed.pbData);
    return text;
}

std::wstring Key(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    return profile::ReadString(file, section, key, L"<none>");
}

TEST(SealedPassword, RoundTripKeepsTheEncodedPasswordAndHidesIt) {
    for (const std::wstring& encoded : {std::wstring(L"cKGFzc3dvcmQ="), std::wstring(L"5Qa+G56CB/x=="),
                                        std::wstring(kMaxEncodedPasswordChars, L'Z')}) {
        const std::wstring sealed = SealPassword(encoded);
        ASSERT_TRUE(IsSealedPassword(sealed));
        EXPECT_EQ(std::wstring::npos, sealed.find(encoded));
        EXPECT_EQ(std::wstring::npos, sealed.find_first_of(L" \t\r\n\"'"));  // an INI value as it is
        OpenedPassword opened = OpenStoredPassword(sealed);
        EXPECT_FALSE(opened.unreadable);
        EXPECT_EQ(encoded, opened.encodedPassword);
    }
    // Sealing twice gives different text for the same password, both opening to it.
    EXPECT_NE(SealPassword(L"aQbmV3"), SealPassword(L"aQbmV3"));
    EXPECT_EQ(L"", SealPassword(L""));
    EXPECT_EQ(L"", OpenStoredPassword(L"").encodedPassword);
    EXPECT_FALSE(OpenStoredPassword(L"").unreadable);
}

TEST(SealedPassword, OlderOpenValuesAreReadAsTheyAre) {
    OpenedPassword opened = OpenStoredPassword(L"ZKGVtbzEyMw==");
    EXPECT_FALSE(opened.unreadable);
    EXPECT_EQ(L"ZKGVtbzEyMw==", opened.encodedPassword);
    // No encoded password can look sealed: base64 text and a capital letter hold no ":".
    EXPECT_FALSE(IsSealedPassword(L"dKpYXBpMTo="));
}

TEST(SealedPassword, ValuesThatDoNotOpenGiveNoPassword) {
    std::wstring sealed = SealPassword(L"cKGFzc3dvcmQ=");
    std::wstring flipped = sealed;
    flipped[flipped.size() - 8] = flipped[flipped.size() - 8] == L'A' ? L'B' : L'A';  // in the signature
    const std::wstring cases[] = {
        SealedElsewhere(L"cKGFzc3dvcmQ=", "another program's entropy"),
        SealedElsewhere(L"cKGFzc3dvcmQ=", ""),
        flipped,
        sealed.substr(0, sealed.size() / 2),
        kSealedPrefix,
        std::wstring(kSealedPrefix) + L"!!not base64!!",
        std::wstring(kSealedPrefix) + std::wstring(100000, L'A'),
    };
    for (const std::wstring& value : cases) {
        OpenedPassword opened = OpenStoredPassword(value);
        EXPECT_TRUE(opened.unreadable) << value.size();
        EXPECT_EQ(L"", opened.encodedPassword) << value.size();
    }
}

TEST(SealedPassword, ConfigFileWritesSealedAndReadsBothForms) {
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    ConfigFile config(path);
    config.SetEncodedPassword(L"cKGFzc3dvcmQ=");
    EXPECT_TRUE(IsSealedPassword(Key(path, L"cloud_client", L"password")));
    EXPECT_EQ(L"cKGFzc3dvcmQ=", config.EncodedPassword());
    config.SetEncodedPassword(L"");
    EXPECT_EQ(L"", Key(path, L"cloud_client", L"password"));

    // A file as the client wrote it before: the open value signs in as it is.
    WriteBytes(path, "[cloud_client]\r\nusername=demo\r\npassword=ZKGVtbzEyMw==\r\nautologin=true\r\n");
    StoredLogin stored = ClientSettings(folder.path()).ReadStoredLogin();
    EXPECT_EQ(L"demo", stored.userName);
    EXPECT_EQ(L"ZKGVtbzEyMw==", stored.encodedPassword);
    EXPECT_TRUE(stored.autoLogin);
}

TEST(SealedPassword, AnotherUsersStoredPasswordReadsAsNone) {
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    WriteBytes(path, "[cloud_client]\r\nusername=demo\r\nautologin=true\r\n");
    WritePrivateProfileStringW(L"cloud_client", L"password", SealedElsewhere(L"ZKGVtbzEyMw==", "other").c_str(),
                               path.c_str());
    StoredLogin stored = ClientSettings(folder.path()).ReadStoredLogin();
    EXPECT_EQ(L"demo", stored.userName);  // the name stays
    EXPECT_EQ(L"", stored.encodedPassword);
    EXPECT_TRUE(stored.autoLogin);  // the choice stays; without a password it starts nothing
}

TEST(SealedPassword, RememberedLongPasswordComesBackWhole) {
    // 256 typed characters of three UTF-8 bytes each: the longest encoded form.
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    const std::wstring longest = L"5" + std::wstring(kMaxEncodedPasswordChars - 1, L'q');
    ClientSettings(folder.path()).RecordSuccessfulLogin(L"u", longest, true, true);
    EXPECT_EQ(longest, ClientSettings(folder.path()).ReadStoredLogin().encodedPassword);
    AccountHistory history;
    history.SetFile(path);
    history.Load();
    ASSERT_EQ(1, history.count());
    EXPECT_EQ(longest, history.Find(L"u")->encodedPassword);
    // Longer values come from no password box: both places cut them the same way.
    WritePrivateProfileStringW(L"cloud_client", L"password", (longest + L"xyz").c_str(), path.c_str());
    WritePrivateProfileStringW(L"HistoryAccount", L"password1", (longest + L"xyz").c_str(), path.c_str());
    EXPECT_EQ(longest, ClientSettings(folder.path()).ReadStoredLogin().encodedPassword);
    AccountHistory again;
    again.SetFile(path);
    again.Load();
    EXPECT_EQ(longest, again.Find(L"u")->encodedPassword);
}

TEST(SealedPassword, HistoryOfTheOlderFormLosesNoAccountAndIsSealedAtTheNextSave) {
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    WriteBytes(path,
               "[cloud_client]\r\nusername=bob\r\npassword=YKm9i\r\nautologin=false\r\n"
               "[HistoryAccount]\r\nAccountCount=3\r\nusername1=alice\r\npassword1=YXWxpY2U=\r\n"
               "username2=bob\r\npassword2=YKm9i\r\nusername3=carol\r\npassword3=\r\n");
    std::vector<std::pair<std::wstring, std::wstring>> before = {
        {L"alice", L"YXWxpY2U="}, {L"bob", L"YKm9i"}, {L"carol", L""}};
    {
        AccountHistory history;
        history.SetFile(path);
        history.Load();
        std::vector<std::pair<std::wstring, std::wstring>> loaded;
        for (const auto& e : history.entries()) loaded.emplace_back(e.userName, e.encodedPassword);
        EXPECT_EQ(before, loaded);
    }
    // The next sign-in saves: every password sealed, every account still there.
    ClientSettings(folder.path()).RecordSuccessfulLogin(L"dave", L"ZZGF2ZQ==", false, false);
    for (const wchar_t* key : {L"password1", L"password2", L"password4"}) {
        EXPECT_TRUE(IsSealedPassword(Key(path, L"HistoryAccount", key))) << key;
    }
    EXPECT_EQ(L"", Key(path, L"HistoryAccount", L"password3"));
    AccountHistory history;
    history.SetFile(path);
    history.Load();
    std::vector<std::pair<std::wstring, std::wstring>> loaded;
    for (const auto& e : history.entries()) loaded.emplace_back(e.userName, e.encodedPassword);
    before.emplace_back(L"dave", L"ZZGF2ZQ==");
    EXPECT_EQ(before, loaded);
    // The file no longer holds any password in the open.
    const std::string bytes = ReadBytes(path);
    for (const char* open : {"Y\0X\0W\0x\0p\0Y\0",
                             "Y\0K\0m\0"
                             "9\0i\0",
                             "Z\0Z\0G\0F\0"}) {
        EXPECT_EQ(std::string::npos, bytes.find(std::string(open, 10))) << open;
    }
}

TEST(SealedPassword, AnotherUsersHistoryEntriesSurviveThisUsersSave) {
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    const std::wstring foreign = SealedElsewhere(L"YXWxpY2U=", "another user");
    WritePrivateProfileStringW(L"HistoryAccount", L"AccountCount", L"1", path.c_str());
    WritePrivateProfileStringW(L"HistoryAccount", L"username1", L"alice", path.c_str());
    WritePrivateProfileStringW(L"HistoryAccount", L"password1", foreign.c_str(), path.c_str());

    AccountHistory history;
    history.SetFile(path);
    history.Load();
    ASSERT_EQ(1, history.count());
    EXPECT_EQ(L"", history.Find(L"alice")->encodedPassword);  // the name, no password
    history.Add(L"bob", L"YKm9i");
    history.Save();
    EXPECT_EQ(L"alice", Key(path, L"HistoryAccount", L"username1"));
    EXPECT_EQ(foreign, Key(path, L"HistoryAccount", L"password1"));  // kept for its own user

    // Signing in as that account here replaces the entry with this user's password.
    history.Add(L"alice", L"YbmV3");
    history.Save();
    AccountHistory again;
    again.SetFile(path);
    again.Load();
    EXPECT_EQ(L"YbmV3", again.Find(L"alice")->encodedPassword);
}

}  // namespace
