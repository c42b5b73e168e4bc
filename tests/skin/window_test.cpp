// Window life cycle: initialisation order, the modal loop, default keys, broken skins, menus.
#include "skin_host.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace DuiLib;
using namespace skintest;

namespace {

const UINT kProbe = WM_APP + 7;

TEST(Window, WindowInitArrivesAfterInitWindow) {
    HostWnd* host = CreateHost(L"ConfirmDlg.xml");
    EXPECT_TRUE(host->initCalled);
    ASSERT_FALSE(host->Senders(L"windowinit").empty());
    EXPECT_TRUE(host->windowInitAfterInit);
    EXPECT_EQ(host->Senders(L"windowinit").size(), 1u);
    // The skin's WS_CAPTION is dropped: the skin draws its own caption.
    EXPECT_FALSE(::GetWindowLong(host->GetHWND(), GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(::GetWindowLong(host->GetHWND(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyHost(host);
}

TEST(Window, ShowModalReturnsTheCloseValueAndDisablesTheOwner) {
    HostWnd* owner = CreateHost(L"MainWindow.xml", 0x16CF0000, 0x10);
    SetUpSkinPaths();
    bool destroyed = false;
    bool ownerEnabledDuringLoop = true;
    HostWnd* dlg = new HostWnd(L"ConfirmDlg.xml", /*deleteOnFinal=*/true);
    dlg->destroyedFlag = &destroyed;
    HWND ownerHwnd = owner->GetHWND();
    dlg->onCustom = [&](UINT msg, WPARAM, LPARAM) {
        if (msg == kProbe) {
            ownerEnabledDuringLoop = ::IsWindowEnabled(ownerHwnd) != FALSE;
            dlg->pm().TestClick(L"btnOK");
        }
    };
    // The click handler closes the dialog with 7, as a dialog's OK button would.
    dlg->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == L"btnOK") dlg->Close(7);
    };
    ASSERT_NE(dlg->Create(ownerHwnd, L"ConfirmDlg", 0x96C80000, WS_EX_TOPMOST), nullptr);
    dlg->PostMessage(kProbe);
    UINT ret = dlg->ShowModal();  // the dialog deletes itself when its window goes
    EXPECT_EQ(ret, 7u);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(ownerEnabledDuringLoop);
    EXPECT_TRUE(::IsWindowEnabled(ownerHwnd));
    DestroyHost(owner);
}

TEST(Window, EscapeClosesADialogWithCancelButNotWhenOverridden) {
    SetUpSkinPaths();
    bool destroyed = false;
    HostWnd* dlg = new HostWnd(L"ConfirmDlg.xml", true);
    dlg->destroyedFlag = &destroyed;
    ASSERT_NE(dlg->Create(NULL, L"ConfirmDlg", 0x96C80000, WS_EX_TOPMOST), nullptr);
    dlg->PostMessage(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(dlg->ShowModal(), (UINT)IDCANCEL);
    EXPECT_TRUE(destroyed);

    // Closing by WM_CLOSE from elsewhere (e.g. Alt+F4) ends the loop with its wParam (0).
    destroyed = false;
    dlg = new HostWnd(L"lm_Login.xml", true);
    dlg->destroyedFlag = &destroyed;
    dlg->Create(NULL, L"login", 0x96C80000, WS_EX_TOPMOST);
    ::PostMessage(dlg->GetHWND(), WM_CLOSE, 0, 0);
    EXPECT_EQ(dlg->ShowModal(), 0u);
    EXPECT_TRUE(destroyed);
}

TEST(Window, CaptionDragsAndTheFrameSizesButButtonsStayClickable) {
    HostWnd* host = CreateHost(L"MainWindow.xml", 0x16CF0000, 0x10);
    ::SetWindowPos(host->GetHWND(), NULL, 100, 50, 1000, 640, SWP_NOZORDER);
    host->pm().UpdateLayout();
    auto hit = [&](int x, int y) {
        return ::SendMessage(host->GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(100 + x, 50 + y));
    };
    RECT min = host->Find(L"BtnMin")->GetPos();
    RECT title = host->Find(L"lbl_title")->GetPos();
    EXPECT_EQ(hit((title.left + title.right) / 2, 20), HTCAPTION);
    EXPECT_EQ(hit((min.left + min.right) / 2, 20), HTCLIENT);
    EXPECT_EQ(hit(500, 300), HTCLIENT);
    EXPECT_EQ(hit(1, 300), HTLEFT);
    EXPECT_EQ(hit(998, 638), HTBOTTOMRIGHT);
    DestroyHost(host);
}

TEST(Window, MissingOrBrokenSkinStillGivesAClosableWindow) {
    SetUpSkinPaths();
    std::wstring broken = std::wstring(CPaintManagerUI::GetResourcePath().GetData()) + L"broken_skin_test.xml";
    FILE* f = _wfopen(broken.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fputs("<Window size=\"300,200\"><VerticalLayout><Button name=\"x\"", f);  // truncated
    fclose(f);
    for (const wchar_t* skin : {L"no_such_skin.xml", L"broken_skin_test.xml", L""}) {
        HostWnd* host = CreateHost(skin);
        ASSERT_TRUE(::IsWindow(host->GetHWND())) << skin;
        EXPECT_TRUE(host->initCalled);
        EXPECT_EQ(host->Find(L"x"), nullptr);
        EXPECT_EQ(host->Find(L"BtnClose"), nullptr);
        DestroyHost(host);
    }
    _wremove(broken.c_str());
    CDialogBuilder b;
    EXPECT_EQ(b.CreateFromString(L"<Window><Bogus/></Window>"), nullptr);
    EXPECT_EQ(b.CreateFromString(L"not xml at all"), nullptr);
    EXPECT_EQ(b.Create(STRINGorID(101u)), nullptr);

    // Absurdly deep nesting is cut off instead of exhausting the stack.
    std::wstring deep;
    for (int i = 0; i < 20000; ++i) deep += L"<VerticalLayout>";
    deep += L"<Button name=\"deepest\"/>";
    for (int i = 0; i < 20000; ++i) deep += L"</VerticalLayout>";
    CPaintManagerUI pm;
    CControlUI* root = b.CreateFromString(deep.c_str(), nullptr, &pm);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(pm.FindSubControlByName(root, L"deepest"), nullptr);
    delete root;
}

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = CreateHost(L"MainWindow.xml", 0x16CF0000, 0x10);
        ::SetForegroundWindow(host->GetHWND());
        Testing::PumpMessages();
    }
    void TearDown() override {
        CMenuWnd::DestroyMenu();
        Testing::PumpMessages();
        DestroyHost(host);
    }
    RECT OpenMenuRect() {
        RECT rc = {};
        ::GetWindowRect(Testing::GetOpenMenuWindow(), &rc);
        return rc;
    }
    HostWnd* host = nullptr;
};

TEST_F(MenuTest, ChoosingAnItemPostsTheCommandRecord) {
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"menu_tray.xml", POINT{800, 600}, &host->pm(), NULL, 0x18);
    ASSERT_NE(Testing::GetOpenMenuWindow(), nullptr);
    RECT rc = OpenMenuRect();
    EXPECT_EQ(rc.right, 800);  // right|bottom: opens up and to the left of the point
    EXPECT_EQ(rc.bottom, 600);
    EXPECT_GT(rc.bottom - rc.top, 3 * 30);
    ASSERT_TRUE(Testing::ClickMenuItem(L"menu_exit"));
    Testing::PumpMessages();
    ASSERT_EQ(host->menuPicks.size(), 1u);
    EXPECT_EQ(host->menuPicks[0].name, L"menu_exit");
    EXPECT_EQ(host->menuPicks[0].text, L"退出");
    EXPECT_EQ(Testing::GetOpenMenuWindow(), nullptr);
    EXPECT_EQ(CMenuWnd::GetOpenMenuCount(), 0);
}

TEST_F(MenuTest, ForgedMenuCommandsFromOutsideAreDropped) {
    // Any process can post 0x403 to the window; only records the menu issued get through.
    MenuCmd local = {};
    lstrcpyW(local.szName, L"menu_exit");
    ::PostMessage(host->GetHWND(), WM_MENUCLICK, (WPARAM)&local, 0);
    ::PostMessage(host->GetHWND(), WM_MENUCLICK, (WPARAM)0x12345678, 0);
    ::PostMessage(host->GetHWND(), WM_MENUCLICK, 0, 0);
    Testing::PumpMessages();
    EXPECT_TRUE(host->menuPicks.empty());
    host->pm().DeletePtr(&local);  // not a library record: ignored
    host->pm().DeletePtr(nullptr);

    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"menu_tray.xml", POINT{300, 300}, &host->pm(), NULL, 0x18);
    ASSERT_TRUE(Testing::ClickMenuItem(L"menu_show_mainwnd"));
    Testing::PumpMessages();
    ASSERT_EQ(host->menuPicks.size(), 1u);
    EXPECT_EQ(host->menuPicks[0].name, L"menu_show_mainwnd");
}

TEST_F(MenuTest, AlignmentFlagsPlaceTheMenu) {
    struct Row {
        DWORD align;
        bool rightEdgeAtPoint, bottomEdgeAtPoint;
    } rows[] = {{0x18, true, true}, {0x0C, true, false}, {0x06, false, false}, {0x12, false, true}};
    for (const Row& r : rows) {
        CMenuWnd* menu = new CMenuWnd();
        menu->Init(NULL, L"menu_system.xml", POINT{700, 500}, &host->pm(), NULL, r.align);
        RECT rc = OpenMenuRect();
        EXPECT_EQ(r.rightEdgeAtPoint ? rc.right : rc.left, 700) << r.align;
        EXPECT_EQ(r.bottomEdgeAtPoint ? rc.bottom : rc.top, 500) << r.align;
        CMenuWnd::DestroyMenu();
        Testing::PumpMessages();
    }
    // Near the screen corner the menu stays on the screen.
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"menu_system.xml", POINT{2, 2}, &host->pm(), NULL, 0x18);
    RECT rc = OpenMenuRect();
    EXPECT_GE(rc.left, 0);
    EXPECT_GE(rc.top, 0);
}

TEST_F(MenuTest, KeyboardChoosesAndEscapeCancels) {
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"menu_tray.xml", POINT{400, 300}, &host->pm(), NULL, 0x18);
    HWND h = Testing::GetOpenMenuWindow();
    ASSERT_NE(h, nullptr);
    // Down twice, Up once, Up again wraps to the last item: "menu_exit".
    for (UINT vk : {VK_DOWN, VK_DOWN, VK_UP, VK_UP}) ::SendMessage(h, WM_KEYDOWN, vk, 1);
    ::SendMessage(h, WM_KEYDOWN, VK_RETURN, 1);
    Testing::PumpMessages();
    ASSERT_EQ(host->menuPicks.size(), 1u);
    EXPECT_EQ(host->menuPicks[0].name, L"menu_exit");

    menu = new CMenuWnd();
    menu->Init(NULL, L"menu_tray.xml", POINT{400, 300}, &host->pm(), NULL, 0x18);
    h = Testing::GetOpenMenuWindow();
    ASSERT_NE(h, nullptr);
    ::SendMessage(h, WM_KEYDOWN, VK_ESCAPE, 1);
    Testing::PumpMessages();
    EXPECT_EQ(Testing::GetOpenMenuWindow(), nullptr);
    EXPECT_EQ(host->menuPicks.size(), 1u);
}

TEST_F(MenuTest, LosingFocusClosesTheMenuWithoutACommand) {
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"menu_tray.xml", POINT{400, 300}, &host->pm(), NULL, 0x18);
    ASSERT_NE(Testing::GetOpenMenuWindow(), nullptr);
    ::SetForegroundWindow(host->GetHWND());
    ::SetFocus(host->GetHWND());
    Testing::PumpMessages();
    EXPECT_EQ(Testing::GetOpenMenuWindow(), nullptr);
    EXPECT_TRUE(host->menuPicks.empty());
}

TEST_F(MenuTest, CheckMapIsToggledAndReported) {
    bool state = false;
    CStdStringPtrMap checks;
    checks.Insert(L"menu_switch_account", &state);
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"menu_tray.xml", POINT{400, 300}, &host->pm(), &checks, 0x18);
    ASSERT_TRUE(Testing::ClickMenuItem(L"menu_switch_account"));
    Testing::PumpMessages();
    EXPECT_TRUE(state);
    ASSERT_EQ(host->menuPicks.size(), 1u);
    EXPECT_TRUE(host->menuPicks[0].checked);
}

TEST_F(MenuTest, MissingMenuSkinOpensNothingHarmful) {
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(NULL, L"no_such_menu.xml", POINT{400, 300}, &host->pm(), NULL, 0x18);
    EXPECT_FALSE(Testing::ClickMenuItem(L"menu_exit"));
    CMenuWnd::DestroyMenu();
    Testing::PumpMessages();
    EXPECT_EQ(CMenuWnd::GetOpenMenuCount(), 0);
    EXPECT_TRUE(host->menuPicks.empty());
}

}  // namespace
