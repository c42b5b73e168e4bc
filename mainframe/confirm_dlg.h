// The small dialog that asks whether to end the client (from the tray menu's exit item).
// Modeless and top-most; one object serves the whole run.
#pragma once
#include "UIlib.h"

class ConfirmDlg : public DuiLib::WindowImplBase {
public:
    // Creates the dialog the first time (owned by `owner`), then shows and centres it.
    static ConfirmDlg* Show(HWND owner);
    // The live dialog, or nullptr.
    static ConfirmDlg* Current();
    // For tests that press the dialog's buttons through the skin.
    DuiLib::CPaintManagerUI& PaintManager() { return m_PaintManager; }

protected:
    LPCTSTR GetWindowClassName() const override { return L"ConfirmDlg"; }
    void OnFinalMessage(HWND hWnd) override;
    void InitWindow() override;
    DuiLib::CDuiString GetSkinFile() override { return L"ConfirmDlg.xml"; }
    DuiLib::CDuiString GetSkinFolder() override { return L"res/res"; }
    DuiLib::UILIB_RESOURCETYPE GetResourceType() const override { return DuiLib::UILIB_FILE; }
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    ConfirmDlg() = default;
    ~ConfirmDlg() override;
    HWND owner = nullptr;
};
