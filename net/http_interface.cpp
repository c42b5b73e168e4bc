#include "net/http_interface.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <thread>
#include <utility>

#include "net/http_exchange.h"

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

DWORD& DownloadStallLimitMs() {
    static DWORD limit = kDownloadStallMs;
    return limit;
}

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The parts of an absolute address that make its origin.
struct Origin {
    bool ok = false;  // http or https, with a host
    std::string scheme;
    std::string host;
    unsigned port = 0;
    bool userInfo = false;
};

Origin OriginOf(const std::string& url) {
    Origin origin;
    const size_t mark = url.find("://");
    if (mark == std::string::npos) return origin;
    origin.scheme = Lower(url.substr(0, mark));
    if (origin.scheme != "http" && origin.scheme != "https") return origin;
    const size_t begin = mark + 3;
    const size_t end = url.find_first_of("/?#", begin);
    const std::string authority = url.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    origin.userInfo = authority.find('@') != std::string::npos;
    const size_t colon = authority.rfind(':');
    origin.host = Lower(authority.substr(0, colon));
    if (colon != std::string::npos)
        origin.port = static_cast<unsigned>(std::atoi(authority.c_str() + colon + 1)) & 0xFFFF;
    if (origin.port == 0)
        origin.port = origin.scheme == "https" ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    origin.ok = !origin.host.empty();
    return origin;
}

bool HasScheme(const std::string& text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (size_t i = 1; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ':') return true;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

}  // namespace

std::string ResolveLocation(const std::string& base, const std::string& location) {
    // Control characters in a Location value would end up inside the next request line.
    for (unsigned char c : location) {
        if (c < 0x20 || c == 0x7F) return std::string();
    }
    std::string resolved;
    const size_t mark = base.find("://");
    if (HasScheme(location)) {
        const size_t colon = location.find(':');
        resolved = Lower(location.substr(0, colon)) + location.substr(colon);
    } else if (mark == std::string::npos) {
        return std::string();
    } else {
        const std::string scheme = base.substr(0, mark);
        const size_t pathAt = std::min(base.find_first_of("/?#", mark + 3), base.size());
        const std::string origin = base.substr(0, pathAt);
        const std::string rest = base.substr(pathAt);
        const std::string path = rest.substr(0, rest.find_first_of("?#"));
        if (location.compare(0, 2, "//") == 0) {
            resolved = scheme + ":" + location;
        } else if (!location.empty() && location[0] == '/') {
            resolved = origin + location;
        } else if (location.empty() || location[0] == '#') {
            resolved = origin + rest;
        } else if (location[0] == '?') {
            resolved = origin + (path.empty() ? "/" : path) + location;
        } else {
            const size_t slash = path.rfind('/');
            resolved = origin + (slash == std::string::npos ? "/" : path.substr(0, slash + 1)) + location;
        }
    }
    // The fragment names a place in the page; it is never sent.
    return resolved.substr(0, resolved.find('#'));
}

RedirectStep NextRedirectStep(const std::string& from, const std::string& to, DWORD status, bool post) {
    RedirectStep step;
    const Origin source = OriginOf(from), target = OriginOf(to);
    if (!target.ok || target.userInfo) return step;
    if (source.scheme == "https" && target.scheme == "http") return step;  // never down to plain text
    step.sameOrigin =
        source.ok && source.scheme == target.scheme && source.host == target.host && source.port == target.port;
    // As browsers do: 307 and 308 keep the verb and the body; the others continue with a GET.
    step.post = post && (status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == 308);
    if (step.post && !step.sameOrigin) return step;  // the body stays with the origin it was meant for
    step.follow = true;
    return step;
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

void HttpInterface::Close() { exchange_.reset(); }

bool HttpInterface::hasOpenHandles() const {
    return exchange_ && (exchange_->session || exchange_->connection || exchange_->request);
}

int32_t HttpInterface::Fail(int32_t error) {
    lastError_ = error;
    return error;
}

std::shared_ptr<HttpExchange> HttpInterface::Begin(const std::string& url) {
    auto exchange = std::make_shared<HttpExchange>();
    exchange->flavor = flavor_;
    exchange->timeouts = CurrentHttpTimeouts();
    exchange->url = url;
    if (exchange_) {
        // The earlier request is over (one left behind is never kept): its session goes on,
        // its connection and request close.
        exchange->session = std::move(exchange_->session);
        exchange_.reset();
    }
    return exchange;
}

namespace {

// Receiving threads are kept a while after their request and reused: a new thread costs more
// than a small request under Wine. A thread left behind by its caller returns to the pool only
// once its blocked call has ended; a caller never waits for one.
class ReceiverPool {
public:
    static ReceiverPool& Instance() {
        static ReceiverPool* pool = new ReceiverPool;  // never destroyed: threads may outlive main
        return *pool;
    }

    void Run(std::shared_ptr<HttpExchange> exchange) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (idle_ > 0) {
                --idle_;
                jobs_.push_back(std::move(exchange));
                wake_.notify_one();
                return;
            }
        }
        std::thread([this, exchange] {
            exchange->Run();
            Serve();
        }).detach();
    }

private:
    static constexpr auto kIdleLimit = std::chrono::seconds(30);

    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            if (!wake_.wait_for(lock, kIdleLimit, [this] { return !jobs_.empty(); })) {
                --idle_;
                return;
            }
            std::shared_ptr<HttpExchange> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job->Run();
            job.reset();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<HttpExchange>> jobs_;
    int idle_ = 0;  // threads waiting for a job, less the jobs already handed to them
};

void Start(const std::shared_ptr<HttpExchange>& exchange) {
    try {
        ReceiverPool::Instance().Run(exchange);
    } catch (const std::exception&) {
        exchange->Run();  // no thread to spare: the limits of WinINet alone bound it
    }
}

// Stops waiting for a receiving thread; it ends by itself and closes its own handles.
void Abandon(HttpExchange& exchange) {
    {
        std::lock_guard<std::mutex> lock(exchange.mutex);
        exchange.abandoned = true;
    }
    exchange.changed.notify_all();
}

// True while the TLS handshake (or the connection before it) of a secure request is within its
// limit; WinINet under Wine does not time the handshake.
bool HandshakeInTime(const HttpExchange& exchange, ULONGLONG now) {
    const ULONGLONG since = now - exchange.phaseSince;
    const HttpTimeouts& limits = exchange.timeouts;
    switch (exchange.phase) {
        case HttpExchange::Connecting:
            return since < static_cast<ULONGLONG>(limits.connectMs) + limits.HandshakeMs();
        case HttpExchange::Handshake:
            return since < limits.HandshakeMs();
        default:
            return true;
    }
}

constexpr auto kWatchTick = std::chrono::milliseconds(20);

}  // namespace

std::string HttpInterface::Post(std::string url, int post, std::string headers, std::string body, std::string* token) {
    if (url.empty()) {
        Fail(EmptyUrl);
        return std::string();
    }
    try {
        std::shared_ptr<HttpExchange> exchange = Begin(url);
        exchange->post = flavor_.alwaysPost || post != 0;
        exchange->headers = std::move(headers);
        exchange->body = std::move(body);
        exchange->wantsToken = token && flavor_.readsToken;
        exchange->phaseSince = GetTickCount64();
        const ULONGLONG start = GetTickCount64();
        Start(exchange);
        {
            std::unique_lock<std::mutex> lock(exchange->mutex);
            while (!exchange->done) {
                const ULONGLONG now = GetTickCount64();
                if (now - start >= exchange->timeouts.TotalMs() || !HandshakeInTime(*exchange, now)) {
                    lock.unlock();
                    Abandon(*exchange);
                    Fail(TimedOut);
                    return std::string();
                }
                exchange->changed.wait_for(lock, kWatchTick);
            }
        }
        exchange_ = exchange;  // its handles stay open until the next request or Close
        if (exchange->error) {
            Fail(exchange->error);
            return std::string();
        }
        if (token && exchange->hasToken) *token = exchange->token;
        return std::move(exchange->reply);
    } catch (...) {
        // Out of memory: report it as a failed request.
        Fail(SendRequestFailed);
    }
    return std::string();
}

bool HttpInterface::Download(const std::string& url, DownloadWriter& writer, unsigned long long maxBytes, DWORD flags) {
    if (url.empty()) return Fail(EmptyUrl) == 0;
    std::shared_ptr<HttpExchange> exchange;
    int32_t failure = 0;
    try {
        exchange = Begin(url);
        exchange->streaming = true;
        exchange->flags = flags;
        // An installer may pause longer than a query answer: each step may wait as long as the
        // stall limit; the watch below ends the download by the rule for the whole.
        exchange->timeouts.sendMs = exchange->timeouts.receiveMs = DownloadStallLimitMs();
        exchange->phaseSince = GetTickCount64();
        Start(exchange);

        unsigned long long received = 0, total = 0, markBytes = 0;
        ULONGLONG markTick = GetTickCount64();
        bool reported = false;
        std::deque<std::string> taken;
        std::vector<std::string> given;
        for (;;) {
            bool answered = false, finished = false, lengthKnown = false;
            unsigned long long announced = 0;
            int32_t error = 0;
            {
                std::unique_lock<std::mutex> lock(exchange->mutex);
                exchange->changed.wait_for(lock, kWatchTick, [&] {
                    return exchange->done || !exchange->blocks.empty() || (exchange->answered && !reported);
                });
                for (std::string& block : given) exchange->spare.push_back(std::move(block));
                given.clear();
                taken.swap(exchange->blocks);
                answered = exchange->answered;
                lengthKnown = exchange->lengthKnown;
                announced = exchange->announced;
                finished = exchange->done;
                error = exchange->error;
            }
            exchange->changed.notify_all();  // room for more blocks
            if (answered && !reported) {
                reported = true;
                total = lengthKnown ? announced : 0;
                // Refused before a byte of the body is stored.
                if (lengthKnown && announced > maxBytes)
                    failure = TooLarge;
                else if (!writer.OnProgress(0, total))
                    failure = Cancelled;
            }
            for (std::string& block : taken) {
                if (failure) break;
                if (block.size() > maxBytes - received) {
                    failure = TooLarge;
                } else if (!writer.Write(block.data(), block.size())) {
                    failure = StoreFailed;
                } else {
                    received += block.size();
                    if (!writer.OnProgress(received, total)) failure = Cancelled;
                }
                given.push_back(std::move(block));
            }
            taken.clear();
            if (failure) break;
            if (finished) {
                failure = error;
                break;
            }
            if (writer.Cancelled()) {
                failure = Cancelled;
                break;
            }
            // Stalled: fewer than kStallBytes arrived within the stall limit, however the bytes
            // trickle; a TLS handshake that never ends counts as well.
            const ULONGLONG now = GetTickCount64();
            const unsigned long long arrived = exchange->arrived;
            if (arrived - markBytes >= HttpLimits::kStallBytes) {
                markBytes = arrived;
                markTick = now;
            } else if (now - markTick >= DownloadStallLimitMs() || !HandshakeInTime(*exchange, now)) {
                failure = TimedOut;
                break;
            }
        }
    } catch (...) {
        failure = SendRequestFailed;  // out of memory
    }
    // The receiving thread, whatever it is doing, no longer reaches the writer.
    if (exchange) Abandon(*exchange);
    exchange_.reset();
    if (failure) {
        Fail(failure);
        return false;
    }
    return true;
}
