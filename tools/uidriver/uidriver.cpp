// uidriver: a small UI driver for end-to-end tests. Every result is one JSON line on standard
// output (ASCII only: other characters are written as \uXXXX escapes), so scripts parse it
// whatever the console code page is. Exit code 0 on success, 1 on timeout or failure, 2 on
// bad usage.
//
//   list [--pid N] [--all]                      top-level windows (visible ones unless --all)
//   wait-window --title T [--class C] [--pid N] [--timeout MS]
//   read-msgbox [--pid N] [--title T] [--timeout MS]
//   answer --button B [--pid N] [--title T] [--timeout MS]   read, press, wait until closed
//   press --hwnd H --button B                   B: IDOK IDCANCEL IDYES IDNO or a number
//   close --hwnd H                              posts WM_CLOSE
//   wait-gone --hwnd H [--timeout MS]           until the window is destroyed or hidden
//   children --hwnd H                           child windows: id, class, text, visible, rect
//   send --hwnd H --msg N [--wparam N] [--lparam N] [--post]
//   run --exe PATH [--args TEXT | --args-file UTF8FILE] [--cwd DIR] [--timeout MS]
//       prints {"pid":...} at once, then {"exit_code":...} (unsigned, as Windows reports it)
//   host-window --title T                      a plain window that lives until it is closed
//   dead-hwnd                                  a handle value of a window already destroyed
//   kill --pid N [--timeout MS]                 ends the process and waits until it is gone
//   processes [--name EXE]                     running processes: pid and program file name
//   hold-mutex --name N                        holds the named mutex until standard input ends
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

#include "json_text.h"
#include <vector>

namespace {

constexpr UINT kMsgBoxTextId = 0xFFFF;

std::string Escape(const std::wstring& text) { return JsonText(text); }

void Emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void EmitError(const char* what) { Emit(std::string("{\"error\":\"") + what + "\"}"); }

std::string Num(unsigned long long v) { return std::to_string(v); }
std::string HwndNum(HWND h) { return Num(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h))); }

std::wstring TextOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2);
    const int got = GetWindowTextW(hwnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

DWORD PidOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

std::string WindowJson(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return "{\"hwnd\":" + HwndNum(hwnd) + ",\"title\":" + Escape(TextOf(hwnd)) + ",\"class\":" +
           Escape(ClassOf(hwnd)) + ",\"visible\":" + (IsWindowVisible(hwnd) ? "true" : "false") +
           ",\"pid\":" + Num(PidOf(hwnd)) + ",\"owner\":" + HwndNum(GetWindow(hwnd, GW_OWNER)) +
           ",\"rect\":[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]}";
}

struct Args {
    std::wstring command;
    std::map<std::wstring, std::wstring> values;
    bool Has(const wchar_t* key) const { return values.count(key) != 0; }
    std::wstring Get(const wchar_t* key, const wchar_t* fallback = L"") const {
        auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    unsigned long long Number(const wchar_t* key, unsigned long long fallback) const {
        auto it = values.find(key);
        if (it == values.end()) return fallback;
        return static_cast<unsigned long long>(_wcstoi64(it->second.c_str(), nullptr, 0));
    }
};

bool ParseArgs(int argc, wchar_t** argv, Args& args) {
    if (argc < 2) return false;
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::wstring key = argv[i];
        if (key.rfind(L"--", 0) != 0) return false;
        key = key.substr(2);
        if (key == L"all" || key == L"post") {
            args.values[key] = L"1";
        } else if (i + 1 < argc) {
            args.values[key] = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

struct Filter {
    DWORD pid = 0;
    bool hasTitle = false;
    std::wstring title;
    bool hasClass = false;
    std::wstring className;
    bool visibleOnly = true;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* filter = reinterpret_cast<Filter*>(param);
    if (filter->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
    if (filter->pid && PidOf(hwnd) != filter->pid) return TRUE;
    if (filter->hasClass && ClassOf(hwnd) != filter->className) return TRUE;
    if (filter->hasTitle && TextOf(hwnd) != filter->title) return TRUE;
    filter->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> FindWindows(Filter filter) {
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&filter));
    return filter.found;
}

Filter FilterFrom(const Args& args) {
    Filter f;
    f.pid = static_cast<DWORD>(args.Number(L"pid", 0));
    if (args.Has(L"title")) {
        f.hasTitle = true;
        f.title = args.Get(L"title");
    }
    if (args.Has(L"class")) {
        f.hasClass = true;
        f.className = args.Get(L"class");
    }
    f.visibleOnly = !args.Has(L"all");
    return f;
}

HWND WaitFor(const Filter& filter, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<HWND> found = FindWindows(filter);
        if (!found.empty()) return found.front();
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(20);
    }
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::string MsgBoxJson(HWND box) {
    std::vector<HWND> children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::string buttons = "[";
    for (HWND child : children) {
        if (!IsWindowVisible(child) || _wcsicmp(ClassOf(child).c_str(), L"Button") != 0) continue;
        if (buttons.size() > 1) buttons += ",";
        buttons += "{\"id\":" + Num(static_cast<unsigned>(GetDlgCtrlID(child))) + ",\"text\":" +
                   Escape(TextOf(child)) + "}";
    }
    buttons += "]";
    HWND text = GetDlgItem(box, kMsgBoxTextId);
    return "{\"hwnd\":" + HwndNum(box) + ",\"pid\":" + Num(PidOf(box)) + ",\"owner\":" +
           HwndNum(GetWindow(box, GW_OWNER)) + ",\"caption\":" + Escape(TextOf(box)) +
           ",\"text\":" + Escape(text ? TextOf(text) : std::wstring()) + ",\"buttons\":" + buttons + "}";
}

int ButtonId(const std::wstring& name) {
    static const std::map<std::wstring, int> ids = {
        {L"IDOK", IDOK}, {L"IDCANCEL", IDCANCEL}, {L"IDABORT", IDABORT}, {L"IDRETRY", IDRETRY},
        {L"IDIGNORE", IDIGNORE}, {L"IDYES", IDYES}, {L"IDNO", IDNO}};
    auto it = ids.find(name);
    if (it != ids.end()) return it->second;
    return static_cast<int>(wcstol(name.c_str(), nullptr, 0));
}

bool Press(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (!button) return false;
    // Posted like a click on the button would be; the box's own thread ends the dialog.
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

bool WaitGone(HWND hwnd, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
    return true;
}

Filter MsgBoxFilter(const Args& args) {
    Filter f = FilterFrom(args);
    f.hasClass = true;
    f.className = L"#32770";
    return f;
}

int CmdList(const Args& args) {
    for (HWND hwnd : FindWindows(FilterFrom(args))) Emit(WindowJson(hwnd));
    return 0;
}

int CmdWaitWindow(const Args& args) {
    HWND hwnd = WaitFor(FilterFrom(args), static_cast<DWORD>(args.Number(L"timeout", 10000)));
    if (!hwnd) {
        EmitError("timeout");
        return 1;
    }
    Emit(WindowJson(hwnd));
    return 0;
}

int CmdReadMsgBox(const Args& args, bool answer) {
    HWND box = WaitFor(MsgBoxFilter(args), static_cast<DWORD>(args.Number(L"timeout", 10000)));
    if (!box) {
        EmitError("timeout");
        return 1;
    }
    const std::string description = MsgBoxJson(box);
    if (!answer) {
        Emit(description);
        return 0;
    }
    if (!Press(box, ButtonId(args.Get(L"button")))) {
        Emit("{\"error\":\"no such button\",\"msgbox\":" + description + "}");
        return 1;
    }
    if (!WaitGone(box, 10000)) {
        Emit("{\"error\":\"still open\",\"msgbox\":" + description + "}");
        return 1;
    }
    Emit(description);
    return 0;
}

HWND HwndArg(const Args& args) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(args.Number(L"hwnd", 0)));
}

int CmdPress(const Args& args) {
    if (!Press(HwndArg(args), ButtonId(args.Get(L"button")))) {
        EmitError("no such button");
        return 1;
    }
    Emit("{\"pressed\":true}");
    return 0;
}

int CmdClose(const Args& args) {
    if (!PostMessageW(HwndArg(args), WM_CLOSE, 0, 0)) {
        EmitError("post failed");
        return 1;
    }
    Emit("{\"closed\":true}");
    return 0;
}

int CmdWaitGone(const Args& args) {
    if (!WaitGone(HwndArg(args), static_cast<DWORD>(args.Number(L"timeout", 10000)))) {
        EmitError("timeout");
        return 1;
    }
    Emit("{\"gone\":true}");
    return 0;
}

int CmdChildren(const Args& args) {
    HWND parent = HwndArg(args);
    if (!IsWindow(parent)) {
        EmitError("no such window");
        return 1;
    }
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        RECT r = {};
        GetWindowRect(child, &r);
        Emit("{\"hwnd\":" + HwndNum(child) + ",\"parent\":" + HwndNum(GetParent(child)) + ",\"id\":" +
             Num(static_cast<unsigned>(GetDlgCtrlID(child))) + ",\"class\":" + Escape(ClassOf(child)) +
             ",\"text\":" + Escape(TextOf(child)) + ",\"visible\":" + (IsWindowVisible(child) ? "true" : "false") +
             ",\"rect\":[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
             std::to_string(r.right) + "," + std::to_string(r.bottom) + "]}");
    }
    return 0;
}

int CmdSend(const Args& args) {
    const UINT msg = static_cast<UINT>(args.Number(L"msg", 0));
    const auto wparam = static_cast<WPARAM>(args.Number(L"wparam", 0));
    const auto lparam = static_cast<LPARAM>(args.Number(L"lparam", 0));
    if (args.Has(L"post")) {
        const BOOL ok = PostMessageW(HwndArg(args), msg, wparam, lparam);
        Emit(std::string("{\"posted\":") + (ok ? "true" : "false") + "}");
        return ok ? 0 : 1;
    }
    DWORD_PTR result = 0;
    const LRESULT ok = SendMessageTimeoutW(HwndArg(args), msg, wparam, lparam, SMTO_ABORTIFHUNG,
                                           static_cast<UINT>(args.Number(L"timeout", 10000)), &result);
    if (!ok) {
        EmitError("send failed");
        return 1;
    }
    Emit("{\"result\":" + Num(static_cast<unsigned long long>(result)) + "}");
    return 0;
}

bool ReadUtf8File(const std::wstring& path, std::wstring& out) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    out.clear();
    if (bytes.empty()) return true;
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    out.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return true;
}

int CmdRun(const Args& args) {
    const std::wstring exe = args.Get(L"exe");
    std::wstring tail = args.Get(L"args");
    if (args.Has(L"args-file") && !ReadUtf8File(args.Get(L"args-file"), tail)) {
        EmitError("args file unreadable");
        return 1;
    }
    // Exactly what a shell start produces: the quoted program, one blank, the parameters.
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!tail.empty()) commandLine += L" " + tail;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    const std::wstring cwd = args.Get(L"cwd");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
        Emit("{\"error\":\"start failed\",\"code\":" + Num(GetLastError()) + "}");
        return 1;
    }
    CloseHandle(pi.hThread);
    Emit("{\"pid\":" + Num(pi.dwProcessId) + "}");
    const DWORD timeout = static_cast<DWORD>(args.Number(L"timeout", 120000));
    if (WaitForSingleObject(pi.hProcess, timeout) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 0xDEAD);
        CloseHandle(pi.hProcess);
        EmitError("timeout");
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    Emit("{\"exit_code\":" + Num(code) + "}");
    return 0;
}

// Ends a process and returns only once it is gone, so that whatever it held (the client's
// single-instance name) is free for the next test.
int CmdKill(const Args& args) {
    const DWORD pid = static_cast<DWORD>(args.Number(L"pid", 0));
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) {
        Emit("{\"gone\":true}");
        return 0;
    }
    TerminateProcess(process, 1);
    const bool gone = WaitForSingleObject(process, static_cast<DWORD>(args.Number(L"timeout", 10000))) == WAIT_OBJECT_0;
    CloseHandle(process);
    if (!gone) {
        EmitError("still running");
        return 1;
    }
    Emit("{\"gone\":true}");
    return 0;
}

int CmdProcesses(const Args& args) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        EmitError("snapshot");
        return 1;
    }
    const std::wstring name = args.Get(L"name");
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (!name.empty() && _wcsicmp(name.c_str(), entry.szExeFile) != 0) continue;
        Emit("{\"pid\":" + Num(entry.th32ProcessID) + ",\"exe\":" + Escape(entry.szExeFile) + "}");
    }
    CloseHandle(snapshot);
    return 0;
}

// Stands in for a program that holds a single-instance mutex and will not end when asked.
int CmdHoldMutex(const Args& args) {
    const std::wstring name = args.Get(L"name");
    if (name.empty()) {
        EmitError("usage");
        return 2;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
        Emit("{\"error\":\"mutex\",\"code\":" + Num(GetLastError()) + "}");
        return 1;
    }
    Emit("{\"held\":1}");
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    }
    CloseHandle(mutex);
    return 0;
}

LRESULT CALLBACK HostWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

HWND CreateHostWindow(const std::wstring& title) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"UiDriverHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 100, 100, 400, 300,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

int CmdHostWindow(const Args& args) {
    HWND hwnd = CreateHostWindow(args.Get(L"title", L"uidriver host"));
    if (!hwnd) {
        EmitError("create failed");
        return 1;
    }
    ShowWindow(hwnd, SW_SHOW);
    Emit(WindowJson(hwnd));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

int CmdDeadHwnd(const Args&) {
    HWND hwnd = CreateHostWindow(L"uidriver dead");
    if (!hwnd) {
        EmitError("create failed");
        return 1;
    }
    DestroyWindow(hwnd);
    Emit("{\"hwnd\":" + HwndNum(hwnd) + ",\"is_window\":" + (IsWindow(hwnd) ? "true" : "false") + "}");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Args args;
    if (!ParseArgs(argc, argv, args)) {
        EmitError("usage");
        return 2;
    }
    const std::wstring& c = args.command;
    if (c == L"list") return CmdList(args);
    if (c == L"wait-window") return CmdWaitWindow(args);
    if (c == L"read-msgbox") return CmdReadMsgBox(args, false);
    if (c == L"answer") return CmdReadMsgBox(args, true);
    if (c == L"press") return CmdPress(args);
    if (c == L"close") return CmdClose(args);
    if (c == L"wait-gone") return CmdWaitGone(args);
    if (c == L"children") return CmdChildren(args);
    if (c == L"send") return CmdSend(args);
    if (c == L"run") return CmdRun(args);
    if (c == L"host-window") return CmdHostWindow(args);
    if (c == L"dead-hwnd") return CmdDeadHwnd(args);
    if (c == L"hold-mutex") return CmdHoldMutex(args);
    if (c == L"processes") return CmdProcesses(args);
    if (c == L"kill") return CmdKill(args);
    EmitError("usage");
    return 2;
}
