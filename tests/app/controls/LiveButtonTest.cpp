// The colour button and the skin button, checked in pixels (the program
// uses no picture or gradient button and ships every state picture: those
// cases are left untested).
#include <memory>

#include "ControlsTestSupport.h"
#include "LiveButtonUI.h"
#include "SkinBtn.h"

using namespace DuiLib;
using namespace ctltest;

namespace {

const char* const kSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300">
  <Font face="Tahoma" size="12" default="true" />
  <VerticalLayout name="root" bkcolor="#FFFFFFFF" inset="10,10,10,10" childpadding="10">
    <HorizontalLayout height="40" childpadding="10">
      <LiveButton name="color" width="60" icontype="color" iconcolor="#FFFF0000" textpadding="5,6,7,8" />
    </HorizontalLayout>
    <HorizontalLayout name="skins" height="60" />
    <Button name="other" height="30" text="other" />
  </VerticalLayout>
</Window>
)";

class LiveButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddSolidImage(CSkinBtn::kSelectedMark, 25, 25, kSelectedMarkColor);
        w = std::make_unique<TestWindow>(kSkin, "live");
    }
    void TearDown() override { w.reset(); }
    CLiveButtonUI* Live(const std::string& name) { return w->FindAs<CLiveButtonUI>(name, "LiveButton"); }
    std::unique_ptr<TestWindow> w;
};

}  // namespace

TEST_F(LiveButtonTest, ColourModeFillsTheIconArea) {
    CLiveButtonUI* b = Live("color");
    ASSERT_NE(b, nullptr);
    const RECT rc = b->GetPos();
    const RECT icon{rc.left + 5, rc.top + 6, rc.right - 7, rc.bottom - 8};
    EXPECT_EQ(b->GetIconRect().left, icon.left);
    const int area = RectWidth(icon) * RectHeight(icon);
    EXPECT_EQ(w->CountColor(icon, 0xFFFF0000), area);
    EXPECT_EQ(w->CountColor(rc, 0xFFFF0000), area) << "nothing outside the icon area";
    b->SetIconColor(0xFF0000FF);
    EXPECT_EQ(w->CountColor(icon, 0xFF0000FF), area);
    // "iconcolor" from the program's side redraws as well.
    EXPECT_TRUE(b->SetAttribute("iconcolor", "#FF00FF00"));
    EXPECT_EQ(w->CountColor(icon, 0xFF00FF00), area);
}

TEST_F(LiveButtonTest, SkinButtonPaintsHotFrameAndSelectedMark) {
    auto* row = static_cast<CContainerUI*>(w->Find("skins"));
    ASSERT_NE(row, nullptr);
    CSkinBtn* btns[2];
    for (int i = 0; i < 2; ++i) {
        btns[i] = new CSkinBtn;
        btns[i]->SetName("localskin_" + std::to_string(i));
        btns[i]->SetFixedWidth(98);
        btns[i]->SetFixedHeight(60);
        btns[i]->SetGroup("localskin");
        row->Add(btns[i]);
    }
    btns[0]->Selected(true, false);
    EXPECT_NE(btns[0]->GetInterface("Option"), nullptr);
    w->pm().UpdateNow();

    const RECT r0 = btns[0]->GetPos();
    const RECT mark{r0.right - 30, r0.bottom - 30, r0.right - 5, r0.bottom - 5};
    EXPECT_EQ(w->CountColor(mark, kSelectedMarkColor), 25 * 25);
    EXPECT_EQ(w->CountColor(btns[1]->GetPos(), kSelectedMarkColor), 0);

    // The frame of the button under the mouse: two pixels, yellow.
    const RECT r1 = btns[1]->GetPos();
    const int midY = (r1.top + r1.bottom) / 2;
    EXPECT_EQ(w->CountColor(r1, CSkinBtn::kHotFrameColor), 0);
    w->Move(TestWindow::Center(btns[1]));
    EXPECT_EQ(w->Pixel(r1.left, midY) & 0xFFFFFF, CSkinBtn::kHotFrameColor & 0xFFFFFF);
    EXPECT_EQ(w->Pixel(r1.left + 1, midY) & 0xFFFFFF, CSkinBtn::kHotFrameColor & 0xFFFFFF);
    EXPECT_EQ(w->Pixel(r1.left + 2, midY) & 0xFFFFFF, 0xFFFFFFu);
    const int frame = 2 * RectWidth(r1) * 2 + 2 * (RectHeight(r1) - 4) * 2;
    EXPECT_EQ(w->CountColor(r1, CSkinBtn::kHotFrameColor), frame);

    // Clicking selects it as an option of its group.
    w->Click(btns[1]);
    EXPECT_TRUE(btns[1]->IsSelected());
    EXPECT_FALSE(btns[0]->IsSelected());
    EXPECT_EQ(w->CountColor(mark, kSelectedMarkColor), 0);
    EXPECT_EQ(w->rec.Count("click", "localskin_1"), 1);
}
