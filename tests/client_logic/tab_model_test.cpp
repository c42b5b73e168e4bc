// The tab model alone: which tab is current after opening, clicking and closing tabs, in the
// cases the main window meets (tabs opened from one another, closed in any order).
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "mainframe/tab_logic.h"

namespace {

std::vector<int> Order(const TabModel& model) {
    std::vector<int> ids;
    for (int p = 0; p < model.Count(); ++p) ids.push_back(model.IdAt(p));
    return ids;
}

// Tabs opened one after another, each from the one before (as popups are).
TabModel Opened(std::initializer_list<int> ids) {
    TabModel model;
    for (int id : ids) model.Open(id);
    return model;
}

TEST(TabModel, OpeningAppendsAndRemembersWhereItCameFrom) {
    TabModel model;
    EXPECT_EQ(-1, model.Current());
    EXPECT_EQ(-1, model.FirstId());
    model.Open(11);
    EXPECT_EQ(11, model.Current());
    EXPECT_EQ(-1, model.Previous());  // the first tab comes from nowhere
    model.Open(12);
    model.Open(13);
    EXPECT_EQ((std::vector<int>{11, 12, 13}), Order(model));
    EXPECT_EQ(13, model.Current());
    EXPECT_EQ(12, model.Previous());
    EXPECT_EQ(11, model.FirstId());
    EXPECT_EQ(2, model.PositionOf(13));
    EXPECT_EQ(-1, model.PositionOf(99));
    EXPECT_EQ(-1, model.IdAt(3));
    EXPECT_EQ(-1, model.IdAt(-1));
}

TEST(TabModel, ClickSelectsAndForgetsTheTabToReturnTo) {
    TabModel model = Opened({1, 2, 3});
    EXPECT_FALSE(model.Click(3));  // already current: the tab to return to stays
    EXPECT_EQ(2, model.Previous());
    EXPECT_FALSE(model.Click(0));  // the skin's own items carry no id
    EXPECT_FALSE(model.Click(-1));
    EXPECT_EQ(3, model.Current());
    EXPECT_TRUE(model.Click(1));
    EXPECT_EQ(1, model.Current());
    EXPECT_EQ(-1, model.Previous());
    // Going into the first tab from a module button keeps what there is to return to.
    model.Open(4);
    model.SetCurrent(model.FirstId());
    EXPECT_EQ(1, model.Current());
    EXPECT_EQ(1, model.Previous());
}

TEST(TabModel, ClosingTheSelectedTabSelectsItsNeighbour) {
    // The last of three, selected by a click: the second.
    TabModel last = Opened({1, 2, 3});
    last.Click(2);
    last.Click(3);
    EXPECT_EQ(2, last.Close(3));
    EXPECT_EQ(2, last.Current());
    EXPECT_EQ((std::vector<int>{1, 2}), Order(last));
    // The selected middle one: the former third, which takes its place.
    TabModel middle = Opened({1, 2, 3});
    middle.Click(2);
    EXPECT_EQ(1, middle.Close(2));
    EXPECT_EQ(3, middle.Current());
    EXPECT_EQ((std::vector<int>{1, 3}), Order(middle));
}

TEST(TabModel, ClosingAnotherTabKeepsTheSelection) {
    TabModel before = Opened({1, 2, 3, 4});
    before.Click(3);
    EXPECT_EQ(1, before.Close(2));  // before the current one
    EXPECT_EQ(3, before.Current());
    EXPECT_EQ(2, before.Close(4));  // after it
    EXPECT_EQ(3, before.Current());
    EXPECT_EQ((std::vector<int>{1, 3}), Order(before));
}

TEST(TabModel, ANewTabClosedReturnsToTheTabItWasOpenedFrom) {
    // A popup of the first tab closing itself: back to the first tab.
    TabModel popup = Opened({1, 2});
    EXPECT_EQ(1, popup.Close(2));
    EXPECT_EQ(1, popup.Current());
    // Opened from the middle of the strip, it returns there, not to a neighbour.
    TabModel fromMiddle = Opened({1, 2, 3});
    fromMiddle.Click(2);
    fromMiddle.Open(4);
    EXPECT_EQ(3, fromMiddle.Close(4));
    EXPECT_EQ(2, fromMiddle.Current());
    // Closing some other tab while the new one is current also goes back to where it came from.
    TabModel other = Opened({1, 2, 3});
    EXPECT_EQ(0, other.Close(1));
    EXPECT_EQ(2, other.Current());
    // After a click there is nothing to return to: the neighbour rule applies.
    TabModel clicked = Opened({1, 2, 3});
    clicked.Click(1);
    clicked.Click(3);
    EXPECT_EQ(2, clicked.Close(3));
    EXPECT_EQ(2, clicked.Current());
}

TEST(TabModel, TheTabToReturnToMayBeGone) {
    // b opened from a, a from the first tab; a closes first, then b.
    TabModel model = Opened({1, 10, 20});
    EXPECT_EQ(1, model.Close(10));  // a was the tab to return to: its place goes to b
    EXPECT_EQ(20, model.Current());
    EXPECT_EQ(10, model.Previous());  // remembered, but no tab any more
    EXPECT_EQ(1, model.Close(20));    // b, the last: the tab before it
    EXPECT_EQ(1, model.Current());
    EXPECT_EQ((std::vector<int>{1}), Order(model));
}

TEST(TabModel, ClosingWhatHasNoTab) {
    TabModel model = Opened({1, 2, 3, 4});
    model.Click(1);
    model.Click(4);  // nothing to return to
    EXPECT_EQ(-1, model.Close(99));
    EXPECT_EQ(4, model.Current());
    EXPECT_EQ(4, model.Count());
    // With a tab to return to, that one is selected even when the id to close has no tab.
    model.Open(5);
    EXPECT_EQ(-1, model.Close(99));
    EXPECT_EQ(4, model.Current());
    EXPECT_EQ(5, model.Count());
    // The last tab of all (the window never closes the first one): nothing is current.
    TabModel only = Opened({7});
    EXPECT_EQ(0, only.Close(7));
    EXPECT_EQ(0, only.Count());
    EXPECT_EQ(-1, only.Current());
}

TEST(TabModel, StripItemsOfPositions) {
    const struct {
        int item;
        int position;
    } rows[] = {{4, 0}, {7, 1}, {10, 2}, {31, 9}, {5, -1}, {6, -1}, {8, -1}, {3, -1}, {0, -1}, {-1, -1}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.position, tabs::PositionOfButton(row.item)) << row.item;
        if (row.position >= 0) {
            EXPECT_EQ(row.item, tabs::ButtonItem(row.position));
        }
    }
}

}  // namespace
