// The colour/picture button and the skin button, checked in pixels.
#include <memory>

#include "ControlsTestSupport.h"
#include "LiveButtonUI.h"
#include "SkinBtn.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using namespace ctltest;

namespace {

const char* const kSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300">
  <Font face="Tahoma" size="12" default="true" />
  <VerticalLayout name="root" bkcolor="#FFFFFFFF" inset="10,10,10,10" childpadding="10">
    <HorizontalLayout height="40" childpadding="10">
      <LiveButton name="color" width="60" icontype="color" iconcolor="#FFFF0000" textpadding="5,6,7,8" />
      <LiveButton name="gradient" width="60" icontype="color" isgradient="true" iconcolor="#FFFF0000" textpadding="5,6,7,8" />
      <LiveButton name="picture" width="60" textpadding="4,4,4,4" />
      <LiveButton name="missing" width="60" textpadding="4,4,4,4" foreimage="no_such_picture.png" />
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

    // The gradient flag leaves the area unfilled.
    CLiveButtonUI* g = Live("gradient");
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->IsGradient());
    EXPECT_EQ(w->CountColor(g->GetPos(), 0xFFFF0000), 0);
    EXPECT_EQ(w->CountColor(g->GetPos(), 0xFFFFFFFF), RectWidth(g->GetPos()) * RectHeight(g->GetPos()));
}

TEST_F(LiveButtonTest, PictureModeDrawsThePictureInsetByOnePixel) {
    // Half-transparent red: where the picture lies twice (the foreground
    // image over the icon area, then the picture inset by one pixel) it is
    // deeper than on the one-pixel ring.
    const std::string file = w->Folder() + "swatch.png";
    ASSERT_TRUE(WritePng(file, 16, 16, 0x80FF0000));
    CLiveButtonUI* b = Live("picture");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->IsPictureMode());
    const RECT rc = b->GetPos();
    const RECT icon{rc.left + 4, rc.top + 4, rc.right - 4, rc.bottom - 4};
    EXPECT_EQ(w->CountColor(rc, 0xFFFFFFFF), RectWidth(rc) * RectHeight(rc)) << "no picture yet";

    b->SetForeImage(file);
    EXPECT_EQ(b->FindForeImageFile(), file);
    const DWORD outside = w->Pixel(icon.left - 1, icon.top + 10);
    const DWORD ring = w->Pixel(icon.left, icon.top + 10);
    const DWORD inner = w->Pixel(icon.left + 1, icon.top + 10);
    const DWORD centre = w->Pixel((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
    EXPECT_EQ(outside & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(R(ring), 255);
    EXPECT_NEAR(G(ring), 127, 3);
    EXPECT_NEAR(G(inner), 63, 4);
    EXPECT_EQ(inner, centre);
    EXPECT_NEAR(G(w->Pixel(icon.right - 1, icon.bottom - 1)), 127, 3);
    EXPECT_NEAR(G(w->Pixel(icon.right - 2, icon.bottom - 2)), 63, 4);

    // A name relative to the skin folder works too.
    b->SetForeImage("swatch.png");
    EXPECT_EQ(b->FindForeImageFile(), file);
    EXPECT_NEAR(G(w->Pixel(icon.left + 1, icon.top + 10)), 63, 4);

    // A picture that is gone from the disk is no longer drawn inset.
    ASSERT_TRUE(File::RemoveFile(file));
    EXPECT_EQ(b->FindForeImageFile(), "");
    b->Invalidate();
    EXPECT_NE(G(w->Pixel(icon.left + 1, icon.top + 10)), 63);
}

TEST_F(LiveButtonTest, MissingPictureDrawsNothing) {
    CLiveButtonUI* b = Live("missing");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->FindForeImageFile(), "");
    const RECT rc = b->GetPos();
    EXPECT_EQ(w->CountColor(rc, 0xFFFFFFFF), RectWidth(rc) * RectHeight(rc));
    // A hot image that cannot be drawn falls back to the normal one.
    AddSolidImage("live_normal.png", 4, 4, 0xFF00FF00);
    b->SetNormalImage("live_normal.png");
    b->SetHotImage("no_such_hot.png");
    w->Move(TestWindow::Center(b));
    EXPECT_EQ(w->CountColor(rc, 0xFF00FF00), RectWidth(rc) * RectHeight(rc));
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
