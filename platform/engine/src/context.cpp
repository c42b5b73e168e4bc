// Start-up, the UI thread's task window, worker threads and shutdown.
#include <windows.h>
#include <process.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "include/cef_app.h"
#include "include/test/cef_test_hooks.h"
#include "src/engine_internal.h"

namespace engine {
namespace {

constexpr UINT kRunTaskMessage = WM_APP + 0x51;
constexpr const wchar_t* kTaskWindowClass = L"CefTaskWindow";
constexpr const wchar_t* kDefaultProduct = L"Chrome/71.0.3578.20";

struct State {
  bool initialized = false;
  DWORD uiThread = 0;
  HINSTANCE instance = nullptr;
  CefSettings settings;
  CefRefPtr<CefApp> app;
  std::wstring userAgent;
  std::wstring acceptLanguage;
  std::shared_ptr<CookieStore> cookies;
};

State& S() {
  static State state;
  return state;
}

// Guarded separately: worker threads read them while the UI thread shuts down.
std::mutex g_postMutex;
HWND g_taskWindow = nullptr;
std::atomic<int> g_pendingTasks{0};
std::atomic<int> g_activeTransfers{0};

std::mutex g_globalLineMutex;
CefRefPtr<CefCommandLine> g_globalLine;
// The application whose hook already ran on g_globalLine in CefExecuteProcess: the hook runs
// once per process, so CefInitialize takes that line over instead of running it again.
CefApp* g_hookRanFor = nullptr;

// Worker threads by a number of their own, and the handles of those that have ended (closed
// at the next start), so that starting a worker never walks the ones before it. A worker that
// has done its work waits a while for the next one: starting a thread costs milliseconds under
// Wine, which every navigation would pay.
std::mutex g_workersMutex;
std::unordered_map<unsigned, HANDLE> g_workers;
std::vector<HANDLE> g_endedWorkers;
unsigned g_nextWorker = 0;
std::deque<std::function<void()>> g_jobs;  // handed to idle workers
std::condition_variable g_jobPosted;
int g_idleWorkers = 0;
unsigned g_workerGeneration = 0;  // bumped by shutdown: workers of an earlier run take no new work
constexpr DWORD kWorkerIdleMs = 15000;

cef_test::FileDialogFunction g_saveDialog;
cef_test::FileDialogFunction g_openDialog;
cef_test::ContextMenuFunction g_menuRunner;
int g_menusShown = 0;

LRESULT CALLBACK TaskWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kRunTaskMessage) {
    std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
    g_pendingTasks--;
    try {
      if (task && *task) (*task)();
    } catch (...) {
      // A failing task must not unwind through the window procedure.
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct WorkerStart {
  std::function<void()> work;
  unsigned number = 0;
  unsigned generation = 0;
};

unsigned __stdcall WorkerMain(void* param) {
  std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
  std::function<void()> work = std::move(start->work);
  std::unique_lock<std::mutex> lock(g_workersMutex, std::defer_lock);
  for (;;) {
    try {
      work();
      // What the work holds (a transfer, a download's file) goes now, not when the thread does.
      work = nullptr;
    } catch (...) {
      work = nullptr;
    }
    lock.lock();
    if (start->generation != g_workerGeneration) break;
    ++g_idleWorkers;
    g_jobPosted.wait_for(lock, std::chrono::milliseconds(kWorkerIdleMs),
                         [&] { return start->generation != g_workerGeneration || !g_jobs.empty(); });
    --g_idleWorkers;
    if (start->generation != g_workerGeneration || g_jobs.empty()) break;
    work = std::move(g_jobs.front());
    g_jobs.pop_front();
    lock.unlock();
  }
  auto it = g_workers.find(start->number);
  if (it != g_workers.end()) {  // absent after a shutdown took the list over
    g_endedWorkers.push_back(it->second);
    g_workers.erase(it);
  }
  return 0;
}

CefRefPtr<CefCommandLine> BuildCommandLine(bool fromProcess) {
  CefRefPtr<CefCommandLine> line = NewCommandLine();
  if (fromProcess) {
    line->InitFromString(GetCommandLineW());
  } else {
    wchar_t path[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    line->SetProgram(path);
  }
  return line;
}

void SetGlobalLine(CefRefPtr<CefCommandLine> line) {
  std::lock_guard<std::mutex> lock(g_globalLineMutex);
  g_globalLine = line;
}

// Deletes the tasks still queued for the task window (before it goes: a destroyed window's
// messages would be dropped by the system with their heap tasks).
void DropQueuedTasks(HWND window) {
  MSG msg;
  while (window && PeekMessageW(&msg, window, kRunTaskMessage, kRunTaskMessage, PM_REMOVE)) {
    delete reinterpret_cast<std::function<void()>*>(msg.lParam);
    g_pendingTasks--;
  }
}

}  // namespace

CefRefPtr<CefCommandLine> GlobalCommandLine() {
  std::lock_guard<std::mutex> lock(g_globalLineMutex);
  return g_globalLine;
}

bool IsInitialized() { return S().initialized; }
bool IsUiThread() { return S().initialized && GetCurrentThreadId() == S().uiThread; }
HINSTANCE Instance() { return S().instance; }
CefRefPtr<CefApp> App() { return S().app; }
CefRefPtr<CefRenderProcessHandler> RenderHandler() {
  return S().app ? S().app->GetRenderProcessHandler() : nullptr;
}
std::wstring UserAgent() { return S().userAgent; }
std::wstring AcceptLanguage() { return S().acceptLanguage; }
bool ChineseUi() {
  std::wstring locale = CefString(&S().settings.locale).ToWString();
  return locale.empty() || locale.compare(0, 2, L"zh") == 0;
}
std::shared_ptr<CookieStore> Cookies() { return S().cookies; }

bool PostUiTask(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(g_postMutex);
  if (!g_taskWindow) return false;
  auto* heap = new std::function<void()>(std::move(task));
  g_pendingTasks++;
  if (!PostMessageW(g_taskWindow, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(heap))) {
    g_pendingTasks--;
    delete heap;
    return false;
  }
  return true;
}

bool StartWorker(std::function<void()> work) {
  std::lock_guard<std::mutex> lock(g_workersMutex);
  for (HANDLE ended : g_endedWorkers) CloseHandle(ended);
  g_endedWorkers.clear();
  if (g_idleWorkers > static_cast<int>(g_jobs.size())) {
    g_jobs.push_back(std::move(work));
    g_jobPosted.notify_one();
    return true;
  }
  auto* start = new WorkerStart{std::move(work), ++g_nextWorker, g_workerGeneration};
  // Suspended until listed: a worker that ends at once must find itself in the list.
  uintptr_t h = _beginthreadex(nullptr, 0, WorkerMain, start, CREATE_SUSPENDED, nullptr);
  if (!h) {
    delete start;
    return false;
  }
  g_workers[start->number] = reinterpret_cast<HANDLE>(h);
  ResumeThread(reinterpret_cast<HANDLE>(h));
  return true;
}

std::atomic<int>& ActiveTransfers() { return g_activeTransfers; }
int PendingUiTasks() { return g_pendingTasks.load(); }

BOOL RunSaveFileDialog(OPENFILENAMEW* ofn) { return g_saveDialog ? g_saveDialog(ofn) : GetSaveFileNameW(ofn); }
BOOL RunOpenFileDialog(OPENFILENAMEW* ofn) { return g_openDialog ? g_openDialog(ofn) : GetOpenFileNameW(ofn); }
int RunContextMenu(HMENU menu, HWND owner, POINT screen) {
  if (g_menuRunner) return g_menuRunner(menu, owner, screen);
  return static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y,
                                         0, owner, nullptr));
}
void CountContextMenuShown() { ++g_menusShown; }

}  // namespace engine

using namespace engine;

void CefEnableHighDPISupport() { SetProcessDPIAware(); }

int CefExecuteProcess(const CefMainArgs& args, CefRefPtr<CefApp> application, void* /*windows_sandbox_info*/) {
  CefRefPtr<CefCommandLine> line = BuildCommandLine(true);
  std::wstring type = line->GetSwitchValue(L"type").ToWString();
  if (application) application->OnBeforeCommandLineProcessing(type, line);
  SetGlobalLine(line);
  g_hookRanFor = application.get();
  (void)args;
  // No sub-process is ever started by this engine; one started by hand has nothing to do.
  return type.empty() ? -1 : 0;
}

bool CefInitialize(const CefMainArgs& args, const CefSettings& settings, CefRefPtr<CefApp> application,
                   void* /*windows_sandbox_info*/) {
  State& s = S();
  if (s.initialized) return false;
  s.instance = args.instance ? args.instance : GetModuleHandleW(nullptr);
  s.settings = settings;
  s.app = application;
  s.uiThread = GetCurrentThreadId();

  CefRefPtr<CefCommandLine> line = GlobalCommandLine();
  if (!line || g_hookRanFor != application.get() || settings.command_line_args_disabled) {
    line = BuildCommandLine(!settings.command_line_args_disabled);
    if (application) application->OnBeforeCommandLineProcessing(CefString(), line);
    SetGlobalLine(line);
  }
  g_hookRanFor = nullptr;  // a later initialisation (after shutdown) runs the hook afresh

  std::wstring product = line->GetSwitchValue(L"product-version").ToWString();
  if (product.empty()) product = CefString(&settings.product_version).ToWString();
  if (product.empty()) product = kDefaultProduct;
  s.userAgent = line->GetSwitchValue(L"user-agent").ToWString();
  if (s.userAgent.empty()) s.userAgent = CefString(&settings.user_agent).ToWString();
  if (s.userAgent.empty()) {
    s.userAgent = L"Mozilla/5.0 (Windows NT 10.0) AppleWebKit/537.36 (KHTML, like Gecko) " + product +
                  L" Safari/537.36";
  }
  s.acceptLanguage = CefString(&settings.accept_language_list).ToWString();
  if (s.acceptLanguage.empty()) {
    std::wstring locale = CefString(&settings.locale).ToWString();
    if (locale.empty()) locale = L"zh-CN";
    s.acceptLanguage = locale + L"," + locale.substr(0, locale.find(L'-')) + L";q=0.9";
  }

  g_activeTransfers = 0;  // workers detached by an earlier shutdown no longer count
  g_pendingTasks = 0;
  s.cookies = std::make_shared<CookieStore>();
  std::wstring cache = CefString(&settings.cache_path).ToWString();
  if (!cache.empty()) {
    while (cache.size() > 3 && (cache.back() == L'\\' || cache.back() == L'/')) cache.pop_back();
    // Create every missing folder of the path.
    for (size_t p = cache.find_first_of(L"\\/", 1); p != std::wstring::npos; p = cache.find_first_of(L"\\/", p + 1)) {
      CreateDirectoryW(cache.substr(0, p).c_str(), nullptr);
    }
    CreateDirectoryW(cache.c_str(), nullptr);
    s.cookies->Open(cache + L"\\Cookies", settings.persist_session_cookies != 0);
  }

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = TaskWindowProc;
  wc.hInstance = s.instance;
  wc.lpszClassName = kTaskWindowClass;
  RegisterClassExW(&wc);
  RegisterBrowserWindowClass(s.instance);
  HWND window = CreateWindowExW(0, kTaskWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, s.instance, nullptr);
  {
    std::lock_guard<std::mutex> lock(g_postMutex);
    g_taskWindow = window;
  }
  s.initialized = true;

  if (application) {
    CefRefPtr<CefRenderProcessHandler> render = application->GetRenderProcessHandler();
    if (render) {
      render->OnRenderThreadCreated(CefListValue::Create());
      render->OnWebKitInitialized();
    }
    CefRefPtr<CefBrowserProcessHandler> browserSide = application->GetBrowserProcessHandler();
    if (browserSide) browserSide->OnContextInitialized();
  }
  return window != nullptr;
}

void CefShutdown() {
  State& s = S();
  if (!s.initialized || GetCurrentThreadId() != s.uiThread) return;
  CloseAllBrowsers();  // cancels their transfers and calls OnBeforeClose
  HWND window;
  {
    std::lock_guard<std::mutex> lock(g_postMutex);
    window = g_taskWindow;
    g_taskWindow = nullptr;
  }
  // Workers see their transfers cancelled; give them a bounded time to notice.
  std::vector<HANDLE> workers;
  std::deque<std::function<void()>> untaken;  // destroyed outside the lock
  {
    std::lock_guard<std::mutex> lock(g_workersMutex);
    for (auto& running : g_workers) workers.push_back(running.second);
    g_workers.clear();
    // Idle workers end now; busy ones end after their work. Work not yet taken is dropped
    // (its transfers are cancelled and nobody is left to report to).
    ++g_workerGeneration;
    untaken.swap(g_jobs);
    g_jobPosted.notify_all();
    for (HANDLE ended : g_endedWorkers) CloseHandle(ended);
    g_endedWorkers.clear();
  }
  DWORD deadline = GetTickCount() + 2000;
  for (HANDLE h : workers) {
    DWORD now = GetTickCount();
    DWORD wait = static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
    WaitForSingleObject(h, wait);
    CloseHandle(h);  // a worker still running keeps only shared state alive
  }
  DropQueuedTasks(window);
  if (window) DestroyWindow(window);
  if (s.cookies) s.cookies->Close();
  s.cookies.reset();
  s.app = nullptr;
  s.settings = CefSettings();
  s.initialized = false;
  s.uiThread = 0;
}

void CefDoMessageLoopWork() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the outer loop
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void CefRunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void CefQuitMessageLoop() {
  if (IsUiThread()) {
    PostQuitMessage(0);
  } else if (S().uiThread) {
    PostThreadMessageW(S().uiThread, WM_QUIT, 0, 0);
  }
}

void CefSetOSModalLoop(bool) {}

bool CefCurrentlyOn(CefThreadId threadId) { return threadId == TID_UI && IsUiThread(); }

bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task) {
  if (threadId != TID_UI || !task) return false;
  return PostUiTask([task]() { task->Execute(); });
}

namespace {
// Thread timers carry no user data, so the timer id maps to its task here (UI thread only).
std::vector<std::pair<UINT_PTR, CefRefPtr<CefTask>>>& DelayedTasks() {
  static std::vector<std::pair<UINT_PTR, CefRefPtr<CefTask>>> table;
  return table;
}

void CALLBACK DelayedTaskTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto& table = DelayedTasks();
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it->first == id) {
      CefRefPtr<CefTask> task = it->second;
      table.erase(it);
      try {
        task->Execute();
      } catch (...) {
        // Nothing may unwind through the timer callback.
      }
      return;
    }
  }
}
}  // namespace

bool CefPostDelayedTask(CefThreadId threadId, CefRefPtr<CefTask> task, int64 delay_ms) {
  if (threadId != TID_UI || !task) return false;
  if (delay_ms <= 0) return CefPostTask(threadId, task);
  return PostUiTask([task, delay_ms]() {
    UINT_PTR id = SetTimer(nullptr, 0, static_cast<UINT>(delay_ms), DelayedTaskTimer);
    if (id) DelayedTasks().emplace_back(id, task);
  });
}

namespace cef_test {

void SetSaveFileDialog(FileDialogFunction function) { engine::g_saveDialog = std::move(function); }
void SetOpenFileDialog(FileDialogFunction function) { engine::g_openDialog = std::move(function); }
void SetContextMenuRunner(ContextMenuFunction function) { engine::g_menuRunner = std::move(function); }
int ContextMenusShown() { return engine::g_menusShown; }

bool PumpUntil(const std::function<bool()>& done, unsigned timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeout_ms) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

bool WaitForIdle(unsigned timeout_ms) {
  // Transfers first: a transfer posts its last task before it stops counting.
  return PumpUntil([] { return engine::ActiveTransfers().load() <= 0 && engine::PendingUiTasks() == 0; },
                   timeout_ms);
}

}  // namespace cef_test
