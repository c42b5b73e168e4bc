#include "mainframe/tab_logic.h"

#include <algorithm>
#include <cwchar>

#define QUORVANE_TEXT_(n) #n
#define QUORVANE_TEXT(n) QUORVANE_TEXT_(n)

namespace tabs {

const wchar_t kSplitterAttributes[] =
    L"name=\"tab_splitter%d\" width=\"3\" height=\"24\" font=\"18\" align=\"left\" textpadding=\"0,0,0,2\" "
    L"padding=\"0, 0, 0, 0\" text=\"|\" textcolor=\"#FF999999\"";
const wchar_t kTabButtonAttributes[] =
    L"align=\"left\" name=\"tab_tab%d\" padding=\"0,0,0,0\" width=\"" QUORVANE_TEXT(QUORVANE_TAB_WIDTH) "\" "
    L"height=\"" QUORVANE_TEXT(QUORVANE_TAB_HEIGHT) "\" "
    L"normalimage=\"newicon/mainfram/bg_header_normal.png\" hotimage=\"newicon/mainfram/bg_header_hover.png\" "
    L"\t\t\tpushedimage=\"newicon/mainfram/bg_header_Click.png\" selectedimage=\"newicon/mainfram/bg_header_Click.png\" "
    L"group=\"ui_grp_webtab\"";
const wchar_t kCloseButtonAttributes[] =
    L"padding=\"-25,4,0,4\" name=\"tab_btnclose%d\" width=\"16\" height=\"16\" "
    L"normalimage=\"newicon/mainfram/icon_header_close_normal.png\" "
    L"hotimage=\"newicon/mainfram/icon_header_close_hover.png\" "
    L"pushedimage=\"newicon/mainfram/icon_header_close_Click.png\"";

std::wstring Format(const wchar_t* attributes, int index) {
    std::wstring text = attributes;
    size_t at = text.find(L"%d");
    if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(index));
    return text;
}

std::wstring TabText(const std::wstring& title) {
    // Characters, not UTF-16 units: a surrogate pair counts once and is never cut in two.
    size_t characters = 0, cut = 0;
    for (size_t i = 0; i < title.size(); ++i) {
        const bool pair = title[i] >= 0xD800 && title[i] <= 0xDBFF && i + 1 < title.size() && title[i + 1] >= 0xDC00 &&
                          title[i + 1] <= 0xDFFF;
        if (++characters == 8) cut = i + (pair ? 2 : 1);
        if (pair) ++i;
    }
    std::wstring shown = characters < 9 ? title : title.substr(0, cut) + L"...";
    return L"   " + shown;
}

BlankedSplitters SplittersBeside(int index, int count) {
    BlankedSplitters result;
    if (index >= 5) result.before = index - 1;
    if (index < count - 2) result.after = index + 2;
    return result;
}

TabRemoval RemovalFor(int i, int count) {
    TabRemoval removal{i + 1, -1, i};
    if (i + 2 <= count - 1) {
        removal.splitter = i + 2;
    } else if (i - 1 >= kFirstTabButton) {
        removal.splitter = i - 1;
    }
    return removal;
}

}  // namespace tabs

int TabModel::IdAt(int position) const { return position >= 0 && position < Count() ? ids_[position] : -1; }

int TabModel::PositionOf(int id) const {
    auto it = std::find(ids_.begin(), ids_.end(), id);
    return it == ids_.end() ? -1 : static_cast<int>(it - ids_.begin());
}

void TabModel::Open(int id) {
    previous_ = current_;
    ids_.push_back(id);
    current_ = id;
}

bool TabModel::Click(int id) {
    if (id <= 0 || id == current_) return false;
    previous_ = -1;
    current_ = id;
    return true;
}

int TabModel::Close(int id) {
    // The tab it came from may be gone by now (closed before this one): then the current tab
    // is the one to return to, or the selection would land on no tab.
    int s;
    if (previous_ > -1 && Contains(previous_)) {
        s = PositionOf(previous_);
        current_ = previous_;
    } else {
        s = PositionOf(current_);
    }
    const int i = PositionOf(id);
    if (i < 0) return -1;
    ids_.erase(ids_.begin() + i);
    // A tab before or after the closed one keeps being current; so does no tab at all.
    if (s == i) current_ = i < Count() ? ids_[i] : IdAt(i - 1);
    return i;
}
