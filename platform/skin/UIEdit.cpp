#include "UIControls.h"

#include "UIRender.h"

#include <algorithm>
#include <cwctype>

namespace DuiLib {

// A named property, not GWLP_USERDATA: the parent asks about any child window it hears from,
// and only our edit boxes carry this name.
static const wchar_t kEditProp[] = L"DuiLibEditUI";

CEditUI* CEditUI::FromNative(HWND hWnd) {
    if (!hWnd) return NULL;
    CEditUI* edit = static_cast<CEditUI*>(::GetPropW(hWnd, kEditProp));
    return (edit && edit->m_hEdit == hWnd) ? edit : NULL;
}

CEditUI::CEditUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
    m_rcTextPadding = {6, 0, 6, 0};
}

CEditUI::~CEditUI() { DestroyNative(); }

LPVOID CEditUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_EDIT) == 0) return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CEditUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

void CEditUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    if (pManager != m_pManager) DestroyNative();   // the native box belongs to one window
    CLabelUI::SetManager(pManager, pParent, bInit);
}

void CEditUI::DoInit() { CreateNative(); }

void CEditUI::CreateNative() {
    if (m_hEdit || !m_pManager || !::IsWindow(m_pManager->GetPaintWindow())) return;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | ES_AUTOHSCROLL | ES_LEFT;
    if (m_bPasswordMode) style |= ES_PASSWORD;
    if (m_bReadOnly) style |= ES_READONLY;
    m_hEdit = ::CreateWindowExW(0, L"EDIT", L"", style, 0, 0, 0, 0, m_pManager->GetPaintWindow(), NULL,
                                CPaintManagerUI::GetInstance(), NULL);
    if (!m_hEdit) return;
    ::SetPropW(m_hEdit, kEditProp, (HANDLE)this);
    m_oldProc = (WNDPROC)::SetWindowLongPtr(m_hEdit, GWLP_WNDPROC, (LONG_PTR)EditProc);
    ::SendMessage(m_hEdit, WM_SETFONT, (WPARAM)m_pManager->GetFont(m_iFont), FALSE);
    ::SendMessage(m_hEdit, EM_LIMITTEXT, m_uMaxChar, 0);
    if (m_bPasswordMode) ::SendMessage(m_hEdit, EM_SETPASSWORDCHAR, (WPARAM)L'\x25CF', 0);
    m_bSettingText = true;
    ::SetWindowTextW(m_hEdit, m_sText);
    m_bSettingText = false;
    ::EnableWindow(m_hEdit, IsEnabled());
    SetPos(m_rcItem, false);
    UpdateNativeVisibility();
}

void CEditUI::DestroyNative() {
    if (!m_hEdit) return;
    HWND h = m_hEdit;
    m_hEdit = NULL;
    if (::IsWindow(h)) {
        ::RemovePropW(h, kEditProp);
        if (m_oldProc) ::SetWindowLongPtr(h, GWLP_WNDPROC, (LONG_PTR)m_oldProc);
        ::DestroyWindow(h);
    }
    m_oldProc = NULL;
}

void CEditUI::UpdateNativeVisibility() {
    if (!m_hEdit) return;
    bool show = IsVisible() && m_rcItem.right > m_rcItem.left && m_rcItem.bottom > m_rcItem.top;
    ::ShowWindow(m_hEdit, show ? SW_SHOWNA : SW_HIDE);
}

void CEditUI::OnDPIChanged() {
    if (m_hEdit && m_pManager) ::SendMessage(m_hEdit, WM_SETFONT, (WPARAM)m_pManager->GetFont(m_iFont), TRUE);
}

void CEditUI::SetText(LPCTSTR pstrText) {
    m_sText = pstrText;
    if (m_hEdit) {
        m_bSettingText = true;
        ::SetWindowTextW(m_hEdit, m_sText);
        m_bSettingText = false;
    }
    Invalidate();
}

void CEditUI::OnNativeChange() {
    if (!m_hEdit) return;
    int len = ::GetWindowTextLengthW(m_hEdit);
    std::wstring buf(len + 1, L'\0');
    int got = ::GetWindowTextW(m_hEdit, &buf[0], len + 1);
    buf.resize(std::max(0, got));
    m_sText = buf;
    if (!m_bSettingText && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}

DWORD CEditUI::GetNativeBkColor() const {
    if (!IsEnabled()) return 0xFFF3F4F6;
    return m_dwEditBkColor ? m_dwEditBkColor : 0xFFFFFFFF;
}

void CEditUI::SetPasswordMode(bool b) {
    m_bPasswordMode = b;
    if (m_hEdit) {
        ::SendMessage(m_hEdit, EM_SETPASSWORDCHAR, b ? (WPARAM)L'\x25CF' : 0, 0);
        ::InvalidateRect(m_hEdit, NULL, TRUE);
    }
}

void CEditUI::SetMaxChar(UINT uMax) {
    m_uMaxChar = uMax;
    if (m_hEdit) ::SendMessage(m_hEdit, EM_LIMITTEXT, m_uMaxChar, 0);
}

void CEditUI::SetReadOnly(bool b) {
    m_bReadOnly = b;
    if (m_hEdit) ::SendMessage(m_hEdit, EM_SETREADONLY, b, 0);
}

void CEditUI::SetSel(long nStartChar, long nEndChar) {
    if (m_hEdit) ::SendMessage(m_hEdit, EM_SETSEL, nStartChar, nEndChar);
}

void CEditUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CLabelUI::SetPos(rc, bNeedInvalidate);
    if (!m_hEdit || !m_pManager) return;
    RECT r = TextRect();
    int border = m_nBorderSize > 0 ? std::max(1, m_pManager->ScaleValue(m_nBorderSize)) : 0;
    r.left += border;
    r.right -= border;
    // The native box is one line high, centred in the text area.
    int h = m_pManager->GetFontInfo(m_iFont).tmHeight + 2;
    if (h <= 2) h = m_pManager->ScaleValue(18);
    int avail = r.bottom - r.top - 2 * border;
    if (h > avail) h = std::max(0, avail);
    int top = (r.top + r.bottom - h) / 2;
    ::MoveWindow(m_hEdit, r.left, top, std::max(0L, r.right - r.left), h, TRUE);
    UpdateNativeVisibility();
}

void CEditUI::SetVisible(bool bVisible) {
    CLabelUI::SetVisible(bVisible);
    UpdateNativeVisibility();
}

void CEditUI::SetInternVisible(bool bVisible) {
    CLabelUI::SetInternVisible(bVisible);
    UpdateNativeVisibility();
}

void CEditUI::SetEnabled(bool bEnable) {
    CLabelUI::SetEnabled(bEnable);
    if (m_hEdit) ::EnableWindow(m_hEdit, bEnable);
}

void CEditUI::SetFocusState(bool bFocused) {
    CLabelUI::SetFocusState(bFocused);
    if (bFocused && m_hEdit && ::GetFocus() != m_hEdit) ::SetFocus(m_hEdit);
}

void CEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (!pstrName) return;
    if (_wcsicmp(pstrName, L"password") == 0) SetPasswordMode(ParseBool(pstrValue));
    else if (_wcsicmp(pstrName, L"maxchar") == 0) SetMaxChar((UINT)std::max(0, _wtoi(pstrValue)));
    else if (_wcsicmp(pstrName, L"readonly") == 0) SetReadOnly(ParseBool(pstrValue));
    else if (_wcsicmp(pstrName, L"prompttext") == 0) m_sPromptText = pstrValue;
    else if (_wcsicmp(pstrName, L"nativebkcolor") == 0) m_dwEditBkColor = ParseColor(pstrValue);
    else if (_wcsicmp(pstrName, L"bkcolor") == 0) {
        m_dwEditBkColor = ParseColor(pstrValue);
        CLabelUI::SetAttribute(pstrName, pstrValue);
    } else CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_BUTTONUP:
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSEENTER:
    case UIEVENT_MOUSELEAVE:
        return;   // the manager already focused us; the native box takes the rest
    default:
        CLabelUI::DoEvent(event);
    }
}

void CEditUI::PaintText(HDC) {}   // the native box draws the text

void CEditUI::PaintBorder(HDC hDC) {
    if (!m_pManager) return;
    DWORD color = (m_bFocused && m_dwFocusBorderColor) ? m_dwFocusBorderColor : m_dwBorderColor;
    int size = m_nBorderSize > 0 ? std::max(1, m_pManager->ScaleValue(m_nBorderSize)) : 0;
    Render::DrawBorder(hDC, m_rcItem, size, color, m_pManager->ScaleValue(m_cxyBorderRound.cx) / 2);
}

LRESULT CALLBACK CEditUI::EditProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CEditUI* self = FromNative(hWnd);
    if (!self || self->m_hEdit != hWnd || !self->m_oldProc) return ::DefWindowProc(hWnd, uMsg, wParam, lParam);
    WNDPROC old = self->m_oldProc;
    try {
        CPaintManagerUI* pm = self->m_pManager;
        switch (uMsg) {
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                if (pm) pm->SendNotify(self, DUI_MSGTYPE_RETURN);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == VK_TAB || wParam == VK_ESCAPE) return 0;   // no beep
            break;
        case WM_SETFOCUS:
            if (pm && pm->GetFocus() != self) pm->SetFocus(self, false);
            break;
        case WM_KILLFOCUS:
            if (pm && pm->GetFocus() == self && (HWND)wParam != pm->GetPaintWindow()) pm->SetFocus(NULL, false);
            break;
        case WM_NCDESTROY:
            ::RemovePropW(hWnd, kEditProp);
            ::SetWindowLongPtr(hWnd, GWLP_WNDPROC, (LONG_PTR)old);
            self->m_hEdit = NULL;
            self->m_oldProc = NULL;
            break;
        default:
            break;
        }
    } catch (...) {
    }
    return ::CallWindowProc(old, hWnd, uMsg, wParam, lParam);
}

} // namespace DuiLib
