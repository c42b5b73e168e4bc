// The one-updater-per-folder lock: a file only the updater's own folder's writers can hold.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <string>

#include "updater/run_lock.h"

namespace {

class LockDir {
public:
    LockDir() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"lock-test-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
        CreateDirectoryW((path_ + L"\\A").c_str(), nullptr);
        CreateDirectoryW((path_ + L"\\B").c_str(), nullptr);
    }
    ~LockDir() {
        RemoveDirectoryW((path_ + L"\\A").c_str());
        RemoveDirectoryW((path_ + L"\\B").c_str());
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring operator/(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(UpdaterRunLock, OnePerFolderAndGoneWithItsHolder) {
    LockDir dir;
    const std::wstring a = dir / L"A";
    const std::wstring file = a + UpdaterRunLock::kFileName;
    {
        UpdaterRunLock first;
        ASSERT_TRUE(first.Acquire(a));
        EXPECT_TRUE(first.Held());
        EXPECT_TRUE(Exists(file));
        UpdaterRunLock second;  // handles, not threads or processes, hold it
        EXPECT_FALSE(second.Acquire(a));
        std::wstring upper = a;
        for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
        UpdaterRunLock otherCase;
        EXPECT_FALSE(otherCase.Acquire(upper));
        UpdaterRunLock otherFolder;
        EXPECT_TRUE(otherFolder.Acquire(dir / L"B"));
        // Nobody can open the file while it is held, so nobody can keep it after the holder.
        HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, reader);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    }
    // Closing the handle (which the system also does for a killed run) removes the file.
    EXPECT_FALSE(Exists(file));
    UpdaterRunLock next;
    EXPECT_TRUE(next.Acquire(a));
}

// The name the lock used to be: any program of the session could create this mutex first and
// keep every updater out. Holding it means nothing now.
TEST(UpdaterRunLock, TheOldMutexNameBlocksNothing) {
    LockDir dir;
    const std::wstring a = dir / L"A";
    std::wstring folded = a;
    CharLowerBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    unsigned long long hash = 1469598103934665603ull;
    for (wchar_t c : folded) hash = (hash ^ static_cast<unsigned short>(c)) * 1099511628211ull;
    wchar_t name[64];
    swprintf(name, 64, L"Local\\quorvupdate-%016llx", hash);
    HANDLE squatter = CreateMutexW(nullptr, TRUE, name);
    ASSERT_NE(nullptr, squatter);
    UpdaterRunLock lock;
    EXPECT_TRUE(lock.Acquire(a));
    EXPECT_TRUE(lock.Held());
    CloseHandle(squatter);
}

// A leftover file from a run that lost power is simply taken over; a folder that cannot hold
// the file does not stop the update.
TEST(UpdaterRunLock, LeftoverFileAndUnusableFolder) {
    LockDir dir;
    const std::wstring a = dir / L"A";
    const std::wstring file = a + UpdaterRunLock::kFileName;
    HANDLE leftover = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, leftover);
    CloseHandle(leftover);
    {
        UpdaterRunLock lock;
        EXPECT_TRUE(lock.Acquire(a));
        EXPECT_TRUE(lock.Held());
    }
    EXPECT_FALSE(Exists(file));

    UpdaterRunLock nowhere;
    EXPECT_TRUE(nowhere.Acquire(dir / L"missing"));
    EXPECT_FALSE(nowhere.Held());
}

}  // namespace
