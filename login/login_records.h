// What the login dialog reads from "config.bin" when it opens and writes after a successful
// attempt, without the dialog: the dialog passes the states of its boxes.
#pragma once
#include <string>

#include "login/sealed_password.h"

// The most characters a user name or password box takes; longer stored values are cut.
constexpr size_t kMaxCredentialChars = 256;

struct StoredLogin {
    bool fileExists = false;  // nothing below is read when the file is missing
    std::wstring userName;
    std::wstring encodedPassword;  // already encoded; sent as it is
    bool autoLogin = false;
};

// A user name longer than kMaxCredentialChars is cut to it; a password is cut to the longest
// encoded form of kMaxCredentialChars typed characters (kMaxEncodedPasswordChars). A stored
// password that does not open for this Windows user reads as none.
StoredLogin ReadStoredLogin(const std::wstring& configPath);

// After a successful attempt: the account becomes the newest history entry (with its encoded
// password, remembered or not) and the history is saved; then "password" is the encoded
// password and "autologin" the auto-login box when the remember box was ticked at the start
// of the attempt, otherwise "password" is emptied and "autologin" left alone.
void RecordSuccessfulLogin(const std::wstring& configPath, const std::wstring& userName,
                           const std::wstring& encodedPassword, bool rememberAtStart, bool autoLoginBox);
