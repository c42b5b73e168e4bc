#include "login/login_dlg.h"

#include <shellapi.h>

#include "ui/messages.h"
#include "common/timeline.h"
#include "login/login_records.h"
#include "login/password.h"
#include "login/settings.h"

using namespace DuiLib;

namespace {

const wchar_t kLoginText[] = L"\x767b\x5f55";                                   // 登录
const wchar_t kLoggingInText[] = L"\x767b\x5f55\x4e2d...";                      // 登录中...
const wchar_t kNoUserName[] = L"\x7528\x6237\x540d\x4e0d\x80fd\x4e3a\x7a7a";   // 用户名不能为空
const wchar_t kNoPassword[] = L"\x5bc6\x7801\x4e0d\x80fd\x4e3a\x7a7a";         // 密码不能为空

LoginDlg::RequestFn g_request = &RequestLogin;

void OpenPageInShell(const std::wstring& url) {
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
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

LoginDlg::LoginDlg(LoginFields& fields, bool autoLoginAllowed, const std::wstring& appDir)
    : fields(fields), appDir(appDir), skipAutoLoginOnce(!autoLoginAllowed) {}

LoginDlg::~LoginDlg() {
    if (attempt) {
        std::lock_guard<std::mutex> guard(attempt->lock);
        attempt->dialog = nullptr;
    }
}

UINT LoginDlg::Run() {
    Create(nullptr, kClientTitle, 0x96C80000, WS_EX_TOPMOST, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
           CW_USEDEFAULT, nullptr);
    return ShowModal();
}

void ShowLoginDialog(LoginFields& fields, const std::wstring& appDir, bool autoLoginAllowed) {
    LoginDlg* dialog = new LoginDlg(fields, autoLoginAllowed, appDir);
    dialog->Run();  // the dialog deletes itself when its window is gone
}

void LoginDlg::InitWindow() {
    TimelineMark("login-skin-built");
    errorLabel = FindAs<CLabelUI>(m_PaintManager, L"lbl_ErrMsg", DUI_CTR_LABEL);
    errorIcon = m_PaintManager.FindControl(L"btn_ErrorIcon");
    passwordEdit = FindAs<CEditUI>(m_PaintManager, L"edit_password", DUI_CTR_EDIT);
    userNameEdit = FindAs<CEditUI>(m_PaintManager, L"edit_username", DUI_CTR_EDIT);
    // The skin may set a smaller limit; no skin may allow more.
    for (CEditUI* edit : {userNameEdit, passwordEdit}) {
        if (edit && (edit->GetMaxChar() == 0 || edit->GetMaxChar() > kMaxCredentialChars)) {
            edit->SetMaxChar(static_cast<UINT>(kMaxCredentialChars));
        }
    }
    autoLoginBox = FindAs<CCheckBoxUI>(m_PaintManager, L"chk_autologin", DUI_CTR_CHECKBOX);
    rememberBox = FindAs<CCheckBoxUI>(m_PaintManager, L"chk_rememberpassword", DUI_CTR_CHECKBOX);
    loginButton = FindAs<CButtonUI>(m_PaintManager, L"btn_Login", DUI_CTR_BUTTON);
    userNameCombo = FindAs<CComboUI>(m_PaintManager, L"combo_username", DUI_CTR_COMBO);

    fields.serverBaseUrl = MainConfig(appDir).ServerUrl();

    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 662, 442, SWP_NOMOVE);
    ApplyMonitorDpi();
    CenterWindow();

    const std::wstring configPath = ConfigFile::PathIn(appDir);
    history.SetFile(configPath);
    history.Load();
    if (userNameCombo) {
        for (const AccountHistory::Entry& entry : history.entries()) {
            CListLabelElementUI* item = new CListLabelElementUI;
            item->SetText(entry.userName.c_str());
            userNameCombo->Add(item);
        }
        userNameCombo->SelectItem(0, false, false);
    }

    StoredLogin stored = ReadStoredLogin(configPath);
    if (!stored.fileExists) return;
    const std::wstring& storedName = stored.userName;
    const std::wstring& storedPassword = stored.encodedPassword;
    autoLogin = stored.autoLogin;
    SetChecked(autoLoginBox, autoLogin);
    if (!storedName.empty()) {
        userName = storedName;
        if (userNameEdit) userNameEdit->SetText(storedName.c_str());
        SelectComboItem(storedName);
    } else if (userNameEdit) {
        PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(userNameEdit), 0);
    }
    if (!storedPassword.empty()) {
        encodedPassword = storedPassword;  // stored encoded: used as it is
        if (passwordEdit) passwordEdit->SetText(storedPassword.c_str());
        SetChecked(rememberBox, true);
        if (skipAutoLoginOnce) {
            skipAutoLoginOnce = false;
        } else if (autoLogin) {
            OnClick(loginButton);
        }
    } else if (passwordEdit) {
        PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(passwordEdit), 0);
    }
}

void LoginDlg::SelectComboItem(const std::wstring& text) {
    if (!userNameCombo) return;
    int match = -1;
    for (int i = 0; i < userNameCombo->GetCount(); ++i) {
        CControlUI* item = userNameCombo->GetItemAt(i);
        if (item && _wcsicmp(item->GetText(), text.c_str()) == 0) {
            match = i;
            break;
        }
    }
    userNameCombo->SelectItem(match, false, false);
}

LRESULT LoginDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_PAINT:
            if (!painted) {
                painted = true;
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
            if (control && (control == userNameEdit || control == passwordEdit)) control->SetFocus();
            return 0;
        }
        case WM_LOGIN_DONE:
            OnAttemptDone();
            return 0;
        case WM_CHAR:
            if (wParam == VK_RETURN) {
                OnClick(loginButton);
            } else if (wParam == VK_TAB && userNameEdit && userNameEdit->IsFocused() && passwordEdit) {
                passwordEdit->SetFocus();
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
        if (sender && sender == passwordEdit) {
            std::wstring text = passwordEdit->GetText().GetData();
            encodedPassword = text.empty() ? std::wstring() : EncodePassword(text);
        }
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_RETURN) == 0) {
        OnClick(loginButton);
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_ITEMSELECT) == 0) {
        if (sender && sender == userNameCombo) OnHistorySelected();
    }
}

void LoginDlg::OnClick(CControlUI* sender) {
    if (!sender) return;
    CDuiString name = sender->GetName();
    // A check box reports the click before it changes: "being switched on" means clear now.
    if (name.CompareNoCase(L"lb_remember") == 0) {
        if (IsChecked(rememberBox)) SetChecked(autoLoginBox, false);
        SetChecked(rememberBox, !IsChecked(rememberBox));
    } else if (name.CompareNoCase(L"chk_rememberpassword") == 0) {
        if (IsChecked(rememberBox)) SetChecked(autoLoginBox, false);
    } else if (name.CompareNoCase(L"lb_autologin") == 0) {
        if (IsChecked(autoLoginBox)) {
            SetChecked(autoLoginBox, false);
        } else {
            SetChecked(rememberBox, true);
            SetChecked(autoLoginBox, true);
        }
    } else if (name.CompareNoCase(L"chk_autologin") == 0) {
        if (!IsChecked(autoLoginBox)) SetChecked(rememberBox, true);
    } else if (name.CompareNoCase(L"BtnMinimized") == 0) {
        ::ShowWindow(m_hWnd, SW_SHOWMINIMIZED);
    } else if (name.CompareNoCase(L"BtnClose") == 0 || name.CompareNoCase(L"btnCancel") == 0) {
        if (attempt) attempt->proceed = false;
        PostMessage(WM_CLOSE, 0, 0);
    } else if (name.CompareNoCase(L"btn_forgetpwd") == 0) {
        g_openPage(fields.serverBaseUrl + L"/findPassword");
    } else if (name.CompareNoCase(L"btn_register") == 0) {
        g_openPage(fields.serverBaseUrl + L"/register");
    } else if (name.CompareNoCase(L"btn_Login") == 0) {
        if (!loginInProgress) StartAttempt();
    } else if (name.CompareNoCase(L"btncombodropdown") == 0) {
        DropDownHistory();
    }
}

void LoginDlg::DropDownHistory() {
    if (!userNameCombo || userNameCombo->IsFocused()) return;
    userNameCombo->SetFocus();
    std::wstring typed = userNameEdit ? userNameEdit->GetText().GetData() : std::wstring();
    if (!typed.empty()) {
        SelectComboItem(typed);
    } else {
        userNameCombo->SelectItem(-1, false, false);
    }
    TEventUI event{};
    event.Type = UIEVENT_BUTTONDOWN;
    event.pSender = userNameCombo;
    event.dwTimestamp = GetTickCount();
    userNameCombo->Event(event);
}

void LoginDlg::OnHistorySelected() {
    std::wstring text = userNameCombo->GetText().GetData();
    if (userNameEdit) userNameEdit->SetText(text.c_str());
    const AccountHistory::Entry* entry = history.Find(text);
    if (!entry) {
        if (passwordEdit) passwordEdit->SetText(L"");
        return;
    }
    // Program-set text is no typing: the stored encoded password stays as it is.
    if (passwordEdit) passwordEdit->SetText(entry->encodedPassword.c_str());
    encodedPassword = entry->encodedPassword;
}

void LoginDlg::ShowError(const std::wstring& text) {
    if (errorLabel) {
        errorLabel->SetText(text.c_str());
        errorLabel->SetVisible(!text.empty());
    }
    if (errorIcon) errorIcon->SetVisible(!text.empty());
}

void LoginDlg::SetLoginButton(bool busy) {
    if (!loginButton) return;
    loginButton->SetText(busy ? kLoggingInText : kLoginText);
    loginButton->SetEnabled(!busy);
}

// The checks and control reads of an attempt run here on the UI thread; only the request and
// the settings-file writes around it go to the worker.
void LoginDlg::StartAttempt() {
    TimelineMark("login-attempt");
    loginInProgress = true;
    rememberAtStart = rememberBox ? rememberBox->GetCheck() : rememberAtStart;
    ShowError(std::wstring());
    if (userNameEdit) {
        std::wstring typed = userNameEdit->GetText().GetData();
        if (typed.empty()) {
            ShowError(kNoUserName);
            PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(userNameEdit), 0);
            loginInProgress = false;
            return;
        }
        userName = typed.substr(0, kMaxCredentialChars);
    }
    if (passwordEdit && passwordEdit->GetText().IsEmpty()) {
        ShowError(kNoPassword);
        PostMessage(WM_FOCUS_CONTROL, reinterpret_cast<WPARAM>(passwordEdit), 0);
        loginInProgress = false;
        return;
    }
    fields.userName = userName;
    fields.encodedPassword = encodedPassword;

    auto next = std::make_shared<LoginAttempt>();
    next->fields = fields;  // the inputs: server address, user name, encoded password
    next->configFile = ConfigFile::PathIn(appDir);
    next->dialog = m_hWnd;
    attempt = next;
    SetLoginButton(true);

    auto* handed = new std::shared_ptr<LoginAttempt>(next);
    HANDLE thread = CreateThread(nullptr, 0, &LoginDlg::AttemptThread, handed, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
    } else {
        delete handed;
        SetLoginButton(false);
        loginInProgress = false;
    }
}

DWORD WINAPI LoginDlg::AttemptThread(LPVOID param) {
    std::unique_ptr<std::shared_ptr<LoginAttempt>> handed(static_cast<std::shared_ptr<LoginAttempt>*>(param));
    std::shared_ptr<LoginAttempt> attempt = *handed;
    if (attempt->proceed) {
        // Kept even when the attempt fails.
        ConfigFile(attempt->configFile).SetUserName(attempt->fields.userName);
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
    std::shared_ptr<LoginAttempt> done = attempt;
    if (!done || !done->finished) return;
    attempt.reset();
    if (done->proceed) {
        fields.loginToken = done->fields.loginToken;
        fields.userType = done->fields.userType;
        fields.loggedIn = done->fields.loggedIn;
        fields.loginError = done->fields.loginError;
        if (done->succeeded) {
            if (rememberAtStart) autoLogin = IsChecked(autoLoginBox);
            history.Clear();
            // What the server accepted, not what the boxes hold now: they stay editable
            // while the request runs.
            RecordSuccessfulLogin(done->configFile, done->fields.userName, done->fields.encodedPassword,
                                  rememberAtStart, autoLogin);
            Close(1);
        } else {
            ShowError(fields.loginError);
        }
    }
    SetLoginButton(false);
    loginInProgress = false;
}
