// Testing surface of this engine (our own addition; not part of the engine's regular
// interface). Tests and the client's tests use it to act as a user would, through the same
// code paths as mouse input, and to read what the page view shows. UI thread only.
#pragma once
// commdlg.h needs windows.h before it.
#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <string>
#include <vector>

#include "include/cef_browser.h"

namespace cef_test {

// Pumps the UI thread's messages until |done| returns true or |timeout_ms| passes.
// Returns the last result of |done|.
bool PumpUntil(const std::function<bool()>& done, unsigned timeout_ms);
// Pumps until no navigation, download transfer or engine task is pending.
bool WaitForIdle(unsigned timeout_ms);

// The page view's text as painted: title line, address line, then the body (links, file
// inputs and frames included), one line per visual line.
std::wstring GetPageText(CefRefPtr<CefBrowser> browser);
// Link texts in document order (frames after the main frame's own links).
std::vector<std::wstring> GetLinks(CefRefPtr<CefBrowser> browser);

// Left click on the n-th link (0-based, order of GetLinks) or on the first link whose text
// equals |text|: scrolls it into view and sends the mouse messages to the browser window.
bool ClickLink(CefRefPtr<CefBrowser> browser, int index);
bool ClickLinkByText(CefRefPtr<CefBrowser> browser, const std::wstring& text);
// Left click on the n-th <input type="file"> of the page view.
bool ClickFileInput(CefRefPtr<CefBrowser> browser, int index);
// Paths the n-th file input holds.
std::vector<std::wstring> GetFileInputPaths(CefRefPtr<CefBrowser> browser, int index);
// Right click at a point of the browser window's client area (0,0 = a point on the page).
bool RightClick(CefRefPtr<CefBrowser> browser, int x, int y);

struct ExecutedScript {
  std::wstring code;
  std::wstring url;
  int line;
};
// Scripts given to CefFrame::ExecuteJavaScript on this frame since the engine started.
std::vector<ExecutedScript> GetExecutedScripts(CefRefPtr<CefFrame> frame);

// Replacements for the modal system UI the engine shows; pass nullptr to restore the real
// one (GetSaveFileNameW, GetOpenFileNameW, TrackPopupMenu). The engine fills the structure
// exactly as for the real call.
using FileDialogFunction = std::function<BOOL(OPENFILENAMEW*)>;
void SetSaveFileDialog(FileDialogFunction function);
void SetOpenFileDialog(FileDialogFunction function);
// Returns the chosen command id, or 0 for none.
using ContextMenuFunction = std::function<int(HMENU menu, HWND owner, POINT screen)>;
void SetContextMenuRunner(ContextMenuFunction function);
// Context menus actually shown (the model still had items) since the engine started.
int ContextMenusShown();

}  // namespace cef_test
