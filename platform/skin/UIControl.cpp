#include "UIControls.h"

#include "UIRender.h"

#include <algorithm>
#include <cwctype>

namespace DuiLib {

// ---------------------------------------------------------------------------------------
// Attribute value parsing

DWORD CControlUI::ParseColor(LPCTSTR value) {
    if (!value) return 0;
    while (*value == L' ' || *value == L'\t' || *value == L'#') ++value;
    if (value[0] == L'0' && (value[1] == L'x' || value[1] == L'X')) value += 2;
    size_t len = 0;
    while (iswxdigit(value[len])) ++len;
    DWORD c = (DWORD)wcstoul(std::wstring(value, len).c_str(), NULL, 16);
    if (len <= 6) c |= 0xFF000000;   // #RRGGBB is opaque
    return c;
}

// Up to four integers separated by commas and/or blanks ("0, 0, 0, 0").
static int ParseInts(LPCTSTR value, long* out, int maxCount) {
    int n = 0;
    if (!value) return 0;
    const wchar_t* p = value;
    while (*p && n < maxCount) {
        while (*p == L' ' || *p == L'\t' || *p == L',') ++p;
        if (!*p) break;
        wchar_t* end = NULL;
        long v = wcstol(p, &end, 10);
        if (end == p) break;   // not a number: stop
        out[n++] = v;
        p = end;
    }
    return n;
}

RECT CControlUI::ParseRect(LPCTSTR value) {
    long v[4] = {0, 0, 0, 0};
    ParseInts(value, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE CControlUI::ParseSize(LPCTSTR value) {
    long v[2] = {0, 0};
    ParseInts(value, v, 2);
    return SIZE{v[0], v[1]};
}

bool CControlUI::ParseBool(LPCTSTR value) { return value && _wcsicmp(value, L"true") == 0; }

// ---------------------------------------------------------------------------------------
// CControlUI

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager) m_pManager->ReapObjects(this);
}

LPVOID CControlUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_CONTROL) == 0) return this;
    return NULL;
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pManager) DoInit();
}

void CControlUI::SetText(LPCTSTR pstrText) {
    if (m_sText == pstrText) return;
    m_sText = pstrText;
    Invalidate();
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    if (bNeedInvalidate) Invalidate();
    m_rcItem = rc;
    m_bUpdateNeeded = false;
    if (bNeedInvalidate) Invalidate();
}

RECT CControlUI::ScaledPadding() const {
    return m_pManager ? m_pManager->GetDPIObj()->Scale(m_rcPadding) : m_rcPadding;
}

void CControlUI::SetPadding(RECT rc) { m_rcPadding = rc; NeedParentUpdate(); }
void CControlUI::SetFixedXY(SIZE sz) { m_cXY = sz; NeedParentUpdate(); }
void CControlUI::SetFixedWidth(int cx) { if (cx >= 0) { m_cxyFixed.cx = cx; NeedParentUpdate(); } }
void CControlUI::SetFixedHeight(int cy) { if (cy >= 0) { m_cxyFixed.cy = cy; NeedParentUpdate(); } }
void CControlUI::SetMinWidth(int cx) { if (cx >= 0) { m_cxyMin.cx = cx; NeedParentUpdate(); } }
void CControlUI::SetMaxWidth(int cx) { if (cx >= 0) { m_cxyMax.cx = cx; NeedParentUpdate(); } }
void CControlUI::SetMinHeight(int cy) { if (cy >= 0) { m_cxyMin.cy = cy; NeedParentUpdate(); } }
void CControlUI::SetMaxHeight(int cy) { if (cy >= 0) { m_cxyMax.cy = cy; NeedParentUpdate(); } }
void CControlUI::SetFloat(bool b) { m_bFloat = b; NeedParentUpdate(); }

SIZE CControlUI::EstimateSize(SIZE) {
    return m_pManager ? m_pManager->GetDPIObj()->Scale(m_cxyFixed) : m_cxyFixed;
}

void CControlUI::SetToolTip(LPCTSTR pstrText) {
    m_sToolTip = pstrText;
    if (m_pManager && m_pManager->GetHotControl() == this) m_pManager->UpdateToolTip(this);
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible) return;
    bool wasVisible = IsVisible();
    m_bVisible = bVisible;
    if (!IsVisible() && wasVisible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(NULL, false);
    NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool bVisible) {
    m_bInternVisible = bVisible;
    if (!bVisible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(NULL, false);
}

void CControlUI::SetEnabled(bool bEnable) {
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    Invalidate();
}

void CControlUI::SetFocus() {
    if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::SetFocusState(bool bFocused) {
    m_bFocused = bFocused;
    Invalidate();
}

void CControlUI::Invalidate() {
    if (m_pManager && IsVisible()) m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (m_pParent) m_pParent->NeedUpdate();
    else NeedUpdate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return NULL;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return NULL;
    if ((uFlags & UIFIND_HITTEST) &&
        (!m_bMouseEnabled || !::PtInRect(&m_rcItem, *static_cast<LPPOINT>(pData))))
        return NULL;
    return Proc(this, pData) ? this : NULL;
}

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (!pstrName || !pstrValue) return;
    std::wstring n(pstrName);
    for (auto& c : n) c = (wchar_t)towlower(c);
    if (n == L"pos") {
        RECT rc = ParseRect(pstrValue);
        m_rcFloat = rc;
        m_cXY = {rc.left, rc.top};
        m_cxyFixed = {std::max(0L, rc.right - rc.left), std::max(0L, rc.bottom - rc.top)};
        NeedParentUpdate();
    } else if (n == L"padding") SetPadding(ParseRect(pstrValue));
    else if (n == L"bkcolor" || n == L"bkcolor1") SetBkColor(ParseColor(pstrValue));
    else if (n == L"bordercolor") SetBorderColor(ParseColor(pstrValue));
    else if (n == L"focusbordercolor") m_dwFocusBorderColor = ParseColor(pstrValue);
    else if (n == L"bordersize") SetBorderSize(_wtoi(pstrValue));
    else if (n == L"borderround") SetBorderRound(ParseSize(pstrValue));
    else if (n == L"bkimage") SetBkImage(pstrValue);
    else if (n == L"width") SetFixedWidth(_wtoi(pstrValue));
    else if (n == L"height") SetFixedHeight(_wtoi(pstrValue));
    else if (n == L"minwidth") SetMinWidth(_wtoi(pstrValue));
    else if (n == L"minheight") SetMinHeight(_wtoi(pstrValue));
    else if (n == L"maxwidth") SetMaxWidth(_wtoi(pstrValue));
    else if (n == L"maxheight") SetMaxHeight(_wtoi(pstrValue));
    else if (n == L"name") SetName(pstrValue);
    else if (n == L"text") SetText(pstrValue);
    else if (n == L"tooltip") SetToolTip(pstrValue);
    else if (n == L"userdata") SetUserData(pstrValue);
    else if (n == L"enabled") SetEnabled(ParseBool(pstrValue));
    else if (n == L"mouse") SetMouseEnabled(ParseBool(pstrValue));
    else if (n == L"keyboard") SetKeyboardEnabled(ParseBool(pstrValue));
    else if (n == L"visible") SetVisible(ParseBool(pstrValue));
    else if (n == L"float") SetFloat(ParseBool(pstrValue));
    else if (n == L"tabstop") SetTabStop(ParseBool(pstrValue));
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
    if (!pstrList) return this;
    const wchar_t* p = pstrList;
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    for (;;) {
        while (isBlank(*p)) ++p;
        if (!*p) break;
        const wchar_t* nameStart = p;
        while (*p && *p != L'=' && !isBlank(*p)) ++p;
        std::wstring name(nameStart, p - nameStart);
        while (isBlank(*p)) ++p;
        if (*p != L'=' || name.empty()) break;
        ++p;
        while (isBlank(*p)) ++p;
        wchar_t quote = *p;
        if (quote != L'"' && quote != L'\'') break;
        ++p;
        std::wstring value;
        while (*p && *p != quote) {
            // A backslash escapes the quote character inside a value.
            if (*p == L'\\' && p[1] == quote) ++p;
            value += *p++;
        }
        if (*p != quote) break;   // unterminated value: ignore it
        ++p;
        SetAttribute(name.c_str(), value.c_str());
    }
    return this;
}

void CControlUI::Event(TEventUI& event) { DoEvent(event); }

void CControlUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETFOCUS) { m_bFocused = true; Invalidate(); return; }
    if (event.Type == UIEVENT_KILLFOCUS) { m_bFocused = false; Invalidate(); return; }
    if (m_pParent) m_pParent->DoEvent(event);
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

bool CControlUI::DrawImage(HDC hDC, LPCTSTR pStrImage, const RECT* prcDest) {
    return Render::DrawImage(hDC, m_pManager, prcDest ? *prcDest : m_rcItem, pStrImage);
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT tmp;
    if (!::IntersectRect(&tmp, &rcPaint, &m_rcItem)) return;
    int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, tmp.left, tmp.top, tmp.right, tmp.bottom);
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
    ::RestoreDC(hDC, saved);
}

void CControlUI::PaintBkColor(HDC hDC) {
    int round = m_pManager ? m_pManager->ScaleValue(m_cxyBorderRound.cx) : 0;
    Render::FillRect(hDC, m_rcItem, m_dwBackColor, round / 2);
}

void CControlUI::PaintBkImage(HDC hDC) {
    if (!m_sBkImage.IsEmpty()) DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC) {}
void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC) {
    if (!m_pManager) return;
    DWORD color = (m_bFocused && m_dwFocusBorderColor) ? m_dwFocusBorderColor : m_dwBorderColor;
    int size = m_nBorderSize > 0 ? std::max(1, m_pManager->ScaleValue(m_nBorderSize)) : 0;
    Render::DrawBorder(hDC, m_rcItem, size, color, m_pManager->ScaleValue(m_cxyBorderRound.cx) / 2);
}

// ---------------------------------------------------------------------------------------
// CContainerUI

CContainerUI::~CContainerUI() {
    for (CControlUI* p : m_items) delete p;
    m_items.clear();
}

LPVOID CContainerUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_CONTAINER) == 0) return this;
    return CControlUI::GetInterface(pstrName);
}

CControlUI* CContainerUI::GetItemAt(int i) const {
    return (i >= 0 && i < (int)m_items.size()) ? m_items[i] : NULL;
}

int CContainerUI::GetItemIndex(CControlUI* p) const {
    auto it = std::find(m_items.begin(), m_items.end(), p);
    return it == m_items.end() ? -1 : (int)(it - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* p, int iIndex) {
    int cur = GetItemIndex(p);
    if (cur < 0 || iIndex < 0 || iIndex >= (int)m_items.size()) return false;
    m_items.erase(m_items.begin() + cur);
    m_items.insert(m_items.begin() + iIndex, p);
    NeedUpdate();
    return true;
}

bool CContainerUI::Add(CControlUI* p) { return AddAt(p, (int)m_items.size()); }

bool CContainerUI::AddAt(CControlUI* p, int iIndex) {
    if (!p || iIndex < 0 || iIndex > (int)m_items.size() || GetItemIndex(p) >= 0) return false;
    m_items.insert(m_items.begin() + iIndex, p);
    if (m_pManager) m_pManager->InitControls(p, this);
    else p->SetManager(NULL, this, false);
    p->SetInternVisible(IsVisible());
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* p, bool bDoNotDestroy) {
    int i = GetItemIndex(p);
    if (i < 0) return false;
    return RemoveAt(i, bDoNotDestroy);
}

bool CContainerUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
    CControlUI* p = GetItemAt(iIndex);
    if (!p) return false;
    m_items.erase(m_items.begin() + iIndex);
    if (bDoNotDestroy) {
        if (m_pManager) m_pManager->ReapObjects(p);
        p->SetManager(NULL, NULL, false);
    } else if (m_pManager) {
        m_pManager->AddDelayedCleanup(p);
    } else {
        delete p;
    }
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    while (!m_items.empty()) RemoveAt((int)m_items.size() - 1);
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    for (CControlUI* p : m_items) p->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

void CContainerUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible) return;
    CControlUI::SetVisible(bVisible);
    for (CControlUI* p : m_items) p->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    for (CControlUI* p : m_items) p->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool bEnable) {
    CControlUI::SetEnabled(bEnable);
}

void CContainerUI::OnDPIChanged() {
    for (CControlUI* p : m_items) p->OnDPIChanged();
}

RECT CContainerUI::ScaledInset() const {
    return m_pManager ? m_pManager->GetDPIObj()->Scale(m_rcInset) : m_rcInset;
}

void CContainerUI::SetFloatPos(CControlUI* p, const RECT& rcParent) {
    const CDPI* dpi = m_pManager ? m_pManager->GetDPIObj() : NULL;
    SIZE xy = p->GetFixedXY();
    if (dpi) xy = dpi->Scale(xy);
    SIZE sz = p->EstimateSize(SIZE{rcParent.right - rcParent.left, rcParent.bottom - rcParent.top});
    // Negative offsets count from the right or bottom edge.
    int x = xy.cx >= 0 ? rcParent.left + xy.cx : rcParent.right + xy.cx;
    int y = xy.cy >= 0 ? rcParent.top + xy.cy : rcParent.bottom + xy.cy;
    int cx = sz.cx > 0 ? sz.cx : rcParent.right - x;
    int cy = sz.cy > 0 ? sz.cy : rcParent.bottom - y;
    p->SetPos(RECT{x, y, x + cx, y + cy}, false);
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    RECT inset = ScaledInset();
    RECT r = {rc.left + inset.left, rc.top + inset.top, rc.right - inset.right, rc.bottom - inset.bottom};
    for (CControlUI* p : m_items) {
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) { SetFloatPos(p, m_rcItem); continue; }
        RECT pad = m_pManager ? m_pManager->GetDPIObj()->Scale(p->GetPadding()) : p->GetPadding();
        SIZE sz = p->EstimateSize(SIZE{r.right - r.left, r.bottom - r.top});
        RECT c = {r.left + pad.left, r.top + pad.top, r.right - pad.right, r.bottom - pad.bottom};
        if (sz.cx > 0) c.right = c.left + sz.cx;
        if (sz.cy > 0) c.bottom = c.top + sz.cy;
        p->SetPos(c, false);
    }
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT tmp;
    if (!::IntersectRect(&tmp, &rcPaint, &m_rcItem)) return;
    int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, tmp.left, tmp.top, tmp.right, tmp.bottom);
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    for (CControlUI* p : m_items)
        if (p->IsVisible() && !p->IsFloat()) p->DoPaint(hDC, tmp);
    for (CControlUI* p : m_items)
        if (p->IsVisible() && p->IsFloat()) p->DoPaint(hDC, tmp);
    PaintBorder(hDC);
    ::RestoreDC(hDC, saved);
}

void CContainerUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && _wcsicmp(pstrName, L"inset") == 0) SetInset(ParseRect(pstrValue));
    else if (pstrName && _wcsicmp(pstrName, L"childpadding") == 0) SetChildPadding(_wtoi(pstrValue));
    else CControlUI::SetAttribute(pstrName, pstrValue);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return NULL;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return NULL;
    if ((uFlags & UIFIND_HITTEST) && !::PtInRect(&m_rcItem, *static_cast<LPPOINT>(pData))) return NULL;
    if (uFlags & UIFIND_ME_FIRST) {
        if (CControlUI* r = CControlUI::FindControl(Proc, pData, uFlags)) return r;
    }
    // Copy: a callback may change the tree.
    std::vector<CControlUI*> items(m_items);
    if (uFlags & UIFIND_TOP_FIRST) {
        // Floating children are drawn last, so they are hit first.
        for (int pass = 0; pass < 2; ++pass)
            for (auto it = items.rbegin(); it != items.rend(); ++it) {
                if ((*it)->IsFloat() != (pass == 0)) continue;
                if (CControlUI* r = (*it)->FindControl(Proc, pData, uFlags)) return r;
            }
    } else {
        for (CControlUI* p : items)
            if (CControlUI* r = p->FindControl(Proc, pData, uFlags)) return r;
    }
    if (uFlags & UIFIND_ME_FIRST) return NULL;
    return CControlUI::FindControl(Proc, pData, uFlags);
}

// ---------------------------------------------------------------------------------------
// Linear layouts

namespace {

struct Axis {
    bool horizontal;
    long& main0(RECT& r) const { return horizontal ? r.left : r.top; }
    long& main1(RECT& r) const { return horizontal ? r.right : r.bottom; }
    long& cross0(RECT& r) const { return horizontal ? r.top : r.left; }
    long& cross1(RECT& r) const { return horizontal ? r.bottom : r.right; }
    long& main(SIZE& s) const { return horizontal ? s.cx : s.cy; }
    long& cross(SIZE& s) const { return horizontal ? s.cy : s.cx; }
};

// Fixed children keep their size; the rest share what is left, the last one taking the remainder.
void LinearLayout(CContainerUI* box, const std::vector<CControlUI*>& items, RECT rc, int childPadding,
                  const CDPI& dpi, bool horizontal) {
    Axis ax{horizontal};
    SIZE avail = {rc.right - rc.left, rc.bottom - rc.top};
    int adjustables = 0, fixedTotal = 0, count = 0;
    std::vector<SIZE> sizes(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        CControlUI* p = items[i];
        if (!p->IsVisible() || p->IsFloat()) continue;
        SIZE sz = p->EstimateSize(avail);
        RECT pad = dpi.Scale(p->GetPadding());
        SIZE mn = dpi.Scale(SIZE{p->GetMinWidth(), p->GetMinHeight()});
        SIZE mx = dpi.Scale(SIZE{p->GetMaxWidth(), p->GetMaxHeight()});
        if (ax.main(sz) == 0) {
            ++adjustables;
        } else {
            ax.main(sz) = std::max(ax.main(sz), ax.main(mn));
            ax.main(sz) = std::min(ax.main(sz), ax.main(mx));
        }
        fixedTotal += ax.main(sz) + ax.main0(pad) + ax.main1(pad);
        sizes[i] = sz;
        ++count;
    }
    if (count > 1) fixedTotal += (count - 1) * childPadding;
    int spare = std::max(0, (int)ax.main(avail) - fixedTotal);
    int each = adjustables > 0 ? spare / adjustables : 0;
    int seen = 0;
    long pos = ax.main0(rc);
    for (size_t i = 0; i < items.size(); ++i) {
        CControlUI* p = items[i];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) continue;   // placed by the container afterwards
        SIZE sz = sizes[i];
        RECT pad = dpi.Scale(p->GetPadding());
        SIZE mn = dpi.Scale(SIZE{p->GetMinWidth(), p->GetMinHeight()});
        SIZE mx = dpi.Scale(SIZE{p->GetMaxWidth(), p->GetMaxHeight()});
        if (ax.main(sz) == 0) {
            ++seen;
            ax.main(sz) = seen == adjustables ? spare - each * (adjustables - 1) : each;
            ax.main(sz) = std::max(ax.main(sz), ax.main(mn));
            ax.main(sz) = std::min(ax.main(sz), ax.main(mx));
        }
        if (ax.cross(sz) == 0) ax.cross(sz) = ax.cross(avail) - ax.cross0(pad) - ax.cross1(pad);
        ax.cross(sz) = std::max(ax.cross(sz), ax.cross(mn));
        ax.cross(sz) = std::min(ax.cross(sz), ax.cross(mx));
        RECT c;
        ax.main0(c) = pos + ax.main0(pad);
        ax.main1(c) = ax.main0(c) + ax.main(sz);
        ax.cross0(c) = ax.cross0(rc) + ax.cross0(pad);
        ax.cross1(c) = ax.cross0(c) + ax.cross(sz);
        p->SetPos(c, false);
        pos = ax.main1(c) + ax.main1(pad) + childPadding;
    }
    (void)box;
}

} // namespace

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_VERTICALLAYOUT) == 0) return this;
    return CContainerUI::GetInterface(pstrName);
}

void CContainerUI::SetLinearPos(RECT rc, bool bNeedInvalidate, bool horizontal) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    RECT inset = ScaledInset();
    RECT r = {rc.left + inset.left, rc.top + inset.top, rc.right - inset.right, rc.bottom - inset.bottom};
    CDPI dpi;
    if (m_pManager) dpi = *m_pManager->GetDPIObj();
    LinearLayout(this, m_items, r, dpi.Scale(m_iChildPadding), dpi, horizontal);
    for (CControlUI* p : m_items)
        if (p->IsVisible() && p->IsFloat()) SetFloatPos(p, m_rcItem);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) { SetLinearPos(rc, bNeedInvalidate, false); }

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_HORIZONTALLAYOUT) == 0) return this;
    return CContainerUI::GetInterface(pstrName);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) { SetLinearPos(rc, bNeedInvalidate, true); }

// ---------------------------------------------------------------------------------------
// CTabLayoutUI

LPVOID CTabLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_TABLAYOUT) == 0) return this;
    return CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::Add(CControlUI* p) { return AddAt(p, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* p, int iIndex) {
    if (!CContainerUI::AddAt(p, iIndex)) return false;
    if (m_iCurSel < 0 && p->GetVisibleFlag()) {
        m_iCurSel = GetItemIndex(p);
    } else {
        if (iIndex <= m_iCurSel) ++m_iCurSel;
        p->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* p, bool bDoNotDestroy) {
    int i = GetItemIndex(p);
    if (i < 0) return false;
    bool wasCurrent = i == m_iCurSel;
    if (!CContainerUI::RemoveAt(i, bDoNotDestroy)) return false;
    if (wasCurrent) {
        m_iCurSel = -1;
        if (GetCount() > 0) SelectItem(std::min(i, GetCount() - 1), false);
    } else if (i < m_iCurSel) {
        --m_iCurSel;
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int iIndex, bool bTriggerEvent) {
    if (iIndex < 0 || iIndex >= GetCount()) return false;
    int old = m_iCurSel;
    m_iCurSel = iIndex;
    for (int i = 0; i < GetCount(); ++i) m_items[i]->SetVisible(i == iIndex);
    NeedUpdate();
    if (m_pManager && bTriggerEvent && old != iIndex)
        m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED, (WPARAM)iIndex, (LPARAM)old);
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* p, bool bTriggerEvent) {
    return SelectItem(GetItemIndex(p), bTriggerEvent);
}

void CTabLayoutUI::DoInit() {
    if (m_iInitSel >= 0 && m_iInitSel < GetCount()) SelectItem(m_iInitSel, false);
    m_iInitSel = -1;
}

void CTabLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CContainerUI::SetPos(rc, bNeedInvalidate);
}

void CTabLayoutUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && _wcsicmp(pstrName, L"selectedid") == 0) {
        int i = _wtoi(pstrValue);
        if (i >= 0 && i < GetCount()) SelectItem(i, false);
        else m_iInitSel = i;   // children come later in the skin; DoInit applies it
    } else {
        CContainerUI::SetAttribute(pstrName, pstrValue);
    }
}

} // namespace DuiLib
