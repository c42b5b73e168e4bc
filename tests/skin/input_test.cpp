// Input through the real message path: clicks, check boxes, options, edit boxes, keys, combo.
#include "skin_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace DuiLib;
using namespace skintest;

namespace {

class LoginSkin : public ::testing::Test {
protected:
    void SetUp() override {
        host = CreateHost(L"lm_Login.xml");
        ASSERT_TRUE(::IsWindow(host->GetHWND()));
        ::SetForegroundWindow(host->GetHWND());
        Testing::PumpMessages();
        host->Clear();
    }
    void TearDown() override { DestroyHost(host); }
    template <class T>
    T* Get(const wchar_t* name, const wchar_t* kind) {
        CControlUI* c = host->Find(name);
        return c ? static_cast<T*>(c->GetInterface(kind)) : nullptr;
    }
    HostWnd* host = nullptr;
};

TEST_F(LoginSkin, ButtonClickNotifiesClickWithItsSender) {
    ASSERT_TRUE(host->pm().TestClick(L"btn_Login"));
    EXPECT_EQ(host->Senders(L"click"), std::vector<std::wstring>{L"btn_Login"});
    EXPECT_EQ(host->Senders(L"setfocus"), std::vector<std::wstring>{L"btn_Login"});

    // Clicks on other buttons keep their order.
    host->Clear();
    for (const wchar_t* n : {L"btn_forgetpwd", L"btn_register", L"lb_remember", L"btnCancel"})
        ASSERT_TRUE(host->pm().TestClick(n)) << n;
    EXPECT_EQ(host->Senders(L"click"),
              (std::vector<std::wstring>{L"btn_forgetpwd", L"btn_register", L"lb_remember", L"btnCancel"}));
}

TEST_F(LoginSkin, DisabledOrHiddenControlsGetNoClick) {
    host->Find(L"btn_Login")->SetEnabled(false);
    host->pm().TestClick(L"btn_Login");
    EXPECT_TRUE(host->Senders(L"click").empty());
    EXPECT_FALSE(host->pm().TestClick(L"lbl_ErrMsg"));  // hidden in the skin
    EXPECT_FALSE(host->pm().TestClick(L"no_such_control"));
    host->Find(L"btn_Login")->SetEnabled(true);
    host->pm().TestClick(L"btn_Login");
    EXPECT_EQ(host->Senders(L"click").size(), 1u);
}

TEST_F(LoginSkin, CheckBoxClickIsNotifiedBeforeTheBoxChanges) {
    CCheckBoxUI* box = Get<CCheckBoxUI>(L"chk_autologin", DUI_CTR_CHECKBOX);
    ASSERT_NE(box, nullptr);
    std::vector<bool> stateAtClick;
    host->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == DUI_MSGTYPE_CLICK) stateAtClick.push_back(box->GetCheck());
    };
    ASSERT_TRUE(host->pm().TestClick(box));
    ASSERT_TRUE(host->pm().TestClick(box));
    EXPECT_EQ(stateAtClick, (std::vector<bool>{false, true}));
    EXPECT_FALSE(box->GetCheck());
    std::vector<std::wstring> types;
    for (const Note& n : host->notes)
        if (n.type != L"setfocus" && n.type != L"killfocus") types.push_back(n.type);
    EXPECT_EQ(types, (std::vector<std::wstring>{L"click", L"selectchanged", L"click", L"selectchanged"}));

    // Program changes are notified as well, once per change.
    host->Clear();
    box->SetCheck(true);
    EXPECT_TRUE(box->GetCheck());
    box->SetCheck(true);
    box->SetCheck(false);
    EXPECT_EQ(host->Senders(L"selectchanged"), (std::vector<std::wstring>{L"chk_autologin", L"chk_autologin"}));
}

TEST_F(LoginSkin, TypingIntoEditBoxesNotifiesTextChanges) {
    CEditUI* user = Get<CEditUI>(L"edit_username", DUI_CTR_EDIT);
    CEditUI* pass = Get<CEditUI>(L"edit_password", DUI_CTR_EDIT);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(pass, nullptr);
    ASSERT_TRUE(Testing::TypeText(&host->pm(), L"edit_username", L"张三ab"));
    EXPECT_EQ(user->GetText(), L"张三ab");
    EXPECT_EQ(host->Senders(L"textchanged").size(), 4u);
    EXPECT_EQ(host->Senders(L"setfocus"), std::vector<std::wstring>{L"edit_username"});
    EXPECT_EQ(::GetFocus(), user->GetNativeWindow());

    // Password box: a real password edit; text still readable by the program.
    EXPECT_TRUE(::GetWindowLong(pass->GetNativeWindow(), GWL_STYLE) & ES_PASSWORD);
    host->Clear();
    ASSERT_TRUE(Testing::TypeText(&host->pm(), L"edit_password", L"pw1"));
    EXPECT_EQ(pass->GetText(), L"pw1");
    EXPECT_EQ(host->Senders(L"textchanged"),
              (std::vector<std::wstring>{L"edit_password", L"edit_password", L"edit_password"}));
    EXPECT_EQ(host->Senders(L"killfocus"), std::vector<std::wstring>{L"edit_username"});

    // Text set by the program is not a change by the user.
    host->Clear();
    pass->SetText(L"stored");
    user->SetText(L"");
    EXPECT_TRUE(host->Senders(L"textchanged").empty());
    wchar_t buf[32] = {};
    ::GetWindowTextW(pass->GetNativeWindow(), buf, 32);
    EXPECT_STREQ(buf, L"stored");
    EXPECT_EQ(pass->GetText(), L"stored");
}

TEST_F(LoginSkin, ForeignChildWindowsAreNotTakenForEditBoxes) {
    // A child of the window that is not ours (e.g. a browser window) with its own user data.
    HWND child =
        ::CreateWindowExW(0, L"STATIC", L"x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host->GetHWND(), NULL, NULL, NULL);
    ::SetWindowLongPtr(child, GWLP_USERDATA, (LONG_PTR)0x10);
    ::SendMessage(host->GetHWND(), WM_COMMAND, MAKEWPARAM(0, EN_CHANGE), (LPARAM)child);
    HDC dc = ::GetDC(child);
    ::SendMessage(host->GetHWND(), WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)child);
    ::SendMessage(host->GetHWND(), WM_CTLCOLOREDIT, (WPARAM)dc, (LPARAM)child);
    ::ReleaseDC(child, dc);
    ::DestroyWindow(child);
    EXPECT_TRUE(host->Senders(L"textchanged").empty());
}

TEST_F(LoginSkin, EnterInAnEditNotifiesReturnAndTabMovesFocus) {
    CEditUI* user = Get<CEditUI>(L"edit_username", DUI_CTR_EDIT);
    CEditUI* pass = Get<CEditUI>(L"edit_password", DUI_CTR_EDIT);
    ASSERT_TRUE(host->pm().TestClick(user));
    Testing::PressKey(VK_TAB);
    EXPECT_EQ(host->pm().GetFocus(), pass);
    EXPECT_EQ(::GetFocus(), pass->GetNativeWindow());
    host->Clear();
    Testing::PressKey(VK_RETURN);
    EXPECT_EQ(host->Senders(L"return"), std::vector<std::wstring>{L"edit_password"});
    EXPECT_TRUE(::IsWindow(host->GetHWND()));  // Enter is not a close key
}

TEST_F(LoginSkin, EditGetsItsCaretBackWhenTheWindowGetsFocusAgain) {
    CEditUI* pass = Get<CEditUI>(L"edit_password", DUI_CTR_EDIT);
    ASSERT_TRUE(Testing::TypeText(&host->pm(), L"edit_password", L"x"));
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL, NULL, NULL);
    ::SetFocus(other);
    EXPECT_EQ(host->pm().GetFocus(), nullptr);
    EXPECT_EQ(host->Senders(L"killfocus").back(), L"edit_password");
    ::SetFocus(host->GetHWND());
    EXPECT_EQ(host->pm().GetFocus(), pass);
    EXPECT_EQ(::GetFocus(), pass->GetNativeWindow());
    ::DestroyWindow(other);

    // A click elsewhere in the window moves the focus for good.
    host->pm().UpdateLayout();
    ::SendMessage(host->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 80));
    ::SendMessage(host->GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(400, 80));
    EXPECT_NE(host->pm().GetFocus(), pass);
    ::SetFocus(host->GetHWND());
    EXPECT_NE(::GetFocus(), pass->GetNativeWindow());
}

TEST_F(LoginSkin, ComboOpensOnEvent13AndReportsTheChosenItem) {
    CComboUI* combo = Get<CComboUI>(L"combo_username", DUI_CTR_COMBO);
    ASSERT_NE(combo, nullptr);
    for (const wchar_t* t : {L"alice", L"bob", L"carol"}) {
        CListLabelElementUI* item = new CListLabelElementUI;
        item->SetText(t);
        combo->Add(item);
    }
    combo->SelectItem(0);
    EXPECT_EQ(host->Senders(L"itemselect"), std::vector<std::wstring>{L"combo_username"});
    combo->SelectItem(0);  // unchanged: no second notification
    EXPECT_EQ(host->Senders(L"itemselect").size(), 1u);

    host->Clear();
    combo->SetFocus();
    TEventUI ev = {};
    ev.Type = UIEVENT_BUTTONDOWN;
    ev.pSender = combo;
    ev.dwTimestamp = ::GetTickCount();
    combo->Event(ev);
    EXPECT_EQ(ev.Type, 13);
    ASSERT_TRUE(combo->IsDropped());
    EXPECT_TRUE(::IsWindowVisible(combo->GetDropHWND()));
    EXPECT_EQ(host->Senders(L"predropdown"), std::vector<std::wstring>{L"combo_username"});

    ASSERT_TRUE(Testing::ClickDropItem(combo, 2));
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->GetText(), L"carol");
    EXPECT_EQ(host->Senders(L"itemselect"), std::vector<std::wstring>{L"combo_username"});
    Testing::PumpMessages();
    EXPECT_FALSE(combo->IsDropped());

    // A long list scrolls; the last item is still reachable, and the list opens at the selection.
    for (int i = 0; i < 12; ++i) {
        CListLabelElementUI* item = new CListLabelElementUI;
        CDuiString t;
        t.Format(L"user%02d", i);
        item->SetText(t);
        combo->Add(item);
    }
    combo->Event(ev);
    ASSERT_TRUE(Testing::ClickDropItem(combo, 14));
    EXPECT_EQ(combo->GetText(), L"user11");
    Testing::PumpMessages();
    combo->Event(ev);
    ASSERT_TRUE(Testing::ClickDropItem(combo, 1));
    EXPECT_EQ(combo->GetText(), L"bob");
    Testing::PumpMessages();
    ASSERT_TRUE(combo->SelectItem(2, false));

    // Losing the focus closes an open list without choosing.
    combo->Event(ev);
    ASSERT_TRUE(combo->IsDropped());
    ::SetFocus(host->GetHWND());
    Testing::PumpMessages();
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(combo->GetCurSel(), 2);
}

TEST_F(LoginSkin, HoverMarksTheButtonHot) {
    CButtonUI* b = Get<CButtonUI>(L"btn_Login", DUI_CTR_BUTTON);
    host->pm().UpdateLayout();
    RECT rc = b->GetPos();
    ::SendMessage(host->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    EXPECT_TRUE(b->GetButtonState() & UISTATE_HOT);
    ::SendMessage(host->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_FALSE(b->GetButtonState() & UISTATE_HOT);

    // Hovering a control with a tooltip registers it with the window's tooltip.
    CControlUI* close = host->Find(L"BtnClose");
    rc = close->GetPos();
    ::SendMessage(host->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    HWND tip = host->pm().GetTooltipWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(::SendMessage(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[64] = {};
    TOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = host->GetHWND();
    ti.uId = 1;
    ti.lpszText = text;
    ::SendMessage(tip, TTM_GETTEXTW, 64, (LPARAM)&ti);
    EXPECT_STREQ(text, L"关闭");
    close->SetToolTip(L"关闭窗口");
    ::SendMessage(tip, TTM_GETTEXTW, 64, (LPARAM)&ti);
    EXPECT_STREQ(text, L"关闭窗口");
}

TEST(OptionGroup, OneSelectedAndClickBeforeSelectChanged) {
    HostWnd* host = CreateHost(L"MainWindow.xml", 0x16CF0000, 0x10);
    CHorizontalLayoutUI* strip =
        static_cast<CHorizontalLayoutUI*>(host->Find(L"ui_hl_urltabs")->GetInterface(DUI_CTR_HORIZONTALLAYOUT));
    ASSERT_NE(strip, nullptr);
    COptionUI* tabs[3];
    for (int i = 0; i < 3; ++i) {
        tabs[i] = new COptionUI;
        CDuiString s;
        s.Format(L"name=\"tab_tab%d\" width=\"181\" height=\"24\" group=\"ui_grp_webtab\"", 4 + i);
        tabs[i]->ApplyAttributeList(s);
        strip->Add(tabs[i]);
    }
    host->Clear();
    ASSERT_TRUE(host->pm().TestClick(L"tab_tab5"));
    EXPECT_TRUE(tabs[1]->IsSelected());
    std::vector<std::wstring> seq;
    for (const Note& n : host->notes)
        if (n.type == L"click" || n.type == L"selectchanged") seq.push_back(n.type + L":" + n.sender);
    EXPECT_EQ(seq, (std::vector<std::wstring>{L"click:tab_tab5", L"selectchanged:tab_tab5"}));

    tabs[2]->Selected(true, true);
    EXPECT_FALSE(tabs[1]->IsSelected());
    EXPECT_TRUE(tabs[2]->IsSelected());
    // Clicking the selected one again keeps it selected and reports only the click.
    host->Clear();
    host->pm().TestClick(tabs[2]);
    EXPECT_TRUE(tabs[2]->IsSelected());
    EXPECT_TRUE(host->Senders(L"selectchanged").empty());
    EXPECT_EQ(host->Senders(L"click").size(), 1u);
    DestroyHost(host);
}

TEST(OptionGroup, ControlMayRemoveItselfFromItsClickHandler) {
    HostWnd* host = CreateHost(L"MainWindow.xml", 0x16CF0000, 0x10);
    CContainerUI* strip = static_cast<CContainerUI*>(host->Find(L"ui_hl_urltabs")->GetInterface(DUI_CTR_CONTAINER));
    CButtonUI* close = new CButtonUI;
    close->ApplyAttributeList(L"name=\"tab_btnclose9\" width=\"16\" height=\"16\"");
    strip->Add(close);
    host->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName().Find(L"tab_btnclose") >= 0) {
            strip->Remove(msg.pSender);
            EXPECT_EQ(msg.pSender->GetName(), L"tab_btnclose9");  // still valid during the handler
        }
    };
    ASSERT_TRUE(host->pm().TestClick(close));
    Testing::PumpMessages();
    EXPECT_EQ(strip->GetCount(), 4);
    EXPECT_EQ(host->Find(L"tab_btnclose9"), nullptr);
    EXPECT_EQ(host->Senders(L"click"), std::vector<std::wstring>{L"tab_btnclose9"});
    DestroyHost(host);
}

}  // namespace
