// Attribute lists and value parsing: the exact lists the tab strip applies, and malformed input.
#include "skin_host.h"

#include <gtest/gtest.h>

using namespace DuiLib;

namespace {

const wchar_t kSplitter[] =
    L"name=\"tab_splitter%d\" width=\"3\" height=\"24\" font=\"18\" align=\"left\" textpadding=\"0,0,0,2\" "
    L"padding=\"0, 0, 0, 0\" text=\"|\" textcolor=\"#FF999999\"";
const wchar_t kTab[] =
    L"align=\"left\" name=\"tab_tab%d\" padding=\"0,0,0,0\" width=\"181\" height=\"24\" "
    L"normalimage=\"newicon/mainfram/bg_header_normal.png\" hotimage=\"newicon/mainfram/bg_header_hover.png\" "
    L"\t\t\tpushedimage=\"newicon/mainfram/bg_header_Click.png\" "
    L"selectedimage=\"newicon/mainfram/bg_header_Click.png\" "
    L"group=\"ui_grp_webtab\"";
const wchar_t kClose[] =
    L"padding=\"-25,4,0,4\" name=\"tab_btnclose%d\" width=\"16\" height=\"16\" "
    L"normalimage=\"newicon/mainfram/icon_header_close_normal.png\" "
    L"hotimage=\"newicon/mainfram/icon_header_close_hover.png\" "
    L"pushedimage=\"newicon/mainfram/icon_header_close_Click.png\"";

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(AttributeList, TabStripListsApplyEveryAttribute) {
    CDuiString s;
    s.Format(kSplitter, 6);
    CLabelUI splitter;
    splitter.ApplyAttributeList(s);
    EXPECT_EQ(splitter.GetName(), L"tab_splitter6");
    EXPECT_EQ(splitter.GetFixedWidth(), 3);
    EXPECT_EQ(splitter.GetFixedHeight(), 24);
    EXPECT_EQ(splitter.GetFont(), 18);
    EXPECT_EQ(splitter.GetText(), L"|");
    EXPECT_EQ(splitter.GetTextColor(), 0xFF999999u);
    EXPECT_TRUE(SameRect(splitter.GetTextPadding(), RECT{0, 0, 0, 2}));
    EXPECT_TRUE(SameRect(splitter.GetPadding(), RECT{0, 0, 0, 0}));
    EXPECT_EQ(splitter.GetTextStyle() & (DT_CENTER | DT_RIGHT), 0u);  // left

    s.Format(kTab, 7);
    COptionUI tab;
    tab.ApplyAttributeList(s);
    EXPECT_EQ(tab.GetName(), L"tab_tab7");
    EXPECT_EQ(tab.GetFixedWidth(), 181);
    EXPECT_EQ(tab.GetFixedHeight(), 24);
    EXPECT_STREQ(tab.GetGroup(), L"ui_grp_webtab");  // after the tabs
    EXPECT_STREQ(tab.GetNormalImage(), L"newicon/mainfram/bg_header_normal.png");

    s.Format(kClose, 8);
    CButtonUI close;
    close.ApplyAttributeList(s);
    EXPECT_EQ(close.GetName(), L"tab_btnclose8");
    EXPECT_TRUE(SameRect(close.GetPadding(), RECT{-25, 4, 0, 4}));
    EXPECT_EQ(close.GetFixedWidth(), 16);
    EXPECT_EQ(close.GetFixedHeight(), 16);
}

TEST(AttributeList, MalformedListsStopWithoutHarm) {
    struct Row {
        const wchar_t* list;
        const wchar_t* name;  // expected name afterwards
        int width;
    } rows[] = {
        {L"", L"", 0},
        {L"   \t \r\n ", L"", 0},
        {L"name=\"a\" width=\"5", L"a", 0},             // unterminated value is dropped
        {L"name=\"a\" width 5 height=\"3\"", L"a", 0},  // missing '=' stops parsing
        {L"name=a width=\"5\"", L"", 0},                // unquoted value stops parsing
        {L"=\"x\" name=\"b\"", L"", 0},                 // empty name stops parsing
        {L"name='c'  width='7'", L"c", 7},              // single quotes are accepted
        {L"name=\"d\\\"e\" width=\"9\"", L"d\"e", 9},   // escaped quote inside a value
        {L"width=\"abc\" name=\"f\"", L"f", 0},         // non-numeric size reads as 0
        {L"unknown=\"1\" name=\"g\"", L"g", 0},         // unknown attributes are ignored
    };
    for (const Row& r : rows) {
        CButtonUI b;
        b.ApplyAttributeList(r.list);
        EXPECT_EQ(b.GetName(), r.name) << r.list;
        EXPECT_EQ(b.GetFixedWidth(), r.width) << r.list;
    }
    CButtonUI b;
    b.ApplyAttributeList(nullptr);
    EXPECT_TRUE(b.GetName().IsEmpty());
}

TEST(AttributeValues, ColoursRectsAndBooleans) {
    struct ColorRow {
        const wchar_t* text;
        DWORD value;
    } colors[] = {
        {L"#FF999999", 0xFF999999},  {L"#80112233", 0x80112233}, {L"#112233", 0xFF112233},
        {L"0xFF00FF00", 0xFF00FF00}, {L"", 0xFF000000},          {L"#zz", 0xFF000000},
    };
    for (const ColorRow& r : colors) EXPECT_EQ(CControlUI::ParseColor(r.text), r.value) << r.text;
    EXPECT_EQ(CControlUI::ParseColor(nullptr), 0u);

    struct RectRow {
        const wchar_t* text;
        RECT rc;
    } rects[] = {
        {L"0, 0, 0, 0", {0, 0, 0, 0}}, {L"-25,4,0,4", {-25, 4, 0, 4}}, {L" 1 ,2,  3, 4 ", {1, 2, 3, 4}},
        {L"5,6", {5, 6, 0, 0}},        {L"x,1,2,3", {0, 0, 0, 0}},     {L"1,2,3,4,5", {1, 2, 3, 4}},
    };
    for (const RectRow& r : rects) EXPECT_TRUE(SameRect(CControlUI::ParseRect(r.text), r.rc)) << r.text;
    EXPECT_TRUE(CControlUI::ParseBool(L"TRUE"));
    EXPECT_FALSE(CControlUI::ParseBool(L"1"));
    EXPECT_FALSE(CControlUI::ParseBool(nullptr));
}

TEST(DpiScale, PercentageFollowsDpi) {
    struct Row {
        int dpi, scale;
    } rows[] = {{96, 100}, {120, 125}, {144, 150}, {192, 200}, {200, 208}, {0, 50}};
    for (const Row& r : rows) {
        CDPI d;
        d.SetScale(r.dpi);
        EXPECT_EQ(d.GetScale(), r.scale) << r.dpi;
    }
    CDPI d;
    d.SetScale(144);
    EXPECT_EQ(d.Scale(74), 111);
    EXPECT_GT(CDPI::GetMainMonitorDPI(), 0);
}

TEST(DuiString, FormatFindAndCompare) {
    CDuiString s;
    s.Format(L"tab_tab%d", 10);
    EXPECT_EQ(s, L"tab_tab10");
    EXPECT_EQ(s.Find(L"tab_btnclose"), -1);
    EXPECT_EQ(s.Find(L"tab_tab"), 0);
    EXPECT_EQ(s.CompareNoCase(L"TAB_TAB10"), 0);
    EXPECT_EQ(s.Mid(4, 3), L"tab");
    EXPECT_EQ(s.Mid(40), L"");
    std::wstring longText(3000, L'x');
    s.Format(L"%s!", longText.c_str());
    EXPECT_EQ(s.GetLength(), 3001);
}

}  // namespace
