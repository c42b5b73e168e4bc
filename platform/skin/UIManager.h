// Paint manager (one per skinned window), notifications, events and the XML builder.
#pragma once

#include "UIBase.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// Notification type texts.
#define DUI_MSGTYPE_WINDOWINIT    (_T("windowinit"))
#define DUI_MSGTYPE_CLICK         (_T("click"))
#define DUI_MSGTYPE_SELECTCHANGED (_T("selectchanged"))
#define DUI_MSGTYPE_TEXTCHANGED   (_T("textchanged"))
#define DUI_MSGTYPE_RETURN        (_T("return"))
#define DUI_MSGTYPE_SETFOCUS      (_T("setfocus"))
#define DUI_MSGTYPE_KILLFOCUS     (_T("killfocus"))
#define DUI_MSGTYPE_PREDROPDOWN   (_T("predropdown"))
#define DUI_MSGTYPE_DROPDOWN      (_T("dropdown"))
#define DUI_MSGTYPE_ITEMSELECT    (_T("itemselect"))
#define DUI_MSGTYPE_MENU          (_T("menu"))

// Control class names (GetClass / GetInterface).
#define DUI_CTR_CONTROL           (_T("Control"))
#define DUI_CTR_CONTAINER         (_T("Container"))
#define DUI_CTR_HORIZONTALLAYOUT  (_T("HorizontalLayout"))
#define DUI_CTR_VERTICALLAYOUT    (_T("VerticalLayout"))
#define DUI_CTR_TABLAYOUT         (_T("TabLayout"))
#define DUI_CTR_LABEL             (_T("Label"))
#define DUI_CTR_TEXT              (_T("Text"))
#define DUI_CTR_BUTTON            (_T("Button"))
#define DUI_CTR_OPTION            (_T("Option"))
#define DUI_CTR_CHECKBOX          (_T("CheckBox"))
#define DUI_CTR_EDIT              (_T("Edit"))
#define DUI_CTR_COMBO             (_T("Combo"))
#define DUI_CTR_LISTLABELELEMENT  (_T("ListLabelElement"))
#define DUI_CTR_MENUELEMENT       (_T("MenuElement"))

// Event types delivered to CControlUI::Event / DoEvent. The numbering is part of the
// interface: callers build synthetic events by value (button-down is 13).
enum EVENTTYPE_UI {
    UIEVENT__FIRST = 1,
    UIEVENT__KEYBEGIN,
    UIEVENT_KEYDOWN,        // 3
    UIEVENT_KEYUP,
    UIEVENT_CHAR,
    UIEVENT_SYSKEY,
    UIEVENT__KEYEND,
    UIEVENT__MOUSEBEGIN,    // 8
    UIEVENT_MOUSEMOVE,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSEHOVER,
    UIEVENT_BUTTONDOWN,     // 13
    UIEVENT_BUTTONUP,
    UIEVENT_RBUTTONDOWN,
    UIEVENT_DBLCLICK,
    UIEVENT_CONTEXTMENU,
    UIEVENT_SCROLLWHEEL,
    UIEVENT__MOUSEEND,
    UIEVENT_KILLFOCUS,
    UIEVENT_SETFOCUS,
    UIEVENT_WINDOWSIZE,
    UIEVENT_SETCURSOR,
    UIEVENT_TIMER,
    UIEVENT__LAST,
};

// CControlUI::FindControl flags.
#define UIFIND_ALL          0x00000000
#define UIFIND_VISIBLE      0x00000001
#define UIFIND_ENABLED      0x00000002
#define UIFIND_HITTEST      0x00000004   // data is a POINT*; skips controls not under it
#define UIFIND_TOP_FIRST    0x00000008
#define UIFIND_ME_FIRST     0x00000080

// Control flags (GetControlFlags).
#define UIFLAG_TABSTOP      0x00000001
#define UIFLAG_SETCURSOR    0x00000002
#define UIFLAG_WANTRETURN   0x00000004

// Control states (bit flags).
enum {
    UISTATE_FOCUSED = 0x01,
    UISTATE_SELECTED = 0x02,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_READONLY = 0x20,
    UISTATE_CAPTURED = 0x40,
};

struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = NULL;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct TEventUI {
    int Type;
    CControlUI* pSender;
    DWORD dwTimestamp;
    POINT ptMouse;
    TCHAR chKey;
    WORD wKeyState;
    WPARAM wParam;
    LPARAM lParam;
};

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Sees every message of the window before the controls do; set bHandled to stop it.
class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

// Creates controls for XML tags the library does not know.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;
};

struct TFontInfo {
    HFONT hFont = NULL;
    CDuiString sFontName;
    int iSize = 12;        // pixels at 100 %
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    TEXTMETRIC tm = {};
};

// One per skinned window: owns the control tree, fonts, DPI, focus and the notifiers.
class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    void Init(HWND hWnd, LPCTSTR pstrName = NULL);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    HDC GetPaintDC() const { return m_hDcPaint; }
    HWND GetTooltipWindow() const { return m_hwndTooltip; }
    void NeedUpdate();
    // Lays the tree out now if anything changed (otherwise done at the next paint).
    void UpdateLayout();
    void Invalidate();
    void Invalidate(const RECT& rcItem);

    // Process-wide settings.
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE hInst);
    static CDuiString GetInstancePath();   // folder of the module, with a trailing backslash
    static CDuiString GetResourcePath();   // with a trailing backslash
    static void SetResourcePath(LPCTSTR pStrPath);
    // Frees a record the library allocated for the caller (the menu command); other
    // pointers (and a second free of the same record) are ignored.
    void DeletePtr(void* ptr) const;

    // DPI: SetDPI rescales fonts, sizes and the window (keeping its position).
    CDPI* GetDPIObj() { return &m_dpi; }
    void SetDPI(int iDPI);
    static void SetAllDPI(int iDPI);
    int ScaleValue(int v) const { return m_dpi.Scale(v); }

    // Window description from the skin's <Window> element (values at 100 %).
    SIZE GetInitSize();           // scaled
    void SetInitSize(int cx, int cy);
    RECT& GetSizeBox() { return m_rcSizeBox; }
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
    RECT& GetCaptionRect() { return m_rcCaption; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    SIZE GetRoundCorner() const { return m_szRoundCorner; }
    void SetRoundCorner(int cx, int cy) { m_szRoundCorner = {cx, cy}; }
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy) { m_szMinWindow = {cx, cy}; }
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy) { m_szMaxWindow = {cx, cy}; }

    // Fonts from the skin; ids are the skin's <Font id>. -1 or unknown → default font.
    void AddFont(int id, LPCTSTR name, int size, bool bold, bool underline, bool italic, bool isDefault);
    HFONT GetFont(int id);
    HFONT GetDefaultFont();
    const TEXTMETRIC& GetFontInfo(int id);

    // Attribute lists applied to every control of a class before its own (<Default>).
    void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
    LPCTSTR GetDefaultAttributeList(LPCTSTR pStrControlName) const;

    // Default colours.
    DWORD GetDefaultFontColor() const { return m_dwDefaultFontColor; }
    DWORD GetDefaultDisabledColor() const { return m_dwDefaultDisabledColor; }

    // Control tree.
    bool AttachDialog(CControlUI* pControl);
    bool InitControls(CControlUI* pControl, CControlUI* pParent = NULL);
    void ReapObjects(CControlUI* pControl);   // forget every reference to a leaving control
    void AddDelayedCleanup(CControlUI* pControl);
    CControlUI* GetRoot() const { return m_pRoot; }
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindControl(LPCTSTR pstrName) const;   // NULL when absent
    CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const;
    void GetOptionGroup(LPCTSTR group, std::vector<CControlUI*>& out) const;

    // Focus.
    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl, bool bFocusWnd = true);
    void SetFocusNeeded(CControlUI* pControl) { SetFocus(pControl); }
    bool SetNextTabControl(bool bForward = true);

    // Notifications.
    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    void SendNotify(TNotifyUI& Msg, bool bAsync = false);
    void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);

    // Hover/pressed bookkeeping (used by the controls).
    CControlUI* GetHotControl() const { return m_pEventHover; }
    CControlUI* GetPushedControl() const { return m_pEventClick; }
    POINT GetMousePos() const { return m_ptLastMousePos; }
    void UpdateToolTip(CControlUI* pControl);

    // Message pump helpers.
    static bool TranslateMessage(const LPMSG pMsg);
    static void MessageLoop();
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // Images (GDI+ bitmaps cached per full path, shared by all windows).
    void* GetImage(LPCTSTR bitmap);   // Gdiplus::Bitmap*, NULL when missing or unreadable

    // Test entry points: the same path a real mouse click or key takes.
    bool TestClick(LPCTSTR pstrName);
    bool TestClick(CControlUI* pControl);
    static const UINT WM_DELAYEDCLEANUP = WM_APP + 0x3A1;
    static const UINT WM_WINDOWINIT = WM_APP + 0x3A2;

private:
    void DoPaint();
    void RescaleWindow(int oldScale);
    void RebuildFonts();
    void FlushDelayedCleanup();
    void SendWindowInit();
    CControlUI* FindByNameRecursive(CControlUI* p, LPCTSTR name) const;
    void MouseEvent(int type, WPARAM wParam, LPARAM lParam);
    void CollectTabStops(CControlUI* p, std::vector<CControlUI*>& out) const;

    HWND m_hWndPaint = NULL;
    HDC m_hDcPaint = NULL;
    HWND m_hwndTooltip = NULL;
    CDuiString m_sName;
    CControlUI* m_pRoot = NULL;
    CControlUI* m_pFocus = NULL;
    CControlUI* m_pLastFocus = NULL;   // focus to give back when the window gets it again
    CControlUI* m_pEventHover = NULL;
    CControlUI* m_pEventClick = NULL;
    CControlUI* m_pTooltipOwner = NULL;
    POINT m_ptLastMousePos = {-1, -1};
    bool m_bUpdateNeeded = true;
    bool m_bAllInvalid = false;   // the whole window is invalid and no paint has run since
    bool m_bWindowInitSent = false;
    bool m_bMouseTracking = false;
    bool m_bCleanupPosted = false;
    CDPI m_dpi;
    SIZE m_szInitWindowSize = {0, 0};
    SIZE m_szMinWindow = {0, 0};
    SIZE m_szMaxWindow = {0, 0};
    SIZE m_szRoundCorner = {0, 0};
    RECT m_rcSizeBox = {0, 0, 0, 0};
    RECT m_rcCaption = {0, 0, 0, 0};
    DWORD m_dwDefaultFontColor = 0xFF333333;
    DWORD m_dwDefaultDisabledColor = 0xFFA0A0A0;
    std::map<int, TFontInfo> m_fonts;
    int m_defaultFontId = -1;
    TFontInfo m_fallbackFont;
    std::map<std::wstring, std::wstring> m_defaultAttrs;
    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_filters;
    std::vector<CControlUI*> m_delayedCleanup;
    std::vector<std::wstring> m_tooltipTexts;
};

// Builds a control tree from a skin file (UTF-8 XML under the resource path).
class CDialogBuilder {
public:
    CDialogBuilder() = default;
    // Returns the root control, or NULL when the file is missing or not a skin.
    CControlUI* Create(STRINGorID xml, LPCTSTR type = NULL, IDialogBuilderCallback* pCallback = NULL,
                       CPaintManagerUI* pManager = NULL, CControlUI* pParent = NULL);
    // Parses XML text (not a file) the same way.
    CControlUI* CreateFromString(LPCTSTR xmlText, IDialogBuilderCallback* pCallback = NULL,
                                 CPaintManagerUI* pManager = NULL, CControlUI* pParent = NULL);
    static CControlUI* CreateControlByClass(LPCTSTR pstrClass);
private:
    CControlUI* Build(void* doc, IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                      CControlUI* pParent);
    CControlUI* Parse(void* node, CControlUI* pParent, CPaintManagerUI* pManager, int depth = 0);
    IDialogBuilderCallback* m_pCallback = NULL;
    static const int kMaxDepth = 64;   // deeper elements are ignored (no stack exhaustion)
};

} // namespace DuiLib
