#include "mainframe/tab_strip.h"

#include "mainframe/tab_logic.h"

using namespace DuiLib;

void TabStrip::Attach(CHorizontalLayoutUI* strip) {
    layout_ = strip;
    blankedSplitters_[0] = blankedSplitters_[1] = nullptr;
}

int TabStrip::Count() const { return layout_ ? layout_->GetCount() : 0; }

CControlUI* TabStrip::ItemAt(int index) const { return layout_ ? layout_->GetItemAt(index) : nullptr; }

int TabStrip::IndexOfItem(CControlUI* item) const { return layout_ && item ? layout_->GetItemIndex(item) : -1; }

void TabStrip::Add(int browserId) {
    if (!layout_) return;
    int n = layout_->GetCount();
    if (n > tabs::kFirstTabButton) {
        CLabelUI* splitter = new CLabelUI;
        splitter->ApplyAttributeList(tabs::Format(tabs::kSplitterAttributes, n).c_str());
        layout_->Add(splitter);
        splitter->SetFixedWidth(3);
        if (n == 6) splitter->SetPadding(RECT{-8, 0, 0, 0});
    }
    COptionUI* button = new COptionUI;
    button->ApplyAttributeList(tabs::Format(tabs::kTabButtonAttributes, layout_->GetCount()).c_str());
    button->SetTag(static_cast<UINT_PTR>(browserId));
    layout_->Add(button);
    button->SetFixedWidth(tabs::kTabWidth);
    button->SetFixedHeight(tabs::kTabHeight);
    button->SetFont(16);
    if (n >= 6) button->SetPadding(RECT{-8, 0, 0, 0});
    CButtonUI* close = new CButtonUI;
    close->ApplyAttributeList(tabs::Format(tabs::kCloseButtonAttributes, layout_->GetCount()).c_str());
    layout_->Add(close);
    if (n == tabs::kFirstTabButton) close->SetVisible(false);
}

void TabStrip::Select(int index) {
    if (!layout_ || index < 0 || index >= layout_->GetCount()) return;
    CControlUI* item = layout_->GetItemAt(index);
    if (!item) return;
    for (CControlUI*& splitter : blankedSplitters_) {
        if (splitter) splitter->SetText(L"|");
        splitter = nullptr;
    }
    tabs::BlankedSplitters beside = tabs::SplittersBeside(index, layout_->GetCount());
    if (beside.before >= 0) {
        blankedSplitters_[0] = layout_->GetItemAt(beside.before);
        blankedSplitters_[0]->SetText(L"");
    }
    if (beside.after >= 0) {
        blankedSplitters_[1] = layout_->GetItemAt(beside.after);
        blankedSplitters_[1]->SetText(L"");
    }
    if (auto* option = static_cast<COptionUI*>(item->GetInterface(DUI_CTR_OPTION))) option->Selected(true);
}

void TabStrip::SetTitle(int position, const std::wstring& title) {
    CControlUI* button = position >= 0 ? ItemAt(tabs::ButtonItem(position)) : nullptr;
    if (!button) return;
    button->SetText(tabs::TabText(title).c_str());
    button->SetToolTip(title.c_str());
}

int TabStrip::Remove(int position) {
    const int i = tabs::ButtonItem(position);
    if (!layout_ || position < 0 || i + 1 >= layout_->GetCount()) return -1;
    tabs::TabRemoval removal = tabs::RemovalFor(i, layout_->GetCount());
    CControlUI* close = layout_->GetItemAt(removal.closeButton);
    CControlUI* splitter = removal.splitter >= 0 ? layout_->GetItemAt(removal.splitter) : nullptr;
    CControlUI* button = layout_->GetItemAt(removal.button);
    for (CControlUI*& blanked : blankedSplitters_) {
        if (blanked && blanked == splitter) blanked = nullptr;
    }
    if (close) layout_->Remove(close);
    if (splitter) layout_->Remove(splitter);
    if (button) layout_->Remove(button);
    return i;
}
