#include "mainframe/tray_icon.h"

#include <cwchar>

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const wchar_t* tip)
    : taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
    data_.cbSize = kRecordSize;
    data_.hWnd = owner;
    data_.uID = 0;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon;
    wcscpy_s(data_.szTip, tip);
    Shell_NotifyIconW(NIM_ADD, &data_);
}

TrayIcon::~TrayIcon() {
    data_.hIcon = nullptr;
    Shell_NotifyIconW(NIM_DELETE, &data_);
}

bool TrayIcon::OnTaskbarCreated(UINT message) {
    if (taskbarCreated_ == 0 || message != taskbarCreated_) return false;
    Shell_NotifyIconW(NIM_ADD, &data_);
    return true;
}
