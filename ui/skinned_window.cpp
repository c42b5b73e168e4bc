#include "ui/skinned_window.h"

#include "ui/geometry.h"

void SkinnedWindow::ApplyMonitorDpi() { m_PaintManager.SetDPI(geometry::ClampDpi(DuiLib::CDPI::GetMainMonitorDPI())); }

LRESULT SkinnedWindow::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL&) {
    if (uMsg == WM_DPICHANGED) m_PaintManager.SetDPI(geometry::ClampDpi(LOWORD(wParam)));
    return 0;
}

void SkinnedWindow::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}
