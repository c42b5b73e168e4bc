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
        std::wstring encodedPassword;
    };

    static constexpr int kLimit = 10;

    AccountHistory() = default;
    ~AccountHistory() { Clear(); }
    AccountHistory(const AccountHistory&) = delete;
    AccountHistory& operator=(const AccountHistory&) = delete;

    void SetFile(const std::wstring& path) { file_ = path; }
    const std::wstring& file() const { return file_; }

    // Reads the section into the list (expected empty before). Gives the same list as adding
    // every stored pair in order, without reading more keys than can survive.
    void Load();

    // Records the account as the newest entry: an equal non-empty name is removed first;
    // when full, the oldest entry is dropped.
    void Add(const std::wstring& userName, const std::wstring& encodedPassword);

    // Writes "AccountCount" and the numbered keys of every entry. Keys numbered above the
    // count from an earlier save stay; Load never reads them.
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
