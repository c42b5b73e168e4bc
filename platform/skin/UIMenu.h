// Popup menus built from a menu skin (<Menu> with <MenuElement name text userdata> items).
#pragma once

#include "UIControls.h"

namespace DuiLib {

// Posted to the main paint manager's window when an item is chosen;
// wParam is a MenuCmd* that the receiver frees with DeletePtr of its paint manager.
// Skinned windows never see this message with a pointer the library did not issue.
#define WM_MENUCLICK (WM_USER + 3)

struct MenuCmd {
    TCHAR szName[256];
    TCHAR szUserData[1024];
    TCHAR szText[1024];
    BOOL bChecked;
};

enum MenuAlignment {
    eMenuAlignment_Left = 1 << 1,     // menu's left edge at the point (opens to the right)
    eMenuAlignment_Top = 1 << 2,      // menu's top edge at the point (opens downwards)
    eMenuAlignment_Right = 1 << 3,    // menu's right edge at the point (opens to the left)
    eMenuAlignment_Bottom = 1 << 4,   // menu's bottom edge at the point (opens upwards)
};

class CMenuElementUI : public CButtonUI {
public:
    LPCTSTR GetClass() const override { return DUI_CTR_MENUELEMENT; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool Activate() override;   // posts the command and closes the menu
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(HDC hDC) override;
    bool GetChecked() const { return m_bChecked; }
    // Keyboard highlight (the mouse sets the same state by hovering).
    void SetHot(bool hot) { m_uButtonState = hot ? (m_uButtonState | UISTATE_HOT) : (m_uButtonState & ~UISTATE_HOT); Invalidate(); }
    bool IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }
    void SetChecked(bool b) { m_bChecked = b; Invalidate(); }
    bool IsCheckItem() const { return m_bCheckItem; }
private:
    bool m_bChecked = false;
    bool m_bCheckItem = false;
};

// The menu window deletes itself when it closes (on a choice, Esc, or losing focus);
// keep its HWND (GetHWND after Init), not the pointer. CMenuWnd::DestroyMenu closes every
// open menu.
class CMenuWnd : public CWindowWnd, public INotifyUI {
public:
    CMenuWnd();
    ~CMenuWnd() override;
    static void DestroyMenu();
    static int GetOpenMenuCount();
    // Builds and shows the menu. pOwner is unused (sub-menus are not supported);
    // pCheckInfo maps item names to bool* check states that a choice toggles.
    void Init(CMenuElementUI* pOwner, STRINGorID xml, POINT point, CPaintManagerUI* pMainPaintManager,
              CStdStringPtrMap* pCheckInfo = NULL,
              DWORD dwAlignment = eMenuAlignment_Left | eMenuAlignment_Top);
    CPaintManagerUI* GetManager() { return &m_pm; }
    CPaintManagerUI* GetMainManager() const { return m_pMainManager; }
    CStdStringPtrMap* GetCheckInfo() const { return m_pCheckInfo; }
    // Chooses an item as a click would: posts WM_MENUCLICK and closes.
    void ChooseItem(CMenuElementUI* pItem);
    void Notify(TNotifyUI& msg) override;

protected:
    LPCTSTR GetWindowClassName() const override { return _T("DuiMenuWnd"); }
    UINT GetClassStyle() const override { return CS_DBLCLKS | CS_DROPSHADOW; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    void MoveHot(int step);   // Up/Down: next enabled item, wrapping around

    CPaintManagerUI m_pm;
    CPaintManagerUI* m_pMainManager = NULL;
    CStdStringPtrMap* m_pCheckInfo = NULL;
    bool m_bClosing = false;
};

} // namespace DuiLib
