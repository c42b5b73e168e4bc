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

}  // namespace engine
