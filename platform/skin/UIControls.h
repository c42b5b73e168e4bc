// Controls and layouts. Sizes, paddings and positions given to setters are at 100 % and
// scaled by the owning window's DPI; GetPos() is the laid-out rectangle in client pixels.
#pragma once

#include "UIManager.h"

namespace DuiLib {

class CContainerUI;

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetName() const { return m_sName; }
    virtual void SetName(LPCTSTR pstrName) { m_sName = pstrName; }
    virtual LPCTSTR GetClass() const { return DUI_CTR_CONTROL; }
    // Safe down-cast by class name: NULL when this control is not of that kind.
    virtual LPVOID GetInterface(LPCTSTR pstrName);
    virtual UINT GetControlFlags() const { return 0; }

    virtual CPaintManagerUI* GetManager() const { return m_pManager; }
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    virtual CControlUI* GetParent() const { return m_pParent; }

    // Text and looks.
    virtual CDuiString GetText() const { return m_sText; }
    virtual void SetText(LPCTSTR pstrText);
    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD c) { m_dwBackColor = c; Invalidate(); }
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD c) { m_dwBorderColor = c; Invalidate(); }
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int n) { m_nBorderSize = n; Invalidate(); }
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE sz) { m_cxyBorderRound = sz; Invalidate(); }
    LPCTSTR GetBkImage() const { return m_sBkImage; }
    void SetBkImage(LPCTSTR p) { m_sBkImage = p; Invalidate(); }

    // Position and size.
    virtual const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    virtual RECT GetPadding() const { return m_rcPadding; }
    virtual void SetPadding(RECT rcPadding);
    virtual SIZE GetFixedXY() const { return m_cXY; }
    virtual void SetFixedXY(SIZE szXY);
    virtual int GetFixedWidth() const { return m_cxyFixed.cx; }
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const { return m_cxyFixed.cy; }
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const { return m_cxyMin.cx; }
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const { return m_cxyMax.cx; }
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const { return m_cxyMin.cy; }
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const { return m_cxyMax.cy; }
    virtual void SetMaxHeight(int cy);
    // Size wanted inside the available space, in pixels (0 = stretch).
    virtual SIZE EstimateSize(SIZE szAvailable);
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool bFloat = true);
    RECT GetFloatPos() const { return m_rcFloat; }

    // Tooltip, tag, user data.
    virtual CDuiString GetToolTip() const { return m_sToolTip; }
    virtual void SetToolTip(LPCTSTR pstrText);
    virtual UINT_PTR GetTag() const { return m_pTag; }
    virtual void SetTag(UINT_PTR pTag) { m_pTag = pTag; }
    virtual CDuiString GetUserData() const { return m_sUserData; }
    virtual void SetUserData(LPCTSTR p) { m_sUserData = p; }

    // State.
    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual bool GetVisibleFlag() const { return m_bVisible; }
    virtual void SetVisible(bool bVisible = true);
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool bEnable = true);
    virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
    virtual void SetMouseEnabled(bool b = true) { m_bMouseEnabled = b; }
    virtual bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    virtual void SetKeyboardEnabled(bool b = true) { m_bKeyboardEnabled = b; }
    virtual bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();
    // Called by the manager when focus arrives or leaves.
    virtual void SetFocusState(bool bFocused);
    bool IsTabStop() const { return m_bTabStop; }
    void SetTabStop(bool b) { m_bTabStop = b; }

    // Attributes in the skin's syntax.
    virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
    // Parses `name="value" name2="value2"`; blanks, tabs and line breaks may separate
    // attributes and values may hold blanks. Stops at the first malformed entry.
    CControlUI* ApplyAttributeList(LPCTSTR pstrList);

    // Tree helpers.
    typedef bool (*FINDCONTROLPROC)(CControlUI* pThis, LPVOID pData);
    virtual CControlUI* FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags);

    // Events and painting.
    void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);
    virtual bool Activate();
    virtual void DoInit() {}
    virtual void DoPaint(HDC hDC, const RECT& rcPaint);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);
    bool DrawImage(HDC hDC, LPCTSTR pStrImage, const RECT* prcDest = NULL);
    void Invalidate();
    void NeedUpdate();
    void NeedParentUpdate();
    // Called when the owning window's DPI changes (native children re-font themselves).
    virtual void OnDPIChanged() {}

    // Helpers for attribute parsing (public for tests and derived controls).
    static DWORD ParseColor(LPCTSTR value);
    static RECT ParseRect(LPCTSTR value);
    static SIZE ParseSize(LPCTSTR value);
    static bool ParseBool(LPCTSTR value);

protected:
    RECT ScaledPadding() const;

    CPaintManagerUI* m_pManager = NULL;
    CControlUI* m_pParent = NULL;
    CDuiString m_sName;
    CDuiString m_sText;
    CDuiString m_sToolTip;
    CDuiString m_sUserData;
    CDuiString m_sBkImage;
    UINT_PTR m_pTag = 0;
    RECT m_rcItem = {0, 0, 0, 0};
    RECT m_rcPadding = {0, 0, 0, 0};
    SIZE m_cXY = {0, 0};
    SIZE m_cxyFixed = {0, 0};
    SIZE m_cxyMin = {0, 0};
    SIZE m_cxyMax = {9999, 9999};
    RECT m_rcFloat = {0, 0, 0, 0};
    SIZE m_cxyBorderRound = {0, 0};
    bool m_bFloat = false;
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bTabStop = true;   // the "tabstop" attribute; flags decide if Tab stops here
    bool m_bUpdateNeeded = true;
    DWORD m_dwBackColor = 0;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    int m_nBorderSize = 0;
};

class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;
    LPCTSTR GetClass() const override { return DUI_CTR_CONTAINER; }
    LPVOID GetInterface(LPCTSTR pstrName) override;

    CControlUI* GetItemAt(int iIndex) const;
    int GetItemIndex(CControlUI* pControl) const;   // -1 when not a child
    bool SetItemIndex(CControlUI* pControl, int iIndex);
    int GetCount() const { return (int)m_items.size(); }
    virtual bool Add(CControlUI* pControl);
    virtual bool AddAt(CControlUI* pControl, int iIndex);
    // Removes and frees the child (freed after the current message, so a control may
    // remove itself from its own click handler).
    virtual bool Remove(CControlUI* pControl, bool bDoNotDestroy = false);
    virtual bool RemoveAt(int iIndex, bool bDoNotDestroy = false);
    virtual void RemoveAll();

    RECT GetInset() const { return m_rcInset; }
    void SetInset(RECT rcInset) { m_rcInset = rcInset; NeedUpdate(); }
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int iPadding) { m_iChildPadding = iPadding; NeedUpdate(); }

    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    CControlUI* FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) override;
    void OnDPIChanged() override;

protected:
    RECT ScaledInset() const;
    void SetFloatPos(CControlUI* pControl, const RECT& rcParent);
    // Lays the children out in a row (horizontal) or a column, then places floating ones.
    void SetLinearPos(RECT rc, bool bNeedInvalidate, bool horizontal);
    std::vector<CControlUI*> m_items;
    RECT m_rcInset = {0, 0, 0, 0};
    int m_iChildPadding = 0;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override { return DUI_CTR_VERTICALLAYOUT; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override { return DUI_CTR_HORIZONTALLAYOUT; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

// Shows one child at a time.
class CTabLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override { return DUI_CTR_TABLAYOUT; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    virtual bool SelectItem(int iIndex, bool bTriggerEvent = true);
    virtual bool SelectItem(CControlUI* pControl, bool bTriggerEvent = true);
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void DoInit() override;
protected:
    int m_iCurSel = -1;
    int m_iInitSel = -1;   // "selectedid" from the skin, applied once the children exist
};

class CLabelUI : public CControlUI {
public:
    LPCTSTR GetClass() const override { return DUI_CTR_LABEL; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetFont(int index) { m_iFont = index; Invalidate(); }
    int GetFont() const { return m_iFont; }
    void SetTextStyle(UINT uStyle) { m_uTextStyle = uStyle; Invalidate(); }
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextColor(DWORD c) { m_dwTextColor = c; Invalidate(); }
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetDisabledTextColor(DWORD c) { m_dwDisabledTextColor = c; Invalidate(); }
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc) { m_rcTextPadding = rc; Invalidate(); }
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintText(HDC hDC) override;
protected:
    RECT TextRect() const;   // item rect minus scaled text padding
    void DrawTextIn(HDC hDC, const RECT& rc, DWORD color, int font);
    int m_iFont = -1;
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_CENTER;
    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    RECT m_rcTextPadding = {0, 0, 0, 0};
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    LPCTSTR GetClass() const override { return DUI_CTR_BUTTON; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    UINT GetControlFlags() const override;
    bool Activate() override;   // sends "click"
    void DoEvent(TEventUI& event) override;
    void SetEnabled(bool bEnable = true) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintBkColor(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;
    UINT GetButtonState() const { return m_uButtonState; }
    void SetNormalImage(LPCTSTR p) { m_sNormalImage = p; Invalidate(); }
    void SetHotImage(LPCTSTR p) { m_sHotImage = p; Invalidate(); }
    void SetPushedImage(LPCTSTR p) { m_sPushedImage = p; Invalidate(); }
    void SetDisabledImage(LPCTSTR p) { m_sDisabledImage = p; Invalidate(); }
    LPCTSTR GetNormalImage() const { return m_sNormalImage; }
protected:
    UINT m_uButtonState = 0;
    CDuiString m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage;
    CDuiString m_sForeImage, m_sHotForeImage;
    DWORD m_dwHotBkColor = 0, m_dwPushedBkColor = 0, m_dwDisabledBkColor = 0;
    DWORD m_dwHotTextColor = 0, m_dwPushedTextColor = 0, m_dwFocusedTextColor = 0;
    DWORD m_dwHotBorderColor = 0;
};

// Button with a selected state; options sharing a group keep one selected.
class COptionUI : public CButtonUI {
public:
    ~COptionUI() override = default;
    LPCTSTR GetClass() const override { return DUI_CTR_OPTION; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool Activate() override;   // "click" first, then the selection change
    LPCTSTR GetGroup() const { return m_sGroupName; }
    void SetGroup(LPCTSTR pStrGroupName = NULL);
    bool IsSelected() const { return m_bSelected; }
    // Changes the state; with bTriggerEvent sends "selectchanged" when it changed.
    virtual void Selected(bool bSelected, bool bTriggerEvent = true);
    void SetSelectedImage(LPCTSTR p) { m_sSelectedImage = p; Invalidate(); }
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintBkColor(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;
protected:
    bool m_bSelected = false;
    CDuiString m_sGroupName;
    CDuiString m_sSelectedImage, m_sSelectedHotImage, m_sSelectedPushedImage;
    DWORD m_dwSelectedBkColor = 0, m_dwSelectedTextColor = 0;
};

class CCheckBoxUI : public COptionUI {
public:
    LPCTSTR GetClass() const override { return DUI_CTR_CHECKBOX; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    // Always reports a change ("selectchanged"), as the library does.
    void SetCheck(bool bCheck) { Selected(bCheck); }
    bool GetCheck() const { return IsSelected(); }
    void PaintStatusImage(HDC hDC) override;
};

// Edit box backed by a native EDIT child window.
class CEditUI : public CLabelUI {
public:
    CEditUI();
    ~CEditUI() override;
    LPCTSTR GetClass() const override { return DUI_CTR_EDIT; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    UINT GetControlFlags() const override;
    // Program-set text sends no "textchanged".
    void SetText(LPCTSTR pstrText) override;
    CDuiString GetText() const override { return m_sText; }   // safe from any thread
    void SetPasswordMode(bool bPasswordMode);
    bool IsPasswordMode() const { return m_bPasswordMode; }
    void SetMaxChar(UINT uMax);
    UINT GetMaxChar() const { return m_uMaxChar; }
    void SetReadOnly(bool bReadOnly);
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetSel(long nStartChar, long nEndChar);
    HWND GetNativeWindow() const { return m_hEdit; }

    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void SetFocusState(bool bFocused) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void DoEvent(TEventUI& event) override;
    void DoInit() override;
    void PaintText(HDC hDC) override;
    void PaintBorder(HDC hDC) override;
    void OnDPIChanged() override;

    // Called by the window procedures.
    static CEditUI* FromNative(HWND hWnd);   // the control of a native box, or NULL
    void OnNativeChange();
    DWORD GetNativeBkColor() const;
    static LRESULT CALLBACK EditProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

private:
    void CreateNative();
    void DestroyNative();
    void UpdateNativeVisibility();
    HWND m_hEdit = NULL;
    WNDPROC m_oldProc = NULL;
    bool m_bPasswordMode = false;
    bool m_bReadOnly = false;
    bool m_bSettingText = false;
    UINT m_uMaxChar = 255;
    CDuiString m_sPromptText;
    DWORD m_dwEditBkColor = 0xFFFFFFFF;
};

// Item of a combo's list.
class CListLabelElementUI : public CLabelUI {
public:
    CListLabelElementUI();
    LPCTSTR GetClass() const override { return DUI_CTR_LISTLABELELEMENT; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool IsSelected() const { return m_bSelected; }
    void SetSelectedFlag(bool b) { m_bSelected = b; }
protected:
    bool m_bSelected = false;
};

class CComboWnd;

// Drop-down list: items are CListLabelElementUI children; the list opens in a real popup.
class CComboUI : public CContainerUI {
public:
    CComboUI();
    ~CComboUI() override;
    LPCTSTR GetClass() const override { return DUI_CTR_COMBO; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    UINT GetControlFlags() const override;
    CDuiString GetText() const override;
    int GetCurSel() const { return m_iCurSel; }
    // Selects item iIndex (-1 = none) and sends "itemselect" when the selection changed (always,
    // as the library does: there is no silent form).
    bool SelectItem(int iIndex, bool bTakeFocus = false);
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
    void RemoveAll() override;
    bool Activate() override;   // opens the list ("predropdown" first)
    bool IsDropped() const { return m_pWindow != NULL; }
    CComboWnd* GetDropWindow() const { return m_pWindow; }
    HWND GetDropHWND() const;
    void CloseDropDown();
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    int GetItemHeight() const { return m_iItemHeight; }
    int GetDropHeight() const { return m_iDropHeight; }
    DWORD GetTextColor() const { return m_dwTextColor; }
    int GetFont() const { return m_iFont; }
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void OnDropClosed() { m_pWindow = NULL; Invalidate(); }
protected:
    int m_iCurSel = -1;
    CComboWnd* m_pWindow = NULL;
    bool m_bShowText = true;   // "showtext": false when an edit box over the combo shows the text
    int m_iItemHeight = 28;
    int m_iDropHeight = 200;
    int m_iFont = -1;
    DWORD m_dwTextColor = 0;
    DWORD m_dwHotBorderColor = 0;
    RECT m_rcTextPadding = {6, 0, 6, 0};
    CDuiString m_sNormalImage, m_sHotImage, m_sPushedImage;
};

} // namespace DuiLib
