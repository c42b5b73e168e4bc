// The one owner of the client's settings files beside the executable: "maincfg.ini" (the server
// address, read only) and "config.bin" (the last user's credentials and choices, and the account
// history). The main window makes it once per run with the program folder and shares it with the
// login dialog and the dialog's worker thread; nothing else opens the two files.
//
// Every read and write takes the object's lock, so the files are touched by one thread at a
// time. A lock rather than handing the worker's write to the UI thread: the worker writes
// "username" right before its request and only when the attempt has not been called off by
// then. Posted to the UI thread, that write would land after the request had begun, or never
// once a close has ended the dialog's loop; made by the UI thread before the worker starts, it
// would also be made for an attempt called off before it began. The writes are few and short.
#pragma once
#include <mutex>
#include <string>

#include "login/sealed_password.h"
#include "login/settings.h"

class AccountHistory;

// The most characters a user name or password box takes; longer stored values are cut.
constexpr size_t kMaxCredentialChars = 256;

struct StoredLogin {
    bool fileExists = false;  // nothing below is read when the file is missing
    std::wstring userName;
    std::wstring encodedPassword;  // already encoded; sent as it is
    bool autoLogin = false;
};

class ClientSettings {
public:
    explicit ClientSettings(const std::wstring& appDir);
    ClientSettings(const ClientSettings&) = delete;
    ClientSettings& operator=(const ClientSettings&) = delete;

    const std::wstring& AppDir() const { return appDir_; }

    // "url" of "maincfg.ini", or the built-in default.
    std::wstring ServerUrl() const;

    // What the login dialog opens with. A user name longer than kMaxCredentialChars is cut to
    // it; a password is cut to the longest encoded form of kMaxCredentialChars typed characters
    // (kMaxEncodedPasswordChars). A stored password that does not open for this Windows user
    // reads as none.
    StoredLogin ReadStoredLogin() const;

    // Fills `history` (expected empty) from the file's history section.
    void LoadHistory(AccountHistory& history) const;

    // Before each attempt's request, kept whatever the outcome: "username".
    void RecordAttemptUser(const std::wstring& userName);

    // After a successful attempt: the account becomes the newest history entry (with its
    // encoded password, remembered or not) and the history is saved; then "password" is the
    // encoded password and "autologin" the auto-login box when the remember box was ticked at
    // the start of the attempt, otherwise "password" is emptied and "autologin" left alone.
    void RecordSuccessfulLogin(const std::wstring& userName, const std::wstring& encodedPassword, bool rememberAtStart,
                               bool autoLoginBox);

    // The main window, when it ends the client: "click_close_exit" = "true".
    void RecordClickCloseExit();

private:
    mutable std::mutex lock_;
    const std::wstring appDir_;
    const MainConfig mainConfig_;
    const ConfigFile config_;
};
