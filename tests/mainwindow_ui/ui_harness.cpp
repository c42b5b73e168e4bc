#include "mainwindow_ui/ui_harness.h"

#include "browser/client_app.h"
#include "browser/client_handler.h"
#include "include/cef_app.h"
#include "include/test/cef_test_hooks.h"
#include "ui/messages.h"
#include "ui/skin.h"

using testing_fixtures::RawHttpServer;
using testing_fixtures::RecordedRequest;

namespace ui_harness {

namespace {

std::string Response(int status, const std::string& headers, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::string TargetOf(const RecordedRequest& r) {
    std::string line = r.RequestLine();
    size_t a = line.find(' ');
    size_t b = line.find(' ', a + 1);
    return a == std::string::npos || b == std::string::npos ? "" : line.substr(a + 1, b - a - 1);
}

std::wstring TempCache() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + L"mainwindow_ui_cache_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

CefRefPtr<ClientApp> g_app;
std::wstring g_cache;

}  // namespace

Site::Site() {
    server_.SetResponder([this](SOCKET s, const RecordedRequest& r) { Respond(s, r); });
}

void Site::Page(const std::string& path, const std::string& title, const std::string& body) {
    std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body>" +
                       body + "</body></html>";
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = Response(200, "Content-Type: text/html; charset=utf-8\r\n", html);
}

void Site::Redirect(const std::string& path, const std::string& location) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = Response(302, "Location: " + location + "\r\n", "");
}

void Site::Attachment(const std::string& path, const std::string& disposition, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] =
        Response(200, "Content-Type: application/octet-stream\r\nContent-Disposition: " + disposition + "\r\n", body);
}

std::wstring Site::WUrl(const std::string& path) const { return CefString(Url(path)).ToWString(); }

int Site::Count(const std::string& prefix) const {
    int n = 0;
    for (const RecordedRequest& r : server_.Requests()) {
        if (TargetOf(r).compare(0, prefix.size(), prefix) == 0) ++n;
    }
    return n;
}

void Site::Respond(SOCKET s, const RecordedRequest& request) {
    std::string target = TargetOf(request);
    std::string path = target.substr(0, target.find('?'));
    std::string raw;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = routes_.find(path);
        raw =
            it != routes_.end() ? it->second : Response(404, "Content-Type: text/html\r\n", "<title>Not found</title>");
    }
    RawHttpServer::SendAll(s, raw);
}

void FillDemoSite(Site& site) {
    const std::string popupLinks =
        "<p><a href=\"/popup\" target=\"_blank\">popup</a></p>"
        "<p><a href=\"javascript:window.close()\">close</a></p>";
    site.Page("/", "start", "<p>start page</p>");
    site.Redirect("/clientlogin", "/dashboard");
    site.Page("/dashboard", "dashboard",
              popupLinks +
                  "<p><a href=\"javascript:user_exit()\">exit</a></p><iframe name=\"inner\" src=\"/frame\"></iframe>");
    site.Page("/frame", "frame", "<p><a href=\"javascript:user_exit(1, 'x')\">inner exit</a></p>");
    site.Page("/popup", "popup", popupLinks);
    site.Page("/crm/iframe", "crm", "<p>crm</p>");
    site.Page("/oa/commercial-manager/index", "oa", "<p>oa</p>");
    site.Page("/work/customer/index", "cpa", "<p>cpa</p>");
    site.Page("/sys/employee/index", "sys", "<p>sys</p>");
    site.Page("/user/space/index", "space", "<p>space</p>");
    site.Page("/login", "login", "<p>login again</p>");
    // Titles of 8 and of 9 characters.
    site.Page("/t8", "\xe5\x85\xab\xe4\xb8\xaa\xe5\xad\x97\xe7\x9a\x84\xe6\xa0\x87\xe9\xa2\x98\xe6\x96\x87\xe6\x9c\xac",
              "<p>8</p>");
    site.Page(
        "/t9",
        "\xe4\xb9\x9d\xe4\xb8\xaa\xe5\xad\x97\xe7\x9a\x84\xe6\xa0\x87\xe9\xa2\x98\xe6\x96\x87\xe6\x9c\xac\xe5\x91\x80",
        "<p>9</p>");
    site.Page("/plain", "plain", "<p>plain</p>");
}

void StartEngine() {
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath() + L"res\\res");
    std::wstring cache = g_cache = TempCache();
    DeleteFileW((cache + L"\\Cookies").c_str());
    g_app = new ClientApp();
    CefSettings settings;
    settings.size = sizeof(cef_settings_t);
    settings.no_sandbox = 0;
    CefString(&settings.locale) = L"zh-CN";
    CefString(&settings.cache_path) = cache;
    settings.persist_session_cookies = 1;
    CefInitialize(CefMainArgs(GetModuleHandleW(nullptr)), settings, g_app.get(), nullptr);
}

void StopEngine() {
    CefShutdown();
    g_app = nullptr;
    DeleteFileW((g_cache + L"\\Cookies").c_str());
    RemoveDirectoryW(g_cache.c_str());
}

MainFrameWnd* OpenMainWindow(const Site& site, const Login& login) {
    auto* frame = new MainFrameWnd();
    frame->GetExeDir(GetModuleHandleW(nullptr));
    frame->login().serverBaseUrl = site.WUrl("");
    frame->login().userName = L"demo";
    frame->login().encodedPassword = L"ZKGVtbzEyMw==";
    frame->login().loginToken = login.token;
    frame->login().userType = login.userType;
    frame->login().loggedIn = 1;
    frame->Create(nullptr, kClientTitle, 0x16CF0000, WS_EX_ACCEPTFILES, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, nullptr);
    frame->CenterWindow();
    ShowWindow(frame->GetHWND(), SW_SHOW);
    bool ready = cef_test::PumpUntil(
        [&] {
            return ClientHandler::Instance()->BrowserCount() == 1 && frame->TabLayout() &&
                   frame->TabLayout()->GetCount() == 6 && frame->currentTab() > 0;
        },
        kWait);
    cef_test::WaitForIdle(kWait);
    if (!ready) CloseMainWindow(frame);
    return frame;
}

void CloseMainWindow(MainFrameWnd*& frame) {
    if (!frame) return;
    HWND window = frame->GetHWND();
    if (IsWindow(window)) DestroyWindow(window);  // the object deletes itself
    frame = nullptr;
    cef_test::WaitForIdle(kWait);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

int OpenTab(MainFrameWnd* frame, const std::wstring& url) {
    int before = frame->TabLayout()->GetCount();
    frame->OpenInNewTab(url);
    cef_test::PumpUntil([&] { return frame->TabLayout()->GetCount() > before; }, kWait);
    cef_test::WaitForIdle(kWait);
    return frame->currentTab();
}

}  // namespace ui_harness
