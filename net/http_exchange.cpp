// The receiving thread of a request: sends it, follows redirects by the one rule, and collects
// the reply (or hands a download's blocks to the caller).
#include "net/http_exchange.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Windows reports a time-out as ERROR_INTERNET_TIMEOUT; Wine passes the socket's WSAETIMEDOUT
// through, or (while sending) reports the connection as aborted.
bool IsTimeoutError(DWORD error) { return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT; }

// A failed call that ran for the whole limit ran out of time, whatever the error says.
bool TookTheWholeLimit(ULONGLONG startTick, DWORD limitMs) { return GetTickCount64() - startTick + 50 >= limitMs; }

// A download link counts as fast while a block's worth arrives within this long.
constexpr ULONGLONG kBlockGatherMs = 50;

// Blocks asked for on a fast link.
constexpr size_t kFastBlockBytes = 512 * 1024;

// The longest header line WinINet under Wine keeps whole.
constexpr size_t kWineHeaderLineBytes = 4096;

// A WinINet failure: its own value when the call ran out of time, otherwise `error`.
[[noreturn]] void RaiseLast(HttpInterfaceError error) { Raise(IsTimeoutError(GetLastError()) ? TimedOut : error); }

// Marks the phases of a secure request that WinINet does not time by itself: once the TCP
// connection stands, the TLS handshake runs until the request starts going out.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    auto* exchange = reinterpret_cast<HttpExchange*>(context);
    if (!exchange) return;
    if (status == INTERNET_STATUS_CONNECTED_TO_SERVER) {
        exchange->SetPhase(HttpExchange::Handshake);
    } else if (status == INTERNET_STATUS_SENDING_REQUEST) {
        exchange->SetPhase(HttpExchange::Exchanging);
    }
}

// "scheme://host:port/page" for any address the class accepts, so that a relative Location
// has a base to stand on.
std::string Normalised(const std::string& url, bool& secure) {
    std::string host, page;
    unsigned short port = 0;
    HttpInterface::SplitUrl(url, host, page, port, &secure);
    return (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + (page.empty() ? "/" : page);
}

}  // namespace

void HttpExchange::Run() {
    int32_t failure = 0;
    try {
        Exchange();
    } catch (const HttpFailure& raised) {
        failure = raised.error;
    } catch (...) {
        failure = SendRequestFailed;  // out of memory
    }
    bool left = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        error = failure;
        done = true;
        left = abandoned;
    }
    phase = Done;
    changed.notify_all();
    if (left) {
        // Nobody will close them for us.
        request.reset();
        connection.reset();
        session.reset();
    }
}

std::string HttpExchange::ReadHeaderBlock() {
    // Most header blocks fit the usual 4 KiB; a larger one is read again with the size
    // WinINet asks for instead of failing the request.
    std::vector<char> buffer(HttpInterface::kHeaderBlockSize + 1, '\0');
    DWORD length = static_cast<DWORD>(HttpInterface::kHeaderBlockSize);
    if (HttpQueryInfoA(request.get(), flavor.headerQuery, buffer.data(), &length, nullptr)) {
        return std::string(buffer.data(), length);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) Raise(QueryHeadersFailed);
    buffer.assign(static_cast<size_t>(length) + 1, '\0');
    if (!HttpQueryInfoA(request.get(), flavor.headerQuery, buffer.data(), &length, nullptr)) {
        Raise(QueryHeadersFailed);
    }
    return std::string(buffer.data(), length);
}

std::string HttpExchange::LocationValue() {
    std::vector<char> value(2048, '\0');
    DWORD length = static_cast<DWORD>(value.size() - 1);
    if (HttpQueryInfoA(request.get(), HTTP_QUERY_LOCATION, value.data(), &length, nullptr)) {
        return std::string(value.data(), length);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string();  // none: nothing to follow
    // Signed CDN addresses are long; past the cap the redirect fails rather than being taken
    // for the answer.
    if (length > HttpLimits::kMaxLocationBytes + 1) Raise(RedirectRefused);
    value.assign(static_cast<size_t>(length) + 1, '\0');
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_LOCATION, value.data(), &length, nullptr)) {
        Raise(RedirectRefused);
    }
    if (length > HttpLimits::kMaxLocationBytes) Raise(RedirectRefused);
    // WinINet under Wine cuts every header line at 4096 bytes and drops the rest: a value that
    // fills the whole line may be only the start of the address, and is not followed.
    static const size_t kPrefix = sizeof("Location: ") - 1;
    if (length + kPrefix + 1 >= kWineHeaderLineBytes) Raise(RedirectRefused);
    return std::string(value.data(), length);
}

DWORD HttpExchange::SendOnce(const std::string& target, bool asPost, bool withHeaders) {
    request.reset();
    connection.reset();

    std::string host, page;
    unsigned short port = 0;
    bool secure = false;
    HttpInterface::SplitUrl(target, host, page, port, &secure);
    std::printf("lpUrl:%s,\nstrHostName:%s,\nstrPageName:%s,\nport:%d\n", target.c_str(), host.c_str(), page.c_str(),
                port);

    const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(this);
    connection.reset(
        InternetConnectA(session.get(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context));
    if (!connection) RaiseLast(ConnectFailed);
    ApplyTimeouts(connection.get(), timeouts);

    // Redirects are followed here, counted and judged, never by WinINet.
    DWORD requestFlags = flags | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (secure) requestFlags |= INTERNET_FLAG_SECURE;
    request.reset(HttpOpenRequestA(connection.get(), asPost ? "POST" : "GET", page.c_str(), "HTTP/1.1", nullptr,
                                   nullptr, requestFlags, context));
    if (!request) RaiseLast(OpenHandleFailed);
    ApplyTimeouts(request.get(), timeouts);
    if (secure) {
        InternetSetStatusCallbackA(request.get(), OnStatus);
        SetPhase(Connecting);
    } else {
        SetPhase(Exchanging);  // WinINet times each step of a plain request itself
    }

    // Lengths count up to the first NUL, as the texts are handed over as C strings.
    const bool sendHeaders = withHeaders && !headers.empty();
    const char* headerText = sendHeaders ? headers.c_str() : nullptr;
    const DWORD headerLength = sendHeaders ? static_cast<DWORD>(strlen(headers.c_str())) : 0;
    const char* bodyText = nullptr;
    DWORD bodyLength = 0;
    if (asPost && !body.empty()) {
        bodyText = body.c_str();
        bodyLength = static_cast<DWORD>(strlen(body.c_str()));
    }
    const ULONGLONG sendStart = GetTickCount64();
    if (!HttpSendRequestA(request.get(), headerText, headerLength, const_cast<char*>(bodyText), bodyLength)) {
        if (TookTheWholeLimit(sendStart, std::min(timeouts.sendMs, timeouts.receiveMs))) Raise(TimedOut);
        RaiseLast(SendRequestFailed);
    }
    SetPhase(Exchanging);

    // A peer that closes without answering leaves WinINet with no status line; some versions
    // still report the send as done, so the missing status is what tells the failure.
    if (ReadHeaderBlock().empty()) Raise(NoStatusLine);
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                        nullptr) ||
        status == 0) {
        Raise(NoStatusLine);
    }
    return status;
}

void HttpExchange::Exchange() {
    // The session of an earlier request on the same object is kept: opening one reads the
    // proxy settings again. Its limits are set anew, as the connection's and the request's are.
    if (!session) {
        session.reset(InternetOpenW(HttpInterface::kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!session) Raise(OpenHandleFailed);
    }
    ApplyTimeouts(session.get(), timeouts);

    bool secure = false;
    std::string current = Normalised(url, secure);
    bool asPost = post;
    bool sameOrigin = true;
    DWORD status = 0;
    for (int redirects = 0;; ++redirects) {
        status = SendOnce(current, asPost, sameOrigin);
        if (!IsRedirectStatus(status)) break;
        const std::string location = LocationValue();
        if (location.empty()) break;  // nothing to follow: the answer itself is the response
        if (redirects >= HttpInterface::kMaxRedirects) Raise(TooManyRedirects);
        const std::string next = ResolveLocation(current, location);
        if (next.empty()) Raise(RedirectRefused);
        const RedirectStep step = NextRedirectStep(current, next, status, asPost);
        if (!step.follow) Raise(RedirectRefused);
        asPost = step.post;
        // Once the request has left its first origin, the caller's headers stay behind for good.
        sameOrigin = sameOrigin && step.sameOrigin;
        current = Normalised(next, secure);
    }

    if (streaming) {
        ReadBlocks();
        return;
    }
    if (status == HTTP_STATUS_NOT_FOUND) Raise(NotFound);
    if (wantsToken) {
        char value[HttpInterface::kTokenBufferSize] = {};
        DWORD valueLength = static_cast<DWORD>(HttpInterface::kTokenBufferSize - 1);
        if (HttpQueryInfoA(request.get(), HTTP_QUERY_AUTHORIZATION, value, &valueLength, nullptr)) {
            hasToken = true;
            token = BearerToken(std::string(value, valueLength));
        }
    }
    ReadReply();
}

void HttpExchange::ReadReply() {
    // Each chunk lands in the reply itself; the unused tail is cut off when the body ends.
    size_t used = 0;
    for (;;) {
        if (reply.size() < used + HttpInterface::kReadChunk) reply.resize(used + HttpInterface::kReadChunk);
        DWORD got = 0;
        const ULONGLONG readStart = GetTickCount64();
        if (!InternetReadFile(request.get(), &reply[used], static_cast<DWORD>(HttpInterface::kReadChunk), &got)) {
            // A body that stops arriving is a failed request, not a short answer.
            if (IsTimeoutError(GetLastError()) || TookTheWholeLimit(readStart, timeouts.receiveMs)) Raise(TimedOut);
            break;
        }
        if (got == 0) break;
        used += got;
        arrived = used;
        if (used > HttpLimits::kMaxReplyBytes) Raise(TooLarge);
        if (abandoned) break;
    }
    reply.resize(used);
}

void HttpExchange::ReadBlocks() {
    {
        char text[32] = {};
        DWORD length = sizeof text - 1;
        std::lock_guard<std::mutex> lock(mutex);
        if (HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr)) {
            char* end = nullptr;
            announced = std::strtoull(text, &end, 10);
            lengthKnown = end != text;
        }
        answered = true;
    }
    changed.notify_all();

    unsigned long long total = 0;
    bool fast = false;
    ULONGLONG windowStart = GetTickCount64();
    unsigned long long windowBytes = 0;  // read since windowStart
    for (;;) {
        std::string block;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return blocks.size() < HttpLimits::kMaxQueuedBlocks || abandoned; });
            if (abandoned) return;
            if (!spare.empty()) {
                block = std::move(spare.back());
                spare.pop_back();
            }
        }
        // Asking only for what has arrived makes each read return as soon as there is
        // something, however slowly it trickles: the caller sees every byte as it comes. A link
        // that has just brought a block's worth within moments is asked for a large block in
        // one read instead (WinINet then receives straight into it, far cheaper than many
        // small reads), for as long as each such read keeps being that quick.
        const ULONGLONG readStart = GetTickCount64();
        DWORD wanted = static_cast<DWORD>(kFastBlockBytes);
        if (!fast) {
            wanted = 0;
            if (!InternetQueryDataAvailable(request.get(), &wanted, 0, 0)) {
                if (IsTimeoutError(GetLastError()) || TookTheWholeLimit(readStart, timeouts.receiveMs)) {
                    Raise(TimedOut);
                }
                Raise(BodyCut);
            }
            if (wanted == 0) break;  // the end of the body
            wanted = std::min<DWORD>(wanted, HttpInterface::kReadChunk);
        }
        block.resize(wanted);
        DWORD got = 0;
        if (!InternetReadFile(request.get(), &block[0], wanted, &got)) {
            if (IsTimeoutError(GetLastError()) || TookTheWholeLimit(readStart, timeouts.receiveMs)) Raise(TimedOut);
            Raise(BodyCut);
        }
        if (got == 0) break;
        block.resize(got);
        arrived = total + got;
        const ULONGLONG now = GetTickCount64();
        if (fast) {
            fast = got == wanted && now - readStart < kBlockGatherMs;
            windowStart = now;
            windowBytes = 0;
        } else if (now - windowStart >= kBlockGatherMs) {
            windowStart = now;
            windowBytes = got;
        } else {
            windowBytes += got;
            fast = windowBytes >= HttpInterface::kReadChunk;
        }
        total += got;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (abandoned) return;
            blocks.push_back(std::move(block));
        }
        changed.notify_all();
    }
    // A connection that closes early reads like the end of the body.
    if (lengthKnown && total < announced) Raise(BodyCut);
}
