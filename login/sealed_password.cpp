#include "login/sealed_password.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/base64.h"

const wchar_t kSealedPrefix[] = L"dpapi1:";

namespace {

// Ties the sealed values to this use: another program of the same user that asks the system to
// open them without these bytes gets nothing.
const unsigned char kEntropy[] = "qv-client config.bin password 1";

// A sealed 1025-character value is about 2.4 kB of sealed bytes; far more is no value of ours.
constexpr size_t kMaxSealedChars = 16384;

DATA_BLOB EntropyBlob() {
    DATA_BLOB blob;
    blob.pbData = const_cast<BYTE*>(kEntropy);
    blob.cbData = sizeof kEntropy - 1;
    return blob;
}

bool DecodeBase64(const std::wstring& text, std::vector<BYTE>& bytes) {
    DWORD size = 0;
    if (!CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr, &size,
                              nullptr, nullptr) ||
        size == 0) {
        return false;
    }
    bytes.assign(size, 0);
    if (!CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, bytes.data(), &size,
                              nullptr, nullptr)) {
        return false;
    }
    bytes.resize(size);
    return true;
}

}  // namespace

bool IsSealedPassword(const std::wstring& stored) {
    return stored.compare(0, wcslen(kSealedPrefix), kSealedPrefix) == 0;
}

std::wstring SealPassword(const std::wstring& encodedPassword) {
    if (encodedPassword.empty()) return std::wstring();
    const std::wstring value = encodedPassword.substr(0, kMaxEncodedPasswordChars);
    DATA_BLOB plain;
    plain.pbData = reinterpret_cast<BYTE*>(const_cast<wchar_t*>(value.data()));
    plain.cbData = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    DATA_BLOB entropy = EntropyBlob();
    DATA_BLOB sealed = {};
    if (!CryptProtectData(&plain, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &sealed)) {
        return std::wstring();
    }
    Base64Encoder encoder;
    const wchar_t* text = encoder.Encode(sealed.pbData, sealed.cbData);
    std::wstring result = text && *text ? kSealedPrefix + std::wstring(text) : std::wstring();
    SecureZeroMemory(sealed.pbData, sealed.cbData);
    LocalFree(sealed.pbData);
    return result;
}

OpenedPassword OpenStoredPassword(const std::wstring& stored) {
    OpenedPassword opened;
    if (!IsSealedPassword(stored)) {
        opened.encodedPassword = stored.substr(0, kMaxEncodedPasswordChars);
        return opened;
    }
    opened.unreadable = true;
    const std::wstring text = stored.substr(wcslen(kSealedPrefix));
    std::vector<BYTE> bytes;
    if (text.empty() || text.size() > kMaxSealedChars || !DecodeBase64(text, bytes)) return opened;
    DATA_BLOB sealed;
    sealed.pbData = bytes.data();
    sealed.cbData = static_cast<DWORD>(bytes.size());
    DATA_BLOB entropy = EntropyBlob();
    DATA_BLOB plain = {};
    if (!CryptUnprotectData(&sealed, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &plain)) {
        return opened;
    }
    if (plain.cbData % sizeof(wchar_t) == 0) {
        opened.encodedPassword.assign(reinterpret_cast<const wchar_t*>(plain.pbData), plain.cbData / sizeof(wchar_t));
        opened.encodedPassword.resize(std::min(opened.encodedPassword.size(), kMaxEncodedPasswordChars));
        opened.unreadable = false;
    }
    SecureZeroMemory(plain.pbData, plain.cbData);
    LocalFree(plain.pbData);
    return opened;
}
