// What tests may ask of a browser: its text and links as shown, and clicks as a user makes them.
#include "include/test/cef_test_hooks.h"
#include "src/browser_internal.h"

namespace engine {

std::wstring BrowserImpl::PageText() {
  std::wstring out;
  for (auto& l : lines_) out += l + L"\n";
  return out;
}

std::vector<std::wstring> BrowserImpl::LinkTexts() {
  std::vector<std::wstring> out;
  for (auto& ref : links_) out.push_back(ref.frame->doc_.items[ref.item].text);
  return out;
}

std::vector<std::wstring> BrowserImpl::FileInputPaths(int index) {
  if (index < 0 || index >= static_cast<int>(inputs_.size())) return {};
  const LinkRef& ref = inputs_[index];
  size_t input = 0;
  for (size_t i = 0; i < ref.item; ++i) input += ref.frame->doc_.items[i].kind == PageItem::kFileInput;
  return input < ref.frame->filePaths_.size() ? ref.frame->filePaths_[input] : std::vector<std::wstring>();
}

bool BrowserImpl::ClickRun(int kind, int index, bool right) {
  if (!hwnd_ || closed_) return false;
  for (const Run& r : runs_) {
    if (r.kind != kind || (kind == kRunLink ? r.link : r.input) != index) continue;
    RECT client;
    GetClientRect(hwnd_, &client);
    if (r.rc.top < scrollY_ || r.rc.bottom > scrollY_ + (client.bottom - client.top)) ScrollTo(r.rc.top - kMargin);
    int x = (r.rc.left + r.rc.right) / 2;
    int y = (r.rc.top + r.rc.bottom) / 2 - scrollY_;
    LPARAM pos = MAKELPARAM(x, y);
    SendMessageW(hwnd_, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, pos);
    if (hwnd_) SendMessageW(hwnd_, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, pos);
    return true;
  }
  return false;
}

}  // namespace engine

using engine::BrowserImpl;

namespace cef_test {

namespace {
BrowserImpl* Impl(CefRefPtr<CefBrowser> browser) {
  if (!browser) return nullptr;
  return BrowserImpl::FromId(browser->GetIdentifier()).get();
}
}  // namespace

std::wstring GetPageText(CefRefPtr<CefBrowser> browser) {
  BrowserImpl* b = Impl(browser);
  return b ? b->PageText() : std::wstring();
}

std::vector<std::wstring> GetLinks(CefRefPtr<CefBrowser> browser) {
  BrowserImpl* b = Impl(browser);
  return b ? b->LinkTexts() : std::vector<std::wstring>();
}

bool ClickLink(CefRefPtr<CefBrowser> browser, int index) {
  BrowserImpl* b = Impl(browser);
  return b && b->ClickRun(engine::kRunLink, index, false);
}

bool ClickLinkByText(CefRefPtr<CefBrowser> browser, const std::wstring& text) {
  std::vector<std::wstring> links = GetLinks(browser);
  for (size_t i = 0; i < links.size(); ++i) {
    if (links[i] == text) return ClickLink(browser, static_cast<int>(i));
  }
  return false;
}

bool ClickFileInput(CefRefPtr<CefBrowser> browser, int index) {
  BrowserImpl* b = Impl(browser);
  return b && b->ClickRun(engine::kRunButton, index, false);
}

std::vector<std::wstring> GetFileInputPaths(CefRefPtr<CefBrowser> browser, int index) {
  BrowserImpl* b = Impl(browser);
  return b ? b->FileInputPaths(index) : std::vector<std::wstring>();
}

bool RightClick(CefRefPtr<CefBrowser> browser, int x, int y) {
  BrowserImpl* b = Impl(browser);
  if (!b || !b->hwnd_) return false;
  LPARAM pos = MAKELPARAM(x, y);
  SendMessageW(b->hwnd_, WM_RBUTTONDOWN, MK_RBUTTON, pos);
  if (b->hwnd_) SendMessageW(b->hwnd_, WM_RBUTTONUP, 0, pos);
  return true;
}

std::vector<ExecutedScript> GetExecutedScripts(CefRefPtr<CefFrame> frame) {
  std::vector<ExecutedScript> out;
  auto* f = static_cast<engine::FrameImpl*>(frame.get());
  if (!f) return out;
  for (auto& s : f->scripts_) out.push_back({s.code, s.url, s.line});
  return out;
}

}  // namespace cef_test
