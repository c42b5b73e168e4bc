#include "skin_host.h"

using namespace DuiLib;

namespace skintest {

std::vector<std::wstring> HostWnd::Senders(const wchar_t* type) const {
    std::vector<std::wstring> out;
    for (const Note& n : notes)
        if (n.type == type) out.push_back(n.sender);
    return out;
}

void HostWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_WINDOWINIT) windowInitAfterInit = initCalled;
    notes.push_back(Note{msg.sType.GetData(), msg.pSender ? msg.pSender->GetName().GetData() : L""});
    if (onNotify) onNotify(msg);
}

LRESULT HostWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (uMsg == WM_MENUCLICK) {
        MenuCmd* cmd = reinterpret_cast<MenuCmd*>(wParam);
        if (cmd) {
            menuPicks.push_back(MenuPick{cmd->szName, cmd->szUserData, cmd->szText, cmd->bChecked});
            m_PaintManager.DeletePtr(cmd);
        }
        bHandled = TRUE;
        return 0;
    }
    if (onCustom) onCustom(uMsg, wParam, lParam);
    bHandled = FALSE;
    return 0;
}

void HostWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    if (destroyedFlag) *destroyedFlag = true;
    if (deleteOnFinal_) delete this;
}

void SetUpSkinPaths() {
    CPaintManagerUI::SetInstance(::GetModuleHandle(NULL));
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + L"res\\res");
}

HostWnd* CreateHost(const wchar_t* skin, DWORD style, DWORD exStyle) {
    SetUpSkinPaths();
    HostWnd* host = new HostWnd(skin);
    host->Create(NULL, L"skin test", style, exStyle);
    Testing::PumpMessages();
    return host;
}

void DestroyHost(HostWnd* host) {
    if (!host) return;
    if (::IsWindow(host->GetHWND())) ::DestroyWindow(host->GetHWND());
    Testing::PumpMessages();
    delete host;
}

}  // namespace skintest
