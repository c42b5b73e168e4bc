// The login dialog end to end inside one process: real window, real skin, real message path.
// winsock2.h must come before windows.h.
#include "fixtures/raw_http_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "dialog_driver.h"
#include "login/client_settings.h"
#include "login/password.h"
#include "login/sealed_password.h"
#include "net/http_interface.h"
#include "login/settings.h"

using namespace DuiLib;
using namespace logintest;
using testing_fixtures::RawHttpServer;

namespace {

const wchar_t kLogin[] = L"登录";
const wchar_t kLoggingIn[] = L"登录中...";
const wchar_t kSection[] = L"cloud_client";
const wchar_t kHistory[] = L"HistoryAccount";

std::vector<std::wstring> g_openedPages;
void RecordPage(const std::wstring& url) { g_openedPages.push_back(url); }

class LoginDialog : public ::testing::Test {
protected:
    void SetUp() override {
        FakeRequest::Get().Reset();
        LoginDlg::SetRequestForTesting(&FakeRequest::Request);
        LoginDlg::SetOpenPageForTesting(&RecordPage);
        g_openedPages.clear();
        frame = &FreshFrame();
    }
    void TearDown() override {
        // A held worker must not outlive the test blocked; it finishes into its own record.
        FakeRequest::Get().Release();
        PumpUntil([] { return FakeRequest::Get().Returned() == FakeRequest::Get().Calls(); });
        LoginDlg::SetRequestForTesting(nullptr);
        LoginDlg::SetOpenPageForTesting(nullptr);
        Settle();
    }

    // A prepared "config.bin", in UTF-16 as the client creates it, so that names outside the
    // ANSI code page survive whatever the test machine's code page is.
    static void CreateConfig() {
        if (ConfigExists()) return;
        HANDLE file = ::CreateFileW(ConfigPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        ::WriteFile(file, "\xFF\xFE", 2, &written, nullptr);
        ::CloseHandle(file);
    }
    static void StoreLogin(const wchar_t* user, const wchar_t* password, const wchar_t* autologin) {
        CreateConfig();
        WriteIni(ConfigPath(), kSection, L"username", user);
        WriteIni(ConfigPath(), kSection, L"password", password);
        if (autologin) WriteIni(ConfigPath(), kSection, L"autologin", autologin);
    }
    static void StoreHistory(const std::vector<std::pair<std::wstring, std::wstring>>& accounts) {
        CreateConfig();
        WriteIni(ConfigPath(), kHistory, L"AccountCount", std::to_wstring(accounts.size()).c_str());
        for (size_t i = 0; i < accounts.size(); ++i) {
            std::wstring n = std::to_wstring(i + 1);
            WriteIni(ConfigPath(), kHistory, (L"username" + n).c_str(), accounts[i].first.c_str());
            WriteIni(ConfigPath(), kHistory, (L"password" + n).c_str(), accounts[i].second.c_str());
        }
    }
    static std::wstring Config(const wchar_t* section, const wchar_t* key) {
        return ReadIni(ConfigPath(), section, key);
    }
    static bool ConfigExists() { return ::GetFileAttributesW(ConfigPath().c_str()) != INVALID_FILE_ATTRIBUTES; }
    // A stored password as this user reads it; "<open>" when it was written in the open form.
    static std::wstring StoredPassword(const wchar_t* section, const wchar_t* key) {
        const std::wstring value = Config(section, key);
        if (!value.empty() && !IsSealedPassword(value)) return L"<open>" + value;
        return OpenStoredPassword(value).encodedPassword;
    }

    SettingsGuard files;
    MainFrameWnd* frame = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Input checks

TEST_F(LoginDialog, EmptyFieldsAreRefusedWithTheirMessageAndFocus) {
    UINT result = RunDialog(*frame, true, [](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        EXPECT_EQ(L"", d.Text(L"edit_username"));
        EXPECT_EQ(0, d.Combo()->GetCount());
        EXPECT_FALSE(d.Visible(L"lbl_ErrMsg"));

        ASSERT_TRUE(d.Click(L"btn_Login"));
        Settle();
        EXPECT_EQ(L"用户名不能为空", d.Text(L"lbl_ErrMsg"));
        EXPECT_TRUE(d.Visible(L"lbl_ErrMsg"));
        EXPECT_TRUE(d.Visible(L"btn_ErrorIcon"));
        EXPECT_EQ(L"edit_username", d.FocusName());
        EXPECT_FALSE(d.dlg->LoginInProgress());
        EXPECT_EQ(kLogin, d.Text(L"btn_Login"));

        ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        Settle();
        EXPECT_EQ(L"密码不能为空", d.Text(L"lbl_ErrMsg"));
        EXPECT_TRUE(d.Visible(L"btn_ErrorIcon"));
        EXPECT_EQ(L"edit_password", d.FocusName());
        EXPECT_TRUE(d.Find(L"btn_Login")->IsEnabled());

        // A good attempt afterwards hides the old message.
        FakeRequest::Get().hold = true;
        ASSERT_TRUE(d.Type(L"edit_password", L"pw"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        EXPECT_FALSE(d.Visible(L"lbl_ErrMsg"));
        EXPECT_FALSE(d.Visible(L"btn_ErrorIcon"));
        EXPECT_EQ(L"", d.Text(L"lbl_ErrMsg"));
        ASSERT_TRUE(d.Click(L"BtnClose"));
        EXPECT_TRUE(PumpUntil([&] { return !d.Alive(); }));
    });
    EXPECT_EQ(0u, result);
    EXPECT_EQ(0, frame->login().loggedIn);
    EXPECT_EQ(DefaultServerUrl(), frame->login().serverBaseUrl);  // no "maincfg.ini"
}

TEST_F(LoginDialog, NothingIsWrittenWhenTheChecksFail) {
    RunDialog(*frame, true, [](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        Settle();
    });
    EXPECT_EQ(0, FakeRequest::Get().Calls());
    EXPECT_FALSE(ConfigExists());
}

// ---------------------------------------------------------------------------------------------
// Check boxes: the skin reports a click before the box changes.

TEST_F(LoginDialog, RememberAndAutoLoginBoxesStayCoupled) {
    struct Row {
        const wchar_t* click;
        bool rememberBefore, autoBefore;
        bool rememberAfter, autoAfter;
    };
    const Row rows[] = {
        {L"chk_autologin", false, false, true, true},         {L"chk_autologin", true, true, true, false},
        {L"chk_autologin", true, false, true, true},          {L"chk_rememberpassword", true, true, false, false},
        {L"chk_rememberpassword", false, false, true, false}, {L"lb_autologin", false, false, true, true},
        {L"lb_autologin", true, true, true, false},           {L"lb_autologin", true, false, true, true},
        {L"lb_remember", true, true, false, false},           {L"lb_remember", true, false, false, false},
        {L"lb_remember", false, false, true, false},
    };
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        CCheckBoxUI* remember = d.Box(L"chk_rememberpassword");
        CCheckBoxUI* autoLogin = d.Box(L"chk_autologin");
        ASSERT_TRUE(remember && autoLogin);
        for (const Row& row : rows) {
            remember->SetCheck(row.rememberBefore);
            autoLogin->SetCheck(row.autoBefore);
            ASSERT_TRUE(d.Click(row.click));
            Settle();
            SCOPED_TRACE(testing::Message()
                         << "click " << WideToUtf8(row.click) << " from " << row.rememberBefore << row.autoBefore);
            EXPECT_EQ(row.rememberAfter, remember->GetCheck());
            EXPECT_EQ(row.autoAfter, autoLogin->GetCheck());
        }
    });
}

// ---------------------------------------------------------------------------------------------
// History drop-down and the encoded password

TEST_F(LoginDialog, HistoryChoiceFillsBothBoxesWithTheStoredEncoding) {
    const std::wstring encBob = EncodePassword(L"bob-secret");
    StoreLogin(L"", L"", nullptr);
    StoreHistory({{L"alice", EncodePassword(L"a")}, {L"bob", encBob}, {L"张三", EncodePassword(L"z")}});
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        CComboUI* combo = d.Combo();
        ASSERT_EQ(3, combo->GetCount());
        EXPECT_EQ(L"alice", std::wstring(combo->GetItemAt(0)->GetText()));  // oldest first
        EXPECT_EQ(L"张三", std::wstring(combo->GetItemAt(2)->GetText()));
        // No stored user name and no password: both boxes ask for focus, the password box last.
        EXPECT_EQ(L"edit_password", d.FocusName());

        ASSERT_TRUE(d.Click(L"btncombodropdown"));
        Settle();
        ASSERT_TRUE(combo->IsDropped());
        EXPECT_EQ(-1, combo->GetCurSel());  // empty user name box: nothing preselected
        ASSERT_TRUE(Testing::ClickDropItem(combo, 1));
        Settle();
        EXPECT_EQ(L"bob", d.Text(L"edit_username"));
        EXPECT_EQ(encBob, d.Text(L"edit_password"));
        EXPECT_EQ(encBob, d.dlg->EncodedPassword());  // not encoded a second time

        // The sign-in sends the stored encoding unchanged.
        ASSERT_TRUE(d.Click(L"btn_Login"));
        PumpUntil([&] { return !d.Alive(); });
    });
    EXPECT_EQ(L"bob", FakeRequest::Get().sent.userName);
    EXPECT_EQ(encBob, FakeRequest::Get().sent.encodedPassword);
}

TEST_F(LoginDialog, DropDownPreselectsTheTypedAccountIgnoringCase) {
    StoreHistory({{L"alice", L"QYWxpY2U="}, {L"Bob", L"QYm9i"}});
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Type(L"edit_username", L"BOB"));
        ASSERT_TRUE(d.Click(L"btncombodropdown"));
        Settle();
        CComboUI* combo = d.Combo();
        EXPECT_TRUE(combo->IsDropped());
        EXPECT_EQ(1, combo->GetCurSel());
        EXPECT_EQ(L"BOB", d.Text(L"edit_username"));  // preselecting fills in nothing
        EXPECT_EQ(L"", d.Text(L"edit_password"));
        // Choosing the other account replaces the typed name.
        ASSERT_TRUE(Testing::ClickDropItem(combo, 0));
        Settle();
        EXPECT_EQ(L"alice", d.Text(L"edit_username"));
        EXPECT_EQ(L"QYWxpY2U=", d.dlg->EncodedPassword());
    });
}

// The dialog's own selections in the list (at opening, before dropping it down) report
// "itemselect" as well; none of them may fill in an account the user did not choose.
TEST_F(LoginDialog, TheDialogsOwnSelectionsFillInNoAccount) {
    StoreLogin(L"bob", L"", nullptr);
    StoreHistory({{L"alice", L"QYWxpY2U="}, {L"Bob", L"QYm9i"}});
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        EXPECT_EQ(1, d.Combo()->GetCurSel());
        EXPECT_EQ(L"bob", d.Text(L"edit_username"));  // as stored, not the list's spelling
        EXPECT_EQ(L"", d.Text(L"edit_password"));
        EXPECT_EQ(L"", d.dlg->EncodedPassword());
    });
}

TEST_F(LoginDialog, ClosingWithTheHistoryListOpen) {
    StoreHistory({{L"alice", L"QYWxpY2U="}});
    UINT result = RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Click(L"btncombodropdown"));
        Settle();
        ASSERT_TRUE(d.Combo()->IsDropped());
        EXPECT_EQ(L"combo_username", d.FocusName());
        // A second click on the arrow closes the list (it loses the focus) and, the combo
        // still having the focus, does not open another one.
        ASSERT_TRUE(d.Click(L"btncombodropdown"));
        Settle();
        EXPECT_FALSE(d.Combo()->IsDropped());
        EXPECT_EQ(L"combo_username", d.FocusName());
        // Leave it open for the close.
        d.Find(L"edit_username")->SetFocus();
        ASSERT_TRUE(d.Click(L"btncombodropdown"));
        Settle();
        ASSERT_TRUE(d.Combo()->IsDropped());
    });
    EXPECT_EQ(kLeftOpen, result);
    EXPECT_EQ(0, FakeRequest::Get().Calls());
}

TEST_F(LoginDialog, TypingAPasswordReplacesTheStoredEncoding) {
    const std::wstring stored = EncodePassword(L"old");
    StoreLogin(L"alice", stored.c_str(), L"false");
    StoreHistory({{L"alice", stored}});
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        EXPECT_EQ(stored, d.dlg->EncodedPassword());
        EXPECT_EQ(stored, d.Text(L"edit_password"));
        ASSERT_TRUE(d.Type(L"edit_password", L"X"));
        Settle();
        // The box now holds the stored text plus the typed letter, and that is what counts.
        std::wstring typed = d.Text(L"edit_password");
        EXPECT_EQ(stored.size() + 1, typed.size());
        EXPECT_NE(std::wstring::npos, typed.find(L'X'));
        EXPECT_EQ(typed, DecodePassword(d.dlg->EncodedPassword()));

        // Emptying the box empties the encoding.
        d.Edit(L"edit_password")->SetSel(0, -1);
        ::SendMessageW(d.Edit(L"edit_password")->GetNativeWindow(), WM_CHAR, VK_BACK, 1);
        Settle();
        EXPECT_EQ(L"", d.Text(L"edit_password"));
        EXPECT_EQ(L"", d.dlg->EncodedPassword());
        ASSERT_TRUE(d.Type(L"edit_password", L"新密码"));
        Settle();
        EXPECT_EQ(L"新密码", DecodePassword(d.dlg->EncodedPassword()));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        PumpUntil([&] { return !d.Alive(); });
    });
    EXPECT_EQ(L"新密码", DecodePassword(FakeRequest::Get().sent.encodedPassword));
}

// ---------------------------------------------------------------------------------------------
// Attempts against a login server on loopback (the real request)

std::string JsonReply(const std::string& headers, const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json;charset=UTF-8\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

TEST_F(LoginDialog, RefusedAttemptShowsTheServerTextAndKeepsTheUserName) {
    RawHttpServer server;
    // "用户名或密码错误"
    server.SetRawResponse(JsonReply("",
                                    "{\"status\":40001,\"message\":\"\xE7\x94\xA8\xE6\x88\xB7\xE5\x90\x8D\xE6"
                                    "\x88\x96\xE5\xAF\x86\xE7\xA0\x81\xE9\x94\x99\xE8\xAF\xAF\"}"));
    const std::wstring url = Utf8ToWide(server.Url(""));
    WriteIni(MainCfgPath(), kSection, L"url", url.c_str());
    LoginDlg::SetRequestForTesting(nullptr);  // RequestLogin

    UINT result = RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
        ASSERT_TRUE(d.Type(L"edit_password", L"secret"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        EXPECT_EQ(kLoggingIn, d.Text(L"btn_Login"));
        EXPECT_FALSE(d.Find(L"btn_Login")->IsEnabled());
        ASSERT_TRUE(PumpUntil([&] { return !d.dlg->LoginInProgress(); }));
        EXPECT_EQ(L"用户名或密码错误", d.Text(L"lbl_ErrMsg"));
        EXPECT_TRUE(d.Visible(L"lbl_ErrMsg"));
        EXPECT_TRUE(d.Visible(L"btn_ErrorIcon"));
        EXPECT_EQ(kLogin, d.Text(L"btn_Login"));
        EXPECT_TRUE(d.Find(L"btn_Login")->IsEnabled());
        EXPECT_EQ(L"alice", Config(kSection, L"username"));
        EXPECT_EQ(L"<missing>", Config(kSection, L"password"));
        EXPECT_EQ(L"<missing>", Config(kHistory, L"AccountCount"));
    });
    EXPECT_NE(1u, result);
    EXPECT_EQ(url, frame->login().serverBaseUrl);
    EXPECT_EQ(0, frame->login().loggedIn);
    auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /platform/encrypt/login HTTP/1.1", requests[0].RequestLine());
    EXPECT_NE(std::string::npos, requests[0].body.find("\"loginName\":\"alice\""));
}

TEST_F(LoginDialog, NetworkFailureShowsTimeoutAndAllowsAnotherAttempt) {
    WriteIni(MainCfgPath(), kSection, L"url",
             (L"http://127.0.0.1:" + std::to_wstring(testing_fixtures::UnusedPort())).c_str());
    LoginDlg::SetRequestForTesting(nullptr);
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
        ASSERT_TRUE(d.Type(L"edit_password", L"secret"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        ASSERT_TRUE(PumpUntil([&] { return !d.dlg->LoginInProgress(); }));
        EXPECT_EQ(L"网络超时", d.Text(L"lbl_ErrMsg"));
        // The button works again: a second attempt goes out.
        LoginDlg::SetRequestForTesting(&FakeRequest::Request);
        ASSERT_TRUE(d.Click(L"btn_Login"));
        PumpUntil([&] { return !d.Alive(); });
    });
    EXPECT_EQ(1, FakeRequest::Get().Calls());
    EXPECT_EQ(1, frame->login().loggedIn);
}

TEST_F(LoginDialog, ServersThatNeverAnswerEndWithAMessage) {
    const HttpTimeouts saved = CurrentHttpTimeouts();
    CurrentHttpTimeouts() = {1500, 1500, 1500};
    RawHttpServer server;
    LoginDlg::SetRequestForTesting(nullptr);
    struct Row {
        const char* name;
        std::string firstBytes;  // then the connection is held open, or a redirect to itself
        bool loop;
        std::wstring url;  // when not the fixture server
        const wchar_t* message;
    } rows[] = {
        {"silent", "", false, L"", L"网络超时"},
        {"headers then nothing", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n", false, L"", L"网络超时"},
        {"redirect loop", "", true, L"", L"网络超时"},
        {"1 MB address", "", false, L"http://" + std::wstring(1 << 20, L'a'), L"服务器地址无效"},
        {"blank in the address", "", false, L"http://127.0.0.1 :1", L"服务器地址无效"},
    };
    for (const Row& row : rows) {
        const std::string first = row.firstBytes;
        const bool loop = row.loop;
        server.SetResponder([first, loop](SOCKET s, const testing_fixtures::RecordedRequest&) {
            if (loop) {
                RawHttpServer::SendAll(s, "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n");
                return;
            }
            RawHttpServer::SendAll(s, first);
            RawHttpServer::HoldOpen(s, 10000);
        });
        const size_t before = server.Requests().size();
        WriteIni(MainCfgPath(), kSection, L"url", (row.url.empty() ? Utf8ToWide(server.Url("")) : row.url).c_str());
        RunDialog(*frame, true, [&](Dialog& d) {
            ASSERT_TRUE(d.Alive());
            ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
            ASSERT_TRUE(d.Type(L"edit_password", L"secret"));
            ASSERT_TRUE(d.Click(L"btn_Login"));
            ASSERT_TRUE(PumpUntil([&] { return !d.dlg->LoginInProgress(); })) << row.name;
            EXPECT_EQ(row.message, d.Text(L"lbl_ErrMsg")) << row.name;
            EXPECT_EQ(kLogin, d.Text(L"btn_Login")) << row.name;
            EXPECT_TRUE(d.Find(L"btn_Login")->IsEnabled()) << row.name;
        });
        const size_t sent = server.Requests().size() - before;
        if (!row.url.empty()) {
            EXPECT_EQ(0u, sent) << row.name;
        }
        if (row.loop) {
            EXPECT_EQ(size_t(HttpInterface::kMaxRedirects + 1), sent);
        }
    }
    CurrentHttpTimeouts() = saved;
}

TEST_F(LoginDialog, BoxesTakeAtMostTheCredentialLimit) {
    // A damaged config.bin with a huge name: the box gets the first characters only.
    WriteIni(ConfigPath(), kSection, L"username", std::wstring(100000, L'n').c_str());
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        EXPECT_EQ(std::wstring(kMaxCredentialChars, L'n'), d.Text(L"edit_username"));
        // The shipped skin lets both boxes take the whole limit, long passwords included.
        for (const wchar_t* box : {L"edit_username", L"edit_password"}) {
            EXPECT_EQ(kMaxCredentialChars, d.Edit(box)->GetMaxChar()) << box;
        }
    });
}

TEST_F(LoginDialog, SuccessfulAttemptRecordsTheAccountAndCloses) {
    RawHttpServer server;
    server.SetRawResponse(
        JsonReply("Authorization: Bearer tok-9\r\n", "{\"status\":20000,\"result\":{\"userType\":\"3\"}}"));
    WriteIni(MainCfgPath(), kSection, L"url", Utf8ToWide(server.Url("")).c_str());
    LoginDlg::SetRequestForTesting(nullptr);

    UINT result = RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Type(L"edit_username", L"张三"));
        ASSERT_TRUE(d.Type(L"edit_password", L"secret"));
        ASSERT_TRUE(d.Click(L"chk_autologin"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        EXPECT_TRUE(PumpUntil([&] { return !d.Alive(); }));
    });
    EXPECT_EQ(1u, result);
    EXPECT_EQ(1, frame->login().loggedIn);
    EXPECT_EQ("tok-9", frame->login().loginToken);
    EXPECT_EQ(3, frame->login().userType);
    EXPECT_EQ(L"", frame->login().loginError);

    auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    const std::string& body = requests[0].body;
    std::string::size_type at = body.find("\"password\":\"");
    ASSERT_NE(std::string::npos, at);
    at += 12;
    const std::wstring sent = AnsiToWide(body.substr(at, body.find('"', at) - at));
    EXPECT_EQ(L"secret", DecodePassword(sent));

    EXPECT_EQ(L"张三", Config(kSection, L"username"));
    EXPECT_EQ(sent, StoredPassword(kSection, L"password"));
    EXPECT_EQ(L"true", Config(kSection, L"autologin"));
    EXPECT_EQ(L"1", Config(kHistory, L"AccountCount"));
    EXPECT_EQ(L"张三", Config(kHistory, L"username1"));
    EXPECT_EQ(sent, StoredPassword(kHistory, L"password1"));
}

// What a success writes, by the boxes' states when the attempt started.
TEST_F(LoginDialog, SuccessWritesByTheRememberBox) {
    struct Row {
        const char* name;
        bool remember, autoLogin;
        const wchar_t* storedAutologin;  // before the attempt
        bool expectPassword;
        const wchar_t* expectAutologin;
    };
    const Row rows[] = {
        {"remember and auto", true, true, L"false", true, L"true"},
        {"remember only", true, false, L"TRUE", true, L"false"},
        {"not remembered keeps autologin", false, false, L"TRUE", false, L"TRUE"},
        {"not remembered, no autologin key", false, false, nullptr, false, L"<missing>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SettingsGuard perRow;
        FakeRequest::Get().Reset();
        FreshFrame();
        // No stored password: no auto-login, whatever "autologin" says.
        StoreLogin(L"old", L"", row.storedAutologin);
        StoreHistory({{L"carol", L"QY2Fyb2w="}, {L"alice", L"QYWxpY2U="}, {L"dave", L"QZGF2ZQ=="}});
        std::wstring encoded;
        UINT result = RunDialog(*frame, true, [&](Dialog& d) {
            ASSERT_TRUE(d.Alive());
            EXPECT_EQ(0, FakeRequest::Get().Calls());
            EXPECT_EQ(L"edit_password", d.FocusName());
            d.Edit(L"edit_username")->SetText(L"alice");
            ASSERT_TRUE(d.Type(L"edit_password", L"pw"));
            d.Box(L"chk_rememberpassword")->SetCheck(row.remember);
            d.Box(L"chk_autologin")->SetCheck(row.autoLogin);
            encoded = d.dlg->EncodedPassword();
            ASSERT_TRUE(d.Click(L"btn_Login"));
            EXPECT_TRUE(PumpUntil([&] { return !d.Alive(); }));
        });
        EXPECT_EQ(1u, result);
        EXPECT_EQ(L"alice", Config(kSection, L"username"));
        EXPECT_EQ(row.expectPassword ? encoded : L"", StoredPassword(kSection, L"password"));
        EXPECT_EQ(row.expectAutologin, Config(kSection, L"autologin"));
        // The account moves to the newest end with its encoding, remembered or not.
        EXPECT_EQ(L"3", Config(kHistory, L"AccountCount"));
        EXPECT_EQ(L"carol", Config(kHistory, L"username1"));
        EXPECT_EQ(L"dave", Config(kHistory, L"username2"));
        EXPECT_EQ(L"alice", Config(kHistory, L"username3"));
        EXPECT_EQ(encoded, StoredPassword(kHistory, L"password3"));
    }
}

TEST_F(LoginDialog, SuccessRecordsThePasswordThatWasSentNotOneTypedMeanwhile) {
    std::wstring sent;
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        FakeRequest::Get().hold = true;
        ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
        ASSERT_TRUE(d.Type(L"edit_password", L"right"));
        d.Box(L"chk_rememberpassword")->SetCheck(true);
        ASSERT_TRUE(d.Click(L"btn_Login"));
        ASSERT_TRUE(PumpUntil([] { return FakeRequest::Get().Calls() == 1; }));
        // The boxes stay editable while the request runs.
        ASSERT_TRUE(d.Type(L"edit_password", L"typo"));
        Settle();
        FakeRequest::Get().Release();
        EXPECT_TRUE(PumpUntil([&] { return !d.Alive(); }));
    });
    sent = FakeRequest::Get().sent.encodedPassword;
    EXPECT_EQ(L"right", DecodePassword(sent));
    EXPECT_EQ(sent, StoredPassword(kSection, L"password"));
    EXPECT_EQ(sent, StoredPassword(kHistory, L"password1"));
    EXPECT_EQ(sent, frame->login().encodedPassword);
}

// ---------------------------------------------------------------------------------------------
// Auto-login at opening

TEST_F(LoginDialog, AutoLoginNeedsTheOptionAStoredPasswordAndNoNoLoginFlag) {
    struct Row {
        const char* name;
        const wchar_t* autologin;
        const wchar_t* password;
        bool allowed;
        bool expectAttempt;
        const wchar_t* user = L"alice";
    };
    const std::wstring enc = EncodePassword(L"stored");
    // Longer than the boxes' typing limits (64 and 32 characters): stored values are used whole.
    const std::wstring longEnc = EncodePassword(std::wstring(120, L'p'));
    const std::wstring longUser = L"user." + std::wstring(90, L'u');
    const Row rows[] = {
        {"TRUE", L"TRUE", enc.c_str(), true, true},
        {"true", L"true", enc.c_str(), true, true},
        {"long values", L"true", longEnc.c_str(), true, true, longUser.c_str()},
        {"Chinese name", L"true", enc.c_str(), true, true, L"张三"},
        {"NoLogin flag", L"true", enc.c_str(), false, false},
        {"no password", L"TRUE", L"", true, false},
        {"option off", L"false", enc.c_str(), true, false},
        {"option not a boolean", L"yes", enc.c_str(), true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SettingsGuard perRow;
        FakeRequest::Get().Reset();
        FreshFrame();
        StoreLogin(row.user, row.password, row.autologin);
        bool sawDialog = false;
        RunDialog(
            *frame, row.allowed,
            [&](Dialog& d) {
                if (row.expectAttempt) {
                    PumpUntil([&] { return !d.Alive(); });
                    return;
                }
                ASSERT_TRUE(d.Alive());
                sawDialog = true;
                Settle();
                EXPECT_EQ(0, FakeRequest::Get().Calls());
                EXPECT_FALSE(d.dlg->LoginInProgress());
                EXPECT_EQ(L"alice", d.Text(L"edit_username"));
                EXPECT_EQ(row.password, d.Text(L"edit_password"));
                EXPECT_EQ(*row.password != 0, d.Box(L"chk_rememberpassword")->GetCheck());
                EXPECT_EQ(_wcsicmp(row.autologin, L"true") == 0, d.Box(L"chk_autologin")->GetCheck());
            },
            /*viaShowLoginDialog=*/true);
        if (row.expectAttempt) {
            EXPECT_EQ(1, FakeRequest::Get().Calls());
            EXPECT_EQ(row.password, FakeRequest::Get().sent.encodedPassword);  // stored form, unchanged
            EXPECT_EQ(row.user, FakeRequest::Get().sent.userName);
            EXPECT_EQ(1, frame->login().loggedIn);
            EXPECT_EQ("fake-token", frame->login().loginToken);
            EXPECT_EQ(7, frame->login().userType);
        } else {
            EXPECT_TRUE(sawDialog);
            EXPECT_EQ(0, FakeRequest::Get().Calls());
            EXPECT_EQ(0, frame->login().loggedIn);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Closing during an attempt

TEST_F(LoginDialog, CloseDuringASlowAttemptLeavesTheWorkerNothingToTouch) {
    struct Row {
        const char* name;
        bool escape;  // close with Esc instead of the close button
    };
    for (const Row& row : {Row{"close button", false}, Row{"escape", true}}) {
        SCOPED_TRACE(row.name);
        SettingsGuard perRow;
        FakeRequest::Get().Reset();
        FakeRequest::Get().hold = true;
        FreshFrame();
        UINT result = RunDialog(*frame, true, [&](Dialog& d) {
            ASSERT_TRUE(d.Alive());
            ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
            ASSERT_TRUE(d.Type(L"edit_password", L"pw"));
            d.Box(L"chk_rememberpassword")->SetCheck(true);
            ASSERT_TRUE(d.Click(L"btn_Login"));
            ASSERT_TRUE(PumpUntil([] { return FakeRequest::Get().Calls() == 1; }));
            if (row.escape) {
                Testing::PressKey(VK_ESCAPE);
            } else {
                ASSERT_TRUE(d.Click(L"BtnClose"));
            }
            EXPECT_TRUE(PumpUntil([&] { return !d.Alive(); }));  // while the request still runs
            EXPECT_EQ(0, FakeRequest::Get().Returned());
        });
        EXPECT_NE(1u, result);
        FakeRequest::Get().Release();
        ASSERT_TRUE(PumpUntil([] { return FakeRequest::Get().Returned() == 1; }));
        Settle();
        EXPECT_EQ(0, frame->login().loggedIn);
        EXPECT_EQ("", frame->login().loginToken);
        EXPECT_EQ(-1, frame->login().userType);
        EXPECT_EQ(L"alice", Config(kSection, L"username"));  // written before the request
        EXPECT_EQ(L"<missing>", Config(kSection, L"password"));
        EXPECT_EQ(L"<missing>", Config(kHistory, L"AccountCount"));
    }
}

// ---------------------------------------------------------------------------------------------
// Messages

TEST_F(LoginDialog, OpensTopMostAtItsSizeAndClampsTheDpi) {
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        wchar_t title[64] = {};
        ::GetWindowTextW(d.hwnd, title, 64);
        EXPECT_STREQ(L"青杉工作台客户端", title);
        EXPECT_TRUE(::GetWindowLongW(d.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(::IsWindowVisible(d.hwnd));
        RECT rc = {};
        ::GetWindowRect(d.hwnd, &rc);
        int scale = d.pm->GetDPIObj()->GetScale();
        EXPECT_EQ(MulDiv(662, scale, 100), rc.right - rc.left);
        EXPECT_EQ(MulDiv(442, scale, 100), rc.bottom - rc.top);

        const struct { int sent, expected; } rows[] = {{300, 200}, {50, 96}, {144, 144}, {96, 96}};
        for (const auto& row : rows) {
            RECT suggested = rc;
            ::SendMessageW(d.hwnd, WM_DPICHANGED, MAKEWPARAM(row.sent, row.sent), reinterpret_cast<LPARAM>(&suggested));
            EXPECT_EQ(row.expected, d.pm->GetDPIObj()->GetDPI()) << row.sent;
        }
        ASSERT_TRUE(d.Click(L"BtnMinimized"));
        Settle();
        EXPECT_TRUE(::IsIconic(d.hwnd));
    });
}

TEST_F(LoginDialog, ForeignMessagesAreHarmless) {
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        RECT before = {}, after = {};
        ::GetWindowRect(d.hwnd, &before);
        EXPECT_EQ(0,
                  ::SendMessageW(d.hwnd, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(before.left + 5, before.top + 5)));
        Settle();
        ::GetWindowRect(d.hwnd, &after);
        EXPECT_FALSE(::IsZoomed(d.hwnd));
        EXPECT_TRUE(::EqualRect(&before, &after));

        // A control pointer from another process is never followed.
        char junk[256] = {};
        const WPARAM bogus[] = {0, 1, 0x12345678, reinterpret_cast<WPARAM>(junk), static_cast<WPARAM>(-1)};
        for (WPARAM p : bogus) EXPECT_EQ(0, ::SendMessageW(d.hwnd, WM_USER + 1, p, 0));
        ::PostMessageW(d.hwnd, WM_USER + 1, 0xDEADBEEF, 0);
        Settle();
        EXPECT_TRUE(d.Alive());

        // Our own focus message still works.
        ::PostMessageW(d.hwnd, WM_USER + 1, reinterpret_cast<WPARAM>(d.Find(L"edit_password")), 0);
        Settle();
        EXPECT_EQ(L"edit_password", d.FocusName());
    });
}

TEST_F(LoginDialog, ForgedAttemptDoneMessagesChangeNothing) {
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        // Before any attempt.
        ::PostMessageW(d.hwnd, LoginDlg::WM_LOGIN_DONE, 0, 0);
        Settle();
        EXPECT_TRUE(d.Alive());
        EXPECT_FALSE(d.Visible(L"lbl_ErrMsg"));

        // During an attempt: the attempt stays running and a second one cannot start.
        FakeRequest::Get().hold = true;
        ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
        ASSERT_TRUE(d.Type(L"edit_password", L"pw"));
        ASSERT_TRUE(d.Click(L"btn_Login"));
        ASSERT_TRUE(PumpUntil([] { return FakeRequest::Get().Calls() == 1; }));
        ::PostMessageW(d.hwnd, LoginDlg::WM_LOGIN_DONE, 1, 1);
        Settle();
        EXPECT_TRUE(d.dlg->LoginInProgress());
        EXPECT_EQ(kLoggingIn, d.Text(L"btn_Login"));
        EXPECT_FALSE(d.Visible(L"lbl_ErrMsg"));
        ::SendMessageW(d.hwnd, WM_CHAR, VK_RETURN, 1);
        Settle();
        EXPECT_EQ(1, FakeRequest::Get().Calls());

        // A refusal, then a forged repeat of the finished attempt's message.
        FakeRequest::Get().answer.loginError = L"拒绝";
        FakeRequest::Get().result = false;
        FakeRequest::Get().Release();
        ASSERT_TRUE(PumpUntil([&] { return !d.dlg->LoginInProgress(); }));
        EXPECT_EQ(L"拒绝", d.Text(L"lbl_ErrMsg"));
        d.Find(L"lbl_ErrMsg")->SetText(L"");
        ::PostMessageW(d.hwnd, LoginDlg::WM_LOGIN_DONE, 0, 0);
        Settle();
        EXPECT_TRUE(d.Alive());
        EXPECT_EQ(L"", d.Text(L"lbl_ErrMsg"));
    });
    EXPECT_EQ(0, frame->login().loggedIn);
}

TEST_F(LoginDialog, EnterStartsAnAttempt) {
    struct Row {
        const char* name;
        bool keyInPasswordBox;  // otherwise the Enter character sent to the dialog itself
    };
    for (const Row& row : {Row{"key in the password box", true}, Row{"character to the dialog", false}}) {
        SCOPED_TRACE(row.name);
        SettingsGuard perRow;
        FakeRequest::Get().Reset();
        FreshFrame();
        UINT result = RunDialog(*frame, true, [&](Dialog& d) {
            ASSERT_TRUE(d.Alive());
            FakeRequest::Get().hold = true;
            ASSERT_TRUE(d.Type(L"edit_username", L"alice"));
            ASSERT_TRUE(d.Type(L"edit_password", L"pw"));
            ASSERT_EQ(d.Edit(L"edit_password")->GetNativeWindow(), ::GetFocus());
            if (row.keyInPasswordBox) {
                Testing::PressKey(VK_RETURN);
            } else {
                ::SendMessageW(d.hwnd, WM_CHAR, VK_RETURN, 1);
            }
            EXPECT_TRUE(d.dlg->LoginInProgress());
            ASSERT_TRUE(PumpUntil([] { return FakeRequest::Get().Calls() == 1; }));
            EXPECT_EQ(L"alice", FakeRequest::Get().sent.userName);
            // Enter again while it runs starts nothing.
            Testing::PressKey(VK_RETURN);
            ::SendMessageW(d.hwnd, WM_CHAR, VK_RETURN, 1);
            FakeRequest::Get().Release();
            PumpUntil([&] { return !d.Alive(); });
        });
        EXPECT_EQ(1u, result);
        EXPECT_EQ(1, FakeRequest::Get().Calls());
        EXPECT_EQ(1, frame->login().loggedIn);
    }
}

TEST_F(LoginDialog, TabFromTheUserNameBoxGoesToThePasswordBox) {
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Click(L"edit_username"));
        ASSERT_EQ(L"edit_username", d.FocusName());
        Testing::PressKey(VK_TAB);
        EXPECT_EQ(L"edit_password", d.FocusName());
        EXPECT_EQ(d.Edit(L"edit_password")->GetNativeWindow(), ::GetFocus());

        // The character message reaching the dialog itself does the same.
        ASSERT_TRUE(d.Click(L"edit_username"));
        ::SendMessageW(d.hwnd, WM_CHAR, VK_TAB, 1);
        Settle();
        EXPECT_EQ(L"edit_password", d.FocusName());
    });
}

TEST_F(LoginDialog, LinksOpenThePagesOfTheConfiguredServer) {
    WriteIni(MainCfgPath(), kSection, L"url", L"http://platform.test:8080");
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        ASSERT_TRUE(d.Click(L"btn_forgetpwd"));
        ASSERT_TRUE(d.Click(L"btn_register"));
        ASSERT_TRUE(d.Click(L"btnCancel"));
        EXPECT_TRUE(PumpUntil([&] { return !d.Alive(); }));
    });
    ASSERT_EQ(2u, g_openedPages.size());
    EXPECT_EQ(L"http://platform.test:8080/findPassword", g_openedPages[0]);
    EXPECT_EQ(L"http://platform.test:8080/register", g_openedPages[1]);
    EXPECT_EQ(0, frame->login().loggedIn);
}

TEST_F(LoginDialog, LinksOpenOnlyWebAddresses) {
    // The shell runs whatever else it is given, with the client's administrator rights.
    const wchar_t* refused[] = {
        L"file:///C:/Windows/System32/calc.exe",
        L"C:\\Windows\\System32\\calc.exe",
        L"\\\\host\\share\\x",
        L"platform.test:8080",
        L"ms-settings:",
        L"javascript:alert(1)",
        L"http://",
        L"https:///x",
        L"http:/host",
        L"ftp://host",
        L"http://host name",
    };
    for (const wchar_t* url : refused) {
        SettingsGuard perRow;
        g_openedPages.clear();
        WriteIni(MainCfgPath(), kSection, L"url", url);
        RunDialog(*frame, true, [&](Dialog& d) {
            ASSERT_TRUE(d.Alive());
            ASSERT_TRUE(d.Click(L"btn_forgetpwd"));
            ASSERT_TRUE(d.Click(L"btn_register"));
        });
        EXPECT_TRUE(g_openedPages.empty()) << WideToUtf8(url);
    }
    WriteIni(MainCfgPath(), kSection, L"url", L"HTTPS://platform.test");
    g_openedPages.clear();
    RunDialog(*frame, true, [&](Dialog& d) { ASSERT_TRUE(d.Click(L"btn_register")); });
    EXPECT_EQ(std::vector<std::wstring>{L"HTTPS://platform.test/register"}, g_openedPages);
}

// ---------------------------------------------------------------------------------------------
// Passwords at rest

TEST_F(LoginDialog, SealedAndOlderStoredPasswordsSignInWithTheSameEncoding) {
    const std::wstring enc = EncodePassword(L"stored");
    for (const std::wstring& stored : {SealPassword(enc), enc}) {
        SettingsGuard perRow;
        FakeRequest::Get().Reset();
        FreshFrame();
        StoreLogin(L"alice", stored.c_str(), L"true");
        RunDialog(
            *frame, true, [&](Dialog& d) { PumpUntil([&] { return !d.Alive(); }); }, true);
        EXPECT_EQ(1, FakeRequest::Get().Calls());
        EXPECT_EQ(enc, FakeRequest::Get().sent.encodedPassword);
        EXPECT_EQ(enc, frame->login().encodedPassword);
        // Whatever form it was read in, it is stored sealed now.
        EXPECT_TRUE(IsSealedPassword(Config(kSection, L"password")));
        EXPECT_EQ(enc, StoredPassword(kSection, L"password"));
        EXPECT_EQ(enc, StoredPassword(kHistory, L"password1"));
    }
}

TEST_F(LoginDialog, PasswordsThatDoNotOpenAreNeverSent) {
    // Sealed for someone else (here: damaged): the dialog shows the names, no password, and
    // starts nothing.
    std::wstring foreign = SealPassword(EncodePassword(L"theirs"));
    foreign[foreign.size() - 8] = foreign[foreign.size() - 8] == L'A' ? L'B' : L'A';
    StoreLogin(L"alice", foreign.c_str(), L"true");
    StoreHistory({{L"alice", foreign}, {L"bob", foreign}});
    RunDialog(*frame, true, [&](Dialog& d) {
        ASSERT_TRUE(d.Alive());
        Settle();
        EXPECT_EQ(0, FakeRequest::Get().Calls());
        EXPECT_EQ(L"alice", d.Text(L"edit_username"));
        EXPECT_EQ(L"", d.Text(L"edit_password"));
        EXPECT_FALSE(d.Box(L"chk_rememberpassword")->GetCheck());
        EXPECT_EQ(L"edit_password", d.FocusName());
        EXPECT_EQ(2, d.Combo()->GetCount());

        ASSERT_TRUE(d.Click(L"btncombodropdown"));
        Settle();
        ASSERT_TRUE(Testing::ClickDropItem(d.Combo(), 1));
        Settle();
        EXPECT_EQ(L"bob", d.Text(L"edit_username"));
        EXPECT_EQ(L"", d.Text(L"edit_password"));
        EXPECT_EQ(L"", d.dlg->EncodedPassword());
        ASSERT_TRUE(d.Click(L"btn_Login"));
        Settle();
        EXPECT_EQ(L"密码不能为空", d.Text(L"lbl_ErrMsg"));
    });
    EXPECT_EQ(0, FakeRequest::Get().Calls());
    EXPECT_EQ(0, frame->login().loggedIn);
}

}  // namespace
