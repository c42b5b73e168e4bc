// The client's icon in the notification area: there from construction to destruction, and put
// back when Explorer starts again (it forgets every icon then).
#pragma once
#include <windows.h>
#include <shellapi.h>

class TrayIcon {
public:
    // The record size Windows expects: 956 bytes in the 32-bit program (the Vista-era record),
    // the whole record in the 64-bit one, where 956 matches no size Windows knows.
    static constexpr DWORD kRecordSize = sizeof(void*) == 4 ? 956 : sizeof(NOTIFYICONDATAW);

    // Adds the icon; its mouse messages reach `owner` as `callbackMessage` (lParam: the mouse
    // message).
    TrayIcon(HWND owner, UINT callbackMessage, HICON icon, const wchar_t* tip);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // True for Explorer's "TaskbarCreated" message, after adding the icon again: without it a
    // hidden window could not be reached any more.
    bool OnTaskbarCreated(UINT message);
    const NOTIFYICONDATAW& record() const { return data_; }

private:
    void Add();  // NIM_ADD; a refusal is traced

    NOTIFYICONDATAW data_{};
    UINT taskbarCreated_ = 0;
};
