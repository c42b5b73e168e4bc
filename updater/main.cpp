// quorvupdate: asks the update service once whether a newer client is offered and, with the
// user's consent, downloads, checks and starts its installer. No windows of its own.
#include <windows.h>

#include <exception>

#include "common/handles.h"
#include "net/http_interface.h"
#include "updater/package.h"
#include "updater/transfer.h"
#include "updater/update_flow.h"

#ifdef QUORVANE_TEST_WAITS
#include "tests/support/test_waits.h"
#endif

namespace {

class Win32UpdaterHost : public UpdaterHost {
public:
    explicit Win32UpdaterHost(UpdaterPaths& paths) : paths_(paths) {}

    int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override {
        return MessageBoxW(LiveOwner(owner), text.c_str(), caption.c_str(), type);
    }
    std::string PostQuery(const std::string& url, const std::string& headers, const std::string& body) override {
        return http_.Post(url, 1, headers, body);
    }
    // A folder or a link in the place of a file is not that file: opening it would show an
    // Explorer window instead of starting an installer.
    bool FileExists(const std::wstring& path) override { return IsPlainFile(path); }
    void RemoveFile(const std::wstring& path) override { DeleteFileW(path.c_str()); }
    std::wstring ReadDeclinedVersion(const std::wstring& versionFile) override {
        wchar_t value[100] = {};
        GetPrivateProfileStringW(UpdateFlow::kVersionSection, UpdateFlow::kVersionKey, L"", value, 100,
                                 versionFile.c_str());
        return value;
    }
    void WriteDeclinedVersion(const std::wstring& versionFile, const std::wstring& version) override {
        WritePrivateProfileStringW(UpdateFlow::kVersionSection, UpdateFlow::kVersionKey, version.c_str(),
                                   versionFile.c_str());
    }
    FetchResult FetchPackage(const std::wstring& url, const std::string& expectedDigest, HWND owner) override {
        return ::FetchPackage(paths_, url, expectedDigest, owner);
    }
    void StartInstaller(const std::wstring& parameters) override { ::StartInstaller(paths_, parameters); }

private:
    UpdaterPaths& paths_;
    HttpInterface http_{HttpFlavor::Updater()};
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    try {
#ifdef QUORVANE_TEST_WAITS
        if (const DWORD wait = TestWaitMs()) {
            CurrentHttpTimeouts() = {wait, wait, wait};
            DownloadStallLimitMs() = 2 * wait;
        }
#endif
        UpdaterPaths paths;
        // The client starts an updater at every start; while one is still busy (asking, or
        // downloading), a second one leaves its files alone and ends without a word.
        UpdaterRunLock lock;
        if (!lock.Acquire(paths.Dir())) return UpdaterRunLock::kAlreadyRunningExitCode;
        Win32UpdaterHost host(paths);
        UpdateFlow flow(host, paths.Dir(), paths.DownloadTarget());
        return flow.Run(commandLine ? commandLine : L"");
    } catch (const std::exception&) {
        // Out of memory is all that can still get here; end like a failed request.
        return -1;
    }
}
