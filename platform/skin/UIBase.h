// Basic types of the skin library: strings, maps, DPI scaling and the window wrapper.
#pragma once

#ifndef UNICODE
#error "The skin library is built for UNICODE only."
#endif

#include <windows.h>
#include <tchar.h>

#include <map>
#include <string>
#include <vector>

namespace DuiLib {

// Wide string with the operations skin code uses. Never null: GetData() is "" when empty.
class CDuiString {
public:
    CDuiString() = default;
    CDuiString(LPCTSTR s) : m_s(s ? s : L"") {}
    CDuiString(LPCTSTR s, int len) : m_s(s ? std::wstring(s, len < 0 ? wcslen(s) : (size_t)len) : L"") {}
    CDuiString(const std::wstring& s) : m_s(s) {}
    CDuiString(TCHAR ch) : m_s(1, ch) {}

    LPCTSTR GetData() const { return m_s.c_str(); }
    operator LPCTSTR() const { return m_s.c_str(); }
    int GetLength() const { return (int)m_s.size(); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    TCHAR GetAt(int i) const { return (i >= 0 && i < GetLength()) ? m_s[i] : 0; }
    TCHAR operator[](int i) const { return GetAt(i); }

    void Assign(LPCTSTR s, int len = -1) { *this = CDuiString(s, len); }
    void Append(LPCTSTR s) { if (s) m_s += s; }
    CDuiString& operator=(LPCTSTR s) { m_s = s ? s : L""; return *this; }
    CDuiString& operator+=(LPCTSTR s) { Append(s); return *this; }
    CDuiString& operator+=(const CDuiString& s) { m_s += s.m_s; return *this; }
    CDuiString& operator+=(TCHAR ch) { m_s += ch; return *this; }
    friend CDuiString operator+(const CDuiString& a, const CDuiString& b) { return CDuiString(a.m_s + b.m_s); }
    friend CDuiString operator+(const CDuiString& a, LPCTSTR b) { return CDuiString(a.m_s + (b ? b : L"")); }
    friend CDuiString operator+(LPCTSTR a, const CDuiString& b) { return CDuiString((a ? a : L"") + b.m_s); }

    bool operator==(LPCTSTR s) const { return Compare(s) == 0; }
    bool operator!=(LPCTSTR s) const { return Compare(s) != 0; }
    bool operator==(const CDuiString& s) const { return m_s == s.m_s; }
    bool operator!=(const CDuiString& s) const { return m_s != s.m_s; }
    bool operator<(const CDuiString& s) const { return m_s < s.m_s; }
    int Compare(LPCTSTR s) const { return wcscmp(m_s.c_str(), s ? s : L""); }
    int CompareNoCase(LPCTSTR s) const { return _wcsicmp(m_s.c_str(), s ? s : L""); }

    CDuiString Left(int n) const { return Mid(0, n); }
    CDuiString Mid(int pos, int n = -1) const;
    CDuiString Right(int n) const;
    int Find(TCHAR ch, int start = 0) const;
    int Find(LPCTSTR s, int start = 0) const;
    int ReverseFind(TCHAR ch) const;
    int Replace(LPCTSTR from, LPCTSTR to);
    void MakeUpper();
    void MakeLower();
    int Format(LPCTSTR fmt, ...);

private:
    std::wstring m_s;
};

// Name → pointer map (used for the menu's check states).
class CStdStringPtrMap {
public:
    LPVOID Find(LPCTSTR key) const;
    bool Insert(LPCTSTR key, LPVOID data);   // false when the key exists already
    LPVOID Set(LPCTSTR key, LPVOID data);    // returns the previous value
    bool Remove(LPCTSTR key);
    void RemoveAll() { m_map.clear(); }
    int GetSize() const { return (int)m_map.size(); }
private:
    std::map<std::wstring, LPVOID> m_map;
};

// A skin given either by file name (relative to the resource path) or by resource id.
class STRINGorID {
public:
    STRINGorID(LPCTSTR s) : m_lpstr(s) {}
    STRINGorID(UINT id) : m_lpstr(MAKEINTRESOURCE(id)) {}
    LPCTSTR m_lpstr;
};

enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,       // skins read from plain files under the resource path
    UILIB_ZIP,            // not supported by this build
    UILIB_RESOURCE,       // not supported by this build
    UILIB_ZIPRESOURCE,    // not supported by this build
};

// DPI of one window. The scale is a percentage: dpi * 100 / 96.
class CDPI {
public:
    CDPI() = default;
    static int GetMainMonitorDPI();
    int GetDPI() const { return m_nDPI; }
    int GetScale() const { return m_nScale; }
    void SetScale(UINT dpi);   // dpi is clamped to 48..480
    int Scale(int value) const { return MulDiv(value, m_nScale, 100); }
    RECT Scale(RECT rc) const;
    SIZE Scale(SIZE sz) const;
    POINT Scale(POINT pt) const;
private:
    int m_nDPI = 96;
    int m_nScale = 100;
};

// Owner of one Win32 window. The object stays alive while its window exists;
// OnFinalMessage runs after WM_NCDESTROY (derived classes may `delete this` there).
class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU hMenu = NULL);
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                HMENU hMenu = NULL);
    HWND Subclass(HWND hWnd);
    void Unsubclass();

    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Runs a modal loop until this window is destroyed; the owner is disabled meanwhile.
    // Returns the value given to Close (the wParam of the WM_CLOSE that ended it).
    UINT ShowModal();
    // Posts WM_CLOSE with nRet as wParam.
    void Close(UINT nRet = IDOK);
    void CenterWindow();
    void SetIcon(UINT nRes);
    void ResizeClient(int cx = -1, int cy = -1);

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual LPCTSTR GetWindowClassName() const = 0;
    virtual LPCTSTR GetSuperClassName() const { return NULL; }
    virtual UINT GetClassStyle() const { return CS_DBLCLKS; }
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND hWnd) { (void)hWnd; }

    bool RegisterWindowClass();
    bool RegisterSuperclass();

    static LRESULT CALLBACK __WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK __ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT Dispatch(CWindowWnd* pThis, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = NULL;
    WNDPROC m_OldWndProc = ::DefWindowProc;
    bool m_bSubclassed = false;
    UINT* m_pModalResult = NULL;   // points into ShowModal's frame while it runs
};

} // namespace DuiLib
