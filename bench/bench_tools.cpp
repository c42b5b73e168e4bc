// Measuring programs for the benchmark scripts (not tests).
//   bench_tools md5 FILE       MD5 of FILE read 1024 bytes at a time
//   bench_tools get URL        HttpInterface GET of URL, whole body kept in memory
//   bench_tools post URL       the same as a POST (as both programs send their requests)
// Each prints "<result> <bytes> <seconds>" measured inside the process (on standard error for
// "get", whose standard output carries the request class's trace line).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
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
