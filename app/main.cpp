// The client's entry point. The same executable serves as the browser process and as every
// engine sub-process; only the browser process goes past the sub-process dispatch.
#include <windows.h>

#include "browser/client_app.h"
#include "browser/switch_policy.h"
#include "common/timeline.h"
#include "include/cef_app.h"
#include "login/login_dlg.h"
#include "mainframe/main_frame_wnd.h"
#include "net/http_interface.h"
#include "process/single_instance.h"
#include "process/startup_logic.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/skin.h"
#include "ui/window_styles.h"

#ifdef QUORVANE_TEST_WAITS
#include "common/test_waits.h"
#include "common/timeline_file.h"
#endif

namespace {

const wchar_t kPromptCaption[] = L"\x63d0\x793a";  // 提示
// 启动参数 "--…" 不被允许，客户端不会启动。
const wchar_t kRefusedSwitchText[] = L"\x542f\x52a8\x53c2\x6570 \"--";
const wchar_t kRefusedSwitchTextEnd[] =
    L"\" \x4e0d\x88ab\x5141\x8bb8\xff0c\x5ba2\x6237\x7aef\x4e0d\x4f1a\x542f\x52a8\x3002";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
#ifdef QUORVANE_TEST_WAITS
    StartTimelineFromEnvironment();
#endif
    TimelineMark("entry");
#ifdef QUORVANE_TEST_WAITS
    if (const DWORD wait = TestWaitMs()) CurrentHttpTimeouts() = {wait, wait, wait};
#endif
    DuiLib::CPaintManagerUI::SetInstance(instance);
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath() + L"res\\res");

    CefEnableHighDPISupport();
    CefMainArgs mainArgs(instance);
    CefRefPtr<ClientApp> app = new ClientApp();

    int subprocessExit = CefExecuteProcess(mainArgs, app, nullptr);
    if (subprocessExit >= 0) return subprocessExit;

    // The browser process does not start with a switch that would make the engine run other
    // programs, load foreign code or open a control port (browser/switch_policy.h).
    const std::wstring refused = FindRefusedSwitchInCommandLine(GetCommandLineW());
    if (!refused.empty()) {
        const std::wstring text = kRefusedSwitchText + refused + kRefusedSwitchTextEnd;
        MessageBoxW(nullptr, text.c_str(), kPromptCaption, MB_OK | MB_ICONWARNING);
        return -1;
    }

    MainFrameWnd* frame = new MainFrameWnd();
    const std::wstring exeDir = frame->GetExeDir(instance);

    CefSettings settings;
    settings.size = sizeof(cef_settings_t);
    settings.no_sandbox = 0;
    CefString(&settings.locale) = L"zh-CN";
    CefString(&settings.cache_path) = exeDir + L"\\mycache";
    settings.persist_session_cookies = 1;

    // Every run starts without the previous run's cookies (a running instance holds the file
    // open, so a second start's attempt fails harmlessly).
    DeleteFileW((exeDir + L"\\mycache" + L"\\Cookies").c_str());

    CefInitialize(mainArgs, settings, app, nullptr);
    TimelineMark("engine-initialised");

    if (!SingleInstance::Acquire()) {
        SingleInstance::BringOtherForward();
        delete frame;
        CefShutdown();
        return -1;
    }

    MainFrameWnd::SetLoginStep(&ShowLoginDialog);
    frame->RunLoginStep(AutoLoginAllowed(commandLine));
    TimelineMark("login-step-done");
    if (!frame->IsLoggedIn()) {
        delete frame;
        CefShutdown();
        return -1;
    }

    frame->Create(nullptr, kClientTitle, kMainWindowStyle, WS_EX_ACCEPTFILES, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr);
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_CLIENT_APP));
    SendMessageW(frame->GetHWND(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    frame->CenterWindow();
    ShowWindow(frame->GetHWND(), SW_SHOW);
    TimelineMark("main-window-shown");

    frame->CheckForUpdate();

    CefRunMessageLoop();
    CefShutdown();
    return 0;
}
