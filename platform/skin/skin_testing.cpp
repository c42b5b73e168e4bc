#include "skin_testing.h"

namespace DuiLib {
namespace Testing {

void PumpMessages() {
    MSG msg;
    for (int guard = 0; guard < 10000 && ::PeekMessage(&msg, NULL, 0, 0, PM_REMOVE); ++guard) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessage(&msg);
        }
    }
}

bool ClickControl(CPaintManagerUI* pm, LPCTSTR name) { return pm && pm->TestClick(name); }

bool ClickDropItem(CComboUI* combo, int index) {
    if (!combo || !combo->GetManager()) return false;
    HWND h = combo->GetDropHWND();
    if (!::IsWindow(h)) return false;
    int n = combo->GetCount();
    if (index < 0 || index >= n) return false;
    RECT rc = {};
    ::GetClientRect(h, &rc);
    // Rows have equal height. Wheel to the top, then down until the row is shown, as a user would.
    int rowH = combo->GetManager()->ScaleValue(combo->GetItemHeight());
    int visible = rowH > 0 ? rc.bottom / rowH : 0;
    if (visible <= 0) return false;
    for (int i = 0; i < n; ++i) ::SendMessage(h, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    int top = index >= visible ? index - visible + 1 : 0;
    for (int i = 0; i < top; ++i) ::SendMessage(h, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-WHEEL_DELTA), 0);
    LPARAM at = MAKELPARAM(rc.right / 2, (index - top) * rowH + rowH / 2);
    ::SendMessage(h, WM_MOUSEMOVE, 0, at);
    ::SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessage(h, WM_LBUTTONUP, 0, at);
    return true;
}

namespace {
struct MenuFind {
    HWND found;
};
BOOL CALLBACK FindMenuProc(HWND h, LPARAM lp) {
    wchar_t cls[64] = {};
    ::GetClassNameW(h, cls, 64);
    if (wcscmp(cls, L"DuiMenuWnd") == 0 && ::IsWindowVisible(h)) {
        reinterpret_cast<MenuFind*>(lp)->found = h;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND GetOpenMenuWindow() {
    MenuFind f = {NULL};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindMenuProc, (LPARAM)&f);
    return f.found;
}

bool ClickMenuItem(LPCTSTR name) {
    HWND h = GetOpenMenuWindow();
    if (!h) return false;
    CMenuWnd* menu = static_cast<CMenuWnd*>(reinterpret_cast<CWindowWnd*>(::GetWindowLongPtr(h, GWLP_USERDATA)));
    return menu && menu->GetManager()->TestClick(name);
}

bool TypeText(CPaintManagerUI* pm, LPCTSTR name, LPCTSTR text) {
    if (!pm || !text) return false;
    CEditUI* edit = static_cast<CEditUI*>(pm->FindControl(name) ? pm->FindControl(name)->GetInterface(DUI_CTR_EDIT) : NULL);
    if (!edit || !::IsWindow(edit->GetNativeWindow())) return false;
    if (!pm->TestClick(edit)) return false;
    HWND h = edit->GetNativeWindow();
    for (const wchar_t* p = text; *p; ++p) ::SendMessage(h, WM_CHAR, (WPARAM)*p, 1);
    return true;
}

void PressKey(UINT vk) {
    HWND h = ::GetFocus();
    if (!h) return;
    MSG msg = {h, WM_KEYDOWN, (WPARAM)vk, 1, 0, {0, 0}};
    if (!CPaintManagerUI::TranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessage(&msg);
    }
    MSG up = {h, WM_KEYUP, (WPARAM)vk, (LPARAM)0xC0000001, 0, {0, 0}};
    if (!CPaintManagerUI::TranslateMessage(&up)) ::DispatchMessage(&up);
    PumpMessages();
}

} // namespace Testing
} // namespace DuiLib
