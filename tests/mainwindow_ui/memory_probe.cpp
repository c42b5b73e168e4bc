// Prints the private memory of the client code with its first tab and with 10 browsers:
// the real main window, skins and engine stand-in against a loopback site (bench/client_memory.sh).
#include "mainwindow_ui/ui_harness.h"  // winsock before windows.h

#include <psapi.h>

#include <cstdio>

#include "browser/client_handler.h"
#include "include/test/cef_test_hooks.h"

namespace {

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage;
}

}  // namespace

int wmain() {
    ui_harness::Site site;
    ui_harness::FillDemoSite(site);
    ui_harness::StartEngine();
    MainFrameWnd* frame = ui_harness::OpenMainWindow(site);
    if (!frame) {
        std::printf("{\"error\":\"no main window\"}\n");
        return 1;
    }
    cef_test::PumpUntil([] { return false; }, 500);
    SIZE_T one = PrivateBytes();
    for (int i = 0; i < 9; ++i) ui_harness::OpenTab(frame, site.WUrl(i % 2 ? "/dashboard" : "/oa/commercial-manager/index"));
    cef_test::PumpUntil([] { return false; }, 500);
    SIZE_T ten = PrivateBytes();
    std::printf("{\"browsers_1\":%u,\"private_1\":%lu,\"browsers_10\":%u,\"private_10\":%lu}\n", 1u,
                static_cast<unsigned long>(one), static_cast<unsigned>(ClientHandler::Instance()->BrowserCount()),
                static_cast<unsigned long>(ten));
    std::fflush(stdout);
    // The last browser closing would end the process anyway; end it plainly.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
