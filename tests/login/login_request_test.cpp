#include <gtest/gtest.h>
#include <json/json.h>

#include "fixtures/raw_http_server.h"  // winsock2.h before windows.h

#include <windows.h>

#include <climits>
#include <string>

#include "common/text.h"
#include "login/login_request.h"

using testing_fixtures::RawHttpServer;

namespace {

TEST(LoginBody, MembersInOrderWithoutBlanks) {
    EXPECT_EQ("{\"loginName\":\"zhang\",\"password\":\"cQ2VjcmV0MTI=\",\"loginType\":\"web\"}",
              BuildLoginBody(L"zhang", L"cQ2VjcmV0MTI="));
    EXPECT_EQ("{\"loginName\":\"\",\"password\":\"\",\"loginType\":\"web\"}", BuildLoginBody(L"", L""));
    // Chinese names travel in the ANSI code page: two bytes per character here.
    EXPECT_EQ("{\"loginName\":\"\xD5\xC5\xC8\xFD\",\"password\":\"x\",\"loginType\":\"web\"}",
              BuildLoginBody(L"张三", L"x"));
}

TEST(LoginBody, TrickyNamesStayOneValidObject) {
    struct Row {
        std::wstring name;
        const char* escaped;  // what appears between the quotes
    } rows[] = {
        {L"a\"b", "a\\\"b"},
        {L"dom\\user", "dom\\\\user"},
        {L"x\",\"loginType\":\"admin", "x\\\",\\\"loginType\\\":\\\"admin"},
        {L"tab\there\nnl\r\b\f", "tab\\there\\nnl\\r\\b\\f"},
        {std::wstring(L"nul\0x\x1f", 6), "nul\\u0000x\\u001f"},
        {L"a/b'c<>&\x7f", "a/b'c<>&\x7f"},
    };
    for (const Row& row : rows) {
        std::string body = BuildLoginBody(row.name, L"p\"w");
        EXPECT_EQ(std::string("{\"loginName\":\"") + row.escaped + "\",\"password\":\"p\\\"w\",\"loginType\":\"web\"}",
                  body);
        Json::Value root;
        ASSERT_TRUE(Json::Reader().parse(body, root)) << body;
        EXPECT_EQ(3u, root.size());
        EXPECT_EQ(std::string(row.name.begin(), row.name.end()), root["loginName"].asString());  // ASCII names
        EXPECT_EQ("p\"w", root["password"].asString());
        EXPECT_EQ("web", root["loginType"].asString());
    }
}

TEST(LoginBody, EscapingIsDoneBeforeTheCodePageConversion) {
    // The second GBK byte of these characters is 0x5C, a backslash in ASCII; doubling it
    // would make the server read a different name.
    EXPECT_EQ("{\"loginName\":\"\x81\x5C\x82\x5C\",\"password\":\"x\",\"loginType\":\"web\"}",
              BuildLoginBody(L"\x4E57\x4FD3", L"x"));
}

TEST(AtoiLike, ReadsLikeTheRuntime) {
    struct Row {
        const char* text;
        int value;
    } rows[] = {
        {"3", 3},
        {"  42", 42},
        {"\t\n-7x", -7},
        {"+5", 5},
        {"abc", 0},
        {"", 0},
        {"- 1", 0},
        {"12 34", 12},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"99999999999999999999999", INT_MAX},
    };
    for (const Row& row : rows) EXPECT_EQ(row.value, AtoiLike(row.text)) << row.text;
}

struct Verdict {
    const char* name;
    std::string body;
    bool result;
    int loggedIn;
    std::wstring error;
    int userType;  // starting from 77
};

const std::string kLong(1200, '[');

const Verdict kVerdicts[] = {
    {"empty body", "", false, 0, L"网络超时", 77},
    {"not json", "<html>502 Bad Gateway</html>", false, 0, L"服务器返回数据格式错误", 77},
    {"truncated json", "{\"status\":20000,", false, 0, L"服务器返回数据格式错误", 77},
    {"deep nesting", kLong, false, 0, L"服务器返回数据格式错误", 77},
    {"no status", "{\"message\":\"x\"}", false, 0, L"缺少status字段", 77},
    {"null status", "{\"status\":null}", false, 0, L"缺少status字段", 77},
    {"string status", "{\"status\":\"20000\"}", false, 0, L"缺少status字段", 77},
    {"bool status", "{\"status\":true}", false, 0, L"缺少status字段", 77},
    {"array status", "{\"status\":[20000]}", false, 0, L"缺少status字段", 77},
    {"object status", "{\"status\":{}}", false, 0, L"缺少status字段", 77},
    {"huge status", "{\"status\":4294987296}", false, 0, L"缺少status字段", 77},
    {"fractional status", "{\"status\":20000.5}", false, 0, L"缺少status字段", 77},
    {"array reply", "[20000]", false, 0, L"缺少status字段", 77},
    {"null reply", "null", false, 0, L"缺少status字段", 77},
    {"refused without message", "{\"status\":40001}", false, 0, L"缺少message字段", 77},
    {"null message", "{\"status\":40001,\"message\":null}", false, 0, L"缺少message字段", 77},
    {"number message", "{\"status\":40001,\"message\":5}", false, 0, L"缺少message字段", 77},
    {"object message", "{\"status\":40001,\"message\":{\"a\":1}}", false, 0, L"缺少message字段", 77},
    {"refused with message",
     "{\"status\":40001,\"message\":"
     "\"\xE7\x94\xA8\xE6\x88\xB7\xE5\x90\x8D\xE6\x88\x96\xE5\xAF\x86\xE7\xA0\x81\xE9\x94\x99\xE8\xAF\xAF\"}",
     false, 0, L"用户名或密码错误", 77},
    {"negative status", "{\"status\":-1,\"message\":\"m\"}", false, 0, L"m", 77},
    {"success, no result", "{\"status\":20000}", true, 1, L"", 77},
    {"success as real", "{\"status\":2e4}", true, 1, L"", 77},
    {"success, null result", "{\"status\":20000,\"result\":null}", true, 1, L"", 77},
    {"success, string result", "{\"status\":20000,\"result\":\"x\"}", true, 1, L"", 77},
    {"success, array result", "{\"status\":20000,\"result\":[{\"userType\":\"3\"}]}", true, 1, L"", 77},
    {"success, no userType", "{\"status\":20000,\"result\":{}}", true, 1, L"", 77},
    {"userType string", "{\"status\":20000,\"result\":{\"userType\":\"3\"}}", true, 1, L"", 3},
    {"userType atoi", "{\"status\":20000,\"result\":{\"userType\":\"  -12abc\"}}", true, 1, L"", -12},
    {"userType no digits", "{\"status\":20000,\"result\":{\"userType\":\"admin\"}}", true, 1, L"", 0},
    {"userType integer", "{\"status\":20000,\"result\":{\"userType\":2}}", true, 1, L"", 2},
    {"userType real", "{\"status\":20000,\"result\":{\"userType\":2.5}}", true, 1, L"", 77},
    {"userType bool", "{\"status\":20000,\"result\":{\"userType\":true}}", true, 1, L"", 77},
    {"userType null", "{\"status\":20000,\"result\":{\"userType\":null}}", true, 1, L"", 77},
    {"userType huge", "{\"status\":20000,\"result\":{\"userType\":99999999999}}", true, 1, L"", 77},
    {"success ignores message", "{\"status\":20000,\"message\":\"hello\"}", true, 1, L"", 77},
    {"byte-order mark", "\xEF\xBB\xBF{\"status\":20000}", true, 1, L"", 77},
    {"only a byte-order mark", "\xEF\xBB\xBF", false, 0, L"服务器返回数据格式错误", 77},
    {"trailing text", "{\"status\":20000} trailing", true, 1, L"", 77},
    {"comments allowed", "/* c */ {\"status\":20000 // d\n}", true, 1, L"", 77},
};

TEST(JudgeLoginResponse, VerdictTable) {
    for (const Verdict& row : kVerdicts) {
        LoginFields fields;
        fields.userType = 77;
        fields.loggedIn = 1;  // every verdict starts from "not signed in"
        fields.loginError = L"";
        bool result = JudgeLoginResponse(row.body, fields);
        EXPECT_EQ(row.result, result) << row.name;
        EXPECT_EQ(row.loggedIn, fields.loggedIn) << row.name;
        EXPECT_EQ(row.error, fields.loginError) << row.name;
        EXPECT_EQ(row.userType, fields.userType) << row.name;
    }
}

std::string JsonReply(const std::string& headers, const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json;charset=UTF-8\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

LoginFields FieldsFor(const RawHttpServer& server) {
    LoginFields fields;
    fields.serverBaseUrl = Utf8ToWide(server.Url(""));
    fields.userName = L"张三";
    fields.encodedPassword = L"cQ2VjcmV0MTI=";
    return fields;
}

TEST(RequestLogin, SendsTheExactRequest) {
    RawHttpServer server;
    server.SetRawResponse(
        JsonReply("Authorization: Bearer tok-1\r\n", "{\"status\":20000,\"result\":{\"userType\":\"3\"}}"));
    LoginFields fields = FieldsFor(server);
    fields.loginError = L"old";
    ASSERT_TRUE(RequestLogin(fields));
    EXPECT_EQ(1, fields.loggedIn);
    EXPECT_EQ(3, fields.userType);
    EXPECT_EQ("tok-1", fields.loginToken);
    EXPECT_EQ(L"", fields.loginError);

    auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /platform/encrypt/login HTTP/1.1", requests[0].RequestLine());
    EXPECT_EQ("application/json", requests[0].Header("Content-Type"));
    EXPECT_EQ("Http-connect", requests[0].Header("User-Agent"));
    EXPECT_EQ("{\"loginName\":\"\xD5\xC5\xC8\xFD\",\"password\":\"cQ2VjcmV0MTI=\",\"loginType\":\"web\"}",
              requests[0].body);
    EXPECT_EQ(std::to_string(requests[0].body.size()), requests[0].Header("Content-Length"));
}

TEST(RequestLogin, VerdictsOverTheWire) {
    RawHttpServer server;
    struct Row {
        const char* name;
        std::string reply;
        bool result;
        std::wstring error;
        std::string token;
        int userType;
    } rows[] = {
        {"refusal keeps token",
         JsonReply("Authorization: Bearer t2\r\n",
                   "{\"status\":40001,\"message\":\"\xE5\xAF\x86\xE7\xA0\x81\xE9\x94\x99\"}"),
         false, L"密码错", "t2", 77},
        {"no status", JsonReply("", "{}"), false, L"缺少status字段", "", 77},
        {"no message", JsonReply("", "{\"status\":500}"), false, L"缺少message字段", "", 77},
        {"error page", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5\r\nConnection: close\r\n\r\noops!",
         false, L"服务器返回数据格式错误", "", 77},
        {"empty 200", JsonReply("", ""), false, L"网络超时", "", 77},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}", false, L"网络超时",
         "", 77},
        {"success without result", JsonReply("Authorization: raw\r\n", "{\"status\":20000}"), true, L"", "raw", 77},
        {"success with int userType", JsonReply("", "{\"status\":20000,\"result\":{\"userType\":5}}"), true, L"", "",
         5},
    };
    for (const Row& row : rows) {
        server.SetRawResponse(row.reply);
        LoginFields fields = FieldsFor(server);
        fields.userType = 77;
        fields.loggedIn = 1;
        fields.loginToken = "previous";  // replaced by every attempt
        fields.loginError = L"previous";
        EXPECT_EQ(row.result, RequestLogin(fields)) << row.name;
        EXPECT_EQ(row.result ? 1 : 0, fields.loggedIn) << row.name;
        EXPECT_EQ(row.error, fields.loginError) << row.name;
        EXPECT_EQ(row.token, fields.loginToken) << row.name;
        EXPECT_EQ(row.userType, fields.userType) << row.name;
    }
    EXPECT_EQ(sizeof rows / sizeof rows[0], server.Requests().size());
}

TEST(RequestLogin, ConnectionRefusedIsANetworkFailure) {
    LoginFields fields;
    fields.serverBaseUrl = L"http://127.0.0.1:" + std::to_wstring(testing_fixtures::UnusedPort());
    fields.userName = L"u";
    fields.encodedPassword = L"YQQ==";
    fields.loggedIn = 1;
    fields.loginToken = "previous";
    EXPECT_FALSE(RequestLogin(fields));
    EXPECT_EQ(L"网络超时", fields.loginError);
    EXPECT_EQ(0, fields.loggedIn);
    EXPECT_EQ("", fields.loginToken);
    EXPECT_EQ(-1, fields.userType);
}

TEST(RequestLogin, UnusableServerAddressFailsWithoutARequest) {
    const struct {
        std::wstring url;
        bool usable;
    } rows[] = {
        {L"http://127.0.0.1:18080", true},
        {L"https://srv.example/base", true},
        {L"srv:8080", true},
        {L"http://" + std::wstring(255, L'h'), true},
        {L"http://" + std::wstring(256, L'h'), false},
        {L"http://h/" + std::wstring(kMaxServerUrlChars, L'p'), false},
        {L"http://" + std::wstring(1000000, L'h'), false},
        {L"http://", false},
        {L"http://:80", false},
        {L"http://a b", false},
        {L"http://a\r\nX: 1", false},
        {L"", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.usable, IsUsableServerUrl(row.url)) << WideToUtf8(row.url.substr(0, 40));
        if (row.usable || row.url.empty()) continue;
        LoginFields fields;
        fields.serverBaseUrl = row.url;
        fields.userName = L"u";
        fields.loggedIn = 1;
        EXPECT_FALSE(RequestLogin(fields));
        EXPECT_EQ(L"服务器地址无效", fields.loginError);
        EXPECT_EQ(0, fields.loggedIn);
    }
}

TEST(RequestLogin, EmptyServerAddressStillFailsCleanly) {
    LoginFields fields;  // no server address: the URL is only the path
    EXPECT_FALSE(RequestLogin(fields));
    EXPECT_EQ(L"网络超时", fields.loginError);
    EXPECT_EQ(0, fields.loggedIn);
}

}  // namespace
