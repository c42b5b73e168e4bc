#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "browser/address_routing.h"
#include "browser/switch_policy.h"
#include "mainframe/page_script.h"
#include "mainframe/tab_logic.h"
#include "mainframe/url_messages.h"
#include "process/startup_logic.h"
#include "ui/geometry.h"

namespace {

TEST(StartupLogic, OnlyTheWholeTailNoLoginSuppressesAutoLogin) {
    EXPECT_FALSE(AutoLoginAllowed(L"noLogin"));
    EXPECT_FALSE(AutoLoginAllowed(L"NoLogin"));
    EXPECT_FALSE(AutoLoginAllowed(L"NOLOGIN"));
    EXPECT_FALSE(AutoLoginAllowed(L"nologin"));
    EXPECT_TRUE(AutoLoginAllowed(L""));
    EXPECT_TRUE(AutoLoginAllowed(nullptr));
    EXPECT_TRUE(AutoLoginAllowed(L" noLogin"));
    EXPECT_TRUE(AutoLoginAllowed(L"noLogin "));
    EXPECT_TRUE(AutoLoginAllowed(L"noLoginx"));
    EXPECT_TRUE(AutoLoginAllowed(L"--type=renderer noLogin"));
}

TEST(SwitchPolicy, SwitchesThatRunProgramsLoadCodeOrOpenPortsAreFound) {
    struct Row {
        const wchar_t* commandLine;
        const wchar_t* refused;  // "" for none
    } rows[] = {
        {L"quorvane.exe --renderer-cmd-prefix=\"cmd /c calc\"", L"renderer-cmd-prefix"},
        {L"quorvane.exe --GPU-Launcher=calc.exe", L"gpu-launcher"},
        {L"quorvane.exe -utility-cmd-prefix=x", L"utility-cmd-prefix"},
        {L"quorvane.exe /browser-subprocess-path=C:\\x.exe", L"browser-subprocess-path"},
        {L"quorvane.exe --remote-debugging-port=9222", L"remote-debugging-port"},
        {L"quorvane.exe --remote-debugging-pipe", L"remote-debugging-pipe"},
        {L"\"C:\\Program Files\\q\\quorvane.exe\" NoLogin --load-extension=C:\\ext", L"load-extension"},
        {L"quorvane.exe --disable-extensions-except=C:\\ext", L"disable-extensions-except"},
        {L"quorvane.exe --register-pepper-plugins=x.dll;application/x", L"register-pepper-plugins"},
        {L"quorvane.exe --ppapi-plugin-launcher=x --plugin-launcher=y", L"ppapi-plugin-launcher"},
        {L"quorvane.exe --nacl-gdb=gdb.exe", L"nacl-gdb"},
        {L"quorvane.exe \"--gpu-launcher=calc.exe\"", L"gpu-launcher"},  // quoted as a whole
        // Honoured: other switches, look-alike names, values that only mention a refused one.
        {L"quorvane.exe", L""},
        {L"quorvane.exe NoLogin", L""},
        {L"quorvane.exe --user-agent=x --lang=zh-CN --disable-gpu", L""},
        {L"quorvane.exe --gpu-launcherx=1 --remote-debugging-portal=1", L""},
        {L"quorvane.exe --user-agent=--gpu-launcher=calc", L""},
        {L"quorvane.exe -- --gpu-launcher=calc", L""},  // after "--": arguments, not switches
        {L"quorvane.exe gpu-launcher=calc", L""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.refused, FindRefusedSwitchInCommandLine(row.commandLine))
            << std::string(row.commandLine, row.commandLine + wcslen(row.commandLine));
    }
    EXPECT_EQ(L"gpu-launcher", SwitchName(L"--GPU-launcher=x=y"));
    EXPECT_EQ(L"a", SwitchName(L"/a"));
    EXPECT_EQ(L"", FindRefusedSwitchInCommandLine(L""));
    EXPECT_EQ(L"", FindRefusedSwitchInCommandLine(nullptr));
}

TEST(AddressRouting, FirstMatchingPathDecides) {
    const std::wstring b = L"http://srv:81";
    struct Row {
        std::wstring url;
        AddressRoute::Kind kind;
        int module;
    } rows[] = {
        {b + L"/login", AddressRoute::LoginPage, -1},
        {b + L"/login?redirect=" + b + L"/dashboard", AddressRoute::LoginPage, -1},
        {b + L"/login#top", AddressRoute::LoginPage, -1},
        {b + L"/login/", AddressRoute::LoginPage, -1},
        {b + L"/login/index", AddressRoute::LoginPage, -1},
        {b + L"/dashboard", AddressRoute::Module, 0},
        {b + L"/crm/iframe#x", AddressRoute::Module, 1},
        {b + L"/oa/commercial-manager/index", AddressRoute::Module, 2},
        {b + L"/work/customer/index", AddressRoute::Module, 3},
        {b + L"/sys/employee/index?mainLoading=true", AddressRoute::Module, 4},
        {b + L"/user/space/index?mainLoading=true", AddressRoute::Module, 5},
        {b + L"/app/dashboard", AddressRoute::Module, 0},  // anywhere in the path after the base
        // The first tab's sign-in address is not the login page.
        {b + L"/clientlogin?username=u&&password=p&&platform=1", AddressRoute::None, -1},
        // Case counts, and another server is not ours.
        {b + L"/Dashboard", AddressRoute::None, -1},
        {b + L"/LOGIN", AddressRoute::None, -1},
        {L"http://srv:82/dashboard", AddressRoute::None, -1},
        {L"about:blank", AddressRoute::None, -1},
    };
    for (const Row& row : rows) {
        AddressRoute route = RouteAddress(b, row.url);
        EXPECT_EQ(row.kind, route.kind) << std::string(row.url.begin(), row.url.end());
        EXPECT_EQ(row.module, route.module) << std::string(row.url.begin(), row.url.end());
    }
    EXPECT_TRUE(PopupAllowed(9));
    EXPECT_FALSE(PopupAllowed(10));
}

TEST(AddressRouting, AddressesThatOnlyMentionTheServerRouteNowhere) {
    // A page controls its own address: none of these may end the client or move the module
    // mark.
    const std::wstring b = L"http://srv:81";
    const std::wstring hostile[] = {
        b + L"/page?r=" + b + L"/login",
        b + L"/page#" + b + L"/login",
        L"http://evil.example/?next=" + b + L"/login",
        L"http://evil.example/" + b + L"/login",
        L"http://evil.example/?back=" + b + L"/dashboard",
        b + L"/page?m=/dashboard",
        b + L"/page#/sys/employee/index",
        b + L"/login2",
        b + L"/loginx?y",
        b + L"/logi",
        b + L".evil.example/login",
        b + L".evil.example/dashboard",
        b + L"0/dashboard",
        L"view-source:" + b + L"/login",
        L" " + b + L"/login",
    };
    for (const std::wstring& url : hostile) {
        AddressRoute route = RouteAddress(b, url);
        EXPECT_EQ(AddressRoute::None, route.kind) << std::string(url.begin(), url.end());
        EXPECT_FALSE(IsServerLoginPage(b, url)) << std::string(url.begin(), url.end());
    }
    // Without a server address (before sign-in) nothing is the login page.
    EXPECT_FALSE(IsServerLoginPage(L"", L"/login"));
    EXPECT_EQ(AddressRoute::None, RouteAddress(L"", L"/dashboard").kind);
}

TEST(TabLogic, AttributeListsAndNames) {
    EXPECT_EQ(0u, tabs::Format(tabs::kTabButtonAttributes, 7).find(L"align=\"left\" name=\"tab_tab7\""));
    EXPECT_NE(std::wstring::npos,
              tabs::Format(tabs::kTabButtonAttributes, 4).find(L"bg_header_hover.png\" \t\t\tpushedimage="));
    // The tab size reaches the attribute text as the skin reads it.
    EXPECT_NE(std::wstring::npos, tabs::Format(tabs::kTabButtonAttributes, 4)
                                      .find(L"padding=\"0,0,0,0\" width=\"181\" height=\"24\" normalimage="));
    EXPECT_EQ(0u, tabs::Format(tabs::kSplitterAttributes, 6).find(L"name=\"tab_splitter6\" width=\"3\""));
    EXPECT_EQ(0u, tabs::Format(tabs::kCloseButtonAttributes, 5).find(L"padding=\"-25,4,0,4\" name=\"tab_btnclose5\""));
}

TEST(TabLogic, TitlesAreCutAfterEightCharacters) {
    EXPECT_EQ(L"   12345678", tabs::TabText(L"12345678"));
    EXPECT_EQ(L"   12345678...", tabs::TabText(L"123456789"));
    EXPECT_EQ(L"   ", tabs::TabText(L""));
    EXPECT_EQ(L"   青杉工作台客户端...", tabs::TabText(L"青杉工作台客户端首页面"));
    // A character outside the BMP is one character of two UTF-16 units, never cut in two.
    const std::wstring face = L"\xD83D\xDE00";
    EXPECT_EQ(L"   1234567" + face + L"...", tabs::TabText(L"1234567" + face + L"9"));
    EXPECT_EQ(L"   123456" + face + L"8", tabs::TabText(L"123456" + face + L"8"));
    EXPECT_EQ(L"   " + face + face + face + face + face + face + face + face + L"...",
              tabs::TabText(face + face + face + face + face + face + face + face + face));
    // A lone half (a page's broken title) still counts as one character.
    EXPECT_EQ(L"   1234567\xD83D...", tabs::TabText(L"1234567\xD83D"
                                                    L"89"));
}

TEST(TabLogic, SplittersBesideTheSelectedTab) {
    // Three tabs: items 4,5 | 6,7,8 | 9,10,11 -> 12 items.
    auto first = tabs::SplittersBeside(4, 12);
    EXPECT_EQ(-1, first.before);
    EXPECT_EQ(6, first.after);
    auto middle = tabs::SplittersBeside(7, 12);
    EXPECT_EQ(6, middle.before);
    EXPECT_EQ(9, middle.after);
    auto last = tabs::SplittersBeside(10, 12);
    EXPECT_EQ(9, last.before);
    EXPECT_EQ(-1, last.after);
}

// Which tab is selected after a close: tests/client_logic/tab_model_test.cpp.
TEST(TabLogic, ClosingTabsRemovesTheRightItems) {
    // The last of three: its close button, the splitter before it, its button.
    auto last = tabs::RemovalFor(10, 12);
    EXPECT_EQ(11, last.closeButton);
    EXPECT_EQ(9, last.splitter);
    EXPECT_EQ(10, last.button);
    // The middle one: the splitter after it.
    auto middle = tabs::RemovalFor(7, 12);
    EXPECT_EQ(8, middle.closeButton);
    EXPECT_EQ(9, middle.splitter);
    EXPECT_EQ(7, middle.button);
    // The only tab never takes a fixed skin item with it.
    EXPECT_EQ(-1, tabs::RemovalFor(4, 6).splitter);
}

TEST(PageScript, ScriptsAndThrottle) {
    EXPECT_STREQ(L"var checkele=document.getElementsByClassName(\"ant-checkbox\")[0]; checkele.click();",
                 page_script::ScriptFor(3));
    EXPECT_NE(std::wstring::npos, std::wstring(page_script::ScriptFor(4)).find(L"if(inText==btnTitle)  {"));
    EXPECT_EQ(nullptr, page_script::ScriptFor(5));

    page_script::Throttle throttle;
    EXPECT_TRUE(throttle.Admit(5000));
    EXPECT_FALSE(throttle.Admit(5500));
    EXPECT_FALSE(throttle.Admit(6000));
    EXPECT_TRUE(throttle.Admit(6001));
    // Past the 32-bit wrap nothing locks up.
    page_script::Throttle wrapped;
    EXPECT_TRUE(wrapped.Admit(0xFFFFFF00ull));
    EXPECT_TRUE(wrapped.Admit(0x100000400ull));
}

TEST(UrlMessages, OnlyOwnLiveObjectsAreAccepted) {
    WPARAM param = UrlMessages::Create(L"http://srv/x");
    std::wstring url;
    std::wstring foreign = L"http://evil/";
    EXPECT_FALSE(UrlMessages::Take(reinterpret_cast<WPARAM>(&foreign), &url));
    EXPECT_FALSE(UrlMessages::Take(0, &url));
    EXPECT_FALSE(UrlMessages::Take(0x12345678, &url));
    EXPECT_TRUE(UrlMessages::Take(param, &url));
    EXPECT_EQ(L"http://srv/x", url);
    EXPECT_FALSE(UrlMessages::Take(param, &url));  // taken once only
}

TEST(Geometry, BrowserPlacesAndDpi) {
    RECT client{0, 0, 1000, 700};
    RECT created = geometry::NewBrowserRect(client, 0, 150);
    EXPECT_EQ(111, created.top);  // 74 x 150 / 100 while the marker is not laid out
    EXPECT_EQ(700 - 1 - 111, created.bottom - created.top);
    EXPECT_EQ(1000, created.right - created.left);
    RECT laid = geometry::LaidOutBrowserRect(client, 80, 100);
    EXPECT_EQ(1, laid.left);
    EXPECT_EQ(80, laid.top);
    EXPECT_EQ(998, laid.right - laid.left);
    EXPECT_EQ(699, laid.bottom);
    RECT popup = geometry::PopupRect(client);
    EXPECT_EQ(27, popup.top);
    EXPECT_EQ(646, popup.bottom - popup.top);
    EXPECT_EQ(96, geometry::ClampDpi(72));
    EXPECT_EQ(200, geometry::ClampDpi(240));
    EXPECT_EQ(144, geometry::ClampDpi(144));
}

}  // namespace

#include <json/json.h>

#include "browser/file_filter.h"
#include "common/escaping.h"
#include "common/text.h"
#include "mainframe/module_addresses.h"
#include "mainframe/update_check.h"

namespace {

TEST(UpdateCheck, AcceptPointChangesWithTheDate) {
    SYSTEMTIME day{};
    day.wYear = 2026;
    day.wMonth = 3;
    day.wDay = 7;
    // MD5 of "velmarix3071" + "20260307": eight date digits, zero-padded.
    std::wstring first = AcceptPointFor(day);
    EXPECT_EQ(L"eaf5f52484d9ed9401f9e9c0aa93d56c", first);
    EXPECT_EQ(first, AcceptPointFor(day));
    day.wDay = 8;
    EXPECT_NE(first, AcceptPointFor(day));
}

TEST(UpdateCheck, CommandLineDocument) {
    std::wstring doc = UpdaterCommandLine(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x80000010)), L"http://srv:81",
                                          L"0123456789abcdef0123456789abcdef", L"1.0.3.12");
    EXPECT_EQ(
        L"{\"MainHwnd\":-2147483632,\"url\":\"http://srv:81/platform/clientversion/findClientVersion\","
        L"\"header\":{\"Accept-Point\":\"0123456789abcdef0123456789abcdef\"},"
        L"\"postdata\":{\"type\":\"quorvane_client\",\"version\":\"1.0.3.12\"}}",
        doc);
    // This test program has no version resource.
    EXPECT_EQ(L"", GetProductVersion(nullptr));
}

TEST(UpdateCheck, InsertedValuesAreEscapedAsJsonStrings) {
    // Whatever the configured address holds, the updater reads back exactly that address.
    for (const std::wstring base :
         {L"http://srv\"x", L"http://srv\\share", L"http://srv\t\x01", L"http://\x670d\x52a1"}) {
        std::wstring doc = UpdaterCommandLine(reinterpret_cast<HWND>(static_cast<INT_PTR>(42)), base,
                                              L"0123456789abcdef0123456789abcdef", L"1.0\"3");
        Json::Value root;
        ASSERT_TRUE(Json::Reader().parse(WideToUtf8(doc), root)) << WideToUtf8(doc);
        EXPECT_EQ(WideToUtf8(base) + "/platform/clientversion/findClientVersion", root["url"].asString());
        EXPECT_EQ("1.0\"3", root["postdata"]["version"].asString());
        EXPECT_EQ(42, root["MainHwnd"].asInt());
    }
}

TEST(Escaping, QueryValuesKeepPlainTextAndEncodeWhatAFormDecoderMisreads) {
    struct Row {
        const wchar_t* value;
        const wchar_t* encoded;
    } rows[] = {
        {L"demo", L"demo"},
        {L"cGx1/cz4=", L"cGx1/cz4="},  // "/" and "=" stay
        {L"cK4+Pj8/Pw==", L"cK4%2BPj8/Pw=="},
        {L"a&b#c%d e", L"a%26b%23c%25d%20e"},
        {L"x y&z=1#frag", L"x%20y%26z=1%23frag"},
        {L"tab\there\x7f", L"tab%09here%7F"},
        {L"\x5f20\x4e09", L"%E5%BC%A0%E4%B8%89"},  // 张三 as UTF-8
        {L"\xd83d\xde00", L"%F0%9F%98%80"},        // a pair, one character
        {L"", L""},
    };
    for (const Row& row : rows) EXPECT_EQ(row.encoded, EncodeQueryValue(row.value)) << WideToUtf8(row.value);
    EXPECT_EQ(L"a\\\"b\\n\\u0001", EscapeJsonString(L"a\"b\n\x01"));
}

TEST(ModuleAddresses, SignInAndShortMessageAddresses) {
    // A value that needs nothing gives exactly the old address.
    EXPECT_EQ(L"http://h:1/clientlogin?username=demo&&password=ZDGVtbzEyMw==&&platform=1",
              ClientLoginAddress(L"http://h:1", L"demo", L"ZDGVtbzEyMw=="));
    EXPECT_EQ(L"http://h:1/clientlogin?username=a%26b%23%E5%BC%A0&&password=cQGx1cz4%2BPj8/Pw==&&platform=1",
              ClientLoginAddress(L"http://h:1", L"a&b#\x5f20", L"cQGx1cz4+Pj8/Pw=="));
    EXPECT_EQ(L"http://h:1/clientlogin?username=&&password=&&platform=1", ClientLoginAddress(L"http://h:1", L"", L""));
    EXPECT_EQ(L"http://sms/", ShortMessageAddress(L"http://sms/", ""));
    EXPECT_EQ(L"http://sms/login?token=tok123", ShortMessageAddress(L"http://sms/", "tok123"));
    EXPECT_EQ(L"http://sms/login?token=x%20y%26z=1%23frag", ShortMessageAddress(L"http://sms/", "x y&z=1#frag"));
}

std::wstring Filter(std::initializer_list<const wchar_t*> parts) {
    std::wstring text;
    for (const wchar_t* part : parts) {
        text += part;
        text.push_back(L'\0');
    }
    text.push_back(L'\0');
    return text;
}

TEST(FileChooser, FiltersFromAcceptedTypes) {
    struct Row {
        std::vector<std::wstring> accept;
        std::wstring expected;
    } rows[] = {
        {{L"application/msword", L"application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
         Filter({L"自定义文件(.doc,.docx)", L"*.doc;*.docx", L"所有文件", L"*.*"})},
        // A repeat is skipped; an extension without its dot gets one.
        {{L".xls", L"application/vnd.ms-excel", L"pdf"},
         Filter({L"自定义文件(.xls,.pdf)", L"*.xls;*.pdf", L"所有文件", L"*.*"})},
        // A wildcard stands for every type of its kind in the table.
        {{L"image/*"}, Filter({L"自定义文件(.bmp,.gif,.jpg,.png)", L"*.bmp;*.gif;*.jpg;*.png", L"所有文件", L"*.*"})},
        {{L"image/png", L"image/*"},
         Filter({L"自定义文件(.png,.bmp,.gif,.jpg)", L"*.png;*.bmp;*.gif;*.jpg", L"所有文件", L"*.*"})},
        // Nothing usable: all files, never an empty pattern that would end the list.
        {{}, Filter({L"所有文件(*.*)", L"*.*"})},
        {{L"font/*"}, Filter({L"所有文件(*.*)", L"*.*"})},
        {{L"application/x-unknown", L"", L"."}, Filter({L"所有文件(*.*)", L"*.*"})},
        {{L"application/x-unknown", L".txt"}, Filter({L"自定义文件(.txt)", L"*.txt", L"所有文件", L"*.*"})},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, BuildOpenFileFilter(row.accept)) << row.accept.size();
    // Far too many types: the filter stays within 500 characters and stays well formed.
    std::vector<std::wstring> many;
    for (int i = 0; i < 200; ++i) many.push_back(L".ext" + std::to_wstring(i));
    std::wstring big = BuildOpenFileFilter(many);
    EXPECT_LE(big.size(), 500u);
    EXPECT_EQ(std::wstring(L"*.*\0\0", 5), big.substr(big.size() - 5));
    EXPECT_TRUE(HandlesFileDialogMode(0x03000000));
    EXPECT_TRUE(HandlesFileDialogMode(0x03000001));
    EXPECT_FALSE(HandlesFileDialogMode(0x03000002));
    EXPECT_FALSE(HandlesFileDialogMode(0));
    EXPECT_FALSE(HandlesFileDialogMode(0x01000000));
    EXPECT_FALSE(IsMultipleFileMode(0x03000000));
    EXPECT_TRUE(IsMultipleFileMode(0x03000001));
}

TEST(FileChooser, ChosenFilesFromTheDialogBuffer) {
    struct Row {
        std::wstring buffer;
        std::vector<std::wstring> paths;
    } rows[] = {
        {std::wstring(L"C:\\d\\a.txt\0\0", 13), {L"C:\\d\\a.txt"}},
        {std::wstring(L"C:\\d\0a.txt\0b c.doc\0\0", 21), {L"C:\\d\\a.txt", L"C:\\d\\b c.doc"}},
        {std::wstring(L"C:\\\0a.txt\0b.txt\0\0", 17), {L"C:\\a.txt", L"C:\\b.txt"}},
        {std::wstring(L"\0\0", 2), {}},
        {std::wstring(L"C:\\d\0a.txt\0bbbb", 16), {L"C:\\d\\a.txt", L"C:\\d\\bbbb"}},  // no terminator
    };
    for (const Row& row : rows) EXPECT_EQ(row.paths, ChosenFiles(row.buffer.data(), row.buffer.size()));
}

TEST(FileChooser, DownloadTargetsStayInTheFolderWithUsableNames) {
    const std::wstring docs = L"C:\\Docs";
    struct Row {
        std::wstring suggested;
        std::wstring target;
    } rows[] = {
        {L"report", L"C:\\Docs\\report.zip"},
        {L"report.pdf", L"C:\\Docs\\report.pdf"},
        {L"\x62a5\x8868 (1).xlsx", L"C:\\Docs\\\x62a5\x8868 (1).xlsx"},
        {L"..\\..\\..\\windows\\evil.exe", L"C:\\Docs\\evil.exe"},
        {L"../../etc/evil.exe", L"C:\\Docs\\evil.exe"},
        {L"......windowsevil.exe", L"C:\\Docs\\windowsevil.exe"},
        {L"name. . .", L"C:\\Docs\\name.zip"},
        {L"evil\x202etxt.exe", L"C:\\Docs\\eviltxt.exe"},
        {L"a\x200f"
         L"b\x2066"
         L"c.pdf",
         L"C:\\Docs\\abc.pdf"},
        {L"tab\there\x01.txt", L"C:\\Docs\\tab_here_.txt"},
        {L"a:b?c*.txt", L"C:\\Docs\\a_b_c_.txt"},
        {L"CON", L"C:\\Docs\\_CON.zip"},
        {L"con.txt", L"C:\\Docs\\_con.txt"},
        {L"Lpt1 .tar.gz", L"C:\\Docs\\_Lpt1 .tar.gz"},
        {L"COM10.txt", L"C:\\Docs\\COM10.txt"},
        {L"console.txt", L"C:\\Docs\\console.txt"},
        {L"", L"C:\\Docs\\download.zip"},
        {L"...", L"C:\\Docs\\download.zip"},
        {L"..\\", L"C:\\Docs\\download.zip"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.target, DownloadTarget(docs, row.suggested)) << WideToUtf8(row.suggested);
    EXPECT_EQ(L"\\a.b", DownloadTarget(L"", L"a.b"));

    // Long names: the stem is shortened so that the whole path fits, the extension stays.
    for (size_t length : {300, 400}) {
        std::wstring target = DownloadTarget(docs, std::wstring(length, L'x') + L".pdf");
        EXPECT_EQ(kMaxDownloadPath, target.size());
        EXPECT_EQ(L"C:\\Docs\\xxx", target.substr(0, 11));
        EXPECT_EQ(L".pdf", target.substr(target.size() - 4));
    }
    // A cut never splits a surrogate pair.
    std::wstring pairs;
    for (int i = 0; i < 200; ++i) pairs += L"\xd83d\xde00";
    std::wstring cut = DownloadTarget(docs, pairs + L".txt");
    EXPECT_LE(cut.size(), kMaxDownloadPath);
    EXPECT_FALSE(cut[cut.size() - 5] >= 0xD800 && cut[cut.size() - 5] <= 0xDBFF);
    // A deep folder leaves the name at most what fits; a name never passes 255 characters.
    std::wstring deep = L"C:\\" + std::wstring(240, L'd');
    EXPECT_EQ(L".pdf", DownloadTarget(deep, std::wstring(50, L'n') + L".pdf").substr(kMaxDownloadPath - 4));
    EXPECT_EQ(kMaxDownloadPath, DownloadTarget(deep, std::wstring(50, L'n') + L".pdf").size());
    EXPECT_EQ(3u + 255u, DownloadTarget(L"C:", std::wstring(300, L'n') + L".pdf").size());
}

}  // namespace
