#include "UIBase.h"
#include "UIManager.h"
#include "UIMenu.h"
#include "UIInternal.h"

#include <cstdarg>
#include <cwctype>

namespace DuiLib {

CDuiString CDuiString::Mid(int pos, int n) const {
    if (pos < 0) pos = 0;
    if (pos >= GetLength()) return CDuiString();
    if (n < 0 || pos + n > GetLength()) n = GetLength() - pos;
    return CDuiString(m_s.substr(pos, n));
}

CDuiString CDuiString::Right(int n) const {
    if (n <= 0) return CDuiString();
    if (n >= GetLength()) return *this;
    return CDuiString(m_s.substr(m_s.size() - n));
}

int CDuiString::Find(TCHAR ch, int start) const {
    if (start < 0 || start >= GetLength()) return -1;
    size_t p = m_s.find(ch, start);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CDuiString::Find(LPCTSTR s, int start) const {
    if (!s || start < 0 || start > GetLength()) return -1;
    size_t p = m_s.find(s, start);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CDuiString::ReverseFind(TCHAR ch) const {
    size_t p = m_s.rfind(ch);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CDuiString::Replace(LPCTSTR from, LPCTSTR to) {
    if (!from || !*from) return 0;
    std::wstring f(from), t(to ? to : L"");
    int count = 0;
    for (size_t p = m_s.find(f); p != std::wstring::npos; p = m_s.find(f, p + t.size())) {
        m_s.replace(p, f.size(), t);
        ++count;
    }
    return count;
}

void CDuiString::MakeUpper() { for (auto& c : m_s) c = (wchar_t)towupper(c); }
void CDuiString::MakeLower() { for (auto& c : m_s) c = (wchar_t)towlower(c); }

int CDuiString::Format(LPCTSTR fmt, ...) {
    if (!fmt) { m_s.clear(); return 0; }
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list ap;
        va_start(ap, fmt);
        int n = _vsnwprintf(buf.data(), buf.size(), fmt, ap);
        va_end(ap);
        if (n >= 0 && (size_t)n < buf.size()) {
            m_s.assign(buf.data(), n);
            return n;
        }
        if (buf.size() > (1u << 20)) { m_s.clear(); return 0; }
        buf.resize(buf.size() * 2);
    }
}

LPVOID CStdStringPtrMap::Find(LPCTSTR key) const {
    auto it = m_map.find(key ? key : L"");
    return it == m_map.end() ? NULL : it->second;
}

bool CStdStringPtrMap::Insert(LPCTSTR key, LPVOID data) {
    return m_map.emplace(key ? key : L"", data).second;
}

LPVOID CStdStringPtrMap::Set(LPCTSTR key, LPVOID data) {
    LPVOID& slot = m_map[key ? key : L""];
    LPVOID old = slot;
    slot = data;
    return old;
}

bool CStdStringPtrMap::Remove(LPCTSTR key) { return m_map.erase(key ? key : L"") > 0; }

int CDPI::GetMainMonitorDPI() {
    HDC dc = ::GetDC(NULL);
    int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ::ReleaseDC(NULL, dc);
    return dpi > 0 ? dpi : 96;
}

void CDPI::SetScale(UINT dpi) {
    if (dpi < 48) dpi = 48;
    if (dpi > 480) dpi = 480;
    m_nDPI = (int)dpi;
    m_nScale = MulDiv((int)dpi, 100, 96);
}

RECT CDPI::Scale(RECT rc) const {
    return RECT{Scale(rc.left), Scale(rc.top), Scale(rc.right), Scale(rc.bottom)};
}
SIZE CDPI::Scale(SIZE sz) const { return SIZE{Scale(sz.cx), Scale(sz.cy)}; }
POINT CDPI::Scale(POINT pt) const { return POINT{Scale(pt.x), Scale(pt.y)}; }

// ---------------------------------------------------------------------------------------
// CWindowWnd

static const wchar_t kThisProp[] = L"DuiLibWndThis";

CWindowWnd::~CWindowWnd() {
    // A window that outlives its object must not call back into freed memory.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        if (m_bSubclassed) {
            Unsubclass();
        } else {
            ::SetWindowLongPtr(m_hWnd, GWLP_USERDATA, 0);
            HWND h = m_hWnd;
            m_hWnd = NULL;
            ::DestroyWindow(h);
        }
    }
}

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSW wc = {};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = CWindowWnd::__WndProc;
    wc.hInstance = ::GetModuleHandle(NULL);
    wc.hCursor = ::LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    ATOM ret = ::RegisterClassW(&wc);
    return ret != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(NULL, GetSuperClassName(), &wc) &&
        !::GetClassInfoExW(::GetModuleHandle(NULL), GetSuperClassName(), &wc))
        return false;
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::__ControlProc;
    wc.hInstance = ::GetModuleHandle(NULL);
    wc.lpszClassName = GetWindowClassName();
    ATOM ret = ::RegisterClassExW(&wc);
    return ret != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                        HMENU hMenu) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y,
                        int cx, int cy, HMENU hMenu) {
    if (m_hWnd) return NULL;   // one window per object
    if (GetSuperClassName() != NULL && !RegisterSuperclass()) return NULL;
    if (GetSuperClassName() == NULL && !RegisterWindowClass()) return NULL;
    m_hWnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName, dwStyle, x, y, cx, cy,
                               hwndParent, hMenu, ::GetModuleHandle(NULL), this);
    return m_hWnd;
}

HWND CWindowWnd::Subclass(HWND hWnd) {
    if (!::IsWindow(hWnd) || m_hWnd) return NULL;
    m_OldWndProc = (WNDPROC)::SetWindowLongPtr(hWnd, GWLP_WNDPROC, (LONG_PTR)__ControlProc);
    if (!m_OldWndProc) return NULL;
    m_bSubclassed = true;
    m_hWnd = hWnd;
    ::SetPropW(hWnd, kThisProp, (HANDLE)this);
    return m_hWnd;
}

void CWindowWnd::Unsubclass() {
    if (!m_bSubclassed || !::IsWindow(m_hWnd)) return;
    ::SetWindowLongPtr(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_OldWndProc);
    ::RemovePropW(m_hWnd, kThisProp);
    m_OldWndProc = ::DefWindowProc;
    m_bSubclassed = false;
    m_hWnd = NULL;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!::IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    if (!::IsWindow(m_hWnd)) return (UINT)-1;
    // The object may delete itself when its window goes (OnFinalMessage), so only locals
    // are used once the loop is running.
    HWND hWnd = m_hWnd;
    UINT nRet = 0;
    m_pModalResult = &nRet;
    HWND hWndParent = ::GetWindow(hWnd, GW_OWNER);
    if (!hWndParent) hWndParent = ::GetParent(hWnd);
    ::ShowWindow(hWnd, SW_SHOWNORMAL);
    bool parentWasEnabled = hWndParent && ::IsWindowEnabled(hWndParent);
    if (parentWasEnabled) ::EnableWindow(hWndParent, FALSE);
    MSG msg = {};
    bool quit = false;
    while (::IsWindow(hWnd)) {
        BOOL r = ::GetMessage(&msg, NULL, 0, 0);
        if (r == 0) { quit = true; break; }
        if (r == -1) break;
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessage(&msg);
        }
    }
    if (parentWasEnabled) {
        ::EnableWindow(hWndParent, TRUE);
        ::SetFocus(hWndParent);
    }
    if (quit) ::PostQuitMessage((int)msg.wParam);   // let the outer loop see it too
    if (::IsWindow(hWnd)) {
        CWindowWnd* self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtr(hWnd, GWLP_USERDATA));
        if (self) self->m_pModalResult = NULL;
    }
    return nRet;
}

void CWindowWnd::Close(UINT nRet) {
    if (!::IsWindow(m_hWnd)) return;
    ::PostMessage(m_hWnd, WM_CLOSE, (WPARAM)nRet, 0);
}

void CWindowWnd::CenterWindow() {
    if (!::IsWindow(m_hWnd)) return;
    RECT rcDlg = {};
    ::GetWindowRect(m_hWnd, &rcDlg);
    HWND hWndCenter = ::GetWindow(m_hWnd, GW_OWNER);
    if (hWndCenter && (!::IsWindowVisible(hWndCenter) || ::IsIconic(hWndCenter))) hWndCenter = NULL;
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfo(::MonitorFromWindow(hWndCenter ? hWndCenter : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    RECT rcArea = mi.rcWork;
    RECT rcCenter = rcArea;
    if (hWndCenter) ::GetWindowRect(hWndCenter, &rcCenter);
    int w = rcDlg.right - rcDlg.left, h = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (x + w > rcArea.right) x = rcArea.right - w;
    if (y + h > rcArea.bottom) y = rcArea.bottom - h;
    if (x < rcArea.left) x = rcArea.left;
    if (y < rcArea.top) y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes) {
    HICON hIcon = (HICON)::LoadImage(::GetModuleHandle(NULL), MAKEINTRESOURCE(nRes), IMAGE_ICON,
                                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR);
    if (hIcon) ::SendMessage(m_hWnd, WM_SETICON, ICON_BIG, (LPARAM)hIcon);
    hIcon = (HICON)::LoadImage(::GetModuleHandle(NULL), MAKEINTRESOURCE(nRes), IMAGE_ICON,
                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    if (hIcon) ::SendMessage(m_hWnd, WM_SETICON, ICON_SMALL, (LPARAM)hIcon);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RECT rc = {};
    if (!::GetClientRect(m_hWnd, &rc)) return;
    if (cx != -1) rc.right = cx;
    if (cy != -1) rc.bottom = cy;
    DWORD style = (DWORD)::GetWindowLong(m_hWnd, GWL_STYLE);
    ::AdjustWindowRectEx(&rc, style, ::GetMenu(m_hWnd) != NULL, (DWORD)::GetWindowLong(m_hWnd, GWL_EXSTYLE));
    ::SetWindowPos(m_hWnd, NULL, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProc(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::Dispatch(CWindowWnd* pThis, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind through the system's window procedure.
    try {
        if (uMsg == WM_CLOSE && pThis->m_pModalResult) *pThis->m_pModalResult = (UINT)wParam;
        // A skinned window's menu command carries a pointer; drop forged ones (any process can post).
        if (uMsg == WM_MENUCLICK && !Internal::IsRecord((void*)wParam) && Internal::IsSkinnedWindow(hWnd)) return 0;
        if (uMsg == WM_NCDESTROY) {
            LRESULT lRes = ::CallWindowProc(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            if (pThis->m_bSubclassed) pThis->Unsubclass();
            else ::SetWindowLongPtr(hWnd, GWLP_USERDATA, 0);
            pThis->m_hWnd = NULL;
            if (pThis->m_pModalResult) ::PostMessage(NULL, WM_NULL, 0, 0);   // wake the modal loop
            pThis->m_pModalResult = NULL;
            pThis->OnFinalMessage(hWnd);
            return lRes;
        }
        return pThis->HandleMessage(uMsg, wParam, lParam);
    } catch (...) {
        return ::DefWindowProc(hWnd, uMsg, wParam, lParam);
    }
}

LRESULT CALLBACK CWindowWnd::__WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* pThis = NULL;
    if (uMsg == WM_NCCREATE) {
        LPCREATESTRUCT lpcs = reinterpret_cast<LPCREATESTRUCT>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtr(hWnd, GWLP_USERDATA, reinterpret_cast<LPARAM>(pThis));
    } else {
        pThis = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtr(hWnd, GWLP_USERDATA));
    }
    if (pThis) return Dispatch(pThis, hWnd, uMsg, wParam, lParam);
    return ::DefWindowProc(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::__ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* pThis = NULL;
    if (uMsg == WM_NCCREATE) {
        LPCREATESTRUCT lpcs = reinterpret_cast<LPCREATESTRUCT>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        ::SetPropW(hWnd, kThisProp, (HANDLE)pThis);
        pThis->m_hWnd = hWnd;
    } else {
        pThis = reinterpret_cast<CWindowWnd*>(::GetPropW(hWnd, kThisProp));
    }
    if (pThis) {
        LRESULT r = Dispatch(pThis, hWnd, uMsg, wParam, lParam);
        if (uMsg == WM_NCDESTROY) ::RemovePropW(hWnd, kThisProp);
        return r;
    }
    return ::DefWindowProc(hWnd, uMsg, wParam, lParam);
}

} // namespace DuiLib
