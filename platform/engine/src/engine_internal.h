// Engine-wide state shared by the implementation files.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "include/cef_app.h"
#include "src/cookies.h"

namespace engine {

CefRefPtr<CefCommandLine> NewCommandLine();
CefRefPtr<CefCommandLine> GlobalCommandLine();

bool IsInitialized();
bool IsUiThread();
HINSTANCE Instance();
CefRefPtr<CefApp> App();
CefRefPtr<CefRenderProcessHandler> RenderHandler();  // null when the app has none
std::wstring UserAgent();
std::wstring AcceptLanguage();
bool ChineseUi();  // locale zh-*: labels of the engine's own UI in Chinese
std::shared_ptr<CookieStore> Cookies();

// Runs |task| on the UI thread (in order of posting). Safe from any thread; false (task
// dropped) when the engine is not running.
bool PostUiTask(std::function<void()> task);
// Starts a worker thread that shutdown waits for (bounded). The function must not touch
// windows or call client code; it reports through PostUiTask.
bool StartWorker(std::function<void()> work);

// Network transfers in flight (for the idle wait of tests).
std::atomic<int>& ActiveTransfers();
int PendingUiTasks();

// The system UI, replaceable by tests.
BOOL RunSaveFileDialog(OPENFILENAMEW* ofn);
BOOL RunOpenFileDialog(OPENFILENAMEW* ofn);
int RunContextMenu(HMENU menu, HWND owner, POINT screen);
void CountContextMenuShown();

// Browser registry hooks (browser_window.cpp).
void RegisterBrowserWindowClass(HINSTANCE instance);
void CloseAllBrowsers();

// Hidden window class name of the task window; browser windows use kBrowserWindowClass.
constexpr const wchar_t* kBrowserWindowClass = L"CefBrowserWindow";

}  // namespace engine
