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
        {"http://h/pkg/ABCDEF.exe?x=1", "ABCDEF"},       // the query is no part of the name
        {"http://h/pkg/abc.exe?v=1.2&p=/a/b.c", "abc"},  // nor are dots and slashes in it
        {"http://h/pkg/abc.exe#part.2/x", "abc"},        // nor a fragment
        {"http://h/pkg/abc?sig=x.y", "abc"},
        {"http://h.example/pkg/abcdef", "abcdef"},  // the last "." before the last "/"
        {"abcdef.exe", "abcdef"},                   // no "/"
        {"abcdef", "abcdef"},                       // neither
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
        EXPECT_EQ(row.result, FetchPackage(paths, url, row.digest, &progress)) << row.name;
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

// A temporary updater folder D.
class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int count = 0;
        path_ = std::wstring(base) + L"pkg-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++count);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempDir() {
        for (const wchar_t* name : {L"\\newupgrade", L"\\newupgrade.exe"}) DeleteFileW((path_ + name).c_str());
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

void WriteWhole(const std::wstring& path, const std::string& content) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
}

// The signature of another offer (see signature_test.cpp): well-formed, but it holds for none
// of the files here.
const char kForeignSignature[] =
    "CBiS+FKrK6aHHkXtnDVSMKtLlhQpgTshnN7wsFlaTNzHlliz+GJ3fpZJCj1Fg4cwlZq48uNXpLvBkKbcNvqBAg==";
const char kSomeKeyHex[] =
    "8be1f1dabfc69617e240990b45c31996f8c19801eb9a66994c2f2aa1c0a4f3e9"
    "6d6bbb34066e9783813f55d805fcd6f8d213444db9374665c7b0955ebb4822ab";

// In a signed build: no usable signature means no download at all; one that does not hold
// removes the downloaded installer. Neither shows anything itself (the flow tells the user).
TEST(FetchPackage, SignatureChecks) {
    PublicKey key{};
    ASSERT_TRUE(PublicKeyFromHex(kSomeKeyHex, key));
    testing_fixtures::RawHttpServer server;
    const std::string body = "MZ installer";
    server.SetResponse(200, "", body);
    const std::string narrow = server.Url("/pkg/" + DigestOf(body) + ".exe");
    const std::wstring url(narrow.begin(), narrow.end());
    TempDir dir;
    UpdaterPaths paths(dir.path());

    const InstallerSignature missing(key, "", "2.0.0.1");
    EXPECT_EQ(FetchResult::SignatureMissing, FetchPackage(paths, url, DigestOf(body), nullptr, &missing));
    EXPECT_TRUE(server.Requests().empty());

    const InstallerSignature wrong(key, kForeignSignature, "2.0.0.2");
    EXPECT_EQ(FetchResult::SignatureWrong, FetchPackage(paths, url, DigestOf(body), nullptr, &wrong));
    EXPECT_EQ(1u, server.Requests().size());
    EXPECT_EQ("<missing>", ReadWhole(paths.Installer()));
    EXPECT_EQ(FetchResult::CheckFailed, FetchPackage(paths, url, DigestOf(body + "x"), nullptr, &wrong));
    EXPECT_EQ(FetchResult::Ready, FetchPackage(paths, url, DigestOf(body)));
    EXPECT_EQ(body, ReadWhole(paths.Installer()));

    // The bytes that signature was made for (signature_test.cpp), checked through the SHA-256
    // taken while they were written: it holds for its own version only.
    const std::string signedBody = "quorvane installer";
    server.SetResponse(200, "", signedBody);
    const std::string signedNarrow = server.Url("/pkg/" + DigestOf(signedBody) + ".exe");
    const std::wstring signedUrl(signedNarrow.begin(), signedNarrow.end());
    const InstallerSignature good(key, kForeignSignature, "2.0.0.1");
    EXPECT_EQ(FetchResult::Ready, FetchPackage(paths, signedUrl, DigestOf(signedBody), nullptr, &good));
    EXPECT_EQ(signedBody, ReadWhole(paths.Installer()));
    EXPECT_EQ(FetchResult::SignatureWrong, FetchPackage(paths, signedUrl, DigestOf(signedBody), nullptr, &wrong));
    EXPECT_EQ("<missing>", ReadWhole(paths.Installer()));
}

// An installer left from an earlier run is started only while it is the one the current offer
// names, in every build: its MD5 first, and in a signed build the signature as well.
TEST(PendingInstallerMatches, DigestInEveryBuildSignatureInSignedOnes) {
    TempDir dir;
    UpdaterPaths paths(dir.path());
    const std::string content = "MZ pending installer";
    PublicKey key{};
    ASSERT_TRUE(PublicKeyFromHex(kSomeKeyHex, key));
    const InstallerSignature wrong(key, kForeignSignature, "2.0.0.1");
    const InstallerSignature missing(key, "", "2.0.0.1");

    EXPECT_FALSE(PendingInstallerMatches(paths, DigestOf(content), nullptr));  // no file at all
    WriteWhole(paths.Installer(), content);
    EXPECT_TRUE(PendingInstallerMatches(paths, DigestOf(content), nullptr));
    EXPECT_TRUE(PendingInstallerMatches(paths, Upper(DigestOf(content)), nullptr));
    EXPECT_FALSE(PendingInstallerMatches(paths, DigestOf(content + "x"), nullptr));  // a withdrawn one
    EXPECT_FALSE(PendingInstallerMatches(paths, "", nullptr));
    EXPECT_FALSE(PendingInstallerMatches(paths, DigestOf(content), &wrong));
    EXPECT_FALSE(PendingInstallerMatches(paths, DigestOf(content), &missing));
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
