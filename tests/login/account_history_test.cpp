#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "login/account_history.h"
#include "login/profile.h"
#include "login/sealed_password.h"
#include "test_files.h"

namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

Pairs Contents(const AccountHistory& history) {
    Pairs pairs;
    for (const auto& entry : history.entries()) pairs.emplace_back(entry.userName, entry.encodedPassword);
    return pairs;
}

std::wstring Name(int i) { return L"user" + std::to_wstring(i); }
std::wstring Pass(int i) { return L"pQ" + std::to_wstring(i); }

// A hand-written history section in the ANSI code page.
std::string Section(const std::string& count, const std::vector<std::pair<int, std::wstring>>& names) {
    std::string text = "[HistoryAccount]\r\nAccountCount=" + count + "\r\n";
    for (const auto& [index, name] : names) {
        text += "username" + std::to_string(index) + "=" + WideToAnsi(name) + "\r\n";
        text += "password" + std::to_string(index) + "=p" + std::to_string(index) + "\r\n";
    }
    return text;
}

std::wstring Read(const std::wstring& file, const wchar_t* key) {
    return profile::ReadString(file, L"HistoryAccount", key, L"<none>");
}

TEST(AccountHistoryList, AddMovesDropsAndKeepsEmptyNames) {
    AccountHistory history;
    for (int i = 1; i <= 3; ++i) history.Add(Name(i), Pass(i));
    history.Add(Name(1), L"new");  // moved to the newest end, password replaced
    EXPECT_EQ((Pairs{{Name(2), Pass(2)}, {Name(3), Pass(3)}, {Name(1), L"new"}}), Contents(history));

    history.Add(L"USER2", L"x");  // names compare with letter case
    EXPECT_EQ(4, history.count());

    history.Add(L"", L"e1");
    history.Add(L"", L"e2");  // an empty name never removes another entry
    EXPECT_EQ(6, history.count());

    for (int i = 10; i < 20; ++i) history.Add(Name(i), Pass(i));
    ASSERT_EQ(AccountHistory::kLimit, history.count());
    EXPECT_EQ(Name(10), history.entries().front().userName);
    EXPECT_EQ(Name(19), history.entries().back().userName);

    // Full list, existing name: nothing is dropped.
    history.Add(Name(10), L"again");
    EXPECT_EQ(AccountHistory::kLimit, history.count());
    EXPECT_EQ(Name(11), history.entries().front().userName);
    EXPECT_EQ(L"again", history.entries().back().encodedPassword);
}

TEST(AccountHistoryList, FindIsExact) {
    AccountHistory history;
    history.Add(L"Zhang", L"a");
    history.Add(L"张三", L"b");
    ASSERT_NE(nullptr, history.Find(L"Zhang"));
    EXPECT_EQ(L"a", history.Find(L"Zhang")->encodedPassword);
    EXPECT_EQ(L"b", history.Find(L"张三")->encodedPassword);
    EXPECT_EQ(nullptr, history.Find(L"zhang"));
    EXPECT_EQ(nullptr, history.Find(L"Zhang "));
    EXPECT_EQ(nullptr, history.Find(L""));
    history.Clear();
    EXPECT_EQ(0, history.count());
    EXPECT_EQ(nullptr, history.Find(L"Zhang"));
}

class AccountHistoryFile : public ::testing::Test {
protected:
    std::wstring file() const { return folder_.File(L"config.bin"); }
    Pairs LoadFile() const {
        AccountHistory history;
        history.SetFile(file());
        history.Load();
        return Contents(history);
    }
    // What adding every stored pair in order gives.
    Pairs LoadEveryKey() const {
        AccountHistory history;
        int count = profile::ParseCount(Read(file(), L"AccountCount"));
        for (int i = 1; i <= count; ++i) {
            history.Add(
                profile::ReadString(file(), L"HistoryAccount", (L"username" + std::to_wstring(i)).c_str(), L""),
                profile::ReadString(file(), L"HistoryAccount", (L"password" + std::to_wstring(i)).c_str(), L""));
        }
        return Contents(history);
    }

    TempFolder folder_;
};

TEST_F(AccountHistoryFile, MissingFileIsEmptyAndFirstSaveCreatesIt) {
    EXPECT_TRUE(LoadFile().empty());
    AccountHistory history;
    history.SetFile(file());
    history.Add(L"u", L"pw");
    history.Save();
    EXPECT_EQ(L"1", Read(file(), L"AccountCount"));
    EXPECT_EQ(L"u", Read(file(), L"username1"));
    EXPECT_TRUE(IsSealedPassword(Read(file(), L"password1")));
    EXPECT_EQ(L"pw", OpenStoredPassword(Read(file(), L"password1")).encodedPassword);
    EXPECT_EQ((Pairs{{L"u", L"pw"}}), LoadFile());
}

TEST_F(AccountHistoryFile, SaveAndLoadKeepEveryCharacterAndLength) {
    AccountHistory history;
    history.SetFile(file());
    const std::wstring longName(150, L'n');
    const std::wstring longPassword = L"c" + std::wstring(400, L'Z') + L"==";
    history.Add(L"张三", L"5Qa+G56CB");
    history.Add(L"김민수\xD83D\xDE00", L"x");
    history.Add(longName, longPassword);
    history.Save();
    EXPECT_EQ((Pairs{{L"张三", L"5Qa+G56CB"}, {L"김민수\xD83D\xDE00", L"x"}, {longName, longPassword}}), LoadFile());
}

TEST_F(AccountHistoryFile, EleventhAccountDropsTheOldest) {
    AccountHistory history;
    history.SetFile(file());
    for (int i = 1; i <= 10; ++i) history.Add(Name(i), Pass(i));
    history.Save();
    history.Clear();
    history.Load();
    history.Add(Name(11), Pass(11));
    history.Save();
    EXPECT_EQ(L"10", Read(file(), L"AccountCount"));
    EXPECT_EQ(Name(2), Read(file(), L"username1"));
    EXPECT_EQ(Name(11), Read(file(), L"username10"));
    EXPECT_EQ(L"<none>", Read(file(), L"username11"));
}

TEST_F(AccountHistoryFile, StaleHigherKeysAreLeftAndIgnored) {
    AccountHistory history;
    history.SetFile(file());
    for (int i = 1; i <= 5; ++i) history.Add(Name(i), Pass(i));
    history.Save();
    AccountHistory shorter;
    shorter.SetFile(file());
    shorter.Add(L"a", L"pa");
    shorter.Add(L"b", L"pb");
    shorter.Save();
    EXPECT_EQ(L"2", Read(file(), L"AccountCount"));
    EXPECT_EQ(Name(3), Read(file(), L"username3"));
    EXPECT_EQ((Pairs{{L"a", L"pa"}, {L"b", L"pb"}}), LoadFile());
}

TEST_F(AccountHistoryFile, HandEditedFiles) {
    struct Row {
        const char* name;
        std::string text;
        Pairs expected;
    } rows[] = {
        {"duplicate keeps its last place and password",
         Section("3", {{1, L"张三"}, {2, L"b"}, {3, L"张三"}}),
         {{L"b", L"p2"}, {L"张三", L"p3"}}},
        {"count below the keys", Section("2", {{1, L"a"}, {2, L"b"}, {3, L"c"}}), {{L"a", L"p1"}, {L"b", L"p2"}}},
        {"missing keys below a sound count are empty entries",
         Section("4", {{2, L"b"}, {4, L"d"}}),
         {{L"", L""}, {L"b", L"p2"}, {L"", L""}, {L"d", L"p4"}}},
        // Damaged counts: the stored accounts are recovered, gaps and all.
        {"count above every key", Section("3", {{2, L"b"}}), {{L"b", L"p2"}}},
        {"negative count", Section("-3", {{1, L"a"}}), {{L"a", L"p1"}}},
        {"non-numeric count", Section("many", {{1, L"a"}}), {{L"a", L"p1"}}},
        {"digits then text", Section("1x", {{1, L"a"}, {2, L"b"}}), {{L"a", L"p1"}, {L"b", L"p2"}}},
        // 0 is a well-formed count: no account, whatever keys an earlier save left.
        {"zero with keys", Section("0", {{1, L"a"}, {3, L"c"}}), {}},
        {"zero with blanks", Section(" 0 ", {{1, L"a"}}), {}},
        {"no count", "[HistoryAccount]\r\nusername1=a\r\n", {{L"a", L""}}},
        {"look-alike keys are not entries",
         "[HistoryAccount]\r\nAccountCount=x\r\nusername01=z\r\nusernamex=y\r\n"
         "username2=b\r\n",
         {{L"b", L""}}},
        {"no keys at all", Section("7", {}), {}},
    };
    for (const Row& row : rows) {
        WriteBytes(file(), row.text);
        EXPECT_EQ(row.expected, LoadFile()) << row.name;
    }
}

TEST_F(AccountHistoryFile, HugeCountLoadsOnlyWhatSurvives) {
    // Keys 1..12 exist, the count claims millions: the newest ten stored accounts.
    std::vector<std::pair<int, std::wstring>> names;
    Pairs newestTen;
    for (int i = 1; i <= 12; ++i) {
        names.emplace_back(i, Name(i));
        if (i > 2) newestTen.emplace_back(Name(i), L"p" + std::to_wstring(i));
    }
    for (const char* count : {"5000000", "2147483647", "99999999999999999999"}) {
        WriteBytes(file(), Section(count, names));
        EXPECT_EQ(newestTen, LoadFile()) << count;
    }
    // The top key exists, so the count is sound: the walk finds the keys and stops.
    names = {{1, L"a"}, {4999995, L"x"}, {4999996, L"y"}, {4999998, L"x"}, {5000000, L"z"}};
    WriteBytes(file(), Section("5000000", names));
    // Newest first: 5000000 z, 4999999 "", 4999998 x, 4999997 "", 4999996 y, 4999995 x (an older
    // duplicate, skipped), then 4999994 down to 4999990 empty.
    EXPECT_EQ((Pairs{{L"", L""},
                     {L"", L""},
                     {L"", L""},
                     {L"", L""},
                     {L"", L""},
                     {L"y", L"p4999996"},
                     {L"", L""},
                     {L"x", L"p4999998"},
                     {L"", L""},
                     {L"z", L"p5000000"}}),
              LoadFile());
}

TEST_F(AccountHistoryFile, LoadEqualsAddingEveryStoredPair) {
    // Random files with few distinct names, empty ones and gaps: the shortcut must agree with
    // reading every key.
    std::mt19937 random(12345);
    const std::wstring pool[] = {L"", L"a", L"b", L"c", L"张三", L"A", L"d", L"e", L"f", L"g", L"h", L"i", L"j", L"k"};
    for (int round = 0; round < 40; ++round) {
        // Sound counts: the key numbered by the count exists (stale keys above it may too).
        int count = 1 + static_cast<int>(random() % 30);
        std::vector<std::pair<int, std::wstring>> names;
        for (int i = 1; i <= count + 3; ++i) {
            if (random() % 6 == 0 && i != count) continue;  // gap
            names.emplace_back(i, pool[random() % (round % 2 ? 5 : 14)]);
        }
        WriteBytes(file(), Section(std::to_string(count), names));
        EXPECT_EQ(LoadEveryKey(), LoadFile()) << "round " << round;
    }
}

TEST_F(AccountHistoryFile, AnyDamagedCountLoadsWhatTheSoundFileHolds) {
    std::mt19937 random(2024);
    const std::wstring pool[] = {L"alice", L"bob", L"张三", L"Bob", L"d", L"e", L"f",
                                 L"g",     L"h",   L"i",    L"j",   L"k", L"l"};
    for (int round = 0; round < 30; ++round) {
        // A history as the dialog writes it, with other settings around it.
        WriteBytes(file(), "[cloud_client]\r\nusername=alice\r\nautologin=true\r\n");
        {
            AccountHistory history;
            history.SetFile(file());
            const int adds = 1 + static_cast<int>(random() % 15);
            for (int i = 0; i < adds; ++i) history.Add(pool[random() % 13], L"pw" + std::to_wstring(random() % 100));
            history.Save();
        }
        const Pairs sound = LoadFile();
        const std::wstring count = Read(file(), L"AccountCount");
        const std::wstring damaged[] = {L"",
                                        L"-5",
                                        L"abc",
                                        L"2147483647",
                                        L"99999999999999999999",
                                        std::to_wstring(std::stoi(count) + 1 + static_cast<int>(random() % 1000)),
                                        L"1x",
                                        L"0x10",
                                        L"+1",
                                        L"1.5"};
        for (const std::wstring& value : damaged) {
            WritePrivateProfileStringW(L"HistoryAccount", L"AccountCount", value.empty() ? nullptr : value.c_str(),
                                       file().c_str());
            EXPECT_EQ(sound, LoadFile()) << "round " << round << " count '" << WideToUtf8(value) << "'";
        }
        // The next save writes a sound count again and leaves the other section alone.
        AccountHistory history;
        history.SetFile(file());
        history.Load();
        history.Add(L"new", L"pn");
        history.Save();
        EXPECT_EQ(std::to_wstring(history.count()), Read(file(), L"AccountCount"));
        EXPECT_EQ(Contents(history), LoadFile());
        EXPECT_EQ(L"alice", profile::ReadString(file(), L"cloud_client", L"username", L""));
        EXPECT_EQ(L"true", profile::ReadString(file(), L"cloud_client", L"autologin", L""));
    }
}

TEST_F(AccountHistoryFile, HistoryAndCredentialsShareTheUnicodeFile) {
    AccountHistory history;
    history.SetFile(file());
    history.Add(L"\xD55C\xAE00", L"YQQ==");
    history.Save();
    EXPECT_EQ("\xFF\xFE", ReadBytes(file()).substr(0, 2));
    EXPECT_EQ((Pairs{{L"\xD55C\xAE00", L"YQQ=="}}), LoadFile());
}

}  // namespace
