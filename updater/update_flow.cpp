#include "updater/update_flow.h"

#include "common/text.h"
#include "common/window_handle.h"
#include "updater/json_fields.h"
#include "updater/package.h"
#include "updater/transfer.h"

#include <cstdint>
#include <exception>

// Json::Reader and Json::StyledWriter are what the update service has always been fed by;
// jsoncpp 1.9 marks them deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

// "MainHwnd" as the client writes it: a window handle printed as a signed 32-bit number, so
// either sign fits. Window handles are 32-bit significant on 64-bit Windows too, which
// sign-extends them: 0xFFFFFFFE and -2 both name the handle (HWND)(LONG_PTR)-2.
bool WindowMember(const Json::Value& object, HWND& out) {
    int64_t value = 0;
    if (!jsonfield::Integer(object, "MainHwnd", value)) return false;
    if (value < INT32_MIN || value > static_cast<int64_t>(UINT32_MAX)) return false;
    out = WindowFromHandleNumber(value);
    return true;
}

std::string Narrow(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8)); }

// The reader throws on absurdly deep nesting; that is just one more unreadable document.
bool ParseDocument(Json::Reader& reader, const std::string& text, Json::Value& root) {
    try {
        return reader.parse(text, root, false);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

const wchar_t* CheckFailureMessage(FetchResult result) {
    switch (result) {
        case FetchResult::CheckFailed:
            return kDigestMismatchMessage;
        case FetchResult::SignatureMissing:
            return kSignatureMissingMessage;
        case FetchResult::SignatureWrong:
            return kSignatureWrongMessage;
        default:
            return nullptr;
    }
}

bool ParseVersion(const std::string& text, unsigned long long (&parts)[4]) {
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
        const size_t begin = at;
        unsigned long long value = 0;
        // Nine digits at most: no overflow, and more than any version resource holds.
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - begin < 9) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
        }
        if (at == begin) return false;
        parts[i] = value;
    }
    return at == text.size();
}

bool VersionIsNewer(const std::string& offered, const std::string& installed) {
    unsigned long long a[4], b[4];
    if (!ParseVersion(offered, a) || !ParseVersion(installed, b)) return false;
    for (int i = 0; i < 4; ++i) {
        if (a[i] != b[i]) return a[i] > b[i];
    }
    return false;
}

std::string UpdateQueryHeaders(const std::string& acceptPoint) {
    return "Accept-Point:" + acceptPoint + "\r\nContent-Type:application/json";
}

UpdateFlow::UpdateFlow(UpdaterHost& host, std::wstring dir, std::wstring downloadTarget)
    : host_(host), versionFile_(dir + kVersionFileName), installer_(downloadTarget + L".exe") {}

void UpdateFlow::Tell(HWND owner, const std::wstring& text, const wchar_t* caption) {
    host_.ShowMessage(owner, text, caption, MB_OK);
}

bool UpdateFlow::Ask(HWND owner, const std::wstring& text, const wchar_t* caption) {
    return host_.ShowMessage(owner, text, caption, MB_YESNO) == IDYES;
}

int UpdateFlow::Run(const std::wstring& commandLine) {
    if (commandLine.empty()) {
        Tell(nullptr, L"没有传入参数");
        return kExitStopped;
    }

    // Parsed as UTF-8 so that no character is lost to the ANSI code page.
    Json::Reader reader;
    Json::Value root;
    if (!ParseDocument(reader, WideToUtf8(commandLine), root)) {
        Tell(nullptr, commandLine, L"提示-解析失败");
        return kExitStopped;
    }

    // A line break in the address or in the Accept-Point value would become a header line of
    // its own in the query: such a member is as unusable as a missing one.
    std::string url;
    if (!jsonfield::String(root, "url", url) || HasLineBreak(url)) {
        Tell(nullptr, L"缺少url");
        return kExitStopped;
    }
    if (!jsonfield::Object(root, "postdata")) {
        Tell(nullptr, L"缺少postdata");
        return kExitStopped;
    }
    const Json::Value* header = jsonfield::Object(root, "header");
    std::string acceptPoint;
    if (header) jsonfield::String(*header, "Accept-Point", acceptPoint);  // absent: sent empty
    if (!header || HasLineBreak(acceptPoint)) {
        Tell(nullptr, L"缺少header");
        return kExitStopped;
    }
    HWND owner = nullptr;
    if (!WindowMember(root, owner)) {
        Tell(nullptr, L"缺少MainHwnd参数");
        return kExitStopped;
    }
    Json::Value postdata = root["postdata"];
    std::string version;
    if (!jsonfield::String(postdata, "version", version)) {
        Tell(nullptr, L"postdata中没有版本号version");
        return kExitStopped;
    }

    // A declined version stands in for the installed one, even when it reads empty.
    if (host_.FileExists(versionFile_)) {
        postdata["version"] = WideToUtf8(host_.ReadDeclinedVersion(versionFile_));
    }

    Json::StyledWriter writer;
    const std::string response =
        host_.PostQuery(Narrow(url), UpdateQueryHeaders(Narrow(acceptPoint)), writer.write(postdata));

    if (response.empty()) return kExitEnded;

    root = Json::Value();
    if (!ParseDocument(reader, response, root)) return kExitStopped;

    const Json::Value* status = jsonfield::Find(root, "status");
    if (!status || !status->isNumeric()) {
        Tell(owner, L"没有status字段");
        return kExitEnded;
    }
    int64_t statusValue = 0;
    if (!jsonfield::Integer(root, "status", statusValue) || statusValue != kStatusSuccess) return kExitStopped;

    const Json::Value* result = jsonfield::Object(root, "result");
    if (!result) return kExitStopped;

    const Json::Value* isNormal = jsonfield::Find(*result, "is_normal");
    if (!isNormal) {
        Tell(owner, L"没有找到is_normal字段");
        return kExitEnded;
    }
    // Only the string "0" says "no update"; a number 0 does not.
    if (isNormal->isString() && isNormal->asString() == "0") {
        if (host_.FileExists(installer_)) host_.RemoveFile(installer_);
        return kExitEnded;
    }

    std::string isMust, text, downloadUrl, offeredVersion;
    if (!jsonfield::String(*result, "is_must", isMust)) {
        Tell(owner, L"没有找到is_must字段");
        return kExitEnded;
    }
    if (!jsonfield::String(*result, "text", text)) {
        Tell(owner, L"缺少text字段");
        return kExitEnded;
    }
    if (!jsonfield::String(*result, "url", downloadUrl)) {
        Tell(owner, L"缺少url字段");
        return kExitEnded;
    }
    if (!jsonfield::String(*result, "version", offeredVersion)) {
        Tell(owner, L"返回数据缺少version字段");
        return kExitEnded;
    }

    // Only an update: an offer of the client's own version or an older one (which may carry a
    // valid signature of its own) is refused before anything is fetched or started. The client's
    // own version is the one on the command line, not a declined one from V.
    if (!VersionIsNewer(offeredVersion, version)) {
        Tell(owner, kOfferNotNewerMessage);
        return kExitEnded;
    }

    const std::string digest = InstallerNameFromUrl(downloadUrl);
    std::string signature;
    jsonfield::String(*result, "signature", signature);  // absent: empty, which a signed build refuses
    host_.NoteOffer(Utf8ToWide(offeredVersion), digest, signature);
    if (host_.FileExists(installer_) && !host_.PendingInstallerTrusted()) host_.RemoveFile(installer_);

    // A message box lays out a huge text for many seconds before it appears.
    const std::wstring shownText = ShortenReleaseText(Utf8ToWide(text));
    if (isMust == "1") return MandatoryBranch(owner, shownText, Utf8ToWide(downloadUrl), digest);
    return OptionalBranch(owner, shownText, Utf8ToWide(downloadUrl), digest, Utf8ToWide(offeredVersion));
}

int UpdateFlow::MandatoryBranch(HWND owner, const std::wstring& text, const std::wstring& url,
                                const std::string& digest) {
    if (host_.FileExists(versionFile_)) host_.RemoveFile(versionFile_);

    if (host_.FileExists(installer_)) {
        Tell(owner, L"检测到新版本,即将更新");
        host_.StartInstaller(L"");
        return kExitEnded;
    }

    Tell(owner, text + L" 将进行后台下载更新", L"更新提示");
    const FetchResult fetched = host_.FetchPackage(url, digest, owner);
    if (const wchar_t* message = CheckFailureMessage(fetched)) {
        Tell(owner, message);
        return kExitEnded;
    }
    switch (fetched) {
        case FetchResult::DownloadFailed:
            Tell(owner, L"失败", L"download");
            return kExitStopped;
        case FetchResult::Cancelled:
            return kExitStopped;  // as when the user puts off the installation
        default:
            break;
    }
    if (Ask(owner, L"升级版本下载完成是否现在更新?", L"提示")) host_.StartInstaller(L"");
    return kExitStopped;
}

int UpdateFlow::OptionalBranch(HWND owner, const std::wstring& text, const std::wstring& url, const std::string& digest,
                               const std::wstring& offeredVersion) {
    if (host_.FileExists(installer_)) {
        host_.StartInstaller(L"delete");
        if (host_.FileExists(versionFile_)) host_.RemoveFile(versionFile_);
        return kExitEnded;
    }

    if (!Ask(owner, text + L" 是否进行更新?", L"更新提示")) {
        host_.WriteDeclinedVersion(versionFile_, offeredVersion);
        return kExitStopped;
    }

    if (host_.FileExists(versionFile_)) host_.RemoveFile(versionFile_);
    const FetchResult fetched = host_.FetchPackage(url, digest, owner);
    if (const wchar_t* message = CheckFailureMessage(fetched)) {
        Tell(owner, message);
        return kExitEnded;
    }
    switch (fetched) {
        case FetchResult::Cancelled:
            // Stopping the download declines this version.
            host_.WriteDeclinedVersion(versionFile_, offeredVersion);
            return kExitStopped;
        case FetchResult::Ready:
            break;
        default:
            return kExitEnded;
    }
    if (Ask(owner, L"升级版本下载完成是否现在更新?", L"提示")) host_.StartInstaller(L"delete");
    return kExitEnded;
}

#pragma GCC diagnostic pop
