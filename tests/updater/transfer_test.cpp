// The updater's guards: the silence limit on downloads, the run lock, and the checks on what
// reaches a message box, a header line or the installer's place.
#include <gtest/gtest.h>

#include "fixtures/raw_http_server.h"
#include "fixtures/short_stall.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "updater/package.h"
#include "updater/transfer.h"

using testing_fixtures::RawHttpServer;
using testing_fixtures::RecordedRequest;

namespace {

using testing_fixtures::ShortStall;

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        dir_ = std::wstring(base) + L"transfer-test-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(dir_.c_str(), nullptr);
    }
    void TearDown() override {
        DeleteFileW((dir_ + L"\\newupgrade").c_str());
        DeleteFileW((dir_ + L"\\file").c_str());
        RemoveDirectoryW((dir_ + L"\\folder\\inner").c_str());
        RemoveDirectoryW((dir_ + L"\\folder").c_str());
        RemoveDirectoryW(dir_.c_str());
    }
    std::wstring dir_;
};

// The updater fetches its package through the reporting form, with a progress window or, in
// builds and runs without one, with none: both must bring the whole body.
TEST_F(TempDir, ReportingDownloadWithAndWithoutProgress) {
    struct Counting : DownloadProgress {
        int calls = 0;
        ULONGLONG last = 0;
        bool OnProgress(ULONGLONG received, ULONGLONG) override {
            ++calls;
            last = received;
            return true;
        }
        void Finished() override {}
        bool Cancelled() const override { return false; }
    };
    RawHttpServer server;
    const std::string body(300000, 'b');
    server.SetResponse(200, "", body);
    const std::string narrow = server.Url("/pkg/x.exe");
    const std::wstring url(narrow.begin(), narrow.end());
    const std::wstring target = dir_ + L"\\newupgrade";
    auto job = [&](DownloadProgress* relay, std::atomic<unsigned long long>* counter) {
        return DownloadToFile(url, target, relay, counter);
    };
    EXPECT_TRUE(DownloadWithStallLimit(job, nullptr));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(body.size(), data.nFileSizeLow);
    Counting progress;
    EXPECT_TRUE(DownloadWithStallLimit(job, &progress));
    EXPECT_GT(progress.calls, 1);
    EXPECT_EQ(body.size(), progress.last);
}

TEST_F(TempDir, StalledDownloadsFailAndKeepWhatArrived) {
    ShortStall stall(1500);
    RawHttpServer server;
    struct Row {
        const char* name;
        std::string sentFirst;
    } rows[] = {
        {"silent", ""},
        {"headers then nothing", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n"},
        {"1000 bytes then nothing", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(1000, 'x')},
    };
    const std::wstring target = dir_ + L"\\newupgrade";
    for (const Row& row : rows) {
        const std::string first = row.sentFirst;
        server.SetResponder([first](SOCKET s, const RecordedRequest&) {
            RawHttpServer::SendAll(s, first);
            RawHttpServer::HoldOpen(s, 5000);
        });
        const std::string url = server.Url("/pkg/x.exe");
        EXPECT_FALSE(DownloadToFile(std::wstring(url.begin(), url.end()), target)) << row.name;
        // The next run can take the target over at once, even while the stalled one holds it.
        HANDLE next = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, next) << row.name;
        CloseHandle(next);
        Sleep(300);  // let the abandoned worker and the fixture connection go
    }
}

// After a stall or a Cancel, FetchPackage returns while the receiving thread may still be
// blocked on the network. Whatever arrives afterwards must not reach the target: no handle to
// it is left open (it can be opened exclusively at once) and it does not grow or come back.
TEST_F(TempDir, NothingTouchesTheTargetOnceFetchPackageHasReturned) {
    ShortStall stall(1500);
    struct Cancelling : DownloadProgress {
        int calls = 0;
        bool OnProgress(ULONGLONG, ULONGLONG) override { return ++calls < 2; }
        void Finished() override {}
        bool Cancelled() const override { return calls >= 2; }
    };
    for (bool cancel : {false, true}) {
        std::atomic<bool> release{false};
        RawHttpServer server;
        server.SetResponder([&release](SOCKET s, const RecordedRequest&) {
            RawHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 400000\r\n\r\n" + std::string(1000, 'a'));
            for (int i = 0; i < 100 && !release; ++i) Sleep(50);  // silent until the call is over
            RawHttpServer::SendAll(s, std::string(200000, 'b'));
        });
        UpdaterPaths paths(dir_);
        Cancelling progress;
        const std::string url = server.Url("/pkg/x.exe");
        const FetchResult result =
            FetchPackage(paths, std::wstring(url.begin(), url.end()), "", cancel ? &progress : nullptr);
        EXPECT_EQ(cancel ? FetchResult::Cancelled : FetchResult::DownloadFailed, result);
        const std::wstring target = paths.DownloadTarget();
        HANDLE alone = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (cancel) {
            EXPECT_EQ(INVALID_HANDLE_VALUE, alone) << "the cancelled download is removed";
        } else {
            EXPECT_NE(INVALID_HANDLE_VALUE, alone) << "no one else holds the stalled download";
            CloseHandle(alone);
        }
        WIN32_FILE_ATTRIBUTE_DATA before{};
        const bool existed = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &before);
        release = true;
        Sleep(1000);  // the receiving thread gets the rest of the body meanwhile
        WIN32_FILE_ATTRIBUTE_DATA after{};
        EXPECT_EQ(existed, GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &after)) << cancel;
        if (existed) {
            EXPECT_EQ(before.nFileSizeLow, after.nFileSizeLow);
        }
        EXPECT_LE(after.nFileSizeLow, 1000u);
        DeleteFileW(target.c_str());
    }
}

TEST_F(TempDir, RedirectLoopsEndTheDownload) {
    RawHttpServer server;
    server.SetResponder([](SOCKET s, const RecordedRequest& request) {
        if (request.RequestLine().find("/loop") != std::string::npos) {
            RawHttpServer::SendAll(s, "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
        } else if (request.RequestLine().find("/moved") != std::string::npos) {
            RawHttpServer::SendAll(s, "HTTP/1.1 301 Moved\r\nLocation: /pkg/final.exe\r\nContent-Length: 0\r\n\r\n");
        } else {
            RawHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
        }
    });
    const std::wstring target = dir_ + L"\\newupgrade";
    const std::string loop = server.Url("/loop"), moved = server.Url("/moved");
    EXPECT_FALSE(DownloadToFile(std::wstring(loop.begin(), loop.end()), target));
    EXPECT_LE(server.Requests().size(), size_t(HttpInterface::kMaxRedirects + 1));
    EXPECT_TRUE(DownloadToFile(std::wstring(moved.begin(), moved.end()), target));
}

TEST_F(TempDir, OnlyPlainFilesCountAsInstallers) {
    const std::wstring file = dir_ + L"\\file", folder = dir_ + L"\\folder";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(IsPlainFile(file));
    EXPECT_FALSE(IsPlainFile(folder));
    EXPECT_FALSE(IsPlainFile(dir_ + L"\\absent"));

    ClearNonFile(file);  // a plain file stays
    EXPECT_TRUE(IsPlainFile(file));
    CreateDirectoryW((folder + L"\\inner").c_str(), nullptr);
    ClearNonFile(folder);  // a folder with content stays
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
    RemoveDirectoryW((folder + L"\\inner").c_str());
    ClearNonFile(folder);  // an empty one makes way
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
}

TEST(ReleaseText, CutAtTheLimitWithoutSplittingAPair) {
    EXPECT_EQ(L"", ShortenReleaseText(L""));
    const std::wstring exact(kMaxReleaseTextChars, L'a');
    EXPECT_EQ(exact, ShortenReleaseText(exact));
    EXPECT_EQ(exact + L"\x2026", ShortenReleaseText(exact + L"b"));
    // A surrogate pair across the limit goes whole.
    std::wstring pair = std::wstring(kMaxReleaseTextChars - 1, L'a') + L"\xD83D\xDE00" + L"tail";
    EXPECT_EQ(std::wstring(kMaxReleaseTextChars - 1, L'a') + L"\x2026", ShortenReleaseText(pair));
}

TEST(HasLineBreak, ControlCharactersThatEndAHeaderLine) {
    EXPECT_FALSE(HasLineBreak("0123abcd"));
    EXPECT_FALSE(HasLineBreak("tab\there"));
    EXPECT_TRUE(HasLineBreak("a\rb"));
    EXPECT_TRUE(HasLineBreak("a\nb"));
    EXPECT_TRUE(HasLineBreak(std::string("a\0b", 3)));
}

}  // namespace
