#include "updater/progress_window.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <atomic>
#include <cwchar>

#include "common/handles.h"
#include "common/trace.h"

namespace {

constexpr UINT WM_PROGRESS_FINISH = WM_APP + 1;
constexpr UINT WM_PROGRESS_SHOW = WM_APP + 2;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kBarRange = 1000;
constexpr ULONGLONG kTaskbarFallbackMs = 1000;

enum ControlId { kIdHeading = 100, kIdBar, kIdReceived, kIdSpeed };

std::wstring Printf(const wchar_t* format, double value) {
    wchar_t text[64] = {};
    swprintf(text, 64, format, value);
    return text;
}

}  // namespace

std::wstring FormatBytes(ULONGLONG bytes) {
    const double kib = 1024.0, mib = kib * 1024, gib = mib * 1024;
    if (bytes >= static_cast<ULONGLONG>(gib)) return Printf(L"%.2f GB", bytes / gib);
    if (bytes >= static_cast<ULONGLONG>(mib)) return Printf(L"%.1f MB", bytes / mib);
    if (bytes >= static_cast<ULONGLONG>(kib)) return Printf(L"%.0f KB", bytes / kib);
    return std::to_wstring(bytes) + L" B";
}

std::wstring ReceivedText(ULONGLONG received, ULONGLONG total) {
    if (total == 0) return L"已下载 " + FormatBytes(received);
    // A server may send more than it announced; the share never reads above 100.
    const ULONGLONG percent = received >= total ? 100 : received * 100 / total;
    return L"已下载 " + FormatBytes(received) + L" / " + FormatBytes(total) + L"（" + std::to_wstring(percent) + L"%）";
}

std::wstring SpeedText(double bytesPerSecond) {
    if (bytesPerSecond < 0) return std::wstring();
    return L"速度 " + FormatBytes(static_cast<ULONGLONG>(bytesPerSecond)) + L"/s";
}

void SpeedMeter::Sample(ULONGLONG tickMs, ULONGLONG received) {
    ticks_[next_] = tickMs;
    bytes_[next_] = received;
    next_ = (next_ + 1) % kSamples;
    if (count_ < kSamples) ++count_;
    if (count_ < 2) return;
    const int oldest = count_ < kSamples ? 0 : next_;
    const int newest = (next_ + kSamples - 1) % kSamples;
    const ULONGLONG elapsed = ticks_[newest] - ticks_[oldest];
    if (elapsed == 0 || bytes_[newest] < bytes_[oldest]) return;
    speed_ = static_cast<double>(bytes_[newest] - bytes_[oldest]) * 1000.0 / static_cast<double>(elapsed);
}

// Shared by the downloading thread and the window's thread; the window thread keeps its own
// reference, so it may outlive a ProgressWindow that gave up waiting for it.
struct ProgressWindow::State {
    std::wstring version;
    std::atomic<ULONGLONG> received{0};
    std::atomic<ULONGLONG> total{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> show{false};
    std::atomic<HWND> hwnd{nullptr};
    qv::unique_handle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

using State = ProgressWindow::State;

// Everything the window thread owns; destroyed with the window.
struct View {
    std::shared_ptr<State> state;
    HWND hwnd = nullptr;
    HWND bar = nullptr;
    HWND received = nullptr;
    HWND speed = nullptr;
    HWND cancel = nullptr;
    qv::unique_hgdiobj font;
    qv::unique_hgdiobj bold;
    ITaskbarList3* taskbar = nullptr;
    bool taskbarTried = false;
    ULONGLONG shownAt = 0;
    UINT taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarButtonCreated");
    SpeedMeter meter;
    ULONGLONG shownReceived = ~0ULL;
    std::wstring shownSpeed;

    ~View() {
        if (taskbar) taskbar->Release();
    }
};

void SetTextIfChanged(HWND control, const std::wstring& text) {
    wchar_t current[128] = {};
    GetWindowTextW(control, current, 128);
    if (text != current) SetWindowTextW(control, text.c_str());
}

// The taskbar may not exist (no shell running); then the window works without it.
void ConnectTaskbar(View& view) {
    if (view.taskbarTried) return;
    view.taskbarTried = true;
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list))) ||
        !list) {
        return;
    }
    if (FAILED(list->HrInit())) {
        list->Release();
        return;
    }
    view.taskbar = list;
}

void Refresh(View& view) {
    State& state = *view.state;
    const ULONGLONG received = state.received.load();
    const ULONGLONG total = state.total.load();
    view.meter.Sample(GetTickCount64(), received);
    if (state.cancelled) return;  // the window says it is cancelling; nothing moves any more
    if (received != view.shownReceived) {
        view.shownReceived = received;
        SetTextIfChanged(view.received, ReceivedText(received, total));
        const int position =
            total == 0 ? 0 : static_cast<int>((received >= total ? total : received) * kBarRange / total);
        SendMessageW(view.bar, PBM_SETPOS, position, 0);
        if (view.taskbar) {
            if (total == 0) {
                view.taskbar->SetProgressState(view.hwnd, TBPF_INDETERMINATE);
            } else {
                view.taskbar->SetProgressState(view.hwnd, TBPF_NORMAL);
                view.taskbar->SetProgressValue(view.hwnd, received >= total ? total : received, total);
            }
        }
    }
    const std::wstring speed = SpeedText(view.meter.BytesPerSecond());
    if (speed != view.shownSpeed) {
        view.shownSpeed = speed;
        SetWindowTextW(view.speed, speed.c_str());
    }
}

void Cancel(View& view) {
    if (view.state->cancelled.exchange(true)) return;
    EnableWindow(view.cancel, FALSE);
    SetWindowTextW(view.speed, L"正在取消下载…");
    if (view.taskbar) view.taskbar->SetProgressState(view.hwnd, TBPF_PAUSED);
}

HWND AddControl(View& view, const wchar_t* className, const wchar_t* text, DWORD style, int id, int x, int y, int w,
                int h, double scale, HGDIOBJ font) {
    HWND control = CreateWindowExW(
        0, className, text, WS_CHILD | WS_VISIBLE | style, static_cast<int>(x * scale), static_cast<int>(y * scale),
        static_cast<int>(w * scale), static_cast<int>(h * scale), view.hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

double DpiScale(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(hwnd, dc);
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

void Build(View& view) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    view.font.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    LOGFONTW boldFace = metrics.lfMessageFont;
    boldFace.lfWeight = FW_BOLD;
    view.bold.reset(CreateFontIndirectW(&boldFace));
    HGDIOBJ font = view.font ? view.font.get() : GetStockObject(DEFAULT_GUI_FONT);
    HGDIOBJ bold = view.bold ? view.bold.get() : font;

    const double scale = DpiScale(view.hwnd);
    const std::wstring heading = L"正在下载新版本 " + view.state->version;
    AddControl(view, L"STATIC", heading.c_str(), SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kIdHeading, 20, 16, 380, 20,
               scale, bold);
    view.bar = AddControl(view, PROGRESS_CLASSW, L"", PBS_SMOOTH, kIdBar, 20, 44, 380, 18, scale, font);
    SendMessageW(view.bar, PBM_SETRANGE32, 0, kBarRange);
    view.received =
        AddControl(view, L"STATIC", L"正在连接…", SS_LEFT | SS_NOPREFIX, kIdReceived, 20, 72, 380, 20, scale, font);
    view.speed = AddControl(view, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kIdSpeed, 20, 100, 280, 20, scale, font);
    view.cancel =
        AddControl(view, L"BUTTON", L"取消", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 310, 96, 90, 28, scale, font);

    RECT frame = {0, 0, static_cast<LONG>(420 * scale), static_cast<LONG>(140 * scale)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(view.hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(view.hwnd, GWL_EXSTYLE)));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(view.hwnd, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* view = reinterpret_cast<View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        view = static_cast<View*>(create->lpCreateParams);
        view->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    if (!view) return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == view->taskbarCreatedMessage && message != 0) {
        // The shell made (or, after a restart of its own, remade) the window's button.
        if (view->taskbar) view->taskbar->Release();
        view->taskbar = nullptr;
        view->taskbarTried = false;
        ConnectTaskbar(*view);
        view->shownReceived = ~0ULL;  // show the state on the new button at the next tick
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            Build(*view);
            SetTimer(hwnd, kRefreshTimer, ProgressWindow::kRefreshMs, nullptr);
            return 0;
        case WM_TIMER:
            if (wparam == kRefreshTimer) {
                // Where the shell never announces the button, connect anyway once the download has
                // run a while: making the taskbar object costs more than a short download takes.
                if (!view->shownAt) return 0;
                if (GetTickCount64() - view->shownAt >= kTaskbarFallbackMs) ConnectTaskbar(*view);
                Refresh(*view);
            }
            return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDCANCEL) Cancel(*view);
            return 0;
        case WM_CLOSE:  // the title bar's close box asks the same as Cancel
            Cancel(*view);
            return 0;
        case WM_PROGRESS_SHOW:
            if (!view->shownAt) {
                view->shownAt = GetTickCount64();
                // Not ShowWindow: the client starts the updater with SW_HIDE, and Windows puts the
                // show command its starter gave (STARTUPINFO) in the place of the one passed to the
                // first ShowWindow call of a process's top-level window, so that first call would
                // leave the window, and its Cancel, hidden. SetWindowPos with SWP_SHOWWINDOW is not
                // subject to that rule; the window is created without WS_VISIBLE for the same reason.
                SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_SHOWWINDOW);
                UpdateWindow(hwnd);
            }
            return 0;
        case WM_PROGRESS_FINISH:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            KillTimer(hwnd, kRefreshTimer);
            if (view->taskbar) view->taskbar->SetProgressState(hwnd, TBPF_NOPROGRESS);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

bool RegisterProgressClass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ProgressProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = ProgressWindow::kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

DWORD WINAPI ProgressThread(LPVOID param) {
    std::unique_ptr<std::shared_ptr<State>> handed(static_cast<std::shared_ptr<State>*>(param));
    View view;
    view.state = *handed;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND hwnd = nullptr;
    // A download that ended before the window was up needs none.
    if (!view.state->finished && RegisterProgressClass()) {
        hwnd = CreateWindowExW(WS_EX_APPWINDOW, ProgressWindow::kClassName, ProgressWindow::kTitle,
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                               440, 180, nullptr, nullptr, GetModuleHandleW(nullptr), &view);
        // The download goes on without a window (and without its Cancel button).
        if (!hwnd) TraceFailure(L"creating the progress window", GetLastError());
    }
    view.state->hwnd = hwnd;
    SetEvent(view.state->ready.get());
    // Asked to show before the handle was published: OnProgress could not post it.
    if (hwnd && view.state->show) PostMessageW(hwnd, WM_PROGRESS_SHOW, 0, 0);
    if (hwnd) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // Tab and Esc (Esc presses Cancel) as in a dialog.
            if (!IsDialogMessageW(hwnd, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    if (view.taskbar) {
        view.taskbar->Release();
        view.taskbar = nullptr;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

}  // namespace

// The window is made (hidden) at once, while the download is still connecting, so that its
// set-up does not take from the transfer; it shows when the first bytes are due.
ProgressWindow::ProgressWindow(std::wstring version) : state_(std::make_shared<State>()) {
    state_->version = std::move(version);
    Open();
}

ProgressWindow::~ProgressWindow() { Finished(); }

void ProgressWindow::Open() {
    if (!state_->ready) return;
    auto* handed = new std::shared_ptr<State>(state_);
    // The download does not wait for the window to come up.
    thread_ = CreateThread(nullptr, 0, ProgressThread, handed, 0, nullptr);
    if (!thread_) delete handed;  // the download goes on without a window
}

bool ProgressWindow::OnProgress(ULONGLONG received, ULONGLONG total) {
    state_->total = total;
    state_->received = received;
    if (!shown_) {
        shown_ = true;
        state_->show = true;
        if (HWND hwnd = state_->hwnd) PostMessageW(hwnd, WM_PROGRESS_SHOW, 0, 0);
    }
    return !state_->cancelled;
}

void ProgressWindow::Finished() {
    if (!thread_) return;
    state_->finished = true;
    // Either the thread saw the flag and made no window, or the window exists once it is ready.
    WaitForSingleObject(state_->ready.get(), 10000);
    if (HWND hwnd = state_->hwnd) PostMessageW(hwnd, WM_PROGRESS_FINISH, 0, 0);
    // The thread only pumps its window's messages; should it not end, the process still can,
    // since the state it uses is shared.
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool ProgressWindow::Cancelled() const { return state_->cancelled; }
