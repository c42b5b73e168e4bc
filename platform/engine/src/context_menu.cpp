// The page's context menu: the model the client may change, then the system popup menu.
#include "src/browser_internal.h"
#include "src/engine_internal.h"
#include "src/url.h"

namespace engine {
namespace {

class MenuModelImpl : public CefMenuModel {
 public:
  struct Item {
    int id;
    std::wstring label;
    MenuItemType type;
    bool visible = true;
    bool enabled = true;
  };
  std::vector<Item> items_;

  bool IsSubMenu() override { return false; }
  bool Clear() override {
    items_.clear();
    return true;
  }
  int GetCount() override { return static_cast<int>(items_.size()); }
  bool AddSeparator() override { return InsertSeparatorAt(GetCount()); }
  bool AddItem(int command_id, const CefString& label) override { return InsertItemAt(GetCount(), command_id, label); }
  bool InsertSeparatorAt(int index) override {
    if (index < 0 || index > GetCount()) return false;
    items_.insert(items_.begin() + index, Item{-1, L"", MENUITEMTYPE_SEPARATOR});
    return true;
  }
  bool InsertItemAt(int index, int command_id, const CefString& label) override {
    if (index < 0 || index > GetCount()) return false;
    items_.insert(items_.begin() + index, Item{command_id, label.ToWString(), MENUITEMTYPE_COMMAND});
    return true;
  }
  bool Remove(int command_id) override { return RemoveAt(GetIndexOf(command_id)); }
  bool RemoveAt(int index) override {
    if (index < 0 || index >= GetCount()) return false;
    items_.erase(items_.begin() + index);
    return true;
  }
  int GetIndexOf(int command_id) override {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].id == command_id && items_[i].type != MENUITEMTYPE_SEPARATOR) return static_cast<int>(i);
    }
    return -1;
  }
  int GetCommandIdAt(int index) override { return Valid(index) ? items_[index].id : -1; }
  CefString GetLabel(int command_id) override { return GetLabelAt(GetIndexOf(command_id)); }
  CefString GetLabelAt(int index) override { return Valid(index) ? items_[index].label : std::wstring(); }
  bool SetLabel(int command_id, const CefString& label) override {
    int i = GetIndexOf(command_id);
    if (i < 0) return false;
    items_[i].label = label.ToWString();
    return true;
  }
  MenuItemType GetType(int command_id) override { return GetTypeAt(GetIndexOf(command_id)); }
  MenuItemType GetTypeAt(int index) override { return Valid(index) ? items_[index].type : MENUITEMTYPE_NONE; }
  bool IsVisible(int command_id) override {
    int i = GetIndexOf(command_id);
    return i >= 0 && items_[i].visible;
  }
  bool SetVisible(int command_id, bool visible) override {
    int i = GetIndexOf(command_id);
    if (i < 0) return false;
    items_[i].visible = visible;
    return true;
  }
  bool IsEnabled(int command_id) override {
    int i = GetIndexOf(command_id);
    return i >= 0 && items_[i].enabled;
  }
  bool SetEnabled(int command_id, bool enabled) override {
    int i = GetIndexOf(command_id);
    if (i < 0) return false;
    items_[i].enabled = enabled;
    return true;
  }

 private:
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(items_.size()); }
  IMPLEMENT_REFCOUNTING(MenuModelImpl);
};

class ContextMenuParamsImpl : public CefContextMenuParams {
 public:
  int x = 0, y = 0;
  int flags = CM_TYPEFLAG_PAGE;
  std::wstring linkUrl, pageUrl, frameUrl;

  int GetXCoord() override { return x; }
  int GetYCoord() override { return y; }
  TypeFlags GetTypeFlags() override { return static_cast<TypeFlags>(flags); }
  CefString GetLinkUrl() override { return linkUrl; }
  CefString GetUnfilteredLinkUrl() override { return linkUrl; }
  CefString GetSourceUrl() override { return CefString(); }
  bool HasImageContents() override { return false; }
  CefString GetTitleText() override { return CefString(); }
  CefString GetPageUrl() override { return pageUrl; }
  CefString GetFrameUrl() override { return frameUrl; }
  CefString GetFrameCharset() override { return CefString(L"UTF-8"); }
  MediaType GetMediaType() override { return CM_MEDIATYPE_NONE; }
  CefString GetSelectionText() override { return CefString(); }
  bool IsEditable() override { return false; }
  IMPLEMENT_REFCOUNTING(ContextMenuParamsImpl);
};

}  // namespace

void BrowserImpl::ShowContextMenu(int x, int y) {
  if (closed_) return;
  CefRefPtr<BrowserImpl> self(this);
  int hit = HitTest(x, y);
  CefRefPtr<ContextMenuParamsImpl> params = new ContextMenuParamsImpl();
  params->x = x;
  params->y = y;
  params->pageUrl = mainFrame_->url_;
  params->frameUrl = mainFrame_->url_;
  CefRefPtr<FrameImpl> frame = mainFrame_;
  if (hit >= 0 && runs_[hit].kind == kRunLink) {
    const LinkRef& ref = links_[runs_[hit].link];
    frame = ref.frame;
    params->flags |= CM_TYPEFLAG_LINK;
    std::wstring base = frame->doc_.baseHref.empty() ? frame->url_ : ResolveUrl(frame->url_, frame->doc_.baseHref);
    params->linkUrl = ResolveUrl(base, frame->doc_.items[ref.item].href);
    params->frameUrl = frame->url_;
    if (!frame->main_) params->flags |= CM_TYPEFLAG_FRAME;
  }
  bool zh = ChineseUi();
  CefRefPtr<MenuModelImpl> model = new MenuModelImpl();
  model->AddItem(MENU_ID_BACK, zh ? L"返回" : L"Back");
  model->SetEnabled(MENU_ID_BACK, CanGoBack());
  model->AddItem(MENU_ID_FORWARD, zh ? L"前进" : L"Forward");
  model->SetEnabled(MENU_ID_FORWARD, CanGoForward());
  model->AddItem(MENU_ID_RELOAD, zh ? L"重新加载" : L"Reload");
  model->AddSeparator();
  model->AddItem(MENU_ID_PRINT, zh ? L"打印..." : L"Print...");
  model->AddItem(MENU_ID_VIEW_SOURCE, zh ? L"查看网页源代码" : L"View page source");
  CefRefPtr<CefContextMenuHandler> handler = client_ ? client_->GetContextMenuHandler() : nullptr;
  if (handler) handler->OnBeforeContextMenu(this, frame.get(), params.get(), model.get());
  if (closed_) return;
  bool anyVisible = false;
  for (auto& item : model->items_) anyVisible |= item.visible && item.type != MENUITEMTYPE_SEPARATOR;
  if (model->GetCount() == 0 || !anyVisible) return;

  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (auto& item : model->items_) {
    if (!item.visible) continue;
    if (item.type == MENUITEMTYPE_SEPARATOR) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING | (item.enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(item.id), item.label.c_str());
    }
  }
  POINT pt = {x, y};
  if (hwnd_) ClientToScreen(hwnd_, &pt);
  CountContextMenuShown();
  int command = RunContextMenu(menu, hwnd_, pt);
  DestroyMenu(menu);
  if (closed_) return;
  if (command > 0 && model->IsEnabled(command)) {
    bool handled = handler && handler->OnContextMenuCommand(this, frame.get(), params.get(), command, EVENTFLAG_NONE);
    if (!handled && !closed_) {
      if (command == MENU_ID_BACK) GoBack();
      if (command == MENU_ID_FORWARD) GoForward();
      if (command == MENU_ID_RELOAD || command == MENU_ID_RELOAD_NOCACHE) Reload();
      if (command == MENU_ID_STOPLOAD) StopLoad();
    }
  }
  if (handler && !closed_) handler->OnContextMenuDismissed(this, frame.get());
}

}  // namespace engine
