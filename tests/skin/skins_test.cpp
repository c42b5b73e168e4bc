// The client's real skins: every control name the client looks up exists, and the layout
// the client relies on (window sizes, the browser-area marker, the tab strip) at 100 % and 150 %.
#include "skin_host.h"

#include <gtest/gtest.h>

using namespace DuiLib;
using namespace skintest;

namespace {

struct SkinNames {
    const wchar_t* file;
    std::vector<const wchar_t*> names;
};

const SkinNames kSkins[] = {
    {L"MainWindow.xml",
     {L"ui_hl_urltabs", L"lbl_splitterbrowser", L"btn_workplatform", L"btn_IMS", L"btn_OA", L"btn_CPA", L"btn_System",
      L"btn_Personal", L"btn_SMIS", L"BtnMin", L"BtnMax", L"BtnRestore", L"BtnClose", L"BtnSystemMenu", L"Btn_Back",
      L"Btn_advance", L"Btn_Refresh"}},
    {L"lm_Login.xml",
     {L"edit_username", L"edit_password", L"combo_username", L"btncombodropdown", L"chk_rememberpassword",
      L"lb_remember", L"chk_autologin", L"lb_autologin", L"btn_Login", L"lbl_ErrMsg", L"btn_ErrorIcon",
      L"btn_forgetpwd", L"btn_register", L"BtnMinimized", L"BtnClose", L"btnCancel"}},
    {L"ConfirmDlg.xml", {L"BtnClose", L"btnCancel", L"btnOK"}},
};

// The kinds the client casts to; a wrong kind would make its casts fail.
struct Kind {
    const wchar_t* file;
    const wchar_t* name;
    const wchar_t* kind;
} const kKinds[] = {
    {L"MainWindow.xml", L"ui_hl_urltabs", DUI_CTR_HORIZONTALLAYOUT},
    {L"lm_Login.xml", L"edit_username", DUI_CTR_EDIT},
    {L"lm_Login.xml", L"edit_password", DUI_CTR_EDIT},
    {L"lm_Login.xml", L"combo_username", DUI_CTR_COMBO},
    {L"lm_Login.xml", L"chk_rememberpassword", DUI_CTR_CHECKBOX},
    {L"lm_Login.xml", L"chk_autologin", DUI_CTR_CHECKBOX},
    {L"lm_Login.xml", L"btn_Login", DUI_CTR_BUTTON},
    {L"lm_Login.xml", L"lbl_ErrMsg", DUI_CTR_LABEL},
};

TEST(Skins, EveryNameTheClientUsesExists) {
    for (const SkinNames& s : kSkins) {
        HostWnd* host = CreateHost(s.file);
        ASSERT_TRUE(::IsWindow(host->GetHWND())) << s.file;
        for (const wchar_t* n : s.names) EXPECT_NE(host->Find(n), nullptr) << s.file << ": " << n;
        for (const Kind& k : kKinds)
            if (wcscmp(k.file, s.file) == 0) {
                CControlUI* c = host->Find(k.name);
                ASSERT_NE(c, nullptr) << k.name;
                EXPECT_NE(c->GetInterface(k.kind), nullptr) << k.name << " is not a " << k.kind;
            }
        EXPECT_EQ(host->Find(L"no_such_control"), nullptr);
        DestroyHost(host);
    }
}

TEST(Skins, MenusHaveTheirItems) {
    struct Row {
        const wchar_t* file;
        std::vector<const wchar_t*> items;
    } rows[] = {
        {L"menu_tray.xml", {L"menu_show_mainwnd", L"menu_switch_account", L"menu_exit"}},
        {L"menu_system.xml", {L"menu_sys_settings", L"menu_sys_about"}},
    };
    SetUpSkinPaths();
    for (const Row& r : rows) {
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(r.file, nullptr, nullptr, &pm);
        ASSERT_NE(root, nullptr) << r.file;
        for (const wchar_t* n : r.items) {
            CControlUI* c = pm.FindSubControlByName(root, n);
            ASSERT_NE(c, nullptr) << n;
            EXPECT_NE(c->GetInterface(DUI_CTR_MENUELEMENT), nullptr) << n;
        }
        delete root;
    }
}

TEST(Skins, LoginDialogIs662By442AndScales) {
    HostWnd* host = CreateHost(L"lm_Login.xml");
    RECT rc = {};
    ::GetWindowRect(host->GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, 662);
    EXPECT_EQ(rc.bottom - rc.top, 442);
    // No system frame: the skin covers the whole window.
    RECT client = {};
    ::GetClientRect(host->GetHWND(), &client);
    EXPECT_EQ(client.right, 662);
    EXPECT_EQ(client.bottom, 442);
    host->pm().UpdateLayout();
    RECT login100 = host->Find(L"btn_Login")->GetPos();
    EXPECT_EQ(login100.bottom - login100.top, 42);

    host->pm().SetDPI(144);
    EXPECT_EQ(host->pm().GetDPIObj()->GetScale(), 150);
    ::GetWindowRect(host->GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, 993);
    EXPECT_EQ(rc.bottom - rc.top, 663);
    RECT login150 = host->Find(L"btn_Login")->GetPos();
    EXPECT_EQ(login150.bottom - login150.top, 63);
    // The form stays inside the window.
    EXPECT_LE(host->Find(L"btnCancel")->GetPos().bottom, 663);
    DestroyHost(host);
}

// Adds a tab exactly as the main window does.
void AddTab(CHorizontalLayoutUI* strip, UINT_PTR browserId) {
    int n = strip->GetCount();
    CDuiString s;
    if (n > 4) {
        CLabelUI* splitter = new CLabelUI;
        s.Format(
            L"name=\"tab_splitter%d\" width=\"3\" height=\"24\" font=\"18\" align=\"left\" textpadding=\"0,0,0,2\" "
            L"padding=\"0, 0, 0, 0\" text=\"|\" textcolor=\"#FF999999\"",
            n);
        splitter->ApplyAttributeList(s);
        strip->Add(splitter);
        splitter->SetFixedWidth(3);
        if (n == 6) splitter->SetPadding(RECT{-8, 0, 0, 0});
    }
    COptionUI* tab = new COptionUI;
    s.Format(
        L"align=\"left\" name=\"tab_tab%d\" padding=\"0,0,0,0\" width=\"181\" height=\"24\" "
        L"normalimage=\"newicon/mainfram/bg_header_normal.png\" hotimage=\"newicon/mainfram/bg_header_hover.png\" "
        L"\t\t\tpushedimage=\"newicon/mainfram/bg_header_Click.png\" "
        L"selectedimage=\"newicon/mainfram/bg_header_Click.png\" group=\"ui_grp_webtab\"",
        strip->GetCount());
    tab->ApplyAttributeList(s);
    tab->SetTag(browserId);
    strip->Add(tab);
    tab->SetFixedWidth(181);
    tab->SetFixedHeight(24);
    tab->SetFont(16);
    if (n >= 6) tab->SetPadding(RECT{-8, 0, 0, 0});
    CButtonUI* close = new CButtonUI;
    s.Format(
        L"padding=\"-25,4,0,4\" name=\"tab_btnclose%d\" width=\"16\" height=\"16\" "
        L"normalimage=\"newicon/mainfram/icon_header_close_normal.png\" "
        L"hotimage=\"newicon/mainfram/icon_header_close_hover.png\" "
        L"pushedimage=\"newicon/mainfram/icon_header_close_Click.png\"",
        strip->GetCount());
    close->ApplyAttributeList(s);
    strip->Add(close);
    if (n == 4) close->SetVisible(false);
}

TEST(Skins, MainWindowHeaderAndTabStripAt100And150) {
    HostWnd* host = CreateHost(L"MainWindow.xml", 0x16CF0000, 0x10);
    ::SetWindowPos(host->GetHWND(), NULL, 0, 0, 1280, 800, SWP_NOZORDER | SWP_NOMOVE);
    CPaintManagerUI& pm = host->pm();
    pm.UpdateLayout();
    EXPECT_EQ(host->Find(L"lbl_splitterbrowser")->GetPos().bottom, 74);
    EXPECT_FALSE(host->Find(L"BtnRestore")->IsVisible());
    EXPECT_TRUE(host->Find(L"BtnMax")->IsVisible());

    // The system module has a container of its own that the client hides for some users.
    CControlUI* sysBox = host->Find(L"btn_System")->GetParent();
    ASSERT_NE(sysBox, nullptr);
    EXPECT_NE(sysBox, host->Find(L"btn_OA")->GetParent());
    sysBox->SetVisible(false);
    pm.UpdateLayout();
    EXPECT_FALSE(host->Find(L"btn_System")->IsVisible());
    EXPECT_LT(host->Find(L"btn_Personal")->GetPos().left, host->Find(L"btn_CPA")->GetPos().right + 10);
    sysBox->SetVisible(true);

    CHorizontalLayoutUI* strip =
        static_cast<CHorizontalLayoutUI*>(host->Find(L"ui_hl_urltabs")->GetInterface(DUI_CTR_HORIZONTALLAYOUT));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->GetCount(), 4);
    AddTab(strip, 11);
    AddTab(strip, 12);
    ASSERT_EQ(strip->GetCount(), 9);  // 4 fixed, tab + close, splitter + tab + close
    pm.UpdateLayout();
    struct Row {
        const wchar_t* name;
        RECT rc;
    } rows[] = {
        {L"tab_tab4", {100, 49, 281, 73}},
        {L"tab_splitter6", {273, 49, 276, 73}},
        {L"tab_tab7", {268, 49, 449, 73}},
        {L"tab_btnclose8", {424, 53, 440, 69}},
    };
    for (const Row& r : rows) {
        CControlUI* c = host->Find(r.name);
        ASSERT_NE(c, nullptr) << r.name;
        RECT got = c->GetPos();
        EXPECT_TRUE(EqualRect(&got, &r.rc))
            << r.name << ": " << got.left << "," << got.top << "," << got.right << "," << got.bottom;
    }
    EXPECT_FALSE(host->Find(L"tab_btnclose5")->IsVisible());

    pm.SetDPI(144);
    pm.UpdateLayout();
    EXPECT_EQ(pm.GetDPIObj()->GetScale(), 150);
    EXPECT_EQ(host->Find(L"lbl_splitterbrowser")->GetPos().bottom, 112);
    RECT tab = host->Find(L"tab_tab4")->GetPos();
    EXPECT_EQ(tab.left, 150);
    EXPECT_EQ(tab.right - tab.left, 272);
    EXPECT_EQ(tab.bottom - tab.top, 36);
    RECT close = host->Find(L"tab_btnclose8")->GetPos();
    RECT tab7 = host->Find(L"tab_tab7")->GetPos();
    EXPECT_EQ(close.left, tab7.right - 38);  // -25 at 150 %
    EXPECT_EQ(close.right - close.left, 24);
    DestroyHost(host);
}

}  // namespace
