// The spin box: steps within the range, "spinvaluechanged" on every
// accepted change, disabling. No skin of the program has one, so what a
// user could type into it is left untested.
#include <memory>

#include "ControlsTestSupport.h"
#include "SpinButtonUI.h"

using namespace DuiLib;
using namespace ctltest;

namespace {

const char* const kSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="300,200">
  <Font face="Tahoma" size="12" default="true" />
  <VerticalLayout name="root" bkcolor="#FFFFFFFF" inset="10,10,10,10" childpadding="10">
    <SpinButton name="spin" width="80" height="22" maxrange="10" minrange="0" interval="3" />
    <SpinButton name="off" width="80" height="22" enabled="false" />
    <SpinButton name="fps" width="80" height="22" minrange="1" maxrange="30" />
  </VerticalLayout>
</Window>
)";

class SpinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = std::make_unique<TestWindow>(kSkin, "spin");
        spin = w->FindAs<CSpinButtonUI>("spin", "SpinButton");
        ASSERT_NE(spin, nullptr);
    }
    void TearDown() override { w.reset(); }
    int Changes() { return w->rec.Count("spinvaluechanged", "spin"); }

    std::unique_ptr<TestWindow> w;
    CSpinButtonUI* spin = nullptr;
};

}  // namespace

TEST_F(SpinButtonTest, RangeStepAndDisabling) {
    EXPECT_EQ(spin->GetEdit()->GetText(), "0");
    // A range that leaves out the initial 0 moves the value into it.
    auto* fps = w->FindAs<CSpinButtonUI>("fps", "SpinButton");
    ASSERT_NE(fps, nullptr);
    EXPECT_EQ(fps->GetValue(), 1);
    EXPECT_EQ(fps->GetEdit()->GetText(), "1");
    EXPECT_FALSE(spin->SetAttribute("interval", "three"));
    EXPECT_FALSE(spin->SetAttribute("interval", "0")) << "a step that cannot move is refused";
    EXPECT_EQ(spin->GetStep(), 3);

    // Defaults without attributes; a disabled box has a grey border and
    // its parts take no input.
    auto* off = w->FindAs<CSpinButtonUI>("off", "SpinButton");
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->GetEdit()->GetBorderColor(), CSpinButtonUI::kDisabledBorderColor);
    EXPECT_FALSE(off->GetUpButton()->IsEnabled());
    w->Click(off->GetUpButton());
    EXPECT_EQ(off->GetValue(), 0);
    off->SetEnabled(true);
    EXPECT_EQ(off->GetEdit()->GetBorderColor(), CSpinButtonUI::kEnabledBorderColor);
    w->Click(off->GetUpButton());
    EXPECT_EQ(off->GetValue(), 1);
    EXPECT_EQ(w->rec.Count("spinvaluechanged", "off"), 1);
}

TEST_F(SpinButtonTest, ButtonsStepInsideTheRange) {
    for (int expected : {3, 6, 9}) {
        w->Click(spin->GetUpButton());
        EXPECT_EQ(spin->GetValue(), expected);
    }
    EXPECT_EQ(Changes(), 3);
    EXPECT_EQ(spin->GetEdit()->GetText(), "9");
    // 9 + 3 would pass 10: ignored, silently.
    w->Click(spin->GetUpButton());
    EXPECT_EQ(spin->GetValue(), 9);
    EXPECT_EQ(Changes(), 3);
    for (int expected : {6, 3, 0}) {
        w->Click(spin->GetDownButton());
        EXPECT_EQ(spin->GetValue(), expected);
    }
    w->Click(spin->GetDownButton());
    EXPECT_EQ(spin->GetValue(), 0);
    EXPECT_EQ(Changes(), 6);
    EXPECT_EQ(spin->GetEdit()->GetText(), "0");

    // The program's own setter keeps to the range.
    spin->SetValue(42);
    EXPECT_EQ(spin->GetValue(), 10);
    EXPECT_EQ(spin->GetEdit()->GetText(), "10");
    EXPECT_EQ(Changes(), 7);

    // A step reaches the maximum exactly, and never one past it.
    spin->SetValue(7);
    w->Click(spin->GetUpButton());
    EXPECT_EQ(spin->GetValue(), 10);
    spin->SetValue(8);
    w->Click(spin->GetUpButton());
    EXPECT_EQ(spin->GetValue(), 8);
}
