#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/raw_http_server.h"
#include "fixtures/short_stall.h"
#include "net/http_interface.h"

using testing_fixtures::RawHttpServer;
using testing_fixtures::RecordedRequest;

namespace {

TEST(SplitUrl, Table) {
    struct Row {
        const char* url;
        const char* host;
        const char* page;
        unsigned short port;
        bool secure;
    } rows[] = {
        {"http://srv:8080/a/b?x=1", "srv", "/a/b?x=1", 8080, false},
        {"http://srv", "srv", "", 80, false},
        {"srv", "srv", "", 80, false},
        {"http://srv:99999/x", "srv", "/x", 34463, false},  // low 16 bits
        {"http://srv:/x", "srv", "/x", 0, false},
        {"http://srv:12ab/x", "srv", "/x", 12, false},
        {"http://127.0.0.1:18080/platform/encrypt/login", "127.0.0.1", "/platform/encrypt/login", 18080, false},
        {"see http://srv/p", "srv", "/p", 80, false},  // text before the scheme is dropped
        {"https://srv/p", "srv", "/p", 443, true},
        {"https://srv:8443", "srv", "", 8443, true},
        {"", "", "", 80, false},
    };
    for (const Row& row : rows) {
        std::string host = "junk", page = "junk";
        unsigned short port = 1;
        bool secure = !row.secure;
        HttpInterface::SplitUrl(row.url, host, page, port, &secure);
        EXPECT_EQ(row.host, host) << row.url;
        EXPECT_EQ(row.page, page) << row.url;
        EXPECT_EQ(row.port, port) << row.url;
        EXPECT_EQ(row.secure, secure) << row.url;
    }
}

TEST(BearerToken, OnlyALeadingBearerIsStripped) {
    EXPECT_EQ("abc.def", BearerToken("Bearer abc.def"));
    EXPECT_EQ("abc", BearerToken("abc"));
    EXPECT_EQ("xBearer abc", BearerToken("xBearer abc"));
    EXPECT_EQ("", BearerToken("Bearer "));
    EXPECT_EQ("Bearer", BearerToken("Bearer"));
}

TEST(HttpRequest, PostSendsLineHeadersAndBodyAsGiven) {
    RawHttpServer server;
    server.SetResponse(200, "", "{\"status\":20000}");
    HttpInterface http;
    std::string body = "{\"loginName\":\"u\",\"password\":\"p\",\"loginType\":\"web\"}";
    std::string reply = http.Post(server.Url("/platform/encrypt/login"), 1, "Content-Type:application/json", body);
    EXPECT_EQ("{\"status\":20000}", reply);
    EXPECT_EQ(0, http.lastError());
    auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /platform/encrypt/login HTTP/1.1", requests[0].RequestLine());
    EXPECT_EQ("application/json", requests[0].Header("Content-Type"));
    EXPECT_EQ("Http-connect", requests[0].Header("User-Agent"));
    EXPECT_EQ(body, requests[0].body);
}

TEST(HttpRequest, GetSendsNoBodyAndUpdaterAlwaysPosts) {
    RawHttpServer server;
    server.SetResponse(200, "", "ok");
    {
        HttpInterface http;
        EXPECT_EQ("ok", http.Post(server.Url("/g"), 0, "", "ignored body"));
    }
    {
        HttpInterface http(HttpFlavor::Updater());
        EXPECT_EQ("ok", http.Post(server.Url("/u"), 0, "Accept-Point:abc\r\nContent-Type:application/json", "{}\n"));
    }
    auto requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("GET /g HTTP/1.1", requests[0].RequestLine());
    EXPECT_EQ("", requests[0].body);
    EXPECT_EQ("POST /u HTTP/1.1", requests[1].RequestLine());
    EXPECT_EQ("abc", requests[1].Header("Accept-Point"));
    EXPECT_EQ("{}\n", requests[1].body);
}

TEST(HttpRequest, BearerTokenFromAuthorizationHeader) {
    RawHttpServer server;
    struct Row {
        const char* header;
        const char* expected;
    } rows[] = {
        {"Authorization: Bearer tok.en-1\r\n", "tok.en-1"},
        {"Authorization: plainvalue\r\n", "plainvalue"},
        {"Authorization: Basic Bearer x\r\n", "Basic Bearer x"},
        {"", "untouched"},
    };
    for (const Row& row : rows) {
        server.SetResponse(200, row.header, "{}");
        HttpInterface http;
        std::string token = "untouched";
        EXPECT_EQ("{}", http.Post(server.Url("/t"), 1, "", "x", &token));
        EXPECT_EQ(row.expected, token) << row.header;
    }
    // The updater never reads a token.
    server.SetResponse(200, "Authorization: Bearer zzz\r\n", "{}");
    HttpInterface updater(HttpFlavor::Updater());
    std::string token = "untouched";
    updater.Post(server.Url("/t"), 1, "", "x", &token);
    EXPECT_EQ("untouched", token);
}

TEST(HttpRequest, BodiesAreKeptWholeIncludingNulBytes) {
    RawHttpServer server;
    std::string body;
    for (int i = 0; i < 5 * 1024 * 1024 + 3; ++i) body.push_back(static_cast<char>((i * 31) % 251));
    body[100] = '\0';
    body[4096] = '\0';
    server.SetResponse(200, "", body);
    HttpInterface http;
    std::string reply = http.Post(server.Url("/big"), 0, "", "");
    EXPECT_EQ(body.size(), reply.size());
    EXPECT_TRUE(reply == body);

    // Chunked transfer: the chunks are joined without their framing.
    static const char kChunked[] =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
        "5\r\nab\0cd\r\n3\r\nefg\r\n0\r\n\r\n";
    server.SetRawResponse(std::string(kChunked, sizeof kChunked - 1));
    std::string chunked = http.Post(server.Url("/chunked"), 0, "", "");
    EXPECT_EQ(std::string("ab\0cdefg", 8), chunked);
}

TEST(HttpRequest, StatusDecidesNotFound) {
    RawHttpServer server;
    HttpInterface http;
    server.SetResponse(404, "", "missing");
    EXPECT_EQ("", http.Post(server.Url("/x"), 1, "", "b"));
    EXPECT_EQ(NotFound, http.lastError());

    // "404" elsewhere in the headers is not a missing page.
    server.SetResponse(200, "X-Request-Id: 404404\r\n", std::string(4040, 'z'));
    HttpInterface other;
    EXPECT_EQ(std::string(4040, 'z'), other.Post(server.Url("/x"), 1, "", "b"));
    EXPECT_EQ(0, other.lastError());

    // Any other status is a success whose body the caller judges.
    server.SetResponse(500, "", "oops");
    EXPECT_EQ("oops", other.Post(server.Url("/x"), 1, "", "b"));
    EXPECT_EQ(0, other.lastError());
    // A success leaves an earlier error in place.
    EXPECT_EQ(NotFound, http.lastError());
    server.SetResponse(200, "", "fine");
    EXPECT_EQ("fine", http.Post(server.Url("/x"), 1, "", "b"));
    EXPECT_EQ(NotFound, http.lastError());
}

TEST(HttpRequest, LargeHeaderBlockIsReadWithALargerBuffer) {
    RawHttpServer server;
    std::string headers;
    for (int i = 0; i < 40; ++i) headers += "X-Filler-" + std::to_string(i) + ": " + std::string(200, 'h') + "\r\n";
    server.SetResponse(200, headers, "body");
    for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
        HttpInterface http(flavor);
        EXPECT_EQ("body", http.Post(server.Url("/h"), 1, "", "b"));
        EXPECT_EQ(0, http.lastError());
    }
}

TEST(HttpRequest, NetworkFailuresGiveEmptyReplyAndAReason) {
    HttpInterface http;
    EXPECT_EQ("", http.Post("", 1, "", "b"));
    EXPECT_EQ(EmptyUrl, http.lastError());
    EXPECT_FALSE(http.hasOpenHandles());

    unsigned short port = testing_fixtures::UnusedPort();
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/x";
    EXPECT_EQ("", http.Post(url, 1, "", "b"));
    EXPECT_EQ(SendRequestFailed, http.lastError());

    // A connection reset in the middle of the body ends the reply with what arrived.
    RawHttpServer server;
    server.SetResponder([](SOCKET s, const RecordedRequest&) {
        RawHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'p'));
        Sleep(100);
        RawHttpServer::Reset(s);
    });
    HttpInterface cut;
    std::string partial = cut.Post(server.Url("/cut"), 0, "", "");
    EXPECT_LE(partial.size(), 5000u);
    EXPECT_EQ(std::string(partial.size(), 'p'), partial);

    // A server that closes without any answer, abruptly or in good order: a failure with a
    // reason in both flavours, never an empty success.
    for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
        server.SetResponder([](SOCKET s, const RecordedRequest&) { RawHttpServer::Reset(s); });
        HttpInterface dropped(flavor);
        EXPECT_EQ("", dropped.Post(server.Url("/drop"), 1, "", "b"));
        EXPECT_NE(0, dropped.lastError());

        server.SetResponder([](SOCKET s, const RecordedRequest&) { shutdown(s, SD_BOTH); });
        HttpInterface closed(flavor);
        EXPECT_EQ("", closed.Post(server.Url("/close"), 1, "", "b"));
        EXPECT_NE(0, closed.lastError());
    }
}

TEST(HttpRequest, SecondRequestReplacesTheFirstOnesHandles) {
    RawHttpServer server;
    server.SetResponse(200, "", "one");
    HttpInterface http;
    EXPECT_EQ("one", http.Post(server.Url("/1"), 1, "", "a"));
    EXPECT_TRUE(http.hasOpenHandles());
    server.SetResponse(200, "", "two");
    EXPECT_EQ("two", http.Post(server.Url("/2"), 1, "", "b"));
    http.Close();
    EXPECT_FALSE(http.hasOpenHandles());
    http.Close();  // twice is harmless
    EXPECT_EQ(2u, server.Requests().size());
}

// A server that keeps each connection open after its first answer, as real servers do, and
// then lets it go in one of the ways a server may: while it lies idle, or just as the next
// request on it arrives (read, then closed or reset without an answer). One thread per
// connection, each giving up after two seconds of silence.
class KeepAliveServer {
public:
    enum Drop { WhileIdle, OnNextRequest, ResetOnNextRequest };

    explicit KeepAliveServer(Drop drop) : drop_(drop) {
        listener_ = testing_fixtures::BindLoopback(port_);
        listen(listener_, 8);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~KeepAliveServer() {
        stop_ = true;
        closesocket(listener_);
        acceptor_.join();
        for (std::thread& t : connections_) t.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/k"; }
    int answers() const { return answers_; }

private:
    void Accept() {
        while (!stop_) {
            SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;
            DWORD limit = 2000;
            setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
            connections_.emplace_back([this, s] { Serve(s); });
        }
    }
    void Serve(SOCKET s) {
        if (ReadOne(s)) {
            ++answers_;
            RawHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
            if (drop_ == WhileIdle) {
                Sleep(100);
            } else if (ReadOne(s) && drop_ == ResetOnNextRequest) {
                RawHttpServer::Reset(s);
                return;
            }
        }
        shutdown(s, SD_SEND);
        closesocket(s);
    }
    // One request: headers, then as many body bytes as announced.
    static bool ReadOne(SOCKET s) {
        std::string request;
        char buffer[4096];
        size_t end;
        while ((end = request.find("\r\n\r\n")) == std::string::npos) {
            const int n = recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            request.append(buffer, n);
        }
        const size_t at = request.find("Content-Length: ");
        const size_t length = at == std::string::npos ? 0 : std::strtoul(request.c_str() + at + 16, nullptr, 10);
        while (request.size() < end + 4 + length) {
            const int n = recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            request.append(buffer, n);
        }
        return true;
    }

    Drop drop_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> answers_{0};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

// The object keeps its session between requests, and WinINet keeps connections alive between
// requests (of any object in the process). A connection that the server let go while it lay
// idle is replaced unseen. One dropped just as a request went out on it gives that request a
// failure with a reason (WinINet under Wine does not send it again, and a POST is not ours to
// repeat), never a hang; the next request works.
TEST(HttpRequest, KeptAliveConnectionsThatTheServerDrops) {
    RawHttpServer winsockUser;  // makes sure the sockets layer is started
    struct Row {
        const char* name;
        KeepAliveServer::Drop drop;
    } rows[] = {
        {"closed while idle", KeepAliveServer::WhileIdle},
        {"closed as the next request arrives", KeepAliveServer::OnNextRequest},
        {"reset as the next request arrives", KeepAliveServer::ResetOnNextRequest},
    };
    for (const Row& row : rows) {
        for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
            KeepAliveServer server(row.drop);
            HttpInterface reused(flavor);
            int failures = 0;
            for (int i = 0; i < 4; ++i) {
                if (row.drop == KeepAliveServer::WhileIdle) Sleep(300);
                const std::string reply = reused.Post(server.Url(), 1, "", "{}");
                if (reply.empty()) {
                    ++failures;
                    EXPECT_NE(0, reused.lastError()) << row.name << ", request " << i;
                    EXPECT_NE(TimedOut, reused.lastError()) << row.name << ", request " << i;
                    EXPECT_FALSE(row.drop == KeepAliveServer::WhileIdle) << row.name << ", request " << i;
                } else {
                    EXPECT_EQ("ok", reply) << row.name << ", request " << i;
                }
            }
            EXPECT_LE(failures, 2) << row.name;  // every other request at most: it meets a fresh connection
            HttpInterface fresh(flavor);
            Sleep(300);
            EXPECT_EQ("ok", fresh.Post(server.Url(), 1, "", "{}")) << row.name;
        }
    }
}

// Short limits for one test, restored afterwards.
class ShortTimeouts {
public:
    explicit ShortTimeouts(DWORD ms) : saved_(CurrentHttpTimeouts()) { CurrentHttpTimeouts() = {ms, ms, ms}; }
    ~ShortTimeouts() { CurrentHttpTimeouts() = saved_; }

private:
    HttpTimeouts saved_;
};

TEST(HttpRequest, StallsEndAsTimedOutInBothFlavours) {
    ShortTimeouts shortWaits(1000);
    RawHttpServer server;
    struct Row {
        const char* name;
        std::string sentFirst;  // then nothing, connection held open
    } rows[] = {
        {"no answer at all", ""},
        {"half a status line", "HTTP/1.1 200"},
        {"headers then nothing", "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n"},
        {"some bytes then nothing", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(1000, 'x')},
        {"no length, some bytes then nothing", "HTTP/1.1 200 OK\r\n\r\n" + std::string(1000, 'x')},
    };
    for (const Row& row : rows) {
        const std::string first = row.sentFirst;
        server.SetResponder([first](SOCKET s, const RecordedRequest&) {
            RawHttpServer::SendAll(s, first);
            RawHttpServer::HoldOpen(s);
        });
        for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
            HttpInterface http(flavor);
            EXPECT_EQ("", http.Post(server.Url("/stall"), 1, "", "b")) << row.name;
            EXPECT_EQ(TimedOut, http.lastError()) << row.name;
            http.Close();  // lets the fixture's held connection go
        }
    }
}

TEST(HttpRequest, RedirectsAreFollowedUpToTheLimit) {
    RawHttpServer server;
    // "/hop/N" redirects to "/hop/N-1"; "/hop/0" answers with the method that reached it.
    server.SetResponder([](SOCKET s, const RecordedRequest& request) {
        const std::string line = request.RequestLine();
        const size_t at = line.find("/hop/");
        const int left = at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 5);
        const int status = line.find("/keep/") != std::string::npos ? 307 : 302;
        std::string bytes;
        if (line.find("/loop") != std::string::npos) {
            bytes = "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n";
        } else if (left > 0) {
            const std::string next = line.substr(at, 5) + std::to_string(left - 1);
            const std::string prefix = status == 307 ? "/keep" : "";
            bytes = "HTTP/1.1 " + std::to_string(status) + " Moved\r\nLocation: " + prefix + next +
                    "\r\nContent-Length: 0\r\n\r\n";
        } else {
            const std::string method = line.substr(0, line.find(' '));
            bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(method.size()) + "\r\n\r\n" + method;
        }
        RawHttpServer::SendAll(s, bytes);
    });
    struct Row {
        std::string path;
        std::string reply;
        int32_t error;
    } rows[] = {
        {"/hop/10", "GET", 0},       // ten redirects are followed; a POST becomes a GET after 302
        {"/keep/hop/3", "POST", 0},  // 307 keeps the method and the body
        {"/hop/11", "", TooManyRedirects},
        {"/loop", "", TooManyRedirects},
    };
    for (const Row& row : rows) {
        for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
            const size_t before = server.Requests().size();
            HttpInterface http(flavor);
            EXPECT_EQ(row.reply, http.Post(server.Url(row.path), 1, "", "b")) << row.path;
            EXPECT_EQ(row.error, http.lastError()) << row.path;
            EXPECT_LE(server.Requests().size() - before, size_t(HttpInterface::kMaxRedirects + 1)) << row.path;
        }
    }
}

}  // namespace

namespace {

TEST(RedirectRule, Table) {
    struct Row {
        const char* from;
        const char* to;
        DWORD status;
        bool post;
        bool follow, nextPost, sameOrigin;
    } rows[] = {
        {"http://a:80/x", "http://a/y", 307, true, true, true, true},        // default port is the same port
        {"http://a:80/x", "http://A:80/y", 308, true, true, true, true},     // host letters in any case
        {"http://a:80/x", "http://b:80/y", 307, true, false, true, false},   // the body would go elsewhere
        {"http://a:80/x", "http://a:81/y", 308, true, false, true, false},   // another port is another origin
        {"http://a:80/x", "https://a/y", 307, true, false, true, false},     // and so is another scheme
        {"http://a:80/x", "http://b/y", 302, true, true, false, false},      // continues as a GET, no headers
        {"http://a:80/x", "http://b/y", 307, false, true, false, false},     // a GET may go anywhere
        {"https://a:443/x", "http://a/y", 302, false, false, false, false},  // never down to plain text
        {"http://a:80/x", "https://b/y", 301, false, true, false, false},
        {"http://a:80/x", "ftp://a/y", 302, false, false, false, false},
        {"http://a:80/x", "http://user:pw@a/y", 302, false, false, false, false},
    };
    for (const Row& row : rows) {
        const RedirectStep step = NextRedirectStep(row.from, row.to, row.status, row.post);
        EXPECT_EQ(row.follow, step.follow) << row.from << " -> " << row.to;
        if (row.follow) {
            EXPECT_EQ(row.nextPost, step.post) << row.to;
            EXPECT_EQ(row.sameOrigin, step.sameOrigin) << row.to;
        }
    }
}

TEST(ResolveLocation, Table) {
    const std::string base = "http://h:80/a/b?q=1";
    struct Row {
        const char* location;
        const char* resolved;
    } rows[] = {
        {"http://o/x", "http://o/x"}, {"HTTPS://o/x", "https://o/x"},
        {"//o/x", "http://o/x"},      {"/x?y=1", "http://h:80/x?y=1"},
        {"c", "http://h:80/a/c"},     {"?z", "http://h:80/a/b?z"},
        {"/x#frag", "http://h:80/x"}, {"bad\r\nX: 1", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(row.resolved, ResolveLocation(base, row.location)) << row.location;
    EXPECT_EQ("http://h:80/", ResolveLocation("http://h:80", "/"));
}

// Redirect targets of any length up to the cap are followed; longer ones and hops that would
// carry the request body to another origin fail as redirect errors, never as an answer.
TEST(HttpRequest, RedirectTargetsAndOrigins) {
    RawHttpServer other;
    other.SetResponse(200, "", "elsewhere");
    RawHttpServer server;
    const std::string otherUrl = other.Url("/landed");
    server.SetResponder([otherUrl](SOCKET s, const RecordedRequest& request) {
        const std::string line = request.RequestLine();
        std::string location;
        int status = 302;
        if (line.find("/long/") != std::string::npos) {
            const size_t length = std::strtoul(line.c_str() + line.find("/long/") + 6, nullptr, 10);
            location = "/final?" + std::string(length, 'q');
        } else if (line.find("/away307") != std::string::npos) {
            location = otherUrl;
            status = 307;
        } else if (line.find("/away302") != std::string::npos) {
            location = otherUrl;
        } else {
            RawHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nhere");
            return;
        }
        RawHttpServer::SendAll(s, "HTTP/1.1 " + std::to_string(status) + " Moved\r\nLocation: " + location +
                                      "\r\nContent-Length: 0\r\n\r\n");
    });
    struct Row {
        std::string path;
        std::string reply;
        int32_t error;
    } rows[] = {
        {"/long/3000", "here", 0},           {"/long/4000", "here", 0},
        {"/long/9000", "", RedirectRefused}, {"/away307", "", RedirectRefused},  // the POST body stays at home
        {"/away302", "elsewhere", 0},  // as a GET, without the caller's headers
    };
    for (const Row& row : rows) {
        HttpInterface http(HttpFlavor::Updater());
        EXPECT_EQ(row.reply, http.Post(server.Url(row.path), 1, "Accept-Point: secret\r\n", "pw=1")) << row.path;
        EXPECT_EQ(row.error, http.lastError()) << row.path;
    }
    const auto landed = other.Requests();
    ASSERT_EQ(1u, landed.size());
    EXPECT_EQ(0u, landed[0].RequestLine().find("GET "));
    EXPECT_EQ("", landed[0].Header("Accept-Point"));
    EXPECT_EQ("", landed[0].body);
    for (const auto& request : server.Requests()) EXPECT_EQ("secret", request.Header("Accept-Point"));
}

TEST(HttpRequest, ReplyLargerThanTheCapFails) {
    RawHttpServer server;
    server.SetResponse(200, "", std::string(HttpLimits::kMaxReplyBytes + 1, 'r'));
    for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
        HttpInterface http(flavor);
        EXPECT_EQ("", http.Post(server.Url("/big"), 1, "", "b"));
        EXPECT_EQ(TooLarge, http.lastError());
    }
    server.SetResponse(200, "", std::string(HttpLimits::kMaxReplyBytes, 'r'));
    HttpInterface http;
    EXPECT_EQ(HttpLimits::kMaxReplyBytes, http.Post(server.Url("/fits"), 1, "", "b").size());
}

// However the bytes trickle, a request ends after its limit for the whole; an https address
// whose port takes the connection but never answers the TLS hello ends like a connection that
// is never made.
TEST(HttpRequest, TricklingRepliesAndSilentHandshakesEnd) {
    ShortTimeouts shortWaits(800);
    RawHttpServer server;
    server.SetResponder([](SOCKET s, const RecordedRequest&) {
        RawHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        for (int i = 0; i < 60; ++i) {  // one byte every 200 ms: never silent for a whole limit
            Sleep(200);
            if (send(s, "t", 1, 0) != 1) return;
        }
    });
    for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
        HttpInterface http(flavor);
        EXPECT_EQ("", http.Post(server.Url("/trickle"), 1, "", "b"));
        EXPECT_EQ(TimedOut, http.lastError());
    }
    server.SetResponder([](SOCKET s, const RecordedRequest&) { RawHttpServer::HoldOpen(s, 8000); });
    unsigned short port = 0;
    SOCKET silent = testing_fixtures::BindLoopback(port);
    listen(silent, 4);  // the system takes the connection; nobody ever reads the hello
    for (HttpFlavor flavor : {HttpFlavor::Client(), HttpFlavor::Updater()}) {
        HttpInterface http(flavor);
        EXPECT_EQ("", http.Post("https://127.0.0.1:" + std::to_string(port) + "/x", 1, "", "b"));
        EXPECT_NE(0, http.lastError());
    }
    closesocket(silent);
}

// Collects a download in memory.
struct MemoryWriter : DownloadWriter {
    std::string body;
    std::vector<unsigned long long> seen;
    bool Write(const char* data, size_t size) override {
        body.append(data, size);
        return true;
    }
    bool OnProgress(unsigned long long received, unsigned long long) override {
        seen.push_back(received);
        return true;
    }
    bool Cancelled() const override { return false; }
};

using testing_fixtures::ShortStall;

// A download is stalled only when fewer than a few KiB arrive within the limit: a slow but
// steady one goes through and is seen as it arrives, a trickle ends.
TEST(HttpDownload, SteadySlowLinksPassTricklesStall) {
    ShortStall stall(1500);
    RawHttpServer server;
    struct Row {
        const char* name;
        size_t piece;
        DWORD pauseMs;
        int pieces;
        bool ok;
    } rows[] = {
        {"steady 8 KB/s", 800, 100, 30, true},
        {"one byte every 200 ms", 1, 200, 40, false},
    };
    for (const Row& row : rows) {
        const Row copy = row;
        server.SetResponder([copy](SOCKET s, const RecordedRequest&) {
            RawHttpServer::SendAll(
                s, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(copy.piece * copy.pieces) + "\r\n\r\n");
            for (int i = 0; i < copy.pieces; ++i) {
                Sleep(copy.pauseMs);
                RawHttpServer::SendAll(s, std::string(copy.piece, 'd'));
            }
        });
        MemoryWriter writer;
        HttpInterface http(HttpFlavor::Updater());
        EXPECT_EQ(row.ok, http.Download(server.Url("/slow.exe"), writer, 1u << 20)) << row.name;
        if (row.ok) {
            EXPECT_EQ(row.piece * row.pieces, writer.body.size()) << row.name;
            EXPECT_GT(writer.seen.size(), 10u) << row.name;  // progress as the bytes come
        } else {
            EXPECT_EQ(TimedOut, http.lastError()) << row.name;
        }
    }
}

TEST(HttpDownload, SizeCapAnnouncedOrReceived) {
    RawHttpServer server;
    const std::string body(200000, 'x');
    struct Row {
        std::string response;
        unsigned long long cap;
        bool ok;
        size_t stored;  // at most
    } rows[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + body, 200000, true, 200000},
        {"HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + body, 199999, false, 0},         // refused up front
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body, 100000, false, 100000},         // as it passes
        {"HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n" + body, 1u << 20, false, 200000},  // cut short
    };
    for (const Row& row : rows) {
        server.SetRawResponse(row.response);
        MemoryWriter writer;
        HttpInterface http(HttpFlavor::Updater());
        EXPECT_EQ(row.ok, http.Download(server.Url("/p.exe"), writer, row.cap)) << row.cap;
        EXPECT_LE(writer.body.size(), row.stored) << row.cap;
        if (!row.ok) {
            EXPECT_NE(0, http.lastError());
        }
    }
}

}  // namespace
