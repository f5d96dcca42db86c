#include <windows.h>

#include <gtest/gtest.h>

#include "DataPreview.h"
#include "MediaListTestSupport.h"
#include "TestSupport.h"

namespace {

const int kW = 160, kH = 120;

class PreviewTest : public testing::Test {
protected:
    void SetUp() override {
        zxtest::RedirectUserFolders("preview");
        ASSERT_TRUE(m_preview.Init());
    }
    void TearDown() override { m_preview.UnInit(); }
    CDataPreview m_preview;
};

// Pausing, seeking, stopping and the volume go straight to the player (LibReplay's suite); these cases
// check what the module adds to it.
TEST_F(PreviewTest, PlaysARecordingAndTellsItsLengthAndWholeSeconds) {
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_RECORDPREVIEW), &m_preview);
    ASSERT_TRUE(m_preview.SetPreviewFile(mlt::SharedMedia("three", 3)));
    EXPECT_EQ(m_preview.GetTotalTime(), 3) << "read from the file before it plays";
    EXPECT_EQ(m_preview.GetPreviewTime(), 0);

    ASSERT_TRUE(m_preview.PlayPreview(7, kW, kH));
    std::vector<unsigned char> frame(mediatest::Stride(kW) * kH);
    int copied = 0;
    zxtest::WaitUntil([&] {
        copied = m_preview.QueryPreviewFrame(frame.data(), static_cast<int>(frame.size()));
        return copied > 0;
    });
    ASSERT_EQ(copied, static_cast<int>(frame.size()));
    EXPECT_EQ(mediatest::RedQuadrant(frame.data(), kW, kH), 0) << "the first second's picture";

    // The position is cut to whole seconds, not rounded: 1.75 s held while
    // paused (however slow the machine) is second 1.
    m_preview.PausePreview();
    m_preview.Player().Seek(1.75);
    double current = 0, total = 0;
    m_preview.Player().GetCurTm(current, total);
    ASSERT_DOUBLE_EQ(current, 1.75);
    EXPECT_EQ(m_preview.GetPreviewTime(), 1);

    m_preview.StopPreview();
    EXPECT_EQ(m_preview.QueryPreviewFrame(frame.data(), static_cast<int>(frame.size())), 0);
    EXPECT_EQ(m_preview.GetPreviewTime(), 0);
}

TEST_F(PreviewTest, RefusesANegativeSizeAndANullBuffer) {
    m_preview.SetPreviewFile(mlt::SharedMedia("one", 1));
    EXPECT_FALSE(m_preview.PlayPreview(0, -kW, kH));
    EXPECT_EQ(m_preview.QueryPreviewFrame(nullptr, 100), 0);
    EXPECT_EQ(m_preview.GetPreviewTime(), 0);
}

}  // namespace
