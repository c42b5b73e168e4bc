#include "mainframe/tray_icon.h"

#include <cwchar>

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const wchar_t* tip)
    : taskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")) {
    data.cbSize = 956;
    data.hWnd = owner;
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    wcscpy_s(data.szTip, tip);
    Shell_NotifyIconW(NIM_ADD, &data);
}

TrayIcon::~TrayIcon() {
    data.hIcon = nullptr;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

bool TrayIcon::OnTaskbarCreated(UINT message) {
    if (taskbarCreated == 0 || message != taskbarCreated) return false;
    Shell_NotifyIconW(NIM_ADD, &data);
    return true;
}
