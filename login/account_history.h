// The history of up to ten accounts in the "HistoryAccount" section of "config.bin",
// oldest first. Lives in memory only while the login dialog is open.
#pragma once
#include <list>
#include <string>
#include <vector>

class AccountHistory {
public:
    struct Entry {
        std::wstring userName;
        std::wstring encodedPassword;  // opened; empty when the stored value does not open
        // The stored value as read when it is sealed for another Windows user (or damaged):
        // written back unchanged, so that one user's sign-in does not wipe another's.
        std::wstring unopened;
    };

    static constexpr int kLimit = 10;

    AccountHistory() = default;
    ~AccountHistory() { Clear(); }
    AccountHistory(const AccountHistory&) = delete;
    AccountHistory& operator=(const AccountHistory&) = delete;

    void SetFile(const std::wstring& path) { file_ = path; }
    const std::wstring& file() const { return file_; }

    // Reads the section into the list (expected empty before). Gives the same list as adding
    // every stored pair in order, without reading more keys than can survive. Passwords are
    // opened (login/sealed_password.h); one that does not open leaves its entry without one.
    void Load();

    // Records the account as the newest entry: an equal non-empty name is removed first;
    // when full, the oldest entry is dropped.
    void Add(const std::wstring& userName, const std::wstring& encodedPassword);

    // Writes "AccountCount" and the numbered keys of every entry, each password sealed. Keys
    // numbered above the count from an earlier save stay; Load never reads them.
    void Save() const;

    void Clear() { entries_.clear(); }

    // Exact, case-sensitive match on the user name; nullptr when there is none.
    const Entry* Find(const std::wstring& userName) const;

    const std::list<Entry>& entries() const { return entries_; }
    int count() const { return static_cast<int>(entries_.size()); }

private:
    // Numbers N of the "usernameN" and "passwordN" keys in the section, ascending.
    std::vector<int> StoredIndices() const;

    std::wstring file_;
    std::list<Entry> entries_;
};
