// The main window's module navigation: the module buttons, the addresses behind them and the
// first tab they load into.
#include "browser/client_handler.h"
#include "login/settings.h"
#include "mainframe/main_frame_wnd.h"
#include "mainframe/module_addresses.h"
#include "mainframe/tab_logic.h"

using namespace DuiLib;

namespace {

// Module buttons in their fixed order; the index is the module number used by the address
// routing.
const wchar_t* const kModuleButtons[] = {L"btn_workplatform", L"btn_IMS",      L"btn_OA",  L"btn_CPA",
                                         L"btn_System",       L"btn_Personal", L"btn_SMIS"};
const wchar_t* const kModulePaths[] = {L"/dashboard",
                                       L"/crm/iframe",
                                       L"/oa/commercial-manager/index",
                                       L"/work/customer/index",
                                       L"/sys/employee/index?mainLoading=true",
                                       L"/user/space/index?mainLoading=true"};

}  // namespace

const std::wstring& DefaultServerBaseUrl() {
    static const std::wstring url = DefaultServerUrl();
    return url;
}

const std::wstring& ShortMessageBaseUrl() {
    static const std::wstring url = L"" QUORVANE_SMS_BASE_URL;
    return url;
}

void MainFrameWnd::FindModuleButtons() {
    moduleButtons_.clear();
    for (const wchar_t* name : kModuleButtons) moduleButtons_.push_back(Find(name));
}

void MainFrameWnd::OpenClientLogin() {
    OpenInNewTab(ClientLoginAddress(login_.serverBaseUrl, login_.userName, login_.encodedPassword));
}

void MainFrameWnd::OpenInFirstTab(const std::wstring& url) {
    SelectTab(tabs::kFirstTabButton);
    const int id = tabs_.FirstId();
    ClientHandler::Instance()->LoadUrlInBrowser(id, url);
    tabs_.SetCurrent(id);
    LayoutBrowser(id);
}

bool MainFrameWnd::OnModuleButton(CControlUI* sender) {
    CDuiString name = sender->GetName();
    for (int i = 0; i < 6; ++i) {
        if (name != kModuleButtons[i]) continue;
        // The system module always lives on the built-in server.
        const std::wstring& base = i == 4 ? DefaultServerBaseUrl() : login_.serverBaseUrl;
        OpenInFirstTab(base + kModulePaths[i]);
        HighlightModule(sender);
        return true;
    }
    if (name == L"btn_SMIS") {
        // The token goes to the short-message system once per login.
        std::wstring url = ShortMessageAddress(ShortMessageBaseUrl(), login_.loginToken);
        login_.loginToken.clear();
        OpenInNewTab(url);
        return true;
    }
    return false;
}

void MainFrameWnd::HighlightModule(CControlUI* button) {
    for (CControlUI* module : moduleButtons_) {
        if (module) module->SetEnabled(module != button);
    }
}
