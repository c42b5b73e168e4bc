// The login request to the platform server and the verdict on its answer.
#pragma once
#include <string>

// The login fields the main window keeps for the whole run. The login dialog fills the
// inputs; RequestLogin writes the results.
struct LoginFields {
    std::wstring serverBaseUrl;    // scheme and host, no trailing "/"
    std::wstring userName;         // as typed
    std::wstring encodedPassword;  // see login/password.h
    std::string loginToken;        // bearer token of the last attempt (narrow, as received)
    int userType = -1;
    int loggedIn = 0;
    std::wstring loginError;  // shown by the dialog when an attempt fails
};

// Texts shown in the dialog.
extern const wchar_t kLoginErrorNetwork[];    // "网络超时"
extern const wchar_t kLoginErrorNoStatus[];   // "缺少status字段"
extern const wchar_t kLoginErrorNoMessage[];  // "缺少message字段"
extern const wchar_t kLoginErrorBadFormat[];  // "服务器返回数据格式错误"
extern const wchar_t kLoginErrorBadServer[];  // "服务器地址无效"

// Longest server address an attempt is made with; longer ones are a broken setting.
constexpr size_t kMaxServerUrlChars = 2048;

// True when `url` can be a server base address: not over-long, no blanks or control
// characters, and a host of sensible length after an optional "http://" or "https://".
bool IsUsableServerUrl(const std::wstring& url);

// True when `url` may be handed to the shell as a web page: a usable server address (above)
// that names its scheme, "http://" or "https://" in any letter case, and a host. Anything else
// (no scheme, "file:", another program's protocol) would have the shell run something with the
// client's administrator rights.
bool IsWebPageAddress(const std::wstring& url);

constexpr int kLoginStatusOk = 20000;

// The request body in the ANSI code page: {"loginName":"…","password":"…","loginType":"web"}
// with no blanks. Values are escaped as JSON strings so that no name can break or extend
// the object.
std::string BuildLoginBody(const std::wstring& userName, const std::wstring& encodedPassword);

// Reads a decimal number the way the C run-time's atoi does: leading blanks, optional sign,
// digits; 0 without digits; clamped to the int range on overflow.
int AtoiLike(const std::string& text);

// Judges a response body (UTF-8 JSON) and writes loggedIn, loginError and, on success,
// userType. Returns true when the attempt succeeded. An empty body is a network failure.
// Never throws.
bool JudgeLoginResponse(const std::string& body, LoginFields& fields);

// The whole attempt: POST to serverBaseUrl + "/platform/encrypt/login", keeps the token
// whatever the outcome, then judges the answer. An unusable server address fails at once
// with kLoginErrorBadServer. Blocks; called on the login worker thread.
// Never throws.
bool RequestLogin(LoginFields& fields);
