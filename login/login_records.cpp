#include "login/login_records.h"

#include "login/account_history.h"
#include "login/settings.h"

StoredLogin ReadStoredLogin(const std::wstring& configPath) {
    StoredLogin stored;
    ConfigFile config(configPath);
    stored.fileExists = config.Exists();
    if (!stored.fileExists) return stored;
    // A damaged file must not feed megabytes into the boxes, the request and the next save.
    // The password's cut is the encoded length of a full password box (applied on opening,
    // as for the history), so a remembered long password comes back whole.
    stored.userName = config.UserName().substr(0, kMaxCredentialChars);
    stored.encodedPassword = config.EncodedPassword();
    stored.autoLogin = config.AutoLogin();
    return stored;
}

void RecordSuccessfulLogin(const std::wstring& configPath, const std::wstring& userName,
                           const std::wstring& encodedPassword, bool rememberAtStart, bool autoLoginBox) {
    AccountHistory history;
    history.SetFile(configPath);
    history.Load();
    history.Add(userName, encodedPassword);
    history.Save();
    history.Clear();

    ConfigFile config(configPath);
    if (rememberAtStart) {
        config.SetEncodedPassword(encodedPassword);
        config.SetAutoLogin(autoLoginBox);
    } else {
        config.SetEncodedPassword(std::wstring());
    }
}
