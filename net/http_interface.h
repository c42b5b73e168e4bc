// The one HTTP request class of both programs, over WinINet.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "common/handles.h"

enum HttpInterfaceError : int32_t {
    OpenHandleFailed = 1,
    ConnectFailed = 2,
    SendRequestFailed = 3,
    QueryHeadersFailed = 4,
    NotFound = 5,
    NoStatusLine = 6,      // the connection ended (or the reply began) without an HTTP status line
    TimedOut = 7,          // connecting, sending or waiting for the next byte took too long
    TooManyRedirects = 8,  // more than HttpInterface::kMaxRedirects redirects in a row
    EmptyUrl = 14,
};

// How the two programs use the class differently. The client reads all header lines
// (CRLF form), chooses the verb and picks up a bearer token; the updater always posts and
// reads the NUL-separated header block.
struct HttpFlavor {
    DWORD headerQuery;  // HTTP_QUERY_RAW_HEADERS_CRLF or HTTP_QUERY_RAW_HEADERS
    bool alwaysPost;    // the verb flag is ignored and the body always sent
    bool readsToken;    // the Authorization header of the response may be returned

    static HttpFlavor Client() { return {HTTP_QUERY_RAW_HEADERS_CRLF, false, true}; }
    static HttpFlavor Updater() { return {HTTP_QUERY_RAW_HEADERS, true, false}; }
};

// How long a request may wait, in milliseconds: for the connection, for the request to go
// out, and for the next byte of the answer. WinINet has no limits of its own under Wine.
struct HttpTimeouts {
    DWORD connectMs;
    DWORD sendMs;
    DWORD receiveMs;

    static constexpr DWORD kConnectMs = 15000;
    static constexpr DWORD kSendMs = 30000;
    static constexpr DWORD kReceiveMs = 30000;
    static HttpTimeouts Defaults() { return {kConnectMs, kSendMs, kReceiveMs}; }
};

// Applies the three time-outs to a WinINet handle (a root, connection or request handle).
void ApplyTimeouts(HINTERNET handle, const HttpTimeouts& timeouts);

// The time-outs every new request uses; tests shorten them.
HttpTimeouts& CurrentHttpTimeouts();

// Absolute address of `location` (as a Location header gives it) seen from `base`; "" when the
// two do not combine into a URL.
std::string ResolveLocation(const std::string& base, const std::string& location);

// True for the statuses whose Location header names the next address.
bool IsRedirectStatus(DWORD status);

class HttpInterface {
public:
    static constexpr int kMaxRedirects = 10;

    static constexpr const wchar_t* kUserAgent = L"Http-connect";
    static constexpr size_t kHeaderBlockSize = 4096;
    static constexpr size_t kTokenBufferSize = 2000;
    // Bodies are read straight into the reply, this much at a time: one WinINet call per
    // chunk costs far more than the bytes, so a larger body takes few calls.
    static constexpr size_t kReadChunk = 64 * 1024;
    // Every request is fetched from the server, follows no redirect by itself (they are counted
    // here), and writes nothing to the system's URL cache: neither program reads it back, a
    // sign-in reply carries the user's token, and under Wine each cache entry costs milliseconds.
    // Cookies are still kept and sent as before: the platform's servers, or a balancer in front
    // of them, may rely on them.
    static constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;

    explicit HttpInterface(HttpFlavor flavor = HttpFlavor::Client()) : flavor_(flavor) {}
    HttpInterface(const HttpInterface&) = delete;
    HttpInterface& operator=(const HttpInterface&) = delete;

    // "http://host:port/page" -> host, page ("" when there is no path), port (80 by default,
    // the low 16 bits of an atoi-style number). "https://" at the start selects a secure
    // connection with port 443 by default; `secure` (optional) reports it.
    static void SplitUrl(std::string url, std::string& host, std::string& page, unsigned short& port,
                         bool* secure = nullptr);

    // Sends one request and returns the whole body (every byte), or "" on failure with the
    // reason in lastError(). `post` non-zero sends POST with `body`, zero sends GET (the
    // updater's flavour always posts). `token`, when given, receives the bearer token of the
    // response's Authorization header (client flavour only).
    std::string Post(std::string url, int post, std::string headers, std::string body, std::string* token = nullptr);

    // Closes request, connection and session handles, in that order. A next request on the
    // same object replaces the request and connection and keeps the session.
    void Close();

    int32_t lastError() const { return lastError_; }
    bool hasOpenHandles() const { return session_ || connection_ || request_; }

private:
    std::string Request(const std::string& url, bool post, const std::string& headers, const std::string& body,
                        std::string* token);
    std::string ReadHeaderBlock();
    // Closes the previous hop and opens and sends one request; returns its status.
    DWORD SendOnce(const std::string& url, bool post, const std::string& headers, const std::string& body);

    HttpFlavor flavor_;
    // Members are destroyed in reverse order: the request closes before its connection, and
    // the connection before the session it belongs to.
    qv::unique_hinternet session_;
    qv::unique_hinternet connection_;
    qv::unique_hinternet request_;
    int32_t lastError_ = 0;
};

// The token carried by an Authorization header value: the text after "Bearer " when the
// value begins with it, otherwise the whole value.
std::string BearerToken(const std::string& authorization);
