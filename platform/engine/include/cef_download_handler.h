#pragma once
#include "include/cef_browser.h"
#include "include/cef_download_item.h"

class CefBeforeDownloadCallback : public virtual CefBaseRefCounted {
 public:
  // |download_path| is the full target path (empty: the user's downloads folder and the
  // suggested name). show_dialog true shows the standard save dialog at that path first.
  // Releasing the callback without calling Continue cancels the download.
  virtual void Continue(const CefString& download_path, bool show_dialog) = 0;
};

class CefDownloadItemCallback : public virtual CefBaseRefCounted {
 public:
  virtual void Cancel() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
};

class CefDownloadHandler : public virtual CefBaseRefCounted {
 public:
  // A response with "Content-Disposition: attachment" (or a non-displayable type), a link with
  // a download attribute, or CefBrowserHost::StartDownload. Without a download handler the
  // download is cancelled.
  virtual void OnBeforeDownload(CefRefPtr<CefBrowser> browser, CefRefPtr<CefDownloadItem> download_item,
                                const CefString& suggested_name, CefRefPtr<CefBeforeDownloadCallback> callback) = 0;
  // Progress, completion (GetFullPath is the written file) or cancellation.
  virtual void OnDownloadUpdated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefDownloadItem> download_item,
                                 CefRefPtr<CefDownloadItemCallback> callback) {}
};
