// Password values at rest in "config.bin". The file lies beside the program, where every local
// user can read it, so each stored password ("password" and every history entry) is sealed with
// the system's data protection for the Windows user who signed in (user scope, with an entropy
// value of this program's own) and written as kSealedPrefix followed by the base64 of the sealed
// bytes. Values of the older, open form (the encoded password itself) are still read, and are
// sealed at the next save. The encoded password inside is what the server receives; sealing
// never changes it.
#pragma once
#include <string>

// Marks a sealed value. Never the start of an encoded password, which is base64 text plus one
// capital letter.
extern const wchar_t kSealedPrefix[];

// The longest encoded password that the 256 characters of the password box can give (every
// character three UTF-8 bytes): 1 + 4 * 256 = 1025 characters. Longer values come from no box.
constexpr size_t kMaxEncodedPasswordChars = 1025;

struct OpenedPassword {
    std::wstring encodedPassword;  // empty when nothing usable is stored
    bool unreadable = false;       // sealed, but not for this user or damaged
};

// The stored form of an encoded password; empty for an empty password, and empty as well when
// the system cannot seal it (nothing is ever written in the open form again).
std::wstring SealPassword(const std::wstring& encodedPassword);

// The encoded password inside a stored value. An open value of the older form is taken as it
// is; a sealed value that does not open (another Windows user sealed it, or it is damaged)
// gives no password and `unreadable`. Either way at most kMaxEncodedPasswordChars are kept.
OpenedPassword OpenStoredPassword(const std::wstring& stored);

bool IsSealedPassword(const std::wstring& stored);
