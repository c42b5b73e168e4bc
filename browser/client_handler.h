// The one engine client of the process: every browser reports its events here (each callback on
// the UI thread, checked on entry), and the main window finds, shows, loads into and closes
// browsers through it.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <list>
#include <string>

#include "include/cef_client.h"

class ClientHandler : public CefClient,
                      public CefDisplayHandler,
                      public CefLifeSpanHandler,
                      public CefLoadHandler,
                      public CefContextMenuHandler,
                      public CefDownloadHandler,
                      public CefKeyboardHandler,
                      public CefDialogHandler {
public:
    // The process-wide object, created during static initialisation.
    static ClientHandler* Instance();

    ClientHandler();

    // CefClient methods:
    CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
    CefRefPtr<CefDialogHandler> GetDialogHandler() override { return this; }
    CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
    CefRefPtr<CefDownloadHandler> GetDownloadHandler() override { return this; }
    CefRefPtr<CefKeyboardHandler> GetKeyboardHandler() override { return this; }
    CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
    CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }

    // CefDisplayHandler methods:
    void OnAddressChange(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, const CefString& url) override;
    void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) override;

    // CefLifeSpanHandler methods:
    bool OnBeforePopup(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, const CefString& target_url,
                       const CefString& target_frame_name, WindowOpenDisposition target_disposition, bool user_gesture,
                       const CefPopupFeatures& popupFeatures, CefWindowInfo& windowInfo, CefRefPtr<CefClient>& client,
                       CefBrowserSettings& settings, bool* no_javascript_access) override;
    void OnAfterCreated(CefRefPtr<CefBrowser> browser) override;
    bool DoClose(CefRefPtr<CefBrowser> browser) override;
    void OnBeforeClose(CefRefPtr<CefBrowser> browser) override;

    // CefContextMenuHandler methods:
    void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                             CefRefPtr<CefContextMenuParams> params, CefRefPtr<CefMenuModel> model) override;

    // CefDownloadHandler methods:
    void OnBeforeDownload(CefRefPtr<CefBrowser> browser, CefRefPtr<CefDownloadItem> download_item,
                          const CefString& suggested_name, CefRefPtr<CefBeforeDownloadCallback> callback) override;
    void OnDownloadUpdated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefDownloadItem> download_item,
                           CefRefPtr<CefDownloadItemCallback> callback) override;

    // CefDialogHandler methods:
    bool OnFileDialog(CefRefPtr<CefBrowser> browser, FileDialogMode mode, const CefString& title,
                      const CefString& default_file_path, const std::vector<CefString>& accept_filters,
                      int selected_accept_filter, CefRefPtr<CefFileDialogCallback> callback) override;

    // Operations for the main window (UI thread):
    // The window all messages go to, and the server address that page addresses are routed by.
    // The address stays the main window's (its login fields hold it); the handler keeps no copy
    // and reads it at each address change, until the window forgets it.
    void SetMainWindow(HWND window, const std::wstring* serverBaseUrl) {
        mainWindow_ = window;
        serverBaseUrl_ = serverBaseUrl;
    }
    void ForgetServerAddress(const std::wstring* serverBaseUrl) {
        if (serverBaseUrl_ == serverBaseUrl) serverBaseUrl_ = nullptr;
    }
    HWND GetMainWindow() const { return mainWindow_; }
    CefRefPtr<CefBrowser> GetBrowserById(int id);
    CefRefPtr<CefBrowser> GetFirstBrowser();
    void LoadUrlInBrowser(int id, const CefString& url);
    CefRefPtr<CefBrowser> ShowOnlyBrowser(int id);
    void CloseBrowserById(int id);
    // Releases every browser and ends the process with -1, always.
    void CloseAllAndExit();
    size_t BrowserCount() const { return browsers_.size(); }
    // True only for the title text this handler is sending right now with WM_TAB_TITLE; the
    // message number is open to every process, its pointer is not.
    bool IsTitleBeingSent(LPARAM text) const { return text != 0 && text == sendingTitle_; }

private:
    HWND mainWindow_ = nullptr;
    LPARAM sendingTitle_ = 0;
    bool limitBoxShown_ = false;                   // the popup-limit box is on the screen
    const std::wstring* serverBaseUrl_ = nullptr;  // see SetMainWindow
    // Every live browser in creation order; the first is the first tab's. Touched only on the
    // UI thread, and it alone decides that the process ends when the last browser closes.
    std::list<CefRefPtr<CefBrowser>> browsers_;

    IMPLEMENT_REFCOUNTING(ClientHandler);
};

// The open-file dialog the client shows (GetOpenFileNameW). Tests put their own in its place
// (nullptr restores the real one); returns the previous one.
using OpenFileDialogFunction = BOOL (*)(OPENFILENAMEW* ofn);
OpenFileDialogFunction SetOpenFileDialogForTesting(OpenFileDialogFunction function);

// Window information of every browser of the client: a visible child of the main window with
// tab stop, clipping its siblings and children, at `place`.
void SetAsBrowserChild(CefWindowInfo& info, HWND parent, const RECT& place);
