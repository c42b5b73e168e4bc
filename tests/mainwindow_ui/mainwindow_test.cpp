// The real main window driven in-process: real skins, browsers of the engine stand-in on a
// loopback site, clicks through the skin's input path. Ending the process and starting the
// client again are recorded through the test hooks instead.
#include "mainwindow_ui/ui_harness.h"  // winsock before windows.h

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "browser/client_handler.h"
#include "include/cef_app.h"
#include "include/cef_task.h"
#include "include/test/cef_test_hooks.h"
#include "mainframe/confirm_dlg.h"
#include "mainframe/url_messages.h"
#include "process/process_exit.h"
#include "process/single_instance.h"
#include "ui/messages.h"
#include "ui/skin.h"
#include "skin_testing.h"

using namespace DuiLib;
using ui_harness::kWait;

namespace {

std::vector<UINT> g_exits;
std::vector<std::pair<std::wstring, std::wstring>> g_restarts;
// "restart: name free" / "restart: name held" / "exit", in the order they happened.
std::vector<std::string> g_events;

void RecordExit(UINT code) {
    g_exits.push_back(code);
    g_events.push_back("exit");
}
void RecordRestart(const std::wstring& exe, const std::wstring& parameters) {
    g_restarts.emplace_back(exe, parameters);
    HANDLE name = OpenMutexW(SYNCHRONIZE, FALSE, L"lenmark20191202");
    g_events.push_back(name ? "restart: name held" : "restart: name free");
    if (name) CloseHandle(name);
}

// Runs a function on the UI thread as an engine task (the engine runs them also inside modal
// loops, as it runs a page's scripts).
class FunctionTask : public CefTask {
public:
    explicit FunctionTask(std::function<void()> function) : function_(std::move(function)) {}
    void Execute() override { function_(); }

private:
    std::function<void()> function_;
    IMPLEMENT_REFCOUNTING(FunctionTask);
};

// The visible message boxes of this process.
BOOL CALLBACK CollectBox(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && wcscmp(cls, L"#32770") == 0) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    }
    return TRUE;
}
std::vector<HWND> VisibleBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ui_harness::StartEngine();
        SetProcessExitHookForTesting(&RecordExit);
        SetRestartHookForTesting(&RecordRestart);
        // Should a context menu get through, it must not block the test in a menu loop.
        cef_test::SetContextMenuRunner([](HMENU, HWND, POINT) { return 0; });
    }
    void TearDown() override {
        cef_test::SetContextMenuRunner(nullptr);
        ui_harness::StopEngine();
    }
};
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

const wchar_t kLimitText[] =
    L"\x5df2\x8fbe\x5230\x6700\x5927\x9650\x5236"
    L"10"
    L"\x4e2a\x7a97\x53e3\x4e0d\x80fd\x518d\x6253\x5f00\x4e86";  // 已达到最大限制10个窗口不能再打开了
const wchar_t kPrompt[] = L"\x63d0\x793a";                      // 提示
const wchar_t kTitle8[] = L"\x516b\x4e2a\x5b57\x7684\x6807\x9898\x6587\x672c";        // 八个字的标题文本
const wchar_t kTitle9[] = L"\x4e5d\x4e2a\x5b57\x7684\x6807\x9898\x6587\x672c\x5440";  // 九个字的标题文本呀

// A message box of this process, answered from another thread while the UI thread sits in
// its modal loop.
struct MessageBoxWatch {
    std::wstring text, caption;
    HWND owner = nullptr;
    std::atomic<bool> answered{false};
    std::thread thread;

    static BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && wcscmp(cls, L"#32770") == 0) {
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    void Start() {
        thread = std::thread([this] {
            for (int i = 0; i < 2000 && !answered; ++i) {
                HWND box = nullptr;
                EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&box));
                if (box) {
                    wchar_t buf[512] = {};
                    GetWindowTextW(box, buf, 512);
                    caption = buf;
                    GetDlgItemTextW(box, 0xFFFF, buf, 512);
                    text = buf;
                    owner = GetWindow(box, GW_OWNER);
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
                    answered = true;
                    return;
                }
                Sleep(10);
            }
        });
    }
    void Join() {
        if (thread.joinable()) thread.join();
    }
    ~MessageBoxWatch() {
        answered = true;
        Join();
    }
};

std::wstring ConfigValue(const std::wstring& file, const wchar_t* key) {
    wchar_t buf[64] = {};
    GetPrivateProfileStringW(L"cloud_client", key, L"", buf, 64, file.c_str());
    return buf;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui_harness::FillDemoSite(site_);
        g_exits.clear();
        g_restarts.clear();
        g_events.clear();
    }
    void TearDown() override {
        ui_harness::CloseMainWindow(frame_);
        EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 0u);
        if (!configPath_.empty()) {
            // config.bin beside the test program: put back what was there.
            DeleteFileW(configPath_.c_str());
            if (hadConfig_) CopyFileW((configPath_ + L".saved").c_str(), configPath_.c_str(), FALSE);
            DeleteFileW((configPath_ + L".saved").c_str());
        }
    }

    bool Open(const ui_harness::Login& login = ui_harness::Login()) {
        frame_ = ui_harness::OpenMainWindow(site_, login);
        if (!frame_) return false;
        hwnd_ = frame_->GetHWND();
        firstId_ = frame_->currentTab();
        return true;
    }
    // The client writes config.bin beside the executable; keep a copy to restore.
    void GuardConfig() {
        configPath_ = frame_->GetExeDir(GetModuleHandleW(nullptr)) + L"\\config.bin";
        hadConfig_ = CopyFileW(configPath_.c_str(), (configPath_ + L".saved").c_str(), FALSE) != FALSE;
    }

    CControlUI* Item(int i) const { return frame_->TabLayout()->GetItemAt(i); }
    int Count() const { return frame_->TabLayout()->GetCount(); }
    CControlUI* Control(const wchar_t* name) { return frame_->Skin().FindControl(name); }
    CefRefPtr<CefBrowser> Browser(int id) { return ClientHandler::Instance()->GetBrowserById(id); }
    HWND BrowserWindow(int id) {
        CefRefPtr<CefBrowser> b = Browser(id);
        return b ? b->GetHost()->GetWindowHandle() : nullptr;
    }
    bool Click(const wchar_t* name) { return Testing::ClickControl(&frame_->Skin(), name); }
    bool PumpUntil(const std::function<bool()>& done) { return cef_test::PumpUntil(done, kWait); }
    void Idle() { cef_test::WaitForIdle(kWait); }
    // Enabled flags of the seven module buttons, in their fixed order.
    std::vector<bool> ModuleStates() {
        std::vector<bool> states;
        for (CControlUI* b : frame_->ModuleButtons()) states.push_back(b && b->IsEnabled());
        return states;
    }
    static std::vector<bool> OnlyDisabled(int index) {
        std::vector<bool> states(7, true);
        states[index] = false;
        return states;
    }
    int OpenPopupFrom(int browserId) {
        int before = Count();
        EXPECT_TRUE(cef_test::ClickLinkByText(Browser(browserId), L"popup"));
        PumpUntil([&] { return Count() > before; });
        Idle();
        return frame_->currentTab();
    }

    ui_harness::Site site_;
    MainFrameWnd* frame_ = nullptr;
    HWND hwnd_ = nullptr;
    int firstId_ = -1;
    std::wstring configPath_;
    bool hadConfig_ = false;
};

// ---------------------------------------------------------------------------------------------
// Tabs

TEST_F(MainWindowTest, TabItemsTitlesAndSelectionThroughAddSelectAndClose) {
    ASSERT_TRUE(Open());
    // First tab: button 4, invisible close button 5, no splitter.
    ASSERT_EQ(Count(), 6);
    EXPECT_EQ(Item(4)->GetName(), CDuiString(L"tab_tab4"));
    EXPECT_TRUE(Item(4)->GetInterface(DUI_CTR_OPTION) != nullptr);
    EXPECT_EQ(static_cast<int>(Item(4)->GetTag()), firstId_);
    EXPECT_EQ(Item(5)->GetName(), CDuiString(L"tab_btnclose5"));
    EXPECT_FALSE(Item(5)->IsVisible());
    EXPECT_EQ(Item(5)->GetTag(), 0u);

    int second = ui_harness::OpenTab(frame_, site_.WUrl("/t8"));
    int third = ui_harness::OpenTab(frame_, site_.WUrl("/t9"));
    ASSERT_EQ(Count(), 12);
    EXPECT_EQ(frame_->currentTab(), third);
    EXPECT_EQ(frame_->previousTab(), second);

    struct Expected {
        int index;
        const wchar_t* name;
        int paddingLeft;
        UINT_PTR tag;
    } items[] = {
        {6, L"tab_splitter6", -8, 0},
        {7, L"tab_tab7", -8, static_cast<UINT_PTR>(second)},
        {8, L"tab_btnclose8", -25, 0},
        {9, L"tab_splitter9", 0, 0},
        {10, L"tab_tab10", -8, static_cast<UINT_PTR>(third)},
        {11, L"tab_btnclose11", -25, 0},
    };
    for (const Expected& e : items) {
        SCOPED_TRACE(e.index);
        EXPECT_EQ(Item(e.index)->GetName(), CDuiString(e.name));
        EXPECT_EQ(Item(e.index)->GetPadding().left, e.paddingLeft);
        EXPECT_EQ(Item(e.index)->GetTag(), e.tag);
        EXPECT_TRUE(Item(e.index)->IsVisible());
    }
    EXPECT_EQ(Item(9)->GetFixedWidth(), 3);
    EXPECT_EQ(Item(7)->GetFixedWidth(), 181);
    EXPECT_EQ(Item(7)->GetFixedHeight(), 24);

    // Titles: 8 characters whole, 9 cut to 8 and "..."; the tooltip keeps the whole title.
    EXPECT_EQ(std::wstring(Item(7)->GetText()), std::wstring(L"   ") + kTitle8);
    EXPECT_EQ(std::wstring(Item(7)->GetToolTip()), kTitle8);
    EXPECT_EQ(std::wstring(Item(10)->GetText()), L"   " + std::wstring(kTitle9, 8) + L"...");
    EXPECT_EQ(std::wstring(Item(10)->GetToolTip()), kTitle9);
    EXPECT_EQ(std::wstring(Item(4)->GetText()), L"   dashboar...");  // "dashboard" has 9

    // The newest tab is selected: the splitter before it is blank, the other one shows.
    EXPECT_TRUE(static_cast<COptionUI*>(Item(10)->GetInterface(DUI_CTR_OPTION))->IsSelected());
    EXPECT_EQ(std::wstring(Item(9)->GetText()), L"");
    EXPECT_EQ(std::wstring(Item(6)->GetText()), L"|");

    // Selecting the first tab blanks only the splitter after it and shows only its browser.
    ASSERT_TRUE(Click(L"tab_tab4"));
    EXPECT_EQ(frame_->currentTab(), firstId_);
    EXPECT_EQ(frame_->previousTab(), -1);
    EXPECT_EQ(std::wstring(Item(6)->GetText()), L"");
    EXPECT_EQ(std::wstring(Item(9)->GetText()), L"|");
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(firstId_)));
    EXPECT_FALSE(IsWindowVisible(BrowserWindow(second)));
    EXPECT_FALSE(IsWindowVisible(BrowserWindow(third)));

    // The laid-out browser keeps a one-pixel margin (100 %) below the browser-area marker.
    RECT client{}, placed{};
    GetClientRect(hwnd_, &client);
    GetWindowRect(BrowserWindow(firstId_), &placed);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&placed), 2);
    int scale = frame_->Skin().GetDPIObj()->GetScale();
    int top = Control(L"lbl_splitterbrowser")->GetPos().bottom;
    EXPECT_EQ(placed.left, client.left + scale / 100);
    EXPECT_EQ(placed.right - placed.left, client.right - client.left - 2 * scale / 100);
    EXPECT_EQ(placed.top, top > 0 ? top : 74 * scale / 100);
    EXPECT_EQ(placed.bottom, client.bottom - scale / 100);

    // Selecting the last tab blanks only the splitter before it.
    ASSERT_TRUE(Click(L"tab_tab10"));
    EXPECT_EQ(frame_->currentTab(), third);
    EXPECT_EQ(std::wstring(Item(9)->GetText()), L"");
    EXPECT_EQ(std::wstring(Item(6)->GetText()), L"|");

    // Closing the last of three tabs while it is selected selects the second.
    ASSERT_TRUE(Click(L"tab_btnclose11"));
    PumpUntil([&] { return ClientHandler::Instance()->BrowserCount() == 2; });
    Idle();
    EXPECT_EQ(Count(), 9);
    EXPECT_EQ(frame_->currentTab(), second);
    EXPECT_FALSE(Browser(third));
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(second)));
    EXPECT_EQ(std::wstring(Item(6)->GetText()), L"");  // blanked beside the selected second tab

    // Closing the middle tab while it is selected selects the former third.
    int fourth = ui_harness::OpenTab(frame_, site_.WUrl("/plain"));
    ASSERT_EQ(Count(), 12);
    ASSERT_TRUE(Click(L"tab_tab7"));
    EXPECT_EQ(frame_->currentTab(), second);
    ASSERT_TRUE(Click(L"tab_btnclose8"));
    PumpUntil([&] { return ClientHandler::Instance()->BrowserCount() == 2; });
    Idle();
    EXPECT_EQ(Count(), 9);
    EXPECT_EQ(frame_->currentTab(), fourth);
    EXPECT_EQ(static_cast<int>(Item(7)->GetTag()), fourth);
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(fourth)));
    EXPECT_FALSE(IsWindowVisible(BrowserWindow(firstId_)));
    EXPECT_TRUE(g_exits.empty());
}

TEST_F(MainWindowTest, PopupClosingItselfReturnsToTheTabItCameFrom) {
    ASSERT_TRUE(Open());
    int popup = OpenPopupFrom(firstId_);
    ASSERT_NE(popup, firstId_);
    EXPECT_EQ(Count(), 9);
    EXPECT_EQ(frame_->previousTab(), firstId_);
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(popup)));
    EXPECT_EQ(GetParent(BrowserWindow(popup)), hwnd_);

    // window.close(): the handler waits, then the main window closes the tab.
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(popup), L"close"));
    ASSERT_TRUE(PumpUntil([&] { return ClientHandler::Instance()->BrowserCount() == 1 && Count() == 6; }));
    Idle();
    EXPECT_EQ(frame_->currentTab(), firstId_);
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(firstId_)));
    EXPECT_TRUE(static_cast<COptionUI*>(Item(4)->GetInterface(DUI_CTR_OPTION))->IsSelected());
    EXPECT_TRUE(g_exits.empty());
}

TEST_F(MainWindowTest, ClosingPopupsWhoseOpenerIsGoneSelectsALiveTab) {
    ASSERT_TRUE(Open());
    int a = OpenPopupFrom(firstId_);
    int b = OpenPopupFrom(a);
    ASSERT_EQ(frame_->previousTab(), a);
    // The opener closes first (its close button), then the popup closes itself: the tab it
    // came from is gone, so the selection must land on a tab that still exists.
    ASSERT_TRUE(Click(L"tab_btnclose8"));
    PumpUntil([&] { return ClientHandler::Instance()->BrowserCount() == 2; });
    Idle();
    ASSERT_EQ(frame_->currentTab(), b);
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(b), L"close"));
    ASSERT_TRUE(PumpUntil([&] { return ClientHandler::Instance()->BrowserCount() == 1 && Count() == 6; }));
    Idle();
    EXPECT_EQ(frame_->currentTab(), firstId_);
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(firstId_)));
    EXPECT_TRUE(static_cast<COptionUI*>(Item(4)->GetInterface(DUI_CTR_OPTION))->IsSelected());
}

TEST_F(MainWindowTest, FirstTabCloseRequestReloadsTheStartPageAndKeepsTheTab) {
    ASSERT_TRUE(Open());
    // The first tab's page closes itself: the tab stays and goes back to the start page.
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(firstId_), L"close"));
    ASSERT_TRUE(PumpUntil([&] { return Browser(firstId_)->GetMainFrame()->GetURL().ToWString() == site_.WUrl(""); }));
    Idle();
    EXPECT_EQ(Count(), 6);
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 1u);
    EXPECT_EQ(frame_->currentTab(), firstId_);
    EXPECT_TRUE(g_exits.empty());
    // The same through the message directly.
    ::SendMessageW(hwnd_, WM_TAB_CLOSE, static_cast<WPARAM>(firstId_), 0);
    Idle();
    EXPECT_EQ(Count(), 6);
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 1u);
}

TEST_F(MainWindowTest, PopupsStopAtTenBrowsersWithTheLimitMessage) {
    ASSERT_TRUE(Open());
    int from = firstId_;
    for (int i = 0; i < 9; ++i) {
        from = OpenPopupFrom(from);
        ASSERT_EQ(ClientHandler::Instance()->BrowserCount(), static_cast<size_t>(i + 2));
    }
    ASSERT_EQ(Count(), 6 + 9 * 3);
    MessageBoxWatch watch;
    watch.Start();
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(from), L"popup"));
    PumpUntil([&] { return watch.answered.load(); });
    watch.Join();
    Idle();
    EXPECT_EQ(watch.text, kLimitText);
    EXPECT_EQ(watch.caption, kPrompt);
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 10u);
    EXPECT_EQ(Count(), 6 + 9 * 3);
    EXPECT_EQ(frame_->currentTab(), from);
}

TEST_F(MainWindowTest, APageOpeningPopupsInALoopGetsOneLimitBox) {
    ASSERT_TRUE(Open());
    int from = firstId_;
    for (int i = 0; i < 9; ++i) from = OpenPopupFrom(from);
    ASSERT_EQ(ClientHandler::Instance()->BrowserCount(), 10u);

    // Three attempts queued as engine tasks: the first shows the box, the others run inside its
    // modal loop, as a page's window.open loop would.
    constexpr int kAttempts = 3;
    std::atomic<int> started{0};
    for (int i = 0; i < kAttempts; ++i) {
        CefPostTask(TID_UI, new FunctionTask([&, from] {
                        ++started;
                        cef_test::ClickLinkByText(Browser(from), L"popup");
                    }));
    }
    std::atomic<int> boxesSeen{0};
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        // Every attempt has run (the last may still be making its box), then count and answer.
        for (int i = 0; i < 3000 && (started < kAttempts || VisibleBoxes().empty()); ++i) Sleep(10);
        Sleep(200);
        boxesSeen = static_cast<int>(VisibleBoxes().size());
        for (int i = 0; i < 3000; ++i) {
            std::vector<HWND> boxes = VisibleBoxes();
            if (boxes.empty()) break;
            for (HWND box : boxes) {
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            }
            Sleep(20);
        }
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    watcher.join();
    Idle();
    EXPECT_EQ(started.load(), kAttempts);
    EXPECT_EQ(boxesSeen.load(), 1);
    EXPECT_TRUE(VisibleBoxes().empty());
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 10u);
    EXPECT_TRUE(IsWindowEnabled(hwnd_));  // the box gave the window back

    // The next refused popup shows its box again.
    MessageBoxWatch watch;
    watch.Start();
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(from), L"popup"));
    PumpUntil([&] { return watch.answered.load(); });
    watch.Join();
    EXPECT_EQ(watch.text, kLimitText);
}

// ---------------------------------------------------------------------------------------------
// Modules and routing

TEST_F(MainWindowTest, ModuleButtonsLoadTheirAddressesAndMarkTheActiveModule) {
    ASSERT_TRUE(Open());
    // The sign-in redirect reached /dashboard: the work platform is the active module.
    PumpUntil([&] { return ModuleStates() == OnlyDisabled(0); });
    EXPECT_EQ(ModuleStates(), OnlyDisabled(0));
    EXPECT_EQ(site_.Count("/clientlogin?username=demo&&password=ZKGVtbzEyMw==&&platform=1"), 1);

    int second = ui_harness::OpenTab(frame_, site_.WUrl("/plain"));
    ASSERT_NE(second, firstId_);
    ASSERT_TRUE(Click(L"btn_OA"));
    Idle();
    EXPECT_EQ(frame_->currentTab(), firstId_);
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(firstId_)));
    EXPECT_EQ(Browser(firstId_)->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/oa/commercial-manager/index"));
    EXPECT_EQ(site_.Count("/oa/commercial-manager/index"), 1);
    EXPECT_EQ(ModuleStates(), OnlyDisabled(2));

    // The system module lives on the built-in server, whatever the configured one.
    ASSERT_TRUE(Click(L"btn_System"));
    std::wstring system = DefaultServerBaseUrl() + L"/sys/employee/index?mainLoading=true";
    PumpUntil([&] { return Browser(firstId_)->GetMainFrame()->GetURL().ToWString() == system; });
    EXPECT_EQ(Browser(firstId_)->GetMainFrame()->GetURL().ToWString(), system);
    EXPECT_EQ(ModuleStates(), OnlyDisabled(4));
    Idle();

    // Short messages: a new tab per click; only the first carries the token.
    int tabs = Count();
    ASSERT_TRUE(Click(L"btn_SMIS"));
    PumpUntil([&] { return Count() == tabs + 3; });
    int sms1 = frame_->currentTab();
    ASSERT_TRUE(Click(L"btn_SMIS"));
    PumpUntil([&] { return Count() == tabs + 6; });
    int sms2 = frame_->currentTab();
    Idle();
    ASSERT_NE(sms1, sms2);
    EXPECT_EQ(Browser(sms1)->GetMainFrame()->GetURL().ToWString(), ShortMessageBaseUrl() + L"login?token=tok123");
    EXPECT_EQ(Browser(sms2)->GetMainFrame()->GetURL().ToWString(), ShortMessageBaseUrl());
    EXPECT_TRUE(frame_->login().loginToken.empty());
    EXPECT_TRUE(Control(L"btn_SMIS")->IsEnabled());
}

TEST_F(MainWindowTest, AddressesRouteToModulesAndTheLoginPageRestartsTheClient) {
    ASSERT_TRUE(Open());
    GuardConfig();
    CefRefPtr<CefFrame> main = Browser(firstId_)->GetMainFrame();
    struct Route {
        const char* path;
        int module;
    } routes[] = {
        {"/crm/iframe", 1},
        {"/work/customer/index", 3},
        {"/sys/employee/index?mainLoading=true", 4},
        {"/user/space/index?mainLoading=true", 5},
        {"/oa/commercial-manager/index", 2},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(r.path);
        main->LoadURL(site_.Url(r.path));
        PumpUntil([&] { return ModuleStates() == OnlyDisabled(r.module); });
        EXPECT_EQ(ModuleStates(), OnlyDisabled(r.module));
    }
    // An address that names no module leaves the highlight.
    main->LoadURL(site_.Url("/plain?x=/Dashboard"));
    Idle();
    EXPECT_EQ(ModuleStates(), OnlyDisabled(2));
    EXPECT_TRUE(g_restarts.empty());

    // The server's login page: a new instance at the login dialog, then this one ends.
    main->LoadURL(site_.Url("/login"));
    ASSERT_TRUE(PumpUntil([] { return !g_exits.empty(); }));
    ASSERT_EQ(g_restarts.size(), 1u);
    EXPECT_EQ(g_restarts[0].first, frame_->GetExePath());
    EXPECT_EQ(g_restarts[0].second, L"NoLogin");
    EXPECT_EQ(g_exits, std::vector<UINT>{0xFFFFFFFFu});
    EXPECT_EQ(ConfigValue(configPath_, L"click_close_exit"), L"true");
}

TEST_F(MainWindowTest, SystemModuleStaysHiddenForUserType3) {
    ui_harness::Login login;
    login.userType = 3;
    ASSERT_TRUE(Open(login));
    CControlUI* system = Control(L"btn_System");
    ASSERT_TRUE(system && system->GetParent());
    EXPECT_FALSE(system->GetParent()->IsVisible());
    PumpUntil([&] { return ModuleStates() == OnlyDisabled(0); });
    std::vector<bool> before = ModuleStates();
    EXPECT_EQ(::SendMessageW(hwnd_, WM_MODULE_ACTIVE, 4, 0), -1);
    EXPECT_EQ(ModuleStates(), before);
    // Indexes outside the list are ignored, others still work.
    ::SendMessageW(hwnd_, WM_MODULE_ACTIVE, 7, 0);
    ::SendMessageW(hwnd_, WM_MODULE_ACTIVE, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(ModuleStates(), before);
    // Index 6 is the short-message button, which no address reports: not a module index.
    ::SendMessageW(hwnd_, WM_MODULE_ACTIVE, 6, 0);
    EXPECT_EQ(ModuleStates(), before);
    ::SendMessageW(hwnd_, WM_MODULE_ACTIVE, 5, 0);
    EXPECT_EQ(ModuleStates(), OnlyDisabled(5));
}

TEST_F(MainWindowTest, SystemModuleIsShownForOtherUsers) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Control(L"btn_System")->GetParent()->IsVisible());
    ::SendMessageW(hwnd_, WM_MODULE_ACTIVE, 4, 0);
    EXPECT_EQ(ModuleStates(), OnlyDisabled(4));
}

// ---------------------------------------------------------------------------------------------
// Window behaviour

TEST_F(MainWindowTest, EscDoesNothingCloseButtonHidesAndTrayClickBringsItBack) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(PumpUntil([&] { return IsZoomed(hwnd_) != FALSE; }));
    EXPECT_EQ(frame_->ShowState(), 3);
    SetFocus(hwnd_);
    Testing::PressKey(VK_ESCAPE);
    Idle();
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_TRUE(IsWindowVisible(hwnd_));

    ASSERT_TRUE(Click(L"BtnClose"));
    Idle();
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 1u);
    EXPECT_TRUE(g_exits.empty());

    ::PostMessageW(hwnd_, WM_TRAYICON, 0, WM_LBUTTONDOWN);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd_) && IsZoomed(hwnd_); }));
    // Other mouse messages on the icon do nothing.
    ::SendMessageW(hwnd_, WM_TRAYICON, 0, WM_MOUSEMOVE);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_EQ(frame_->ShowState(), 3);
}

TEST_F(MainWindowTest, DpiIsClampedTo96Through200) {
    ASSERT_TRUE(Open());
    int monitor = CDPI::GetMainMonitorDPI();
    int expected = monitor < 96 ? 96 : monitor > 200 ? 200 : monitor;
    EXPECT_EQ(frame_->Skin().GetDPIObj()->GetDPI(), expected);
    struct {
        WORD requested;
        int applied;
    } rows[] = {{240, 200}, {201, 200}, {200, 200}, {144, 144}, {96, 96}, {72, 96}, {0, 96}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.requested);
        EXPECT_EQ(::SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(row.requested, row.requested), 0), 0);
        EXPECT_EQ(frame_->Skin().GetDPIObj()->GetDPI(), row.applied);
    }
    ::SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
}

TEST_F(MainWindowTest, PageScriptRunsAtMostOncePerSecond) {
    ASSERT_TRUE(Open());
    CefRefPtr<CefFrame> main = Browser(firstId_)->GetMainFrame();
    size_t before = cef_test::GetExecutedScripts(main).size();
    EXPECT_EQ(::SendMessageW(hwnd_, WM_RUN_PAGE_SCRIPT, 4, 0), 0);
    EXPECT_EQ(::SendMessageW(hwnd_, WM_RUN_PAGE_SCRIPT, 4, 0), -1);
    EXPECT_EQ(::SendMessageW(hwnd_, WM_RUN_PAGE_SCRIPT, 3, 0), -1);
    std::vector<cef_test::ExecutedScript> scripts = cef_test::GetExecutedScripts(main);
    ASSERT_EQ(scripts.size(), before + 1);
    EXPECT_EQ(scripts.back().code,
              L"var btnTitle=\"\x7533\x62a5\";var eles=document.getElementsByClassName(\"ant-btn\");for(var i=0;"
              L"i<eles.length;i++){inText=eles[i].innerText.replace(/[ ]/g,\"\");if(inText==btnTitle)  "
              L"{eles[i].click();break;}}");
    EXPECT_EQ(scripts.back().url, main->GetURL().ToWString());
    EXPECT_EQ(scripts.back().line, 0);
}

TEST_F(MainWindowTest, LoadUrlAcceptsOnlyAddressesThisProcessMade) {
    ASSERT_TRUE(Open());
    // Numbers another process could post: ignored, nothing read, nothing loaded.
    std::wstring unregistered = site_.WUrl("/t8");
    for (WPARAM foreign :
         {WPARAM(0), WPARAM(0x12345678), WPARAM(0xFFFFFFF0), reinterpret_cast<WPARAM>(&unregistered)}) {
        ::SendMessageW(hwnd_, WM_LOAD_URL, foreign, 0);
    }
    Idle();
    EXPECT_EQ(site_.Count("/t8"), 0);

    WPARAM made = UrlMessages::Create(site_.WUrl("/t8"));
    ::SendMessageW(hwnd_, WM_LOAD_URL, made, 0);
    Idle();
    EXPECT_EQ(site_.Count("/t8"), 1);
    EXPECT_EQ(Browser(firstId_)->GetMainFrame()->GetURL().ToWString(), site_.WUrl("/t8"));
    // Taken once: the same value again is foreign now.
    ::SendMessageW(hwnd_, WM_LOAD_URL, made, 0);
    Idle();
    EXPECT_EQ(site_.Count("/t8"), 1);
}

TEST_F(MainWindowTest, TabTitleReadsOnlyTheTextTheHandlerIsSending) {
    ASSERT_TRUE(Open());
    std::wstring shown = Item(4)->GetText().GetData();
    std::wstring local = L"not sent by the handler";
    for (LPARAM foreign : {LPARAM(0), LPARAM(0x12345678), reinterpret_cast<LPARAM>(local.c_str())}) {
        ::SendMessageW(hwnd_, WM_TAB_TITLE, static_cast<WPARAM>(firstId_), foreign);
        ::PostMessageW(hwnd_, WM_TAB_TITLE, static_cast<WPARAM>(firstId_), foreign);
    }
    Idle();
    EXPECT_EQ(std::wstring(Item(4)->GetText()), shown);
    // A real title change still renames the tab.
    Browser(firstId_)->GetMainFrame()->LoadURL(site_.Url("/t8"));
    Idle();
    EXPECT_EQ(std::wstring(Item(4)->GetText()), std::wstring(L"   ") + kTitle8);
}

TEST_F(MainWindowTest, TabAddOnlyForLiveBrowsersWithoutATab) {
    ASSERT_TRUE(Open());
    for (LPARAM id : {LPARAM(0), LPARAM(-1), LPARAM(99999), LPARAM(firstId_)}) {
        ::PostMessageW(hwnd_, WM_TAB_ADD, 0, id);
    }
    Idle();
    EXPECT_EQ(Count(), 6);
    EXPECT_EQ(frame_->currentTab(), firstId_);
    EXPECT_TRUE(IsWindowVisible(BrowserWindow(firstId_)));
}

TEST_F(MainWindowTest, MenuCommandsNotMadeByAMenuAreIgnored) {
    ASSERT_TRUE(Open());
    MenuCmd forged{};
    lstrcpynW(forged.szName, L"menu_switch_account", 256);
    for (WPARAM foreign : {WPARAM(0), WPARAM(0x12345678), reinterpret_cast<WPARAM>(&forged)}) {
        ::SendMessageW(hwnd_, WM_MENUCLICK, foreign, 0);
        ::PostMessageW(hwnd_, WM_MENUCLICK, foreign, 0);
    }
    Idle();
    EXPECT_TRUE(g_restarts.empty());
    EXPECT_TRUE(g_exits.empty());
    EXPECT_TRUE(IsWindowVisible(hwnd_));
}

TEST_F(MainWindowTest, TrayMenuExitAsksOnceCancelKeepsRunningOkEnds) {
    ASSERT_TRUE(Open());
    GuardConfig();
    // Hidden first: exit shows the window in normal size before asking.
    ASSERT_TRUE(Click(L"BtnClose"));
    Idle();
    ASSERT_FALSE(IsWindowVisible(hwnd_));

    auto chooseExit = [&] {
        ::PostMessageW(hwnd_, WM_TRAYICON, 0, WM_RBUTTONDOWN);
        EXPECT_TRUE(PumpUntil([] { return Testing::GetOpenMenuWindow() != nullptr; }));
        EXPECT_TRUE(Testing::ClickMenuItem(L"menu_exit"));
        EXPECT_TRUE(
            PumpUntil([] { return ConfirmDlg::Current() && IsWindowVisible(ConfirmDlg::Current()->GetHWND()); }));
    };
    chooseExit();
    ConfirmDlg* dialog = ConfirmDlg::Current();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_EQ(frame_->ShowState(), 1);
    EXPECT_TRUE(GetWindowLongW(dialog->GetHWND(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Exit twice: still one dialog.
    chooseExit();
    EXPECT_EQ(ConfirmDlg::Current(), dialog);
    int dialogs = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"ConfirmDlg", nullptr); w;
         w = FindWindowExW(nullptr, w, L"ConfirmDlg", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) ++dialogs;
    }
    EXPECT_EQ(dialogs, 1);

    ASSERT_TRUE(Testing::ClickControl(&dialog->Skin(), L"btnCancel"));
    Idle();
    EXPECT_FALSE(IsWindowVisible(dialog->GetHWND()));
    EXPECT_TRUE(g_exits.empty());
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 1u);

    // Confirmed: config.bin records it and the process ends with -1, without a restart.
    chooseExit();
    EXPECT_EQ(ConfirmDlg::Current(), dialog);
    ASSERT_TRUE(Testing::ClickControl(&dialog->Skin(), L"btnOK"));
    Idle();
    EXPECT_EQ(g_exits, std::vector<UINT>{0xFFFFFFFFu});
    EXPECT_TRUE(g_restarts.empty());
    EXPECT_EQ(ConfigValue(configPath_, L"click_close_exit"), L"true");
}

TEST_F(MainWindowTest, TraySwitchAccountStartsANewInstanceWithoutLoginAndEnds) {
    ASSERT_TRUE(Open());
    GuardConfig();
    ::PostMessageW(hwnd_, WM_TRAYICON, 0, WM_RBUTTONDOWN);
    ASSERT_TRUE(PumpUntil([] { return Testing::GetOpenMenuWindow() != nullptr; }));
    ASSERT_TRUE(Testing::ClickMenuItem(L"menu_switch_account"));
    ASSERT_TRUE(PumpUntil([] { return !g_exits.empty(); }));
    ASSERT_EQ(g_restarts.size(), 1u);
    EXPECT_EQ(g_restarts[0].second, L"NoLogin");
    EXPECT_EQ(g_exits, std::vector<UINT>{0xFFFFFFFFu});
    EXPECT_EQ(ConfigValue(configPath_, L"click_close_exit"), L"true");
}

TEST_F(MainWindowTest, QuitClientCancelledChangesNothing) {
    ASSERT_TRUE(Open());
    ::SendMessageW(hwnd_, WM_QUIT_CLIENT, 0, 0);
    ::SendMessageW(hwnd_, WM_QUIT_CLIENT, 7, 0);  // neither 0 nor 1
    Idle();
    EXPECT_TRUE(g_exits.empty());
    EXPECT_TRUE(g_restarts.empty());
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 1u);
}

TEST_F(MainWindowTest, RestartWithoutEndingKeepsTheSingleInstanceName) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(SingleInstance::Acquire());
    // Restart requested but not the end (no sender in the client does this; another program
    // can): the new instance is started and must find this one still holding the name.
    ::SendMessageW(hwnd_, WM_QUIT_CLIENT, 0, 1);
    Idle();
    EXPECT_EQ(g_restarts.size(), 1u);
    EXPECT_TRUE(g_exits.empty());
    HANDLE name = OpenMutexW(SYNCHRONIZE, FALSE, L"lenmark20191202");
    EXPECT_TRUE(name != nullptr);
    if (name) CloseHandle(name);
    SingleInstance::Release();
}

TEST_F(MainWindowTest, ExitEndsTheProcessEvenWithNoBrowserLeft) {
    // Before the first browser arrives: nothing in the list, and still the end.
    ASSERT_EQ(ClientHandler::Instance()->BrowserCount(), 0u);
    ClientHandler::Instance()->CloseAllAndExit();
    EXPECT_EQ(g_exits, std::vector<UINT>{0xFFFFFFFFu});

    // Switch account with an empty list (here emptied by an end that the test hook stopped):
    // the name is given up only right before the end, and the end comes.
    ASSERT_TRUE(Open());
    GuardConfig();
    ClientHandler::Instance()->CloseAllAndExit();
    ASSERT_EQ(ClientHandler::Instance()->BrowserCount(), 0u);
    g_exits.clear();
    g_events.clear();
    ASSERT_TRUE(SingleInstance::Acquire());
    ::SendMessageW(hwnd_, WM_QUIT_CLIENT, 1, 1);
    EXPECT_EQ(g_events, (std::vector<std::string>{"restart: name free", "exit"}));
    EXPECT_EQ(g_exits, std::vector<UINT>{0xFFFFFFFFu});
    EXPECT_EQ(ConfigValue(configPath_, L"click_close_exit"), L"true");
    SingleInstance::Release();
    // The browsers left the list without closing; their windows go with the main window.
    ui_harness::CloseMainWindow(frame_);
}

TEST_F(MainWindowTest, TrayRecordHasTheSizeWindowsKnowsForThisArchitecture) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(frame_->Tray() != nullptr);
    const DWORD expected = sizeof(void*) == 4 ? 956u : static_cast<DWORD>(sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(frame_->Tray()->record().cbSize, expected);
    EXPECT_EQ(frame_->Tray()->record().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
}

TEST_F(MainWindowTest, LastBrowserClosingEndsTheProcess) {
    ASSERT_TRUE(Open());
    ui_harness::OpenTab(frame_, site_.WUrl("/plain"));
    ASSERT_EQ(ClientHandler::Instance()->BrowserCount(), 2u);
    ui_harness::CloseMainWindow(frame_);
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 0u);
    EXPECT_EQ(g_exits, std::vector<UINT>{0xFFFFFFFFu});
}

// ---------------------------------------------------------------------------------------------
// Pages

TEST_F(MainWindowTest, RightClickShowsNoContextMenu) {
    ASSERT_TRUE(Open());
    int shown = cef_test::ContextMenusShown();
    ASSERT_TRUE(cef_test::RightClick(Browser(firstId_), 20, 20));
    Idle();
    EXPECT_EQ(cef_test::ContextMenusShown(), shown);
}

TEST_F(MainWindowTest, UserExitExistsInEveryFrameAndReturnsUndefined) {
    ASSERT_TRUE(Open());
    CefRefPtr<CefBrowser> browser = Browser(firstId_);
    ASSERT_EQ(browser->GetFrameCount(), 2u);
    for (CefRefPtr<CefFrame> frame : {browser->GetMainFrame(), browser->GetFrame(L"inner")}) {
        ASSERT_TRUE(frame);
        SCOPED_TRACE(frame->GetURL().ToWString());
        CefRefPtr<CefV8Context> context = frame->GetV8Context();
        ASSERT_TRUE(context);
        CefRefPtr<CefV8Value> function = context->GetGlobal()->GetValue("user_exit");
        ASSERT_TRUE(function && function->IsFunction());
        CefV8ValueList none;
        CefV8ValueList several = {CefV8Value::CreateString("x"), CefV8Value::CreateInt(2),
                                  CefV8Value::CreateObject(nullptr, nullptr)};
        for (const CefV8ValueList* args : {&none, &several}) {
            CefRefPtr<CefV8Value> result = function->ExecuteFunctionWithContext(context, nullptr, *args);
            ASSERT_TRUE(result);
            EXPECT_TRUE(result->IsUndefined());
            EXPECT_FALSE(function->HasException());
        }
    }
    // Calls from the page itself change nothing.
    ASSERT_TRUE(cef_test::ClickLinkByText(browser, L"exit"));
    ASSERT_TRUE(cef_test::ClickLinkByText(browser, L"inner exit"));
    Idle();
    EXPECT_TRUE(g_exits.empty());
    EXPECT_EQ(ClientHandler::Instance()->BrowserCount(), 1u);
    EXPECT_EQ(Count(), 6);
}

// ---------------------------------------------------------------------------------------------
// Downloads and the file chooser, through the client's own handler

const wchar_t kDownloadDone[] = L" \x4e0b\x8f7d\x5b8c\x6bd5";  // " 下载完毕"

std::wstring TempFile(const wchar_t* name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + name;
}

// What the engine's save dialog was offered, and where the test lets the file go instead of
// the user's documents.
std::wstring g_offeredPath;
std::wstring g_savePath;

std::wstring DocumentsFolder() {
    wchar_t documents[800] = {};
    SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, FALSE);
    return documents;
}

class DownloadTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        site_.Attachment("/files/evil",
                         "attachment; filename*=UTF-8''..%5C..%5C..%5Cwindows%5Cevil%E2%80%AEtxt.exe; "
                         "filename=\"..\\..\\..\\windows\\evil.exe\"",
                         "payload\r\n");
        site_.Attachment("/files/report", "attachment; filename=report", "demo report\r\n");
        site_.Page("/downloads", "downloads",
                   "<p><a href=\"/files/evil\">evil</a></p><p><a href=\"/files/report\">report</a></p>");
        g_savePath = TempFile(L"quorvane_download_test.bin");
        DeleteFileW(g_savePath.c_str());
        g_offeredPath.clear();
    }
    void TearDown() override {
        cef_test::SetSaveFileDialog(nullptr);
        DeleteFileW(g_savePath.c_str());
        MainWindowTest::TearDown();
    }
    // Answers the save dialog: records the offered path, then saves to the test's file or cancels.
    static void AnswerSaveDialog(bool save) {
        cef_test::SetSaveFileDialog([save](OPENFILENAMEW* ofn) -> BOOL {
            g_offeredPath = ofn->lpstrFile;
            if (!save) return FALSE;
            wcsncpy(ofn->lpstrFile, g_savePath.c_str(), ofn->nMaxFile - 1);
            return TRUE;
        });
    }
};

TEST_F(DownloadTest, CompletedDownloadIsAnnouncedByAMessageOwnedByTheMainWindow) {
    ASSERT_TRUE(Open());
    int id = ui_harness::OpenTab(frame_, site_.WUrl("/downloads"));
    AnswerSaveDialog(true);
    MessageBoxWatch watch;
    watch.Start();
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(id), L"evil"));
    ASSERT_TRUE(PumpUntil([&] { return watch.answered.load(); }));
    watch.Join();
    // The hostile name was offered inside the documents folder, as one plain name.
    EXPECT_EQ(DocumentsFolder() + L"\\eviltxt.exe", g_offeredPath);
    EXPECT_EQ(g_savePath + kDownloadDone, watch.text);
    EXPECT_EQ(kPrompt, watch.caption);
    EXPECT_EQ(hwnd_, watch.owner);
    EXPECT_NE(GetFileAttributesW(g_savePath.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadTest, NameWithoutExtensionGetsZipAndACancelledDownloadShowsNothing) {
    ASSERT_TRUE(Open());
    int id = ui_harness::OpenTab(frame_, site_.WUrl("/downloads"));
    AnswerSaveDialog(false);
    MessageBoxWatch watch;
    watch.Start();
    ASSERT_TRUE(cef_test::ClickLinkByText(Browser(id), L"report"));
    ASSERT_TRUE(PumpUntil([] { return !g_offeredPath.empty(); }));
    Idle();
    cef_test::PumpUntil([&] { return watch.answered.load(); }, 3000);  // time for a wrong message to appear
    EXPECT_FALSE(watch.answered);
    EXPECT_EQ(DocumentsFolder() + L"\\report.zip", g_offeredPath);
    EXPECT_EQ(GetFileAttributesW(g_savePath.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The client's open-file dialog, answered by the test.
struct OpenDialogCall {
    std::wstring filter;
    DWORD flags = 0;
    DWORD maxFile = 0;
    HWND owner = nullptr;
    int calls = 0;
};
OpenDialogCall g_openCall;
std::vector<std::wstring> g_chosen;  // [0] the folder, then names; empty = cancel

BOOL AnswerOpenDialog(OPENFILENAMEW* ofn) {
    ++g_openCall.calls;
    const wchar_t* f = ofn->lpstrFilter;
    while (*f) f += wcslen(f) + 1;  // to the second NUL
    g_openCall.filter.assign(ofn->lpstrFilter, f + 1);
    g_openCall.flags = ofn->Flags;
    g_openCall.maxFile = ofn->nMaxFile;
    g_openCall.owner = ofn->hwndOwner;
    if (g_chosen.empty()) return FALSE;
    std::wstring result;
    for (const std::wstring& part : g_chosen) result += part + L'\0';
    result += L'\0';
    if (result.size() > ofn->nMaxFile) return FALSE;
    std::copy(result.begin(), result.end(), ofn->lpstrFile);
    return TRUE;
}

class FileChooserTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        site_.Page("/inputs", "inputs",
                   "<p><input type=\"file\"></p><p><input type=\"file\" multiple accept=\"image/*,.pdf\"></p>");
        g_openCall = OpenDialogCall();
        SetOpenFileDialogForTesting(&AnswerOpenDialog);
    }
    void TearDown() override {
        SetOpenFileDialogForTesting(nullptr);
        MainWindowTest::TearDown();
    }
    static std::wstring Filter(std::initializer_list<const wchar_t*> parts) {
        std::wstring text;
        for (const wchar_t* part : parts) text += std::wstring(part) + L'\0';
        return text + L'\0';
    }
};

TEST_F(FileChooserTest, OpenFileRequestsPassEveryChosenPath) {
    ASSERT_TRUE(Open());
    int id = ui_harness::OpenTab(frame_, site_.WUrl("/inputs"));
    CefRefPtr<CefBrowser> browser = Browser(id);

    // One file, no accepted types: all files are offered and the one path arrives.
    g_chosen = {L"C:\\data\\one.txt"};
    ASSERT_TRUE(cef_test::ClickFileInput(browser, 0));
    Idle();
    EXPECT_EQ(1, g_openCall.calls);
    EXPECT_EQ(Filter({L"\x6240\x6709\x6587\x4ef6(*.*)", L"*.*"}), g_openCall.filter);
    EXPECT_EQ(hwnd_, g_openCall.owner);
    EXPECT_FALSE(g_openCall.flags & OFN_ALLOWMULTISELECT);
    EXPECT_EQ(cef_test::GetFileInputPaths(browser, 0), std::vector<std::wstring>{L"C:\\data\\one.txt"});

    // Several files: the dialog allows them and the page receives both.
    g_chosen = {L"C:\\data", L"a.png", L"b c.pdf"};
    ASSERT_TRUE(cef_test::ClickFileInput(browser, 1));
    Idle();
    EXPECT_EQ(2, g_openCall.calls);
    EXPECT_TRUE(g_openCall.flags & OFN_ALLOWMULTISELECT);
    EXPECT_TRUE(g_openCall.flags & OFN_EXPLORER);
    EXPECT_GT(g_openCall.maxFile, 260u);
    EXPECT_EQ(Filter({L"\x81ea\x5b9a\x4e49\x6587\x4ef6(.bmp,.gif,.jpg,.png,.pdf)", L"*.bmp;*.gif;*.jpg;*.png;*.pdf",
                      L"\x6240\x6709\x6587\x4ef6", L"*.*"}),
              g_openCall.filter);
    EXPECT_EQ(cef_test::GetFileInputPaths(browser, 1),
              (std::vector<std::wstring>{L"C:\\data\\a.png", L"C:\\data\\b c.pdf"}));

    // Cancelled: the input keeps what it had.
    g_chosen.clear();
    ASSERT_TRUE(cef_test::ClickFileInput(browser, 1));
    Idle();
    EXPECT_EQ(3, g_openCall.calls);
    EXPECT_EQ(cef_test::GetFileInputPaths(browser, 1).size(), 2u);
}

}  // namespace
