// What the browser's implementation files share: navigation and view kinds, the page view's
// limits and the registry of live browsers. Not part of the engine's interface.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "src/browser_impl.h"
#include "src/text.h"

namespace engine {

enum NavKind { kNewEntry = 0, kHistory = 1, kReload = 2, kSubframe = 3 };
enum RunKind { kRunText = 0, kRunLink, kRunButton, kRunTitle, kRunAddress, kRunStatus, kRunBanner };

constexpr int kMargin = 8;
// The page view shows at most this many words; a huge reply must not stall the UI thread.
constexpr size_t kMaxRuns = 20000;
// Frames a document may open; a page with thousands of them gets the first ones only, so
// that neither requests nor threads pile up.
constexpr size_t kMaxFramesPerDocument = 64;
constexpr int kLineGap = 4;

// Live browsers by identifier (UI thread only); holds a reference until OnBeforeClose.
std::map<int, CefRefPtr<BrowserImpl>>& Registry();
// Identifiers of new frames, unique in the process (UI thread only).
int64 NextFrameId();

// The callback a file dialog answers; it applies the choice to the input only if the page is
// still the one the dialog was opened for.
CefRefPtr<CefFileDialogCallback> NewFileDialogCallback(int browserId, int64 frameId, int generation, size_t input);

// The engine's own open or save dialog.
struct FileDialogSetup {
  bool save = false;
  bool multiple = false;  // open only
  HWND owner = nullptr;
  // Label and patterns ("*.png;*.jpg") of each filter; "All files" always follows them.
  std::vector<std::pair<std::wstring, std::wstring>> filters;
  std::wstring path;        // proposed file (save)
  std::wstring defaultExt;  // added to a name typed without one (save)
};
// Runs the system dialog (or the one tests put in its place): the chosen paths, none when the
// user cancels.
std::vector<std::wstring> RunFileDialog(const FileDialogSetup& setup);

}  // namespace engine
