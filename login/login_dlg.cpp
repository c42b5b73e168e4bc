#include "login/login_dlg.h"

#include <shellapi.h>

#include "common/timeline.h"
#include "common/trace.h"
#include "login/password.h"
#include "ui/messages.h"
#include "ui/window_styles.h"

using namespace DuiLib;

namespace {

const wchar_t kLoginText[] = L"\x767b\x5f55";                                 // 登录
const wchar_t kLoggingInText[] = L"\x767b\x5f55\x4e2d...";                    // 登录中...
const wchar_t kNoUserName[] = L"\x7528\x6237\x540d\x4e0d\x80fd\x4e3a\x7a7a";  // 用户名不能为空
const wchar_t kNoPassword[] = L"\x5bc6\x7801\x4e0d\x80fd\x4e3a\x7a7a";        // 密码不能为空

LoginDlg::RequestFn g_request = &RequestLogin;

void OpenPageInShell(const std::wstring& url) {
    const HINSTANCE opened = ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
    TraceShellExecute(L"opening a page in the shell", opened);
}
LoginDlg::OpenPageFn g_openPage = &OpenPageInShell;

template <typename T>
T* FindAs(CPaintManagerUI& pm, const wchar_t* name, const wchar_t* cls) {
    CControlUI* control = pm.FindControl(name);
    return control ? static_cast<T*>(control->GetInterface(cls)) : nullptr;
}

}  // namespace

void LoginDlg::SetRequestForTesting(RequestFn request) { g_request = request ? request : &RequestLogin; }
void LoginDlg::SetOpenPageForTesting(OpenPageFn open) { g_openPage = open ? open : &OpenPageInShell; }

LoginDlg::LoginDlg(LoginFields& fields, std::shared_ptr<ClientSettings> settings, bool autoLoginAllowed)
    : fields_(fields), settings_(std::move(settings)), skipAutoLoginOnce_(!autoLoginAllowed) {}

LoginDlg::~LoginDlg() {
    if (attempt_) {
        std::lock_guard<std::mutex> guard(attempt_->lock);
        attempt_->dialog = nullptr;
    }
}

UINT LoginDlg::Run() {
    Create(nullptr, kClientTitle, kDialogWindowStyle, WS_EX_TOPMOST, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
           CW_USEDEFAULT, nullptr);
    return ShowModal();
}

void ShowLoginDialog(LoginFields& fields, const std::shared_ptr<ClientSettings>& settings, bool autoLoginAllowed) {
    LoginDlg* dialog = new LoginDlg(fields, settings, autoLoginAllowed);
    dialog->Run();  // the dialog deletes itself when its window is gone
}

void LoginDlg::InitWindow() {
    TimelineMark("login-skin-built");
    errorLabel_ = FindAs<CLabelUI>(Skin(), L"lbl_ErrMsg", DUI_CTR_LABEL);
    errorIcon_ = Skin().FindControl(L"btn_ErrorIcon");
    passwordEdit_ = FindAs<CEditUI>(Skin(), L"edit_password", DUI_CTR_EDIT);
    userNameEdit_ = FindAs<CEditUI>(Skin(), L"edit_username", DUI_CTR_EDIT);
    // The skin may set a smaller limit; no skin may allow more.
    for (CEditUI* edit : {userNameEdit_, passwordEdit_}) {
        if (edit && (edit->GetMaxChar() == 0 || edit->GetMaxChar() > kMaxCredentialChars)) {
            edit->SetMaxChar(static_cast<UINT>(kMaxCredentialChars));
        }
    }
    autoLoginBox_ = FindAs<CCheckBoxUI>(Skin(), L"chk_autologin", DUI_CTR_CHECKBOX);
    rememberBox_ = FindAs<CCheckBoxUI>(Skin(), L"chk_rememberpassword", DUI_CTR_CHECKBOX);
    loginButton_ = FindAs<CButtonUI>(Skin(), L"btn_Login", DUI_CTR_BUTTON);
    userNameCombo_ = FindAs<CComboUI>(Skin(), L"combo_username", DUI_CTR_COMBO);

    fields_.serverBaseUrl = settings_->ServerUrl();

    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 662, 442, SWP_NOMOVE);
    ApplyMonitorDpi();
    CenterWindow();

    settings_->LoadHistory(history_);
    if (userNameCombo_) {
        for (const AccountHistory::Entry& entry : history_.entries()) {
            CListLabelElementUI* item = new CListLabelElementUI;
            item->SetText(entry.userName.c_str());
            userNameCombo_->Add(item);
        }
        SelectComboIndex(0);
    }

    StoredLogin stored = settings_->ReadStoredLogin();
    if (!stored.fileExists) return;
    const std::wstring& storedName = stored.userName;
    const std::wstring& storedPassword = stored.encodedPassword;
    autoLogin_ = stored.autoLogin;
    SetChecked(autoLoginBox_, autoLogin_);
    if (!storedName.empty()) {
        userName_ = storedName;
        if (userNameEdit_) userNameEdit_->SetText(storedName.c_str());
        SelectComboItem(storedName);
    } else if (userNameEdit_) {
        PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(userNameEdit_), 0);
    }
    if (!storedPassword.empty()) {
        encodedPassword_ = storedPassword;  // stored encoded: used as it is
        if (passwordEdit_) passwordEdit_->SetText(storedPassword.c_str());
        SetChecked(rememberBox_, true);
        if (skipAutoLoginOnce_) {
            skipAutoLoginOnce_ = false;
        } else if (autoLogin_) {
            OnClick(loginButton_);
        }
    } else if (passwordEdit_) {
        PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(passwordEdit_), 0);
    }
}

void LoginDlg::SelectComboItem(const std::wstring& text) {
    if (!userNameCombo_) return;
    int match = -1;
    for (int i = 0; i < userNameCombo_->GetCount(); ++i) {
        CControlUI* item = userNameCombo_->GetItemAt(i);
        if (item && _wcsicmp(item->GetText(), text.c_str()) == 0) {
            match = i;
            break;
        }
    }
    SelectComboIndex(match);
}

void LoginDlg::SelectComboIndex(int index) {
    if (!userNameCombo_) return;
    selectingCombo_ = true;
    userNameCombo_->SelectItem(index, false);
    selectingCombo_ = false;
}

LRESULT LoginDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_PAINT:
            if (!painted_) {
                painted_ = true;
                LRESULT result = WindowImplBase::HandleMessage(uMsg, wParam, lParam);
                TimelineMark("login-first-paint");
                return result;
            }
            break;
        case WM_NCLBUTTONDBLCLK:
            return 0;
        case WM_FOCUS_CONTROL: {
            // The parameter is a control pointer; only our own two boxes are accepted, so a
            // message from another program cannot make us touch foreign memory.
            auto* control = reinterpret_cast<CControlUI*>(wParam);
            if (control && (control == userNameEdit_ || control == passwordEdit_)) control->SetFocus();
            return 0;
        }
        case WM_LOGIN_DONE:
            OnAttemptDone();
            return 0;
        case WM_CHAR:
            if (wParam == VK_RETURN) {
                OnClick(loginButton_);
            } else if (wParam == VK_TAB && userNameEdit_ && userNameEdit_->IsFocused() && passwordEdit_) {
                passwordEdit_->SetFocus();
            }
            break;
        default:
            break;
    }
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

void LoginDlg::Notify(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (msg.sType.CompareNoCase(DUI_MSGTYPE_CLICK) == 0) {
        OnClick(sender);
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_TEXTCHANGED) == 0) {
        if (sender && sender == passwordEdit_) {
            std::wstring text = passwordEdit_->GetText().GetData();
            encodedPassword_ = text.empty() ? std::wstring() : EncodePassword(text);
        }
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_RETURN) == 0) {
        OnClick(loginButton_);
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_ITEMSELECT) == 0) {
        if (sender && sender == userNameCombo_ && !selectingCombo_) OnHistorySelected();
    }
}

void LoginDlg::OnClick(CControlUI* sender) {
    if (!sender) return;
    CDuiString name = sender->GetName();
    // A check box reports the click before it changes: "being switched on" means clear now.
    if (name.CompareNoCase(L"lb_remember") == 0) {
        if (IsChecked(rememberBox_)) SetChecked(autoLoginBox_, false);
        SetChecked(rememberBox_, !IsChecked(rememberBox_));
    } else if (name.CompareNoCase(L"chk_rememberpassword") == 0) {
        if (IsChecked(rememberBox_)) SetChecked(autoLoginBox_, false);
    } else if (name.CompareNoCase(L"lb_autologin") == 0) {
        if (IsChecked(autoLoginBox_)) {
            SetChecked(autoLoginBox_, false);
        } else {
            SetChecked(rememberBox_, true);
            SetChecked(autoLoginBox_, true);
        }
    } else if (name.CompareNoCase(L"chk_autologin") == 0) {
        if (!IsChecked(autoLoginBox_)) SetChecked(rememberBox_, true);
    } else if (name.CompareNoCase(L"BtnMinimized") == 0) {
        ::ShowWindow(m_hWnd, SW_SHOWMINIMIZED);
    } else if (name.CompareNoCase(L"BtnClose") == 0 || name.CompareNoCase(L"btnCancel") == 0) {
        if (attempt_) attempt_->proceed = false;
        PostMessage(WM_CLOSE, 0, 0);
    } else if (name.CompareNoCase(L"btn_forgetpwd") == 0) {
        // Only a web address goes to the shell, which would run anything else elevated.
        if (IsWebPageAddress(fields_.serverBaseUrl)) g_openPage(fields_.serverBaseUrl + L"/findPassword");
    } else if (name.CompareNoCase(L"btn_register") == 0) {
        if (IsWebPageAddress(fields_.serverBaseUrl)) g_openPage(fields_.serverBaseUrl + L"/register");
    } else if (name.CompareNoCase(L"btn_Login") == 0) {
        if (!loginInProgress_) StartAttempt();
    } else if (name.CompareNoCase(L"btncombodropdown") == 0) {
        DropDownHistory();
    }
}

void LoginDlg::DropDownHistory() {
    if (!userNameCombo_ || userNameCombo_->IsFocused()) return;
    userNameCombo_->SetFocus();
    std::wstring typed = userNameEdit_ ? userNameEdit_->GetText().GetData() : std::wstring();
    if (!typed.empty()) {
        SelectComboItem(typed);
    } else {
        SelectComboIndex(-1);
    }
    TEventUI event{};
    event.Type = UIEVENT_BUTTONDOWN;
    event.pSender = userNameCombo_;
    event.dwTimestamp = GetTickCount();
    userNameCombo_->Event(event);
}

void LoginDlg::OnHistorySelected() {
    std::wstring text = userNameCombo_->GetText().GetData();
    if (userNameEdit_) userNameEdit_->SetText(text.c_str());
    const AccountHistory::Entry* entry = history_.Find(text);
    if (!entry) {
        if (passwordEdit_) passwordEdit_->SetText(L"");
        return;
    }
    // Program-set text is no typing: the stored encoded password stays as it is.
    if (passwordEdit_) passwordEdit_->SetText(entry->encodedPassword.c_str());
    encodedPassword_ = entry->encodedPassword;
}

void LoginDlg::ShowError(const std::wstring& text) {
    if (errorLabel_) {
        errorLabel_->SetText(text.c_str());
        errorLabel_->SetVisible(!text.empty());
    }
    if (errorIcon_) errorIcon_->SetVisible(!text.empty());
}

void LoginDlg::SetLoginButton(bool busy) {
    if (!loginButton_) return;
    loginButton_->SetText(busy ? kLoggingInText : kLoginText);
    loginButton_->SetEnabled(!busy);
}

// The checks and control reads of an attempt run here on the UI thread; only the request and
// the user name's write before it go to the worker.
void LoginDlg::StartAttempt() {
    TimelineMark("login-attempt");
    loginInProgress_ = true;
    rememberAtStart_ = rememberBox_ ? rememberBox_->GetCheck() : rememberAtStart_;
    ShowError(std::wstring());
    if (userNameEdit_) {
        std::wstring typed = userNameEdit_->GetText().GetData();
        if (typed.empty()) {
            ShowError(kNoUserName);
            PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(userNameEdit_), 0);
            loginInProgress_ = false;
            return;
        }
        userName_ = typed.substr(0, kMaxCredentialChars);
    }
    if (passwordEdit_ && passwordEdit_->GetText().IsEmpty()) {
        ShowError(kNoPassword);
        PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(passwordEdit_), 0);
        loginInProgress_ = false;
        return;
    }
    fields_.userName = userName_;
    fields_.encodedPassword = encodedPassword_;

    auto next = std::make_shared<LoginAttempt>();
    next->fields = fields_;  // the inputs: server address, user name, encoded password
    next->settings = settings_;
    next->dialog = m_hWnd;
    attempt_ = next;
    SetLoginButton(true);

    auto* handed = new std::shared_ptr<LoginAttempt>(next);
    HANDLE thread = CreateThread(nullptr, 0, &LoginDlg::AttemptThread, handed, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
    } else {
        delete handed;
        SetLoginButton(false);
        loginInProgress_ = false;
    }
}

DWORD WINAPI LoginDlg::AttemptThread(LPVOID param) {
    std::unique_ptr<std::shared_ptr<LoginAttempt>> handed(static_cast<std::shared_ptr<LoginAttempt>*>(param));
    std::shared_ptr<LoginAttempt> attempt = *handed;
    if (attempt->proceed) {
        // Kept even when the attempt fails.
        attempt->settings->RecordAttemptUser(attempt->fields.userName);
        TimelineMark("login-request-sent");
        attempt->succeeded = g_request(attempt->fields);
        TimelineMark("login-reply-read");
    }
    attempt->finished = true;
    std::lock_guard<std::mutex> guard(attempt->lock);
    if (attempt->dialog) ::PostMessageW(attempt->dialog, WM_LOGIN_DONE, 0, 0);
    return 0;
}

void LoginDlg::OnAttemptDone() {
    // A forged or repeated message (any process can post it) finds no finished attempt.
    std::shared_ptr<LoginAttempt> done = attempt_;
    if (!done || !done->finished) return;
    attempt_.reset();
    if (done->proceed) {
        fields_.loginToken = done->fields.loginToken;
        fields_.userType = done->fields.userType;
        fields_.loggedIn = done->fields.loggedIn;
        fields_.loginError = done->fields.loginError;
        if (done->succeeded) {
            if (rememberAtStart_) autoLogin_ = IsChecked(autoLoginBox_);
            history_.Clear();
            // What the server accepted, not what the boxes hold now: they stay editable
            // while the request runs.
            settings_->RecordSuccessfulLogin(done->fields.userName, done->fields.encodedPassword, rememberAtStart_,
                                             autoLogin_);
            Close(1);
        } else {
            ShowError(fields_.loginError);
        }
    }
    SetLoginButton(false);
    loginInProgress_ = false;
}
