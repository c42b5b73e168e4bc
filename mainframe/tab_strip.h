// The tabs of the main window's strip, one per browser: the only code that adds, orders, selects
// and removes tab items. Each tab button carries its browser id as the skin tag; the layout of
// items is that of mainframe/tab_logic.h.
#pragma once
#include <string>

#include "ui/skin.h"

class TabStrip {
public:
    // The skin's strip (nullptr: the skin has none, and every call does nothing).
    void Attach(DuiLib::CHorizontalLayoutUI* layout);
    DuiLib::CHorizontalLayoutUI* Layout() const { return layout_; }

    int Count() const;
    DuiLib::CControlUI* ItemAt(int index) const;
    int IndexOfItem(DuiLib::CControlUI* item) const;
    // Item index of the tab button of `browserId`, or -1.
    int IndexOf(int browserId) const;
    // The browser id tagged on item `index`, or -1 when there is no such item.
    int IdAt(int index) const;

    // A new last tab for the browser (splitter, button, close button).
    void Add(int browserId);
    // Selects the button at `index` and blanks the splitters on either side of it.
    void Select(int index);
    void SetTitle(int browserId, const std::wstring& title);
    // Removes the tab's items; returns the index its button had, or -1 when it has no tab.
    int Remove(int browserId);

private:
    DuiLib::CHorizontalLayoutUI* layout_ = nullptr;
    DuiLib::CControlUI* blankedSplitters_[2] = {nullptr, nullptr};
};
