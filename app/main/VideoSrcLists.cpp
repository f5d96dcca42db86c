#include "KernelModules.h"
#include "TileListUI.h"
#include "VideoSrcLists.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using namespace ThumbList;

// ---- media files ----

CMediaListPanel::CMediaListPanel() : CThumbListPanel("VSMediaFile_", "VSMediaFile_ListItem_") {}

const char* CMediaListPanel::ModeName(int mode) {
    static const char* const kNames[4] = {"顺序播放", "列表循环", "单曲循环", "随机播放"};
    return mode >= 0 && mode < 4 ? kNames[mode] : nullptr;
}

void CMediaListPanel::Start(CPaintManagerUI* pm) {
    CThumbListPanel::Start(pm);
    m_observer.emplace(this);
    IDataMediaList* media = KernelModule<IDataMediaList>();
    if (!media) return;
    media->ReportAllItems();
    if (const char* mode = ModeName(media->GetPlayMode()))
        if (CControlUI* button = m_pm->FindControl("VSMediaFile_btnListMode")) button->SetText(mode);
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
                L"视频文件\0*.mkv;*.asf;*.wmv;*.avi;*.mp4;*.mpg;*.mov;*.f4v;*.flv;*.rmvb;*.dat;*.ts\0"
                L"所有文件(*.*)\0*.*\0");
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
            ShowTip("该文件不存在，无法播放");
            if (CTileListItemUI* tile = TileOf(msg.pSender)) tile->SetIcon(kVideoInvalid, kIconRect);
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
    if (refused) ShowTip("不能删除正在播放的视频");
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

const char* CSlideListPanel::ModeName(int mode) {
    static const char* const kNames[3] = {"顺序播放", "列表循环", "随机播放"};
    return mode >= 0 && mode < 3 ? kNames[mode] : nullptr;
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
    if (const char* mode = ModeName(slides->GetPlayMode()))
        if (CControlUI* button = m_pm->FindControl("VSSlide_btnPlayMode")) button->SetText(mode);
}

void CSlideListPanel::OnNotify(TNotifyUI& msg, const std::string& name) {
    IDataSlideList* slides = KernelModule<IDataSlideList>();
    if (!slides) return;
    if (msg.sType == "click") {
        if (name == "VSSlide_btnAdd") {
            const auto files = ChooseFiles(L"图片格式(*.bmp;*.jpg;*.png;*.gif)\0*.bmp;*.jpg;*.png;*.gif\0");
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
    if (CTileListItemUI* tile = TileByTag(id)) tile->SetIcon(kImageInvalid, kIconRect);
    if (!path.empty()) CImageMgr::RemoveImage(path);
}
