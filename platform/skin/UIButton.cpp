#include "UIControls.h"

#include "UIRender.h"

#include <algorithm>
#include <cwctype>

namespace DuiLib {

static std::wstring Lower(LPCTSTR s) {
    std::wstring r(s ? s : L"");
    for (auto& c : r) c = (wchar_t)towlower(c);
    return r;
}

// ---------------------------------------------------------------------------------------
// CLabelUI

LPVOID CLabelUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_LABEL) == 0) return this;
    return CControlUI::GetInterface(pstrName);
}

void CLabelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = Lower(pstrName);
    if (n == L"align") {
        std::wstring v = Lower(pstrValue);
        m_uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (v.find(L"left") != std::wstring::npos) m_uTextStyle |= DT_LEFT;
        else if (v.find(L"right") != std::wstring::npos) m_uTextStyle |= DT_RIGHT;
        else m_uTextStyle |= DT_CENTER;
        if (v.find(L"top") != std::wstring::npos) { m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM); m_uTextStyle |= DT_TOP; }
        if (v.find(L"bottom") != std::wstring::npos) { m_uTextStyle &= ~(DT_VCENTER | DT_TOP); m_uTextStyle |= DT_BOTTOM; }
        Invalidate();
    } else if (n == L"valign") {
        std::wstring v = Lower(pstrValue);
        m_uTextStyle &= ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
        m_uTextStyle |= v == L"top" ? DT_TOP : v == L"bottom" ? DT_BOTTOM : DT_VCENTER;
        Invalidate();
    } else if (n == L"endellipsis") {
        if (ParseBool(pstrValue)) m_uTextStyle |= DT_END_ELLIPSIS;
        else m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (n == L"wordbreak" || n == L"multiline") {
        if (ParseBool(pstrValue)) { m_uTextStyle &= ~DT_SINGLELINE; m_uTextStyle |= DT_WORDBREAK; }
        else { m_uTextStyle |= DT_SINGLELINE; m_uTextStyle &= ~DT_WORDBREAK; }
    } else if (n == L"font") SetFont(_wtoi(pstrValue));
    else if (n == L"textcolor") SetTextColor(ParseColor(pstrValue));
    else if (n == L"disabledtextcolor") SetDisabledTextColor(ParseColor(pstrValue));
    else if (n == L"textpadding") SetTextPadding(ParseRect(pstrValue));
    else CControlUI::SetAttribute(pstrName, pstrValue);
}

RECT CLabelUI::TextRect() const {
    RECT pad = m_pManager ? m_pManager->GetDPIObj()->Scale(m_rcTextPadding) : m_rcTextPadding;
    return RECT{m_rcItem.left + pad.left, m_rcItem.top + pad.top, m_rcItem.right - pad.right,
                m_rcItem.bottom - pad.bottom};
}

void CLabelUI::DrawTextIn(HDC hDC, const RECT& rc, DWORD color, int font) {
    if (!m_pManager) return;
    if (!color) color = m_pManager->GetDefaultFontColor();
    Render::DrawText(hDC, m_pManager, rc, m_sText, color, font, m_uTextStyle);
}

void CLabelUI::PaintText(HDC hDC) {
    if (m_sText.IsEmpty() || !m_pManager) return;
    DWORD color = IsEnabled() ? m_dwTextColor
                              : (m_dwDisabledTextColor ? m_dwDisabledTextColor : m_pManager->GetDefaultDisabledColor());
    DrawTextIn(hDC, TextRect(), color, m_iFont);
}

// ---------------------------------------------------------------------------------------
// CButtonUI

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

LPVOID CButtonUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_BUTTON) == 0) return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const { return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0); }

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool bEnable) {
    CControlUI::SetEnabled(bEnable);
    if (!bEnable) m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        return;
    case UIEVENT_KEYDOWN:
        if (IsKeyboardEnabled() && IsEnabled() && event.chKey == VK_SPACE) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled() && ::PtInRect(&m_rcItem, event.ptMouse)) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            if (::PtInRect(&m_rcItem, event.ptMouse)) m_uButtonState |= UISTATE_PUSHED;
            else m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside) Activate();
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = Lower(pstrName);
    if (n == L"normalimage") SetNormalImage(pstrValue);
    else if (n == L"hotimage") SetHotImage(pstrValue);
    else if (n == L"pushedimage") SetPushedImage(pstrValue);
    else if (n == L"focusedimage") m_sFocusedImage = pstrValue;
    else if (n == L"disabledimage") SetDisabledImage(pstrValue);
    else if (n == L"foreimage") m_sForeImage = pstrValue;
    else if (n == L"hotforeimage") m_sHotForeImage = pstrValue;
    else if (n == L"hotbkcolor") m_dwHotBkColor = ParseColor(pstrValue);
    else if (n == L"pushedbkcolor") m_dwPushedBkColor = ParseColor(pstrValue);
    else if (n == L"disabledbkcolor") m_dwDisabledBkColor = ParseColor(pstrValue);
    else if (n == L"hottextcolor") m_dwHotTextColor = ParseColor(pstrValue);
    else if (n == L"pushedtextcolor") m_dwPushedTextColor = ParseColor(pstrValue);
    else if (n == L"focusedtextcolor") m_dwFocusedTextColor = ParseColor(pstrValue);
    else if (n == L"hotbordercolor") m_dwHotBorderColor = ParseColor(pstrValue);
    else CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CButtonUI::PaintBkColor(HDC hDC) {
    DWORD c = m_dwBackColor;
    if (!IsEnabled() && m_dwDisabledBkColor) c = m_dwDisabledBkColor;
    else if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedBkColor) c = m_dwPushedBkColor;
    else if ((m_uButtonState & UISTATE_HOT) && m_dwHotBkColor) c = m_dwHotBkColor;
    int round = m_pManager ? m_pManager->ScaleValue(m_cxyBorderRound.cx) / 2 : 0;
    Render::FillRect(hDC, m_rcItem, c, round);
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    const CDuiString* img = &m_sNormalImage;
    if (!IsEnabled()) {
        if (!m_sDisabledImage.IsEmpty()) img = &m_sDisabledImage;
    } else if (m_uButtonState & UISTATE_PUSHED) {
        if (!m_sPushedImage.IsEmpty()) img = &m_sPushedImage;
        else if (!m_sHotImage.IsEmpty()) img = &m_sHotImage;
    } else if (m_uButtonState & UISTATE_HOT) {
        if (!m_sHotImage.IsEmpty()) img = &m_sHotImage;
    } else if (m_bFocused && !m_sFocusedImage.IsEmpty()) {
        img = &m_sFocusedImage;
    }
    if (!img->IsEmpty()) DrawImage(hDC, *img);
    const CDuiString& fore = ((m_uButtonState & UISTATE_HOT) && !m_sHotForeImage.IsEmpty()) ? m_sHotForeImage : m_sForeImage;
    if (!fore.IsEmpty()) DrawImage(hDC, fore);
    if ((m_uButtonState & UISTATE_HOT) && m_dwHotBorderColor && m_pManager)
        Render::DrawBorder(hDC, m_rcItem, std::max(1, m_pManager->ScaleValue(1)), m_dwHotBorderColor,
                           m_pManager->ScaleValue(m_cxyBorderRound.cx) / 2);
}

void CButtonUI::PaintText(HDC hDC) {
    if (m_sText.IsEmpty() || !m_pManager) return;
    DWORD c = m_dwTextColor;
    if (!IsEnabled()) c = m_dwDisabledTextColor ? m_dwDisabledTextColor : m_pManager->GetDefaultDisabledColor();
    else if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor) c = m_dwPushedTextColor;
    else if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor) c = m_dwHotTextColor;
    else if (m_bFocused && m_dwFocusedTextColor) c = m_dwFocusedTextColor;
    DrawTextIn(hDC, TextRect(), c, m_iFont);
}

// ---------------------------------------------------------------------------------------
// COptionUI

LPVOID COptionUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_OPTION) == 0) return this;
    return CButtonUI::GetInterface(pstrName);
}

void COptionUI::SetGroup(LPCTSTR pStrGroupName) {
    m_sGroupName = pStrGroupName;
    if (m_bSelected && m_pManager) {
        // Joining a group with a selected member keeps the group's rule of one.
        m_bSelected = false;
        Selected(true, false);
    }
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate()) return false;
    if (!m_sGroupName.IsEmpty()) Selected(true);
    else Selected(!m_bSelected);
    return true;
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
    if (m_bSelected == bSelected) return;
    m_bSelected = bSelected;
    Invalidate();
    if (!m_pManager) return;
    if (!m_sGroupName.IsEmpty()) {
        if (!m_bSelected) return;   // a group reports the newly selected member only
        std::vector<CControlUI*> group;
        m_pManager->GetOptionGroup(m_sGroupName, group);
        for (CControlUI* c : group)
            if (c != this) static_cast<COptionUI*>(c->GetInterface(DUI_CTR_OPTION))->Selected(false, bTriggerEvent);
    }
    if (bTriggerEvent) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED, (WPARAM)m_bSelected, 0);
}

void COptionUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = Lower(pstrName);
    if (n == L"group") SetGroup(pstrValue);
    else if (n == L"selected") Selected(ParseBool(pstrValue), false);
    else if (n == L"selectedimage") SetSelectedImage(pstrValue);
    else if (n == L"selectedhotimage") m_sSelectedHotImage = pstrValue;
    else if (n == L"selectedpushedimage") m_sSelectedPushedImage = pstrValue;
    else if (n == L"selectedbkcolor") m_dwSelectedBkColor = ParseColor(pstrValue);
    else if (n == L"selectedtextcolor") m_dwSelectedTextColor = ParseColor(pstrValue);
    else CButtonUI::SetAttribute(pstrName, pstrValue);
}

void COptionUI::PaintBkColor(HDC hDC) {
    if (m_bSelected && m_dwSelectedBkColor) {
        Render::FillRect(hDC, m_rcItem, m_dwSelectedBkColor, m_pManager ? m_pManager->ScaleValue(m_cxyBorderRound.cx) / 2 : 0);
        return;
    }
    CButtonUI::PaintBkColor(hDC);
}

void COptionUI::PaintStatusImage(HDC hDC) {
    if (m_bSelected && IsEnabled()) {
        const CDuiString* img = &m_sSelectedImage;
        if ((m_uButtonState & UISTATE_PUSHED) && !m_sSelectedPushedImage.IsEmpty()) img = &m_sSelectedPushedImage;
        else if ((m_uButtonState & UISTATE_HOT) && !m_sSelectedHotImage.IsEmpty()) img = &m_sSelectedHotImage;
        if (!img->IsEmpty()) {
            DrawImage(hDC, *img);
            if (!m_sForeImage.IsEmpty()) DrawImage(hDC, m_sForeImage);
            return;
        }
    }
    CButtonUI::PaintStatusImage(hDC);
}

void COptionUI::PaintText(HDC hDC) {
    if (m_bSelected && m_dwSelectedTextColor && IsEnabled()) {
        DrawTextIn(hDC, TextRect(), m_dwSelectedTextColor, m_iFont);
        return;
    }
    CButtonUI::PaintText(hDC);
}

// ---------------------------------------------------------------------------------------
// CCheckBoxUI

LPVOID CCheckBoxUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_CHECKBOX) == 0) return this;
    return COptionUI::GetInterface(pstrName);
}

void CCheckBoxUI::PaintStatusImage(HDC hDC) {
    if (!m_sNormalImage.IsEmpty() || !m_sSelectedImage.IsEmpty() || !m_pManager) {
        COptionUI::PaintStatusImage(hDC);
        return;
    }
    // No images in the skin: a plain box at the left, vertically centred.
    int s = m_pManager->ScaleValue(14);
    int top = (m_rcItem.top + m_rcItem.bottom - s) / 2;
    RECT box = {m_rcItem.left, top, m_rcItem.left + s, top + s};
    int r = m_pManager->ScaleValue(3);
    bool hot = (m_uButtonState & UISTATE_HOT) != 0;
    if (m_bSelected) {
        Render::FillRect(hDC, box, IsEnabled() ? 0xFF2F7BEA : 0xFFB8C4D6, r);
        Render::DrawCheck(hDC, box, 0xFFFFFFFF);
    } else {
        Render::FillRect(hDC, box, 0xFFFFFFFF, r);
        Render::DrawBorder(hDC, box, std::max(1, m_pManager->ScaleValue(1)), hot ? 0xFF2F7BEA : 0xFFB5BCC8, r);
    }
}

// ---------------------------------------------------------------------------------------
// CListLabelElementUI

CListLabelElementUI::CListLabelElementUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS; }

LPVOID CListLabelElementUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_LISTLABELELEMENT) == 0) return this;
    return CLabelUI::GetInterface(pstrName);
}

} // namespace DuiLib
