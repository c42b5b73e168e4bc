// Base of the client's skinned windows: skins come from files in "res/res", the DPI stays within
// 96..200 (at start and when the monitor's DPI changes), and the object deletes itself when its
// window is gone.
#pragma once
#include "ui/skin.h"

// The one place that reaches the window base's own members (m_PaintManager, the skin folder and
// the resource type); every window and test asks Skin() for the paint manager.
class SkinnedWindow : public DuiLib::WindowImplBase {
public:
    DuiLib::CPaintManagerUI& Skin() { return m_PaintManager; }

protected:
    SkinnedWindow() = default;
    ~SkinnedWindow() override = default;

    // Sets the main monitor's DPI, clamped; each window calls it where its InitWindow needs it.
    void ApplyMonitorDpi();

    DuiLib::CDuiString GetSkinFolder() override { return L"res/res"; }
    DuiLib::UILIB_RESOURCETYPE GetResourceType() const override { return DuiLib::UILIB_FILE; }
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void OnFinalMessage(HWND hWnd) override;
};
