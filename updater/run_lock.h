// One updater at a time per folder.
#pragma once
#include <windows.h>

#include <string>

// Held for the whole run: only one updater works on the files of a folder at a time.
//
// The lock is a file in the updater's own folder, created for this handle alone (no sharing)
// and deleted when the handle closes, which the system does for a crashed or killed run too.
// Only someone who may write to that folder (administrators, for an installed client) can
// create it, and it is made with an access list that admits administrators and the system
// only, so a program at normal rights can neither take the lock first nor hold the file open to
// keep updaters out. (A named object, as a mutex, can be created by any program of the session.)
class UpdaterRunLock {
public:
    UpdaterRunLock() = default;
    UpdaterRunLock(const UpdaterRunLock&) = delete;
    UpdaterRunLock& operator=(const UpdaterRunLock&) = delete;
    ~UpdaterRunLock();

    // False when another updater of the same folder holds the lock. When the lock cannot be
    // had for another reason (the folder is not writable), true without it: the update then
    // runs as it would have without a lock rather than never.
    bool Acquire(const std::wstring& dir);
    bool Held() const { return file_ != INVALID_HANDLE_VALUE; }

    // Exit code of a run that found another one working; no box, no file touched.
    static constexpr int kAlreadyRunningExitCode = 2;
    static constexpr const wchar_t* kFileName = L"\\quorvupdate.lock";

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
