// The updater's pure pieces: digest names from URLs, the digest check, reading members of
// outside documents, the module path loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/md5.h"
#include "updater/json_fields.h"
#include "updater/package.h"

namespace {

TEST(InstallerNameFromUrl, Table) {
    const struct {
        const char* url;
        const char* name;
    } rows[] = {
        {"http://h/pkg/0123456789abcdef0123456789abcdef.exe", "0123456789abcdef0123456789abcdef"},
        {"http://h/pkg/ABCDEF.exe?x=1", "ABCDEF"},        // ends at the last "." of the whole URL
        {"http://h/pkg/abc.exe?v=1.2", "abc.exe?v=1"},    // a "." in the query moves the end there
        {"http://h.example/pkg/abcdef", "abcdef"},        // the last "." before the last "/"
        {"abcdef.exe", "abcdef"},                          // no "/"
        {"abcdef", "abcdef"},                              // neither
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
    HANDLE other = CreateFileW(file.path().c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_TRUE(CheckPackageMd5("900150983cd24fb0d6963f7d28e17f72", file.path()));
    CloseHandle(other);
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
    const Json::Value doc = Parse(
        R"({"s":"x","n":5,"r":5.5,"i":20000.0,"b":true,"z":null,"o":{},"a":[1],"big":1e30,"neg":-7})");
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
