// Repaints after changes (the manager skips invalidations while the window is wholly invalid)
// and the process-wide image cache.
#include "skin_host.h"

#include <gtest/gtest.h>

#include <gdiplus.h>

#include <fstream>
#include <functional>
#include <string>

using namespace DuiLib;
using namespace skintest;

namespace {

bool HasUpdate(HWND hwnd) { return ::GetUpdateRect(hwnd, NULL, FALSE) != FALSE; }

// Eats WM_PAINT after validating the window itself, as a filter drawing on its own would.
struct PaintEater : IMessageFilterUI {
    bool active = false;
    LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override {
        if (!active || uMsg != WM_PAINT) return 0;
        bHandled = true;
        return 0;
    }
};

TEST(Repaint, EveryKindOfChangeAfterAPaintIsPaintedAgain) {
    HostWnd* host = CreateHost(L"lm_Login.xml");
    HWND hwnd = host->GetHWND();
    ::ShowWindow(hwnd, SW_SHOWNA);
    // Each change takes a number, so that doing it again changes something again.
    struct Case {
        const char* what;
        std::function<void(int)> change;
    } cases[] = {
        {"background colour", [&](int n) { host->Find(L"btn_Login")->SetBkColor(0xFF000000 | n); }},
        {"label text", [&](int n) { host->Find(L"lbl_form_title")->SetText(std::to_wstring(n).c_str()); }},
        {"visibility", [&](int n) { host->Find(L"lbl_brand_foot")->SetVisible(n % 2 == 0); }},
        {"layout request", [&](int) { host->pm().NeedUpdate(); }},
        {"whole window", [&](int) { host->pm().Invalidate(); }},
        {"window resized",
         [&](int n) { ::SetWindowPos(hwnd, NULL, 0, 0, 700 + n, 460, SWP_NOMOVE | SWP_NOZORDER); }},
        {"two changes", [&](int n) {
             host->Find(L"btn_Login")->SetBkColor(0xFF000000 | n);
             host->Find(L"lbl_form_hint")->SetText(std::to_wstring(n).c_str());
         }},
    };
    int n = 1;
    for (const Case& c : cases) {
        // Twice each: a paint must leave no stale "already invalid" behind.
        for (int round = 0; round < 2; ++round) {
            ::UpdateWindow(hwnd);
            ASSERT_FALSE(HasUpdate(hwnd)) << c.what;
            c.change(n++);
            EXPECT_TRUE(HasUpdate(hwnd)) << c.what << ", round " << round;
        }
    }
    DestroyHost(host);
}

TEST(Repaint, AFilterThatAnswersThePaintDoesNotSilenceLaterChanges) {
    HostWnd* host = CreateHost(L"ConfirmDlg.xml");
    HWND hwnd = host->GetHWND();
    ::ShowWindow(hwnd, SW_SHOWNA);
    ::UpdateWindow(hwnd);
    PaintEater eater;
    host->pm().AddMessageFilter(&eater);
    host->pm().Invalidate();
    // The filter answers WM_PAINT without painting; the window validates itself here instead.
    eater.active = true;
    ::SendMessage(hwnd, WM_PAINT, 0, 0);
    ::ValidateRect(hwnd, NULL);
    eater.active = false;
    ASSERT_FALSE(HasUpdate(hwnd));
    host->pm().Invalidate();
    EXPECT_TRUE(HasUpdate(hwnd));
    host->pm().RemoveMessageFilter(&eater);
    DestroyHost(host);
}

TEST(Repaint, ChangesBeforeTheWindowIsShownArePaintedWhenItIs) {
    HostWnd* host = CreateHost(L"ConfirmDlg.xml", 0x86C80000);   // not visible
    HWND hwnd = host->GetHWND();
    ASSERT_FALSE(::IsWindowVisible(hwnd));
    for (int i = 0; i < 50; ++i) host->pm().NeedUpdate();
    ::ShowWindow(hwnd, SW_SHOWNA);
    EXPECT_TRUE(HasUpdate(hwnd));
    ::UpdateWindow(hwnd);
    EXPECT_FALSE(HasUpdate(hwnd));
    DestroyHost(host);
}

}  // namespace
