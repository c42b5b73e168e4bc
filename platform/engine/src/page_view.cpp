// The page view: words laid out in lines, painted, hit-tested, scrolled, and the window
// messages of a browser window.
#include <windowsx.h>

#include <algorithm>
#include <functional>

#include "src/browser_internal.h"
#include "src/engine_internal.h"

namespace engine {

void BrowserImpl::ClearView() {
  runs_.clear();
  links_.clear();
  inputs_.clear();
  hoverLink_ = -1;
}

void BrowserImpl::Layout() {
  ClearView();
  lines_.clear();
  RECT client = {0, 0, 800, 600};
  if (hwnd_) GetClientRect(hwnd_, &client);
  int width = std::max<int>(client.right - client.left - 2 * kMargin, 80);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  auto use = [&](HFONT f) { SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT)); };
  int x = 0, y = kMargin, lineHeight = 0;
  std::wstring line;
  auto newLine = [&]() {
    lines_.push_back(line);
    line.clear();
    y += (lineHeight ? lineHeight : 16) + kLineGap;
    x = 0;
    lineHeight = 0;
  };
  auto place = [&](const std::wstring& word, int kind, int link, int input, HFONT f) {
    if (runs_.size() >= kMaxRuns) return;
    use(f);
    SIZE sz = {0, 0};
    GetTextExtentPoint32W(dc, word.c_str(), static_cast<int>(word.size()), &sz);
    if (x > 0 && x + sz.cx > width) newLine();
    Run r;
    r.rc = {kMargin + x, y, kMargin + x + sz.cx, y + sz.cy};
    r.text = word;
    r.kind = kind;
    r.link = link;
    r.input = input;
    runs_.push_back(r);
    x += sz.cx;
    lineHeight = std::max<int>(lineHeight, sz.cy);
    line += word;
  };
  // Words wrap; CJK text has no blanks, so long runs break by character.
  auto flow = [&](const std::wstring& text, int kind, int link, int input, HFONT f) {
    size_t i = 0;
    while (i < text.size() && runs_.size() < kMaxRuns) {
      size_t j = i;
      while (j < text.size() && text[j] != L' ' && text[j] < 0x2E80) ++j;
      if (j == i) ++j;
      // Closing punctuation never starts a line.
      while (j < text.size() && wcschr(L"\u3001\u3002\uFF0C\uFF1B\uFF1A\uFF01\uFF1F\uFF09\u300D\u300F\u201D.,;:!?)", text[j])) ++j;
      while (j < text.size() && text[j] == L' ') ++j;
      place(text.substr(i, j - i), kind, link, input, f);
      i = j;
    }
  };

  std::wstring title = mainFrame_->doc_.hasTitle && !mainFrame_->doc_.title.empty() ? mainFrame_->doc_.title : mainFrame_->url_;
  flow(title, kRunTitle, -1, -1, bold_);
  newLine();
  flow(mainFrame_->url_, kRunAddress, -1, -1, font_);
  newLine();
  lines_.push_back(L"");
  y += 8;

  const bool zh = ChineseUi();
  std::function<void(FrameImpl*, int)> emit = [&](FrameImpl* frame, int depth) {
    size_t inputIndex = 0;
    size_t subframe = 0;
    for (size_t i = 0; i < frame->doc_.items.size() && runs_.size() < kMaxRuns; ++i) {
      const PageItem& item = frame->doc_.items[i];
      switch (item.kind) {
        case PageItem::kText:
          flow(item.text + L" ", kRunText, -1, -1, font_);
          break;
        case PageItem::kLink:
          links_.push_back({frame, i});
          flow(item.text, kRunLink, static_cast<int>(links_.size()) - 1, -1, underline_);
          place(L" ", kRunText, -1, -1, font_);
          break;
        case PageItem::kBreak:
          if (x > 0) newLine();
          break;
        case PageItem::kFileInput: {
          inputs_.push_back({frame, i});
          int idx = static_cast<int>(inputs_.size()) - 1;
          place(zh ? L"[选择文件]" : L"[Choose File]", kRunButton, -1, idx, font_);
          std::wstring status;
          const auto& paths = inputIndex < frame->filePaths_.size() ? frame->filePaths_[inputIndex] : std::vector<std::wstring>();
          for (auto& p : paths) status += (status.empty() ? L"" : L"; ") + p;
          if (status.empty()) status = zh ? L"未选择任何文件" : L"No file chosen";
          place(L" ", kRunText, -1, -1, font_);
          flow(status + L" ", kRunStatus, -1, idx, font_);
          ++inputIndex;
          break;
        }
        case PageItem::kFrame: {
          if (x > 0) newLine();
          FrameImpl* sub = nullptr;
          if (frame->main_ && subframe < subframes_.size()) sub = subframes_[subframe].get();
          ++subframe;
          std::wstring banner = L"[frame" + (item.text.empty() ? std::wstring() : L" " + item.text) + L": " +
                                (sub ? sub->url_ : item.href) + L"]";
          flow(banner, kRunBanner, -1, -1, font_);
          newLine();
          if (sub && depth == 0) emit(sub, depth + 1);
          if (x > 0) newLine();
          break;
        }
      }
    }
  };
  emit(mainFrame_.get(), 0);
  if (x > 0 || !line.empty()) newLine();
  docHeight_ = y + kMargin;
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  int viewHeight = client.bottom - client.top;
  scrollY_ = std::max(0, std::min(scrollY_, docHeight_ - viewHeight));
}

void BrowserImpl::Paint(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, font_);
  int viewHeight = client.bottom - client.top;
  int separatorY = -1;
  for (size_t i = 0; i < runs_.size(); ++i) {
    const Run& r = runs_[i];
    if (r.kind == kRunAddress) separatorY = r.rc.bottom + 4;
    if (r.rc.bottom < scrollY_ || r.rc.top > scrollY_ + viewHeight) continue;
    HFONT f = r.kind == kRunTitle ? bold_ : r.kind == kRunLink ? underline_ : font_;
    SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT));
    COLORREF color = RGB(0x20, 0x20, 0x20);
    if (r.kind == kRunLink) color = r.link == hoverLink_ ? RGB(0xCC, 0x33, 0x00) : RGB(0x1A, 0x0D, 0xAB);
    if (r.kind == kRunAddress || r.kind == kRunBanner || r.kind == kRunStatus) color = RGB(0x60, 0x60, 0x60);
    if (r.kind == kRunButton) {
      RECT box = r.rc;
      OffsetRect(&box, 0, -scrollY_);
      InflateRect(&box, 1, 1);
      FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    }
    SetTextColor(dc, color);
    TextOutW(dc, r.rc.left, r.rc.top - scrollY_, r.text.c_str(), static_cast<int>(r.text.size()));
  }
  if (separatorY >= 0) {
    RECT line = {client.left, separatorY - scrollY_, client.right, separatorY - scrollY_ + 1};
    FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  }
  SelectObject(dc, old);
}

int BrowserImpl::HitTest(int x, int y) {
  POINT pt = {x, y + scrollY_};
  for (size_t i = 0; i < runs_.size(); ++i) {
    if ((runs_[i].kind == kRunLink || runs_[i].kind == kRunButton) && PtInRect(&runs_[i].rc, pt)) return static_cast<int>(i);
  }
  return -1;
}

void BrowserImpl::ScrollTo(int y) {
  RECT client = {0, 0, 0, 0};
  if (hwnd_) GetClientRect(hwnd_, &client);
  int maxScroll = std::max<int>(0, docHeight_ - (client.bottom - client.top));
  int next = std::max(0, std::min(y, maxScroll));
  if (next != scrollY_) {
    scrollY_ = next;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  }
}

bool BrowserImpl::HandleKey(UINT msg, WPARAM wParam, LPARAM lParam) {
  CefRefPtr<CefKeyboardHandler> kh = client_ ? client_->GetKeyboardHandler() : nullptr;
  CefKeyEvent event = {};
  event.type = msg == WM_CHAR || msg == WM_SYSCHAR ? KEYEVENT_CHAR
               : (msg == WM_KEYUP || msg == WM_SYSKEYUP) ? KEYEVENT_KEYUP
                                                         : KEYEVENT_RAWKEYDOWN;
  event.windows_key_code = static_cast<int>(wParam);
  event.native_key_code = static_cast<int>(lParam);
  event.is_system_key = msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP || msg == WM_SYSCHAR;
  if (event.type == KEYEVENT_CHAR) event.character = event.unmodified_character = static_cast<char16>(wParam);
  if (GetKeyState(VK_SHIFT) < 0) event.modifiers |= EVENTFLAG_SHIFT_DOWN;
  if (GetKeyState(VK_CONTROL) < 0) event.modifiers |= EVENTFLAG_CONTROL_DOWN;
  if (GetKeyState(VK_MENU) < 0) event.modifiers |= EVENTFLAG_ALT_DOWN;
  MSG os = {hwnd_, msg, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {0, 0}};
  bool shortcut = false;
  CefRefPtr<BrowserImpl> self(this);
  if (kh && kh->OnPreKeyEvent(this, event, &os, &shortcut)) return true;
  if (closed_) return true;
  bool handled = false;
  if (event.type == KEYEVENT_RAWKEYDOWN) {
    handled = true;
    bool alt = (event.modifiers & EVENTFLAG_ALT_DOWN) != 0;
    switch (wParam) {
      case VK_F5: Reload(); break;
      case VK_LEFT: if (alt) GoBack(); else handled = false; break;
      case VK_RIGHT: if (alt) GoForward(); else handled = false; break;
      case VK_DOWN: ScrollTo(scrollY_ + 40); break;
      case VK_UP: ScrollTo(scrollY_ - 40); break;
      case VK_NEXT: ScrollTo(scrollY_ + 400); break;
      case VK_PRIOR: ScrollTo(scrollY_ - 400); break;
      case VK_HOME: ScrollTo(0); break;
      case VK_END: ScrollTo(docHeight_); break;
      default: handled = false;
    }
  }
  if (closed_) return true;
  if (!handled && kh) handled = kh->OnKeyEvent(this, event, &os);
  return handled;
}

LRESULT BrowserImpl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  CefRefPtr<BrowserImpl> self(this);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      Layout();
      InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      ::SetFocus(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      int hit = HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      if (hit < 0) return 0;
      Run r = runs_[hit];
      if (r.kind == kRunLink && r.link >= 0) ActivateLink(links_[r.link]);
      if (r.kind == kRunButton && r.input >= 0) ActivateFileInput(inputs_[r.input]);
      return 0;
    }
    case WM_RBUTTONUP:
      ShowContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE: {
      int hit = HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      int link = hit >= 0 && runs_[hit].kind == kRunLink ? runs_[hit].link : -1;
      SetCursor(LoadCursorW(nullptr, hit >= 0 ? IDC_HAND : IDC_ARROW));
      if (link != hoverLink_) {
        hoverLink_ = link;
        InvalidateRect(hwnd_, nullptr, FALSE);
        CefRefPtr<CefDisplayHandler> dh = client_ ? client_->GetDisplayHandler() : nullptr;
        if (dh) {
          std::wstring status;
          if (link >= 0) status = links_[link].frame->doc_.items[links_[link].item].href;
          dh->OnStatusMessage(this, status);
        }
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) return TRUE;  // set in WM_MOUSEMOVE
      break;
    case WM_MOUSEWHEEL:
      ScrollTo(scrollY_ - GET_WHEEL_DELTA_WPARAM(wParam) * 60 / WHEEL_DELTA);
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      if (HandleKey(msg, wParam, lParam)) return 0;
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_CLOSE:
      // A top-level browser window's close button: ask the client like a page's close.
      RequestClose();
      return 0;
    case WM_DESTROY:
      OnWindowDestroyed();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

}  // namespace engine
