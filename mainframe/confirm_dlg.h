// The small dialog that asks whether to end the client (from the tray menu's exit item).
// Modeless and top-most; one object serves the whole run.
#pragma once
#include "ui/skinned_window.h"

class ConfirmDlg : public SkinnedWindow {
public:
    // Creates the dialog the first time (owned by `owner`), then shows and centres it.
    static ConfirmDlg* Show(HWND owner);
    // The live dialog, or nullptr.
    static ConfirmDlg* Current();

protected:
    LPCTSTR GetWindowClassName() const override { return L"ConfirmDlg"; }
    void InitWindow() override;
    DuiLib::CDuiString GetSkinFile() override { return L"ConfirmDlg.xml"; }
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    ConfirmDlg() = default;
    ~ConfirmDlg() override;
    HWND owner_ = nullptr;
};
