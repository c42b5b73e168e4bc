// A skinned window for the tests: records notifications and menu commands.
#pragma once

#include "UIlib.h"
#include "skin_testing.h"

#include <functional>
#include <string>
#include <vector>

namespace skintest {

struct Note {
    std::wstring type;
    std::wstring sender;
};

struct MenuPick {
    std::wstring name, userData, text;
    BOOL checked;
};

class HostWnd : public DuiLib::WindowImplBase {
public:
    explicit HostWnd(const wchar_t* skinFile, bool deleteOnFinal = false)
        : skin_(skinFile), deleteOnFinal_(deleteOnFinal) {}

    std::vector<Note> notes;
    std::vector<MenuPick> menuPicks;
    std::function<void(DuiLib::TNotifyUI&)> onNotify;
    std::function<void(UINT, WPARAM, LPARAM)> onCustom;
    bool initCalled = false;
    bool windowInitAfterInit = false;
    bool* destroyedFlag = nullptr;

    DuiLib::CPaintManagerUI& pm() { return m_PaintManager; }
    DuiLib::CControlUI* Find(const wchar_t* name) { return m_PaintManager.FindControl(name); }
    // Notes of one type, sender names in order.
    std::vector<std::wstring> Senders(const wchar_t* type) const;
    void Clear() { notes.clear(); }

protected:
    DuiLib::CDuiString GetSkinFolder() override { return L"res/res"; }
    DuiLib::CDuiString GetSkinFile() override { return skin_.c_str(); }
    LPCTSTR GetWindowClassName() const override { return L"SkinTestHost"; }
    void InitWindow() override { initCalled = true; }
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    std::wstring skin_;
    bool deleteOnFinal_;
};

// Sets the instance and resource path once per process.
void SetUpSkinPaths();

// Creates a host for a skin as the client creates its dialogs (popup, topmost, default size).
HostWnd* CreateHost(const wchar_t* skin, DWORD style = 0x96C80000, DWORD exStyle = WS_EX_TOPMOST);
void DestroyHost(HostWnd* host);

}  // namespace skintest
