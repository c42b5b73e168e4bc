// The engine's parsing and storage pieces, without windows or network.
#include <gtest/gtest.h>
#include <windows.h>

#include "include/cef_app.h"
#include "include/cef_v8.h"
#include "src/cookies.h"
#include "src/fetch.h"
#include "src/html.h"
#include "src/url.h"
#include "src/v8_internal.h"

using namespace engine;

TEST(CefStringTest, AttachedStringWritesIntoTheRecord) {
    CefSettings settings;
    settings.size = sizeof(CefSettings);
    CefString(&settings.locale) = L"zh-CN";
    CefString(&settings.cache_path) = std::string("C:\\app\\mycache");
    EXPECT_EQ(CefString(&settings.locale).ToWString(), L"zh-CN");
    EXPECT_EQ(CefString(&settings.cache_path).ToWString(), L"C:\\app\\mycache");

    CefSettings copy = settings;  // deep copy: changing one leaves the other
    CefString(&settings.locale) = L"en-US";
    EXPECT_EQ(CefString(&copy.locale).ToWString(), L"zh-CN");

    CefString utf8("\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(utf8.ToWString(), L"\u4E2D\u6587");
    EXPECT_EQ(utf8.ToString(), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_TRUE(CefString().empty());
    EXPECT_STREQ(CefString(&copy.user_agent).c_str(), L"");
}

TEST(CefStringTest, WindowInfoCopiesItsName) {
    CefWindowInfo info;
    info.SetAsPopup(nullptr, L"popup");
    CefWindowInfo copy = info;
    info.SetAsPopup(nullptr, L"other");
    EXPECT_EQ(CefString(&copy.window_name).ToWString(), L"popup");
    RECT rc = {1, 2, 11, 22};
    copy.SetAsChild(reinterpret_cast<HWND>(0x1234), rc);
    EXPECT_EQ(copy.width, 10);
    EXPECT_EQ(copy.height, 20);
    EXPECT_TRUE(copy.style & WS_CHILD);
}

namespace {
class Counted : public CefBaseRefCounted {
public:
    explicit Counted(int* deleted) : deleted_(deleted) {}
    ~Counted() { ++*deleted_; }
    int* deleted_;
    IMPLEMENT_REFCOUNTING(Counted);
};
}  // namespace

TEST(CefRefPtrTest, DeletesWithTheLastReference) {
    int deleted = 0;
    {
        CefRefPtr<Counted> a = new Counted(&deleted);
        EXPECT_TRUE(a->HasOneRef());
        CefRefPtr<Counted> b = a;
        EXPECT_FALSE(a->HasOneRef());
        EXPECT_TRUE(a->HasAtLeastOneRef());
        CefRefPtr<CefBaseRefCounted> base = b;
        b = nullptr;
        a = nullptr;
        EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(CommandLineTest, SwitchesWithAndWithoutDashesAreOne) {
    CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
    line->InitFromString(L"\"C:\\Program Files\\q.exe\" --type=renderer -Lang=zh /flag arg1 -- --notaswitch");
    EXPECT_EQ(line->GetProgram().ToWString(), L"C:\\Program Files\\q.exe");
    EXPECT_EQ(line->GetSwitchValue(L"type").ToWString(), L"renderer");
    EXPECT_EQ(line->GetSwitchValue(L"--TYPE").ToWString(), L"renderer");
    EXPECT_EQ(line->GetSwitchValue(L"lang").ToWString(), L"zh");
    EXPECT_TRUE(line->HasSwitch(L"flag"));
    EXPECT_FALSE(line->HasSwitch(L"missing"));
    CefCommandLine::ArgumentList args;
    line->GetArguments(args);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0].ToWString(), L"arg1");
    EXPECT_EQ(args[1].ToWString(), L"--notaswitch");

    line->AppendSwitchWithValue(L"--ppapi-flash-version", L"50.0.0.209");
    line->AppendSwitchWithValue(L"disable-gpu", L"1");
    line->AppendSwitchWithValue(L"--disable-gpu", L"2");  // same switch: the value is replaced
    EXPECT_EQ(line->GetSwitchValue(L"ppapi-flash-version").ToWString(), L"50.0.0.209");
    EXPECT_EQ(line->GetSwitchValue(L"disable-gpu").ToWString(), L"2");
    CefCommandLine::SwitchMap switches;
    line->GetSwitches(switches);
    EXPECT_EQ(switches.size(), 5u);
    line->AppendSwitch(L"");  // ignored
    line->GetSwitches(switches);
    EXPECT_EQ(switches.size(), 5u);
}

TEST(CommandLineTest, StringRoundTripQuotesValues) {
    CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
    line->SetProgram(L"C:\\a b\\q.exe");
    line->AppendSwitchWithValue(L"path", L"C:\\x y\\z");
    line->AppendSwitch(L"on");
    line->AppendArgument(L"say \"hi\"");
    std::wstring text = line->GetCommandLineString().ToWString();
    CefRefPtr<CefCommandLine> back = CefCommandLine::CreateCommandLine();
    back->InitFromString(text);
    EXPECT_EQ(back->GetProgram().ToWString(), L"C:\\a b\\q.exe");
    EXPECT_EQ(back->GetSwitchValue(L"path").ToWString(), L"C:\\x y\\z");
    EXPECT_TRUE(back->HasSwitch(L"on"));
    CefCommandLine::ArgumentList args;
    back->GetArguments(args);
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0].ToWString(), L"say \"hi\"");

    CefRefPtr<CefCommandLine> empty = CefCommandLine::CreateCommandLine();
    empty->InitFromString(L"   ");
    EXPECT_TRUE(empty->GetProgram().empty());
    EXPECT_FALSE(empty->HasSwitches());
}

TEST(UrlTest, ResolvesReferences) {
    struct Row {
        const wchar_t* base;
        const wchar_t* ref;
        const wchar_t* expected;
    } rows[] = {
        {L"http://h:8/a/b/c?q=1#f", L"d", L"http://h:8/a/b/d"},
        {L"http://h:8/a/b/c", L"../d?x", L"http://h:8/a/d?x"},
        {L"http://h:8/a/b/c", L"../../../../d", L"http://h:8/d"},
        {L"http://h:8/a/b/c", L"/root", L"http://h:8/root"},
        {L"http://h:8/a/b/c?q", L"?z=2", L"http://h:8/a/b/c?z=2"},
        {L"http://h:8/a/b/c?q#x", L"#y", L"http://h:8/a/b/c?q#y"},
        {L"https://h/a", L"//other/p", L"https://other/p"},
        {L"http://h", L"p", L"http://h/p"},
        {L"http://h/a/", L"./", L"http://h/a/"},
        {L"http://h/a", L"  HTTP://X/Y  ", L"HTTP://X/Y"},
        {L"http://h/a", L"javascript:user_exit()", L"javascript:user_exit()"},
        {L"about:blank", L"x", L"x"},
    };
    for (const Row& r : rows) EXPECT_EQ(ResolveUrl(r.base, r.ref), r.expected) << r.base << L" + " << r.ref;
}

TEST(UrlTest, ParsesAddresses) {
    struct Row {
        const wchar_t* url;
        bool valid;
        const wchar_t* host;
        int port;
        const wchar_t* path;
    } rows[] = {
        {L"http://127.0.0.1:8080/a?b=1#frag", true, L"127.0.0.1", 8080, L"/a?b=1"},
        {L"HTTPS://Example.COM", true, L"example.com", 443, L"/"},
        {L"http://user:pw@h/x", true, L"h", 80, L"/x"},
        {L"http://h:99999/", false, L"", 0, L""},
        {L"http://h:12ab/", false, L"", 0, L""},
        {L"http:///nohost", false, L"", 0, L""},
        {L"no-scheme/path", false, L"", 0, L""},
        {L"", false, L"", 0, L""},
    };
    for (const Row& r : rows) {
        UrlParts p = ParseUrl(r.url);
        EXPECT_EQ(p.valid, r.valid) << r.url;
        if (!r.valid) continue;
        EXPECT_EQ(p.host, r.host) << r.url;
        EXPECT_EQ(p.port, r.port) << r.url;
        EXPECT_EQ(p.path, r.path) << r.url;
    }
}

TEST(UrlTest, SuggestsSafeFileNames) {
    struct Row {
        const char* disposition;
        const wchar_t* url;
        const wchar_t* preferred;
        const wchar_t* expected;
    } rows[] = {
        {"attachment; filename=\"report.pdf\"", L"http://h/x", L"", L"report.pdf"},
        {"attachment; filename=report", L"http://h/x", L"", L"report"},
        {"attachment; filename*=UTF-8''%E6%8A%A5%E8%A1%A8.xlsx; filename=\"fallback.xlsx\"", L"http://h/x", L"",
         L"\u62A5\u8868.xlsx"},
        {"attachment; filename=\"../../evil.exe\"", L"http://h/x", L"", L"evil.exe"},
        {"attachment; filename=..\\..\\evil.exe", L"http://h/x", L"", L"evil.exe"},
        {"attachment; filename=\"a:b?.txt\"", L"http://h/x", L"", L"a_b_.txt"},
        {"attachment", L"http://h/dir/file%20name.zip?x=1", L"", L"file name.zip"},
        {"", L"http://h/", L"", L"download"},
        {"attachment; filename=\"server.txt\"", L"http://h/", L"mine.txt", L"mine.txt"},
        {"attachment; filename=\"\xB1\xA8\xB1\xED.doc\"", L"http://h/", L"", L"\u62A5\u8868.doc"},  // GBK bytes
        // Hostile names: quoted backslashes still separate paths, no leading dots, no device names,
        // no reordering marks.
        {"attachment; filename=\"..\\..\\..\\windows\\evil.exe\"", L"http://h/x", L"", L"evil.exe"},
        {"attachment; filename=\"a\\\"b.txt\"", L"http://h/x", L"", L"a_b.txt"},
        {"attachment; filename=\"......windowsevil.exe\"", L"http://h/x", L"", L"windowsevil.exe"},
        {"attachment; filename=\".hidden. .\"", L"http://h/x", L"", L"hidden"},
        {"attachment; filename=CON", L"http://h/x", L"", L"_CON"},
        {"attachment; filename=\"nul.tar.gz\"", L"http://h/x", L"", L"_nul.tar.gz"},
        {"attachment; filename*=UTF-8''evil%E2%80%AEtxt.exe", L"http://h/x", L"", L"eviltxt.exe"},
        {"attachment; filename*=UTF-8''a%0Ab%09c.txt", L"http://h/x", L"", L"a_b_c.txt"},
        {"attachment; filename=\"...\"", L"http://h/x.bin", L"", L"x.bin"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SuggestedFileName(r.disposition, r.url, r.preferred), r.expected) << r.disposition;
    // A name longer than Windows allows keeps its extension and loses the end of its stem.
    std::string longName = "attachment; filename=\"" + std::string(400, 'x') + ".pdf\"";
    std::wstring cut = SuggestedFileName(longName, L"http://h/", L"");
    EXPECT_EQ(kMaxFileNameLength, cut.size());
    EXPECT_EQ(L".pdf", cut.substr(cut.size() - 4));
    EXPECT_EQ(L"ab.txt", FitFileName(L"abcdef.txt", 6));
    EXPECT_EQ(L"abcdef", FitFileName(L"abcdef.verylongextension", 6));
}

TEST(UrlTest, TellsDownloadsFromPages) {
    EXPECT_TRUE(IsDownloadResponse("text/html", "attachment; filename=a.html"));
    EXPECT_TRUE(IsDownloadResponse("text/html", "  Attachment ;filename=a"));
    EXPECT_TRUE(IsDownloadResponse("application/octet-stream", ""));
    EXPECT_FALSE(IsDownloadResponse("text/html; charset=utf-8", "inline; filename=a.html"));
    EXPECT_FALSE(IsDownloadResponse("text/plain", ""));
    EXPECT_FALSE(IsDownloadResponse("", "attachmentx"));
}

TEST(HtmlTest, ReadsTitleTextLinksFramesAndInputs) {
    HtmlDocument doc = ParseHtml(
        L"<!DOCTYPE html><html><head><title> A &amp; B </title><style>p{}</style>"
        L"<script>var s='<a href=x>no</a>';</script></head><body>"
        L"<h1>Hello&nbsp;world</h1><p>Some <b>bold</b> text &#20013;&#x6587;</p>"
        L"<a href='/one' target=_blank>First</a><a href=\"javascript:user_exit('x')\">Exit</a>"
        L"<a href=/dl download=\"r.zip\">Get</a><a href=/empty></a>"
        L"<iframe src=\"/frame\" name=\"f1\">fallback</iframe>"
        L"<input type=\"file\" accept=\".doc, application/msword\" multiple>"
        L"<!-- <a href=/comment>c</a> --></body></html>");
    EXPECT_TRUE(doc.hasTitle);
    EXPECT_EQ(doc.title, L"A & B");
    std::vector<std::wstring> links, texts;
    int frames = 0, inputs = 0;
    for (auto& item : doc.items) {
        if (item.kind == PageItem::kLink) links.push_back(item.text + L"|" + item.href + L"|" + item.target);
        if (item.kind == PageItem::kText) texts.push_back(item.text);
        if (item.kind == PageItem::kFrame) {
            ++frames;
            EXPECT_EQ(item.href, L"/frame");
            EXPECT_EQ(item.text, L"f1");
        }
        if (item.kind == PageItem::kFileInput) {
            ++inputs;
            EXPECT_EQ(item.accept, L".doc, application/msword");
            EXPECT_TRUE(item.multiple);
        }
        if (item.kind == PageItem::kLink && item.href == L"/dl") {
            EXPECT_TRUE(item.download);
            EXPECT_EQ(item.downloadName, L"r.zip");
        }
    }
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[0], L"First|/one|_blank");
    EXPECT_EQ(links[1], L"Exit|javascript:user_exit('x')|");
    EXPECT_EQ(links[3], L"/empty|/empty|");  // an empty link shows its address
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(inputs, 1);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], L"Hello world");
    EXPECT_EQ(texts[1], L"Some bold text \u4E2D\u6587");
}

TEST(HtmlTest, SurvivesMalformedMarkup) {
    const wchar_t* inputs[] = {
        L"",
        L"<",
        L"<<<>>>",
        L"<a href=",
        L"<a href='unterminated",
        L"<title>never closed",
        L"<script>",
        L"text < 5 and > 3",
        L"<!--",
        L"<iframe src=x",
        L"&#xFFFFFFFF; &#0; &#xD800; &bogus; &",
        L"<a href=/a>one<a href=/b>two",
        L"</a></a></div>",
        L"<input type=file accept>",
    };
    for (const wchar_t* in : inputs) {
        HtmlDocument doc = ParseHtml(in);
        (void)doc;
    }
    HtmlDocument unclosed = ParseHtml(L"<a href=/a>one<a href=/b>two");
    int links = 0;
    for (auto& item : unclosed.items) links += item.kind == PageItem::kLink;
    EXPECT_EQ(links, 2);
    EXPECT_EQ(ParseHtml(L"x &lt;b&gt; &#xFFFFFFFF;").items.at(0).text, L"x <b> &#xFFFFFFFF;");
    EXPECT_FALSE(ParseHtml(L"<p>no title</p>").hasTitle);
}

TEST(HtmlTest, DecodesBodiesByCharset) {
    const std::string gbk = "\xD6\xD0\xCE\xC4";  // 中文 in GBK
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
    EXPECT_EQ(DecodeBody(gbk, "text/html; charset=GBK"), L"\u4E2D\u6587");
    EXPECT_EQ(DecodeBody(utf8, "text/html; charset=utf-8"), L"\u4E2D\u6587");
    EXPECT_EQ(DecodeBody(utf8, "text/html"), L"\u4E2D\u6587");
    EXPECT_EQ(DecodeBody("\xEF\xBB\xBF" + utf8, ""), L"\u4E2D\u6587");
    std::wstring meta = DecodeBody("<meta charset=\"gb2312\">" + gbk, "text/html");
    EXPECT_NE(meta.find(L"\u4E2D\u6587"), std::wstring::npos);
    EXPECT_EQ(DecodeBody(gbk, ""), L"\u4E2D\u6587");  // not UTF-8: taken as GBK
}

class CookieTest : public ::testing::Test {
protected:
    static constexpr int64_t kNow = 1700000000;
    CookieStore store;
};

TEST_F(CookieTest, AcceptsMatchesAndExpires) {
    const std::wstring url = L"http://app.example.com/a/b";
    store.SetFromHeader(url, "sid=abc; Path=/; HttpOnly", kNow);
    store.SetFromHeader(url, "deep=1", kNow);  // default path /a
    store.SetFromHeader(url, "wide=2; Domain=.example.com; Path=/", kNow);
    store.SetFromHeader(url, "keep=3; Max-Age=60", kNow);
    store.SetFromHeader(url, "sec=4; Secure; Path=/", kNow);
    store.SetFromHeader(url, "foreign=5; Domain=other.com", kNow);  // not our domain
    store.SetFromHeader(url, "=novalue", kNow);                     // no name
    store.SetFromHeader(url, "garbage", kNow);                      // no '='
    store.SetFromHeader(url, "old=6; Expires=Wed, 21 Oct 2015 07:28:00 GMT", kNow);

    EXPECT_EQ(store.HeaderFor(L"http://app.example.com/a/x", kNow), "deep=1; keep=3; sid=abc; wide=2");
    EXPECT_EQ(store.HeaderFor(L"https://app.example.com/", kNow), "sid=abc; wide=2; sec=4");
    EXPECT_EQ(store.HeaderFor(L"http://www.example.com/", kNow), "wide=2");
    EXPECT_EQ(store.HeaderFor(L"http://app.example.com/ab", kNow), "sid=abc; wide=2");  // /a does not cover /ab
    EXPECT_EQ(store.HeaderFor(L"http://app.example.com/a/x", kNow + 61), "deep=1; sid=abc; wide=2");

    store.SetFromHeader(url, "sid=; Path=/; Max-Age=0", kNow);  // deletion
    store.SetFromHeader(url, "wide=changed; Domain=example.com; Path=/", kNow);
    EXPECT_EQ(store.HeaderFor(L"http://www.example.com/", kNow), "wide=changed");
    EXPECT_EQ(store.HeaderFor(L"http://app.example.com/", kNow), "wide=changed");
}

TEST_F(CookieTest, RejectsDomainAttributesForAddresses) {
    store.SetFromHeader(L"http://127.0.0.1:8080/", "a=1; Domain=0.0.1", kNow);
    store.SetFromHeader(L"http://127.0.0.1:8080/", "b=2", kNow);
    EXPECT_EQ(store.HeaderFor(L"http://127.0.0.1:9090/x", kNow), "b=2");  // cookies ignore the port
}

TEST_F(CookieTest, PersistsToTheFileAndReloads) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"engine_cookie_test.txt";
    DeleteFileW(path.c_str());
    {
        CookieStore persisted;
        ASSERT_TRUE(persisted.Open(path, true));
        persisted.SetFromHeader(L"http://h/", "session=1", CookieStore::Now());
        persisted.SetFromHeader(L"http://h/", "lasting=2; Max-Age=3600", CookieStore::Now());
        // Held open without delete sharing while in use.
        EXPECT_FALSE(DeleteFileW(path.c_str()));
    }
    {
        CookieStore reopened;
        ASSERT_TRUE(reopened.Open(path, false));  // session cookies of the file load, but are not written back
        EXPECT_EQ(reopened.HeaderFor(L"http://h/", CookieStore::Now()), "session=1; lasting=2");
    }
    {
        CookieStore third;
        ASSERT_TRUE(third.Open(path, true));
        EXPECT_EQ(third.HeaderFor(L"http://h/", CookieStore::Now()), "lasting=2");
    }
    // A damaged file loads what it can.
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char junk[] = "garbage\nh\t1\t/\t0\t0\t0\tok\tyes\n\t\t\t\n";
    DWORD written = 0;
    WriteFile(f, junk, sizeof junk - 1, &written, nullptr);
    CloseHandle(f);
    {
        CookieStore damaged;
        ASSERT_TRUE(damaged.Open(path, true));
        EXPECT_EQ(damaged.HeaderFor(L"http://h/", CookieStore::Now()), "ok=yes");
    }
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

namespace {
class RecordingHandler : public CefV8Handler {
public:
    std::wstring lastName;
    size_t lastCount = 0;
    bool throwIt = false;
    bool Execute(const CefString& name, CefRefPtr<CefV8Value>, const CefV8ValueList& arguments,
                 CefRefPtr<CefV8Value>& retval, CefString& exception) override {
        lastName = name.ToWString();
        lastCount = arguments.size();
        if (throwIt) {
            exception = L"boom";
        } else {
            retval = CefV8Value::CreateInt(42);
        }
        return true;
    }
    IMPLEMENT_REFCOUNTING(RecordingHandler);
};
}  // namespace

TEST(V8Test, PropertyBagHonoursAttributes) {
    CefRefPtr<CefV8Value> obj = CefV8Value::CreateObject(nullptr, nullptr);
    EXPECT_TRUE(obj->SetValue(L"a", CefV8Value::CreateInt(1), V8_PROPERTY_ATTRIBUTE_NONE));
    EXPECT_TRUE(obj->SetValue(L"ro", CefV8Value::CreateInt(2), V8_PROPERTY_ATTRIBUTE_READONLY));
    EXPECT_TRUE(obj->SetValue(L"fixed", CefV8Value::CreateInt(3), V8_PROPERTY_ATTRIBUTE_DONTDELETE));
    EXPECT_TRUE(obj->SetValue(L"hidden", CefV8Value::CreateInt(4), V8_PROPERTY_ATTRIBUTE_DONTENUM));
    EXPECT_FALSE(obj->SetValue(L"ro", CefV8Value::CreateInt(9), V8_PROPERTY_ATTRIBUTE_NONE));
    EXPECT_EQ(obj->GetValue(L"ro")->GetIntValue(), 2);
    EXPECT_FALSE(obj->DeleteValue(L"fixed"));
    EXPECT_TRUE(obj->DeleteValue(L"a"));
    EXPECT_FALSE(obj->HasValue(L"a"));
    EXPECT_TRUE(obj->GetValue(L"a")->IsUndefined());
    std::vector<CefString> keys;
    obj->GetKeys(keys);
    EXPECT_EQ(keys.size(), 2u);  // ro, fixed
    CefRefPtr<CefV8Value> str = CefV8Value::CreateString(L"s");
    EXPECT_FALSE(str->SetValue(L"x", CefV8Value::CreateInt(1), V8_PROPERTY_ATTRIBUTE_NONE));
}

TEST(V8Test, FunctionsCallTheirHandler) {
    CefRefPtr<RecordingHandler> handler = new RecordingHandler();
    CefRefPtr<CefV8Value> fn = CefV8Value::CreateFunction(L"user_exit", handler.get());
    ASSERT_TRUE(fn->IsFunction());
    EXPECT_TRUE(fn->IsObject());
    CefRefPtr<CefV8Value> result =
        fn->ExecuteFunction(nullptr, {CefV8Value::CreateString(L"a"), CefV8Value::CreateNull()});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->GetIntValue(), 42);
    EXPECT_EQ(handler->lastName, L"user_exit");
    EXPECT_EQ(handler->lastCount, 2u);
    handler->throwIt = true;
    EXPECT_FALSE(fn->ExecuteFunction(nullptr, {}));
    EXPECT_TRUE(fn->HasException());
    EXPECT_EQ(fn->GetException()->GetMessage().ToWString(), L"boom");
    EXPECT_FALSE(CefV8Value::CreateFunction(L"none", nullptr));
}

TEST(V8Test, ParsesLiteralArguments) {
    CefV8ValueList args = ParseScriptArguments(L" 'a\\'b', 2, -1.5, true, null, {k: \"v\", n: [1, 2]}, [] , nosuch ");
    ASSERT_EQ(args.size(), 8u);
    EXPECT_EQ(args[0]->GetStringValue().ToWString(), L"a'b");
    EXPECT_EQ(args[1]->GetIntValue(), 2);
    EXPECT_DOUBLE_EQ(args[2]->GetDoubleValue(), -1.5);
    EXPECT_TRUE(args[3]->GetBoolValue());
    EXPECT_TRUE(args[4]->IsNull());
    EXPECT_EQ(args[5]->GetValue(L"k")->GetStringValue().ToWString(), L"v");
    EXPECT_EQ(args[5]->GetValue(L"n")->GetArrayLength(), 2);
    EXPECT_TRUE(args[6]->IsArray());
    EXPECT_TRUE(args[7]->IsUndefined());
    EXPECT_TRUE(ParseScriptArguments(L"").empty());
    EXPECT_TRUE(ParseScriptArguments(L"   ").empty());
    for (const wchar_t* bad : {L"{", L"[", L"'", L"{{{{", L"[,,,]", L",", L")(", L"{a:}", L"1e999999"}) {
        (void)ParseScriptArguments(bad);  // no crash, no hang
    }
}
