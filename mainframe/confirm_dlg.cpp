#include "mainframe/confirm_dlg.h"

#include "ui/messages.h"
#include "ui/window_styles.h"

using namespace DuiLib;

namespace {
ConfirmDlg* g_dialog = nullptr;  // the process-wide slot
}

ConfirmDlg* ConfirmDlg::Current() { return g_dialog; }

ConfirmDlg* ConfirmDlg::Show(HWND owner) {
    if (!g_dialog) {
        g_dialog = new ConfirmDlg();
        g_dialog->Create(owner, L"ConfirmDlg", kDialogWindowStyle, WS_EX_TOPMOST, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr);
        g_dialog->owner_ = owner;
    }
    g_dialog->ShowWindow(true, true);
    g_dialog->InitWindow();
    g_dialog->CenterWindow();
    return g_dialog;
}

// Closed by other means too (system menu, a closing key): the next request makes a new one.
ConfirmDlg::~ConfirmDlg() {
    if (g_dialog == this) g_dialog = nullptr;
}

void ConfirmDlg::InitWindow() {
    ApplyMonitorDpi();
    CenterWindow();
}

void ConfirmDlg::Notify(TNotifyUI& msg) {
    if (msg.sType.CompareNoCase(DUI_MSGTYPE_CLICK) != 0 || !msg.pSender) return;
    CDuiString name = msg.pSender->GetName();
    if (name.CompareNoCase(L"btnOK") == 0) {
        ::SendMessageW(owner_, WM_QUIT_CLIENT, 1, 0);
        ShowWindow(false, false);
    } else if (name.CompareNoCase(L"btnCancel") == 0 || name.CompareNoCase(L"BtnClose") == 0) {
        ::SendMessageW(owner_, WM_QUIT_CLIENT, 0, 0);
        ShowWindow(false, false);
    } else if (name.CompareNoCase(L"TransSelectButton1") == 0) {
        ::SendMessageW(owner_, WM_CONFIRM_SELECT, 1, 0);
    }
}
