#include "login/account_history.h"

#include <cwchar>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "login/profile.h"
#include "login/sealed_password.h"

namespace {

const wchar_t kSection[] = L"HistoryAccount";
const wchar_t kCountKey[] = L"AccountCount";

std::wstring NumberedKey(const wchar_t* prefix, int index) { return prefix + std::to_wstring(index); }

}  // namespace

std::vector<int> AccountHistory::StoredIndices() const {
    std::set<int> indices;
    for (const std::wstring& key : profile::KeyNames(file_, kSection)) {
        for (const wchar_t* prefix : {L"username", L"password"}) {
            const size_t length = wcslen(prefix);
            if (key.size() <= length || _wcsnicmp(key.c_str(), prefix, length) != 0) continue;
            const std::wstring digits = key.substr(length);
            int index = 0;
            // "username007" is not the key "username7" that Save writes.
            if (digits[0] != L'0' && profile::ParseStrictCount(digits, index) && index >= 1 &&
                digits.find_first_of(L" \t") == std::wstring::npos) {
                indices.insert(index);
            }
        }
    }
    return std::vector<int>(indices.begin(), indices.end());
}

void AccountHistory::Load() {
    // Save writes every key from 1 to the count, so the highest stored number is never below
    // a sound count. A count that is missing, not a plain number, or above every stored key
    // is damaged: the accounts actually stored are loaded instead, as if it were sound. A count
    // of 0 is well formed and means no account, whatever keys an earlier save left.
    const std::vector<int> indices = StoredIndices();
    const int highest = indices.empty() ? 0 : indices.back();
    int count = 0;
    const bool sound =
        profile::ParseStrictCount(profile::ReadString(file_, kSection, kCountKey, L""), count) && count <= highest;

    // Adding all stored pairs in order keeps, of each name, its last occurrence and then the
    // newest ten entries. Walking down from the top finds exactly those. With a sound count,
    // a missing key in between is an entry with an empty name (empty names never merge).
    // Each step either keeps an entry or skips a stored duplicate, so the walk is bounded by
    // ten plus the keys that exist, whatever the count says.
    std::vector<std::pair<int, std::wstring>> survivors;  // index and name, newest first
    std::set<std::wstring> seen;
    auto visit = [&](int i) {
        std::wstring name = profile::ReadString(file_, kSection, NumberedKey(L"username", i).c_str(), L"");
        if (name.empty() || seen.insert(name).second) survivors.emplace_back(i, std::move(name));
        return static_cast<int>(survivors.size()) < kLimit;
    };
    if (sound) {
        for (int i = count; i >= 1 && visit(i); --i) {
        }
    } else {
        for (auto it = indices.rbegin(); it != indices.rend() && visit(*it); ++it) {
        }
    }
    for (auto it = survivors.rbegin(); it != survivors.rend(); ++it) {
        const std::wstring stored =
            profile::ReadString(file_, kSection, NumberedKey(L"password", it->first).c_str(), L"");
        OpenedPassword opened = OpenStoredPassword(stored);
        Add(it->second, opened.encodedPassword);
        if (opened.unreadable) entries_.back().unopened = stored;
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
        entries_.back().unopened.clear();
    } else {
        entries_.push_back(Entry{userName, encodedPassword, std::wstring()});
    }
}

void AccountHistory::Save() const {
    profile::WriteString(file_, kSection, kCountKey, std::to_wstring(entries_.size()));
    int k = 1;
    for (const Entry& entry : entries_) {
        profile::WriteString(file_, kSection, NumberedKey(L"username", k).c_str(), entry.userName);
        const std::wstring stored = entry.encodedPassword.empty() && !entry.unopened.empty()
                                        ? entry.unopened
                                        : SealPassword(entry.encodedPassword);
        profile::WriteString(file_, kSection, NumberedKey(L"password", k).c_str(), stored);
        ++k;
    }
}

const AccountHistory::Entry* AccountHistory::Find(const std::wstring& userName) const {
    for (const Entry& entry : entries_) {
        if (entry.userName == userName) return &entry;
    }
    return nullptr;
}
