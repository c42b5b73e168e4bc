// Runs the real login dialog modally and drives it from inside its own modal loop, with the
// settings files beside the test program saved and restored around each test.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "login/login_dlg.h"
#include "mainframe/main_frame_wnd.h"
#include "ui/skin.h"
#include "skin_testing.h"

namespace logintest {

// The open dialog as a script sees it. `dlg` and `pm` are valid only while Alive().
struct Dialog {
    HWND hwnd = nullptr;
    LoginDlg* dlg = nullptr;
    DuiLib::CPaintManagerUI* pm = nullptr;

    bool Alive() const { return ::IsWindow(hwnd) != FALSE; }
    DuiLib::CControlUI* Find(const wchar_t* name) const { return pm->FindControl(name); }
    DuiLib::CEditUI* Edit(const wchar_t* name) const;
    DuiLib::CCheckBoxUI* Box(const wchar_t* name) const;
    DuiLib::CComboUI* Combo() const;
    std::wstring Text(const wchar_t* name) const;
    bool Visible(const wchar_t* name) const;
    bool Click(const wchar_t* name) const { return DuiLib::Testing::ClickControl(pm, name); }
    bool Type(const wchar_t* name, const wchar_t* text) const { return DuiLib::Testing::TypeText(pm, name, text); }
    // The name of the control that has the skin focus, or "" for none.
    std::wstring FocusName() const;
};

using Script = std::function<void(Dialog&)>;

// Shows the dialog as the start-up does (ShowLoginDialog) or through LoginDlg::Run (to see the
// modal result), runs `script` once its modal loop is running, and makes sure the window is
// gone before returning. Returns the modal result (Run) or 0 (ShowLoginDialog); a dialog the
// script left open is closed with kLeftOpen.
constexpr UINT kLeftOpen = 0xC105ED;
UINT RunDialog(MainFrameWnd& frame, bool autoLoginAllowed, Script script, bool viaShowLoginDialog = false);

// Pumps messages until `done` holds; false when it still does not after a generous cap (the
// guard against a hang, not a timing claim).
bool PumpUntil(const std::function<bool()>& done);
// Pumps whatever is queued now, a few rounds.
void Settle();

// One MainFrameWnd for the whole program (its destructor ends the message loop of the thread),
// with the login fields reset for each test.
MainFrameWnd& FreshFrame();
const std::wstring& AppDir();

// The request seam: records the fields each attempt sends, can hold the worker until the test
// releases it, and answers as configured.
struct FakeRequest {
    std::mutex lock;
    std::condition_variable changed;
    bool hold = false;
    int calls = 0;
    int returned = 0;
    LoginFields sent;
    bool result = true;
    LoginFields answer;  // loginToken, userType, loggedIn, loginError are copied out

    static FakeRequest& Get();
    void Reset();
    void Release();
    int Calls();
    int Returned();
    static bool Request(LoginFields& fields);
};

// config.bin / maincfg.ini beside the program.
std::wstring ConfigPath();
std::wstring MainCfgPath();
std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     const wchar_t* fallback = L"<missing>");
void WriteIni(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* value);

// Saves config.bin and maincfg.ini, removes them for the test and puts them back afterwards.
class SettingsGuard {
public:
    SettingsGuard();
    ~SettingsGuard();

private:
    struct Saved {
        std::wstring path;
        bool existed = false;
        std::string bytes;
    };
    Saved saved_[2];
};

// The password inside an encoded password: drop the inserted letter, base64-decode, UTF-8.
std::wstring DecodePassword(const std::wstring& encoded);

}  // namespace logintest
