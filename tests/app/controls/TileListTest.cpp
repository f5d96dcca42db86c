// The multi-select tile layout driven by real mouse and key messages: the
// selection by mouse and keys, across insertions and removals, and its painting.
#include <memory>

#include "ControlsTestSupport.h"
#include "TileListUI.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using namespace ctltest;

namespace {

const char* const kSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="520,460">
  <Font name="tileItem.Font" face="Tahoma" size="12" />
  <Font face="Tahoma" size="12" default="true" />
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <TileList name="tiles" width="360" height="200" itemsize="84,92" vscrollbar="true" MutiSelect="true" SelectNoneClickNone="true" bkcolor="#FF303030" />
    <TileList name="single" width="360" height="100" itemsize="84,92" bkcolor="#FF303030" />
    <Button name="other" height="30" text="other" />
  </VerticalLayout>
</Window>
)";

const DWORD kLayoutBk = 0xFF303030;

// A tile as the media list builds one: thumbnail, name and time text.
CTileListItemUI* MakeTile(const std::string& name, int id) {
    auto* t = new CTileListItemUI;
    t->SetName(name + std::to_string(id));
    t->SetTag(static_cast<UINT_PTR>(id));
    t->SetText("clip" + std::to_string(id));
    t->SetTextColor(0xFFFFFFFF);
    t->SetTextPadding(RECT{2, 64, 2, 14});
    t->SetIcon("thumb.png", RECT{2, 2, 82, 62});
    t->SetExtraText("00:00:0" + std::to_string(id % 10));
    t->SetExtraTextPadding(RECT{2, 76, 2, 2});
    t->SetContextMenuUsed(true);
    return t;
}

class TileListTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddSolidImage(CTileListItemUI::kSelectedMark, 25, 25, kSelectedMarkColor);
        AddSolidImage("thumb.png", 80, 60, 0xFF4080C0);
        w = std::make_unique<TestWindow>(kSkin, "tiles");
        tiles = w->FindAs<CTileListUI>("tiles", "TileList");
        single = w->FindAs<CTileListUI>("single", "TileList");
        ASSERT_NE(tiles, nullptr);
        ASSERT_NE(single, nullptr);
        for (int i = 0; i < 12; ++i) tiles->Add(MakeTile("tile", i));
        for (int i = 0; i < 2; ++i) single->Add(MakeTile("one", i));
        w->pm().UpdateNow();
        w->rec.Clear();
    }
    void TearDown() override { w.reset(); }

    CControlUI* Tile(int i) { return tiles->GetItemAt(i); }
    POINT At(int i) { return TestWindow::Center(Tile(i)); }
    std::vector<int> Sel() { return tiles->GetSelectedItems(); }
    int Selects() { return w->rec.Count("itemselect", "tiles"); }
    // A click on tile i with Shift or Control held, in the message and in the key state.
    void ClickHeld(int i, int vk) {
        HeldKeys keys{vk};
        w->Click(At(i), vk == VK_SHIFT ? MK_SHIFT : MK_CONTROL);
    }
    static std::vector<int> V(std::initializer_list<int> l) { return std::vector<int>(l); }

    std::unique_ptr<TestWindow> w;
    CTileListUI* tiles = nullptr;
    CTileListUI* single = nullptr;
};

}  // namespace

TEST_F(TileListTest, ClickShiftClickAndControlClick) {
    w->Click(At(2));
    EXPECT_EQ(Sel(), V({2}));
    EXPECT_EQ(Selects(), 1);
    EXPECT_EQ(w->rec.Count("click", "tile2"), 1) << "the tile still works as a button";

    // Shift: the range from the anchor.
    ClickHeld(5, VK_SHIFT);
    EXPECT_EQ(Sel(), V({2, 3, 4, 5}));
    EXPECT_EQ(tiles->GetAnchor(), 2);
    EXPECT_EQ(Selects(), 2);

    // Control: takes one tile out, keeps the others; then puts it back.
    ClickHeld(3, VK_CONTROL);
    EXPECT_EQ(Sel(), V({2, 4, 5}));
    ClickHeld(7, VK_CONTROL);
    EXPECT_EQ(Sel(), V({2, 4, 5, 7}));
    EXPECT_EQ(tiles->GetAnchor(), 7);
    EXPECT_EQ(Selects(), 4);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(static_cast<ITileListItem*>(Tile(i)->GetInterface("ITileListItem"))->IsSelect(),
                  i == 2 || i == 4 || i == 5 || i == 7)
            << i;

    // A plain click makes one tile the only one; clicking it again changes
    // nothing and sends nothing.
    w->Click(At(4));
    EXPECT_EQ(Sel(), V({4}));
    EXPECT_EQ(Selects(), 5);
    w->Click(At(4));
    EXPECT_EQ(Sel(), V({4}));
    EXPECT_EQ(Selects(), 5);

    // Shift-click upwards from the anchor.
    ClickHeld(1, VK_SHIFT);
    EXPECT_EQ(Sel(), V({1, 2, 3, 4}));
}

TEST_F(TileListTest, ModifiersChangeNothingWithoutMultiSelect) {
    CControlUI* a = single->GetItemAt(0);
    CControlUI* b = single->GetItemAt(1);
    w->Click(a);
    {
        HeldKeys keys{VK_SHIFT, VK_CONTROL};
        w->Click(b, MK_SHIFT | MK_CONTROL);
    }
    EXPECT_EQ(single->GetSelectedItems(), V({1}));
    // Even asked to keep the others, a single-select layout holds one tile.
    EXPECT_TRUE(single->SelectItem(0, true, false));
    EXPECT_EQ(single->GetSelectedItems(), V({0}));
    ASSERT_TRUE(single->SelectItem(1));
    EXPECT_TRUE(single->SelectItems(V({1, 0}), false));
    EXPECT_EQ(single->GetSelectedItems(), V({0})) << "only the first of the request";
    // The empty part of a layout without "SelectNoneClickNone" keeps it.
    const RECT rc = single->GetPos();
    w->Click(POINT{rc.right - 10, rc.top + 10});
    EXPECT_EQ(single->GetSelectedItems(), V({0}));
    EXPECT_EQ(w->rec.Count("itemselect", "single"), 5);
}

TEST_F(TileListTest, RightClickSelectsAnUnselectedTileOnly) {
    w->Click(At(1));
    ClickHeld(2, VK_CONTROL);
    ASSERT_EQ(Sel(), V({1, 2}));
    w->rec.Clear();
    // On a selected tile the set stays for the context menu.
    w->RightClick(At(2));
    EXPECT_EQ(Sel(), V({1, 2}));
    EXPECT_EQ(Selects(), 0);
    EXPECT_EQ(w->rec.Count("menu", "tile2"), 1);
    // On an unselected one it becomes the only tile.
    w->RightClick(At(6));
    EXPECT_EQ(Sel(), V({6}));
    EXPECT_EQ(Selects(), 1);
    EXPECT_EQ(w->rec.Count("menu", "tile6"), 1);
}

TEST_F(TileListTest, DoubleClickReadsTheKeyStateAndNotifies) {
    w->DoubleClick(At(3));
    EXPECT_EQ(Sel(), V({3}));
    EXPECT_EQ(Selects(), 1) << "the double click repeats the selection: no second notification";
    EXPECT_EQ(w->rec.Count("dbbuttondown", "tile3"), 1);
    // The double click's own message carries no key flags; the key state does.
    {
        HeldKeys keys{VK_CONTROL};
        SendMessageW(w->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(At(7).x, At(7).y));
        SendMessageW(w->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(At(7).x, At(7).y));
    }
    EXPECT_EQ(Sel(), V({3, 7}));
}

TEST_F(TileListTest, KeysMoveTheSelectionAndScrollItIntoView) {
    w->Click(At(0));
    ASSERT_EQ(w->pm().GetFocus(), Tile(0));
    EXPECT_EQ(tiles->GetScrollPos(), 0);

    w->Key(VK_END);
    EXPECT_EQ(Sel(), V({11}));
    EXPECT_GT(tiles->GetScrollPos(), 0);
    RECT client = tiles->GetClientRect();
    EXPECT_GE(Tile(11)->GetPos().top, client.top);
    EXPECT_LE(Tile(11)->GetPos().bottom, client.bottom);

    w->Key(VK_PRIOR);
    EXPECT_EQ(tiles->GetScrollPos(), 0);
    w->Key(VK_NEXT);
    EXPECT_EQ(tiles->GetScrollPos(), tiles->GetScrollRange());
    EXPECT_EQ(Sel(), V({11})) << "paging moves only the view";
    w->Key(VK_UP);
    EXPECT_EQ(Sel(), V({10}));
    w->Key(VK_HOME);
    EXPECT_EQ(Sel(), V({0}));
    EXPECT_EQ(tiles->GetScrollPos(), 0);
    w->Key(VK_UP);
    EXPECT_EQ(Sel(), V({0})) << "nothing above the first tile";
    w->Key(VK_DOWN);
    w->Key(VK_DOWN);
    EXPECT_EQ(Sel(), V({2}));
    const int before = Selects();

    // Enter activates the one selected tile; Delete asks for deletion.
    w->Key(VK_RETURN);
    EXPECT_EQ(w->rec.Count("click", "tile2"), 1);
    w->Key(VK_DELETE);
    EXPECT_EQ(w->rec.Count("delete", "tiles"), 1);
    EXPECT_EQ(Sel(), V({2})) << "deleting is the panel's business";

    // Control+A selects everything; Enter then activates nothing.
    {
        HeldKeys keys{VK_CONTROL};
        w->Key('A');
    }
    EXPECT_EQ(Sel().size(), 12u);
    EXPECT_EQ(Selects(), before + 1);
    w->rec.Clear();
    w->Key(VK_RETURN);
    EXPECT_EQ(w->rec.Count("click"), 0);
    // 'A' alone is no shortcut.
    w->Click(At(5));
    w->Key('A');
    EXPECT_EQ(Sel(), V({5}));

    // Without multi-select Control+A does nothing.
    w->Click(single->GetItemAt(0));
    {
        HeldKeys keys{VK_CONTROL};
        w->Key('A');
    }
    EXPECT_EQ(single->GetSelectedItems(), V({0}));
}

TEST_F(TileListTest, ClickOnTheEmptyLayoutClearsAndTakesTheKeys) {
    w->Click(At(0));
    ClickHeld(3, VK_SHIFT);
    ASSERT_EQ(Sel().size(), 4u);
    const int before = Selects();
    // Right of the last column, left of the scroll bar.
    const RECT rc = tiles->GetPos();
    const POINT empty{Tile(3)->GetPos().right + 4, rc.top + 10};
    ASSERT_EQ(w->pm().FindControl(empty), tiles);
    w->Click(empty);
    EXPECT_TRUE(Sel().empty());
    EXPECT_EQ(Selects(), before + 1);
    w->Click(empty);
    EXPECT_EQ(Selects(), before + 1) << "nothing left to clear";
    // The layout has the focus now, so keys still work.
    EXPECT_EQ(w->pm().GetFocus(), tiles);
    w->Key(VK_DOWN);
    EXPECT_EQ(Sel(), V({1})) << "Down goes on from the anchor the cleared selection left";
}

TEST_F(TileListTest, WheelScrollsOneLine) {
    const POINT pt = At(1);
    // Three rows of 92 (the tile layout's own item size) in a view of 200.
    ASSERT_EQ(tiles->GetScrollRange(), 76);
    tiles->Add(MakeTile("tile", 12));
    w->pm().UpdateNow();
    w->Wheel(pt, -1);
    EXPECT_EQ(tiles->GetScrollPos(), tiles->GetVerticalScrollBar()->GetLineSize());
    EXPECT_EQ(tiles->GetScrollPos(), 92);
    w->Wheel(pt, -3);
    EXPECT_EQ(tiles->GetScrollPos(), 168) << "to the end of four rows";
    w->Wheel(pt, 1);
    EXPECT_EQ(tiles->GetScrollPos(), 76);
    w->Wheel(pt, 1);
    EXPECT_EQ(tiles->GetScrollPos(), 0);
}

TEST_F(TileListTest, SelectionFollowsInsertionAndRemoval) {
    ASSERT_TRUE(tiles->SelectItems(V({1, 3}), true));
    EXPECT_FALSE(tiles->SelectItems(V({3, 1}), true)) << "the same selection";
    EXPECT_FALSE(tiles->SelectItems(V({40, -1}), true)) << "no such tiles: nothing changes";
    EXPECT_EQ(Sel(), V({1, 3}));

    // A new tile at the front (a file just added) moves every number.
    tiles->AddAt(MakeTile("tile", 12), 0);
    EXPECT_EQ(Sel(), V({2, 4}));
    for (int i = 0; i < tiles->GetCount(); ++i)
        EXPECT_EQ(static_cast<ITileListItem*>(Tile(i)->GetInterface("ITileListItem"))->GetIndex(), i);

    // The panel deletes the selected tiles from the last to the first.
    std::vector<int> sel = Sel();
    for (auto it = sel.rbegin(); it != sel.rend(); ++it) tiles->RemoveAt(*it);
    EXPECT_TRUE(Sel().empty());
    EXPECT_EQ(tiles->GetCount(), 11);
    EXPECT_EQ(Tile(2)->GetName(), "tile2");
    EXPECT_EQ(static_cast<ITileListItem*>(Tile(10)->GetInterface("ITileListItem"))->GetIndex(), 10);

    // Taking one tile out of the selection is a change too.
    tiles->SelectItems(V({4, 5}), true);
    w->rec.Clear();
    EXPECT_TRUE(tiles->SelectItem(4, false));
    EXPECT_EQ(Sel(), V({5}));
    EXPECT_EQ(Selects(), 1);
    EXPECT_FALSE(tiles->SelectItem(4, false));
    EXPECT_EQ(Selects(), 1);

    tiles->RemoveAll();
    EXPECT_TRUE(Sel().empty());
    EXPECT_EQ(tiles->GetAnchor(), -1);
    w->Key(VK_END);   // keys on an empty layout do nothing
    EXPECT_FALSE(tiles->SelectItem(0));
}

TEST_F(TileListTest, PaintsSelectedMarkHotFrameAndTimeText) {
    const RECT rc = Tile(1)->GetPos();
    const RECT mark{rc.right - 30, rc.top + 32, rc.right - 5, rc.top + 57};
    EXPECT_EQ(w->CountColor(mark, kSelectedMarkColor), 0);
    w->Click(At(1));
    EXPECT_EQ(w->CountColor(mark, kSelectedMarkColor), 25 * 25);
    EXPECT_EQ(w->CountColor(rc, kSelectedMarkColor), 25 * 25) << "the mark is only where it belongs";
    w->Click(At(2));
    EXPECT_EQ(w->CountColor(mark, kSelectedMarkColor), 0);

    // The frame of the tile under the mouse, on all four edges, two pixels wide.
    const RECT r5 = Tile(5)->GetPos();
    const int midX = (r5.left + r5.right) / 2, midY = (r5.top + r5.bottom) / 2;
    EXPECT_EQ(w->Pixel(r5.left, midY) & 0xFFFFFF, kLayoutBk & 0xFFFFFF);
    w->Move(At(5));
    for (POINT p : {POINT{r5.left, midY}, POINT{r5.left + 1, midY}, POINT{r5.right - 1, midY}, POINT{midX, r5.top},
                    POINT{midX, r5.bottom - 2}})
        EXPECT_EQ(w->Pixel(p.x, p.y) & 0xFFFFFF, CTileListItemUI::kHotFrameColor & 0xFFFFFF) << p.x << "," << p.y;
    EXPECT_EQ(w->Pixel(r5.left + 2, r5.top + 63) & 0xFFFFFF, kLayoutBk & 0xFFFFFF) << "the frame is two pixels";
    // It follows the mouse.
    w->Move(At(6));
    EXPECT_EQ(w->Pixel(r5.left, midY) & 0xFFFFFF, kLayoutBk & 0xFFFFFF);

    // The time text, white in its own band below the name.
    auto* tile = static_cast<CTileListItemUI*>(Tile(4)->GetInterface("TileListItem"));
    const RECT r4 = tile->GetPos();
    const RECT band{r4.left + 2, r4.top + 79, r4.right - 2, r4.bottom - 2};
    EXPECT_GT(w->BrightPixels(band), 5);
    tile->SetExtraText("");
    EXPECT_EQ(w->BrightPixels(band), 0);
    tile->SetExtraText("-00:01:59");
    EXPECT_GT(w->BrightPixels(band), 5);

    // The thumbnail, also from a folder whose name has a quote in it.
    const RECT thumb{r4.left + 2, r4.top + 2, r4.left + 82, r4.top + 62};
    EXPECT_EQ(w->CountColor(thumb, 0xFF4080C0), 80 * 60);
    const std::string dir = w->Folder() + "O'Brien\\";
    ASSERT_TRUE(CreateDirectoryW(Charset::String2WString(dir).c_str(), nullptr));
    ASSERT_TRUE(WritePng(dir + "thumb.png", 8, 6, 0xFF20A040));
    tile->SetIcon(dir + "thumb.png", RECT{2, 2, 82, 62});
    EXPECT_EQ(w->CountColor(thumb, 0xFF20A040), 80 * 60);
}
