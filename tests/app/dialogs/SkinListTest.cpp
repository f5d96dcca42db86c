// The background skins: the scan of a skin folder (IDs, thumbnails made
// once and made again when damaged, unreadable pictures left out), applying
// a skin, and the skin manager's rows of thumbnails.
#include <set>

#include "DialogsTestSupport.h"
#include "SkinBtn.h"
#include "SkinList.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxVSkinMgrDlg.h"

using namespace DuiLib;
using namespace dlgtest;

namespace {

// Counts the background changes every window is told of.
struct SubjectSpy : ISkinImplementer {
    SubjectSpy() { CSkinMgr::AddImplementer(this); }
    ~SubjectSpy() override { CSkinMgr::RemoveImplementer(this); }
    void OnSubjectChanged(const std::string& image, DWORD) override {
        ++calls;
        last = image;
    }
    int calls = 0;
    std::string last;
};

bool Near(DWORD rgb, DWORD want, int tolerance = 24) {
    auto d = [&](int shift) { return std::abs(static_cast<int>((rgb >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)); };
    return d(16) <= tolerance && d(8) <= tolerance && d(0) <= tolerance;
}

int StoredCurID() {
    int id = -100;
    AfxGetConfigManager()->GetInt("SkinMgr", "CurID", id);
    return id;
}

// A folder of n skins bk_1 ... bk_n, each a different solid colour.
std::string SkinFolder(const std::string& name, int n) {
    const std::string folder = zxtest::MakeTempDir(name);
    for (int i = 1; i <= n; ++i)
        EXPECT_TRUE(WritePicture(folder + "bk_" + std::to_string(i) + ".png", 96, 64,
                                 0xFF000000 | static_cast<DWORD>(i * 0x1F3D57 & 0xFFFFFF)));
    return folder;
}

class SkinListTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        FreshUserFolders("skins_" + name);
        CSkinMgr::ChangeSubject("", static_cast<DWORD>(-1), false);
    }
    void TearDown() override {
        CSkinMgr::ChangeSubject("", static_cast<DWORD>(-1), false);
        ZxConfigSetFile(nullptr);
    }
};

TEST_F(SkinListTest, ScanReadsIDsAndMakesEachThumbnailOnce) {
    const std::string folder = zxtest::MakeTempDir("localskin");
    ASSERT_TRUE(WritePicture(folder + "bk_12.png", 300, 200, 0xFFD02020));
    ASSERT_TRUE(WritePicture(folder + "bk_3.jpg", 300, 200, 0xFF20A040));
    ASSERT_TRUE(WritePicture(folder + "bk_abc.bmp", 300, 200, 0xFF2040D0));
    ASSERT_TRUE(WritePicture(folder + "other.png", 300, 200, 0xFFFFFFFF));
    ASSERT_TRUE(zxtest::WriteFile(folder + "bk_7.png", "this is no picture"));

    CSkinList skins;
    EXPECT_EQ(skins.Scan(folder), 3);
    std::set<int> ids;
    for (const auto& s : skins.Skins()) ids.insert(s.first);
    EXPECT_EQ(ids, (std::set<int>{0, 3, 12})) << "bk_abc reads as 0, other.png and the damaged bk_7 are left out";
    ASSERT_EQ(skins.Skins().count(12), 1u);
    const SkinRecord twelve = skins.Skins().at(12);
    EXPECT_EQ(twelve.file, folder + "bk_12.png");
    EXPECT_EQ(twelve.thumbnail, CSkinList::ThumbnailFolder() + GenerateMD5(twelve.file) + ".jpg");
    EXPECT_EQ(File::GetParentPath(twelve.thumbnail),
              Dir::GetLongPath(Dir::GetZxPath(Dir::kPathThumbCache)) + "ZxVBkThumbnail\\");
    {
        Gdiplus::Bitmap thumb(String2WString(twelve.thumbnail).c_str());
        ASSERT_EQ(thumb.GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(thumb.GetWidth(), 98u);
        EXPECT_EQ(thumb.GetHeight(), 60u);
    }
    EXPECT_TRUE(Near(PictureCentre(twelve.thumbnail), 0xD02020));
    TImageInfo* shared = CImageMgr::GetImage(twelve.thumbnail);
    ASSERT_NE(shared, nullptr) << "the thumbnail is in the image manager under its path";
    EXPECT_EQ(shared->nX, 98);

    // The next scan uses the cached thumbnail as it is (a marked one stays),
    // and makes a damaged one again.
    ASSERT_TRUE(WritePicture(twelve.thumbnail, 98, 60, 0xFFF0E000));
    const std::string greenThumb = skins.Skins().at(3).thumbnail;
    ASSERT_TRUE(zxtest::WriteFile(greenThumb, "damaged"));
    EXPECT_EQ(skins.Scan(folder), 3);
    EXPECT_TRUE(Near(PictureCentre(twelve.thumbnail), 0xF0E000)) << "reused, not made again";
    EXPECT_TRUE(Near(PictureCentre(greenThumb), 0x20A040)) << "the damaged thumbnail was made again";

    // The unreadable picture is logged once, however often the list is read.
    const std::string log = ReadProgramLog();
    size_t lines = 0;
    for (size_t at = log.find("bk_7.png"); at != std::string::npos; at = log.find("bk_7.png", at + 1)) ++lines;
    EXPECT_EQ(lines, 1u) << log;
}

// Every open window takes the announced background (DuiGalleryInput); here
// what is announced and stored.
TEST_F(SkinListTest, ApplyingAnnouncesAndStoresTheSkinAndTheCurrentSkinAgainDoesNothing) {
    const std::string folder = zxtest::MakeTempDir("localskin");
    ASSERT_TRUE(WritePicture(folder + "bk_12.png", 300, 200, 0xFFFF0000));
    CSkinList skins;
    ASSERT_EQ(skins.Scan(folder), 1);
    EXPECT_EQ(skins.GetCurrentID(), -1);
    SubjectSpy spy;

    skins.Apply(12);
    EXPECT_EQ(spy.calls, 1);
    EXPECT_EQ(spy.last, folder + "bk_12.png");
    EXPECT_EQ(StoredCurID(), 12);

    // The current skin again: no change announced, nothing written.
    AfxGetConfigManager()->SetInt("SkinMgr", "CurID", 99);
    skins.Apply(12);
    EXPECT_EQ(spy.calls, 1);
    EXPECT_EQ(StoredCurID(), 99);

    // An ID without a skin takes the background away.
    skins.Apply(5);
    EXPECT_EQ(spy.calls, 2);
    EXPECT_EQ(spy.last, "");
    EXPECT_EQ(StoredCurID(), 5);
    EXPECT_EQ(skins.GetCurrentID(), 5);
}

TEST_F(SkinListTest, TheManagerShowsRowsOfFourAndAppliesAClickedSkin) {
    struct Case {
        int skins;
        std::vector<int> rowHeights;
    };
    for (const Case& c : {Case{8, {61, 61, 71}}, Case{7, {61, 61}}, Case{4, {61, 71}}, Case{0, {71}}}) {
        SCOPED_TRACE(c.skins);
        CSkinList skins;
        ASSERT_EQ(skins.Scan(SkinFolder("rows" + std::to_string(c.skins), c.skins)), c.skins);
        OpenDialog<CZxVSkinMgrDlg> w(&skins);
        auto* panel = w.FindAs<CContainerUI>("localskinpanel", "Container");
        ASSERT_NE(panel, nullptr);
        std::vector<int> heights;
        int buttons = 0;
        for (int i = 0; i < panel->GetCount(); ++i) {
            auto* row = static_cast<CContainerUI*>(panel->GetItemAt(i)->GetInterface("Container"));
            ASSERT_NE(row, nullptr);
            heights.push_back(row->GetFixedHeight());
            EXPECT_LE(row->GetCount(), 4);
            buttons += row->GetCount();
        }
        EXPECT_EQ(heights, c.rowHeights);
        EXPECT_EQ(buttons, c.skins);
    }

    // Eight skins, the third in use: its button is selected; a click on the
    // fifth applies and selects it (how a skin button paints its frame and
    // mark: LiveButtonTest.SkinButtonPaintsHotFrameAndSelectedMark).
    CSkinList skins;
    ASSERT_EQ(skins.Scan(SkinFolder("click", 8)), 8);
    skins.Apply(3);
    OpenDialog<CZxVSkinMgrDlg> w(&skins);
    auto* third = w.FindAs<CSkinBtn>("localskin_3", "SkinBtn");
    auto* fifth = w.FindAs<CSkinBtn>("localskin_5", "SkinBtn");
    ASSERT_TRUE(third && fifth);
    EXPECT_TRUE(third->IsSelected());
    EXPECT_FALSE(fifth->IsSelected());
    const RECT rc = fifth->GetPos();
    EXPECT_EQ(rc.right - rc.left, 98);
    EXPECT_EQ(rc.bottom - rc.top, 60);
    EXPECT_TRUE(Near(w.Pixel(rc.left + 20, rc.top + 20) & 0xFFFFFF, static_cast<DWORD>(5 * 0x1F3D57 & 0xFFFFFF), 30))
        << "the thumbnail is drawn";
    w.Click(fifth);
    EXPECT_EQ(skins.GetCurrentID(), 5);
    EXPECT_EQ(StoredCurID(), 5);
    EXPECT_TRUE(fifth->IsSelected());
    EXPECT_FALSE(third->IsSelected()) << "one skin in use";

    // The fixed backgrounds are shown but not stored.
    SubjectSpy spy;
    w.Click("btnchangeskin2");
    EXPECT_EQ(spy.last, CZxVSkinMgrDlg::FixedBackground(2));
    EXPECT_TRUE(File::IsExistFile(spy.last)) << "shipped with the program";
    EXPECT_EQ(spy.last, Dir::GetZxPath(Dir::kPathResource) + "skin\\2\\bk.png");
    EXPECT_EQ(StoredCurID(), 5);
    w.Click("btnchangeskin1");
    EXPECT_TRUE(File::IsExistFile(spy.last));
    EXPECT_EQ(spy.calls, 2);
}

TEST_F(SkinListTest, TheShippedSkinsAllHaveThumbnails) {
    CSkinList skins;
    EXPECT_GE(skins.Scan(CSkinList::DefaultFolder()), 6);
    for (const auto& s : skins.Skins()) {
        EXPECT_EQ(s.first, std::atoi(File::GetFileNameWithoutExtension(s.second.file).c_str() + 3));
        EXPECT_NE(CImageMgr::GetImage(s.second.thumbnail), nullptr) << s.second.file;
    }
}

}  // namespace
