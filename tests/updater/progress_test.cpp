// The download's progress: what the loop reports, what the window shows, and Cancel.
#include "fixtures/raw_http_server.h"  // winsock2.h before windows.h

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "updater/package.h"
#include "updater/progress_window.h"

namespace {

TEST(ProgressTexts, Table) {
    const struct {
        ULONGLONG received, total;
        const wchar_t* text;
    } rows[] = {
        {0, 0, L"已下载 0 B"},
        {1023, 0, L"已下载 1023 B"},
        {1024, 0, L"已下载 1 KB"},
        {5 * 1048576 + 104858, 256ULL << 20, L"已下载 5.1 MB / 256.0 MB（1%）"},
        {256ULL << 20, 256ULL << 20, L"已下载 256.0 MB / 256.0 MB（100%）"},
        {300, 200, L"已下载 300 B / 200 B（100%）"},  // more than announced
        {3ULL << 30, 6ULL << 30, L"已下载 3.00 GB / 6.00 GB（50%）"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.text, ReceivedText(row.received, row.total));
    EXPECT_EQ(L"", SpeedText(-1));
    EXPECT_EQ(L"速度 0 B/s", SpeedText(0));
    EXPECT_EQ(L"速度 2.5 MB/s", SpeedText(2.5 * 1048576));
}

TEST(SpeedMeter, AveragesOverTheLastSecond) {
    SpeedMeter meter;
    meter.Sample(1000, 0);
    EXPECT_LT(meter.BytesPerSecond(), 0);  // one sample says nothing yet
    // 1 MiB per 100 ms tick for two seconds, then a stall.
    ULONGLONG received = 0, tick = 1000;
    for (int i = 0; i < 20; ++i) meter.Sample(tick += 100, received += 1048576);
    EXPECT_DOUBLE_EQ(10.0 * 1048576, meter.BytesPerSecond());
    for (int i = 0; i < 5; ++i) meter.Sample(tick += 100, received);
    EXPECT_DOUBLE_EQ(5.0 * 1048576, meter.BytesPerSecond());
    for (int i = 0; i < 10; ++i) meter.Sample(tick += 100, received);
    EXPECT_DOUBLE_EQ(0, meter.BytesPerSecond());
}

class Recorder : public DownloadProgress {
public:
    bool OnProgress(ULONGLONG received, ULONGLONG total) override {
        calls.emplace_back(received, total);
        if (stopAt >= 0 && static_cast<int>(calls.size()) > stopAt) cancelled = true;
        return !cancelled;
    }
    void Finished() override { ++finished; }
    bool Cancelled() const override { return cancelled; }

    std::vector<std::pair<ULONGLONG, ULONGLONG>> calls;
    int stopAt = -1;  // calls answered with "go on" before the user cancels
    bool cancelled = false;
    int finished = 0;
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring TempTarget() {
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"dl", 0, name);
    return name;
}

ULONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ~0ULL;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST(DownloadProgress, ReportsEveryBlockAndTheTotal) {
    testing_fixtures::RawHttpServer server;
    const std::string body(2500000, 'x');  // three blocks of the download buffer
    const std::wstring target = TempTarget();
    const struct {
        std::string response;
        ULONGLONG total;
    } rows[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 2500000\r\nConnection: close\r\n\r\n" + body, 2500000},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body, 0},  // no announced length
    };
    for (const auto& row : rows) {
        server.SetRawResponse(row.response);
        Recorder progress;
        ASSERT_TRUE(DownloadToFile(Wide(server.Url("/pkg/a.exe")), target, &progress));
        ASSERT_GE(progress.calls.size(), 2u);
        EXPECT_EQ(0u, progress.calls.front().first);
        EXPECT_EQ(body.size(), progress.calls.back().first);
        for (size_t i = 1; i < progress.calls.size(); ++i) {
            EXPECT_LT(progress.calls[i - 1].first, progress.calls[i].first);
            EXPECT_LE(progress.calls[i].first - progress.calls[i - 1].first, kDownloadBufferSize);
        }
        for (const auto& call : progress.calls) EXPECT_EQ(row.total, call.second);
        EXPECT_EQ(body.size(), FileSize(target));
    }
    DeleteFileW(target.c_str());
}

TEST(DownloadProgress, StoppingEndsTheDownloadAsAFailure) {
    testing_fixtures::RawHttpServer server;
    server.SetResponse(200, "", std::string(2500000, 'y'));
    const std::wstring target = TempTarget();
    for (int stopAt : {0, 1}) {
        Recorder progress;
        progress.stopAt = stopAt;
        EXPECT_FALSE(DownloadToFile(Wide(server.Url("/pkg/a.exe")), target, &progress)) << stopAt;
        EXPECT_EQ(static_cast<size_t>(stopAt + 1), progress.calls.size());
        EXPECT_LT(FileSize(target), 2500000u);
    }
    DeleteFileW(target.c_str());
}

TEST(DownloadProgress, CancelRemovesThePartialFileAndKeepsThePendingInstaller) {
    testing_fixtures::RawHttpServer server;
    server.SetResponse(200, "", std::string(2500000, 'z'));
    UpdaterPaths paths;
    const std::wstring installer = paths.Installer();
    HANDLE h = CreateFileW(installer.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, "earlier", 7, &written, nullptr);
    CloseHandle(h);

    Recorder progress;
    progress.stopAt = 1;
    EXPECT_EQ(FetchResult::Cancelled, FetchPackage(paths, Wide(server.Url("/pkg/a.exe")), "", &progress));
    EXPECT_EQ(1, progress.finished);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(paths.DownloadTarget().c_str()));
    EXPECT_EQ(7u, FileSize(installer));
    DeleteFileW(installer.c_str());
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

HWND OwnProgressWindow() {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, ProgressWindow::kClassName, nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(found, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(found)) return found;
    }
    return nullptr;
}

// The window comes up on its own thread while the download goes on; bounded wait for it.
HWND WaitForProgressWindow() {
    for (int i = 0; i < 500; ++i) {
        if (HWND hwnd = OwnProgressWindow()) return hwnd;
        Sleep(20);
    }
    return nullptr;
}

// Polls (bounded) until the window's refresh tick has shown what it should.
bool WaitForText(HWND control, const std::wstring& text) {
    for (int i = 0; i < 500; ++i) {
        if (TextOf(control) == text) return true;
        Sleep(20);
    }
    return false;
}

TEST(ProgressWindow, ShowsTheDownloadAndCancels) {
    ProgressWindow window(L"2.0.0.1");
    EXPECT_EQ(nullptr, OwnProgressWindow());  // nothing before the download starts
    ASSERT_TRUE(window.OnProgress(0, 3 << 20));
    HWND hwnd = WaitForProgressWindow();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(ProgressWindow::kTitle, TextOf(hwnd));
    // Unowned, so that it has a taskbar button of its own.
    EXPECT_EQ(nullptr, GetWindow(hwnd, GW_OWNER));
    EXPECT_EQ(L"正在下载新版本 2.0.0.1", TextOf(GetDlgItem(hwnd, 100)));
    EXPECT_EQ(L"取消", TextOf(GetDlgItem(hwnd, IDCANCEL)));

    ASSERT_TRUE(window.OnProgress(3 << 19, 3 << 20));
    EXPECT_TRUE(WaitForText(GetDlgItem(hwnd, 102), L"已下载 1.5 MB / 3.0 MB（50%）"));
    EXPECT_EQ(500, SendMessageW(GetDlgItem(hwnd, 101), PBM_GETPOS, 0, 0));

    // A click on Cancel, as the button sends it.
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
    EXPECT_TRUE(window.Cancelled());
    EXPECT_FALSE(window.OnProgress(2 << 20, 3 << 20));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDCANCEL)));
    window.Finished();
    EXPECT_FALSE(IsWindow(hwnd));
    window.Finished();  // twice is harmless
}

TEST(ProgressWindow, DownloadOverBeforeTheWindowIsUp) {
    for (int i = 0; i < 5; ++i) {
        ProgressWindow window(L"1.0");
        ASSERT_TRUE(window.OnProgress(0, 10));
        ASSERT_TRUE(window.OnProgress(10, 10));
        window.Finished();
        EXPECT_EQ(nullptr, OwnProgressWindow());
    }
}

TEST(ProgressWindow, CloseBoxCancelsToo) {
    ProgressWindow window(L"3.0");
    ASSERT_TRUE(window.OnProgress(0, 0));
    HWND hwnd = WaitForProgressWindow();
    ASSERT_NE(nullptr, hwnd);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(hwnd));  // stays until the download has stopped
    EXPECT_TRUE(window.Cancelled());
    window.Finished();
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
