// Window messages of the main window. The client handler and the confirmation dialog report
// to the main window with them; 0x472 may also come from other programs.
#pragma once
#include <windows.h>

#include "common/client_title.h"  // kClientTitle, for the windows that carry it

constexpr UINT WM_TRAYICON = 0x465;         // lParam: the mouse message on the tray icon
constexpr UINT WM_TAB_TITLE = 0x468;        // wParam: browser id, lParam: const wchar_t* title (sent)
constexpr UINT WM_TAB_ADD = 0x469;          // lParam: browser id
constexpr UINT WM_TAB_RELAYOUT = 0x46C;     // lay the current tab out again
constexpr UINT WM_LOAD_URL = 0x46D;         // wParam: an address made by UrlMessages::Create
constexpr UINT WM_QUIT_CLIENT = 0x46E;      // wParam 1 = end, 0 = cancelled; lParam 1 = restart first
constexpr UINT WM_TAB_CLOSE = 0x470;        // wParam: browser id
constexpr UINT WM_MODULE_ACTIVE = 0x471;    // wParam: module index 0..5
constexpr UINT WM_RUN_PAGE_SCRIPT = 0x472;  // wParam: 3 or 4
constexpr UINT WM_CONFIRM_SELECT = 0x402;   // from the confirmation dialog; not acted upon
