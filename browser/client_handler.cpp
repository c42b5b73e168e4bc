#include "browser/client_handler.h"

#include <shlobj.h>

#include <string>

#include "browser/address_routing.h"
#include "browser/file_filter.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "process/process_exit.h"
#include "ui/geometry.h"
#include "ui/messages.h"
#include "ui/window_styles.h"

namespace {

// "已达到最大限制" <the browser limit> "个窗口不能再打开了"
const wchar_t kPopupLimitBefore[] = L"\x5df2\x8fbe\x5230\x6700\x5927\x9650\x5236";
const wchar_t kPopupLimitAfter[] = L"\x4e2a\x7a97\x53e3\x4e0d\x80fd\x518d\x6253\x5f00\x4e86";
const wchar_t kPrompt[] = L"\x63d0\x793a";                     // 提示
const wchar_t kDownloadDone[] = L" \x4e0b\x8f7d\x5b8c\x6bd5";  // " 下载完毕"

// Created before the entry point runs and kept until the process ends.
CefRefPtr<ClientHandler> g_instance = new ClientHandler();

OpenFileDialogFunction g_openFileDialog = nullptr;

// Room for many chosen files: the folder once, then each name.
constexpr DWORD kMultipleFilesBuffer = 32768;

}  // namespace

ClientHandler* ClientHandler::Instance() { return g_instance.get(); }

OpenFileDialogFunction SetOpenFileDialogForTesting(OpenFileDialogFunction function) {
    OpenFileDialogFunction previous = g_openFileDialog;
    g_openFileDialog = function;
    return previous;
}

void SetAsBrowserChild(CefWindowInfo& info, HWND parent, const RECT& place) {
    info.style = kBrowserChildStyle;
    info.ex_style = 0;
    info.parent_window = parent;
    info.x = place.left;
    info.y = place.top;
    info.width = place.right - place.left;
    info.height = place.bottom - place.top;
}

ClientHandler::ClientHandler() = default;

void ClientHandler::OnAddressChange(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, const CefString& url) {
    CEF_REQUIRE_UI_THREAD();
    if (!serverBaseUrl_) return;  // no main window: nothing to route to
    AddressRoute route = RouteAddress(*serverBaseUrl_, url.ToWString());
    if (route.kind == AddressRoute::LoginPage) {
        PostMessageW(mainWindow_, WM_QUIT_CLIENT, 1, 1);
    } else if (route.kind == AddressRoute::Module) {
        PostMessageW(mainWindow_, WM_MODULE_ACTIVE, static_cast<WPARAM>(route.module), 0);
    }
}

void ClientHandler::OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {
    CEF_REQUIRE_UI_THREAD();
    // Sent, not posted: the text is only valid during this call.
    std::wstring text = title.ToWString();
    LPARAM previous = sendingTitle_;
    sendingTitle_ = reinterpret_cast<LPARAM>(text.c_str());
    SendMessageW(mainWindow_, WM_TAB_TITLE, static_cast<WPARAM>(browser->GetIdentifier()), sendingTitle_);
    sendingTitle_ = previous;
}

bool ClientHandler::OnBeforePopup(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, const CefString&, const CefString&,
                                  WindowOpenDisposition, bool, const CefPopupFeatures&, CefWindowInfo& windowInfo,
                                  CefRefPtr<CefClient>&, CefBrowserSettings&, bool*) {
    CEF_REQUIRE_UI_THREAD();
    if (!PopupAllowed(browsers_.size())) {
        // One box at a time: a page that keeps opening windows while the box is up (its modal
        // loop runs the engine's tasks) gets its further popups refused without another box.
        if (!limitBoxShown_) {
            limitBoxShown_ = true;
            const std::wstring text = kPopupLimitBefore + std::to_wstring(kMaxBrowsers) + kPopupLimitAfter;
            MessageBoxW(mainWindow_, text.c_str(), kPrompt, MB_OK);
            limitBoxShown_ = false;
        }
        return true;
    }
    RECT client{};
    GetClientRect(mainWindow_, &client);
    SetAsBrowserChild(windowInfo, mainWindow_, geometry::PopupRect(client));
    return false;
}

void ClientHandler::OnAfterCreated(CefRefPtr<CefBrowser> browser) {
    CEF_REQUIRE_UI_THREAD();
    browsers_.push_back(browser);
    PostMessageW(mainWindow_, WM_TAB_ADD, 0, static_cast<LPARAM>(browser->GetIdentifier()));
}

bool ClientHandler::DoClose(CefRefPtr<CefBrowser> browser) {
    CEF_REQUIRE_UI_THREAD();
    // The main window decides how the tab closes; the engine leaves the window alone.
    Sleep(700);
    PostMessageW(mainWindow_, WM_TAB_CLOSE, static_cast<WPARAM>(browser->GetIdentifier()), 0);
    return true;
}

void ClientHandler::OnBeforeClose(CefRefPtr<CefBrowser> browser) {
    CEF_REQUIRE_UI_THREAD();
    for (auto it = browsers_.begin(); it != browsers_.end(); ++it) {
        if ((*it)->IsSame(browser)) {
            browsers_.erase(it);
            break;
        }
    }
    if (browsers_.empty()) EndClientProcess(0xFFFFFFFF);
}

void ClientHandler::OnBeforeContextMenu(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, CefRefPtr<CefContextMenuParams>,
                                        CefRefPtr<CefMenuModel> model) {
    CEF_REQUIRE_UI_THREAD();
    if (model->GetCount() > 0) model->Clear();
}

void ClientHandler::OnBeforeDownload(CefRefPtr<CefBrowser>, CefRefPtr<CefDownloadItem>, const CefString& suggested_name,
                                     CefRefPtr<CefBeforeDownloadCallback> callback) {
    CEF_REQUIRE_UI_THREAD();
    wchar_t documents[800] = {};
    if (!SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, FALSE)) documents[0] = L'\0';
    callback->Continue(DownloadTarget(documents, suggested_name.ToWString()), true);
}

void ClientHandler::OnDownloadUpdated(CefRefPtr<CefBrowser>, CefRefPtr<CefDownloadItem> download_item,
                                      CefRefPtr<CefDownloadItemCallback>) {
    CEF_REQUIRE_UI_THREAD();
    if (download_item->IsComplete() && !download_item->IsCanceled()) {
        std::wstring text = download_item->GetFullPath().ToWString() + kDownloadDone;
        MessageBoxW(mainWindow_, text.c_str(), kPrompt, MB_OK);
    }
}

bool ClientHandler::OnFileDialog(CefRefPtr<CefBrowser>, FileDialogMode mode, const CefString& title, const CefString&,
                                 const std::vector<CefString>& accept_filters, int,
                                 CefRefPtr<CefFileDialogCallback> callback) {
    CEF_REQUIRE_UI_THREAD();
    if (!HandlesFileDialogMode(static_cast<int>(mode))) return false;
    std::vector<std::wstring> filters;
    for (const CefString& filter : accept_filters) filters.push_back(filter.ToWString());
    std::wstring filterText = BuildOpenFileFilter(filters);

    const bool multiple = IsMultipleFileMode(static_cast<int>(mode));
    std::vector<wchar_t> file(multiple ? kMultipleFilesBuffer : 260, L'\0');
    std::wstring dialogTitle = title.ToWString();
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = mainWindow_;
    ofn.lpstrFilter = filterText.c_str();
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = dialogTitle.empty() ? nullptr : dialogTitle.c_str();
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    // Several files come back as the folder followed by the names, which needs the Explorer style.
    if (multiple) ofn.Flags |= OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    BOOL chosen = g_openFileDialog ? g_openFileDialog(&ofn) : GetOpenFileNameW(&ofn);
    if (chosen) {
        std::vector<CefString> paths;
        for (const std::wstring& path : ChosenFiles(file.data(), file.size())) paths.push_back(CefString(path));
        if (!paths.empty()) callback->Continue(0, paths);
    }
    return true;
}

CefRefPtr<CefBrowser> ClientHandler::GetBrowserById(int id) {
    for (auto& browser : browsers_) {
        if (browser->GetIdentifier() == id) return browser;
    }
    return nullptr;
}

CefRefPtr<CefBrowser> ClientHandler::GetFirstBrowser() { return browsers_.empty() ? nullptr : browsers_.front(); }

void ClientHandler::LoadUrlInBrowser(int id, const CefString& url) {
    for (auto& browser : browsers_) {
        if (browser->GetIdentifier() == id) browser->GetMainFrame()->LoadURL(url);
    }
}

CefRefPtr<CefBrowser> ClientHandler::ShowOnlyBrowser(int id) {
    CefRefPtr<CefBrowser> shown;
    for (auto& browser : browsers_) {
        bool match = browser->GetIdentifier() == id;
        ::ShowWindow(browser->GetHost()->GetWindowHandle(), match ? SW_SHOW : SW_HIDE);
        if (match && !shown) shown = browser;
    }
    return shown;
}

void ClientHandler::CloseBrowserById(int id) {
    if (!CefCurrentlyOn(TID_UI)) {
        MessageBoxW(nullptr, L"Can not in TID_UI", nullptr, MB_OK);
        return;
    }
    CefRefPtr<CefBrowser> browser = GetBrowserById(id);
    if (browser && browsers_.size() > 1) DestroyWindow(browser->GetHost()->GetWindowHandle());
}

void ClientHandler::CloseAllAndExit() {
    // Ends the process also with no browser left (before the first one arrives, after a failed
    // first one): the caller has already given up the tray icon and possibly the single-instance
    // name, so this process must not stay behind.
    if (CefCurrentlyOn(TID_UI)) browsers_.clear();
    EndClientProcess(0xFFFFFFFF);
}
