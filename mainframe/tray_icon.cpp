#include "mainframe/tray_icon.h"

#include <cwchar>

#include "common/trace.h"

TrayIcon::TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const wchar_t* tip)
    : taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
    data_.cbSize = kRecordSize;
    data_.hWnd = owner;
    data_.uID = 0;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon;
    wcscpy_s(data_.szTip, tip);
    Add();
}

TrayIcon::~TrayIcon() {
    data_.hIcon = nullptr;
    Shell_NotifyIconW(NIM_DELETE, &data_);
}

void TrayIcon::Add() {
    // No icon (no shell yet, or one that refuses it): the window still works through its taskbar
    // button, and a shell that starts later asks again with "TaskbarCreated".
    if (!Shell_NotifyIconW(NIM_ADD, &data_)) TraceFailure(L"adding the tray icon", GetLastError());
}

bool TrayIcon::OnTaskbarCreated(UINT message) {
    if (taskbarCreated_ == 0 || message != taskbarCreated_) return false;
    Add();
    return true;
}
