#include "UIMenu.h"

#include "UIInternal.h"
#include "UIRender.h"

#include <algorithm>
#include <new>

namespace DuiLib {

namespace {
std::vector<CMenuWnd*> g_openMenus;   // UI thread only
}

LPVOID CMenuElementUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && _wcsicmp(pstrName, DUI_CTR_MENUELEMENT) == 0) return this;
    return CButtonUI::GetInterface(pstrName);
}

void CMenuElementUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && _wcsicmp(pstrName, L"checked") == 0) {
        m_bCheckItem = true;
        SetChecked(ParseBool(pstrValue));
    } else {
        CButtonUI::SetAttribute(pstrName, pstrValue);
    }
}

bool CMenuElementUI::Activate() {
    if (!CControlUI::Activate()) return false;
    for (CMenuWnd* m : g_openMenus)
        if (m->GetManager() == m_pManager) {
            m->ChooseItem(this);
            return true;
        }
    return false;
}

void CMenuElementUI::PaintStatusImage(HDC hDC) {
    CButtonUI::PaintStatusImage(hDC);
    if (m_bChecked && m_pManager) {
        int s = m_pManager->ScaleValue(14);
        int top = (m_rcItem.top + m_rcItem.bottom - s) / 2;
        int left = m_rcItem.left + m_pManager->ScaleValue(8);
        Render::DrawCheck(hDC, RECT{left, top, left + s, top + s}, 0xFF2F7BEA);
    }
}

// ---------------------------------------------------------------------------------------

CMenuWnd::CMenuWnd() = default;

CMenuWnd::~CMenuWnd() {
    g_openMenus.erase(std::remove(g_openMenus.begin(), g_openMenus.end(), this), g_openMenus.end());
}

void CMenuWnd::DestroyMenu() {
    std::vector<CMenuWnd*> menus(g_openMenus);
    for (CMenuWnd* m : menus)
        if (::IsWindow(m->GetHWND())) ::DestroyWindow(m->GetHWND());
}

int CMenuWnd::GetOpenMenuCount() { return (int)g_openMenus.size(); }

void CMenuWnd::Init(CMenuElementUI* pOwner, STRINGorID xml, POINT point, CPaintManagerUI* pMainPaintManager,
                    CStdStringPtrMap* pCheckInfo, DWORD dwAlignment) {
    (void)pOwner;
    if (m_hWnd) return;
    m_pMainManager = pMainPaintManager;
    m_pCheckInfo = pCheckInfo;
    HWND owner = pMainPaintManager ? pMainPaintManager->GetPaintWindow() : NULL;
    // Without a window the object is not freed here: callers read GetHWND() (NULL) after Init.
    if (!Create(owner, L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, point.x, point.y, 16, 16)) return;
    g_openMenus.push_back(this);
    m_pm.Init(m_hWnd);
    if (pMainPaintManager) m_pm.SetDPI(pMainPaintManager->GetDPIObj()->GetDPI());
    CDialogBuilder builder;
    CControlUI* root = IS_INTRESOURCE(xml.m_lpstr) ? NULL : builder.Create(xml, NULL, NULL, &m_pm);
    if (!root) root = new CVerticalLayoutUI;   // missing menu skin: an empty menu that closes on focus loss
    CContainerUI* box = static_cast<CContainerUI*>(root->GetInterface(DUI_CTR_CONTAINER));
    if (!box) {
        delete root;
        box = new CVerticalLayoutUI;
        root = box;
    }
    if ((root->GetBkColor() >> 24) == 0) root->SetBkColor(0xFFFFFFFF);
    if (root->GetBorderSize() == 0) {
        root->SetBorderSize(1);
        root->SetBorderColor(0xFFD6DBE3);
    }
    // Size: widest of the menu and its items, items stacked at their heights (30 by default).
    const CDPI& dpi = *m_pm.GetDPIObj();
    RECT inset = dpi.Scale(box->GetInset());
    int border = root->GetBorderSize();
    int cx = root->GetFixedWidth(), cy = 0;
    HDC dc = ::GetDC(m_hWnd);
    for (int i = 0; i < box->GetCount(); ++i) {
        CControlUI* item = box->GetItemAt(i);
        if (!item->GetVisibleFlag()) continue;
        if (item->GetFixedHeight() == 0) item->SetFixedHeight(30);
        RECT pad = item->GetPadding();
        cy += item->GetFixedHeight() + pad.top + pad.bottom;
        if (i > 0) cy += box->GetChildPadding();
        int w = item->GetFixedWidth();
        if (w == 0 && dc) {
            HFONT old = (HFONT)::SelectObject(dc, m_pm.GetFont(-1));
            SIZE ext = {};
            CDuiString t = item->GetText();
            ::GetTextExtentPoint32W(dc, t, t.GetLength(), &ext);
            ::SelectObject(dc, old);
            w = MulDiv(ext.cx, 100, dpi.GetScale()) + 64;
        }
        cx = std::max(cx, w + (int)(pad.left + pad.right));
    }
    if (dc) ::ReleaseDC(m_hWnd, dc);
    if (cx <= 0) cx = 160;
    int w = dpi.Scale(cx) + inset.left + inset.right + 2 * border;
    int h = dpi.Scale(cy) + inset.top + inset.bottom + 2 * border;
    if (h < 2 * border + 4) h = 2 * border + 4;
    if (pCheckInfo) {
        for (int i = 0; i < box->GetCount(); ++i) {
            CMenuElementUI* e = static_cast<CMenuElementUI*>(box->GetItemAt(i)->GetInterface(DUI_CTR_MENUELEMENT));
            if (!e) continue;
            bool* state = static_cast<bool*>(pCheckInfo->Find(e->GetName()));
            if (state) e->SetChecked(*state);
        }
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);

    RECT rc;
    if (dwAlignment & eMenuAlignment_Right) { rc.right = point.x; rc.left = point.x - w; }
    else { rc.left = point.x; rc.right = point.x + w; }
    if (dwAlignment & eMenuAlignment_Bottom) { rc.bottom = point.y; rc.top = point.y - h; }
    else { rc.top = point.y; rc.bottom = point.y + h; }
    // Keep the menu on the monitor of the point.
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfo(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &mi);
    if (rc.right > mi.rcWork.right) ::OffsetRect(&rc, mi.rcWork.right - rc.right, 0);
    if (rc.left < mi.rcWork.left) ::OffsetRect(&rc, mi.rcWork.left - rc.left, 0);
    if (rc.bottom > mi.rcWork.bottom) ::OffsetRect(&rc, 0, mi.rcWork.bottom - rc.bottom);
    if (rc.top < mi.rcWork.top) ::OffsetRect(&rc, 0, mi.rcWork.top - rc.top);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, rc.left, rc.top, w, h, SWP_NOACTIVATE);
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
}

void CMenuWnd::ChooseItem(CMenuElementUI* pItem) {
    if (m_bClosing || !pItem) return;
    m_bClosing = true;
    CDuiString name = pItem->GetName();
    BOOL checked = pItem->GetChecked();
    if (m_pCheckInfo) {
        if (bool* state = static_cast<bool*>(m_pCheckInfo->Find(name))) {
            *state = !*state;
            checked = *state;
        }
    }
    HWND target = m_pMainManager ? m_pMainManager->GetPaintWindow() : NULL;
    if (::IsWindow(target)) {
        // Allocated raw so that CPaintManagerUI::DeletePtr frees it correctly.
        MenuCmd* cmd = new (::operator new(sizeof(MenuCmd))) MenuCmd();
        lstrcpynW(cmd->szName, name, 256);
        lstrcpynW(cmd->szUserData, pItem->GetUserData(), 1024);
        lstrcpynW(cmd->szText, pItem->GetText(), 1024);
        cmd->bChecked = checked;
        Internal::RegisterRecord(cmd);
        if (!::PostMessage(target, WM_MENUCLICK, (WPARAM)cmd, 0)) m_pMainManager->DeletePtr(cmd);
    }
    Close();
}

void CMenuWnd::Notify(TNotifyUI& msg) { (void)msg; }

void CMenuWnd::MoveHot(int step) {
    CContainerUI* box = m_pm.GetRoot() ? static_cast<CContainerUI*>(m_pm.GetRoot()->GetInterface(DUI_CTR_CONTAINER)) : NULL;
    if (!box) return;
    std::vector<CMenuElementUI*> items;
    int hot = -1;
    for (int i = 0; i < box->GetCount(); ++i) {
        CMenuElementUI* e = static_cast<CMenuElementUI*>(box->GetItemAt(i)->GetInterface(DUI_CTR_MENUELEMENT));
        if (!e || !e->IsVisible() || !e->IsEnabled()) continue;
        if (e->IsHot()) hot = (int)items.size();
        items.push_back(e);
    }
    if (items.empty()) return;
    int n = (int)items.size();
    int next = hot < 0 ? (step > 0 ? 0 : n - 1) : ((hot + step) % n + n) % n;
    for (CMenuElementUI* e : items) e->SetHot(false);
    items[next]->SetHot(true);
}

LRESULT CMenuWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_KILLFOCUS: {
        HWND to = (HWND)wParam;
        if (!to || (to != m_hWnd && !::IsChild(m_hWnd, to))) Close();
        break;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) Close();
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            Close();
            return 0;
        }
        if (wParam == VK_UP || wParam == VK_DOWN) {
            MoveHot(wParam == VK_DOWN ? 1 : -1);
            return 0;
        }
        if (wParam == VK_RETURN || wParam == VK_SPACE) {
            if (CContainerUI* box = m_pm.GetRoot() ? static_cast<CContainerUI*>(m_pm.GetRoot()->GetInterface(DUI_CTR_CONTAINER)) : NULL)
                for (int i = 0; i < box->GetCount(); ++i) {
                    CMenuElementUI* e = static_cast<CMenuElementUI*>(box->GetItemAt(i)->GetInterface(DUI_CTR_MENUELEMENT));
                    if (e && e->IsHot() && e->IsVisible() && e->IsEnabled()) {
                        ChooseItem(e);
                        break;
                    }
                }
            return 0;
        }
        break;
    default:
        break;
    }
    LRESULT lRes = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CMenuWnd::OnFinalMessage(HWND) {
    m_pm.RemoveNotifier(this);
    delete this;
}

} // namespace DuiLib
