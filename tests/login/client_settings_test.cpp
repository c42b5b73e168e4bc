#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "login/account_history.h"
#include "login/client_settings.h"
#include "login/profile.h"
#include "login/settings.h"
#include "test_files.h"

namespace {

TEST(ClientSettings, OverlongStoredCredentialsAreCut) {
    TempFolder folder;
    const std::wstring path = ConfigFile::PathIn(folder.path());
    ConfigFile config(path);
    config.SetUserName(std::wstring(1000000, L'n'));
    WritePrivateProfileStringW(L"cloud_client", L"password", std::wstring(5000, L'p').c_str(), path.c_str());
    StoredLogin stored = ClientSettings(folder.path()).ReadStoredLogin();
    EXPECT_EQ(std::wstring(kMaxCredentialChars, L'n'), stored.userName);
    // The password's cut is the longest encoding of a full password box.
    EXPECT_EQ(std::wstring(kMaxEncodedPasswordChars, L'p'), stored.encodedPassword);
}

TEST(ClientSettings, FirstSuccessCreatesTheFileAndRememberDecidesThePassword) {
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
        EXPECT_FALSE(ClientSettings(folder.path()).ReadStoredLogin().fileExists);
        ConfigFile config(path);
        config.SetUserName(L"张三");  // written before the request
        WritePrivateProfileStringW(L"cloud_client", L"autologin", L"kept", path.c_str());
        config.SetEncodedPassword(L"old");

        ClientSettings(folder.path()).RecordSuccessfulLogin(L"张三", L"aQbmV3", row.remember, row.autoLoginBox);

        StoredLogin stored = ClientSettings(folder.path()).ReadStoredLogin();
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

TEST(ClientSettings, EveryFileIsTheProgramFoldersOwn) {
    TempFolder folder;
    ClientSettings settings(folder.path());
    EXPECT_EQ(DefaultServerUrl(), settings.ServerUrl());  // no "maincfg.ini" yet
    WritePrivateProfileStringW(L"cloud_client", L"url", L"http://10.1.2.3:81", folder.File(L"maincfg.ini").c_str());
    EXPECT_EQ(L"http://10.1.2.3:81", settings.ServerUrl());

    const std::wstring config = folder.File(L"config.bin");
    settings.RecordAttemptUser(L"\u674e\u56db");
    EXPECT_EQ(L"\u674e\u56db", profile::ReadString(config, L"cloud_client", L"username", L""));
    settings.RecordSuccessfulLogin(L"\u674e\u56db", L"aQbmV3", true, true);
    settings.RecordClickCloseExit();
    EXPECT_EQ(L"true", profile::ReadString(config, L"cloud_client", L"click_close_exit", L""));
    // Ending the client changes nothing else that was stored.
    StoredLogin stored = settings.ReadStoredLogin();
    EXPECT_EQ(L"\u674e\u56db", stored.userName);
    EXPECT_EQ(L"aQbmV3", stored.encodedPassword);
    EXPECT_TRUE(stored.autoLogin);

    AccountHistory history;
    settings.LoadHistory(history);
    EXPECT_EQ(config, history.file());
    ASSERT_EQ(1, history.count());
    EXPECT_EQ(L"aQbmV3", history.Find(L"\u674e\u56db")->encodedPassword);
}

TEST(ClientSettings, SignInsAtOnceLoseNoAccount) {
    // Each save reads the history, adds one account and writes it back: two at once without the
    // owner's lock would each write back a list without the other's account.
    TempFolder folder;
    ClientSettings settings(folder.path());
    constexpr int kUsers = 8;
    std::vector<std::thread> threads;
    for (int i = 0; i < kUsers; ++i) {
        threads.emplace_back([&settings, i] {
            const std::wstring name = L"user" + std::to_wstring(i);
            settings.RecordAttemptUser(name);
            settings.RecordSuccessfulLogin(name, L"cKGFzcw==", i % 2 == 0, true);
        });
    }
    for (std::thread& t : threads) t.join();
    AccountHistory history;
    settings.LoadHistory(history);
    std::set<std::wstring> names;
    for (const AccountHistory::Entry& e : history.entries()) names.insert(e.userName);
    EXPECT_EQ(static_cast<size_t>(kUsers), names.size());
    EXPECT_EQ(kUsers, history.count());
}

}  // namespace
