// Shows one of the client's skins with sample content, for screenshots (tools/skin_shots.sh).
// Usage: skin_preview.exe <skin file> <dpi> <seconds> [menu skin]; prints "ready x y w h" once
// painted (with a menu skin, the menu is opened over the window's right part).
#include "UIlib.h"
#include "skin_testing.h"

#include <cstdio>
#include <cwchar>
#include <string>

using namespace DuiLib;

namespace {

class Preview : public WindowImplBase {
public:
    explicit Preview(std::wstring skin) : skin_(std::move(skin)) {}

protected:
    CDuiString GetSkinFolder() override { return L"res/res"; }
    CDuiString GetSkinFile() override { return skin_.c_str(); }
    LPCTSTR GetWindowClassName() const override { return L"SkinPreview"; }
    void OnFinalMessage(HWND) override { ::PostQuitMessage(0); }

private:
    std::wstring skin_;
};

void CALLBACK QuitTimer(HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(0); }

void AddSampleTabs(CPaintManagerUI& pm) {
    CHorizontalLayoutUI* strip = static_cast<CHorizontalLayoutUI*>(
        pm.FindControl(L"ui_hl_urltabs") ? pm.FindControl(L"ui_hl_urltabs")->GetInterface(DUI_CTR_HORIZONTALLAYOUT)
                                         : NULL);
    if (!strip) return;
    const wchar_t* titles[] = {L"工作台", L"客户管理 - 客户列表", L"短信平台"};
    for (int t = 0; t < 3; ++t) {
        int n = strip->GetCount();
        CDuiString s;
        if (n > 4) {
            CLabelUI* sp = new CLabelUI;
            s.Format(
                L"name=\"tab_splitter%d\" width=\"3\" height=\"24\" font=\"18\" align=\"left\" textpadding=\"0,0,0,2\" "
                L"padding=\"0, 0, 0, 0\" text=\"|\" textcolor=\"#FF999999\"",
                n);
            sp->ApplyAttributeList(s);
            strip->Add(sp);
            if (n == 6) sp->SetPadding(RECT{-8, 0, 0, 0});
        }
        COptionUI* tab = new COptionUI;
        s.Format(
            L"align=\"left\" name=\"tab_tab%d\" padding=\"0,0,0,0\" width=\"181\" height=\"24\" "
            L"normalimage=\"newicon/mainfram/bg_header_normal.png\" hotimage=\"newicon/mainfram/bg_header_hover.png\" "
            L"\t\t\tpushedimage=\"newicon/mainfram/bg_header_Click.png\" "
            L"selectedimage=\"newicon/mainfram/bg_header_Click.png\" group=\"ui_grp_webtab\"",
            strip->GetCount());
        tab->ApplyAttributeList(s);
        tab->SetTag(t + 1);
        strip->Add(tab);
        tab->SetFont(16);
        tab->SetText((CDuiString(L"   ") + titles[t]).GetData());
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
    // Second tab selected: no splitter bar on either side of it.
    static_cast<COptionUI*>(strip->GetItemAt(7)->GetInterface(DUI_CTR_OPTION))->Selected(true, false);
    strip->GetItemAt(6)->SetText(L"");
    strip->GetItemAt(9)->SetText(L"");
    if (CControlUI* oa = pm.FindControl(L"btn_IMS")) oa->SetEnabled(false);
}

void FillLogin(CPaintManagerUI& pm) {
    if (CControlUI* c = pm.FindControl(L"edit_username")) c->SetText(L"zhangsan");
    if (CControlUI* c = pm.FindControl(L"edit_password")) c->SetText(L"secret12");
    if (CControlUI* c = pm.FindControl(L"chk_rememberpassword"))
        static_cast<CCheckBoxUI*>(c->GetInterface(DUI_CTR_CHECKBOX))->SetCheck(true);
    if (CControlUI* c = pm.FindControl(L"lbl_ErrMsg")) {
        c->SetText(L"用户名或密码错误");
        c->SetVisible(true);
    }
    if (CControlUI* c = pm.FindControl(L"btn_ErrorIcon")) c->SetVisible(true);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: skin_preview <skin> <dpi> <seconds>\n");
        return 2;
    }
    std::wstring skin(argv[1], argv[1] + strlen(argv[1]));
    int dpi = atoi(argv[2]);
    int seconds = atoi(argv[3]);
    CPaintManagerUI::SetInstance(::GetModuleHandle(NULL));
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + L"res\\res");
    Preview* wnd = new Preview(skin);
    bool main = skin == L"MainWindow.xml";
    wnd->Create(NULL, L"青杉工作台客户端", main ? 0x16CF0000 : 0x96C80000, main ? 0x10 : WS_EX_TOPMOST);
    if (!wnd->GetHWND()) return 1;
    CPaintManagerUI& pm = *wnd->GetPaintManager();
    if (main) {
        ::SetWindowPos(wnd->GetHWND(), NULL, 0, 0, 1024, 640, SWP_NOZORDER | SWP_NOMOVE);
        AddSampleTabs(pm);
    } else if (skin == L"lm_Login.xml") {
        FillLogin(pm);
    }
    pm.SetDPI(dpi);
    ::SetWindowPos(wnd->GetHWND(), NULL, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    wnd->ShowWindow(true, true);
    ::UpdateWindow(wnd->GetHWND());
    Testing::PumpMessages();
    if (argc > 4 && strcmp(argv[4], "combo") == 0) {
        CComboUI* combo = static_cast<CComboUI*>(pm.FindControl(L"combo_username")->GetInterface(DUI_CTR_COMBO));
        for (const wchar_t* t : {L"zhangsan", L"lisi", L"wangwu"}) {
            CListLabelElementUI* item = new CListLabelElementUI;
            item->SetText(t);
            combo->Add(item);
        }
        combo->Activate();
        Testing::PumpMessages();
    } else if (argc > 4) {
        std::wstring menuSkin(argv[4], argv[4] + strlen(argv[4]));
        // Opened like the tray menu, at the screen's bottom-right corner: under Wine on a bare
        // X server a popup drawn over another window of the process shows black in screenshots.
        CMenuWnd* menu = new CMenuWnd();
        menu->Init(NULL, menuSkin.c_str(),
                   POINT{::GetSystemMetrics(SM_CXSCREEN) - 20, ::GetSystemMetrics(SM_CYSCREEN) - 20}, &pm, NULL,
                   eMenuAlignment_Right | eMenuAlignment_Bottom);
        Testing::PumpMessages();
        RECT mr = {};
        ::GetWindowRect(menu->GetHWND(), &mr);
        printf("ready %ld %ld %ld %ld\n", mr.left, mr.top, mr.right - mr.left, mr.bottom - mr.top);
        fflush(stdout);
        ::SetTimer(NULL, 0, (UINT)seconds * 1000, QuitTimer);
        CPaintManagerUI::MessageLoop();
        return 0;
    }
    RECT rc = {};
    ::GetWindowRect(wnd->GetHWND(), &rc);
    printf("ready %ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    fflush(stdout);
    ::SetTimer(NULL, 0, (UINT)seconds * 1000, QuitTimer);
    CPaintManagerUI::MessageLoop();
    return 0;
}
