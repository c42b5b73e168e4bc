#include "login/client_settings.h"

#include "login/account_history.h"

ClientSettings::ClientSettings(const std::wstring& appDir)
    : appDir_(appDir), mainConfig_(appDir), config_(ConfigFile::PathIn(appDir)) {}

std::wstring ClientSettings::ServerUrl() const {
    std::lock_guard<std::mutex> guard(lock_);
    return mainConfig_.ServerUrl();
}

StoredLogin ClientSettings::ReadStoredLogin() const {
    std::lock_guard<std::mutex> guard(lock_);
    StoredLogin stored;
    stored.fileExists = config_.Exists();
    if (!stored.fileExists) return stored;
    // A damaged file must not feed megabytes into the boxes, the request and the next save.
    // The password's cut is the encoded length of a full password box (applied on opening,
    // as for the history), so a remembered long password comes back whole.
    stored.userName = config_.UserName().substr(0, kMaxCredentialChars);
    stored.encodedPassword = config_.EncodedPassword();
    stored.autoLogin = config_.AutoLogin();
    return stored;
}

void ClientSettings::LoadHistory(AccountHistory& history) const {
    std::lock_guard<std::mutex> guard(lock_);
    history.SetFile(config_.file());
    history.Load();
}

void ClientSettings::RecordAttemptUser(const std::wstring& userName) {
    std::lock_guard<std::mutex> guard(lock_);
    config_.SetUserName(userName);
}

void ClientSettings::RecordSuccessfulLogin(const std::wstring& userName, const std::wstring& encodedPassword,
                                           bool rememberAtStart, bool autoLoginBox) {
    std::lock_guard<std::mutex> guard(lock_);
    AccountHistory history;
    history.SetFile(config_.file());
    history.Load();
    history.Add(userName, encodedPassword);
    history.Save();
    history.Clear();

    if (rememberAtStart) {
        config_.SetEncodedPassword(encodedPassword);
        config_.SetAutoLogin(autoLoginBox);
    } else {
        config_.SetEncodedPassword(std::wstring());
    }
}

void ClientSettings::RecordClickCloseExit() {
    std::lock_guard<std::mutex> guard(lock_);
    config_.SetClickCloseExit();
}
