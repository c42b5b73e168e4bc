// The updater's pure pieces: digest names from URLs, the digest check, reading members of
// outside documents, the module path loop.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "common/md5.h"
#include "fixtures/raw_http_server.h"
#include "updater/json_fields.h"
#include "updater/package.h"

namespace {

TEST(InstallerNameFromUrl, Table) {
    const struct {
        const char* url;
        const char* name;
    } rows[] = {
        {"http://h/pkg/0123456789abcdef0123456789abcdef.exe", "0123456789abcdef0123456789abcdef"},
        {"http://h/pkg/ABCDEF.exe?x=1", "ABCDEF"},            // the query is no part of the name
        {"http://h/pkg/abc.exe?v=1.2&p=/a/b.c", "abc"},       // nor are dots and slashes in it
        {"http://h/pkg/abc.exe#part.2/x", "abc"},             // nor a fragment
        {"http://h/pkg/abc?sig=x.y", "abc"},
        {"http://h.example/pkg/abcdef", "abcdef"},      // the last "." before the last "/"
        {"abcdef.exe", "abcdef"},                       // no "/"
        {"abcdef", "abcdef"},                           // neither
        {"http://h/pkg/", ""},
        {"http://h/pkg/.exe", ""},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(row.name, InstallerNameFromUrl(row.url)) << row.url;
}

class TempFile {
public:
    explicit TempFile(const std::string& content) {
        wchar_t dir[MAX_PATH];
        wchar_t name[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"upd", 0, name);
        path_ = name;
        HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(h);
    }
    ~TempFile() { DeleteFileW(path_.c_str()); }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

std::string DigestOf(const std::string& content) {
    Md5 md5;
    md5.Update(content);
    return md5.HexDigest();
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

TEST(CheckPackageMd5, ComparesCaseInsensitivelyAndWholeLength) {
    // Longer than one 1024-byte read and not a multiple of it.
    std::string content;
    for (int i = 0; i < 5000; ++i) content += static_cast<char>(i * 7);
    TempFile file(content);
    const std::string digest = DigestOf(content);

    EXPECT_TRUE(CheckPackageMd5(digest, file.path()));
    EXPECT_TRUE(CheckPackageMd5(Upper(digest), file.path()));
    EXPECT_FALSE(CheckPackageMd5(digest.substr(0, 31), file.path()));
    EXPECT_FALSE(CheckPackageMd5(digest + "0", file.path()));
    EXPECT_FALSE(CheckPackageMd5("", file.path()));
    std::string oneOff = digest;
    oneOff[31] = oneOff[31] == '0' ? '1' : '0';
    EXPECT_FALSE(CheckPackageMd5(oneOff, file.path()));
    EXPECT_FALSE(CheckPackageMd5(digest, file.path() + L".missing"));
}

TEST(CheckPackageMd5, EmptyFile) {
    TempFile file("");
    EXPECT_TRUE(CheckPackageMd5("D41D8CD98F00B204E9800998ECF8427E", file.path()));
}

TEST(CheckPackageMd5, FileHeldOpenByAnotherWriter) {
    TempFile file("abc");
    HANDLE other = CreateFileW(file.path().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_TRUE(CheckPackageMd5("900150983cd24fb0d6963f7d28e17f72", file.path()));
    CloseHandle(other);
}

std::string ReadWhole(const std::wstring& path) {
    std::string content;
    HANDLE h =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(h);
    return content;
}

// Answers the updater's "文件校验失败" box in this process, should one wait for a user.
class BoxAnswerer {
public:
    BoxAnswerer()
        : thread_([this] {
              while (!stop_) {
                  if (HWND box = FindWindowW(L"#32770", L"提示")) {
                      PostMessageW(box, WM_COMMAND, IDOK, 0);
                  }
                  Sleep(50);
              }
          }) {}
    ~BoxAnswerer() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Runs `afterDownload` once the download has ended, before the file is checked.
struct CheckpointProgress : DownloadProgress {
    std::function<void()> afterDownload;
    bool OnProgress(ULONGLONG, ULONGLONG) override { return true; }
    void Finished() override {
        if (afterDownload) afterDownload();
    }
    bool Cancelled() const override { return false; }
};

// The digest is taken while the file is written; it must still vouch for the bytes that are on
// disk when the installer starts. Whoever could write to the file after the download either
// cannot (the download's handle admits no other writer until the check is done) or had it open
// from before, in which case the file is read again and a change is refused.
TEST(FetchPackage, TheDigestVouchesForTheBytesOnDisk) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring dir = std::wstring(base) + L"fetch-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    testing_fixtures::RawHttpServer server;
    std::string body(3 * 1000000 + 17, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 7919) % 253);
    server.SetResponse(200, "", body);
    const std::string narrow = server.Url("/pkg/" + DigestOf(body) + ".exe");
    const std::wstring url(narrow.begin(), narrow.end());

    enum Meddler { Nobody, WriterAfterDownload, WriterFromBefore };
    struct Row {
        const char* name;
        std::string digest;
        Meddler meddler;
        FetchResult result;
    } rows[] = {
        {"digest matches", DigestOf(body), Nobody, FetchResult::Ready},
        {"digest in capitals", Upper(DigestOf(body)), Nobody, FetchResult::Ready},
        {"digest differs", DigestOf(body + "x"), Nobody, FetchResult::CheckFailed},
        {"a writer tries after the download", DigestOf(body), WriterAfterDownload, FetchResult::Ready},
        {"a writer from before alters the file", DigestOf(body), WriterFromBefore, FetchResult::CheckFailed},
    };
    for (const Row& row : rows) {
        UpdaterPaths paths(dir);
        HANDLE before = INVALID_HANDLE_VALUE;
        if (row.meddler == WriterFromBefore) {
            before =
                CreateFileW(paths.DownloadTarget().c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, before) << row.name;
        }
        bool refused = false;
        CheckpointProgress progress;
        progress.afterDownload = [&] {
            if (row.meddler == WriterAfterDownload) {
                HANDLE other = CreateFileW(paths.DownloadTarget().c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
                refused = other == INVALID_HANDLE_VALUE;
                if (!refused) {
                    DWORD written = 0;
                    WriteFile(other, "MZ-altered", 10, &written, nullptr);
                    CloseHandle(other);
                }
            } else if (row.meddler == WriterFromBefore) {
                DWORD written = 0;
                SetFilePointer(before, 0, nullptr, FILE_BEGIN);
                WriteFile(before, "MZ-altered", 10, &written, nullptr);
                FlushFileBuffers(before);
            }
        };
        BoxAnswerer boxes;
        EXPECT_EQ(row.result, FetchPackage(paths, url, row.digest, nullptr, &progress)) << row.name;
        if (before != INVALID_HANDLE_VALUE) CloseHandle(before);
        if (row.meddler == WriterAfterDownload) {
            EXPECT_TRUE(refused) << row.name;
        }
        if (row.result == FetchResult::Ready) {
            EXPECT_TRUE(ReadWhole(paths.Installer()) == body) << row.name;
        } else {
            EXPECT_EQ("<missing>", ReadWhole(paths.Installer())) << row.name;
        }
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(paths.DownloadTarget().c_str())) << row.name;
        DeleteFileW(paths.Installer().c_str());
    }
    RemoveDirectoryW(dir.c_str());
}

Json::Value Parse(const char* text) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(text, text + strlen(text), &root, &errors);
    return root;
}

TEST(JsonFields, WrongTypesReadAsMissing) {
    const Json::Value doc =
        Parse(R"({"s":"x","n":5,"r":5.5,"i":20000.0,"b":true,"z":null,"o":{},"a":[1],"big":1e30,"neg":-7})");
    std::string s;
    int64_t n = 0;
    EXPECT_TRUE(jsonfield::String(doc, "s", s));
    EXPECT_EQ("x", s);
    for (const char* key : {"n", "b", "z", "o", "a", "nothing"}) EXPECT_FALSE(jsonfield::String(doc, key, s)) << key;

    EXPECT_TRUE(jsonfield::Integer(doc, "n", n));
    EXPECT_EQ(5, n);
    EXPECT_TRUE(jsonfield::Integer(doc, "i", n));
    EXPECT_EQ(20000, n);
    EXPECT_TRUE(jsonfield::Integer(doc, "neg", n));
    EXPECT_EQ(-7, n);
    for (const char* key : {"s", "r", "b", "z", "o", "a", "big"}) EXPECT_FALSE(jsonfield::Integer(doc, key, n)) << key;

    EXPECT_NE(nullptr, jsonfield::Object(doc, "o"));
    for (const char* key : {"s", "a", "z"}) EXPECT_EQ(nullptr, jsonfield::Object(doc, key)) << key;
    EXPECT_EQ(nullptr, jsonfield::Find(doc, "z"));  // null counts as missing
}

TEST(JsonFields, NonObjectContainersHaveNoMembers) {
    for (const char* text : {"[1,2]", "\"url\"", "5", "null", "true"}) {
        const Json::Value doc = Parse(text);
        std::string s;
        EXPECT_EQ(nullptr, jsonfield::Find(doc, "url")) << text;
        EXPECT_FALSE(jsonfield::String(doc, "url", s)) << text;
    }
}

TEST(ModuleFileName, GrowsUntilThePathFits) {
    wchar_t expected[2048] = {};
    GetModuleFileNameW(nullptr, expected, 2048);
    // A step far smaller than the path forces several retries.
    EXPECT_EQ(std::wstring(expected), ModuleFileName(nullptr, 3));
    EXPECT_EQ(std::wstring(expected), ModuleFileName(nullptr));
}

}  // namespace
