// Opening modules in the real main window (bench/module_bench.py): the main window signed in to a
// loopback site, then
//   - each module button clicked in turn, timed from the click to the first tab showing the
//     module page's title;
//   - ten further tabs opened one after another, each timed until its tab is there and idle.
// Prints "site <url>" first and waits for a line on standard input, so that the bench can fetch
// the same pages with curl from the same server in the same run; then one JSON line.
#include "mainwindow_ui/ui_harness.h"  // winsock before windows.h

#include <cstdio>
#include <string>
#include <vector>

#include "browser/client_handler.h"
#include "include/test/cef_test_hooks.h"
#include "skin_testing.h"

namespace {

double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * double(c.QuadPart) / double(f.QuadPart);
}

struct Module {
    const wchar_t* button;
    const wchar_t* title;  // the page title as the tab shows it
};

// The system module always goes to the built-in server, not to the site: it is left out.
const Module kModules[] = {{L"btn_OA", L"oa"},
                           {L"btn_IMS", L"crm"},
                           {L"btn_CPA", L"cpa"},
                           {L"btn_Personal", L"space"},
                           {L"btn_workplatform", L"dashboar"}};

std::string Join(const std::vector<double>& values) {
    std::string text;
    for (double v : values) {
        char number[32];
        std::snprintf(number, sizeof number, "%s%.2f", text.empty() ? "" : ",", v);
        text += number;
    }
    return text;
}

}  // namespace

int wmain() {
    ui_harness::Site site;
    ui_harness::FillDemoSite(site);
    std::printf("site %s\n", site.Url("").c_str());
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return 2;

    ui_harness::StartEngine();
    MainFrameWnd* frame = ui_harness::OpenMainWindow(site);
    if (!frame) {
        std::printf("{\"error\":\"no main window\"}\n");
        return 1;
    }
    cef_test::WaitForIdle(ui_harness::kWait);
    const int firstTab = frame->currentTab();
    std::vector<double> clicks;
    for (int round = 0; round < 2; ++round) {
        for (const Module& module : kModules) {
            const double start = NowMs();
            if (!DuiLib::Testing::ClickControl(&frame->Skin(), module.button)) {
                std::printf("{\"error\":\"no button\"}\n");
                return 1;
            }
            const bool shown = cef_test::PumpUntil(
                [&] {
                    DuiLib::CControlUI* item = frame->TabLayout()->GetItemAt(frame->TabIndex(firstTab));
                    return item && std::wstring(item->GetText().GetData()).find(module.title) != std::wstring::npos;
                },
                ui_harness::kWait);
            if (!shown) {
                DuiLib::CControlUI* item = frame->TabLayout()->GetItemAt(frame->TabIndex(firstTab));
                std::printf("{\"error\":\"title not shown\",\"button\":\"%ls\",\"tab\":\"%ls\"}\n", module.button,
                            item ? item->GetText().GetData() : L"(none)");
                return 1;
            }
            clicks.push_back(NowMs() - start);
        }
    }
    std::vector<double> tabs;
    for (int i = 0; i < 10; ++i) {
        const double start = NowMs();
        ui_harness::OpenTab(frame, site.WUrl(i % 2 ? "/dashboard" : "/oa/commercial-manager/index"));
        tabs.push_back(NowMs() - start);
    }
    std::printf("{\"clicks\":[%s],\"tabs\":[%s],\"browsers\":%u}\n", Join(clicks).c_str(), Join(tabs).c_str(),
                static_cast<unsigned>(ClientHandler::Instance()->BrowserCount()));
    std::fflush(stdout);
    // The last browser closing would end the process anyway; end it plainly.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
