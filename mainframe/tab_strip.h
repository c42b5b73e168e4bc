// The main window's strip of tab items: the only code that adds, selects and removes them. It
// shows the tabs of the TabModel (mainframe/tab_logic.h) in its order and knows no ids of its
// own: each tab button carries its browser id as the skin tag for the skin's sake, which the
// client never reads back. The layout of items is that of mainframe/tab_logic.h.
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

    // A new last tab (splitter, button, close button), its button tagged with `browserId`.
    void Add(int browserId);
    // Selects the button at item `index` and blanks the splitters on either side of it.
    void Select(int index);
    void SetTitle(int position, const std::wstring& title);
    // Removes the items of the tab at `position`; returns the index its button had, or -1 when
    // there is no such tab.
    int Remove(int position);

private:
    DuiLib::CHorizontalLayoutUI* layout_ = nullptr;
    DuiLib::CControlUI* blankedSplitters_[2] = {nullptr, nullptr};
};
