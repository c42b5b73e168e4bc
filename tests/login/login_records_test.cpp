#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "login/account_history.h"
#include "login/login_records.h"
#include "login/profile.h"
#include "login/settings.h"
#include "test_files.h"

namespace {

TEST(LoginRecords, OverlongStoredCredentialsAreCut) {
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    ConfigFile config(path);
    config.SetUserName(std::wstring(1000000, L'n'));
    WritePrivateProfileStringW(L"cloud_client", L"password", std::wstring(5000, L'p').c_str(), path.c_str());
    StoredLogin stored = ReadStoredLogin(path);
    EXPECT_EQ(std::wstring(kMaxCredentialChars, L'n'), stored.userName);
    // The password's cut is the longest encoding of a full password box.
    EXPECT_EQ(std::wstring(kMaxEncodedPasswordChars, L'p'), stored.encodedPassword);
}

TEST(LoginRecords, FirstSuccessCreatesTheFileAndRememberDecidesThePassword) {
    struct Row {
        bool remember;
        bool autoLoginBox;
        const wchar_t* password;   // "password" afterwards
        const wchar_t* autologin;  // "autologin" afterwards, as stored
    } rows[] = {
        {true, true, L"aQbmV3", L"true"},
        {true, false, L"aQbmV3", L"false"},
        {false, true, L"", L"kept"},  // not remembered: autologin untouched
    };
    for (const Row& row : rows) {
        TempFolder folder;
        const std::wstring path = ConfigFile::PathIn(folder.path());
        EXPECT_FALSE(ReadStoredLogin(path).fileExists);
        ConfigFile config(path);
        config.SetUserName(L"张三");  // written before the request
        WritePrivateProfileStringW(L"cloud_client", L"autologin", L"kept", path.c_str());
        config.SetEncodedPassword(L"old");

        RecordSuccessfulLogin(path, L"张三", L"aQbmV3", row.remember, row.autoLoginBox);

        StoredLogin stored = ReadStoredLogin(path);
        EXPECT_TRUE(stored.fileExists);
        EXPECT_EQ(L"张三", stored.userName);
        EXPECT_EQ(row.password, stored.encodedPassword);
        EXPECT_EQ(row.autologin, profile::ReadString(path, L"cloud_client", L"autologin", L""));
        EXPECT_EQ(row.autologin == std::wstring(L"true"), stored.autoLogin);
        AccountHistory history;
        history.SetFile(path);
        history.Load();
        ASSERT_EQ(1, history.count());
        EXPECT_EQ(L"aQbmV3", history.Find(L"张三")->encodedPassword);  // kept even when not remembered
    }
}

}  // namespace
