#include "mainframe/main_frame_wnd.h"

#include "browser/client_handler.h"
#include "common/module_path.h"
#include "common/text.h"
#include "common/timeline.h"
#include "common/trace.h"
#include "include/cef_request_context.h"
#include "login/client_settings.h"
#include "mainframe/confirm_dlg.h"
#include "mainframe/tab_logic.h"
#include "mainframe/update_check.h"
#include "mainframe/url_messages.h"
#include "process/process_exit.h"
#include "process/single_instance.h"
#include "res/resource.h"
#include "ui/geometry.h"
#include "ui/messages.h"

using namespace DuiLib;

namespace {

MainFrameWnd::LoginStep g_loginStep = nullptr;

// The tray menu and the system menu: one of each at a time, replaced on every opening.
HWND g_trayMenu = nullptr;
HWND g_systemMenu = nullptr;

void OpenMenu(HWND& slot, LPCTSTR skin, CPaintManagerUI* manager, DWORD alignment) {
    if (slot && IsWindow(slot)) DestroyWindow(slot);
    POINT cursor{};
    GetCursorPos(&cursor);
    CMenuWnd* menu = new CMenuWnd();
    menu->Init(nullptr, skin, cursor, manager, nullptr, alignment);
    slot = menu->GetHWND();
}

// Outside reference sites of the optional demo pages ("tabTest").
struct DemoOption {
    const wchar_t* name;
    const wchar_t* url;  // nullptr: the page hides the browser
    int page;
};
const DemoOption kDemoOptions[] = {
    {L"TbOptSearchWord", L"https://www.example.com/", 0},
    {L"OptionDemo2", L"https://www.example.org/", 1},
    {L"OptionDemo3", nullptr, 2},
    {L"OptionDemo4", nullptr, 3},
    {L"OptionDemo5", nullptr, 4},
    {L"OptionDemo6", L"https://www.example.net/", 5},
    {L"OptionDemo7", nullptr, 6},
};

CTabLayoutUI* AsTabLayout(CControlUI* control) {
    return control ? static_cast<CTabLayoutUI*>(control->GetInterface(DUI_CTR_TABLAYOUT)) : nullptr;
}

}  // namespace

MainFrameWnd::MainFrameWnd() = default;

MainFrameWnd::~MainFrameWnd() {
    // The handler reads the server address from here; it must not outlive these fields.
    ClientHandler::Instance()->ForgetServerAddress(&login_.serverBaseUrl);
    PostQuitMessage(0);
}

const std::wstring& MainFrameWnd::GetExeDir(HINSTANCE instance) {
    if (exePath_.empty()) {
        exePath_ = ModuleFileName(instance);
        size_t slash = exePath_.rfind(L'\\');
        exeDir_ = slash == std::wstring::npos ? exePath_ : exePath_.substr(0, slash);
        settings_ = std::make_shared<ClientSettings>(exeDir_);
    }
    return exeDir_;
}

const std::shared_ptr<ClientSettings>& MainFrameWnd::Settings() {
    GetExeDir(CPaintManagerUI::GetInstance());
    return settings_;
}

void MainFrameWnd::SetLoginStep(LoginStep step) { g_loginStep = step; }

void MainFrameWnd::RunLoginStep(bool autoLoginAllowed) {
    if (g_loginStep) g_loginStep(login_, Settings(), autoLoginAllowed);
}

bool MainFrameWnd::RequestLogin() { return ::RequestLogin(login_); }

void MainFrameWnd::CheckForUpdate() {
    std::wstring document = UpdaterCommandLine(m_hWnd, login_.serverBaseUrl, AcceptPointForToday(),
                                               GetProductVersion(CPaintManagerUI::GetInstance()));
    std::wstring updater = GetExeDir(CPaintManagerUI::GetInstance()) + L"\\quorvupdate.exe";
    // Without an updater the client runs on as it is; the failure is only traced.
    const HINSTANCE started = ShellExecuteW(nullptr, L"open", updater.c_str(), document.c_str(), L"", SW_HIDE);
    TraceShellExecute(L"starting quorvupdate.exe", started);
}

// ---------------------------------------------------------------------------------------------
// Window life cycle

void MainFrameWnd::InitWindow() {
    TimelineMark("main-skin-built");
    CControlUI* strip = Find(L"ui_hl_urltabs");
    strip_.Attach(strip ? static_cast<CHorizontalLayoutUI*>(strip->GetInterface(DUI_CTR_HORIZONTALLAYOUT)) : nullptr);
    ClientHandler::Instance()->SetMainWindow(m_hWnd, &login_.serverBaseUrl);
    const HICON trayIcon = LoadIconW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(IDI_CLIENT_TRAY));
    trayIcon_ = std::make_unique<TrayIcon>(m_hWnd, WM_TRAYICON, trayIcon, kClientTitle);
    FindModuleButtons();
    browserMarker_ = Find(L"lbl_splitterbrowser");
    OpenClientLogin();
    PostMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    showState_ = 3;
    ApplyMonitorDpi();
}

LRESULT MainFrameWnd::ResponseDefaultKeyEvent(WPARAM wParam) {
    // Esc never closes or hides the main window.
    return wParam == VK_ESCAPE ? TRUE : FALSE;
}

LRESULT MainFrameWnd::OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (tabs_.Current() >= 0) LayoutBrowser(tabs_.Current());
    WindowImplBase::OnSize(uMsg, wParam, lParam, bHandled);
    return 0;
}

void MainFrameWnd::SetCaptionButtons(bool maximized) {
    if (CControlUI* max = Find(L"BtnMax")) max->SetVisible(!maximized);
    if (CControlUI* restore = Find(L"BtnRestore")) restore->SetVisible(maximized);
}

LRESULT MainFrameWnd::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    bool wasZoomed = ::IsZoomed(m_hWnd) != FALSE;
    CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    bool zoomed = ::IsZoomed(m_hWnd) != FALSE;
    if (zoomed != wasZoomed) {
        SetCaptionButtons(zoomed);
        showState_ = zoomed ? 3 : 1;
    }
    bHandled = TRUE;
    return 0;
}

LRESULT MainFrameWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_PAINT:
            if (!painted_) {
                painted_ = true;
                LRESULT result = WindowImplBase::HandleMessage(uMsg, wParam, lParam);
                TimelineMark("main-first-paint");
                return result;
            }
            break;
        case WM_SHOWWINDOW:
            if (wParam == 1) LayoutBrowser(tabs_.Current());
            break;
        case WM_MENUCLICK: {
            auto* command = reinterpret_cast<MenuCmd*>(wParam);
            if (command) {
                OnMenuCommand(*command);
                Skin().DeletePtr(command);
            }
            return 0;
        }
        case WM_TRAYICON:
            OnTrayIcon(lParam);
            break;
        case WM_TAB_TITLE:
            // Another process may send this number with any value in it: only the text the
            // client handler is sending at this moment is read.
            if (ClientHandler::Instance()->IsTitleBeingSent(lParam)) {
                SetTabTitle(static_cast<int>(wParam), reinterpret_cast<const wchar_t*>(lParam));
            }
            break;
        case WM_TAB_ADD: {
            // Only a live browser without a tab gets one: the number is open to other
            // processes, and a browser may already be gone when the posted message arrives.
            int id = static_cast<int>(lParam);
            if (ClientHandler::Instance()->GetBrowserById(id) && !tabs_.Contains(id)) AddTab(id);
            break;
        }
        case WM_TAB_RELAYOUT:
            LayoutBrowser(tabs_.Current());
            break;
        case WM_LOAD_URL: {
            // Only address objects this process made are read; anything else is ignored.
            std::wstring url;
            if (UrlMessages::Take(wParam, &url)) {
                if (CefRefPtr<CefBrowser> first = ClientHandler::Instance()->GetFirstBrowser()) {
                    first->GetMainFrame()->LoadURL(url);
                }
            }
            break;
        }
        case WM_QUIT_CLIENT:
            OnQuitClient(wParam, lParam);
            break;
        case WM_TAB_CLOSE: {
            int k = TabIndex(static_cast<int>(wParam));
            if (k >= 1) OnTabCloseButton(strip_.ItemAt(k + 1));
            break;
        }
        case WM_MODULE_ACTIVE:
            if (wParam == 4 && login_.userType == 3) return -1;
            // Six modules report an address; the short-message button (index 6) has none.
            if (wParam <= 5 && wParam < moduleButtons_.size()) HighlightModule(moduleButtons_[wParam]);
            break;
        case WM_RUN_PAGE_SCRIPT:
            if (OnRunPageScript(wParam) == -1) return -1;
            break;
        default:
            if (trayIcon_ && trayIcon_->OnTaskbarCreated(uMsg)) return 0;
            break;
    }
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Tray icon, menus, ending

void MainFrameWnd::OnTrayIcon(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) {
        bool visible = ::IsWindowVisible(m_hWnd) != FALSE;
        if (showState_ == 3 && !visible) {
            ShowWindow(true, true);
            PostMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        } else if (showState_ != 3) {
            ShowWindow(true, true);
        }
        SetForegroundWindow(m_hWnd);
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        OpenMenu(g_trayMenu, L"menu_tray.xml", &Skin(), eMenuAlignment_Right | eMenuAlignment_Bottom);
    }
}

void MainFrameWnd::OnMenuCommand(const MenuCmd& command) {
    if (_wcsicmp(command.szName, L"menu_show_mainwnd") == 0) {
        PostMessage(WM_TRAYICON, 0, WM_LBUTTONDOWN);
    } else if (_wcsicmp(command.szName, L"menu_switch_account") == 0) {
        PostMessage(WM_QUIT_CLIENT, 1, 1);
    } else if (_wcsicmp(command.szName, L"menu_exit") == 0) {
        if (!::IsWindowVisible(m_hWnd)) {
            ShowWindow(true, true);
            SetCaptionButtons(false);
            showState_ = 1;
        }
        ShowConfirmDlg();
    }
}

void MainFrameWnd::OnQuitClient(WPARAM end, LPARAM restart) {
    if (end != 1) {
        // Not ending: a new instance started now finds this one holding the name and only
        // brings this window forward.
        if (restart == 1) StartClientAgain(exePath_, L"NoLogin");
        return;
    }
    Settings()->RecordClickCloseExit();
    trayIcon_.reset();
    if (restart == 1) {
        // The new instance must not find the name still taken by this one: it is given up
        // right before the end, which CloseAllAndExit makes certain.
        SingleInstance::Release();
        StartClientAgain(exePath_, L"NoLogin");
    }
    ClientHandler::Instance()->CloseAllAndExit();
}

LRESULT MainFrameWnd::OnRunPageScript(WPARAM request) {
    if (!pageScriptThrottle_.Admit(GetTickCount64())) return -1;
    CefRefPtr<CefBrowser> first = ClientHandler::Instance()->GetFirstBrowser();
    if (!first) return 0;
    CefRefPtr<CefFrame> frame = first->GetMainFrame();
    if (const wchar_t* script = page_script::ScriptFor(request)) frame->ExecuteJavaScript(script, frame->GetURL(), 0);
    return 0;
}

void MainFrameWnd::ShowConfirmDlg() { confirmDlg_ = ConfirmDlg::Show(m_hWnd); }

// ---------------------------------------------------------------------------------------------
// Notifications

void MainFrameWnd::Notify(TNotifyUI& msg) {
    if (msg.sType.CompareNoCase(DUI_MSGTYPE_WINDOWINIT) == 0) {
        CControlUI* system = Find(L"btn_System");
        if (system && system->GetParent()) system->GetParent()->SetVisible(login_.userType != 3);
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_CLICK) == 0) {
        OnClick(msg);
    } else if (msg.sType.CompareNoCase(DUI_MSGTYPE_SELECTCHANGED) == 0) {
        OnSelectChanged(msg);
    }
}

void MainFrameWnd::OnClick(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (!sender) return;
    CDuiString name = sender->GetName();
    if (name.Find(L"tab_tab") >= 0) {
        OnTabClicked(sender);
        return;
    }
    if (name.Find(L"BtnSystemMenu") >= 0) {
        OpenMenu(g_systemMenu, L"menu_system.xml", &Skin(), eMenuAlignment_Right | eMenuAlignment_Top);
    } else if (name.Find(L"tab_btnclose") >= 0) {
        OnTabCloseButton(sender);
    }
    if (name.CompareNoCase(L"BtnMin") == 0) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        showState_ = 6;
    } else if (name.CompareNoCase(L"BtnMax") == 0) {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        showState_ = 3;
    } else if (name.CompareNoCase(L"BtnRestore") == 0) {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        showState_ = 9;
    } else if (name.CompareNoCase(L"BtnWordPlanBack") == 0) {
        if (CTabLayoutUI* test = AsTabLayout(Find(L"tabTest"))) test->SelectItem(4);
    } else if (name.CompareNoCase(L"BtnClose") == 0) {
        // Only hides: the process, the tray icon and every browser stay.
        ShowWindow(false, true);
    } else if (name == L"Btn_Back" || name == L"Btn_advance" || name == L"Btn_Refresh") {
        CefRefPtr<CefBrowser> browser = ClientHandler::Instance()->GetBrowserById(tabs_.Current());
        if (!browser) return;
        if (name == L"Btn_Back") {
            if (browser->CanGoBack()) browser->GoBack();
        } else if (name == L"Btn_advance") {
            if (browser->CanGoForward()) browser->GoForward();
        } else {
            browser->ReloadIgnoreCache();
        }
    } else {
        OnModuleButton(sender);
    }
}

void MainFrameWnd::OnSelectChanged(TNotifyUI& msg) {
    CTabLayoutUI* test = AsTabLayout(Find(L"tabTest"));
    if (!test || !msg.pSender) return;
    CDuiString name = msg.pSender->GetName();
    for (const DemoOption& option : kDemoOptions) {
        if (name != option.name) continue;
        CefRefPtr<CefBrowser> first = ClientHandler::Instance()->GetFirstBrowser();
        if (first) {
            HWND window = first->GetHost()->GetWindowHandle();
            ::ShowWindow(window, option.url ? SW_SHOW : SW_HIDE);
            if (option.url) first->GetMainFrame()->LoadURL(option.url);
        }
        test->SelectItem(option.page);
    }
    if (CTabLayoutUI* settings = AsTabLayout(Find(L"tabSettings"))) {
        for (int i = 1; i <= 7; ++i) {
            if (name == (L"OptSetting" + std::to_wstring(i)).c_str()) settings->SelectItem(i - 1);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Tabs

int MainFrameWnd::TabIndex(int browserId) const {
    const int position = tabs_.PositionOf(browserId);
    return position < 0 ? -1 : tabs::ButtonItem(position);
}

void MainFrameWnd::OpenInNewTab(const std::wstring& url) {
    if (!browserMarker_) return;  // no browser area in the skin: no browsers at all
    RECT client{};
    GetClientRect(m_hWnd, &client);
    RECT place = geometry::NewBrowserRect(client, browserMarker_->GetPos().bottom, Skin().GetDPIObj()->GetScale());
    CefWindowInfo info;
    SetAsBrowserChild(info, m_hWnd, place);
    CefBrowserSettings settings;
    CefBrowserHost::CreateBrowser(info, ClientHandler::Instance(), url, settings, nullptr);
}

void MainFrameWnd::AddTab(int browserId) {
    // Without a strip in the skin there are no tabs: nothing is current, nothing to return to.
    if (!strip_.Layout()) return;
    tabs_.Open(browserId);
    strip_.Add(browserId);
    LayoutBrowser(browserId);
}

void MainFrameWnd::SelectTab(int index) { strip_.Select(index); }

void MainFrameWnd::LayoutBrowser(int browserId) {
    SelectTab(TabIndex(browserId));
    CefRefPtr<CefBrowser> browser = ClientHandler::Instance()->ShowOnlyBrowser(browserId);
    if (!browser || !browserMarker_) return;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    RECT place = geometry::LaidOutBrowserRect(client, browserMarker_->GetPos().bottom, Skin().GetDPIObj()->GetScale());
    HWND window = browser->GetHost()->GetWindowHandle();
    MoveWindow(window, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
    ::SetFocus(window);
}

void MainFrameWnd::SetTabTitle(int browserId, const std::wstring& title) {
    strip_.SetTitle(tabs_.PositionOf(browserId), title);
}

void MainFrameWnd::OnTabClicked(CControlUI* tab) {
    const int id = tabs_.IdAt(tabs::PositionOfButton(strip_.IndexOfItem(tab)));
    if (tabs_.Click(id)) LayoutBrowser(id);
}

void MainFrameWnd::OnTabCloseButton(CControlUI* button) {
    int i = strip_.IndexOfItem(button);
    if (i < 0) return;
    if (i <= tabs::kFirstTabButton + 1) {
        // The first tab stays: closing it brings the platform's start page back.
        if (CefRefPtr<CefBrowser> first = ClientHandler::Instance()->GetFirstBrowser()) {
            first->GetMainFrame()->LoadURL(login_.serverBaseUrl);
        }
        return;
    }
    // The item before a close button is its tab's button.
    int id = tabs_.IdAt(tabs::PositionOfButton(i - 1));
    if (id > 0) CloseTab(id);
}

void MainFrameWnd::CloseTab(int browserId) {
    if (browserId < 1 || !strip_.Layout()) return;
    const int position = tabs_.Close(browserId);
    ClientHandler::Instance()->CloseBrowserById(browserId);
    if (position < 0) return;
    strip_.Remove(position);
    PostMessage(WM_TAB_RELAYOUT, 0, 0);
}
