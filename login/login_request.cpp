#include "login/login_request.h"

#include <json/json.h>

#include <climits>
#include <cstring>
#include <cwchar>

#include "common/escaping.h"
#include "common/text.h"
#include "net/http_interface.h"

const wchar_t kLoginErrorNetwork[] = L"网络超时";
const wchar_t kLoginErrorNoStatus[] = L"缺少status字段";
const wchar_t kLoginErrorNoMessage[] = L"缺少message字段";
const wchar_t kLoginErrorBadFormat[] = L"服务器返回数据格式错误";
const wchar_t kLoginErrorBadServer[] = L"服务器地址无效";

namespace {

const char kLoginPath[] = "/platform/encrypt/login";
const char kLoginHeaders[] = "Content-Type:application/json";

}  // namespace

std::string BuildLoginBody(const std::wstring& userName, const std::wstring& encodedPassword) {
    // Escaping happens on the wide text: a double-byte character whose second byte looks
    // like a backslash in the ANSI form must not be touched.
    std::wstring body = L"{\"loginName\":\"";
    body += EscapeJsonString(userName);
    body += L"\",\"password\":\"";
    body += EscapeJsonString(encodedPassword);
    body += L"\",\"loginType\":\"web\"}";
    return WideToAnsi(body);
}

int AtoiLike(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

namespace {

// The member of an object, or nullptr when `object` is no object or lacks it.
const Json::Value* Member(const Json::Value& object, const char* name) {
    return object.isObject() ? object.find(name, name + std::strlen(name)) : nullptr;
}

bool JudgeParsed(const Json::Value& root, LoginFields& fields) {
    // A reply that is JSON but not an object carries no "status" either.
    const Json::Value* status = Member(root, "status");
    if (!status || !status->isInt()) {
        fields.loginError = kLoginErrorNoStatus;
        return false;
    }
    if (status->asInt() == kLoginStatusOk) {
        fields.loggedIn = 1;
        const Json::Value* result = Member(root, "result");
        const Json::Value* userType = result ? Member(*result, "userType") : nullptr;
        if (userType) {
            if (userType->isString()) {
                fields.userType = AtoiLike(userType->asString());
            } else if (userType->isInt()) {
                fields.userType = userType->asInt();
            }
        }
        return true;
    }
    const Json::Value* message = Member(root, "message");
    if (!message || !message->isString()) {
        fields.loginError = kLoginErrorNoMessage;
        return false;
    }
    fields.loginError = Utf8ToWide(message->asString());
    return false;
}

}  // namespace

bool JudgeLoginResponse(const std::string& body, LoginFields& fields) {
    fields.loggedIn = 0;
    if (body.empty()) {
        fields.loginError = kLoginErrorNetwork;
        return false;
    }
    try {
        Json::Value root;
        Json::Reader reader;  // comments allowed
        // Some servers put a UTF-8 byte-order mark in front of the document.
        const size_t start = body.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        if (!reader.parse(body.data() + start, body.data() + body.size(), root, false)) {
            fields.loginError = kLoginErrorBadFormat;
            return false;
        }
        return JudgeParsed(root, fields);
    } catch (...) {
        // The reader throws on pathological nesting; treat it like any unreadable reply.
        fields.loggedIn = 0;
        fields.loginError = kLoginErrorBadFormat;
        return false;
    }
}

bool IsUsableServerUrl(const std::wstring& url) {
    if (url.size() > kMaxServerUrlChars) return false;
    for (wchar_t c : url) {
        if (c <= L' ' || c == 0x7F) return false;
    }
    std::wstring rest = url;
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        const size_t length = wcslen(scheme);
        if (_wcsnicmp(rest.c_str(), scheme, length) == 0) {
            rest.erase(0, length);
            break;
        }
    }
    const std::wstring host = rest.substr(0, rest.find_first_of(L"/:"));
    return !host.empty() && host.size() <= 255;
}

bool IsWebPageAddress(const std::wstring& url) {
    if (!IsUsableServerUrl(url)) return false;
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        const size_t length = wcslen(scheme);
        if (_wcsnicmp(url.c_str(), scheme, length) == 0) {
            const std::wstring host = url.substr(length, url.find_first_of(L"/:?#\\", length) - length);
            return !host.empty();
        }
    }
    return false;
}

bool RequestLogin(LoginFields& fields) {
    fields.loginError.clear();
    // An empty address fails at the connection like an unreachable server, as it always has.
    if (!fields.serverBaseUrl.empty() && !IsUsableServerUrl(fields.serverBaseUrl)) {
        fields.loggedIn = 0;
        fields.loginError = kLoginErrorBadServer;
        return false;
    }
    try {
        HttpInterface http(HttpFlavor::Client());
        const std::string url = WideToAnsi(fields.serverBaseUrl) + kLoginPath;
        const std::string body = BuildLoginBody(fields.userName, fields.encodedPassword);
        std::string token;
        const std::string response = http.Post(url, 1, kLoginHeaders, body, &token);
        http.Close();
        fields.loginToken = token;
        return JudgeLoginResponse(response, fields);
    } catch (...) {
        // Only an allocation failure can get here; the attempt simply fails.
        fields.loggedIn = 0;
        fields.loginError = kLoginErrorNetwork;
        return false;
    }
}
