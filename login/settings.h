// The client's two settings files beside the executable: "maincfg.ini" (the server address,
// never written by the client) and "config.bin" (last user's credentials and choices; an
// INI file despite its extension).
#pragma once
#include <string>

extern const wchar_t kSettingsSection[];  // "cloud_client"

// The built-in server base URL, fixed at build time.
const wchar_t* DefaultServerUrl();

class MainConfig {
public:
    explicit MainConfig(const std::wstring& appDir) : file_(appDir + L"\\maincfg.ini") {}

    // "url" of "cloud_client", whole, or the built-in default when the file or key is missing.
    std::wstring ServerUrl() const;
    const std::wstring& file() const { return file_; }

private:
    std::wstring file_;
};

class ConfigFile {
public:
    static std::wstring PathIn(const std::wstring& appDir) { return appDir + L"\\config.bin"; }
    explicit ConfigFile(const std::wstring& path) : file_(path) {}

    bool Exists() const;

    std::wstring UserName() const;  // "username", default empty
    // "password", opened (see login/sealed_password.h): empty when missing, and empty as well
    // when the stored value is sealed for another Windows user or damaged.
    std::wstring EncodedPassword() const;
    bool AutoLogin() const;  // "autologin" equals "true" in any letter case

    void SetUserName(const std::wstring& userName) const;
    // Writes the sealed form (an empty password stays empty).
    void SetEncodedPassword(const std::wstring& encodedPassword) const;
    void SetAutoLogin(bool on) const;  // "true" / "false"
    void SetClickCloseExit() const;    // "click_close_exit" = "true"

    const std::wstring& file() const { return file_; }

private:
    std::wstring file_;
};
