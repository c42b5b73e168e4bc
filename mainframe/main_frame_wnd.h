// The client's main window: tab strip and browser area, module buttons, caption buttons, tray
// icon with its menu. It also holds the login fields (the server address among them: its one
// home) and the settings files' owner for the whole run.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "login/login_request.h"
#include "mainframe/page_script.h"
#include "mainframe/tab_logic.h"
#include "mainframe/tab_strip.h"
#include "mainframe/tray_icon.h"
#include "ui/skinned_window.h"

class ClientSettings;
class ConfirmDlg;

class MainFrameWnd : public SkinnedWindow {
public:
    // Shows the login dialog modally; fills the login fields, reading and writing the settings.
    using LoginStep = void (*)(LoginFields& fields, const std::shared_ptr<ClientSettings>& settings,
                               bool autoLoginAllowed);

    MainFrameWnd();
    ~MainFrameWnd() override;

    // Full path of the running module, cut before its last backslash (cached after the first
    // call, which also makes the settings' owner for that folder).
    const std::wstring& GetExeDir(HINSTANCE instance);
    const std::wstring& GetExePath() const { return exePath_; }

    // Login (the start-up sequence runs the step, then asks IsLoggedIn).
    static void SetLoginStep(LoginStep step);
    void RunLoginStep(bool autoLoginAllowed);
    bool IsLoggedIn() const { return login_.loggedIn != 0; }
    bool RequestLogin();
    LoginFields& login() { return login_; }
    const LoginFields& login() const { return login_; }
    // The one owner of "maincfg.ini" and "config.bin" (made for the program's folder).
    const std::shared_ptr<ClientSettings>& Settings();

    // Starts the updater with today's query document (once per run, after the window shows).
    void CheckForUpdate();

    // Tabs.
    void OpenInNewTab(const std::wstring& url);
    void AddTab(int browserId);
    void SelectTab(int index);
    void LayoutBrowser(int browserId);
    void SetTabTitle(int browserId, const std::wstring& title);
    void OnTabCloseButton(DuiLib::CControlUI* button);
    void CloseTab(int browserId);
    int TabIndex(int browserId) const;

    // Module navigation.
    void OpenClientLogin();
    bool OnModuleButton(DuiLib::CControlUI* sender);
    void OpenInFirstTab(const std::wstring& url);
    void HighlightModule(DuiLib::CControlUI* button);

    void ShowConfirmDlg();

    // State, for the window's own users and tests.
    int currentTab() const { return tabs_.Current(); }
    int previousTab() const { return tabs_.Previous(); }
    int ShowState() const { return showState_; }
    DuiLib::CHorizontalLayoutUI* TabLayout() const { return strip_.Layout(); }
    const std::vector<DuiLib::CControlUI*>& ModuleButtons() const { return moduleButtons_; }
    const TrayIcon* Tray() const { return trayIcon_.get(); }

protected:
    // WindowImplBase:
    LPCTSTR GetWindowClassName() const override { return L"PXJMainFrame"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    DuiLib::CDuiString GetSkinFile() override { return L"MainWindow.xml"; }
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    void OnTrayIcon(LPARAM mouseMessage);
    void OnMenuCommand(const DuiLib::MenuCmd& command);
    void OnQuitClient(WPARAM end, LPARAM restart);
    LRESULT OnRunPageScript(WPARAM request);
    void OnClick(DuiLib::TNotifyUI& msg);
    void OnSelectChanged(DuiLib::TNotifyUI& msg);
    void OnTabClicked(DuiLib::CControlUI* tab);
    void SetCaptionButtons(bool maximized);
    void FindModuleButtons();
    DuiLib::CControlUI* Find(const wchar_t* name) { return Skin().FindControl(name); }

    LoginFields login_;
    std::shared_ptr<ClientSettings> settings_;
    std::wstring exePath_;
    std::wstring exeDir_;
    TabModel tabs_;   // ids, order and selection of the tabs
    TabStrip strip_;  // their items in the skin
    std::vector<DuiLib::CControlUI*> moduleButtons_;
    DuiLib::CControlUI* browserMarker_ = nullptr;
    int showState_ = 3;
    std::unique_ptr<TrayIcon> trayIcon_;
    ConfirmDlg* confirmDlg_ = nullptr;
    page_script::Throttle pageScriptThrottle_;
    bool painted_ = false;  // the first paint is a start-up mark
};

// The built-in addresses (deployment values).
const std::wstring& DefaultServerBaseUrl();
const std::wstring& ShortMessageBaseUrl();
