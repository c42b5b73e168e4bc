// The window styles the client creates its windows with.
#pragma once
#include <windows.h>

// The main window: an overlapped window with caption, frame and both boxes.
constexpr DWORD kMainWindowStyle = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW;
// The login and confirmation dialogs: a popup with caption and system menu, no sizing frame.
constexpr DWORD kDialogWindowStyle =
    WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
// A browser inside the main window.
constexpr DWORD kBrowserChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;

static_assert(kMainWindowStyle == 0x16CF0000, "main window style");
static_assert(kDialogWindowStyle == 0x96C80000, "dialog style");
static_assert(kBrowserChildStyle == 0x56010000, "browser child style");
