// Test helpers: drive controls through the same message path real input takes.
#pragma once

#include "UIlib.h"

namespace DuiLib {
namespace Testing {

// Runs the thread's pending messages (no waiting).
void PumpMessages();
// Sends a real left button down/up pair to the control's centre through the window.
bool ClickControl(CPaintManagerUI* pm, LPCTSTR name);
// Clicks item i of an open combo drop-down through the popup's mouse handling.
bool ClickDropItem(CComboUI* combo, int index);
// Clicks the menu item of that name in the open menu window(s).
bool ClickMenuItem(LPCTSTR name);
// Types text into an edit control's native box as keyboard input would (WM_CHAR per char).
bool TypeText(CPaintManagerUI* pm, LPCTSTR name, LPCTSTR text);
// Sends a key down/up pair to the window that has keyboard focus.
void PressKey(UINT vk);
// The open menu window, or NULL.
HWND GetOpenMenuWindow();

} // namespace Testing
} // namespace DuiLib
