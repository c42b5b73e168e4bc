#include "net/http_interface.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

struct HttpFailure {
    HttpInterfaceError error;
};

[[noreturn]] void Raise(HttpInterfaceError error) { throw HttpFailure{error}; }

// Windows reports a time-out as ERROR_INTERNET_TIMEOUT; Wine passes the socket's WSAETIMEDOUT
// through, or (while sending) reports the connection as aborted.
bool IsTimeoutError(DWORD error) { return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT; }

// A failed call that ran for the whole limit ran out of time, whatever the error says.
bool TookTheWholeLimit(ULONGLONG startTick, DWORD limitMs) { return GetTickCount64() - startTick + 50 >= limitMs; }

// A WinINet failure: its own value when the call ran out of time, otherwise `error`.
[[noreturn]] void RaiseLast(HttpInterfaceError error) { Raise(IsTimeoutError(GetLastError()) ? TimedOut : error); }

std::string HeaderValue(HINTERNET request, DWORD query) {
    std::vector<char> value(2048, '\0');
    DWORD length = static_cast<DWORD>(value.size() - 1);
    if (!HttpQueryInfoA(request, query, value.data(), &length, nullptr)) return std::string();
    return std::string(value.data(), length);
}

}  // namespace

void ApplyTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
    DWORD connect = timeouts.connectMs, send = timeouts.sendMs, receive = timeouts.receiveMs;
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof send);
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    InternetSetOptionW(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, &send, sizeof send);
    InternetSetOptionW(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

HttpTimeouts& CurrentHttpTimeouts() {
    static HttpTimeouts timeouts = HttpTimeouts::Defaults();
    return timeouts;
}

bool IsRedirectStatus(DWORD status) {
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD ||
           status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == 308;
}

std::string ResolveLocation(const std::string& base, const std::string& location) {
    // CR, LF or NUL in a Location value would end up inside the next request line.
    if (location.find_first_of("\r\n") != std::string::npos) return std::string();
    std::vector<char> out(base.size() + location.size() + 64, '\0');
    DWORD length = static_cast<DWORD>(out.size());
    if (!InternetCombineUrlA(base.c_str(), location.c_str(), out.data(), &length, ICU_NO_ENCODE)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string();
        out.assign(static_cast<size_t>(length) + 1, '\0');
        length = static_cast<DWORD>(out.size());
        if (!InternetCombineUrlA(base.c_str(), location.c_str(), out.data(), &length, ICU_NO_ENCODE)) {
            return std::string();
        }
    }
    return std::string(out.data(), length);
}

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
    request_.reset();
    connection_.reset();
    session_.reset();
}

std::string HttpInterface::Post(std::string url, int post, std::string headers, std::string body, std::string* token) {
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
    if (HttpQueryInfoA(request_.get(), flavor_.headerQuery, buffer.data(), &length, nullptr)) {
        return std::string(buffer.data(), length);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) Raise(QueryHeadersFailed);
    buffer.assign(static_cast<size_t>(length) + 1, '\0');
    if (!HttpQueryInfoA(request_.get(), flavor_.headerQuery, buffer.data(), &length, nullptr)) {
        Raise(QueryHeadersFailed);
    }
    return std::string(buffer.data(), length);
}

DWORD HttpInterface::SendOnce(const std::string& url, bool post, const std::string& headers, const std::string& body) {
    request_.reset();
    connection_.reset();

    std::string host, page;
    unsigned short port = 0;
    bool secure = false;
    SplitUrl(url, host, page, port, &secure);
    std::printf("lpUrl:%s,\nstrHostName:%s,\nstrPageName:%s,\nport:%d\n", url.c_str(), host.c_str(), page.c_str(),
                port);

    connection_.reset(
        InternetConnectA(session_.get(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection_) RaiseLast(ConnectFailed);
    ApplyTimeouts(connection_.get(), CurrentHttpTimeouts());

    // Redirects are followed here, counted, rather than by WinINet, which has no limit.
    DWORD flags = kRequestFlags;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    request_.reset(HttpOpenRequestA(connection_.get(), post ? "POST" : "GET", page.c_str(), "HTTP/1.1", nullptr,
                                    nullptr, flags, 0));
    if (!request_) RaiseLast(OpenHandleFailed);
    ApplyTimeouts(request_.get(), CurrentHttpTimeouts());

    // Lengths count up to the first NUL, as the texts are handed over as C strings.
    const char* headerText = headers.empty() ? nullptr : headers.c_str();
    DWORD headerLength = headers.empty() ? 0 : static_cast<DWORD>(strlen(headers.c_str()));
    const char* bodyText = nullptr;
    DWORD bodyLength = 0;
    if (post && !body.empty()) {
        bodyText = body.c_str();
        bodyLength = static_cast<DWORD>(strlen(body.c_str()));
    }
    const ULONGLONG sendStart = GetTickCount64();
    if (!HttpSendRequestA(request_.get(), headerText, headerLength, const_cast<char*>(bodyText), bodyLength)) {
        const HttpTimeouts& limits = CurrentHttpTimeouts();
        if (TookTheWholeLimit(sendStart, std::min(limits.sendMs, limits.receiveMs))) Raise(TimedOut);
        RaiseLast(SendRequestFailed);
    }

    if (ReadHeaderBlock().empty()) Raise(NoStatusLine);
    // A peer that closes without answering leaves WinINet with no status line; some versions
    // still report the send as done, so the missing status is what tells the failure.
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                        nullptr) ||
        status == 0) {
        Raise(NoStatusLine);
    }
    return status;
}

std::string HttpInterface::Request(const std::string& url, bool post, const std::string& headers,
                                   const std::string& body, std::string* token) {
    std::string response;
    if (url.empty()) Raise(EmptyUrl);
    request_.reset();
    connection_.reset();

    // The session of an earlier request on this object is kept: opening one reads the proxy
    // settings again. Its limits are set anew, as the connection's and the request's are.
    if (!session_) {
        session_.reset(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!session_) Raise(OpenHandleFailed);
    }
    ApplyTimeouts(session_.get(), CurrentHttpTimeouts());

    std::string current = url;
    DWORD status = 0;
    for (int redirects = 0;; ++redirects) {
        status = SendOnce(current, post, headers, body);
        if (!IsRedirectStatus(status)) break;
        const std::string location = HeaderValue(request_.get(), HTTP_QUERY_LOCATION);
        if (location.empty()) break;  // nothing to follow: the answer itself is the response
        if (redirects >= kMaxRedirects) Raise(TooManyRedirects);
        std::string host, page;
        unsigned short port = 0;
        bool secure = false;
        SplitUrl(current, host, page, port, &secure);
        const std::string next = ResolveLocation(
            (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + (page.empty() ? "/" : page),
            location);
        if (next.empty()) Raise(OpenHandleFailed);
        current = next;
        // As browsers do: 303, and 301/302 after a POST, continue with a GET.
        if (status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT) {
            post = false;
        }
    }
    if (status == HTTP_STATUS_NOT_FOUND) Raise(NotFound);

    if (token && flavor_.readsToken) {
        char value[kTokenBufferSize] = {};
        DWORD valueLength = static_cast<DWORD>(kTokenBufferSize - 1);
        if (HttpQueryInfoA(request_.get(), HTTP_QUERY_AUTHORIZATION, value, &valueLength, nullptr)) {
            *token = BearerToken(std::string(value, valueLength));
        }
    }

    // Each chunk lands in the reply itself; the unused tail is cut off when the body ends.
    size_t used = 0;
    for (;;) {
        if (response.size() < used + kReadChunk) response.resize(used + kReadChunk);
        DWORD got = 0;
        const ULONGLONG readStart = GetTickCount64();
        if (!InternetReadFile(request_.get(), &response[used], static_cast<DWORD>(kReadChunk), &got)) {
            // A body that stops arriving is a failed request, not a short answer.
            if (IsTimeoutError(GetLastError()) || TookTheWholeLimit(readStart, CurrentHttpTimeouts().receiveMs)) {
                Raise(TimedOut);
            }
            break;
        }
        if (got == 0) break;
        used += got;
    }
    response.resize(used);
    return response;
}
