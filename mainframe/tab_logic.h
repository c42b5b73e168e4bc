// Index arithmetic and texts of the tab strip, kept apart from the window code.
//
// The strip's first four items are fixed skin items. Each tab then is a run of items:
// [splitter] tab button, close button — the first tab has no splitter, so its button is item 4
// and its (invisible) close button item 5; the second tab is 6 (splitter), 7, 8; and so on.
#pragma once
#include <string>

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

// Index, in the strip after the removal, of the tab button that becomes current after the tab
// at `i` closes in a strip of `count` items, given `s`, the index (before the removal) of the
// tab to return to. Returns
// kKeepCurrent when the current tab stays as it is, or -1 when there is no such item.
constexpr int kKeepCurrent = -2;
int NextCurrentIndex(int s, int i, int count);

}  // namespace tabs
