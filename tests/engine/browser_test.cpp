// Browsers of the engine driven in-process: real windows, real WinINet requests to a loopback
// fixture server, callbacks recorded by a test client.
#include "fixtures/raw_http_server.h"  // winsock before windows.h

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "include/cef_app.h"
#include "include/cef_client.h"
#include "include/test/cef_test_hooks.h"
#include "include/wrapper/cef_closure_task.h"
#include "include/wrapper/cef_helpers.h"

using testing_fixtures::RawHttpServer;
using testing_fixtures::RecordedRequest;

namespace {

constexpr unsigned kWait = 15000;

int g_offUiThread = 0;  // callbacks that arrived elsewhere than on the UI thread

void CheckUi() {
    if (!CefCurrentlyOn(TID_UI)) ++g_offUiThread;
}

// Records every user_exit call: name and arguments as text.
class UserExitHandler : public CefV8Handler {
public:
    explicit UserExitHandler(std::vector<std::wstring>* calls) : calls_(calls) {}
    bool Execute(const CefString& name, CefRefPtr<CefV8Value>, const CefV8ValueList& arguments, CefRefPtr<CefV8Value>&,
                 CefString&) override {
        CheckUi();
        std::wstring line = name.ToWString() + L"(";
        for (size_t i = 0; i < arguments.size(); ++i) {
            if (i) line += L",";
            CefRefPtr<CefV8Value> a = arguments[i];
            if (a->IsString())
                line += L"'" + a->GetStringValue().ToWString() + L"'";
            else if (a->IsBool())
                line += a->GetBoolValue() ? L"true" : L"false";
            else if (a->IsInt())
                line += std::to_wstring(a->GetIntValue());
            else if (a->IsObject())
                line += L"{}";
            else
                line += L"?";
        }
        calls_->push_back(line + L")");
        return true;
    }

private:
    std::vector<std::wstring>* calls_;
    IMPLEMENT_REFCOUNTING(UserExitHandler);
};

// The application object as the client's: appends the eight switches, adds user_exit.
class TestApp : public CefApp, public CefBrowserProcessHandler, public CefRenderProcessHandler {
public:
    std::vector<std::wstring> hookTypes;
    std::vector<CefRefPtr<CefV8Context>> contexts;
    std::vector<std::wstring> contextFrames;  // "main" or the frame's name
    int released = 0;
    std::vector<std::wstring> userExitCalls;
    std::vector<std::wstring> rendererMessages;

    void OnBeforeCommandLineProcessing(const CefString& process_type, CefRefPtr<CefCommandLine> command_line) override {
        hookTypes.push_back(process_type.ToWString());
        command_line->AppendSwitchWithValue("--ppapi-flash-path", "plugins/18_0_0_209/pepflashplayer32_18_0_0_209.dll");
        command_line->AppendSwitchWithValue("--ppapi-flash-version", "50.0.0.209");
        command_line->AppendSwitchWithValue("disable-gpu", "1");
        command_line->AppendSwitchWithValue("disable-gpu-compositing", "1");
        command_line->AppendSwitchWithValue("enable-begin-frame-scheduling", "1");
        command_line->AppendSwitchWithValue("disable-gpu-vsync", "1");
        command_line->AppendSwitchWithValue("disable-direct-write", "1");
        command_line->AppendSwitchWithValue("product-version", "Chrome/71.0.3578.20,quorvane");
    }
    CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
    CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

    void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                          CefRefPtr<CefV8Context> context) override {
        CheckUi();
        EXPECT_TRUE(context->GetFrame()->GetIdentifier() == frame->GetIdentifier());
        EXPECT_TRUE(context->GetBrowser()->IsSame(browser));
        contexts.push_back(context);
        contextFrames.push_back(frame->IsMain() ? L"main" : frame->GetName().ToWString());
        CefRefPtr<CefV8Value> global = context->GetGlobal();
        global->SetValue("user_exit", CefV8Value::CreateFunction("user_exit", new UserExitHandler(&userExitCalls)),
                         V8_PROPERTY_ATTRIBUTE_NONE);
    }
    void OnContextReleased(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, CefRefPtr<CefV8Context>) override {
        CheckUi();
        ++released;
    }
    bool OnProcessMessageReceived(CefRefPtr<CefBrowser>, CefProcessId source,
                                  CefRefPtr<CefProcessMessage> message) override {
        CheckUi();
        EXPECT_EQ(source, PID_BROWSER);
        rendererMessages.push_back(message->GetName().ToWString());
        return false;
    }
    IMPLEMENT_REFCOUNTING(TestApp);
};

// A client that records what the engine tells it; its answers are set by each test.
class TestClient : public CefClient,
                   public CefDisplayHandler,
                   public CefLifeSpanHandler,
                   public CefLoadHandler,
                   public CefContextMenuHandler,
                   public CefDownloadHandler,
                   public CefKeyboardHandler,
                   public CefDialogHandler {
public:
    std::vector<CefRefPtr<CefBrowser>> browsers;  // in OnAfterCreated order
    std::vector<int> closed;                      // identifiers in OnBeforeClose order
    std::vector<std::wstring> addresses, titles, events;
    std::vector<int> loadErrors;
    int doCloseCalls = 0;
    bool doCloseResult = true;

    // Popups.
    int popupCalls = 0;
    bool cancelPopup = false;
    bool keepPopupDefaults = false;
    HWND popupParent = nullptr;
    std::wstring popupUrl;

    // Context menu.
    bool clearMenu = true;
    int menuCalls = 0;
    int defaultMenuItems = 0;

    // Downloads.
    std::wstring downloadTarget;
    bool downloadShowDialog = true;
    bool cancelOnProgress = false;
    bool dropBeforeDownload = false;
    std::wstring suggestedName;
    struct Update {
        bool inProgress, complete, canceled;
        int64 received;
        std::wstring fullPath;
    };
    std::vector<Update> updates;

    // File chooser.
    bool handleFileDialog = true;
    int fileDialogMode = -1;
    std::vector<std::wstring> acceptFilters;
    std::vector<CefString> continueWith;

    CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
    CefRefPtr<CefDialogHandler> GetDialogHandler() override { return this; }
    CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
    CefRefPtr<CefDownloadHandler> GetDownloadHandler() override { return this; }
    CefRefPtr<CefKeyboardHandler> GetKeyboardHandler() override { return this; }
    CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
    CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }

    // CefDisplayHandler methods:
    void OnAddressChange(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, const CefString& url) override {
        CheckUi();
        EXPECT_TRUE(frame->IsMain());
        addresses.push_back(url.ToWString());
    }
    // Mouse input that a modal loop inside the callback would deliver to the browser window.
    bool clickDuringTitle = false;
    void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) override {
        CheckUi();
        titles.push_back(title.ToWString());
        if (clickDuringTitle) {
            HWND hwnd = browser->GetHost()->GetWindowHandle();
            for (int y = 0; y < 200; y += 4) {
                SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, y));
                SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(20, y));
            }
        }
    }

    // CefLifeSpanHandler methods:
    bool OnBeforePopup(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, const CefString& target_url, const CefString&,
                       WindowOpenDisposition, bool, const CefPopupFeatures&, CefWindowInfo& windowInfo,
                       CefRefPtr<CefClient>& client, CefBrowserSettings&, bool*) override {
        CheckUi();
        ++popupCalls;
        popupUrl = target_url.ToWString();
        EXPECT_EQ(client.get(), static_cast<CefClient*>(this));
        if (cancelPopup) return true;
        if (keepPopupDefaults) return false;
        windowInfo.parent_window = popupParent;
        windowInfo.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;
        windowInfo.x = 3;
        windowInfo.y = 27;
        windowInfo.width = 200;
        windowInfo.height = 100;
        return false;
    }
    void OnAfterCreated(CefRefPtr<CefBrowser> browser) override {
        CheckUi();
        browsers.push_back(browser);
    }
    bool DoClose(CefRefPtr<CefBrowser>) override {
        CheckUi();
        ++doCloseCalls;
        return doCloseResult;
    }
    void OnBeforeClose(CefRefPtr<CefBrowser> browser) override {
        CheckUi();
        closed.push_back(browser->GetIdentifier());
    }

    // CefLoadHandler methods:
    void OnLoadingStateChange(CefRefPtr<CefBrowser>, bool isLoading, bool, bool) override {
        CheckUi();
        events.push_back(isLoading ? L"loading" : L"loaded");
    }
    void OnLoadStart(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, TransitionType) override {
        CheckUi();
        events.push_back(L"start " + frame->GetURL().ToWString());
    }
    void OnLoadEnd(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, int status) override {
        CheckUi();
        events.push_back(L"end " + std::to_wstring(status) + L" " + frame->GetURL().ToWString());
    }
    void OnLoadError(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, ErrorCode code, const CefString&,
                     const CefString&) override {
        CheckUi();
        loadErrors.push_back(code);
    }

    // CefContextMenuHandler methods:
    void OnBeforeContextMenu(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, CefRefPtr<CefContextMenuParams>,
                             CefRefPtr<CefMenuModel> model) override {
        CheckUi();
        ++menuCalls;
        defaultMenuItems = model->GetCount();
        if (clearMenu && model->GetCount() > 0) model->Clear();
    }

    // CefDownloadHandler methods:
    void OnBeforeDownload(CefRefPtr<CefBrowser>, CefRefPtr<CefDownloadItem>, const CefString& suggested_name,
                          CefRefPtr<CefBeforeDownloadCallback> callback) override {
        CheckUi();
        suggestedName = suggested_name.ToWString();
        if (dropBeforeDownload) return;
        callback->Continue(downloadTarget, downloadShowDialog);
    }
    void OnDownloadUpdated(CefRefPtr<CefBrowser>, CefRefPtr<CefDownloadItem> item,
                           CefRefPtr<CefDownloadItemCallback> callback) override {
        CheckUi();
        updates.push_back({item->IsInProgress(), item->IsComplete(), item->IsCanceled(), item->GetReceivedBytes(),
                           item->GetFullPath().ToWString()});
        if (cancelOnProgress && item->IsInProgress()) callback->Cancel();
    }
    bool Finished() const { return !updates.empty() && (updates.back().complete || updates.back().canceled); }

    // CefDialogHandler methods:
    bool OnFileDialog(CefRefPtr<CefBrowser>, FileDialogMode mode, const CefString&, const CefString&,
                      const std::vector<CefString>& accept_filters, int,
                      CefRefPtr<CefFileDialogCallback> callback) override {
        CheckUi();
        fileDialogMode = mode;
        acceptFilters.clear();
        for (auto& f : accept_filters) acceptFilters.push_back(f.ToWString());
        if (!handleFileDialog) return false;
        if (!continueWith.empty()) callback->Continue(0, continueWith);
        return true;
    }

    // CefKeyboardHandler methods:
    bool consumeKeys = false;
    std::vector<int> preKeys;
    bool OnPreKeyEvent(CefRefPtr<CefBrowser>, const CefKeyEvent& event, CefEventHandle os_event, bool*) override {
        CheckUi();
        EXPECT_TRUE(os_event != nullptr);
        if (event.type == KEYEVENT_RAWKEYDOWN) preKeys.push_back(event.windows_key_code);
        return consumeKeys;
    }

    bool OnProcessMessageReceived(CefRefPtr<CefBrowser>, CefProcessId, CefRefPtr<CefProcessMessage>) override {
        CheckUi();
        return false;
    }

    IMPLEMENT_REFCOUNTING(TestClient);
};

// Canned responses by path ("/x" without the query), recorded requests from the server.
class Site {
public:
    Site() {
        server_.SetResponder([this](SOCKET s, const RecordedRequest& r) { Respond(s, r); });
    }
    void Page(const std::string& path, const std::string& html, const std::string& headers = "") {
        Set(path, Response(200, "Content-Type: text/html; charset=utf-8\r\n" + headers, html));
    }
    void Redirect(const std::string& path, int status, const std::string& location, const std::string& headers = "") {
        Set(path, Response(status, "Location: " + location + "\r\n" + headers, ""));
    }
    void Set(const std::string& path, const std::string& raw) {
        std::lock_guard<std::mutex> lock(mutex_);
        routes_[path] = raw;
    }
    static std::string Response(int status, const std::string& headers, const std::string& body) {
        return "HTTP/1.1 " + std::to_string(status) + " X\r\n" + headers +
               "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    std::string Url(const std::string& path) const { return server_.Url(path); }
    std::wstring WUrl(const std::string& path) const { return CefString(server_.Url(path)).ToWString(); }
    // Requests whose path (without query) is |path|.
    std::vector<RecordedRequest> RequestsFor(const std::string& path) const {
        std::vector<RecordedRequest> out;
        for (auto& r : server_.Requests()) {
            if (PathOf(r) == path) out.push_back(r);
        }
        return out;
    }
    // Holds the responder of |path| after the first |bytes| of the response until Release().
    void Stall(const std::string& path, const std::string& raw, size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        stallPath_ = path;
        stallRaw_ = raw;
        stallBytes_ = bytes;
        ResetEvent(release_);
    }
    void Release() { SetEvent(release_); }
    ~Site() { Release(); }

private:
    static std::string PathOf(const RecordedRequest& r) {
        std::string line = r.RequestLine();
        size_t a = line.find(' ');
        size_t b = line.find(' ', a + 1);
        std::string target = line.substr(a + 1, b - a - 1);
        return target.substr(0, target.find('?'));
    }
    void Respond(SOCKET s, const RecordedRequest& r) {
        std::string path = PathOf(r);
        std::string raw;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (path == stallPath_) {
                std::string head = stallRaw_.substr(0, stallBytes_);
                std::string rest = stallRaw_.substr(stallBytes_);
                mutex_.unlock();
                RawHttpServer::SendAll(s, head);
                WaitForSingleObject(release_, 30000);
                RawHttpServer::SendAll(s, rest);
                mutex_.lock();
                return;
            }
            auto it = routes_.find(path);
            raw = it != routes_.end() ? it->second
                                      : Response(404, "Content-Type: text/html\r\n", "<title>Not found</title>");
        }
        RawHttpServer::SendAll(s, raw);
    }

    HANDLE release_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    std::mutex mutex_;
    std::map<std::string, std::string> routes_;
    std::string stallPath_, stallRaw_;
    size_t stallBytes_ = 0;
    RawHttpServer server_;
};

std::wstring TempDir(const std::wstring& name) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

DWORD WINAPI AskCurrentlyOnUi(LPVOID result) {
    *static_cast<bool*>(result) = CefCurrentlyOn(TID_UI);
    return 0;
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_offUiThread = 0;
        cache_ = TempDir(L"engine_browser_test_cache");
        DeleteFileW((cache_ + L"\\Cookies").c_str());
        app_ = new TestApp();
        client_ = new TestClient();
        CefSettings settings;
        settings.size = sizeof(CefSettings);
        settings.no_sandbox = 0;
        settings.persist_session_cookies = 1;
        CefString(&settings.locale) = L"zh-CN";
        CefString(&settings.cache_path) = cache_;
        ASSERT_TRUE(CefInitialize(CefMainArgs(GetModuleHandleW(nullptr)), settings, app_.get(), nullptr));

        WNDCLASSW wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EngineTestParent";
        RegisterClassW(&wc);
        // Not shown: destroying a shown top-level window costs seconds under Wine without a window
        // manager, and nothing here depends on it being on screen.
        parent_ = CreateWindowExW(0, L"EngineTestParent", L"engine test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                                  800, 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        client_->popupParent = parent_;
    }

    void TearDown() override {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        CefShutdown();
        cef_test::SetSaveFileDialog(nullptr);
        cef_test::SetOpenFileDialog(nullptr);
        cef_test::SetContextMenuRunner(nullptr);
        EXPECT_EQ(g_offUiThread, 0) << "callbacks off the UI thread";
        client_ = nullptr;
        app_ = nullptr;
    }

    // Creates a child browser of the test window and waits for it.
    CefRefPtr<CefBrowser> NewBrowser(const std::wstring& url) {
        size_t before = client_->browsers.size();
        CefWindowInfo info;
        RECT rc = {0, 0, 780, 560};
        info.SetAsChild(parent_, rc);
        CefBrowserSettings settings;
        EXPECT_TRUE(CefBrowserHost::CreateBrowser(info, client_.get(), url, settings, nullptr));
        EXPECT_TRUE(cef_test::PumpUntil([&] { return client_->browsers.size() > before; }, kWait));
        if (client_->browsers.size() <= before) return nullptr;
        CefRefPtr<CefBrowser> b = client_->browsers.back();
        EXPECT_TRUE(cef_test::WaitForIdle(kWait));
        return b;
    }

    void Load(CefRefPtr<CefBrowser> b, const std::string& url) {
        b->GetMainFrame()->LoadURL(url);
        ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    }

    std::wstring cache_;
    HWND parent_ = nullptr;
    CefRefPtr<TestApp> app_;
    CefRefPtr<TestClient> client_;
    Site site_;
};

TEST_F(BrowserTest, CreationIsAsynchronousWithWindowInfoAndUniqueIds) {
    CefWindowInfo info;
    info.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;
    info.parent_window = parent_;
    info.x = 5;
    info.y = 74;
    info.width = 300;
    info.height = 200;
    CefBrowserSettings settings;
    EXPECT_TRUE(CefBrowserHost::CreateBrowser(info, client_.get(), "", settings, nullptr));
    EXPECT_TRUE(CefBrowserHost::CreateBrowser(info, client_.get(), "", settings, nullptr));
    EXPECT_TRUE(client_->browsers.empty());  // nothing before the UI thread runs its tasks
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->browsers.size() == 2; }, kWait));

    CefRefPtr<CefBrowser> a = client_->browsers[0], b = client_->browsers[1];
    EXPECT_NE(a->GetIdentifier(), b->GetIdentifier());
    EXPECT_TRUE(a->IsSame(a));
    EXPECT_FALSE(a->IsSame(b));
    EXPECT_FALSE(a->IsPopup());
    HWND hwnd = a->GetHost()->GetWindowHandle();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), parent_);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & (WS_CHILD | WS_VISIBLE | WS_TABSTOP),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
    RECT rc;
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.top, 74);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);

    // Identifiers are never reused.
    int oldId = b->GetIdentifier();
    DestroyWindow(b->GetHost()->GetWindowHandle());
    CefRefPtr<CefBrowser> c = NewBrowser(L"");
    ASSERT_TRUE(c);
    EXPECT_GT(c->GetIdentifier(), oldId);
}

TEST_F(BrowserTest, RedirectChainReportsEveryAddressAndTheTitle) {
    site_.Redirect("/r1", 302, "/r2");
    site_.Redirect("/r2", 301, site_.Url("/final?x=1"));
    site_.Page("/final", "<html><head><title>Final &amp; done</title></head><body>Body text</body></html>");
    site_.Page("/untitled", "<p>no title here</p>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/r1"));
    ASSERT_TRUE(b);
    std::vector<std::wstring> expected = {site_.WUrl("/r1"), site_.WUrl("/r2"), site_.WUrl("/final?x=1")};
    EXPECT_EQ(client_->addresses, expected);
    ASSERT_FALSE(client_->titles.empty());
    EXPECT_EQ(client_->titles.back(), L"Final & done");
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/final?x=1"));
    std::vector<std::wstring> events = {L"loading", L"start " + site_.WUrl("/final?x=1"),
                                        L"end 200 " + site_.WUrl("/final?x=1"), L"loaded"};
    EXPECT_EQ(client_->events, events);
    std::wstring text = cef_test::GetPageText(b);
    EXPECT_NE(text.find(L"Final & done"), std::wstring::npos);
    EXPECT_NE(text.find(L"Body text"), std::wstring::npos);

    // The user agent carries the product-version switch as its product token.
    auto requests = site_.RequestsFor("/final");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("User-Agent"),
              "Mozilla/5.0 (Windows NT 10.0) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/71.0.3578.20,quorvane "
              "Safari/537.36");

    Load(b, site_.Url("/untitled"));
    EXPECT_EQ(client_->titles.back(), site_.WUrl("/untitled"));
}

TEST_F(BrowserTest, CookiesArePersistedAndSentBack) {
    site_.Redirect("/login", 302, "/home",
                   "Set-Cookie: sid=abc123; Path=/; HttpOnly\r\nSet-Cookie: keep=yes; Max-Age=3600; Path=/\r\n");
    site_.Page("/home", "<title>home</title>");
    site_.Page("/check", "<title>check</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/login"));
    ASSERT_TRUE(b);
    // The redirect's cookies already travel with the next hop.
    ASSERT_EQ(site_.RequestsFor("/home").size(), 1u);
    EXPECT_EQ(site_.RequestsFor("/home")[0].Header("Cookie"), "sid=abc123; keep=yes");
    Load(b, site_.Url("/check"));
    ASSERT_EQ(site_.RequestsFor("/check").size(), 1u);
    EXPECT_EQ(site_.RequestsFor("/check")[0].Header("Cookie"), "sid=abc123; keep=yes");

    std::wstring file = cache_ + L"\\Cookies";
    std::string stored = ReadFile(file);
    EXPECT_NE(stored.find("sid\tabc123"), std::string::npos);  // the session cookie too
    EXPECT_NE(stored.find("keep\tyes"), std::string::npos);
    // Another process's start-up deletion fails while the engine runs ...
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    DestroyWindow(parent_);
    CefShutdown();
    // ... and works once it has stopped.
    EXPECT_TRUE(DeleteFileW(file.c_str()));
}

TEST_F(BrowserTest, BackAndForwardWalkTheHistory) {
    site_.Page("/a", "<title>A</title>");
    site_.Page("/b", "<title>B</title>");
    site_.Page("/c", "<title>C</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/a"));
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->CanGoBack());
    Load(b, site_.Url("/b"));
    EXPECT_TRUE(b->CanGoBack());
    EXPECT_FALSE(b->CanGoForward());
    b->GoBack();
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/a"));
    EXPECT_TRUE(b->CanGoForward());
    b->GoForward();
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/b"));
    EXPECT_EQ(client_->titles.back(), L"B");
    b->GoBack();
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    Load(b, site_.Url("/c"));  // a new entry drops the forward list
    EXPECT_FALSE(b->CanGoForward());
    b->GoBack();
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/a"));
    size_t before = site_.RequestsFor("/a").size();
    b->ReloadIgnoreCache();
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(site_.RequestsFor("/a").size(), before + 1);
}

TEST_F(BrowserTest, PopupAllowedAndCancelled) {
    site_.Page("/opener", "<a href=\"/popup\" target=\"_blank\">open it</a>");
    site_.Page("/popup", "<title>Popup</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/opener"));
    ASSERT_TRUE(b);

    client_->cancelPopup = true;
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"open it"));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(client_->popupCalls, 1);
    EXPECT_EQ(client_->popupUrl, site_.WUrl("/popup"));
    EXPECT_EQ(client_->browsers.size(), 1u);
    EXPECT_TRUE(site_.RequestsFor("/popup").empty());

    client_->cancelPopup = false;
    ASSERT_TRUE(cef_test::ClickLink(b, 0));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->browsers.size() == 2; }, kWait));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    CefRefPtr<CefBrowser> popup = client_->browsers[1];
    EXPECT_TRUE(popup->IsPopup());
    HWND hwnd = popup->GetHost()->GetWindowHandle();
    EXPECT_EQ(GetParent(hwnd), parent_);
    RECT rc;
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.top, 27);
    EXPECT_EQ(rc.right - rc.left, 200);
    EXPECT_EQ(popup->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/popup"));
    EXPECT_EQ(client_->titles.back(), L"Popup");
}

TEST_F(BrowserTest, PageCloseRequestAsksDoClose) {
    site_.Page("/closing", "<a href=\"javascript:window.close()\">close me</a>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/closing"));
    ASSERT_TRUE(b);
    HWND hwnd = b->GetHost()->GetWindowHandle();

    client_->doCloseResult = true;  // the client closes it itself, later
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"close me"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->doCloseCalls == 1; }, kWait));
    cef_test::WaitForIdle(kWait);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(client_->closed.empty());

    client_->doCloseResult = false;  // the engine destroys the window
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"close me"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->closed.size() == 1; }, kWait));
    EXPECT_EQ(client_->doCloseCalls, 2);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(client_->closed[0], b->GetIdentifier());
    EXPECT_EQ(b->GetHost()->GetWindowHandle(), nullptr);

    // CloseBrowser(false) takes the same path; CloseBrowser(true) does not ask.
    CefRefPtr<CefBrowser> c = NewBrowser(L"");
    ASSERT_TRUE(c);
    c->GetHost()->CloseBrowser(true);
    EXPECT_EQ(client_->doCloseCalls, 2);
    EXPECT_EQ(client_->closed.size(), 2u);
}

TEST_F(BrowserTest, DestroyingTheWindowClosesTheBrowser) {
    CefRefPtr<CefBrowser> a = NewBrowser(L"");
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(a && b);
    DestroyWindow(a->GetHost()->GetWindowHandle());
    ASSERT_EQ(client_->closed.size(), 1u);
    EXPECT_EQ(client_->closed[0], a->GetIdentifier());
    // The parent's destruction takes the child browser windows with it.
    DestroyWindow(parent_);
    ASSERT_EQ(client_->closed.size(), 2u);
    EXPECT_EQ(client_->closed[1], b->GetIdentifier());
    EXPECT_EQ(client_->doCloseCalls, 0);
}

TEST_F(BrowserTest, UserExitIsCalledInEveryFrameWithItsArguments) {
    site_.Page("/main",
               "<title>m</title><a href=\"javascript:user_exit('bye', 2, true, {a:1})\">exit</a>"
               "<a href=\"javascript:nosuch(1)\">broken</a><iframe name=\"inner\" src=\"/inner\"></iframe>");
    site_.Page("/inner", "<a href=\"javascript:void(0); user_exit()\">inner exit</a>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/main"));
    ASSERT_TRUE(b);
    ASSERT_EQ(app_->contextFrames.size(), 2u);
    EXPECT_EQ(app_->contextFrames[0], L"main");
    EXPECT_EQ(app_->contextFrames[1], L"inner");
    EXPECT_EQ(b->GetFrameCount(), 2u);
    EXPECT_EQ(b->GetFrame(L"inner")->GetURL().ToWString(), site_.WUrl("/inner"));

    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"exit"));
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"broken"));  // a script error, nothing else
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"inner exit"));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    std::vector<std::wstring> calls = {L"user_exit('bye',2,true,{})", L"user_exit()"};
    EXPECT_EQ(app_->userExitCalls, calls);

    // A navigation releases the old contexts and creates new ones.
    CefRefPtr<CefV8Context> old = app_->contexts[0];
    Load(b, site_.Url("/main"));
    EXPECT_FALSE(old->IsValid());
    EXPECT_EQ(app_->released, 2);
    EXPECT_EQ(app_->contexts.size(), 4u);
    EXPECT_TRUE(app_->contexts[2]->GetGlobal()->GetValue("user_exit")->IsFunction());
}

TEST_F(BrowserTest, ExecuteJavaScriptIsRecorded) {
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    b->GetMainFrame()->ExecuteJavaScript("var a=1;", "http://x/", 0);
    auto scripts = cef_test::GetExecutedScripts(b->GetMainFrame());
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0].code, L"var a=1;");
    EXPECT_EQ(scripts[0].url, L"http://x/");
    EXPECT_EQ(scripts[0].line, 0);
}

TEST_F(BrowserTest, DownloadCompletesIntoTheChosenFile) {
    std::string body(200000, 'x');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
    site_.Set("/file", Site::Response(200,
                                      "Content-Type: application/pdf\r\n"
                                      "Content-Disposition: attachment; filename=\"report.pdf\"\r\n",
                                      body));
    site_.Page("/page", "<title>stay</title><a href=\"/file\">get file</a>");
    std::wstring dir = TempDir(L"engine_dl");
    std::wstring offered = dir + L"\\offered.pdf", chosen = dir + L"\\chosen.pdf";
    DeleteFileW(chosen.c_str());
    client_->downloadTarget = offered;
    std::wstring dialogInitial;
    DWORD dialogFlags = 0;
    cef_test::SetSaveFileDialog([&](OPENFILENAMEW* ofn) {
        dialogInitial = ofn->lpstrFile;
        dialogFlags = ofn->Flags;
        wcscpy(ofn->lpstrFile, chosen.c_str());
        return TRUE;
    });
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/page"));
    ASSERT_TRUE(b);
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"get file"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->Finished(); }, kWait));
    EXPECT_EQ(client_->suggestedName, L"report.pdf");
    EXPECT_EQ(dialogInitial, offered);
    EXPECT_TRUE(dialogFlags & OFN_OVERWRITEPROMPT);
    ASSERT_FALSE(client_->updates.empty());
    EXPECT_TRUE(client_->updates.back().complete);
    EXPECT_FALSE(client_->updates.back().canceled);
    EXPECT_EQ(client_->updates.back().fullPath, chosen);
    EXPECT_EQ(client_->updates.back().received, static_cast<int64>(body.size()));
    EXPECT_EQ(ReadFile(chosen), body);
    // The page stays: a download is not a navigation.
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/page"));
    EXPECT_EQ(client_->titles.back(), L"stay");
    DeleteFileW(chosen.c_str());
}

// Servers often put the name's UTF-8 bytes straight into the header.
TEST_F(BrowserTest, DownloadNameInRawUtf8) {
    site_.Set(
        "/file",
        Site::Response(200, "Content-Disposition: attachment; filename=\"\xe6\x8a\xa5\xe8\xa1\xa8.pdf\"\r\n", "data"));
    site_.Page("/page", "<a href=\"/file\">get file</a>");
    std::wstring target = TempDir(L"engine_dl") + L"\\raw.pdf";
    client_->downloadTarget = target;
    client_->downloadShowDialog = false;
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/page"));
    ASSERT_TRUE(b);
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"get file"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->Finished(); }, kWait));
    EXPECT_EQ(client_->suggestedName, L"\x62a5\x8868.pdf");
    EXPECT_TRUE(client_->updates.back().complete);
    EXPECT_EQ(ReadFile(target), "data");
    EXPECT_TRUE(cef_test::WaitForIdle(kWait));
    DeleteFileW(target.c_str());
}

TEST_F(BrowserTest, DownloadLinkAttributeNamesTheFile) {
    site_.Set("/data", Site::Response(200, "Content-Type: text/plain\r\n", "hello"));
    site_.Page("/page", "<a href=\"/data\" download=\"named.txt\">save</a>");
    std::wstring target = TempDir(L"engine_dl") + L"\\named.txt";
    client_->downloadTarget = target;
    client_->downloadShowDialog = false;
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/page"));
    ASSERT_TRUE(b);
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"save"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->Finished(); }, kWait));
    EXPECT_EQ(client_->suggestedName, L"named.txt");
    EXPECT_TRUE(client_->updates.back().complete);
    EXPECT_EQ(ReadFile(target), "hello");
    DeleteFileW(target.c_str());
}

TEST_F(BrowserTest, DownloadCancelledInTheDialogOrByTheClient) {
    site_.Set("/file", Site::Response(200, "Content-Disposition: attachment; filename=report\r\n", "data"));
    std::wstring dir = TempDir(L"engine_dl");
    client_->downloadTarget = dir + L"\\report.zip";
    DeleteFileW(client_->downloadTarget.c_str());
    cef_test::SetSaveFileDialog([](OPENFILENAMEW*) { return FALSE; });
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    b->GetHost()->StartDownload(site_.Url("/file"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->Finished(); }, kWait));
    EXPECT_EQ(client_->suggestedName, L"report");
    EXPECT_TRUE(client_->updates.back().canceled);
    EXPECT_FALSE(client_->updates.back().complete);
    EXPECT_EQ(GetFileAttributesW(client_->downloadTarget.c_str()), INVALID_FILE_ATTRIBUTES);

    // Cancelled while the body is still arriving: the partial file goes away.
    std::string big(100000, 'z');
    site_.Stall("/slow", Site::Response(200, "Content-Disposition: attachment; filename=slow.bin\r\n", big), 50000);
    client_->updates.clear();
    client_->cancelOnProgress = true;
    client_->downloadShowDialog = false;
    client_->downloadTarget = dir + L"\\slow.bin";
    b->GetHost()->StartDownload(site_.Url("/slow"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->Finished(); }, kWait));
    site_.Release();
    EXPECT_TRUE(client_->updates.back().canceled);
    EXPECT_TRUE(client_->updates.front().inProgress);
    EXPECT_EQ(GetFileAttributesW(client_->downloadTarget.c_str()), INVALID_FILE_ATTRIBUTES);

    // A client that never continues: nothing is written and nothing is reported.
    client_->updates.clear();
    client_->dropBeforeDownload = true;
    b->GetHost()->StartDownload(site_.Url("/file"));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_TRUE(client_->updates.empty());
}

TEST_F(BrowserTest, FileChooserHandledByTheClient) {
    site_.Page("/upload",
               "<input type=\"file\" accept=\".doc,Application/msword\"> "
               "<input type=\"file\" accept=\"image/*\" multiple>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/upload"));
    ASSERT_TRUE(b);
    client_->continueWith = {L"C:\\docs\\a.doc"};
    ASSERT_TRUE(cef_test::ClickFileInput(b, 0));
    EXPECT_EQ(client_->fileDialogMode, 0x03000000);
    std::vector<std::wstring> filters = {L".doc", L"application/msword"};
    EXPECT_EQ(client_->acceptFilters, filters);
    EXPECT_EQ(cef_test::GetFileInputPaths(b, 0), std::vector<std::wstring>{L"C:\\docs\\a.doc"});
    EXPECT_NE(cef_test::GetPageText(b).find(L"C:\\docs\\a.doc"), std::wstring::npos);

    client_->continueWith.clear();  // handled, but the user cancelled: the page gets nothing
    ASSERT_TRUE(cef_test::ClickFileInput(b, 1));
    EXPECT_EQ(client_->fileDialogMode, 0x03000001);
    EXPECT_TRUE(cef_test::GetFileInputPaths(b, 1).empty());
}

TEST_F(BrowserTest, FileChooserNotHandledShowsTheEngineDialog) {
    site_.Page("/upload", "<input type=\"file\" accept=\".xls\" multiple>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/upload"));
    ASSERT_TRUE(b);
    client_->handleFileDialog = false;
    std::wstring filter;
    DWORD flags = 0;
    cef_test::SetOpenFileDialog([&](OPENFILENAMEW* ofn) {
        for (const wchar_t* p = ofn->lpstrFilter; *p; p += wcslen(p) + 1) filter += std::wstring(p) + L"|";
        flags = ofn->Flags;
        const wchar_t result[] = L"C:\\dir\0one.xls\0two.xls\0";
        memcpy(ofn->lpstrFile, result, sizeof result);
        return TRUE;
    });
    ASSERT_TRUE(cef_test::ClickFileInput(b, 0));
    EXPECT_EQ(filter, L"\u81EA\u5B9A\u4E49\u6587\u4EF6|*.xls|\u6240\u6709\u6587\u4EF6|*.*|");
    EXPECT_TRUE(flags & OFN_ALLOWMULTISELECT);
    std::vector<std::wstring> paths = {L"C:\\dir\\one.xls", L"C:\\dir\\two.xls"};
    EXPECT_EQ(cef_test::GetFileInputPaths(b, 0), paths);
}

TEST_F(BrowserTest, ContextMenuShownOnlyWhenTheModelKeepsItems) {
    site_.Page("/p", "<p>text</p>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/p"));
    ASSERT_TRUE(b);
    int itemsShown = -1;
    cef_test::SetContextMenuRunner([&](HMENU menu, HWND, POINT) {
        itemsShown = GetMenuItemCount(menu);
        return 0;
    });
    int shownBefore = cef_test::ContextMenusShown();
    client_->clearMenu = true;
    ASSERT_TRUE(cef_test::RightClick(b, 20, 100));
    EXPECT_EQ(client_->menuCalls, 1);
    EXPECT_GT(client_->defaultMenuItems, 0);
    EXPECT_EQ(cef_test::ContextMenusShown(), shownBefore);
    EXPECT_EQ(itemsShown, -1);

    client_->clearMenu = false;
    ASSERT_TRUE(cef_test::RightClick(b, 20, 100));
    EXPECT_EQ(cef_test::ContextMenusShown(), shownBefore + 1);
    EXPECT_EQ(itemsShown, client_->defaultMenuItems);
}

TEST_F(BrowserTest, NetworkFailuresAreReportedAsLoadErrors) {
    site_.Redirect("/loop", 302, "/loop");
    site_.Redirect("/evil", 302, "javascript:user_exit('x')");
    site_.Set("/garbage", "this is not HTTP at all\r\n\r\n");
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    Load(b, "http://127.0.0.1:" + std::to_string(testing_fixtures::UnusedPort()) + "/");
    Load(b, site_.Url("/loop"));
    Load(b, site_.Url("/evil"));
    Load(b, "no scheme at all");
    Load(b, site_.Url("/garbage"));
    ASSERT_GE(client_->loadErrors.size(), 4u);
    EXPECT_EQ(client_->loadErrors[0], ERR_CONNECTION_REFUSED);
    EXPECT_EQ(client_->loadErrors[1], ERR_TOO_MANY_REDIRECTS);
    EXPECT_EQ(client_->loadErrors[2], ERR_UNSAFE_REDIRECT);
    EXPECT_EQ(client_->loadErrors[3], ERR_INVALID_URL);
    EXPECT_TRUE(app_->userExitCalls.empty());
    EXPECT_EQ(client_->events.back(), L"loaded");
}

TEST_F(BrowserTest, ShutdownWithANavigationInFlight) {
    site_.Stall("/hang", Site::Response(200, "Content-Type: text/html\r\n", "<title>late</title>"), 10);
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    b->GetMainFrame()->LoadURL(site_.Url("/hang"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return !site_.RequestsFor("/hang").empty(); }, kWait));
    DestroyWindow(parent_);
    CefShutdown();  // must return without waiting for the server
    site_.Release();
    EXPECT_EQ(client_->closed.size(), 1u);
    EXPECT_TRUE(client_->titles.empty());
}

// Workers are kept for the next transfer: new work must go to a waiting worker or a new one,
// never queue behind a worker whose server has stopped answering.
TEST_F(BrowserTest, AStalledPageDoesNotHoldUpTheNextOne) {
    Site other;
    other.Page("/first", "<title>first</title>");
    other.Page("/second", "<title>second</title>");
    site_.Stall("/hang", Site::Response(200, "Content-Type: text/html\r\n", "<title>late</title>"), 10);
    CefRefPtr<CefBrowser> stalled = NewBrowser(L"");
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(stalled && b);
    Load(b, other.Url("/first"));  // leaves a worker waiting
    stalled->GetMainFrame()->LoadURL(site_.Url("/hang"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return !site_.RequestsFor("/hang").empty(); }, kWait));
    b->GetMainFrame()->LoadURL(other.Url("/second"));
    EXPECT_TRUE(
        cef_test::PumpUntil([&] { return !client_->titles.empty() && client_->titles.back() == L"second"; }, kWait));
    site_.Release();
    EXPECT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(client_->titles.back(), L"late");
}

TEST_F(BrowserTest, ProcessMessagesReachTheRendererSide) {
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->SendProcessMessage(PID_RENDERER, CefProcessMessage::Create("ping")));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(app_->rendererMessages, std::vector<std::wstring>{L"ping"});
}

TEST_F(BrowserTest, GlobalCommandLineHoldsTheEightSwitches) {
    CefRefPtr<CefCommandLine> line = CefCommandLine::GetGlobalCommandLine();
    ASSERT_TRUE(line);
    ASSERT_FALSE(app_->hookTypes.empty());
    EXPECT_EQ(app_->hookTypes.back(), L"");
    struct {
        const char* name;
        const char* value;
    } rows[] = {{"--ppapi-flash-path", "plugins/18_0_0_209/pepflashplayer32_18_0_0_209.dll"},
                {"ppapi-flash-path", "plugins/18_0_0_209/pepflashplayer32_18_0_0_209.dll"},
                {"--ppapi-flash-version", "50.0.0.209"},
                {"disable-gpu", "1"},
                {"--disable-gpu-compositing", "1"},
                {"enable-begin-frame-scheduling", "1"},
                {"disable-gpu-vsync", "1"},
                {"disable-direct-write", "1"},
                {"product-version", "Chrome/71.0.3578.20,quorvane"}};
    for (auto& r : rows) {
        EXPECT_TRUE(line->HasSwitch(r.name)) << r.name;
        EXPECT_EQ(line->GetSwitchValue(r.name).ToString(), r.value) << r.name;
    }
    EXPECT_NE(line->GetCommandLineString().ToWString().find(L"--product-version=Chrome/71.0.3578.20,quorvane"),
              std::wstring::npos);
    EXPECT_TRUE(CefCurrentlyOn(TID_UI));
    bool otherThread = true;
    HANDLE t = CreateThread(nullptr, 0, AskCurrentlyOnUi, &otherThread, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_FALSE(otherThread);
}

TEST_F(BrowserTest, KeysGoThroughTheClientFirst) {
    site_.Page("/k", "<title>k</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/k"));
    ASSERT_TRUE(b);
    HWND hwnd = b->GetHost()->GetWindowHandle();
    client_->consumeKeys = true;  // the client takes F5: no reload
    SendMessageW(hwnd, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(site_.RequestsFor("/k").size(), 1u);
    client_->consumeKeys = false;  // F5 reaches the page: reload
    SendMessageW(hwnd, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(site_.RequestsFor("/k").size(), 2u);
    EXPECT_EQ(client_->preKeys, (std::vector<int>{VK_F5, VK_F5}));
}

TEST_F(BrowserTest, ChinesePagesAreDecoded) {
    // GBK bytes of 青杉工作台 and 登录, announced by the header or by a meta element.
    site_.Set("/gbk",
              Site::Response(200, "Content-Type: text/html; charset=GBK\r\n",
                             "<title>\xC7\xE0\xC9\xBC\xB9\xA4\xD7\xF7\xCC\xA8</title><a href=/x>\xB5\xC7\xC2\xBC</a>"));
    site_.Set("/meta", Site::Response(200, "Content-Type: text/html\r\n",
                                      "<meta charset=\"gb2312\"><title>\xB5\xC7\xC2\xBC</title>"));
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/gbk"));
    ASSERT_TRUE(b);
    EXPECT_EQ(client_->titles.back(), L"\u9752\u6749\u5DE5\u4F5C\u53F0");
    EXPECT_EQ(cef_test::GetLinks(b), std::vector<std::wstring>{L"\u767B\u5F55"});
    Load(b, site_.Url("/meta"));
    EXPECT_EQ(client_->titles.back(), L"\u767B\u5F55");
}

namespace {
class QuitTask : public CefTask {
public:
    explicit QuitTask(int* runs) : runs_(runs) {}
    void Execute() override {
        CEF_REQUIRE_UI_THREAD();
        ++*runs_;
        CefQuitMessageLoop();
    }
    int* runs_;
    IMPLEMENT_REFCOUNTING(QuitTask);
};
}  // namespace

TEST_F(BrowserTest, MessageLoopRunsUntilQuit) {
    int runs = 0;
    ASSERT_TRUE(CefPostDelayedTask(TID_UI, new QuitTask(&runs), 20));
    CefRunMessageLoop();  // returns once the task has quit it
    EXPECT_EQ(runs, 1);
    // Closures bound to a reference-counted object, as client code posts them.
    CefRefPtr<QuitTask> target = new QuitTask(&runs);
    ASSERT_TRUE(CefPostTask(TID_UI, base::Bind(&QuitTask::Execute, target)));
    CefRunMessageLoop();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(CefPostTask(TID_IO, new QuitTask(&runs)));
}

TEST_F(BrowserTest, DownloadCutShortIsNotReportedComplete) {
    site_.Set("/short",
              "HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=a.bin\r\n"
              "Content-Length: 1000\r\nConnection: close\r\n\r\n0123456789");
    client_->downloadTarget = TempDir(L"engine_dl") + L"\\a.bin";
    client_->downloadShowDialog = false;
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    b->GetHost()->StartDownload(site_.Url("/short"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->Finished(); }, kWait));
    EXPECT_TRUE(client_->updates.back().canceled);
    EXPECT_FALSE(client_->updates.back().complete);
    EXPECT_EQ(GetFileAttributesW(client_->downloadTarget.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BrowserTest, ContextMenuCommandRunsItsDefaultAction) {
    site_.Page("/a", "<title>A</title>");
    site_.Page("/b", "<title>B</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/a"));
    ASSERT_TRUE(b);
    Load(b, site_.Url("/b"));
    client_->clearMenu = false;
    cef_test::SetContextMenuRunner([](HMENU, HWND, POINT) { return static_cast<int>(MENU_ID_BACK); });
    ASSERT_TRUE(cef_test::RightClick(b, 10, 10));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/a"));
    // A disabled item does nothing even if chosen: at the first entry there is no way back.
    ASSERT_TRUE(cef_test::RightClick(b, 10, 10));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/a"));
}

TEST_F(BrowserTest, LinksTargetingAFrameOrAFragment) {
    site_.Page("/main",
               "<title>M</title><a href=\"/two\" target=\"side\">into frame</a> <a href=\"#part\">jump</a>"
               "<iframe name=\"side\" src=\"/one\"></iframe>");
    site_.Page("/one", "<p>one</p>");
    site_.Page("/two", "<p>two</p>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/main"));
    ASSERT_TRUE(b);
    size_t addresses = client_->addresses.size();
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"into frame"));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(b->GetFrame(L"side")->GetURL().ToWString(), site_.WUrl("/two"));
    EXPECT_EQ(b->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/main"));
    EXPECT_EQ(client_->addresses.size(), addresses);  // only the main frame reports its address
    EXPECT_NE(cef_test::GetPageText(b).find(L"two"), std::wstring::npos);
    EXPECT_EQ(app_->contextFrames.back(), L"side");  // the frame's new document has a new context
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"jump"));
    ASSERT_TRUE(cef_test::WaitForIdle(kWait));
    EXPECT_EQ(site_.RequestsFor("/main").size(), 1u);
}

TEST_F(BrowserTest, CookiesComeBackAfterARestart) {
    site_.Page("/set", "<title>s</title>",
               "Set-Cookie: sid=s1; Path=/\r\nSet-Cookie: keep=k1; Max-Age=600; Path=/\r\n");
    site_.Page("/check", "<title>c</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/set"));
    ASSERT_TRUE(b);
    b = nullptr;
    DestroyWindow(parent_);
    CefShutdown();
    CefSettings settings;
    settings.persist_session_cookies = 1;
    CefString(&settings.cache_path) = cache_;
    ASSERT_TRUE(CefInitialize(CefMainArgs(GetModuleHandleW(nullptr)), settings, app_.get(), nullptr));
    parent_ = CreateWindowExW(0, L"EngineTestParent", L"engine test", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    b = NewBrowser(site_.WUrl("/check"));
    ASSERT_TRUE(b);
    ASSERT_EQ(site_.RequestsFor("/check").size(), 1u);
    EXPECT_EQ(site_.RequestsFor("/check")[0].Header("Cookie"), "sid=s1; keep=k1");
}

TEST_F(BrowserTest, TopLevelPopupCloseButtonAsksDoClose) {
    site_.Page("/opener", "<a href=\"/popup\" target=\"_blank\">open</a>");
    site_.Page("/popup", "<title>P</title>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/opener"));
    ASSERT_TRUE(b);
    client_->keepPopupDefaults = true;  // the engine's own popup window
    ASSERT_TRUE(cef_test::ClickLinkByText(b, L"open"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return client_->browsers.size() == 2; }, kWait));
    HWND popup = client_->browsers[1]->GetHost()->GetWindowHandle();
    EXPECT_FALSE(GetWindowLongW(popup, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(GetWindow(popup, GW_OWNER), parent_);
    client_->doCloseResult = true;
    SendMessageW(popup, WM_CLOSE, 0, 0);
    EXPECT_EQ(client_->doCloseCalls, 1);
    EXPECT_TRUE(IsWindow(popup));
    client_->doCloseResult = false;
    SendMessageW(popup, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(popup));
    ASSERT_EQ(client_->closed.size(), 1u);
    EXPECT_EQ(client_->closed[0], client_->browsers[1]->GetIdentifier());
}

TEST_F(BrowserTest, InputDuringACommitFindsNoStaleLinks) {
    site_.Page("/first", "<title>1</title><a href=\"/ok\">first link</a><iframe name=\"f\" src=\"/links\"></iframe>");
    site_.Page("/links", "<a href=\"/ok\">x</a><br><a href=\"/ok\">y</a>");
    site_.Page("/second", "<title>2</title><a href=\"/elsewhere\">second link</a>");
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/first"));
    ASSERT_TRUE(b);
    // While the second page commits, its title callback gets clicks where the first page's
    // links were; they must not act on the new document (or the old frame's freed one).
    client_->clickDuringTitle = true;
    Load(b, site_.Url("/second"));
    EXPECT_EQ(client_->titles.back(), L"2");
    EXPECT_TRUE(site_.RequestsFor("/elsewhere").empty());
    EXPECT_TRUE(site_.RequestsFor("/ok").empty());
}

namespace {
struct DialogAnswer {
    std::wstring fileName;
    bool answered = false;
};

// Finds this process's file dialog, types the name and presses its OK button, as a user would.
DWORD WINAPI AnswerSaveDialog(LPVOID param) {
    auto* answer = static_cast<DialogAnswer*>(param);
    for (int i = 0; i < 400 && !answer->answered; ++i) {
        Sleep(50);
        HWND dialog = nullptr;
        while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
            DWORD pid = 0;
            GetWindowThreadProcessId(dialog, &pid);
            if (pid != GetCurrentProcessId() || !IsWindowVisible(dialog)) continue;
            HWND name = GetDlgItem(dialog, 0x47C);        // the file name box (cmb13)
            if (!name) name = GetDlgItem(dialog, 0x480);  // edt1 in older layouts
            if (!name) continue;
            SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer->fileName.c_str()));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            answer->answered = true;
            break;
        }
    }
    return 0;
}
}  // namespace

TEST_F(BrowserTest, RealSaveDialogChoosesTheFile) {
    site_.Set("/file", Site::Response(200, "Content-Disposition: attachment; filename=\"real.txt\"\r\n", "payload"));
    std::wstring dir = TempDir(L"engine_dl_real");
    std::wstring chosen = dir + L"\\picked.txt";
    DeleteFileW(chosen.c_str());
    client_->downloadTarget = dir + L"\\real.txt";
    client_->downloadShowDialog = true;  // no hook: GetSaveFileNameW itself
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    DialogAnswer answer{chosen};
    HANDLE helper = CreateThread(nullptr, 0, AnswerSaveDialog, &answer, 0, nullptr);
    b->GetHost()->StartDownload(site_.Url("/file"));
    bool finished = cef_test::PumpUntil([&] { return client_->Finished(); }, 30000);
    WaitForSingleObject(helper, 30000);
    CloseHandle(helper);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(answer.answered);
    EXPECT_TRUE(client_->updates.back().complete);
    EXPECT_EQ(client_->updates.back().fullPath, chosen);
    EXPECT_EQ(ReadFile(chosen), "payload");
    DeleteFileW(chosen.c_str());
}

// The process model: this test program stands in for an engine sub-process when started
// with --type=...
TEST(ProcessModelTest, ExecuteProcessWithoutTypeReturnsNegative) {
    CefRefPtr<TestApp> app = new TestApp();
    if (CefCommandLine::CreateCommandLine().get()) {
        CefRefPtr<CefCommandLine> own = CefCommandLine::CreateCommandLine();
        own->InitFromString(GetCommandLineW());
        if (own->HasSwitch("type")) GTEST_SKIP() << "running as the sub-process";
    }
    EXPECT_LT(CefExecuteProcess(CefMainArgs(GetModuleHandleW(nullptr)), app.get(), nullptr), 0);
    ASSERT_EQ(app->hookTypes.size(), 1u);
    EXPECT_EQ(app->hookTypes[0], L"");
    EXPECT_EQ(CefCommandLine::GetGlobalCommandLine()->GetSwitchValue("disable-gpu").ToString(), "1");
    // The browser process goes on to CefInitialize: the hook has run once in this process.
    CefSettings settings;
    ASSERT_TRUE(CefInitialize(CefMainArgs(GetModuleHandleW(nullptr)), settings, app.get(), nullptr));
    EXPECT_EQ(app->hookTypes.size(), 1u);
    EXPECT_EQ(CefCommandLine::GetGlobalCommandLine()->GetSwitchValue("product-version").ToString(),
              "Chrome/71.0.3578.20,quorvane");
    CefShutdown();
}

TEST_F(BrowserTest, HugePagesStayResponsive) {
    std::string body = "<title>big</title>";
    for (int i = 0; i < 60000; ++i) body += "word" + std::to_string(i) + " <a href=/x>l</a> ";
    site_.Page("/big", body);
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/big"));
    ASSERT_TRUE(b);
    EXPECT_EQ(client_->titles.back(), L"big");
    EXPECT_NE(cef_test::GetPageText(b).find(L"word0"), std::wstring::npos);
    EXPECT_LT(cef_test::GetLinks(b).size(), 60000u);  // the view shows a bounded part
}

std::string ManyFrames(const std::string& src, int count) {
    std::string body = "<title>frames</title>";
    for (int i = 0; i < count; ++i)
        body += "<iframe name=f" + std::to_string(i) + " src=" + src + "?" + std::to_string(i) + "></iframe>";
    return body;
}

TEST_F(BrowserTest, ThousandsOfFramesOpenOnlyTheFirstOnes) {
    site_.Page("/f", "<title>f</title>inner");
    site_.Page("/frames", ManyFrames("/f", 3000));
    CefRefPtr<CefBrowser> b = NewBrowser(site_.WUrl("/frames"));
    ASSERT_TRUE(b);
    EXPECT_EQ(65u, b->GetFrameCount());
    EXPECT_EQ(64u, site_.RequestsFor("/f").size());
    EXPECT_EQ(client_->titles.back(), L"frames");
    // Loading the page again replaces the frames instead of adding to them.
    Load(b, site_.Url("/frames"));
    EXPECT_EQ(65u, b->GetFrameCount());
    EXPECT_EQ(128u, site_.RequestsFor("/f").size());
}

TEST_F(BrowserTest, ShutdownWithManyFramesInFlight) {
    site_.Stall("/hang", Site::Response(200, "Content-Type: text/html\r\n", "<title>late</title>"), 10);
    site_.Page("/frames", ManyFrames("/hang", 3000));
    CefRefPtr<CefBrowser> b = NewBrowser(L"");
    ASSERT_TRUE(b);
    b->GetMainFrame()->LoadURL(site_.Url("/frames"));
    ASSERT_TRUE(cef_test::PumpUntil([&] { return !site_.RequestsFor("/hang").empty(); }, kWait));
    const DWORD start = GetTickCount();
    DestroyWindow(parent_);
    CefShutdown();  // returns although every frame's request is still waiting
    std::printf("shutdown with %u frames in flight took %lu ms\n", 64u, GetTickCount() - start);
    site_.Release();
    EXPECT_EQ(client_->closed.size(), 1u);
}

TEST(ProcessModelTest, SubProcessSide) {
    CefRefPtr<CefCommandLine> own = CefCommandLine::CreateCommandLine();
    own->InitFromString(GetCommandLineW());
    if (!own->HasSwitch("type")) GTEST_SKIP() << "only in the sub-process";
    CefRefPtr<TestApp> app = new TestApp();
    EXPECT_GE(CefExecuteProcess(CefMainArgs(GetModuleHandleW(nullptr)), app.get(), nullptr), 0);
    ASSERT_EQ(app->hookTypes.size(), 1u);
    EXPECT_EQ(app->hookTypes[0], L"renderer");
    EXPECT_TRUE(CefCommandLine::GetGlobalCommandLine()->HasSwitch("--product-version"));
}

TEST(ProcessModelTest, ExecuteProcessWithTypeReturnsAnExitCode) {
    CefRefPtr<CefCommandLine> own = CefCommandLine::CreateCommandLine();
    own->InitFromString(GetCommandLineW());
    if (own->HasSwitch("type")) GTEST_SKIP();
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=ProcessModelTest.SubProcessSide --type=renderer";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);  // every check of the sub-process side passed
}

}  // namespace
