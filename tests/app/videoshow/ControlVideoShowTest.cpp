// The record preview's picture control, built from a skin through its
// builder callback and checked in the window's back buffer.
#include <gtest/gtest.h>

#include <memory>

#include "ControlVideoShow.h"
#include "DuiTestWindow.h"
#include "TestSupport.h"

using namespace DuiLib;

namespace {

const char* const kSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="440,360">
  <VerticalLayout name="root" bkcolor="#FF102030">
    <ControlVideoShow name="picture" bkcolor="#FF00FF00" />
  </VerticalLayout>
</Window>
)";

class PictureDialog : public CZxBaseDialog {
public:
    explicit PictureDialog(const std::string& skin) {
        SetWindowClassName("ZxVideoShowControlTest");
        SetXMLPath(skin);
        SetBuilderCallback(&m_callback);
    }

private:
    CDialogBuilderCallbackExVideShow m_callback;
};

class PictureWindow : public duitest::WindowDriver {
public:
    PictureWindow() {
        const std::string folder = zxtest::MakeTempDir("videoshowctl");
        EXPECT_TRUE(zxtest::WriteFile(folder + "test.xml", kSkin));
        CSkinMgr::SetSkinRootPath(folder);
        dlg = std::make_unique<PictureDialog>(folder + "test.xml");
        Open(dlg.get(), "picture", WS_POPUP);
    }
    ~PictureWindow() { Close(); }
    std::unique_ptr<PictureDialog> dlg;
};

TEST(ControlVideoShow, ShowsItsBackgroundUntilItHasAPictureThenThePicture) {
    PictureWindow w;
    auto* pic = w.FindAs<CControlVideoShow>("picture", "ControlVideoShow");
    ASSERT_NE(pic, nullptr);
    EXPECT_FALSE(pic->HasPicture());
    EXPECT_EQ(pic->GetPictureBits()[0], 255) << "white until filled";
    EXPECT_EQ(w.Pixel(100, 100) & 0xFFFFFF, 0x00FF00u) << "the control's own background";

    // Top half of the picture red, bottom half blue (bottom-up rows).
    BYTE* bits = pic->GetPictureBits();
    for (int row = 0; row < CControlVideoShow::kHeight; ++row)
        for (int x = 0; x < CControlVideoShow::kWidth; ++x) {
            BYTE* p = bits + row * 1200 + x * 3;
            const bool top = row >= CControlVideoShow::kHeight / 2;
            p[0] = top ? 0 : 255;
            p[1] = 0;
            p[2] = top ? 255 : 0;
        }
    pic->SetHasPicture(true);
    pic->Invalidate();
    // The picture covers (20, 35) to (420, 335) of the window.
    EXPECT_EQ(w.Pixel(30, 45) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(w.Pixel(410, 325) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(w.Pixel(10, 10) & 0xFFFFFF, 0x00FF00u) << "outside the picture: the background";
}

}  // namespace
