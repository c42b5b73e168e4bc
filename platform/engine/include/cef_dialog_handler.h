#pragma once
#include <vector>

#include "include/cef_browser.h"

class CefFileDialogCallback : public virtual CefBaseRefCounted {
 public:
  // The page receives |file_paths|. Releasing the callback without Continue gives it nothing.
  virtual void Continue(int selected_accept_filter, const std::vector<CefString>& file_paths) = 0;
  virtual void Cancel() = 0;
};

class CefDialogHandler : public virtual CefBaseRefCounted {
 public:
  typedef cef_file_dialog_mode_t FileDialogMode;

  // A page's <input type="file">: |mode| is FILE_DIALOG_OPEN (or FILE_DIALOG_OPEN_MULTIPLE for
  // an input with "multiple") together with FILE_DIALOG_OVERWRITEPROMPT_FLAG and
  // FILE_DIALOG_HIDEREADONLY_FLAG; |accept_filters| are the input's accept entries in order.
  // Return true when the client handles the dialog (and the callback); false shows the
  // engine's own open dialog.
  virtual bool OnFileDialog(CefRefPtr<CefBrowser> browser, FileDialogMode mode, const CefString& title,
                            const CefString& default_file_path, const std::vector<CefString>& accept_filters,
                            int selected_accept_filter, CefRefPtr<CefFileDialogCallback> callback) {
    return false;
  }
};
