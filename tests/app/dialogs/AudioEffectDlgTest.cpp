// The sound-clip palette with the shipped clips: names without their
// leading digits, rows of four, the chosen clip played, and the window
// hidden and shown again rather than destroyed.
#include "DialogsTestSupport.h"
#include "ZxAudioEffectDlg.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using namespace dlgtest;

namespace {

TEST(AudioEffectDlg, ClipTitlesDropTheLeadingDigits) {
    EXPECT_EQ(CZxAudioEffectDlg::ClipTitle("C:\\p\\wav\\01掌声.wav"), "掌声");
    EXPECT_EQ(CZxAudioEffectDlg::ClipTitle("C:\\p\\wav\\掌声2.wav"), "掌声2") << "only leading digits go";
    EXPECT_EQ(CZxAudioEffectDlg::ClipTitle("C:\\p\\wav\\007 bell.wav"), " bell");
    EXPECT_EQ(CZxAudioEffectDlg::ClipTitle("C:\\p\\wav\\1.2.wav"), ".2");
    EXPECT_EQ(CZxAudioEffectDlg::ClipTitle("C:\\p\\wav\\2024.wav"), "2024") << "digits alone stay";
}

TEST(AudioEffectDlg, ListsTheShippedClipsAndPlaysTheChosenOne) {
    FreshUserFolders("clips");
    std::vector<std::string> files;
    ASSERT_TRUE(Dir::FindAllFiles(files, Dir::GetZxPath(Dir::kPathResource) + "wav", "*.wav", Dir::kFindFiles));
    ASSERT_GE(files.size(), 8u) << "the program ships at least eight clips";

    OpenDialog<CZxAudioEffectDlg> w;
    EXPECT_EQ(w.dlg.GetClips(), files) << "in name order";
    auto* panel = w.FindAs<CContainerUI>("panelAudioEffect", "Container");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetCount(), static_cast<int>((files.size() + 3) / 4)) << "rows of four";
    for (size_t i = 0; i < files.size(); ++i) {
        CControlUI* btn = w.Find("audioeffect_" + std::to_string(i));
        ASSERT_NE(btn, nullptr);
        EXPECT_EQ(btn->GetText(), CZxAudioEffectDlg::ClipTitle(files[i]));
        EXPECT_EQ(btn->GetToolTip(), btn->GetText());
    }
    const RECT last = w.Find("audioeffect_7")->GetPos();
    RECT client;
    GetClientRect(w.hwnd(), &client);
    EXPECT_LE(last.bottom, client.bottom - 20) << "every clip fits the window";

    EXPECT_EQ(w.dlg.GetLastPlayed(), "");
    w.Click("audioeffect_2");
    EXPECT_EQ(w.dlg.GetLastPlayed(), files[2]);
    EXPECT_TRUE(w.dlg.GetLastPlayAccepted()) << "the sound system took the clip";
    w.Click("audioeffect_5");
    EXPECT_EQ(w.dlg.GetLastPlayed(), files[5]);

    // Hidden by its close button, shown again as the same window.
    const HWND hwnd = w.hwnd();
    w.Click("BtnClose");
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(w.dlg.ShowUnModalDlg(nullptr), hwnd);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(w.pm().GetRoot() != nullptr, true);
}

}  // namespace
