// The updater's decision flow, separated from Win32 so that tests can drive every branch
// through a fake host.
#pragma once
#include <windows.h>

#include <string>

// How fetching the offered installer ended. The three check failures have each removed the
// installer; the flow tells the user which check failed.
enum class FetchResult {
    DownloadFailed,
    CheckFailed,  // the file's MD5 is not the one the download address names
    Ready,
    Cancelled,
    SignatureMissing,  // signed build: the reply carries no usable signature (nothing downloaded)
    SignatureWrong,    // signed build: the signature does not hold for this installer and version
};

// The message of a check failure; null for the other results.
const wchar_t* CheckFailureMessage(FetchResult result);

constexpr const wchar_t* kDigestMismatchMessage = L"文件校验失败,将在下次重新更新";
constexpr const wchar_t* kSignatureMissingMessage = L"更新服务没有提供有效的安装包签名,将在下次重新更新";
constexpr const wchar_t* kSignatureWrongMessage = L"安装包签名校验失败,将在下次重新更新";
// An offer of a version that is not newer than the client's own (a replayed older installer, or
// a service that is wrong) is refused before anything is downloaded or started.
constexpr const wchar_t* kOfferNotNewerMessage = L"更新服务提供的版本不比当前版本新,不进行更新";

// A version as four numbers ("1.0.3.12"); false for any other text.
bool ParseVersion(const std::string& text, unsigned long long (&parts)[4]);
// True when `offered` is greater than `installed`, both read as four numbers compared in order.
// Either one that is not four numbers gives false.
bool VersionIsNewer(const std::string& offered, const std::string& installed);

// Everything the flow does to the outside world.
class UpdaterHost {
public:
    virtual ~UpdaterHost() = default;
    // A message box; `owner` null means no owner. Returns the button pressed (IDOK, IDYES ...).
    virtual int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;
    // One POST of the update query; "" when the request failed in any way.
    virtual std::string PostQuery(const std::string& url, const std::string& headers, const std::string& body) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    virtual void RemoveFile(const std::wstring& path) = 0;
    // "version" of section "browser_client" of the version file ("" when absent).
    virtual std::wstring ReadDeclinedVersion(const std::wstring& versionFile) = 0;
    virtual void WriteDeclinedVersion(const std::wstring& versionFile, const std::wstring& version) = 0;
    virtual FetchResult FetchPackage(const std::wstring& url, const std::string& expectedDigest, HWND owner) = 0;
    virtual void StartInstaller(const std::wstring& parameters) = 0;

    // What the reply says about the offered installer beyond its URL: the version, the digest
    // and the publisher's signature ("" when the reply has none). Told before either branch.
    virtual void NoteOffer(const std::wstring& /*version*/, const std::string& /*digest*/,
                           const std::string& /*signature*/) {}
    // Whether an installer left by an earlier run may still be started; one that may not is
    // removed and the offer is downloaded afresh.
    virtual bool PendingInstallerTrusted() { return true; }
};

class UpdateFlow {
public:
    // `dir` is the updater's folder D, `downloadTarget` the download target P.
    UpdateFlow(UpdaterHost& host, std::wstring dir, std::wstring downloadTarget);

    // Runs once for the given command-line text and returns the process exit code.
    int Run(const std::wstring& commandLine);

    // The two exit codes of a run (a second updater's 2 is UpdaterRunLock's). They do not tell
    // success from failure: each situation keeps the value it has always had (the updater tests
    // pin them). Mostly, Stopped is a bad command line, a reply refused by its status, a failed
    // download or an update put off; Ended a failed request, an incomplete reply, no offer, a
    // failed check or an installer started.
    static constexpr int kExitStopped = 1;
    static constexpr int kExitEnded = -1;

    static constexpr const wchar_t* kVersionFileName = L"\\version.bin";
    static constexpr const wchar_t* kVersionSection = L"browser_client";
    static constexpr const wchar_t* kVersionKey = L"version";
    static constexpr int kStatusSuccess = 20000;

private:
    int MandatoryBranch(HWND owner, const std::wstring& text, const std::wstring& url, const std::string& digest);
    int OptionalBranch(HWND owner, const std::wstring& text, const std::wstring& url, const std::string& digest,
                       const std::wstring& offeredVersion);
    void Tell(HWND owner, const std::wstring& text, const wchar_t* caption = L"提示");
    bool Ask(HWND owner, const std::wstring& text, const wchar_t* caption);

    UpdaterHost& host_;
    std::wstring versionFile_;  // V
    std::wstring installer_;    // E
};

// The request header block of the update query.
std::string UpdateQueryHeaders(const std::string& acceptPoint);
