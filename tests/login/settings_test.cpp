#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>

#include "common/text.h"
#include "login/profile.h"
#include "login/settings.h"
#include "test_files.h"

namespace {

const std::string kBom = "\xFF\xFE";

TEST(MainConfig, UrlDefaultsAndIsReadWhole) {
    TempFolder folder;
    MainConfig config(folder.path());
    EXPECT_EQ(folder.File(L"maincfg.ini"), config.file());
    EXPECT_EQ(DefaultServerUrl(), config.ServerUrl());  // no file
    EXPECT_EQ(0, std::wstring(DefaultServerUrl()).compare(0, 7, L"http://"));

    WriteBytes(config.file(), "[cloud_client]\r\nother=1\r\n");
    EXPECT_EQ(DefaultServerUrl(), config.ServerUrl());  // no key

    const std::string longUrl = "http://" + std::string(300, 'h') + ".example:8080";
    WriteBytes(config.file(), "[cloud_client]\r\nurl=" + longUrl + "\r\n");
    EXPECT_EQ(Utf8ToWide(longUrl), config.ServerUrl());

    WriteBytes(config.file(), "[cloud_client]\r\nurl=\r\n");
    EXPECT_EQ(L"", config.ServerUrl());  // present but empty is not the default
}

TEST(ConfigFile, MissingFileReadsDefaults) {
    TempFolder folder;
    ConfigFile config(ConfigFile::PathIn(folder.path()));
    EXPECT_EQ(folder.File(L"config.bin"), config.file());
    EXPECT_FALSE(config.Exists());
    EXPECT_EQ(L"", config.UserName());
    EXPECT_EQ(L"", config.EncodedPassword());
    EXPECT_FALSE(config.AutoLogin());
    EXPECT_FALSE(config.Exists());  // reading creates nothing
}

TEST(ConfigFile, AutoLoginIsTrueInAnyLetterCase) {
    TempFolder folder;
    ConfigFile config(ConfigFile::PathIn(folder.path()));
    struct Row {
        const char* value;
        bool on;
    } rows[] = {{"true", true}, {"TRUE", true}, {"True", true}, {"tRuE", true},  {"false", false},
                {"yes", false}, {"1", false},   {"", false},    {"true1", false}};
    for (const Row& row : rows) {
        WriteBytes(config.file(), std::string("[cloud_client]\r\nautologin=") + row.value + "\r\n");
        EXPECT_EQ(row.on, config.AutoLogin()) << row.value;
    }
    config.SetAutoLogin(true);
    EXPECT_TRUE(config.AutoLogin());
    config.SetAutoLogin(false);
    EXPECT_FALSE(config.AutoLogin());
}

TEST(ConfigFile, NewFileIsUnicodeAndKeepsEveryCharacter) {
    TempFolder folder;
    ConfigFile config(ConfigFile::PathIn(folder.path()));
    const std::wstring name = L"김민수 \xD83D\xDE00 张三";                 // Hangul and an emoji: outside code page 936
    const std::wstring password = L"c" + std::wstring(300, L'A') + L"==";  // past the old 98-character cut
    config.SetUserName(name);
    config.SetEncodedPassword(password);
    config.SetAutoLogin(true);
    config.SetClickCloseExit();
    ASSERT_TRUE(config.Exists());

    const std::string bytes = ReadBytes(config.file());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(kBom, bytes.substr(0, 2));
    // The private-profile functions went on writing UTF-16: the name is there as such.
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_NE(std::wstring::npos, text.find(L"username=" + name)) << WideToUtf8(text);
    EXPECT_NE(std::wstring::npos, text.find(L"click_close_exit=true"));

    ConfigFile again(config.file());
    EXPECT_EQ(name, again.UserName());
    EXPECT_EQ(password, again.EncodedPassword());
    EXPECT_TRUE(again.AutoLogin());
}

TEST(ConfigFile, ValuesComeBackAsWritten) {
    TempFolder folder;
    const std::wstring values[] = {
        L"plain", L" leading", L"trailing ", L"  both  ", L"\"quoted\"", L"'single'", L"\"",    L"'",        L"\"\"",
        L"a\"b",  L"\"open",   L"close'",    L"=eq=",     L"[section]",  L";comment", L"#hash", L"\"mixed'", L"",
    };
    for (const wchar_t* encoding : {L"unicode", L"ansi"}) {
        ConfigFile config(folder.File(std::wstring(encoding) + L".bin"));
        if (encoding == std::wstring(L"ansi")) WriteBytes(config.file(), "[cloud_client]\r\n");
        for (const std::wstring& value : values) {
            config.SetUserName(value);
            EXPECT_EQ(value, config.UserName()) << WideToUtf8(encoding) << " [" << WideToUtf8(value) << "]";
        }
    }
}

TEST(ConfigFile, ExistingAnsiFileStaysAnsi) {
    TempFolder folder;
    ConfigFile config(ConfigFile::PathIn(folder.path()));
    WriteBytes(config.file(), "[cloud_client]\r\nusername=" + WideToAnsi(L"李四") + "\r\npassword=YQQ==\r\n");
    EXPECT_EQ(L"李四", config.UserName());
    config.SetUserName(L"王五");
    config.SetAutoLogin(false);

    const std::string bytes = ReadBytes(config.file());
    EXPECT_NE(kBom, bytes.substr(0, 2));
    EXPECT_NE(std::string::npos, bytes.find("username=" + WideToAnsi(L"王五")));
    EXPECT_EQ(L"王五", config.UserName());
    EXPECT_EQ(L"YQQ==", config.EncodedPassword());
    EXPECT_FALSE(config.AutoLogin());
}

TEST(ConfigFile, EmptyExistingFileBecomesUnicode) {
    TempFolder folder;
    ConfigFile config(ConfigFile::PathIn(folder.path()));
    WriteBytes(config.file(), "");
    EXPECT_TRUE(config.Exists());
    config.SetUserName(L"\xD55C\xAE00");
    EXPECT_EQ(kBom, ReadBytes(config.file()).substr(0, 2));
    EXPECT_EQ(L"\xD55C\xAE00", config.UserName());
}

TEST(Profile, ParseCount) {
    struct Row {
        const wchar_t* text;
        int value;
    } rows[] = {{L"0", 0},
                {L"3", 3},
                {L"  12", 12},
                {L"+4", 4},
                {L"12abc", 12},
                {L"abc", 0},
                {L"", 0},
                {L"-3", 0},
                {L"- 3", 0},
                {L"2147483647", INT_MAX},
                {L"99999999999999999999", INT_MAX}};
    for (const Row& row : rows) EXPECT_EQ(row.value, profile::ParseCount(row.text)) << WideToUtf8(row.text);
}

TEST(Profile, ExecutableDirectoryHoldsThisProgram) {
    std::wstring dir = profile::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(L'\\', dir.back());
    EXPECT_TRUE(profile::FileExists(dir + L"\\unit_login.exe"));
}

}  // namespace
