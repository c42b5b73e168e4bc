#include "UIManager.h"

#include "UIControls.h"
#include "UIInternal.h"
#include "UIRender.h"
#include "common/timeline.h"

#include <algorithm>
#include <commctrl.h>
#include <gdiplus.h>
#include <memory>
#include <mutex>
#include <set>
#include <windowsx.h>

namespace DuiLib {

namespace {

HINSTANCE g_hInstance = NULL;
CDuiString g_resourcePath;
std::vector<CPaintManagerUI*> g_managers;   // UI thread only
std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> g_images;

bool IsAncestorOrSelf(HWND ancestor, HWND h) {
    while (h) {
        if (h == ancestor) return true;
        h = ::GetParent(h);
    }
    return false;
}

std::mutex g_recordsLock;
std::set<void*> g_records;

} // namespace

namespace Internal {

void RegisterRecord(void* p) {
    std::lock_guard<std::mutex> lock(g_recordsLock);
    g_records.insert(p);
}

bool IsRecord(void* p) {
    std::lock_guard<std::mutex> lock(g_recordsLock);
    return g_records.count(p) != 0;
}

bool ForgetRecord(void* p) {
    std::lock_guard<std::mutex> lock(g_recordsLock);
    return g_records.erase(p) != 0;
}

bool IsSkinnedWindow(HWND hWnd) {
    if (!hWnd) return false;
    for (CPaintManagerUI* pm : g_managers)
        if (pm->GetPaintWindow() == hWnd) return true;
    return false;
}

void Mark(const char* what, const wchar_t* detail) {
    if (!TimelineActive()) return;
    char name[100];
    int n = lstrlenA(what);
    if (n >= (int)sizeof name - 2) return;
    lstrcpynA(name, what, sizeof name);
    if (detail && *detail) {
        const wchar_t* last = detail;
        for (const wchar_t* p = detail; *p; ++p)
            if (*p == L'\\' || *p == L'/') last = p + 1;
        name[n++] = ':';
        // Marks are one word of plain ASCII: anything else becomes '_'.
        for (; *last && n < (int)sizeof name - 1; ++last) name[n++] = (*last > L' ' && *last < 127) ? (char)*last : '_';
        name[n] = 0;
    }
    TimelineMark(name);
}

} // namespace Internal

CPaintManagerUI::CPaintManagerUI() {
    m_dpi.SetScale(96);
    g_managers.push_back(this);
}

CPaintManagerUI::~CPaintManagerUI() {
    g_managers.erase(std::remove(g_managers.begin(), g_managers.end(), this), g_managers.end());
    FlushDelayedCleanup();
    delete m_pRoot;
    m_pRoot = NULL;
    for (auto& f : m_fonts)
        if (f.second.hFont) ::DeleteObject(f.second.hFont);
    if (m_fallbackFont.hFont) ::DeleteObject(m_fallbackFont.hFont);
    if (m_hwndTooltip && ::IsWindow(m_hwndTooltip)) ::DestroyWindow(m_hwndTooltip);
    if (m_hDcPaint && m_hWndPaint) ::ReleaseDC(m_hWndPaint, m_hDcPaint);
}

void CPaintManagerUI::Init(HWND hWnd, LPCTSTR pstrName) {
    Render::StartGdiplus();
    m_hWndPaint = hWnd;
    m_bAllInvalid = false;
    m_sName = pstrName;
    if (m_hDcPaint) ::ReleaseDC(hWnd, m_hDcPaint);
    m_hDcPaint = ::GetDC(hWnd);
}

HINSTANCE CPaintManagerUI::GetInstance() { return g_hInstance ? g_hInstance : ::GetModuleHandle(NULL); }
void CPaintManagerUI::SetInstance(HINSTANCE hInst) {
    g_hInstance = hInst;
    // The application's first call into the library: a window is coming.
    Render::StartWarmUp();
}

CDuiString CPaintManagerUI::GetInstancePath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(GetInstance(), buf.data(), (DWORD)buf.size());
        if (n == 0) return CDuiString();
        if (n < buf.size() - 1) break;
        if (buf.size() > 32768) break;
        buf.resize(buf.size() * 2);
    }
    std::wstring path(buf.data());
    size_t p = path.find_last_of(L"\\/");
    return CDuiString(p == std::wstring::npos ? std::wstring() : path.substr(0, p + 1));
}

CDuiString CPaintManagerUI::GetResourcePath() { return g_resourcePath; }

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
    std::wstring p(pStrPath ? pStrPath : L"");
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    if (!p.empty() && p.back() != L'\\') p += L'\\';
    g_resourcePath = p;
}

void CPaintManagerUI::DeletePtr(void* ptr) const {
    // Only records this library allocated; anything else is left alone.
    if (ptr && Internal::ForgetRecord(ptr)) ::operator delete(ptr);
}

// ---------------------------------------------------------------------------------------
// DPI and window size

void CPaintManagerUI::SetDPI(int iDPI) {
    int oldScale = m_dpi.GetScale();
    m_dpi.SetScale((UINT)iDPI);
    if (m_dpi.GetScale() == oldScale) return;
    RebuildFonts();
    if (m_pRoot) m_pRoot->OnDPIChanged();
    RescaleWindow(oldScale);
    NeedUpdate();
    UpdateLayout();
}

void CPaintManagerUI::SetAllDPI(int iDPI) {
    for (CPaintManagerUI* pm : std::vector<CPaintManagerUI*>(g_managers)) pm->SetDPI(iDPI);
}

void CPaintManagerUI::RescaleWindow(int oldScale) {
    if (!::IsWindow(m_hWndPaint) || ::IsZoomed(m_hWndPaint) || ::IsIconic(m_hWndPaint)) return;
    if (::GetWindowLong(m_hWndPaint, GWL_STYLE) & WS_CHILD) return;
    RECT rc = {};
    ::GetWindowRect(m_hWndPaint, &rc);
    int cx = MulDiv(rc.right - rc.left, m_dpi.GetScale(), oldScale);
    int cy = MulDiv(rc.bottom - rc.top, m_dpi.GetScale(), oldScale);
    ::SetWindowPos(m_hWndPaint, NULL, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

SIZE CPaintManagerUI::GetInitSize() { return m_dpi.Scale(m_szInitWindowSize); }

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize = {cx, cy};
    if (!m_pRoot && ::IsWindow(m_hWndPaint) && cx > 0 && cy > 0) {
        SIZE sz = GetInitSize();
        ::SetWindowPos(m_hWndPaint, NULL, 0, 0, sz.cx, sz.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

// ---------------------------------------------------------------------------------------
// Fonts

static void CreateFontFor(TFontInfo& f, const CDPI& dpi, HDC hdc) {
    if (f.hFont) ::DeleteObject(f.hFont);
    LOGFONTW lf = {};
    lstrcpynW(lf.lfFaceName, f.sFontName.IsEmpty() ? L"Microsoft YaHei" : f.sFontName.GetData(), LF_FACESIZE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -dpi.Scale(f.iSize);
    lf.lfWeight = f.bBold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = f.bUnderline;
    lf.lfItalic = f.bItalic;
    lf.lfQuality = CLEARTYPE_QUALITY;
    f.hFont = ::CreateFontIndirectW(&lf);
    if (hdc && f.hFont) {
        HFONT old = (HFONT)::SelectObject(hdc, f.hFont);
        ::GetTextMetricsW(hdc, &f.tm);
        ::SelectObject(hdc, old);
    }
}

void CPaintManagerUI::AddFont(int id, LPCTSTR name, int size, bool bold, bool underline, bool italic,
                              bool isDefault) {
    TFontInfo& f = m_fonts[id];
    f.sFontName = name;
    f.iSize = size > 0 ? size : 12;
    f.bBold = bold;
    f.bUnderline = underline;
    f.bItalic = italic;
    CreateFontFor(f, m_dpi, m_hDcPaint);
    if (isDefault || m_defaultFontId < 0) m_defaultFontId = id;
}

void CPaintManagerUI::RebuildFonts() {
    for (auto& f : m_fonts) CreateFontFor(f.second, m_dpi, m_hDcPaint);
    if (m_fallbackFont.hFont) CreateFontFor(m_fallbackFont, m_dpi, m_hDcPaint);
}

HFONT CPaintManagerUI::GetDefaultFont() {
    auto it = m_fonts.find(m_defaultFontId);
    if (it != m_fonts.end() && it->second.hFont) return it->second.hFont;
    if (!m_fallbackFont.hFont) CreateFontFor(m_fallbackFont, m_dpi, m_hDcPaint);
    return m_fallbackFont.hFont ? m_fallbackFont.hFont : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
}

HFONT CPaintManagerUI::GetFont(int id) {
    auto it = m_fonts.find(id);
    if (id >= 0 && it != m_fonts.end() && it->second.hFont) return it->second.hFont;
    return GetDefaultFont();
}

const TEXTMETRIC& CPaintManagerUI::GetFontInfo(int id) {
    auto it = m_fonts.find(id);
    if (it == m_fonts.end()) it = m_fonts.find(m_defaultFontId);
    if (it != m_fonts.end()) return it->second.tm;
    GetDefaultFont();
    return m_fallbackFont.tm;
}

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR name, LPCTSTR list) {
    if (name && list) m_defaultAttrs[name] = list;
}

LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR name) const {
    auto it = m_defaultAttrs.find(name ? name : L"");
    return it == m_defaultAttrs.end() ? NULL : it->second.c_str();
}

// ---------------------------------------------------------------------------------------
// Images

void* CPaintManagerUI::GetImage(LPCTSTR bitmap) {
    if (!bitmap || !*bitmap) return NULL;
    std::wstring path(bitmap);
    bool absolute = path.size() > 1 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
    if (!absolute) path = std::wstring(g_resourcePath.GetData()) + path;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    auto it = g_images.find(path);
    if (it != g_images.end()) return it->second.get();
    Render::StartGdiplus();
    std::unique_ptr<Gdiplus::Bitmap> bmp(Gdiplus::Bitmap::FromFile(path.c_str()));
    if (bmp && bmp->GetLastStatus() != Gdiplus::Ok) bmp.reset();
    Internal::Mark("decoded", path.c_str());
    // Missing images are remembered too, so a broken skin costs one look-up per file.
    Gdiplus::Bitmap* raw = bmp.get();
    g_images[path] = std::move(bmp);
    return raw;
}

// ---------------------------------------------------------------------------------------
// Control tree

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    if (!pControl || !::IsWindow(m_hWndPaint)) return false;
    FlushDelayedCleanup();
    if (m_pRoot && m_pRoot != pControl) {
        ReapObjects(m_pRoot);
        delete m_pRoot;
    }
    m_pRoot = pControl;
    m_bUpdateNeeded = true;
    m_bWindowInitSent = false;
    if (!m_hwndTooltip) {
        m_hwndTooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                                          NULL, GetInstance(), NULL);
        if (m_hwndTooltip) ::SendMessage(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    bool ok = InitControls(pControl);
    // "windowinit" follows once the creating code has returned to the message loop.
    ::PostMessage(m_hWndPaint, WM_WINDOWINIT, 0, 0);
    return ok;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
    if (!pControl) return false;
    pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
    return true;
}

static bool ReapProc(CControlUI* p, LPVOID data) {
    CControlUI** refs = static_cast<CControlUI**>(data);
    for (int i = 0; i < 5; ++i)
        if (refs[i] == p) refs[i] = NULL;
    return false;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (!pControl) return;
    CControlUI* refs[5] = {m_pFocus, m_pEventHover, m_pEventClick, m_pTooltipOwner, m_pLastFocus};
    pControl->FindControl(ReapProc, refs, 0);
    if (!refs[4]) m_pLastFocus = NULL;
    if (!refs[0]) m_pFocus = NULL;
    if (!refs[1]) m_pEventHover = NULL;
    if (!refs[2]) {
        bool release = m_pEventClick && ::GetCapture() == m_hWndPaint;
        m_pEventClick = NULL;
        if (release) ::ReleaseCapture();
    }
    if (!refs[3]) {
        m_pTooltipOwner = NULL;
        if (m_hwndTooltip) ::SendMessage(m_hwndTooltip, TTM_ACTIVATE, FALSE, 0);
    }
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl) {
    if (!pControl) return;
    ReapObjects(pControl);
    pControl->SetInternVisible(false);
    m_delayedCleanup.push_back(pControl);
    if (::IsWindow(m_hWndPaint)) {
        ::PostMessage(m_hWndPaint, WM_DELAYEDCLEANUP, 0, 0);
    } else {
        FlushDelayedCleanup();
    }
}

void CPaintManagerUI::FlushDelayedCleanup() {
    std::vector<CControlUI*> items;
    items.swap(m_delayedCleanup);
    for (CControlUI* p : items) delete p;
}

static bool FindByPointProc(CControlUI* p, LPVOID data) {
    POINT pt = *static_cast<POINT*>(data);
    return ::PtInRect(&p->GetPos(), pt) != FALSE;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (!m_pRoot) return NULL;
    return m_pRoot->FindControl(FindByPointProc, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindByNameRecursive(CControlUI* p, LPCTSTR name) const {
    if (!p || !name || !*name) return NULL;
    struct Finder {
        static bool Proc(CControlUI* c, LPVOID data) { return c->GetName() == static_cast<LPCTSTR>(data); }
    };
    return p->FindControl(Finder::Proc, (LPVOID)name, 0);
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) const { return FindByNameRecursive(m_pRoot, pstrName); }

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const {
    return FindByNameRecursive(pParent ? pParent : m_pRoot, pstrName);
}

void CPaintManagerUI::GetOptionGroup(LPCTSTR group, std::vector<CControlUI*>& out) const {
    out.clear();
    if (!m_pRoot || !group || !*group) return;
    struct Ctx {
        LPCTSTR group;
        std::vector<CControlUI*>* out;
    } ctx{group, &out};
    struct Finder {
        static bool Proc(CControlUI* c, LPVOID data) {
            Ctx* x = static_cast<Ctx*>(data);
            COptionUI* o = static_cast<COptionUI*>(c->GetInterface(DUI_CTR_OPTION));
            if (o && wcscmp(o->GetGroup(), x->group) == 0) x->out->push_back(c);
            return false;
        }
    };
    m_pRoot->FindControl(Finder::Proc, &ctx, 0);
}

// ---------------------------------------------------------------------------------------
// Layout and painting

// Building a skin sets hundreds of attributes, each asking for a new layout and paint; every
// InvalidateRect is a round trip to the window server. Once the whole window is invalid, further
// requests add nothing until a paint has validated it again.
void CPaintManagerUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    Invalidate();
}

void CPaintManagerUI::Invalidate() {
    if (m_bAllInvalid || !::IsWindow(m_hWndPaint)) return;
    ::InvalidateRect(m_hWndPaint, NULL, FALSE);
    m_bAllInvalid = true;
}

void CPaintManagerUI::Invalidate(const RECT& rcItem) {
    if (m_bAllInvalid || ::IsRectEmpty(&rcItem) || !::IsWindow(m_hWndPaint)) return;
    ::InvalidateRect(m_hWndPaint, &rcItem, FALSE);
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_pRoot || !::IsWindow(m_hWndPaint)) return;
    RECT rc = {};
    ::GetClientRect(m_hWndPaint, &rc);
    if (!m_bUpdateNeeded && ::EqualRect(&rc, &m_pRoot->GetPos())) return;
    m_bUpdateNeeded = false;
    if (rc.right > rc.left && rc.bottom > rc.top) m_pRoot->SetPos(rc, false);
}

void CPaintManagerUI::DoPaint() {
    // Marks name the window by its class (the bench keeps the first paint of each).
    wchar_t cls[64] = {};
    if (TimelineActive()) ::GetClassNameW(m_hWndPaint, cls, 64);
    Internal::Mark("paint", cls);
    PAINTSTRUCT ps = {};
    HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
    m_bAllInvalid = false;   // BeginPaint validated the window
    if (!hdc) return;
    UpdateLayout();
    RECT rcClient = {};
    ::GetClientRect(m_hWndPaint, &rcClient);
    int w = std::max(1L, rcClient.right), h = std::max(1L, rcClient.bottom);
    HDC mem = ::CreateCompatibleDC(hdc);
    HBITMAP bmp = ::CreateCompatibleBitmap(hdc, w, h);
    HBITMAP oldBmp = (HBITMAP)::SelectObject(mem, bmp);
    ::FillRect(mem, &ps.rcPaint, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    if (m_pRoot) m_pRoot->DoPaint(mem, ps.rcPaint);
    ::BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
             ps.rcPaint.bottom - ps.rcPaint.top, mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    ::SelectObject(mem, oldBmp);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::EndPaint(m_hWndPaint, &ps);
    Internal::Mark("painted", cls);
    SendWindowInit();
}

void CPaintManagerUI::SendWindowInit() {
    if (m_bWindowInitSent || !m_pRoot) return;
    m_bWindowInitSent = true;
    UpdateLayout();
    SendNotify(m_pRoot, DUI_MSGTYPE_WINDOWINIT);
}

// ---------------------------------------------------------------------------------------
// Focus

void CPaintManagerUI::SetFocus(CControlUI* pControl, bool bFocusWnd) {
    if (pControl == m_pFocus) {
        if (pControl) pControl->SetFocusState(true);   // native child may need the focus again
        else if (bFocusWnd && ::IsWindow(m_hWndPaint)) ::SetFocus(m_hWndPaint);
        return;
    }
    CControlUI* old = m_pFocus;
    m_pFocus = NULL;
    // Focus leaving the window (not moving to another control) comes back to the same control.
    m_pLastFocus = (!pControl && !bFocusWnd) ? old : NULL;
    if (old) {
        old->SetFocusState(false);
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (pControl && pControl->GetManager() == this && pControl->IsVisible() && pControl->IsEnabled()) {
        m_pFocus = pControl;
        if (bFocusWnd && ::IsWindow(m_hWndPaint) && !(pControl->GetInterface(DUI_CTR_EDIT)))
            ::SetFocus(m_hWndPaint);
        pControl->SetFocusState(true);
        SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
    } else if (bFocusWnd && ::IsWindow(m_hWndPaint)) {
        ::SetFocus(m_hWndPaint);
    }
}

void CPaintManagerUI::CollectTabStops(CControlUI* p, std::vector<CControlUI*>& out) const {
    struct Finder {
        static bool Proc(CControlUI* c, LPVOID data) {
            if ((c->GetControlFlags() & UIFLAG_TABSTOP) && c->IsTabStop() && c->IsVisible() && c->IsEnabled())
                static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
            return false;
        }
    };
    if (p) p->FindControl(Finder::Proc, &out, 0);
}

bool CPaintManagerUI::SetNextTabControl(bool bForward) {
    std::vector<CControlUI*> stops;
    CollectTabStops(m_pRoot, stops);
    if (stops.empty()) return false;
    auto it = std::find(stops.begin(), stops.end(), m_pFocus);
    int n = (int)stops.size();
    int idx;
    if (it == stops.end()) idx = bForward ? 0 : n - 1;
    else idx = ((int)(it - stops.begin()) + (bForward ? 1 : n - 1)) % n;
    SetFocus(stops[idx]);
    return true;
}

// ---------------------------------------------------------------------------------------
// Notifications and filters

bool CPaintManagerUI::AddNotifier(INotifyUI* p) {
    if (!p || std::find(m_notifiers.begin(), m_notifiers.end(), p) != m_notifiers.end()) return false;
    m_notifiers.push_back(p);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* p) {
    auto it = std::find(m_notifiers.begin(), m_notifiers.end(), p);
    if (it == m_notifiers.end()) return false;
    m_notifiers.erase(it);
    return true;
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* p) {
    if (!p || std::find(m_filters.begin(), m_filters.end(), p) != m_filters.end()) return false;
    m_filters.push_back(p);
    return true;
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* p) {
    auto it = std::find(m_filters.begin(), m_filters.end(), p);
    if (it == m_filters.end()) return false;
    m_filters.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam, LPARAM lParam,
                                 bool bAsync) {
    TNotifyUI msg;
    msg.pSender = pControl;
    msg.sType = pstrMessage;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync);
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg, bool bAsync) {
    (void)bAsync;   // delivered at once; senders are kept alive by the delayed clean-up
    Msg.ptMouse = m_ptLastMousePos;
    Msg.dwTimestamp = ::GetTickCount();
    // A notifier may remove itself (or others) while handling: iterate over a copy.
    std::vector<INotifyUI*> copy(m_notifiers);
    for (INotifyUI* n : copy) {
        if (std::find(m_notifiers.begin(), m_notifiers.end(), n) == m_notifiers.end()) continue;
        n->Notify(Msg);
    }
}

void CPaintManagerUI::UpdateToolTip(CControlUI* pControl) {
    if (!m_hwndTooltip) return;
    TOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_hWndPaint;
    ti.uId = 1;
    ::SendMessage(m_hwndTooltip, TTM_DELTOOLW, 0, (LPARAM)&ti);
    m_pTooltipOwner = NULL;
    if (!pControl || pControl->GetToolTip().IsEmpty()) {
        ::SendMessage(m_hwndTooltip, TTM_ACTIVATE, FALSE, 0);
        return;
    }
    m_tooltipTexts.assign(1, std::wstring(pControl->GetToolTip().GetData()));
    ti.uFlags = TTF_SUBCLASS;
    ti.hinst = GetInstance();
    ti.rect = pControl->GetPos();
    ti.lpszText = const_cast<LPWSTR>(m_tooltipTexts[0].c_str());
    ::SendMessage(m_hwndTooltip, TTM_ADDTOOLW, 0, (LPARAM)&ti);
    ::SendMessage(m_hwndTooltip, TTM_ACTIVATE, TRUE, 0);
    m_pTooltipOwner = pControl;
}

// ---------------------------------------------------------------------------------------
// Messages

bool CPaintManagerUI::TranslateMessage(const LPMSG pMsg) {
    if (!pMsg || !pMsg->hwnd) return false;
    // The innermost window that has a manager, the message's own window or an ancestor.
    CPaintManagerUI* best = NULL;
    for (HWND h = pMsg->hwnd; h && !best; h = ::GetParent(h))
        for (CPaintManagerUI* pm : g_managers)
            if (pm->m_hWndPaint == h) { best = pm; break; }
    if (!best) return false;
    LRESULT lRes = 0;
    return best->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes) &&
           IsAncestorOrSelf(best->m_hWndPaint, pMsg->hwnd);
}

void CPaintManagerUI::MessageLoop() {
    MSG msg = {};
    while (::GetMessage(&msg, NULL, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessage(&msg);
        }
    }
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (uMsg != WM_KEYDOWN) return false;
    if (wParam == VK_TAB) {
        if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
        return SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
    }
    // Esc/Enter typed into a native child reach the window's filters (default keys).
    if ((wParam == VK_ESCAPE || wParam == VK_RETURN) && ::GetFocus() != m_hWndPaint) {
        for (IMessageFilterUI* f : std::vector<IMessageFilterUI*>(m_filters)) {
            bool handled = false;
            lRes = f->MessageHandler(uMsg, wParam, lParam, handled);
            if (handled) return true;
        }
    }
    return false;
}

void CPaintManagerUI::MouseEvent(int type, WPARAM wParam, LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    TEventUI ev = {};
    ev.Type = type;
    ev.ptMouse = pt;
    ev.wParam = wParam;
    ev.lParam = lParam;
    ev.wKeyState = (WORD)wParam;
    ev.dwTimestamp = ::GetTickCount();
    switch (type) {
    case UIEVENT_MOUSEMOVE: {
        if (!m_bMouseTracking) {
            TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWndPaint, 0};
            ::TrackMouseEvent(&tme);
            m_bMouseTracking = true;
        }
        CControlUI* hit = FindControl(pt);
        if (hit != m_pEventHover) {
            CControlUI* old = m_pEventHover;
            m_pEventHover = hit;
            if (old) {
                TEventUI e = ev;
                e.Type = UIEVENT_MOUSELEAVE;
                e.pSender = old;
                old->Event(e);
            }
            if (hit) {
                TEventUI e = ev;
                e.Type = UIEVENT_MOUSEENTER;
                e.pSender = hit;
                hit->Event(e);
            }
            if (m_pEventHover == hit) UpdateToolTip(hit);
        }
        CControlUI* target = m_pEventClick ? m_pEventClick : m_pEventHover;
        if (target) {
            ev.pSender = target;
            target->Event(ev);
        }
        break;
    }
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK: {
        CControlUI* hit = FindControl(pt);
        if (!hit) {
            SetFocus(NULL);
            break;
        }
        ::SetCapture(m_hWndPaint);
        m_pEventClick = hit;
        SetFocus(hit);
        // Focus notifications may have removed the control.
        if (m_pEventClick != hit) break;
        ev.pSender = hit;
        hit->Event(ev);
        break;
    }
    case UIEVENT_BUTTONUP: {
        CControlUI* target = m_pEventClick;
        m_pEventClick = NULL;   // before releasing: WM_CAPTURECHANGED must not end the press
        if (::GetCapture() == m_hWndPaint) ::ReleaseCapture();
        if (target) {
            ev.pSender = target;
            target->Event(ev);
        }
        break;
    }
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_CONTEXTMENU: {
        CControlUI* hit = FindControl(pt);
        if (hit) {
            ev.pSender = hit;
            hit->Event(ev);
        }
        break;
    }
    default:
        break;
    }
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (!m_hWndPaint) return false;
    // A filter may answer the paint itself: later requests must reach the window again.
    if (uMsg == WM_PAINT) m_bAllInvalid = false;
    for (IMessageFilterUI* f : std::vector<IMessageFilterUI*>(m_filters)) {
        bool handled = false;
        LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = r;
            return true;
        }
    }
    switch (uMsg) {
    case WM_DELAYEDCLEANUP:
        FlushDelayedCleanup();
        return true;
    case WM_WINDOWINIT:
        SendWindowInit();
        return true;
    case WM_SETFOCUS:
        // Back to the window: the control that had the focus gets it again (an edit box
        // needs its native caret back).
        if (m_pFocus) m_pFocus->SetFocusState(true);
        else if (m_pLastFocus && m_pLastFocus->IsVisible() && m_pLastFocus->IsEnabled()) SetFocus(m_pLastFocus);
        return false;
    case WM_ERASEBKGND:
        lRes = 1;
        return true;
    case WM_PAINT:
        DoPaint();
        return true;
    case WM_SIZE:
        if (m_pRoot) {
            m_bUpdateNeeded = true;
            UpdateLayout();
            Invalidate();
        }
        return false;
    case WM_MOUSEMOVE:
        MouseEvent(UIEVENT_MOUSEMOVE, wParam, lParam);
        return false;
    case WM_MOUSELEAVE: {
        m_bMouseTracking = false;
        if (m_pEventHover && !m_pEventClick) {
            CControlUI* old = m_pEventHover;
            m_pEventHover = NULL;
            TEventUI e = {};
            e.Type = UIEVENT_MOUSELEAVE;
            e.pSender = old;
            e.dwTimestamp = ::GetTickCount();
            old->Event(e);
        }
        return false;
    }
    case WM_LBUTTONDOWN:
        MouseEvent(UIEVENT_BUTTONDOWN, wParam, lParam);
        return false;
    case WM_LBUTTONDBLCLK:
        MouseEvent(UIEVENT_DBLCLICK, wParam, lParam);
        return false;
    case WM_LBUTTONUP:
        MouseEvent(UIEVENT_BUTTONUP, wParam, lParam);
        return false;
    case WM_RBUTTONDOWN:
        MouseEvent(UIEVENT_RBUTTONDOWN, wParam, lParam);
        return false;
    case WM_CAPTURECHANGED:
        if ((HWND)lParam != m_hWndPaint && m_pEventClick) {
            // Capture taken away (e.g. a popup opened): the press ends without a click.
            CControlUI* t = m_pEventClick;
            m_pEventClick = NULL;
            TEventUI e = {};
            e.Type = UIEVENT_BUTTONUP;
            e.pSender = t;
            e.ptMouse = {-30000, -30000};
            t->Event(e);
        }
        return false;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (m_pFocus) {
            TEventUI e = {};
            e.Type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : uMsg == WM_KEYUP ? UIEVENT_KEYUP : UIEVENT_CHAR;
            e.pSender = m_pFocus;
            e.chKey = (TCHAR)wParam;
            e.wParam = wParam;
            e.lParam = lParam;
            e.dwTimestamp = ::GetTickCount();
            m_pFocus->Event(e);
        }
        return false;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            if (CEditUI* edit = CEditUI::FromNative((HWND)lParam)) {
                edit->OnNativeChange();
                return true;
            }
        }
        return false;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        CEditUI* edit = CEditUI::FromNative((HWND)lParam);
        if (!edit) return false;
        HDC dc = (HDC)wParam;
        DWORD bk = edit->GetNativeBkColor();
        DWORD tc = edit->IsEnabled() ? (edit->GetTextColor() ? edit->GetTextColor() : m_dwDefaultFontColor)
                                     : m_dwDefaultDisabledColor;
        ::SetTextColor(dc, RGB((tc >> 16) & 0xFF, (tc >> 8) & 0xFF, tc & 0xFF));
        ::SetBkColor(dc, RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
        ::SetDCBrushColor(dc, RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
        lRes = (LRESULT)::GetStockObject(DC_BRUSH);
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------
// Test entry points

bool CPaintManagerUI::TestClick(LPCTSTR pstrName) { return TestClick(FindControl(pstrName)); }

bool CPaintManagerUI::TestClick(CControlUI* pControl) {
    if (!pControl || pControl->GetManager() != this || !::IsWindow(m_hWndPaint)) return false;
    UpdateLayout();
    if (!pControl->IsVisible()) return false;
    const RECT& rc = pControl->GetPos();
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    if (rc.right <= rc.left || rc.bottom <= rc.top) return false;
    LPARAM lp = MAKELPARAM(pt.x, pt.y);
    ::SendMessage(m_hWndPaint, WM_MOUSEMOVE, 0, lp);
    if (!::IsWindow(m_hWndPaint)) return true;
    ::SendMessage(m_hWndPaint, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    if (!::IsWindow(m_hWndPaint)) return true;
    ::SendMessage(m_hWndPaint, WM_LBUTTONUP, 0, lp);
    return true;
}

} // namespace DuiLib
