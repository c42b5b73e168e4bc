// The native sign-in dialog shown before the main window exists.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "login/account_history.h"
#include "login/client_settings.h"
#include "login/login_request.h"
#include "ui/skinned_window.h"

// One sign-in attempt. The worker thread owns a copy of the inputs and writes only here and,
// through the shared settings owner (which takes its lock), the user name; the dialog reads the
// outcome on the UI thread. Shared by both, so a dialog (or main window) gone during the attempt
// leaves the worker nothing dangling: it finishes into this record, which nobody reads any more.
struct LoginAttempt {
    LoginFields fields;  // inputs copied from the dialog's fields, outputs of the request
    std::shared_ptr<ClientSettings> settings;
    std::atomic<bool> proceed{true};
    std::atomic<bool> succeeded{false};
    // Set by the worker when the request is over, before it posts WM_LOGIN_DONE: the message
    // can come from any process, so only this flag says the outcome may be read.
    std::atomic<bool> finished{false};
    std::mutex lock;
    HWND dialog = nullptr;  // cleared when the dialog goes away
};

class LoginDlg : public SkinnedWindow {
public:
    // Posted by the worker when the attempt is over.
    static constexpr UINT WM_LOGIN_DONE = WM_USER + 0x50;
    static constexpr UINT WM_FOCUS_CONTROL = WM_USER + 1;

    // `fields` outlive the dialog: it sets the server address from the settings, and fills the
    // rest in when an attempt is over.
    LoginDlg(LoginFields& fields, std::shared_ptr<ClientSettings> settings, bool autoLoginAllowed);

    // Creates the window (title, styles, top-most) and runs it modally; returns Close's value.
    UINT Run();

    // Seams for tests: the request the worker makes (RequestLogin by default) and the shell
    // call that opens web pages.
    using RequestFn = bool (*)(LoginFields& fields);
    static void SetRequestForTesting(RequestFn request);
    using OpenPageFn = void (*)(const std::wstring& url);
    static void SetOpenPageForTesting(OpenPageFn open);

    bool LoginInProgress() const { return loginInProgress_; }
    const std::wstring& EncodedPassword() const { return encodedPassword_; }

protected:
    LPCTSTR GetWindowClassName() const override { return L"LoginDlg"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    DuiLib::CDuiString GetSkinFile() override { return L"lm_Login.xml"; }
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    ~LoginDlg() override;
    void OnClick(DuiLib::CControlUI* sender);
    void StartAttempt();
    void OnAttemptDone();
    void ShowError(const std::wstring& text);
    void SetLoginButton(bool busy);
    void DropDownHistory();
    void OnHistorySelected();
    void SelectComboItem(const std::wstring& userNameText);
    bool IsChecked(DuiLib::CCheckBoxUI* box) const { return box && box->GetCheck(); }
    // The box sends "selectchanged", which the dialog does not act upon.
    void SetChecked(DuiLib::CCheckBoxUI* box, bool on) {
        if (box) box->SetCheck(on);
    }
    // A selection the dialog makes itself: its "itemselect" (sent at once, inside the call) is no
    // choice of the user's and fills in nothing.
    void SelectComboIndex(int index);
    static DWORD WINAPI AttemptThread(LPVOID param);

    LoginFields& fields_;
    std::wstring userName_;
    std::wstring encodedPassword_;
    std::shared_ptr<ClientSettings> settings_;
    bool autoLogin_ = false;
    bool skipAutoLoginOnce_ = false;
    bool selectingCombo_ = false;  // inside SelectComboIndex
    bool loginInProgress_ = false;
    bool painted_ = false;  // the first paint is a start-up mark
    bool rememberAtStart_ = false;
    std::shared_ptr<LoginAttempt> attempt_;
    AccountHistory history_;

    DuiLib::CLabelUI* errorLabel_ = nullptr;
    DuiLib::CControlUI* errorIcon_ = nullptr;
    DuiLib::CEditUI* passwordEdit_ = nullptr;
    DuiLib::CEditUI* userNameEdit_ = nullptr;
    DuiLib::CCheckBoxUI* autoLoginBox_ = nullptr;
    DuiLib::CCheckBoxUI* rememberBox_ = nullptr;
    DuiLib::CButtonUI* loginButton_ = nullptr;
    DuiLib::CComboUI* userNameCombo_ = nullptr;
};

// The start-up sequence's login step: the dialog for these fields and settings, shown modally.
void ShowLoginDialog(LoginFields& fields, const std::shared_ptr<ClientSettings>& settings, bool autoLoginAllowed);
