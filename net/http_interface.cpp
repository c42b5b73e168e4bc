#include "net/http_interface.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct HttpFailure {
    HttpInterfaceError error;
};

[[noreturn]] void Raise(HttpInterfaceError error) { throw HttpFailure{error}; }

void CloseInternet(HINTERNET& handle) {
    if (handle) {
        InternetCloseHandle(handle);
        handle = nullptr;
    }
}

}  // namespace

void HttpInterface::SplitUrl(std::string url, std::string& host, std::string& page, unsigned short& port,
                             bool* secure) {
    port = INTERNET_DEFAULT_HTTP_PORT;
    bool isSecure = false;
    static const std::string kHttps = "https://";
    static const std::string kHttp = "http://";
    if (url.compare(0, kHttps.size(), kHttps) == 0) {
        url.erase(0, kHttps.size());
        port = INTERNET_DEFAULT_HTTPS_PORT;
        isSecure = true;
    } else {
        size_t at = url.find(kHttp);
        if (at != std::string::npos) url.erase(0, at + kHttp.size());
    }
    size_t slash = url.find('/');
    if (slash != std::string::npos) {
        host = url.substr(0, slash);
        page = url.substr(slash);
    } else {
        host = url;
        page.clear();
    }
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
        port = static_cast<unsigned short>(std::atoi(host.c_str() + colon + 1) & 0xFFFF);
        host.erase(colon);
    }
    if (secure) *secure = isSecure;
}

std::string BearerToken(const std::string& authorization) {
    static const std::string kBearer = "Bearer ";
    if (authorization.compare(0, kBearer.size(), kBearer) == 0) return authorization.substr(kBearer.size());
    return authorization;
}

void HttpInterface::Close() {
    CloseInternet(request_);
    CloseInternet(connection_);
    CloseInternet(session_);
}

std::string HttpInterface::Post(std::string url, int post, std::string headers, std::string body,
                                std::string* token) {
    try {
        return Request(url, flavor_.alwaysPost || post != 0, headers, body, token);
    } catch (const HttpFailure& failure) {
        lastError_ = failure.error;
    } catch (...) {
        // Out of memory while collecting a body: report it as a failed request.
        lastError_ = SendRequestFailed;
    }
    return std::string();
}

std::string HttpInterface::ReadHeaderBlock() {
    // Most header blocks fit the usual 4 KiB; a larger one is read again with the size
    // WinINet asks for instead of failing the request.
    std::vector<char> buffer(kHeaderBlockSize + 1, '\0');
    DWORD length = static_cast<DWORD>(kHeaderBlockSize);
    if (HttpQueryInfoA(request_, flavor_.headerQuery, buffer.data(), &length, nullptr)) {
        return std::string(buffer.data(), length);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) Raise(QueryHeadersFailed);
    buffer.assign(static_cast<size_t>(length) + 1, '\0');
    if (!HttpQueryInfoA(request_, flavor_.headerQuery, buffer.data(), &length, nullptr)) {
        Raise(QueryHeadersFailed);
    }
    return std::string(buffer.data(), length);
}

std::string HttpInterface::Request(const std::string& url, bool post, const std::string& headers,
                                   const std::string& body, std::string* token) {
    std::string response;
    if (url.empty()) Raise(EmptyUrl);
    Close();

    session_ = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session_) Raise(OpenHandleFailed);

    std::string host, page;
    unsigned short port = 0;
    bool secure = false;
    SplitUrl(url, host, page, port, &secure);
    std::printf("lpUrl:%s,\nstrHostName:%s,\nstrPageName:%s,\nport:%d\n", url.c_str(), host.c_str(),
                page.c_str(), port);

    connection_ = InternetConnectA(session_, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection_) Raise(ConnectFailed);

    DWORD flags = INTERNET_FLAG_RELOAD;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    request_ = HttpOpenRequestA(connection_, post ? "POST" : "GET", page.c_str(), "HTTP/1.1", nullptr, nullptr,
                                flags, 0);
    if (!request_) Raise(OpenHandleFailed);

    // Lengths count up to the first NUL, as the texts are handed over as C strings.
    const char* headerText = headers.empty() ? nullptr : headers.c_str();
    DWORD headerLength = headers.empty() ? 0 : static_cast<DWORD>(strlen(headers.c_str()));
    const char* bodyText = nullptr;
    DWORD bodyLength = 0;
    if (post && !body.empty()) {
        bodyText = body.c_str();
        bodyLength = static_cast<DWORD>(strlen(body.c_str()));
    }
    if (!HttpSendRequestA(request_, headerText, headerLength, const_cast<char*>(bodyText), bodyLength)) {
        Raise(SendRequestFailed);
    }

    if (ReadHeaderBlock().empty()) Raise(NoStatusLine);
    // A peer that closes without answering leaves WinINet with no status line; some versions
    // still report the send as done, so the missing status is what tells the failure.
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize, nullptr) ||
        status == 0) {
        Raise(NoStatusLine);
    }
    if (status == HTTP_STATUS_NOT_FOUND) Raise(NotFound);

    if (token && flavor_.readsToken) {
        char value[kTokenBufferSize] = {};
        DWORD valueLength = static_cast<DWORD>(kTokenBufferSize - 1);
        if (HttpQueryInfoA(request_, HTTP_QUERY_AUTHORIZATION, value, &valueLength, nullptr)) {
            *token = BearerToken(std::string(value, valueLength));
        }
    }

    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request_, chunk.data(), static_cast<DWORD>(kReadChunk), &got) || got == 0) break;
        response.append(chunk.data(), got);
    }
    return response;
}
