#include "login/account_history.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "login/profile.h"

namespace {

const wchar_t kSection[] = L"HistoryAccount";
const wchar_t kCountKey[] = L"AccountCount";

std::wstring NumberedKey(const wchar_t* prefix, int index) { return prefix + std::to_wstring(index); }

}  // namespace

void AccountHistory::Load() {
    const int count = profile::ParseCount(profile::ReadString(file_, kSection, kCountKey, L"0"));

    // Adding all stored pairs in order keeps, of each name, its last occurrence and then the
    // newest ten entries. Walking down from the top finds exactly those, so a hand-edited
    // count of millions costs at most ten reads beyond the keys that really exist (each
    // missing key is an entry with an empty name, and empty names never merge).
    std::vector<std::pair<int, std::wstring>> survivors;  // index and name, newest first
    std::set<std::wstring> seen;
    for (int i = count; i >= 1 && static_cast<int>(survivors.size()) < kLimit; --i) {
        std::wstring name = profile::ReadString(file_, kSection, NumberedKey(L"username", i).c_str(), L"");
        if (!name.empty() && !seen.insert(name).second) continue;
        survivors.emplace_back(i, std::move(name));
    }
    for (auto it = survivors.rbegin(); it != survivors.rend(); ++it) {
        Add(it->second, profile::ReadString(file_, kSection, NumberedKey(L"password", it->first).c_str(), L""));
    }
}

void AccountHistory::Add(const std::wstring& userName, const std::wstring& encodedPassword) {
    if (!userName.empty()) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->userName == userName) {
                entries_.erase(it);
                break;
            }
        }
    }
    if (static_cast<int>(entries_.size()) >= kLimit) {
        // Reuse the oldest node as the newest one.
        entries_.splice(entries_.end(), entries_, entries_.begin());
        entries_.back().userName = userName;
        entries_.back().encodedPassword = encodedPassword;
    } else {
        entries_.push_back(Entry{userName, encodedPassword});
    }
}

void AccountHistory::Save() const {
    profile::WriteString(file_, kSection, kCountKey, std::to_wstring(entries_.size()));
    int k = 1;
    for (const Entry& entry : entries_) {
        profile::WriteString(file_, kSection, NumberedKey(L"username", k).c_str(), entry.userName);
        profile::WriteString(file_, kSection, NumberedKey(L"password", k).c_str(), entry.encodedPassword);
        ++k;
    }
}

const AccountHistory::Entry* AccountHistory::Find(const std::wstring& userName) const {
    for (const Entry& entry : entries_) {
        if (entry.userName == userName) return &entry;
    }
    return nullptr;
}

