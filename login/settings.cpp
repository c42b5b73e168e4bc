#include "login/settings.h"

#include <cwchar>

#include "login/profile.h"
#include "login/sealed_password.h"

const wchar_t kSettingsSection[] = L"cloud_client";

const wchar_t* DefaultServerUrl() { return L"" QUORVANE_DEFAULT_SERVER_URL; }

std::wstring MainConfig::ServerUrl() const {
    return profile::ReadString(file_, kSettingsSection, L"url", DefaultServerUrl());
}

bool ConfigFile::Exists() const { return profile::FileExists(file_); }

std::wstring ConfigFile::UserName() const { return profile::ReadString(file_, kSettingsSection, L"username", L""); }

std::wstring ConfigFile::EncodedPassword() const {
    return OpenStoredPassword(profile::ReadString(file_, kSettingsSection, L"password", L"")).encodedPassword;
}

bool ConfigFile::AutoLogin() const {
    return _wcsicmp(profile::ReadString(file_, kSettingsSection, L"autologin", L"false").c_str(), L"true") == 0;
}

void ConfigFile::SetUserName(const std::wstring& userName) const {
    profile::WriteString(file_, kSettingsSection, L"username", userName);
}

void ConfigFile::SetEncodedPassword(const std::wstring& encodedPassword) const {
    profile::WriteString(file_, kSettingsSection, L"password", SealPassword(encodedPassword));
}

void ConfigFile::SetAutoLogin(bool on) const {
    profile::WriteString(file_, kSettingsSection, L"autologin", on ? L"true" : L"false");
}

void ConfigFile::SetClickCloseExit() const {
    profile::WriteString(file_, kSettingsSection, L"click_close_exit", L"true");
}
