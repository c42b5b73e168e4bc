// Which items leave the tab strip when each tab position closes. The splitters are told apart
// by the index in their name (their place when they were made): removing the splitter on the
// wrong side of a tab leaves the same pattern of items, only a different splitter, so the names
// are what pins it. The first splitter carries the strip's only negative padding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mainframe/tab_strip.h"
#include "ui/skin.h"

// The skin header brings in <windowsx.h> as the real library's does; the client's wrapper takes
// away the two macros that would rename the engine's DOM node methods.
#ifndef GET_X_LPARAM
#error "the skin header no longer brings in windowsx.h"
#endif
#if defined(GetFirstChild) || defined(GetNextSibling)
#error "ui/skin.h lets windowsx.h rename GetFirstChild/GetNextSibling"
#endif

using namespace DuiLib;

namespace {

// A strip with the skin's four fixed items and tabs for the browsers 1..tabCount.
struct StripWithTabs {
    CHorizontalLayoutUI layout;
    TabStrip strip;

    explicit StripWithTabs(int tabCount) {
        for (int i = 0; i < 4; ++i) layout.Add(new CControlUI);
        strip.Attach(&layout);
        for (int id = 1; id <= tabCount; ++id) strip.Add(id);
    }

    std::vector<std::wstring> Splitters() const {
        std::vector<std::wstring> names;
        for (int i = 0; i < layout.GetCount(); ++i) {
            std::wstring name = layout.GetItemAt(i)->GetName().GetData();
            if (name.rfind(L"tab_splitter", 0) == 0) names.push_back(name.substr(12));
        }
        return names;
    }

    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (int i = 4; i < layout.GetCount(); i += 3) ids.push_back(static_cast<int>(layout.GetItemAt(i)->GetTag()));
        return ids;
    }
};

struct Closing {
    int tabs;
    int closedId;                         // browser ids are 1..tabs in order: position closedId - 1
    int buttonIndex;                      // where its button was
    std::vector<std::wstring> splitters;  // left, by the index in their names
    std::vector<int> ids;                 // left, in strip order
};

// Buttons sit at 4, 7, 10, 13; splitters are made at 6, 9, 12.
const Closing kClosings[] = {
    {2, 2, 7, {}, {1}},                   // the last of two takes the splitter before it
    {3, 2, 7, {L"6"}, {1, 3}},            // second-to-last: the splitter after it goes
    {3, 3, 10, {L"6"}, {1, 2}},           // last: the splitter before it goes
    {4, 2, 7, {L"6", L"12"}, {1, 3, 4}},  // the padded first splitter stays
    {4, 3, 10, {L"6", L"9"}, {1, 2, 4}},  // second-to-last
    {4, 4, 13, {L"6", L"9"}, {1, 2, 3}},  // last
    {4, 1, 4, {L"9", L"12"}, {2, 3, 4}},  // first (the window never does, the strip can)
    {1, 1, 4, {}, {}},                    // the only tab takes no fixed item with it
};

}  // namespace

TEST(TabStrip, EachClosedPositionTakesItsOwnSplitter) {
    for (const Closing& c : kClosings) {
        SCOPED_TRACE(testing::Message() << c.tabs << " tabs, closing browser " << c.closedId);
        StripWithTabs s(c.tabs);
        EXPECT_EQ(c.buttonIndex, s.strip.Remove(c.closedId - 1));
        int left = static_cast<int>(c.ids.size());
        EXPECT_EQ(4 + 2 * left + (left > 0 ? left - 1 : 0), s.layout.GetCount());
        EXPECT_EQ(c.splitters, s.Splitters());
        EXPECT_EQ(c.ids, s.Ids());
        EXPECT_EQ(-1, s.strip.Remove(c.tabs - 1));  // the old last position holds no tab any more
    }
}

TEST(TabStrip, NoSkinStripMeansNoTabs) {
    TabStrip strip;
    strip.Add(1);
    strip.Select(4);
    strip.SetTitle(0, L"x");
    EXPECT_EQ(0, strip.Count());
    EXPECT_EQ(-1, strip.Remove(0));
}
