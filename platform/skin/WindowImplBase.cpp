#include "WindowImplBase.h"

#include <windowsx.h>

namespace DuiLib {

void WindowImplBase::OnFinalMessage(HWND hWnd) {
    (void)hWnd;
    m_PaintManager.RemoveMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
    m_PaintManager.ReapObjects(m_PaintManager.GetRoot());
}

void WindowImplBase::Notify(TNotifyUI& msg) { (void)msg; }

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam) {
    if (wParam == VK_RETURN) return FALSE;
    if (wParam == VK_ESCAPE) {
        Close(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    (void)lParam;
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        LRESULT r = ResponseDefaultKeyEvent(wParam);
        bHandled = r != 0;
        return r;
    }
    return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;   // DefWindowProc destroys the window
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (::IsIconic(m_hWnd)) {
        bHandled = FALSE;
        return 0;
    }
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL&) {
    return 0;   // the skin draws the whole window: no system frame
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT rcClient = {};
    ::GetClientRect(m_hWnd, &rcClient);
    const CDPI& dpi = *m_PaintManager.GetDPIObj();
    if (!::IsZoomed(m_hWnd)) {
        RECT box = dpi.Scale(m_PaintManager.GetSizeBox());
        if (pt.y < rcClient.top + box.top) {
            if (pt.x < rcClient.left + box.left) return HTTOPLEFT;
            if (pt.x > rcClient.right - box.right) return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > rcClient.bottom - box.bottom) {
            if (pt.x < rcClient.left + box.left) return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - box.right) return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + box.left) return HTLEFT;
        if (pt.x > rcClient.right - box.right) return HTRIGHT;
    }
    RECT cap = dpi.Scale(m_PaintManager.GetCaptionRect());
    if (pt.x >= rcClient.left + cap.left && pt.x < rcClient.right - cap.right && pt.y >= cap.top &&
        pt.y < cap.bottom) {
        CControlUI* c = m_PaintManager.FindControl(pt);
        // Controls that take input keep the mouse; the rest of the caption drags the window.
        if (!c || !(c->GetInterface(DUI_CTR_BUTTON) || c->GetInterface(DUI_CTR_EDIT) || c->GetInterface(DUI_CTR_COMBO)))
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    MINMAXINFO* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfo(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    // Maximised means the work area: the taskbar stays visible.
    mmi->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
    mmi->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
    mmi->ptMaxSize.x = mi.rcWork.right - mi.rcWork.left;
    mmi->ptMaxSize.y = mi.rcWork.bottom - mi.rcWork.top;
    const CDPI& dpi = *m_PaintManager.GetDPIObj();
    SIZE mn = m_PaintManager.GetMinInfo(), mx = m_PaintManager.GetMaxInfo();
    if (mn.cx > 0) mmi->ptMinTrackSize.x = dpi.Scale(mn.cx);
    if (mn.cy > 0) mmi->ptMinTrackSize.y = dpi.Scale(mn.cy);
    if (mx.cx > 0) mmi->ptMaxTrackSize.x = dpi.Scale(mx.cx);
    if (mx.cy > 0) mmi->ptMaxTrackSize.y = dpi.Scale(mx.cy);
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    SIZE round = m_PaintManager.GetRoundCorner();
    if (!::IsIconic(m_hWnd) && (round.cx != 0 || round.cy != 0)) {
        if (::IsZoomed(m_hWnd)) {
            ::SetWindowRgn(m_hWnd, NULL, TRUE);
        } else {
            RECT rc = {};
            ::GetWindowRect(m_hWnd, &rc);
            const CDPI& dpi = *m_PaintManager.GetDPIObj();
            HRGN rgn = ::CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, dpi.Scale(round.cx),
                                            dpi.Scale(round.cy));
            ::SetWindowRgn(m_hWnd, rgn, TRUE);   // the system owns the region now
        }
    }
    bHandled = FALSE;   // the paint manager lays the skin out
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        bHandled = TRUE;
        SendMessage(WM_CLOSE);
        return 0;
    }
    BOOL zoomed = ::IsZoomed(m_hWnd);
    LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    if (::IsWindow(m_hWnd) && ::IsZoomed(m_hWnd) != zoomed) {
        // Swap the usual caption buttons when the skin has them.
        CControlUI* max = m_PaintManager.FindControl(_T("maxbtn"));
        CControlUI* restore = m_PaintManager.FindControl(_T("restorebtn"));
        if (max && restore) {
            max->SetVisible(!::IsZoomed(m_hWnd));
            restore->SetVisible(::IsZoomed(m_hWnd) != FALSE);
        }
    }
    return lRes;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    // The skin draws the caption; the style loses WS_CAPTION but keeps clipping.
    LONG style = ::GetWindowLong(m_hWnd, GWL_STYLE);
    style &= ~WS_CAPTION;
    ::SetWindowLong(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddMessageFilter(this);
    if (GetResourceType() == UILIB_FILE) {
        CDuiString folder = GetSkinFolder();
        if (!folder.IsEmpty()) CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + folder);
    }
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(GetSkinFile().GetData()), NULL, this, &m_PaintManager);
    if (!root) {
        // Missing or broken skin: a plain window stating so, still closable with Esc or Alt+F4,
        // and every FindControl answers NULL.
        CVerticalLayoutUI* box = new CVerticalLayoutUI;
        box->SetBkColor(0xFFFFFFFF);
        CLabelUI* label = new CLabelUI;
        label->SetText((CDuiString(_T("无法加载界面文件 ")) + GetSkinFile()).GetData());
        label->SetTextColor(0xFFC0392B);
        box->Add(label);
        root = box;
        if (m_PaintManager.GetInitSize().cx <= 0) m_PaintManager.SetInitSize(420, 120);
    }
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    BOOL bHandled = TRUE;
    switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_NCACTIVATE: lRes = OnNcActivate(uMsg, wParam, lParam, bHandled); break;
    case WM_NCCALCSIZE: lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled); break;
    case WM_NCPAINT: lRes = OnNcPaint(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    case WM_GETMINMAXINFO: lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZE: lRes = OnSize(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_KEYDOWN: lRes = OnKeyDown(uMsg, wParam, lParam, bHandled); break;
    case WM_KILLFOCUS: lRes = OnKillFocus(uMsg, wParam, lParam, bHandled); break;
    case WM_SETFOCUS: lRes = OnSetFocus(uMsg, wParam, lParam, bHandled); break;
    default: bHandled = FALSE; break;
    }
    if (bHandled) return lRes;
    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled) return lRes;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

} // namespace DuiLib
