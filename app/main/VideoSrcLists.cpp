#include "KernelModules.h"
#include "LangUi.h"
#include "TileListUI.h"
#include "VideoSrcLists.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using namespace ThumbList;

namespace {

// A play mode's name on its button; an unknown mode (no name) leaves it.
void ShowModeOn(CPaintManagerUI* pm, const char* buttonName, const std::string& mode) {
    CControlUI* button = pm && !mode.empty() ? pm->FindControl(buttonName) : nullptr;
    if (button) button->SetText(mode);
}

}  // namespace

// ---- media files ----

CMediaListPanel::CMediaListPanel() : CThumbListPanel("VSMediaFile_", "VSMediaFile_ListItem_") {}

std::string CMediaListPanel::ModeName(int mode) {
    static const char* const kNames[4] = {"app.mode.in_order", "app.mode.repeat_all", "app.mode.repeat_one",
                                          "app.mode.shuffle"};
    return mode >= 0 && mode < 4 ? Lang::TextUtf8(kNames[mode]) : std::string();
}

void CMediaListPanel::ShowMode() {
    if (IDataMediaList* media = KernelModule<IDataMediaList>())
        ShowModeOn(m_pm, "VSMediaFile_btnListMode", ModeName(media->GetPlayMode()));
}

void CMediaListPanel::Start(CPaintManagerUI* pm) {
    CThumbListPanel::Start(pm);
    m_observer.emplace(this);
    IDataMediaList* media = KernelModule<IDataMediaList>();
    if (!media) return;
    media->ReportAllItems();
    ShowMode();
}

void CMediaListPanel::Stop() {
    m_observer.reset();
    CThumbListPanel::Stop();
    m_playing = nullptr;
}

void CMediaListPanel::OnNotify(TNotifyUI& msg, const std::string& name) {
    IDataMediaList* media = KernelModule<IDataMediaList>();
    if (!media) return;
    if (msg.sType == "click") {
        if (name == "VSMediaFile_btnAdd") {
            const auto files = ChooseFiles(
                LangUi::FileFilter({{"app.files.videos", L"*.mkv;*.asf;*.wmv;*.avi;*.mp4;*.mpg;*.mov;*.f4v;*.flv;"
                                                         L"*.rmvb;*.dat;*.ts"},
                                    {"app.files.all", L"*.*"}})
                    .c_str());
            if (!files.empty()) media->AddFiles(files);
        } else if (name == "VSMediaFile_btnDelete") {
            DeleteSelected();
        } else if (name == "VSMediaFile_btnStop") {
            media->Stop();
        } else if (name == "VSMediaFile_btnListMode") {
            const int mode = ModeMenu("VSMediaFile_btnListMode", ModeName, 4);
            if (mode >= 0) media->SetPlayMode(mode);
        }
    } else if (msg.sType == "dbbuttondown") {
        const int id = TileId(name);
        if (id < 0) return;
        if (!media->Play(id)) {
            ShowTip(Lang::TextUtf8("app.tip.not_playable").c_str());
            if (CTileListItemUI* tile = TileOf(msg.pSender)) tile->SetIcon(LangUi::Picture(kVideoInvalid), kIconRect);
        }
    } else if (msg.sType == "menu" && IsTile(name)) {
        PlaylistTileMenu(msg, [media](int id) { return media->GetItemPath(id); }, kVideoInvalid);
    } else if (msg.sType == "delete" && name == Group() + "tilelayout") {
        DeleteSelected();
    }
}

void CMediaListPanel::DeleteSelected() {
    IDataMediaList* media = KernelModule<IDataMediaList>();
    if (!media) return;
    bool refused = false;
    const std::vector<int> ids = RemoveSelectedTiles(media->GetCurrentItem(), refused);
    // One tip for the playing file, however many were chosen.
    if (refused) ShowTip(Lang::TextUtf8("app.tip.delete_playing").c_str());
    if (!ids.empty()) media->RemoveFiles(ids, false);
}

void CMediaListPanel::OnTileRemoved(CControlUI* tile) {
    if (tile == m_playing) m_playing = nullptr;
}

void CMediaListPanel::RestorePlayingTile() {
    if (!m_playing) return;
    IDataMediaList* media = KernelModule<IDataMediaList>();
    m_playing->SetExtraText(Hms(media ? media->GetItemDuration(static_cast<int>(m_playing->GetTag())) : 0));
    m_playing->Invalidate();
    m_playing = nullptr;
}

void CMediaListPanel::OnItem(int id, const std::string&, const std::string& thumbPath, bool added) {
    if (!m_pm) return;
    IDataMediaList* media = KernelModule<IDataMediaList>();
    std::string title;
    if (media) media->GetItemTitle(id, title);
    LoadThumbnail(thumbPath);
    CTileListItemUI* tile = AddTile(id, title, thumbPath, kTallTile, kTallTextPadding, added);
    tile->SetExtraTextPadding(kTimePadding);
    tile->SetExtraText(Hms(media ? media->GetItemDuration(id) : 0));
}

void CMediaListPanel::OnPosition(int, double seconds) {
    if (!m_pm || !m_playing) return;
    IDataMediaList* media = KernelModule<IDataMediaList>();
    const int duration = media ? media->GetItemDuration(static_cast<int>(m_playing->GetTag())) : 0;
    m_playing->SetExtraText(Hms(duration - static_cast<int>(seconds), "-"));
    m_playing->Invalidate();
}

void CMediaListPanel::OnPlaying(int id) {
    if (!m_pm) return;
    RestorePlayingTile();
    m_playing = id == -1 ? nullptr : TileByTag(id);
}

void CMediaListPanel::OnState(eMediaFileListPlayState state) {
    if (m_pm && state == MEDIALIST_STATE_STOPPED) RestorePlayingTile();
}

void CMediaListPanel::OnEnd() {
    if (IDataMediaList* media = KernelModule<IDataMediaList>()) media->PlayNextInterval();
}

// ---- slides ----

CSlideListPanel::CSlideListPanel() : CThumbListPanel("VSSlide_", "VSSlide_TileItem_") {}

std::string CSlideListPanel::ModeName(int mode) {
    static const char* const kNames[3] = {"app.mode.in_order", "app.mode.repeat_all", "app.mode.shuffle"};
    return mode >= 0 && mode < 3 ? Lang::TextUtf8(kNames[mode]) : std::string();
}

void CSlideListPanel::ShowMode() {
    if (IDataSlideList* slides = KernelModule<IDataSlideList>())
        ShowModeOn(m_pm, "VSSlide_btnPlayMode", ModeName(slides->GetPlayMode()));
}

void CSlideListPanel::Start(CPaintManagerUI* pm) {
    CThumbListPanel::Start(pm);
    m_observer.emplace(this);
}

void CSlideListPanel::Stop() {
    m_observer.reset();
    CThumbListPanel::Stop();
}

void CSlideListPanel::Load() {
    IDataSlideList* slides = KernelModule<IDataSlideList>();
    if (!slides) return;
    slides->LoadList();
    ShowMode();
}

void CSlideListPanel::OnNotify(TNotifyUI& msg, const std::string& name) {
    IDataSlideList* slides = KernelModule<IDataSlideList>();
    if (!slides) return;
    if (msg.sType == "click") {
        if (name == "VSSlide_btnAdd") {
            const auto files =
                ChooseFiles(LangUi::FileFilter({{"app.files.pictures", L"*.bmp;*.jpg;*.png;*.gif"}}).c_str());
            if (!files.empty()) slides->AddFiles(files);
        } else if (name == "VSSlide_btnDelete") {
            DeleteSelected();
        } else if (name == "VSSlide_btnStop") {
            slides->Stop();
        } else if (name == "VSSlide_btnPlayMode") {
            const int mode = ModeMenu("VSSlide_btnPlayMode", ModeName, 3);
            if (mode >= 0) slides->SetPlayMode(mode);
        }
    } else if (msg.sType == "dbbuttondown") {
        const int id = TileId(name);
        if (id >= 0) slides->Play(id);
    } else if (msg.sType == "menu" && IsTile(name)) {
        PlaylistTileMenu(msg, [slides](int id) { return slides->GetItemPath(id); }, kImageInvalid);
    } else if (msg.sType == "delete" && name == Group() + "tilelayout") {
        DeleteSelected();
    }
}

void CSlideListPanel::DeleteSelected() {
    IDataSlideList* slides = KernelModule<IDataSlideList>();
    if (!slides) return;
    bool refused = false;
    const std::vector<int> ids = RemoveSelectedTiles(-1, refused);
    if (!ids.empty()) slides->RemoveFiles(ids);
}

void CSlideListPanel::OnItemLoaded(int id, bool loaded, const std::string& path, const std::string& thumbPath,
                                   bool fromList) {
    if (!m_pm || !loaded || id < 0) return;
    LoadThumbnail(thumbPath);
    AddTile(id, File::GetFileNameWithoutExtension(path), thumbPath, kSlideTile, kSlideTextPadding, !fromList);
}

void CSlideListPanel::OnItemRemoved(int id, const std::string& path) {
    if (!m_pm) return;
    if (CTileListItemUI* tile = TileByTag(id)) tile->SetIcon(LangUi::Picture(kImageInvalid), kIconRect);
    if (!path.empty()) CImageMgr::RemoveImage(path);
}
