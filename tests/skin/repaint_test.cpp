// Repaints after changes (the manager skips invalidations while the window is wholly invalid)
// and the process-wide image cache.
#include "skin_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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
        {"window resized", [&](int n) { ::SetWindowPos(hwnd, NULL, 0, 0, 700 + n, 460, SWP_NOMOVE | SWP_NOZORDER); }},
        {"two changes",
         [&](int n) {
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
    HostWnd* host = CreateHost(L"ConfirmDlg.xml", 0x86C80000);  // not visible
    HWND hwnd = host->GetHWND();
    ASSERT_FALSE(::IsWindowVisible(hwnd));
    for (int i = 0; i < 50; ++i) host->pm().NeedUpdate();
    ::ShowWindow(hwnd, SW_SHOWNA);
    EXPECT_TRUE(HasUpdate(hwnd));
    ::UpdateWindow(hwnd);
    EXPECT_FALSE(HasUpdate(hwnd));
    DestroyHost(host);
}

// ---------------------------------------------------------------------------------------------
// Images: one decoded bitmap per file for the whole process; the drawing options stay per draw.

// Draws `desc` over a 40x40 white bitmap through a control of the host and returns the pixels.
std::vector<DWORD> DrawOnWhite(HostWnd* host, const wchar_t* desc, bool* drawn) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 40;
    bi.bmiHeader.biHeight = -40;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(NULL);
    HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    RECT rc = {0, 0, 40, 40};
    ::FillRect(dc, &rc, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    *drawn = host->Find(L"btn_Login")->DrawImage(dc, desc, &rc);
    ::GdiFlush();
    std::vector<DWORD> out(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + 40 * 40);
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    for (DWORD& p : out) p &= 0xFFFFFF;
    return out;
}

std::wstring WriteResource(const wchar_t* name, const std::string& bytes) {
    std::wstring path = CPaintManagerUI::GetResourcePath().GetData() + std::wstring(name);
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
        ::CloseHandle(file);
    }
    return path;
}

TEST(Images, OneDecodePerFileAndMissingOrBrokenFilesDrawNothing) {
    HostWnd* host = CreateHost(L"lm_Login.xml");
    const std::wstring broken = WriteResource(L"test_broken.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
    const std::wstring empty = WriteResource(L"test_empty.png", std::string());
    struct Case {
        const wchar_t* file;
        bool decodes;
    } cases[] = {
        {L"newicon/common/logo.png", true},
        {L"newicon\\common\\logo.png", true},  // either separator: the same file
        {L"newicon/common/no_such.png", false},
        {L"test_broken.png", false},
        {L"test_empty.png", false},
        {L"newicon/common", false},  // a folder
    };
    void* logo = host->pm().GetImage(L"newicon/common/logo.png");
    ASSERT_NE(logo, nullptr);
    for (const Case& c : cases) {
        void* first = host->pm().GetImage(c.file);
        EXPECT_EQ(first != nullptr, c.decodes) << c.file;
        // Asked again (and by another window), the same answer without a second decode.
        EXPECT_EQ(host->pm().GetImage(c.file), first) << c.file;
        if (c.decodes) {
            EXPECT_EQ(first, logo) << c.file;
        }
        bool drawn = true;
        std::vector<DWORD> pixels = DrawOnWhite(host, c.file, &drawn);
        EXPECT_EQ(drawn, c.decodes) << c.file;
        if (!c.decodes) {
            EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), 40 * 40) << c.file;
        }
    }
    HostWnd* other = CreateHost(L"ConfirmDlg.xml");
    EXPECT_EQ(other->pm().GetImage(L"newicon/common/logo.png"), logo);
    DestroyHost(other);
    DestroyHost(host);
    ::DeleteFileW(broken.c_str());
    ::DeleteFileW(empty.c_str());
}

TEST(Images, DrawingOptionsApplyPerDrawNotToTheSharedBitmap) {
    HostWnd* host = CreateHost(L"lm_Login.xml");
    bool drawn = false;
    const std::vector<DWORD> plain = DrawOnWhite(host, L"newicon/common/logo.png", &drawn);
    ASSERT_TRUE(drawn);
    auto inked = [](const std::vector<DWORD>& p) {
        return 40 * 40 - static_cast<int>(std::count(p.begin(), p.end(), 0xFFFFFFu));
    };
    ASSERT_GT(inked(plain), 400);
    struct Case {
        const wchar_t* desc;
        std::function<bool(const std::vector<DWORD>&)> expect;
    } cases[] = {
        // Fully faded: nothing shows.
        {L"file='newicon/common/logo.png' fade='0'", [&](const std::vector<DWORD>& p) { return inked(p) == 0; }},
        // Into the top-left 10x10 only.
        {L"file='newicon/common/logo.png' dest='0,0,10,10'",
         [&](const std::vector<DWORD>& p) {
             for (int y = 0; y < 40; ++y)
                 for (int x = 0; x < 40; ++x)
                     if ((x >= 12 || y >= 12) && p[y * 40 + x] != 0xFFFFFFu) return false;
             return inked(p) > 0;
         }},
        // And the plain draw afterwards is still the same: no option stuck to the bitmap.
        {L"newicon/common/logo.png", [&](const std::vector<DWORD>& p) { return p == plain; }},
    };
    for (const Case& c : cases) {
        std::vector<DWORD> pixels = DrawOnWhite(host, c.desc, &drawn);
        EXPECT_TRUE(drawn) << c.desc;
        EXPECT_TRUE(c.expect(pixels)) << c.desc;
    }
    DestroyHost(host);
}

}  // namespace
