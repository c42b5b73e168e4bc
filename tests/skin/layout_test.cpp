// Layout of nested layouts: fixed and stretching children, padding (negative too), inset,
// child padding and floating controls, at 100 % and 150 %.
#include "skin_host.h"

#include <gtest/gtest.h>

using namespace DuiLib;

namespace {

const wchar_t kLayout[] =
    LR"(<Window>
<VerticalLayout name="root" inset="10,10,10,10" childpadding="5">
  <Control name="a" height="20"/>
  <Control name="b"/>
  <HorizontalLayout name="row" height="30" childpadding="4">
    <Control name="c" width="50"/>
    <Control name="d"/>
    <Control name="e" width="16" height="16" padding="-25,4,0,4"/>
    <Control name="f" width="40" padding="6,0,0,0"/>
    <Control name="hidden" width="70" visible="false"/>
  </HorizontalLayout>
  <Control name="g" float="true" pos="5,5,25,15"/>
</VerticalLayout></Window>)";

struct Expect {
    const wchar_t* name;
    RECT at100;
    RECT at150;
};

TEST(Layout, NestedLayoutsAt100And150Percent) {
    const Expect rows[] = {
        {L"a", {10, 10, 390, 30}, {15, 15, 585, 45}},
        {L"b", {10, 35, 390, 255}, {15, 53, 585, 382}},
        {L"row", {10, 260, 390, 290}, {15, 390, 585, 435}},
        {L"c", {10, 260, 60, 290}, {15, 390, 90, 435}},
        {L"d", {64, 260, 345, 290}, {96, 390, 518, 435}},
        {L"e", {324, 264, 340, 280}, {486, 396, 510, 420}},  // pulled left by its negative padding
        {L"f", {350, 260, 390, 290}, {525, 390, 585, 435}},
        {L"g", {5, 5, 25, 15}, {8, 8, 38, 23}},
    };
    for (int pass = 0; pass < 2; ++pass) {
        CPaintManagerUI pm;
        if (pass == 1) pm.SetDPI(144);
        CDialogBuilder builder;
        CControlUI* root = builder.CreateFromString(kLayout, nullptr, &pm);
        ASSERT_NE(root, nullptr);
        pm.InitControls(root);
        root->SetPos(pass == 0 ? RECT{0, 0, 400, 300} : RECT{0, 0, 600, 450});
        for (const Expect& e : rows) {
            CControlUI* c = pm.FindSubControlByName(root, e.name);
            ASSERT_NE(c, nullptr) << e.name;
            RECT want = pass == 0 ? e.at100 : e.at150;
            RECT got = c->GetPos();
            EXPECT_TRUE(EqualRect(&got, &want)) << "pass " << pass << " " << e.name << ": " << got.left << ","
                                                << got.top << "," << got.right << "," << got.bottom;
        }
        delete root;
    }
}

TEST(Layout, TabLayoutShowsOnlyTheSelectedPage) {
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.CreateFromString(
        L"<TabLayout name=\"tabs\" selectedid=\"1\"><Control name=\"p0\"/><Control name=\"p1\"/><Control "
        L"name=\"p2\"/></TabLayout>",
        nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.InitControls(root);
    CTabLayoutUI* tabs = static_cast<CTabLayoutUI*>(root->GetInterface(DUI_CTR_TABLAYOUT));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_TRUE(tabs->SelectItem(2));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tabs->GetItemAt(i)->IsVisible(), i == 2) << i;
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_EQ(tabs->GetCurSel(), 2);
    EXPECT_EQ(root->GetInterface(DUI_CTR_HORIZONTALLAYOUT), nullptr);
    delete root;
}

TEST(Layout, ContainerIndexOperations) {
    CPaintManagerUI pm;
    CHorizontalLayoutUI box;
    box.SetManager(&pm, nullptr, false);
    CLabelUI* a = new CLabelUI;
    CLabelUI* b = new CLabelUI;
    CLabelUI* c = new CLabelUI;
    EXPECT_TRUE(box.Add(a));
    EXPECT_TRUE(box.Add(c));
    EXPECT_TRUE(box.AddAt(b, 1));
    EXPECT_FALSE(box.AddAt(b, 0));  // already a child
    CLabelUI* stray = new CLabelUI;
    EXPECT_FALSE(box.AddAt(stray, 9));  // index past the end
    delete stray;
    EXPECT_EQ(box.GetItemIndex(b), 1);
    EXPECT_EQ(b->GetParent(), &box);
    EXPECT_EQ(box.GetItemAt(5), nullptr);
    EXPECT_FALSE(box.RemoveAt(7));
    EXPECT_TRUE(box.Remove(b));
    EXPECT_EQ(box.GetCount(), 2);
    EXPECT_EQ(box.GetItemAt(1), c);
    EXPECT_FALSE(box.Remove(b));  // no longer a child (freed later by the manager)
}

TEST(Layout, ComboSelectionRules) {
    CPaintManagerUI pm;
    CComboUI combo;
    combo.SetManager(&pm, nullptr, false);
    for (const wchar_t* t : {L"alice", L"bob", L"carol"}) {
        CListLabelElementUI* item = new CListLabelElementUI;
        item->SetText(t);
        combo.Add(item);
    }
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_TRUE(combo.GetText().IsEmpty());
    EXPECT_TRUE(combo.SelectItem(1));
    EXPECT_EQ(combo.GetText(), L"bob");
    EXPECT_FALSE(combo.SelectItem(3));  // out of range: no item
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_TRUE(combo.SelectItem(2));
    EXPECT_TRUE(combo.RemoveAt(0));  // selection follows its item
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_EQ(combo.GetText(), L"carol");
    combo.RemoveAll();
    EXPECT_EQ(combo.GetCount(), 0);
    EXPECT_EQ(combo.GetCurSel(), -1);
}

}  // namespace
