// Index arithmetic and texts of the tab strip, kept apart from the window code.
//
// The strip's first four items are fixed skin items. Each tab then is a run of items:
// [splitter] tab button, close button — the first tab has no splitter, so its button is item 4
// and its (invisible) close button item 5; the second tab is 6 (splitter), 7, 8; and so on.
#pragma once
#include <string>
#include <vector>

namespace tabs {

constexpr int kFirstTabButton = 4;

// The size of a tab button, in skin pixels (also written into kTabButtonAttributes).
#define QUORVANE_TAB_WIDTH 181
#define QUORVANE_TAB_HEIGHT 24
constexpr int kTabWidth = QUORVANE_TAB_WIDTH;
constexpr int kTabHeight = QUORVANE_TAB_HEIGHT;

// Attribute lists applied to new strip items (%d = the item's index at that moment).
extern const wchar_t kSplitterAttributes[];
extern const wchar_t kTabButtonAttributes[];
extern const wchar_t kCloseButtonAttributes[];

std::wstring Format(const wchar_t* attributes, int index);

// The text shown on a tab: three blanks, then the title, cut to 8 characters plus "..." when it
// has more than 8.
std::wstring TabText(const std::wstring& title);

// Splitters whose text is blanked when tab button `index` is selected in a strip of `count`
// items: the one before it (-1 when none) and the one after its close button (-1 when none).
struct BlankedSplitters {
    int before = -1;
    int after = -1;
};
BlankedSplitters SplittersBeside(int index, int count);

// What to remove when the tab whose button is item `i` closes in a strip of `count` items:
// its close button, one splitter (after the tab, or before it when the tab is the last one; the
// fixed skin items are never taken) and the tab button, in that order of removal. Indexes are
// those of the strip before anything is removed.
struct TabRemoval {
    int closeButton;
    int splitter;  // -1 when there is none to remove
    int button;
};
TabRemoval RemovalFor(int i, int count);

// Strip item of the tab button at tab `position` (0 is the first tab), and back: the position
// whose button is item `item`, or -1 when that item is no tab button.
constexpr int ButtonItem(int position) { return kFirstTabButton + 3 * position; }
constexpr int PositionOfButton(int item) {
    return item >= kFirstTabButton && (item - kFirstTabButton) % 3 == 0 ? (item - kFirstTabButton) / 3 : -1;
}

}  // namespace tabs

// The main window's tabs: their browser ids in strip order, the current tab and the tab to
// return to when a newly opened one closes. The one owner of that state: the window and the
// strip ask it, the strip's items only show it. Positions count tabs, 0 being the first.
class TabModel {
public:
    int Count() const { return static_cast<int>(ids_.size()); }
    int IdAt(int position) const;  // -1 when there is no such tab
    int PositionOf(int id) const;  // -1 when `id` has no tab
    bool Contains(int id) const { return PositionOf(id) >= 0; }
    int FirstId() const { return IdAt(0); }
    int Current() const { return current_; }
    int Previous() const { return previous_; }

    // A new last tab, which becomes current; the one current until now is the tab to return to.
    void Open(int id);
    // A click on tab `id`: it becomes current and there is no tab to return to any more. False
    // (nothing changes) for an id below 1 or the current tab.
    bool Click(int id);
    // Makes `id` current (-1: none) and leaves the tab to return to as it is.
    void SetCurrent(int id) { current_ = id; }

    // Closes tab `id` and picks the new current tab. First the tab to return to, while it still
    // exists, becomes current (else the current tab stays); call that tab s. Then, when `id`
    // has a tab: it leaves the order, and if it was s, the tab that took its place becomes
    // current, or the one before it when it was the last. Returns the position the closed tab
    // had, or -1 when it had none (the first step is still taken).
    int Close(int id);

private:
    std::vector<int> ids_;
    int current_ = -1;
    int previous_ = -1;
};
