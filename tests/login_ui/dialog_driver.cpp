#include "dialog_driver.h"

#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "common/text.h"

using namespace DuiLib;

namespace logintest {

DuiLib::CEditUI* Dialog::Edit(const wchar_t* name) const {
    CControlUI* c = Find(name);
    return c ? static_cast<CEditUI*>(c->GetInterface(DUI_CTR_EDIT)) : nullptr;
}

DuiLib::CCheckBoxUI* Dialog::Box(const wchar_t* name) const {
    CControlUI* c = Find(name);
    return c ? static_cast<CCheckBoxUI*>(c->GetInterface(DUI_CTR_CHECKBOX)) : nullptr;
}

DuiLib::CComboUI* Dialog::Combo() const {
    CControlUI* c = Find(L"combo_username");
    return c ? static_cast<CComboUI*>(c->GetInterface(DUI_CTR_COMBO)) : nullptr;
}

std::wstring Dialog::Text(const wchar_t* name) const {
    CControlUI* c = Find(name);
    return c ? c->GetText().GetData() : L"<no control>";
}

bool Dialog::Visible(const wchar_t* name) const {
    CControlUI* c = Find(name);
    return c && c->IsVisible();
}

std::wstring Dialog::FocusName() const {
    CControlUI* focus = pm->GetFocus();
    return focus ? focus->GetName().GetData() : std::wstring();
}

namespace {

Script g_script;
bool g_scriptRan = false;

BOOL CALLBACK FindLoginWindow(HWND hwnd, LPARAM param) {
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (wcscmp(cls, L"LoginDlg") != 0) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

void RunPendingScript() {
    Script script = std::move(g_script);
    g_script = nullptr;
    if (!script || g_scriptRan) return;
    g_scriptRan = true;
    Dialog d;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindLoginWindow, reinterpret_cast<LPARAM>(&d.hwnd));
    if (d.hwnd) {
        auto* window = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(d.hwnd, GWLP_USERDATA));
        d.dlg = static_cast<LoginDlg*>(window);
        d.pm = &d.dlg->Skin();
    }
    script(d);
    if (::IsWindow(d.hwnd)) ::PostMessageW(d.hwnd, WM_CLOSE, kLeftOpen, 0);
}

void CALLBACK OnScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    RunPendingScript();
}

void SetUpSkinOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + L"res\\res");
}

}  // namespace

UINT RunDialog(MainFrameWnd& frame, bool autoLoginAllowed, Script script, bool viaShowLoginDialog) {
    SetUpSkinOnce();
    g_script = std::move(script);
    g_scriptRan = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 1, &OnScriptTimer);
    UINT result = 0;
    if (viaShowLoginDialog) {
        ShowLoginDialog(frame.login(), frame.Settings(), autoLoginAllowed);
    } else {
        result = (new LoginDlg(frame.login(), frame.Settings(), autoLoginAllowed))->Run();
    }
    // A dialog that closed by itself before the timer came still gets its script run.
    ::KillTimer(nullptr, timer);
    RunPendingScript();
    Settle();
    return result;
}

bool PumpUntil(const std::function<bool()>& done) {
    for (int round = 0; round < 3000; ++round) {
        if (done()) return true;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Testing::PumpMessages();
    }
    return done();
}

void Settle() {
    for (int round = 0; round < 5; ++round) Testing::PumpMessages();
}

MainFrameWnd& FreshFrame() {
    SetUpSkinOnce();
    static MainFrameWnd* frame = new MainFrameWnd;  // never deleted: see the header
    frame->login() = LoginFields();
    return *frame;
}

const std::wstring& AppDir() {
    static MainFrameWnd* frame = &FreshFrame();
    return frame->GetExeDir(::GetModuleHandleW(nullptr));
}

FakeRequest& FakeRequest::Get() {
    static FakeRequest instance;
    return instance;
}

void FakeRequest::Reset() {
    std::lock_guard<std::mutex> guard(lock);
    hold = false;
    calls = 0;
    returned = 0;
    sent = LoginFields();
    result = true;
    answer = LoginFields();
    answer.loggedIn = 1;
    answer.userType = 7;
    answer.loginToken = "fake-token";
    changed.notify_all();
}

void FakeRequest::Release() {
    std::lock_guard<std::mutex> guard(lock);
    hold = false;
    changed.notify_all();
}

int FakeRequest::Calls() {
    std::lock_guard<std::mutex> guard(lock);
    return calls;
}

int FakeRequest::Returned() {
    std::lock_guard<std::mutex> guard(lock);
    return returned;
}

bool FakeRequest::Request(LoginFields& fields) {
    FakeRequest& f = Get();
    std::unique_lock<std::mutex> guard(f.lock);
    ++f.calls;
    f.sent = fields;
    f.changed.wait(guard, [&f] { return !f.hold; });
    fields.loginToken = f.answer.loginToken;
    fields.userType = f.answer.userType;
    fields.loggedIn = f.result ? f.answer.loggedIn : 0;
    fields.loginError = f.answer.loginError;
    ++f.returned;
    return f.result;
}

std::wstring ConfigPath() { return AppDir() + L"\\config.bin"; }
std::wstring MainCfgPath() { return AppDir() + L"\\maincfg.ini"; }

std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* fallback) {
    std::vector<wchar_t> buffer(8192);
    DWORD n = ::GetPrivateProfileStringW(section, key, fallback, buffer.data(), static_cast<DWORD>(buffer.size()),
                                         file.c_str());
    return std::wstring(buffer.data(), n);
}

void WriteIni(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    ::WritePrivateProfileStringW(section, key, value, file.c_str());
}

namespace {

bool ReadAll(const std::wstring& path, std::string& bytes) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

SettingsGuard::SettingsGuard() {
    saved_[0].path = ConfigPath();
    saved_[1].path = MainCfgPath();
    for (Saved& s : saved_) {
        s.existed = ReadAll(s.path, s.bytes);
        ::DeleteFileW(s.path.c_str());
    }
}

SettingsGuard::~SettingsGuard() {
    for (Saved& s : saved_) {
        ::DeleteFileW(s.path.c_str());
        if (!s.existed) continue;
        std::ofstream out(s.path.c_str(), std::ios::binary);
        out.write(s.bytes.data(), static_cast<std::streamsize>(s.bytes.size()));
    }
}

std::wstring DecodePassword(const std::wstring& encoded) {
    if (encoded.size() < 2) return L"<too short>";
    std::wstring b64 = encoded.substr(0, 1) + encoded.substr(2);
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned value = 0;
    int bits = 0;
    for (wchar_t c : b64) {
        if (c == L'=') break;
        size_t digit = c < 128 ? kAlphabet.find(static_cast<char>(c)) : std::string::npos;
        if (digit == std::string::npos) return L"<not base64>";
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<char>((value >> bits) & 0xFF));
        }
    }
    return Utf8ToWide(bytes);
}

}  // namespace logintest
