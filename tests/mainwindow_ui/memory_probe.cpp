// Prints the private memory of the client code with its first tab and with 10 browsers:
// the real main window, skins and engine stand-in against a loopback site (bench/client_memory.sh).
// With "show", opens three tabs instead, prints "ready" with the window's place and keeps the window up for a minute
// (tools/client_shots.sh).
#include "mainwindow_ui/ui_harness.h"  // winsock before windows.h

#include <cstdio>

#include "browser/client_handler.h"
#include "include/test/cef_test_hooks.h"
#include "ui/messages.h"

namespace {

// Committed private pages of the address space (heaps, stacks, allocations), counted region
// by region: the same under Windows and Wine, whose counters leave PrivateUsage empty.
SIZE_T PrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ui_harness::Site site;
    ui_harness::FillDemoSite(site);
    ui_harness::StartEngine();
    MainFrameWnd* frame = ui_harness::OpenMainWindow(site);
    if (!frame) {
        std::printf("{\"error\":\"no main window\"}\n");
        return 1;
    }
    if (argc > 1 && wcscmp(argv[1], L"show") == 0) {
        ui_harness::OpenTab(frame, site.WUrl("/t8"));
        ui_harness::OpenTab(frame, site.WUrl("/oa/commercial-manager/index"));
        ::SendMessageW(frame->GetHWND(), WM_MODULE_ACTIVE, 2, 0);
        cef_test::PumpUntil([] { return false; }, 1000);
        RECT r{};
        GetWindowRect(frame->GetHWND(), &r);
        std::printf("ready %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fflush(stdout);
        cef_test::PumpUntil([] { return false; }, 60000);
        TerminateProcess(GetCurrentProcess(), 0);
    }
    cef_test::PumpUntil([] { return false; }, 500);
    SIZE_T one = PrivateBytes();
    for (int i = 0; i < 9; ++i)
        ui_harness::OpenTab(frame, site.WUrl(i % 2 ? "/dashboard" : "/oa/commercial-manager/index"));
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
