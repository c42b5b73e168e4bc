// The one HTTP request class of both programs, over WinINet.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
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
    RedirectRefused = 15,  // a Location that is too long or unusable, or a hop the redirect rule forbids
    TooLarge = 16,         // a reply or a download larger than its cap
    Cancelled = 17,        // the watcher of a download asked to stop
    StoreFailed = 18,      // the writer of a download could not keep a block
    BodyCut = 19,          // the body ended before the length its answer announced
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

    // A request (the login, the update query) ends after this long in all, however slowly its
    // bytes trickle in: twice the limit for one byte, 60 s with the defaults.
    DWORD TotalMs() const { return 2 * receiveMs; }
    // The TLS handshake of a secure connection may take as long as connecting.
    DWORD HandshakeMs() const { return connectMs; }
};

// The caps of the class, all in one place.
struct HttpLimits {
    // A reply held in memory (login, update query) larger than this is a failed request.
    static constexpr size_t kMaxReplyBytes = 16u << 20;
    // Location values up to this length are followed; a longer one fails the request.
    static constexpr size_t kMaxLocationBytes = 8192;
    // A download is stalled when fewer bytes than this arrived during the stall limit.
    static constexpr unsigned long long kStallBytes = 4096;
    // Blocks received but not yet stored that a download keeps at most (the receiver waits).
    static constexpr size_t kMaxQueuedBlocks = 16;
};

// How long a download may bring fewer than HttpLimits::kStallBytes before it counts as
// stalled, in milliseconds (60 s); tests shorten it.
constexpr DWORD kDownloadStallMs = 60000;
DWORD& DownloadStallLimitMs();

// Applies the three time-outs to a WinINet handle (a root, connection or request handle).
void ApplyTimeouts(HINTERNET handle, const HttpTimeouts& timeouts);

// The time-outs every new request uses; tests shorten them.
HttpTimeouts& CurrentHttpTimeouts();

// Absolute address of `location` (as a Location header gives it) seen from `base`; "" when the
// two do not combine into a URL.
std::string ResolveLocation(const std::string& base, const std::string& location);

// True for the statuses whose Location header names the next address.
bool IsRedirectStatus(DWORD status);

// The one redirect rule: what a hop from `from` to `to` (both absolute) with `status` is allowed
// to carry. Another origin (scheme, host or port) never gets the caller's header block or a
// body, so a 307/308 of a POST there is refused; so is a step from https down to http, a
// scheme other than these two, and an address carrying a user name.
struct RedirectStep {
    bool follow = false;
    bool post = false;        // the next request's verb
    bool sameOrigin = false;  // only then the caller's header block goes along
};
RedirectStep NextRedirectStep(const std::string& from, const std::string& to, DWORD status, bool post);

// Receives a download's body, on the thread that called HttpInterface::Download and only
// while that call runs: a receiver left behind after a stall or a Cancel never reaches it.
class DownloadWriter {
public:
    virtual ~DownloadWriter() = default;
    // Keeps the next bytes of the body; false stops the download (StoreFailed).
    virtual bool Write(const char* data, size_t size) = 0;
    // Once the server has answered and after each stored block; `total` is 0 when no length
    // was announced. False stops the download (Cancelled).
    virtual bool OnProgress(unsigned long long received, unsigned long long total) = 0;
    // Asked while waiting for the network: true stops the download at once (Cancelled).
    virtual bool Cancelled() const = 0;
};

struct HttpExchange;  // one request's handles and what its receiving thread hands over

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
    static constexpr DWORD kRequestFlags =
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE;

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

    // Fetches `url` with GET (following redirects by the same rule) and hands the body to
    // `writer` as it arrives, in blocks of at most kReadChunk bytes. False on failure with the
    // reason in lastError(): TimedOut when stalled (see DownloadStallLimitMs), TooLarge when the
    // announced or received length passes `maxBytes`, BodyCut when the body ends short. The
    // status is not judged: whatever body the server sends is handed over. `flags` are the
    // request flags (kRequestFlags by default); a redirect is never followed by WinINet.
    bool Download(const std::string& url, DownloadWriter& writer, unsigned long long maxBytes,
                  DWORD flags = kRequestFlags);

    // Closes request, connection and session handles, in that order. A next request on the
    // same object replaces the request and connection and keeps the session.
    void Close();

    int32_t lastError() const { return lastError_; }
    bool hasOpenHandles() const;

private:
    // Starts a request on a receiving thread of its own; the calling thread waits for it with
    // the limits above and leaves it behind when one runs out.
    std::shared_ptr<HttpExchange> Begin(const std::string& url);
    int32_t Fail(int32_t error);

    HttpFlavor flavor_;
    // The handles of the last request; they stay open until the next request or Close.
    std::shared_ptr<HttpExchange> exchange_;
    int32_t lastError_ = 0;
};

// The token carried by an Authorization header value: the text after "Bearer " when the
// value begins with it, otherwise the whole value.
std::string BearerToken(const std::string& authorization);
