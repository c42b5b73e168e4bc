// The decision flow driven through a fake host: messages, owners, requests, files and
// installer starts for each path through it.
#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "mainframe/update_check.h"
#include "updater/update_flow.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
const std::wstring kDir = L"C:\\app";
const std::wstring kV = L"C:\\app\\version.bin";
const std::wstring kE = L"C:\\app\\newupgrade.exe";

struct Message {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class FakeHost : public UpdaterHost {
public:
    int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override {
        messages.push_back({owner, text, caption, type});
        if (type != MB_YESNO) return IDOK;
        if (answers.empty()) return IDNO;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string PostQuery(const std::string& url, const std::string& headers, const std::string& body) override {
        ++posts;
        postedUrl = url;
        postedHeaders = headers;
        postedBody = body;
        return response;
    }
    bool FileExists(const std::wstring& path) override { return files.count(path) != 0; }
    void RemoveFile(const std::wstring& path) override { files.erase(path); }
    std::wstring ReadDeclinedVersion(const std::wstring&) override { return declined; }
    void WriteDeclinedVersion(const std::wstring& path, const std::wstring& version) override {
        files.insert(path);
        declined = version;
    }
    FetchResult FetchPackage(const std::wstring& url, const std::string& digest, HWND owner) override {
        fetchedUrl = url;
        fetchedDigest = digest;
        fetchOwner = owner;
        ++fetches;
        if (fetchResult == FetchResult::Ready) files.insert(kE);
        return fetchResult;
    }
    void StartInstaller(const std::wstring& parameters) override { starts.push_back(parameters); }

    std::string response;
    std::deque<int> answers;
    std::set<std::wstring> files;
    std::wstring declined;
    FetchResult fetchResult = FetchResult::Ready;

    std::vector<Message> messages;
    int posts = 0;
    std::string postedUrl, postedHeaders, postedBody;
    int fetches = 0;
    std::wstring fetchedUrl;
    std::string fetchedDigest;
    HWND fetchOwner = nullptr;
    std::vector<std::wstring> starts;
};

const wchar_t* kCommandLine =
    L"{\"MainHwnd\":4660,\"url\":\"http://127.0.0.1:9/platform/clientversion/findClientVersion\","
    L"\"header\":{\"Accept-Point\":\"0123456789abcdef0123456789abcdef\"},"
    L"\"postdata\":{\"type\":\"quorvane_client\",\"version\":\"1.0.3.12\"}}";

std::string Reply(const std::string& isNormal, const std::string& isMust, const std::string& text = "\"notes\"",
                  const std::string& version = "2.0.0.1") {
    return "{\"status\":20000,\"result\":{\"is_normal\":" + isNormal + ",\"is_must\":" + isMust + ",\"text\":" + text +
           ",\"url\":\"http://h/p/ABCDEF0123456789abcdef0123456789.exe\",\"version\":\"" + version + "\"}}";
}

int RunFlow(FakeHost& host, const std::wstring& commandLine = kCommandLine) {
    UpdateFlow flow(host, kDir, L"C:\\app\\newupgrade");
    return flow.Run(commandLine);
}

TEST(UpdateFlow, CommandLineChecks) {
    const struct {
        const wchar_t* commandLine;
        const wchar_t* text;
        const wchar_t* caption;
    } rows[] = {
        {L"", L"没有传入参数", L"提示"},
        {L"{oops", L"{oops", L"提示-解析失败"},
        {L"{}", L"缺少url", L"提示"},
        {L"{\"header\":{}}", L"缺少url", L"提示"},
        {L"[1,2]", L"缺少url", L"提示"},
        {L"\"text\"", L"缺少url", L"提示"},
        {L"{\"url\":7,\"postdata\":{},\"header\":{},\"MainHwnd\":1}", L"缺少url", L"提示"},
        {L"{\"url\":\"u\"}", L"缺少postdata", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":\"x\"}", L"缺少postdata", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{}}", L"缺少header", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{},\"header\":[]}", L"缺少header", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{},\"header\":{}}", L"缺少MainHwnd参数", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{},\"header\":{},\"MainHwnd\":\"12\"}", L"缺少MainHwnd参数", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{},\"header\":{},\"MainHwnd\":1e20}", L"缺少MainHwnd参数", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{},\"header\":{},\"MainHwnd\":1}", L"postdata中没有版本号version", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{\"version\":null},\"header\":{},\"MainHwnd\":1}",
         L"postdata中没有版本号version", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{\"version\":1.0},\"header\":{},\"MainHwnd\":1}", L"postdata中没有版本号version",
         L"提示"},
        // Line breaks would smuggle header lines into the query.
        {L"{\"url\":\"http://h/q\\r\\nX-Evil: 1\",\"postdata\":{\"version\":\"1\"},\"header\":{},\"MainHwnd\":1}",
         L"缺少url", L"提示"},
        {L"{\"url\":\"http://h/q\\n\",\"postdata\":{\"version\":\"1\"},\"header\":{},\"MainHwnd\":1}", L"缺少url",
         L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{\"version\":\"1\"},\"header\":{\"Accept-Point\":\"a\\r\\nX-Evil: 1\"},"
         L"\"MainHwnd\":1}",
         L"缺少header", L"提示"},
        {L"{\"url\":\"u\",\"postdata\":{\"version\":\"1\"},\"header\":{\"Accept-Point\":\"a\\u0000b\"},"
         L"\"MainHwnd\":1}",
         L"缺少header", L"提示"},
    };
    for (const auto& row : rows) {
        FakeHost host;
        EXPECT_EQ(1, RunFlow(host, row.commandLine)) << row.commandLine;
        ASSERT_EQ(1u, host.messages.size()) << row.commandLine;
        EXPECT_EQ(row.text, host.messages[0].text);
        EXPECT_EQ(row.caption, host.messages[0].caption);
        EXPECT_EQ(nullptr, host.messages[0].owner);
        EXPECT_EQ(static_cast<UINT>(MB_OK), host.messages[0].type);
        EXPECT_EQ(0, host.posts);
    }
}

TEST(UpdateFlow, QueryCarriesHeadersAndStyledBody) {
    FakeHost host;
    RunFlow(host);
    EXPECT_EQ("http://127.0.0.1:9/platform/clientversion/findClientVersion", host.postedUrl);
    EXPECT_EQ("Accept-Point:0123456789abcdef0123456789abcdef\r\nContent-Type:application/json", host.postedHeaders);
    EXPECT_EQ("{\n   \"type\" : \"quorvane_client\",\n   \"version\" : \"1.0.3.12\"\n}\n", host.postedBody);
}

TEST(UpdateFlow, VersionFileStandsInForTheInstalledVersion) {
    for (const wchar_t* declined : {L"2.0.0.1", L""}) {
        FakeHost host;
        host.files.insert(kV);
        host.declined = declined;
        RunFlow(host);
        EXPECT_EQ("{\n   \"type\" : \"quorvane_client\",\n   \"version\" : \"" +
                      std::string(declined, declined + wcslen(declined)) + "\"\n}\n",
                  host.postedBody);
    }
}

TEST(UpdateFlow, NegativeMainHwndIsThe32BitHandle) {
    FakeHost host;
    host.response = "{}";
    RunFlow(host, L"{\"MainHwnd\":-2,\"url\":\"u\",\"header\":{},\"postdata\":{\"version\":\"1\"}}");
    ASSERT_EQ(1u, host.messages.size());
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<intptr_t>(-2)), host.messages[0].owner);
}

// The client writes its window handle as a signed 32-bit number; whichever architecture either
// program has, the updater's message boxes must be owned by that same window.
TEST(UpdateFlow, MainHwndRoundTripsThroughTheCommandLine) {
    const uintptr_t handles[] = {0x10, 0x7FFFFFFF, 0x80000010u, 0xFFFFFFFEu};
    for (uintptr_t bits : handles) {
        // What a real handle of that value looks like in this process (sign-extended on 64-bit).
        HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(bits))));
        std::wstring line = UpdaterCommandLine(window, L"http://127.0.0.1:9", L"ap", L"1.0");
        FakeHost host;
        host.response = "{}";
        RunFlow(host, line);
        ASSERT_EQ(1u, host.messages.size()) << bits;
        EXPECT_EQ(window, host.messages[0].owner) << bits;
    }
    // The unsigned reading of a handle above 0x7FFFFFFF names the same window.
    FakeHost host;
    host.response = "{}";
    RunFlow(host, L"{\"MainHwnd\":4294967294,\"url\":\"u\",\"header\":{},\"postdata\":{\"version\":\"1\"}}");
    ASSERT_EQ(1u, host.messages.size());
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<intptr_t>(-2)), host.messages[0].owner);
}

// The client's document for a server address with a quote or a backslash is read back by the
// updater instead of being refused as unparsable, and the query goes to that very address.
TEST(UpdateFlow, ClientDocumentWithQuotesAndBackslashesIsRead) {
    for (const std::wstring base : {L"http://127.0.0.1:9/a\"b", L"http://127.0.0.1:9/a\\b"}) {
        FakeHost host;
        host.response = "{\"status\":40000}";
        std::wstring line =
            UpdaterCommandLine(reinterpret_cast<HWND>(static_cast<intptr_t>(0x10)), base, L"ap", L"1.0");
        EXPECT_EQ(1, RunFlow(host, line));
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(1, host.posts);
        EXPECT_EQ(std::string(base.begin(), base.end()) + "/platform/clientversion/findClientVersion", host.postedUrl);
    }
}

TEST(UpdateFlow, ResponseChecks) {
    const struct {
        std::string response;
        int exitCode;
        const wchar_t* message;  // nullptr: none
    } rows[] = {
        {"", -1, nullptr},
        {"<html>busy</html>", 1, nullptr},
        {"{}", -1, L"没有status字段"},
        {"[20000]", -1, L"没有status字段"},
        {"{\"status\":\"20000\",\"result\":{}}", -1, L"没有status字段"},
        {"{\"status\":500}", 1, nullptr},
        {"{\"status\":20000.5}", 1, nullptr},
        {"{\"status\":20000}", 1, nullptr},
        {"{\"status\":20000,\"result\":\"ok\"}", 1, nullptr},
        {"{\"status\":20000,\"result\":{}}", -1, L"没有找到is_normal字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"0\"}}", -1, nullptr},
        {"{\"status\":20000,\"result\":{\"is_normal\":0}}", -1, L"没有找到is_must字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"1\",\"is_must\":1}}", -1, L"没有找到is_must字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"1\",\"is_must\":\"1\"}}", -1, L"缺少text字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"1\",\"is_must\":\"1\",\"text\":3}}", -1, L"缺少text字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"1\",\"is_must\":\"1\",\"text\":\"\"}}", -1, L"缺少url字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"1\",\"is_must\":\"1\",\"text\":\"\",\"url\":\"u\"}}", -1,
         L"返回数据缺少version字段"},
        {"{\"status\":20000,\"result\":{\"is_normal\":\"1\",\"is_must\":\"1\",\"text\":\"\",\"url\":\"u\",\"version\":"
         "2}}",
         -1, L"返回数据缺少version字段"},
        {std::string(5000, '[') + std::string(5000, ']'), 1, nullptr},
    };
    for (const auto& row : rows) {
        FakeHost host;
        host.response = row.response;
        EXPECT_EQ(row.exitCode, RunFlow(host)) << row.response.substr(0, 80);
        if (!row.message) {
            EXPECT_TRUE(host.messages.empty()) << row.response.substr(0, 80);
            continue;
        }
        ASSERT_EQ(1u, host.messages.size()) << row.response.substr(0, 80);
        EXPECT_EQ(row.message, host.messages[0].text);
        EXPECT_EQ(L"提示", host.messages[0].caption);
        EXPECT_EQ(kOwner, host.messages[0].owner);
        EXPECT_EQ(0, host.fetches);
        EXPECT_TRUE(host.starts.empty());
    }
}

TEST(UpdateFlow, NoUpdateDeletesAPendingInstaller) {
    FakeHost host;
    host.files = {kE, kV};
    host.response = Reply("\"0\"", "\"1\"");
    EXPECT_EQ(-1, RunFlow(host));
    EXPECT_EQ(std::set<std::wstring>{kV}, host.files);
    EXPECT_TRUE(host.messages.empty());
}

TEST(UpdateFlow, MandatoryWithPendingInstaller) {
    FakeHost host;
    host.files = {kE, kV};
    host.response = Reply("\"1\"", "\"1\"");
    EXPECT_EQ(-1, RunFlow(host));
    ASSERT_EQ(1u, host.messages.size());
    EXPECT_EQ(L"检测到新版本,即将更新", host.messages[0].text);
    EXPECT_EQ(std::vector<std::wstring>{L""}, host.starts);
    EXPECT_EQ(0, host.fetches);
    EXPECT_EQ(0u, host.files.count(kV));
}

TEST(UpdateFlow, MandatoryDownloads) {
    const struct {
        FetchResult fetch;
        int answer;
        int exitCode;
        size_t messages;
        size_t starts;
    } rows[] = {
        {FetchResult::Ready, IDYES, 1, 2, 1},
        {FetchResult::Ready, IDNO, 1, 2, 0},
        {FetchResult::DownloadFailed, IDYES, 1, 2, 0},
        {FetchResult::CheckFailed, IDYES, -1, 2, 0},
    };
    for (const auto& row : rows) {
        FakeHost host;
        host.files = {kV};
        host.response = Reply("\"1\"", "\"1\"", "\"修复若干问题\"");
        host.fetchResult = row.fetch;
        host.answers = {row.answer};
        EXPECT_EQ(row.exitCode, RunFlow(host));
        ASSERT_EQ(row.messages, host.messages.size());
        EXPECT_EQ(L"修复若干问题 将进行后台下载更新", host.messages[0].text);
        EXPECT_EQ(L"更新提示", host.messages[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), host.messages[0].type);
        EXPECT_EQ(0u, host.files.count(kV));
        EXPECT_EQ(L"http://h/p/ABCDEF0123456789abcdef0123456789.exe", host.fetchedUrl);
        EXPECT_EQ("ABCDEF0123456789abcdef0123456789", host.fetchedDigest);
        EXPECT_EQ(kOwner, host.fetchOwner);
        if (row.fetch == FetchResult::DownloadFailed) {
            EXPECT_EQ(L"失败", host.messages[1].text);
            EXPECT_EQ(L"download", host.messages[1].caption);
        } else if (row.fetch == FetchResult::Ready) {
            EXPECT_EQ(L"升级版本下载完成是否现在更新?", host.messages[1].text);
            EXPECT_EQ(static_cast<UINT>(MB_YESNO), host.messages[1].type);
        } else {
            EXPECT_EQ(kDigestMismatchMessage, host.messages[1].text);
        }
        ASSERT_EQ(row.starts, host.starts.size());
        if (row.starts) {
            EXPECT_EQ(L"", host.starts[0]);
        }
    }
}

TEST(UpdateFlow, LongReleaseTextsAreCutForTheQuestion) {
    const struct {
        size_t length;
        size_t shown;  // characters of the text before the suffix, "…" included
    } rows[] = {{0, 0}, {4000, 4000}, {4001, 4001}, {1000000, 4001}};
    for (const auto& row : rows) {
        for (const char* isMust : {"\"1\"", "\"0\""}) {
            FakeHost host;
            host.response = Reply("\"1\"", isMust, "\"" + std::string(row.length, 'x') + "\"");
            host.fetchResult = FetchResult::DownloadFailed;
            RunFlow(host);
            ASSERT_FALSE(host.messages.empty());
            const std::wstring& text = host.messages[0].text;
            const std::wstring suffix = std::string(isMust) == "\"1\"" ? L" 将进行后台下载更新" : L" 是否进行更新?";
            ASSERT_EQ(row.shown + suffix.size(), text.size()) << row.length;
            EXPECT_EQ(suffix, text.substr(row.shown));
            if (row.length > 4000) {
                EXPECT_EQ(L'\x2026', text[4000]);
            }
        }
    }
}

TEST(UpdateFlow, OptionalWithPendingInstallerStartsItWithoutAsking) {
    for (const char* isMust : {"\"0\"", "\"true\"", "\"\"", "\"01\""}) {
        FakeHost host;
        host.files = {kE, kV};
        host.response = Reply("\"1\"", isMust);
        EXPECT_EQ(-1, RunFlow(host)) << isMust;
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(std::vector<std::wstring>{L"delete"}, host.starts);
        EXPECT_EQ(0u, host.files.count(kV));
    }
}

TEST(UpdateFlow, OptionalDeclinedRecordsTheOfferedVersion) {
    for (int answer : {IDNO, IDCANCEL}) {
        FakeHost host;
        host.response = Reply("0", "\"0\"", "\"\"");
        host.answers = {answer};
        EXPECT_EQ(1, RunFlow(host));
        ASSERT_EQ(1u, host.messages.size());
        EXPECT_EQ(L" 是否进行更新?", host.messages[0].text);
        EXPECT_EQ(L"更新提示", host.messages[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO), host.messages[0].type);
        EXPECT_EQ(L"2.0.0.1", host.declined);
        EXPECT_EQ(1u, host.files.count(kV));
        EXPECT_EQ(0, host.fetches);
    }
}

TEST(UpdateFlow, OptionalAccepted) {
    const struct {
        FetchResult fetch;
        int finalAnswer;
        size_t messages;
        size_t starts;
    } rows[] = {
        {FetchResult::Ready, IDYES, 2, 1},
        {FetchResult::Ready, IDNO, 2, 0},
        {FetchResult::DownloadFailed, IDYES, 1, 0},
        {FetchResult::CheckFailed, IDYES, 2, 0},
    };
    for (const auto& row : rows) {
        FakeHost host;
        host.files = {kV};
        host.response = Reply("\"1\"", "\"0\"");
        host.fetchResult = row.fetch;
        host.answers = {IDYES, row.finalAnswer};
        EXPECT_EQ(-1, RunFlow(host));
        ASSERT_EQ(row.messages, host.messages.size());
        EXPECT_EQ(L"notes 是否进行更新?", host.messages[0].text);
        if (row.messages > 1) {
            EXPECT_EQ(row.fetch == FetchResult::Ready ? L"升级版本下载完成是否现在更新?" : kDigestMismatchMessage,
                      host.messages[1].text);
        }
        EXPECT_EQ(0u, host.files.count(kV));
        ASSERT_EQ(row.starts, host.starts.size());
        if (row.starts) {
            EXPECT_EQ(L"delete", host.starts[0]);
        }
    }
}

// A host whose pending installer may fail the checks of a signed build.
class CheckingHost : public FakeHost {
public:
    void NoteOffer(const std::wstring& version, const std::string& digest, const std::string& signature) override {
        notes.push_back(version + L"|" + std::wstring(digest.begin(), digest.end()) + L"|" +
                        std::wstring(signature.begin(), signature.end()));
    }
    bool PendingInstallerTrusted() override {
        ++trustChecks;
        return trusted;
    }
    bool trusted = true;
    int trustChecks = 0;
    std::vector<std::wstring> notes;
};

TEST(UpdateFlow, OfferDetailsReachTheHost) {
    const struct {
        const char* member;
        const wchar_t* noted;
    } rows[] = {
        {"", L"2.0.0.1|ABCDEF0123456789abcdef0123456789|"},
        {",\"signature\":\"c2ln\"", L"2.0.0.1|ABCDEF0123456789abcdef0123456789|c2ln"},
        {",\"signature\":64", L"2.0.0.1|ABCDEF0123456789abcdef0123456789|"},  // not text: none
    };
    for (const auto& row : rows) {
        CheckingHost host;
        std::string reply = Reply("\"1\"", "\"0\"");
        reply.insert(reply.size() - 2, row.member);
        host.response = reply;
        RunFlow(host);
        ASSERT_EQ(1u, host.notes.size()) << row.member;
        EXPECT_EQ(row.noted, host.notes[0]);
        EXPECT_EQ(0, host.trustChecks);  // nothing pending, nothing to check
    }
}

TEST(UpdateFlow, PendingInstallerIsStartedOnlyWhileTrusted) {
    const struct {
        const char* isMust;
        bool trusted;
        int exitCode;
        int fetches;
        std::vector<std::wstring> starts;
    } rows[] = {
        {"\"1\"", true, -1, 0, {L""}},
        {"\"0\"", true, -1, 0, {L"delete"}},
        // Refused: removed, and the offer is fetched and asked about as if nothing were pending.
        {"\"1\"", false, 1, 1, {L""}},
        {"\"0\"", false, -1, 1, {L"delete"}},
    };
    for (const auto& row : rows) {
        CheckingHost host;
        host.response = Reply("\"1\"", row.isMust);
        host.files.insert(kE);
        host.trusted = row.trusted;
        host.answers = {IDYES, IDYES};
        EXPECT_EQ(row.exitCode, RunFlow(host)) << row.isMust << row.trusted;
        EXPECT_EQ(1, host.trustChecks);
        EXPECT_EQ(row.fetches, host.fetches);
        EXPECT_EQ(row.starts, host.starts);
    }
}

TEST(UpdateFlow, CancelledDownloadEndsLikeADeclinedUpdate) {
    const struct {
        const char* isMust;
        std::vector<std::wstring> texts;
        bool versionRecorded;
    } rows[] = {
        {"\"1\"", {L"notes 将进行后台下载更新"}, false},
        {"\"0\"", {L"notes 是否进行更新?"}, true},
    };
    for (const auto& row : rows) {
        FakeHost host;
        host.response = Reply("\"1\"", row.isMust);
        host.files.insert(kV);
        host.answers = {IDYES};
        host.fetchResult = FetchResult::Cancelled;
        EXPECT_EQ(1, RunFlow(host)) << row.isMust;
        std::vector<std::wstring> texts;
        for (const Message& m : host.messages) texts.push_back(m.text);
        EXPECT_EQ(row.texts, texts);
        EXPECT_EQ(row.versionRecorded, host.files.count(kV) == 1);
        if (row.versionRecorded) {
            EXPECT_EQ(L"2.0.0.1", host.declined);
        }
        EXPECT_TRUE(host.starts.empty());
    }
}

TEST(VersionIsNewer, FourNumbersComparedInOrder) {
    const struct {
        const char* offered;
        const char* installed;
        bool newer;
    } rows[] = {
        {"1.0.3.13", "1.0.3.12", true},
        {"1.0.10.0", "1.0.9.99", true},  // numbers, not text
        {"2.0.0.0", "1.99.99.99", true},
        {"1.0.3.12", "1.0.3.12", false},
        {"1.0.3.11", "1.0.3.12", false},
        {"1.0.9.99", "1.0.10.0", false},
        {"01.0.3.13", "1.0.3.12", true},
        {"999999999.0.0.0", "1.0.3.12", true},
        // Not four numbers: never newer, whichever side.
        {"1.0.4", "1.0.3.12", false},
        {"1.0.3.13.1", "1.0.3.12", false},
        {"1.0.3.13 ", "1.0.3.12", false},
        {"1.0.3.+13", "1.0.3.12", false},
        {"1..3.13", "1.0.3.12", false},
        {"1000000000.0.0.0", "1.0.3.12", false},
        {"", "1.0.3.12", false},
        {"1.0.3.13", "", false},
        {"1.0.3.13", "1.0", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.newer, VersionIsNewer(row.offered, row.installed)) << row.offered << " vs " << row.installed;
    }
}

// An offer that is not newer than the client (a replayed older installer) is refused before
// anything is downloaded or started, a pending installer included, and V stays as it was.
TEST(UpdateFlow, OfferNotNewerThanTheClientIsRefused) {
    for (const char* offered : {"1.0.3.12", "1.0.3.11", "0.9.0.0", "1.0.4", "beta"}) {
        for (const char* isMust : {"\"1\"", "\"0\""}) {
            for (bool pending : {false, true}) {
                CheckingHost host;
                host.files = {kV};
                if (pending) host.files.insert(kE);
                host.declined = L"0.1.0.0";
                host.response = Reply("\"1\"", isMust, "\"notes\"", offered);
                host.answers = {IDYES, IDYES};
                EXPECT_EQ(-1, RunFlow(host)) << offered << isMust << pending;
                ASSERT_EQ(1u, host.messages.size()) << offered;
                EXPECT_EQ(kOfferNotNewerMessage, host.messages[0].text);
                EXPECT_EQ(L"提示", host.messages[0].caption);
                EXPECT_EQ(kOwner, host.messages[0].owner);
                EXPECT_EQ(0, host.fetches);
                EXPECT_TRUE(host.starts.empty());
                EXPECT_EQ(0, host.trustChecks);
                EXPECT_EQ(pending ? 2u : 1u, host.files.size());
                EXPECT_EQ(L"0.1.0.0", host.declined);
            }
        }
    }
    // The client's own version decides, not a declined one standing in for it in the query.
    CheckingHost host;
    host.files = {kV};
    host.declined = L"3.0.0.0";
    host.response = Reply("\"1\"", "\"1\"", "\"notes\"", "1.0.3.13");
    host.answers = {IDNO};
    EXPECT_EQ(1, RunFlow(host));
    EXPECT_EQ(1, host.fetches);
}

// Each failed check of the fetched installer is told to the user through the host, owned by the
// client's window, and ends as a failed check in both branches.
TEST(UpdateFlow, FailedChecksAreToldThroughTheHost) {
    const struct {
        FetchResult fetch;
        const wchar_t* message;
    } rows[] = {
        {FetchResult::CheckFailed, L"文件校验失败,将在下次重新更新"},
        {FetchResult::SignatureMissing, L"更新服务没有提供有效的安装包签名,将在下次重新更新"},
        {FetchResult::SignatureWrong, L"安装包签名校验失败,将在下次重新更新"},
    };
    for (const auto& row : rows) {
        for (const char* isMust : {"\"1\"", "\"0\""}) {
            FakeHost host;
            host.response = Reply("\"1\"", isMust);
            host.fetchResult = row.fetch;
            host.answers = {IDYES, IDYES};
            EXPECT_EQ(-1, RunFlow(host)) << isMust;
            ASSERT_EQ(2u, host.messages.size());
            EXPECT_EQ(row.message, host.messages[1].text);
            EXPECT_EQ(L"提示", host.messages[1].caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK), host.messages[1].type);
            EXPECT_EQ(kOwner, host.messages[1].owner);
            EXPECT_TRUE(host.starts.empty());
        }
    }
}

}  // namespace
