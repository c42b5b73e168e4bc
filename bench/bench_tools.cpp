// Measuring programs for the benchmark scripts (not tests).
//   bench_tools md5 FILE       MD5 of FILE read 1024 bytes at a time
//   bench_tools get URL        HttpInterface GET of URL, whole body kept in memory
//   bench_tools post URL       the same as a POST (as both programs send their requests)
//   bench_tools posts URL N    N POSTs through HttpInterface, one object each (as the login does):
//                              prints the median milliseconds of one request
//   bench_tools steps URL N    the request class's WinINet calls made by hand, N times: prints the
//                              median milliseconds of each step (open, connect, request, send and
//                              wait for the headers, header query, body)
// Each prints "<result> <bytes> <seconds>" measured inside the process (on standard error for
// "get", whose standard output carries the request class's trace line).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/md5.h"
#include "common/text.h"
#include "net/http_interface.h"

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Posts(const std::string& url, int count) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        double start = Now();
        HttpInterface http;
        std::string body = http.Post(url, 1, "Content-Type:application/json", "{\"loginName\":\"demo\"}");
        http.Close();
        ms.push_back(1000.0 * (Now() - start));
        if (body.empty()) return 1;
    }
    std::fprintf(stderr, "request %.3f\n", Median(ms));
    return 0;
}

int Steps(const std::string& url, int count) {
    std::string host, page;
    unsigned short port = 0;
    HttpInterface::SplitUrl(url, host, page, port);
    const char* names[] = {"open", "connect", "request", "send+headers", "query", "body"};
    std::vector<double> ms[6];
    const std::string headers = "Content-Type:application/json";
    std::string body = "{\"loginName\":\"demo\"}";
    for (int i = 0; i < count; ++i) {
        double t[7];
        t[0] = Now();
        HINTERNET session = InternetOpenW(HttpInterface::kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        t[1] = Now();
        HINTERNET connection = InternetConnectA(session, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        t[2] = Now();
        HINTERNET request = HttpOpenRequestA(connection, "POST", page.c_str(), "HTTP/1.1", nullptr, nullptr,
                                             INTERNET_FLAG_RELOAD, 0);
        t[3] = Now();
        BOOL sent = HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()), &body[0],
                                     static_cast<DWORD>(body.size()));
        t[4] = Now();
        char block[4097] = {};
        DWORD length = 4096;
        HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, block, &length, nullptr);
        t[5] = Now();
        char chunk[4096];
        DWORD got = 0;
        while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0) {
        }
        t[6] = Now();
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
        InternetCloseHandle(session);
        if (!sent) return 1;
        for (int k = 0; k < 6; ++k) ms[k].push_back(1000.0 * (t[k + 1] - t[k]));
    }
    for (int k = 0; k < 6; ++k) std::fprintf(stderr, "%s %.3f\n", names[k], Median(ms[k]));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && (std::wstring(argv[1]) == L"posts" || std::wstring(argv[1]) == L"steps")) {
        const std::string url = WideToAnsi(argv[2]);
        const int count = _wtoi(argv[3]);
        return std::wstring(argv[1]) == L"posts" ? Posts(url, count) : Steps(url, count);
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_tools md5 FILE | get URL\n");
        return 2;
    }
    std::wstring mode = argv[1];
    if (mode == L"md5") {
        double start = Now();
        FILE* f = _wfopen(argv[2], L"rb");
        if (!f) return 1;
        static char streamBuffer[1 << 16];
        setvbuf(f, streamBuffer, _IOFBF, sizeof streamBuffer);
        Md5 md5;
        unsigned char buffer[1024];
        size_t total = 0, n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            md5.Update(buffer, n);
            total += n;
        }
        std::fclose(f);
        std::string digest = md5.HexDigest();
        std::printf("%s %zu %.6f\n", digest.c_str(), total, Now() - start);
        return 0;
    }
    if (mode == L"get" || mode == L"post") {
        // The class prints a trace line on standard output; send it elsewhere.
        std::string url = WideToAnsi(argv[2]);
        double start = Now();
        HttpInterface http;
        std::string body = http.Post(url, mode == L"post" ? 1 : 0, "", mode == L"post" ? "{}" : "");
        double elapsed = Now() - start;
        std::fprintf(stderr, "%s %zu %.6f\n", body.empty() ? "failed" : "ok", body.size(), elapsed);
        return body.empty() ? 1 : 0;
    }
    return 2;
}
