// quorvupdate: asks the update service once whether a newer client is offered and, with the
// user's consent, downloads, checks and starts its installer. Its messages are message boxes
// owned by the client's window; its one window of its own is the download's progress window.
#include <windows.h>

#include <exception>
#include <memory>

#include "common/handles.h"
#include "common/text.h"
#include "net/http_interface.h"
#include "updater/package.h"
#include "updater/progress_window.h"
#include "updater/run_lock.h"
#include "updater/signature.h"
#include "updater/transfer.h"
#include "updater/update_flow.h"

#ifdef QUORVANE_TEST_WAITS
#include "common/test_waits.h"
#endif

namespace {

// A build made with a publisher key (QUORVANE_UPDATE_PUBLIC_KEY in CMake) starts only installers
// whose offer is signed with its private key. A build without one checks the digest alone; that
// has to be asked for (QUORVANE_UNSIGNED_UPDATES), never the result of a key left out.
#if defined(QUORVANE_UPDATE_PUBLIC_KEY_HEX)
constexpr char kPublicKeyHex[] = QUORVANE_UPDATE_PUBLIC_KEY_HEX;
static_assert(sizeof(kPublicKeyHex) == 129, "the public key is the 128 hex digits of X and Y");
#elif defined(QUORVANE_UNSIGNED_UPDATES)
constexpr char kPublicKeyHex[] = "";
#else
#error "the updater needs a publisher key (QUORVANE_UPDATE_PUBLIC_KEY_HEX) or QUORVANE_UNSIGNED_UPDATES"
#endif

// Builds measuring what the progress window costs leave it out.
#ifdef QUORVANE_UPDATER_NO_PROGRESS_WINDOW
constexpr bool kProgressWindow = false;
#else
constexpr bool kProgressWindow = true;
#endif

class Win32UpdaterHost : public UpdaterHost {
public:
    explicit Win32UpdaterHost(UpdaterPaths& paths) : paths_(paths) {
        if (kPublicKeyHex[0] != '\0') {
            // A key that does not parse refuses every installer rather than none.
            signed_ = true;
            if (!PublicKeyFromHex(kPublicKeyHex, key_)) key_.fill(0);
        }
    }

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
    FetchResult FetchPackage(const std::wstring& url, const std::string& expectedDigest, HWND) override {
        const std::unique_ptr<InstallerSignature> signature = OfferSignature();
        std::unique_ptr<ProgressWindow> window;
        // No window for a download that an unusable signature rules out beforehand.
        if (kProgressWindow && (!signature || signature->WellFormed())) {
            window = std::make_unique<ProgressWindow>(version_);
        }
        return ::FetchPackage(paths_, url, expectedDigest, window.get(), signature.get());
    }
    void StartInstaller(const std::wstring& parameters) override { ::StartInstaller(paths_, parameters); }

    void NoteOffer(const std::wstring& version, const std::string& digest, const std::string& signature) override {
        version_ = version;
        digest_ = digest;
        signature_ = signature;
    }
    // An installer left from an earlier run is started without a download, so it has to pass the
    // same checks as a fresh one against what the service offers now: a withdrawn or stale one
    // is removed and the offer fetched again.
    bool PendingInstallerTrusted() override { return PendingInstallerMatches(paths_, digest_, OfferSignature().get()); }

private:
    // The signature of the current offer in a signed build; null in an unsigned one.
    std::unique_ptr<InstallerSignature> OfferSignature() const {
        if (!signed_) return nullptr;
        return std::make_unique<InstallerSignature>(key_, signature_, WideToUtf8(version_));
    }

    UpdaterPaths& paths_;
    bool signed_ = false;
    PublicKey key_{};
    std::wstring version_;
    std::string digest_;
    std::string signature_;
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
        return UpdateFlow::kExitEnded;
    }
}
