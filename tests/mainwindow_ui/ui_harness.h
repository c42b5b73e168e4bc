// Shared by the main-window tests and the memory probe: a page site on loopback, the engine
// set up once with the client's application object, and a real main window signed in to the
// site.
#pragma once
#include "fixtures/raw_http_server.h"  // winsock before windows.h

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "mainframe/main_frame_wnd.h"

namespace ui_harness {

constexpr unsigned kWait = 15000;

// Canned pages by path (query ignored); every request is recorded by the server.
class Site {
public:
    Site();
    void Page(const std::string& path, const std::string& title, const std::string& body);
    void Redirect(const std::string& path, const std::string& location);
    // A file offered for download under the Content-Disposition value given.
    void Attachment(const std::string& path, const std::string& disposition, const std::string& body);
    std::string Url(const std::string& path) const { return server_.Url(path); }
    std::wstring WUrl(const std::string& path) const;
    // Requests whose target (path and query) starts with |prefix|.
    int Count(const std::string& prefix) const;

private:
    void Respond(SOCKET s, const testing_fixtures::RecordedRequest& request);
    std::mutex mutex_;
    std::map<std::string, std::string> routes_;
    testing_fixtures::RawHttpServer server_;
};

// The site the tests use: sign-in redirect, module pages, popups, a frame, titled pages.
void FillDemoSite(Site& site);

// Skin resource path, engine initialised with ClientApp and a fresh temporary cache.
void StartEngine();
void StopEngine();

struct Login {
    int userType = 1;
    std::string token = "tok123";
};

// Creates, shows and waits for the main window with its first tab signed in to |site|.
// Returns nullptr when the first tab did not appear.
MainFrameWnd* OpenMainWindow(const Site& site, const Login& login = Login());
// Destroys the main window (its browsers go with it) and drops the quit message it posts.
void CloseMainWindow(MainFrameWnd*& frame);

// Opens a browser through the main window and waits until its tab is there and idle.
int OpenTab(MainFrameWnd* frame, const std::wstring& url);

}  // namespace ui_harness
