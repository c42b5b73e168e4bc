#include "updater/run_lock.h"

#include <sddl.h>

namespace {

// Full access for the system and the administrators, nothing inherited, no one else.
constexpr const wchar_t* kLockFileSecurity = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// A lock file that a run is just closing is still there for a moment, being deleted; opening
// it then fails with "access denied" instead of a sharing violation.
constexpr int kDeletePendingRetries = 20;
constexpr DWORD kDeletePendingWaitMs = 25;

}  // namespace

bool UpdaterRunLock::Acquire(const std::wstring& dir) {
    const std::wstring path = dir + kFileName;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockFileSecurity, SDDL_REVISION_1, &descriptor,
                                                             nullptr)) {
        attributes.lpSecurityDescriptor = descriptor;
    }
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt <= kDeletePendingRetries; ++attempt) {
        file_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, &attributes, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        error = file_ == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (error != ERROR_ACCESS_DENIED) break;
        Sleep(kDeletePendingWaitMs);
    }
    if (descriptor) LocalFree(descriptor);
    return error != ERROR_SHARING_VIOLATION;
}

UpdaterRunLock::~UpdaterRunLock() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}
