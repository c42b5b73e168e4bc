// Measuring programs for the benchmark scripts (not tests).
//   bench_tools md5 FILE       MD5 of FILE read 1024 bytes at a time
//   bench_tools get URL        HttpInterface GET of URL, whole body kept in memory
//   bench_tools post URL       the same as a POST (as both programs send their requests)
//   bench_tools posts URL N    N POSTs through HttpInterface, one object each (as the login does):
//                              prints the median milliseconds of one request
//   bench_tools steps URL N    the request class's WinINet calls made by hand, N times: prints the
//                              median milliseconds of each step (open, connect, request, send,
//                              first byte, header queries, body, close)
//   bench_tools steps-plain URL N   the same with WinINet's plain flags (URL-cache entry)
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

// The request class's WinINet calls made by hand, with the class's own flags (or WinINet's
// plain ones, which also write the URL cache). Sending is split from
// waiting for the answer with the Ex form: the body goes out with the headers, as the class
// sends it, and HttpEndRequest waits for the status line and the headers.
int Steps(const std::string& url, int count, DWORD flags) {
    std::string host, page;
    unsigned short port = 0;
    HttpInterface::SplitUrl(url, host, page, port);
    const char* names[] = {"open", "connect", "request", "send", "first-byte", "query", "body", "close"};
    constexpr int kSteps = 8;
    std::vector<double> ms[kSteps];
    const std::string headers = "Content-Type:application/json";
    std::string body = "{\"loginName\":\"demo\"}";
    std::vector<char> chunk(HttpInterface::kReadChunk);
    for (int i = 0; i < count; ++i) {
        double t[kSteps + 1];
        t[0] = Now();
        HINTERNET session = InternetOpenW(HttpInterface::kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ApplyTimeouts(session, CurrentHttpTimeouts());
        t[1] = Now();
        HINTERNET connection =
            InternetConnectA(session, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        ApplyTimeouts(connection, CurrentHttpTimeouts());
        t[2] = Now();
        HINTERNET request = HttpOpenRequestA(connection, "POST", page.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0);
        ApplyTimeouts(request, CurrentHttpTimeouts());
        t[3] = Now();
        INTERNET_BUFFERSA buffers{};
        buffers.dwStructSize = sizeof buffers;
        buffers.lpcszHeader = headers.c_str();
        buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
        buffers.dwHeadersTotal = buffers.dwHeadersLength;
        buffers.lpvBuffer = &body[0];
        buffers.dwBufferLength = static_cast<DWORD>(body.size());
        buffers.dwBufferTotal = buffers.dwBufferLength;
        BOOL sent = HttpSendRequestExA(request, &buffers, nullptr, 0, 0);
        t[4] = Now();
        sent = sent && HttpEndRequestA(request, nullptr, 0, 0);
        t[5] = Now();
        char block[4097] = {};
        DWORD length = 4096;
        HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, block, &length, nullptr);
        DWORD status = 0, size = sizeof status;
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
        t[6] = Now();
        DWORD got = 0;
        while (InternetReadFile(request, chunk.data(), static_cast<DWORD>(chunk.size()), &got) && got > 0) {
        }
        t[7] = Now();
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
        InternetCloseHandle(session);
        t[8] = Now();
        if (!sent) return 1;
        for (int k = 0; k < kSteps; ++k) ms[k].push_back(1000.0 * (t[k + 1] - t[k]));
    }
    for (int k = 0; k < kSteps; ++k) std::fprintf(stderr, "%s %.3f\n", names[k], Median(ms[k]));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (argc == 4 && (command == L"posts" || command == L"steps" || command == L"steps-plain")) {
        const std::string url = WideToAnsi(argv[2]);
        const int count = _wtoi(argv[3]);
        if (command == L"posts") return Posts(url, count);
        return Steps(url, count, command == L"steps" ? HttpInterface::kRequestFlags : INTERNET_FLAG_RELOAD);
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
