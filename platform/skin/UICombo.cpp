#include "UIControls.h"

#include "UIRender.h"

#include <algorithm>
#include <windowsx.h>

namespace DuiLib {

// The open list of a combo: a popup owned by the combo's window, closed when it loses focus.
class CComboWnd : public CWindowWnd {
public:
    explicit CComboWnd(CComboUI* owner) : m_pOwner(owner) {}
    void Open();
    void Detach() { m_pOwner = NULL; }
    RECT ItemRect(int i) const;
    int HitTest(POINT pt) const;
    void Choose(int i);

protected:
    LPCTSTR GetWindowClassName() const override { return _T("DuiComboWnd"); }
    UINT GetClassStyle() const override { return CS_DBLCLKS | CS_DROPSHADOW; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND) override;

private:
    void Paint();
    void EnsureVisible(int i);
    CComboUI* m_pOwner;
    int m_iHot = -1;
    int m_iTop = 0;
    int m_iItemHeight = 28;
    int m_iVisible = 1;
    bool m_bClosing = false;
};

void CComboWnd::Open() {
    CPaintManagerUI* pm = m_pOwner->GetManager();
    HWND owner = pm->GetPaintWindow();
    RECT rc = m_pOwner->GetPos();
    POINT tl = {rc.left, rc.bottom};
    ::ClientToScreen(owner, &tl);
    m_iItemHeight = std::max(1, pm->ScaleValue(m_pOwner->GetItemHeight()));
    int count = std::max(1, m_pOwner->GetCount());
    int maxH = pm->ScaleValue(m_pOwner->GetDropHeight());
    m_iVisible = std::max(1, std::min(count, maxH / m_iItemHeight));
    int w = rc.right - rc.left, h = m_iVisible * m_iItemHeight + 2;
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfo(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &mi);
    int y = tl.y;
    if (y + h > mi.rcWork.bottom) {   // no room below: open upwards
        POINT top = {rc.left, rc.top};
        ::ClientToScreen(owner, &top);
        y = top.y - h;
    }
    m_iHot = m_pOwner->GetCurSel();
    EnsureVisible(m_iHot);
    Create(owner, NULL, WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW, tl.x, y, w, h);
    if (!m_hWnd) return;
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetFocus(m_hWnd);
}

RECT CComboWnd::ItemRect(int i) const {
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    int top = (i - m_iTop) * m_iItemHeight;
    return RECT{0, top, rc.right, top + m_iItemHeight};
}

int CComboWnd::HitTest(POINT pt) const {
    if (!m_pOwner || pt.y < 0) return -1;
    int i = m_iTop + pt.y / m_iItemHeight;
    return (i >= 0 && i < m_pOwner->GetCount()) ? i : -1;
}

void CComboWnd::EnsureVisible(int i) {
    if (i < 0) return;
    if (i < m_iTop) m_iTop = i;
    if (i >= m_iTop + m_iVisible) m_iTop = i - m_iVisible + 1;
}

void CComboWnd::Choose(int i) {
    CComboUI* owner = m_pOwner;
    if (!m_bClosing) {
        m_bClosing = true;
        ::PostMessage(m_hWnd, WM_CLOSE, 0, 0);
    }
    if (owner && i >= 0) owner->SelectItem(i, true);
}

void CComboWnd::Paint() {
    PAINTSTRUCT ps = {};
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    ::FillRect(hdc, &rc, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    if (m_pOwner && m_pOwner->GetManager()) {
        CPaintManagerUI* pm = m_pOwner->GetManager();
        RECT pad = pm->GetDPIObj()->Scale(m_pOwner->GetTextPadding());
        DWORD tc = m_pOwner->GetTextColor() ? m_pOwner->GetTextColor() : pm->GetDefaultFontColor();
        for (int i = m_iTop; i < m_pOwner->GetCount() && i < m_iTop + m_iVisible; ++i) {
            RECT r = ItemRect(i);
            if (i == m_iHot) Render::FillRect(hdc, r, 0xFFE8F1FD);
            else if (i == m_pOwner->GetCurSel()) Render::FillRect(hdc, r, 0xFFF3F6FA);
            RECT t = {r.left + pad.left, r.top, r.right - pad.right, r.bottom};
            Render::DrawText(hdc, pm, t, m_pOwner->GetItemAt(i)->GetText(), tc, m_pOwner->GetFont(),
                             DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
        }
    }
    ::EndPaint(m_hWnd, &ps);
}

LRESULT CComboWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSEMOVE: {
        int i = HitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (i != m_iHot && i >= 0) {
            m_iHot = i;
            ::InvalidateRect(m_hWnd, NULL, FALSE);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        int i = HitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (i >= 0) Choose(i);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int delta = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -1 : 1;
        int maxTop = m_pOwner ? std::max(0, m_pOwner->GetCount() - m_iVisible) : 0;
        m_iTop = std::max(0, std::min(maxTop, m_iTop + delta));
        ::InvalidateRect(m_hWnd, NULL, FALSE);
        return 0;
    }
    case WM_KEYDOWN:
        if (!m_pOwner) return 0;
        if (wParam == VK_UP || wParam == VK_DOWN) {
            int n = m_pOwner->GetCount();
            if (n > 0) {
                m_iHot = wParam == VK_UP ? std::max(0, m_iHot - 1) : std::min(n - 1, m_iHot + 1);
                EnsureVisible(m_iHot);
                ::InvalidateRect(m_hWnd, NULL, FALSE);
            }
        } else if (wParam == VK_RETURN) {
            Choose(m_iHot);
        } else if (wParam == VK_ESCAPE || wParam == VK_TAB) {
            Choose(-1);
        }
        return 0;
    case WM_KILLFOCUS:
        if (!m_bClosing) {
            m_bClosing = true;
            ::PostMessage(m_hWnd, WM_CLOSE, 0, 0);
        }
        break;
    case WM_CLOSE:
        if (m_pOwner) {
            // Keyboard focus goes back to the window that opened the list.
            HWND owner = m_pOwner->GetManager() ? m_pOwner->GetManager()->GetPaintWindow() : NULL;
            if (owner && ::GetFocus() == m_hWnd) ::SetFocus(owner);
        }
        ::DestroyWindow(m_hWnd);
        return 0;
    default:
        break;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CComboWnd::OnFinalMessage(HWND) {
    if (m_pOwner) m_pOwner->OnDropClosed();
    delete this;
}

// ---------------------------------------------------------------------------------------

CComboUI::CComboUI() {
    m_nBorderSize = 1;
    m_dwBorderColor = 0xFFD0D5DD;
    m_dwBackColor = 0xFFFFFFFF;
}

CComboUI::~CComboUI() { CloseDropDown(); }

LPVOID CComboUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_COMBO) == 0) return this;
    return CContainerUI::GetInterface(pstrName);
}

UINT CComboUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_TABSTOP : 0; }

HWND CComboUI::GetDropHWND() const { return m_pWindow ? m_pWindow->GetHWND() : NULL; }

void CComboUI::CloseDropDown() {
    if (!m_pWindow) return;
    CComboWnd* w = m_pWindow;
    m_pWindow = NULL;
    w->Detach();
    if (::IsWindow(w->GetHWND())) ::DestroyWindow(w->GetHWND());   // deletes itself
}

void CComboUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    if (pManager != m_pManager) CloseDropDown();
    CContainerUI::SetManager(pManager, pParent, bInit);
}

CDuiString CComboUI::GetText() const {
    CControlUI* item = GetItemAt(m_iCurSel);
    return item ? item->GetText() : CDuiString();
}

bool CComboUI::SelectItem(int iIndex, bool bTakeFocus) {
    if (bTakeFocus) SetFocus();
    if (iIndex == m_iCurSel) return iIndex >= 0;
    int old = m_iCurSel;
    if (CListLabelElementUI* o = static_cast<CListLabelElementUI*>(
            GetItemAt(old) ? GetItemAt(old)->GetInterface(DUI_CTR_LISTLABELELEMENT) : NULL))
        o->SetSelectedFlag(false);
    if (iIndex < 0 || iIndex >= GetCount()) {
        m_iCurSel = -1;
        Invalidate();
        return false;
    }
    m_iCurSel = iIndex;
    if (CListLabelElementUI* n = static_cast<CListLabelElementUI*>(GetItemAt(iIndex)->GetInterface(DUI_CTR_LISTLABELELEMENT)))
        n->SetSelectedFlag(true);
    Invalidate();
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, (WPARAM)m_iCurSel, (LPARAM)old);
    return true;
}

bool CComboUI::Add(CControlUI* p) { return AddAt(p, GetCount()); }

bool CComboUI::AddAt(CControlUI* p, int iIndex) {
    if (!CContainerUI::AddAt(p, iIndex)) return false;
    if (m_iCurSel >= iIndex) ++m_iCurSel;
    if (m_pWindow) ::InvalidateRect(m_pWindow->GetHWND(), NULL, FALSE);
    return true;
}

bool CComboUI::Remove(CControlUI* p, bool bDoNotDestroy) {
    int i = GetItemIndex(p);
    return i >= 0 && RemoveAt(i, bDoNotDestroy);
}

bool CComboUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
    if (!CContainerUI::RemoveAt(iIndex, bDoNotDestroy)) return false;
    if (iIndex == m_iCurSel) m_iCurSel = -1;
    else if (iIndex < m_iCurSel) --m_iCurSel;
    if (m_pWindow) ::InvalidateRect(m_pWindow->GetHWND(), NULL, FALSE);
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    CloseDropDown();
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    Invalidate();
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate() || !m_pManager) return false;
    if (m_pWindow) return true;
    m_pManager->SendNotify(this, DUI_MSGTYPE_PREDROPDOWN);
    if (m_pWindow || !m_pManager) return true;
    m_pWindow = new CComboWnd(this);
    m_pWindow->Open();
    if (!m_pWindow || !::IsWindow(m_pWindow->GetHWND())) {
        delete m_pWindow;
        m_pWindow = NULL;
        return false;
    }
    m_pManager->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
    Invalidate();
    return true;
}

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) {
    // Items live in the drop-down, not in the control's rectangle.
    CControlUI::SetPos(rc, bNeedInvalidate);
}

void CComboUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled()) Activate();
        return;
    case UIEVENT_KEYDOWN:
        if (event.chKey == VK_F4 || (event.chKey == VK_DOWN && ::GetKeyState(VK_MENU) < 0)) Activate();
        else if (event.chKey == VK_UP && m_iCurSel > 0) SelectItem(m_iCurSel - 1);
        else if (event.chKey == VK_DOWN && m_iCurSel + 1 < GetCount()) SelectItem(m_iCurSel + 1);
        return;
    case UIEVENT_MOUSEENTER:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_MOUSEMOVE:
        return;
    default:
        CContainerUI::DoEvent(event);
    }
}

void CComboUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT tmp;
    if (!::IntersectRect(&tmp, &rcPaint, &m_rcItem) || !m_pManager) return;
    int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, tmp.left, tmp.top, tmp.right, tmp.bottom);
    PaintBkColor(hDC);
    bool hot = m_pManager->GetHotControl() == this;
    const CDuiString& img = (m_pWindow && !m_sPushedImage.IsEmpty()) ? m_sPushedImage
                            : (hot && !m_sHotImage.IsEmpty())        ? m_sHotImage
                                                                     : m_sNormalImage;
    if (!img.IsEmpty()) DrawImage(hDC, img);
    RECT pad = m_pManager->GetDPIObj()->Scale(m_rcTextPadding);
    RECT t = {m_rcItem.left + pad.left, m_rcItem.top + pad.top, m_rcItem.right - pad.right, m_rcItem.bottom - pad.bottom};
    DWORD tc = IsEnabled() ? (m_dwTextColor ? m_dwTextColor : m_pManager->GetDefaultFontColor())
                           : m_pManager->GetDefaultDisabledColor();
    if (m_bShowText)
        Render::DrawText(hDC, m_pManager, t, GetText(), tc, m_iFont, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    int size = m_nBorderSize > 0 ? std::max(1, m_pManager->ScaleValue(m_nBorderSize)) : 0;
    DWORD bc = ((hot || m_bFocused || m_pWindow) && m_dwHotBorderColor) ? m_dwHotBorderColor : m_dwBorderColor;
    Render::DrawBorder(hDC, m_rcItem, size, bc, m_pManager->ScaleValue(m_cxyBorderRound.cx) / 2);
    ::RestoreDC(hDC, saved);
}

void CComboUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (!pstrName) return;
    if (_wcsicmp(pstrName, L"dropboxsize") == 0) {
        SIZE sz = ParseSize(pstrValue);
        if (sz.cy > 0) m_iDropHeight = sz.cy;
    } else if (_wcsicmp(pstrName, L"itemheight") == 0) m_iItemHeight = std::max(8, _wtoi(pstrValue));
    else if (_wcsicmp(pstrName, L"font") == 0 || _wcsicmp(pstrName, L"itemfont") == 0) m_iFont = _wtoi(pstrValue);
    else if (_wcsicmp(pstrName, L"textcolor") == 0 || _wcsicmp(pstrName, L"itemtextcolor") == 0)
        m_dwTextColor = ParseColor(pstrValue);
    else if (_wcsicmp(pstrName, L"textpadding") == 0) m_rcTextPadding = ParseRect(pstrValue);
    else if (_wcsicmp(pstrName, L"normalimage") == 0) m_sNormalImage = pstrValue;
    else if (_wcsicmp(pstrName, L"hotimage") == 0) m_sHotImage = pstrValue;
    else if (_wcsicmp(pstrName, L"pushedimage") == 0) m_sPushedImage = pstrValue;
    else if (_wcsicmp(pstrName, L"hotbordercolor") == 0) m_dwHotBorderColor = ParseColor(pstrValue);
    else CContainerUI::SetAttribute(pstrName, pstrValue);
}

} // namespace DuiLib
