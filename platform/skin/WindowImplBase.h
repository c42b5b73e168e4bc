// Base class of every skinned window: builds the skin in WM_CREATE, then calls InitWindow;
// draws without a system frame (caption drag and size box come from the skin).
#pragma once

#include "UIMenu.h"

namespace DuiLib {

class WindowImplBase : public CWindowWnd, public INotifyUI, public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override = default;

    // Called after the skin is built and attached (the window exists, not yet shown).
    virtual void InitWindow() {}
    // Window destroyed: detaches the skin. Derived classes may delete themselves after it.
    void OnFinalMessage(HWND hWnd) override;
    void Notify(TNotifyUI& msg) override;

    CPaintManagerUI* GetPaintManager() { return &m_PaintManager; }

protected:
    virtual CDuiString GetSkinFolder() = 0;   // relative to the instance path, e.g. "res/res"
    virtual CDuiString GetSkinFile() = 0;     // e.g. "lm_Login.xml"
    LPCTSTR GetWindowClassName() const override = 0;
    virtual LPCTSTR GetResourceID() const { return _T(""); }
    virtual UILIB_RESOURCETYPE GetResourceType() const { return UILIB_FILE; }
    virtual CDuiString GetZIPFileName() const { return _T(""); }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    CControlUI* CreateControl(LPCTSTR pstrClass) override { (void)pstrClass; return NULL; }

    // Enter → not handled (FALSE); Esc → Close(IDCANCEL), handled.
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // Messages not handled by the handlers above; set bHandled to stop default processing.
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    CPaintManagerUI m_PaintManager;
};

} // namespace DuiLib
