// Layouts: fixed and shared sizes, padding, child padding, insets, floating
// children, pages and tiles with scrolling. No window is needed: the tree
// is laid out directly.
#include "DuiTestSupport.h"

using namespace DuiLib;

namespace {

struct Tree {
    CPaintManagerUI pm;
    CControlUI* root = nullptr;
    explicit Tree(const std::string& xml, RECT rc) {
        CDialogBuilder b;
        root = b.CreateFromText(xml, "layout.xml", nullptr, &pm);
        EXPECT_NE(root, nullptr);
        EXPECT_TRUE(b.GetWarnings().empty()) << (b.GetWarnings().empty() ? "" : b.GetWarnings()[0]);
        if (root) {
            pm.AttachDialog(root);
            root->SetPos(rc);
        }
    }
    RECT Pos(const std::string& name) {
        CControlUI* c = pm.FindControl(name);
        EXPECT_NE(c, nullptr) << name;
        return c ? c->GetPos() : RECT{-1, -1, -1, -1};
    }
};

void ExpectRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b, const char* what) {
    EXPECT_TRUE(r.left == l && r.top == t && r.right == rr && r.bottom == b)
        << what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

TEST(DuiLayout, VerticalShareFixedAndFillWithPaddings) {
    Tree t("<VerticalLayout inset=\"10,5,10,5\" childpadding=\"4\">"
           "<Control name=\"a\" height=\"20\"/>"
           "<Control name=\"b\"/>"
           "<Control name=\"c\" height=\"30\" width=\"50\" padding=\"3,2,0,1\"/>"
           "<Control name=\"d\"/>"
           "<Control name=\"hidden\" height=\"500\" visible=\"false\"/>"
           "</VerticalLayout>",
           RECT{0, 0, 200, 200});
    // Height 190 inside; fixed 20 + 30 + paddings 3 + child paddings 12 = 65; 125 shared by b and d.
    ExpectRect(t.Pos("a"), 10, 5, 190, 25, "a");
    ExpectRect(t.Pos("b"), 10, 29, 190, 91, "b");
    ExpectRect(t.Pos("c"), 13, 97, 63, 127, "c");
    ExpectRect(t.Pos("d"), 10, 132, 190, 195, "d");
}

TEST(DuiLayout, HorizontalShareAndMinimum) {
    Tree t("<HorizontalLayout childpadding=\"10\">"
           "<Control name=\"a\" width=\"50\"/>"
           "<Control name=\"b\" minwidth=\"80\"/>"
           "<Control name=\"c\" height=\"10\"/>"
           "</HorizontalLayout>",
           RECT{0, 0, 200, 40});
    // 200 - 50 - 20 = 130 shared: b 65 would be below its minimum of 80.
    ExpectRect(t.Pos("a"), 0, 0, 50, 40, "a");
    ExpectRect(t.Pos("b"), 60, 0, 140, 40, "b");
    EXPECT_EQ(t.Pos("c").left, 150);
    EXPECT_EQ(t.Pos("c").bottom, 10);
}

TEST(DuiLayout, FloatingChildIsPlacedRelativeToItsParent) {
    Tree t("<VerticalLayout><Control name=\"a\" height=\"20\"/>"
           "<HorizontalLayout name=\"h\"><Control name=\"f\" float=\"true\" pos=\"5,6,25,16\"/></HorizontalLayout>"
           "</VerticalLayout>",
           RECT{100, 100, 300, 300});
    ExpectRect(t.Pos("f"), 105, 126, 125, 136, "f");
}

TEST(DuiLayout, TabShowsOnlyTheSelectedPage) {
    Tree t("<TabLayout name=\"tab\" selectedid=\"1\" inset=\"2,2,2,2\">"
           "<Control name=\"p0\"/><Control name=\"p1\"/><Control name=\"p2\"/></TabLayout>",
           RECT{0, 0, 100, 50});
    auto* tab = static_cast<CTabLayoutUI*>(t.pm.FindControl("tab")->GetInterface("TabLayout"));
    EXPECT_EQ(tab->GetCurSel(), 1) << "a page chosen in the skin before its pages exist";
    EXPECT_FALSE(t.pm.FindControl("p0")->IsVisible());
    EXPECT_TRUE(t.pm.FindControl("p1")->IsVisible());
    ExpectRect(t.Pos("p1"), 2, 2, 98, 48, "p1");
    EXPECT_TRUE(tab->SelectItem(2));
    EXPECT_FALSE(tab->SelectItem(3));
    EXPECT_EQ(tab->GetCurSel(), 2);
    EXPECT_FALSE(t.pm.FindControl("p1")->IsVisible());
    EXPECT_TRUE(t.pm.FindControl("p2")->IsVisible());
    // Hit testing skips the hidden pages.
    t.root->SetPos(RECT{0, 0, 100, 50});
    EXPECT_EQ(t.pm.FindControl(POINT{50, 25}), t.pm.FindControl("p2"));
    // Removing a page before the shown one keeps the shown page.
    tab->Remove(t.pm.FindControl("p0"));
    EXPECT_EQ(tab->GetCurSel(), 1);
    EXPECT_EQ(tab->GetItemAt(1)->GetName(), "p2");
}

TEST(DuiLayout, TilesFillRowsAndScroll) {
    std::string xml = "<TileLayout name=\"tiles\" itemsize=\"40,30\" childpadding=\"5\" vscrollbar=\"true\">";
    for (int i = 0; i < 10; ++i) xml += "<Control name=\"t" + std::to_string(i) + "\"/>";
    xml += "</TileLayout>";
    Tree t(xml, RECT{0, 0, 140, 70});
    auto* tiles = static_cast<CTileLayoutUI*>(t.pm.FindControl("tiles")->GetInterface("TileLayout"));
    // 140 wide less the 8-pixel bar holds 3 columns of 40 with 5 between;
    // 10 tiles make 4 rows, 4 * 30 + 3 * 5 = 135 high in a view of 70.
    EXPECT_EQ(tiles->GetActualColumns(), 3);
    const int cols = 3;
    EXPECT_EQ(tiles->GetScrollRange(), 65);
    ExpectRect(t.Pos("t0"), 0, 0, 40, 30, "t0");
    ExpectRect(t.Pos("t1"), 45, 0, 85, 30, "t1");
    RECT r = t.Pos("t" + std::to_string(cols));
    EXPECT_EQ(r.top, 35) << "second row";
    ASSERT_TRUE(tiles->GetVerticalScrollBar()->IsVisible());
    tiles->LineDown();
    EXPECT_EQ(tiles->GetScrollPos(), 35) << "one line is one row";
    EXPECT_EQ(t.Pos("t0").top, -35);
    tiles->EndDown();
    EXPECT_EQ(tiles->GetScrollPos(), tiles->GetScrollRange());
    tiles->EnsureVisible(t.pm.FindControl("t0"));
    EXPECT_EQ(tiles->GetScrollPos(), 0);
    // Fewer tiles than fit: no scrolling at all.
    tiles->RemoveAll();
    tiles->Add(new CControlUI);
    tiles->SetPos(RECT{0, 0, 140, 70});
    EXPECT_EQ(tiles->GetScrollRange(), 0);
    EXPECT_FALSE(tiles->GetVerticalScrollBar()->IsVisible());
}

TEST(DuiLayout, ContainerRemovalAndLookup) {
    Tree t("<VerticalLayout name=\"v\"><Label name=\"a\"/><Label name=\"b\"/></VerticalLayout>", RECT{0, 0, 50, 50});
    auto* v = static_cast<CContainerUI*>(t.root->GetInterface("Container"));
    CControlUI* a = t.pm.FindControl("a");
    EXPECT_EQ(v->GetItemIndex(a), 0);
    EXPECT_FALSE(v->Add(a)) << "a control is in a container only once";
    EXPECT_TRUE(v->Remove(a));
    EXPECT_EQ(t.pm.FindControl("a"), nullptr);
    EXPECT_EQ(v->GetCount(), 1);
    auto* c = new CLabelUI;
    c->SetName("c");
    EXPECT_TRUE(v->AddAt(c, 0));
    EXPECT_EQ(v->GetItemAt(0), c);
    EXPECT_EQ(c->GetManager(), &t.pm);
    EXPECT_EQ(t.pm.FindSubControlByName(v, "b"), v->GetItemAt(1));
    CLabelUI* stray = new CLabelUI;
    EXPECT_FALSE(v->AddAt(stray, 5)) << "an index past the end is refused";
    delete stray;
}

}  // namespace
