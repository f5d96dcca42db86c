#include "DealVideoSrc.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "DialogCommon.h"
#include "RecordPreview.h"
#include "TileLayoutVSSlide.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"

using namespace DuiLib;

std::function<void(const CDealVideoSrc::ShellCommand&)> CDealVideoSrc::s_shellRunner;

namespace {

const char* const kPage = "tabPageMainRideoSrc";
const char* const kMediaPrefix = "VSMediaFile_ListItem_";
const char* const kSlidePrefix = "VSSlide_TileItem_";
const char* const kRecordPrefixes[3] = {"VSMyRecordV_Item_", "VSMyRecordA_Item_", "VSMyPhoto_Item_"};
const char* const kRecordGroups[3] = {"VSMyRecordV_", "VSMyRecordA_", "VSMyPhoto_"};
const char* const kPageOptions[5] = {"optionVideoSrcMediaFile", "optionVideoSrcImage", "optionVideoSrcMyRecordV",
                                     "optionVideoSrcMyRecordA", "optionVideoSrcMyPhoto"};

const char* const kVideoInvalid = "recordVideo_thumbnail_invalid.png";
const char* const kImageInvalid = "recordImage_thumbnail_invalide.png";
const char* const kVideoRecording = "recordVideo_thumbnail_Recording.png";
const char* const kAudioRecording = "recordAudio_thumbnail_Recording.png";
const char* const kAudioThumbnail = "Record_Audio_thumbnail.png";

// Tile geometry of the lists.
const SIZE kTallTile{84, 92};    // media files, recordings: name and time
const SIZE kSlideTile{84, 79};   // slides: name
const SIZE kPhotoTile{84, 64};   // photos: the picture alone
const RECT kIconRect{2, 2, 82, 62};
const RECT kTallTextPadding{2, 64, 2, 14};
const RECT kSlideTextPadding{2, 64, 2, 2};
const RECT kNoTextPadding{0, 0, 0, 0};
const RECT kTimePadding{2, 76, 2, 2};

template <class T>
T* Module(const char* name) {
    return static_cast<T*>(AfxGetDataManager()->GetData(name));
}
IDataMediaList* Media() { return Module<IDataMediaList>(ZX_MOD_MEDIALIST); }
IDataSlideList* Slides() { return Module<IDataSlideList>(ZX_MOD_SLIDELIST); }
IDataRecordList* Records() { return Module<IDataRecordList>(ZX_MOD_RECORDLIST); }

std::string Hms(int seconds, const char* sign = "") {
    if (seconds < 0) seconds = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", sign, seconds / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

// The number after a tile name's prefix, or -1.
int IdAfter(const std::string& name, const char* prefix) {
    if (!StartsWith(name, prefix)) return -1;
    const std::string digits = name.substr(std::strlen(prefix));
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::atoi(digits.c_str());
}

// A picture file in the image manager under its full path, loaded once.
void LoadThumbnail(const std::string& path) {
    if (path.empty() || CImageMgr::GetImage(path)) return;
    if (TImageInfo* image = CRenderEngine::LoadFullPathImageFile(path)) CImageMgr::AddImage(path, image);
}

CTileLayoutVSSlide* FindLayout(CPaintManagerUI* pm, const char* name) {
    CControlUI* c = pm->FindControl(name);
    return c ? static_cast<CTileLayoutVSSlide*>(c->GetInterface("CTileLayoutBtn")) : nullptr;
}

}  // namespace

const char* CDealVideoSrc::MediaModeName(int mode) {
    static const char* const kNames[4] = {"顺序播放", "列表循环", "单曲循环", "随机播放"};
    return mode >= 0 && mode < 4 ? kNames[mode] : nullptr;
}

const char* CDealVideoSrc::SlideModeName(int mode) {
    static const char* const kNames[3] = {"顺序播放", "列表循环", "随机播放"};
    return mode >= 0 && mode < 3 ? kNames[mode] : nullptr;
}

bool CDealVideoSrc::Init(CPaintManagerUI* pm) {
    if (!pm) return false;
    CControlUI* page = pm->FindControl(kPage);
    CControlUI* tab = pm->FindControl("TabVideoSrc");
    auto* tabLayout = tab ? static_cast<CTabLayoutUI*>(tab->GetInterface("TabLayout")) : nullptr;
    CTileLayoutVSSlide* slides = FindLayout(pm, "VSSlide_tilelayout");
    CTileLayoutVSSlide* media = FindLayout(pm, "VSMediaFile_tilelayout");
    CTileLayoutVSSlide* recordV = FindLayout(pm, "VSMyRecordV_tilelayout");
    CTileLayoutVSSlide* recordA = FindLayout(pm, "VSMyRecordA_tilelayout");
    CTileLayoutVSSlide* photos = FindLayout(pm, "VSMyPhoto_tilelayout");
    if (!page || !tabLayout || !slides || !media || !recordV || !recordA || !photos) {
        ZxDlg::Log(3, "CDealVideoSrc", "the video-source page lacks controls; the panel stays inert");
        return false;
    }
    m_pm = pm;
    m_pTab = tabLayout;
    m_pSlides = slides;
    m_pMedia = media;
    m_pRecordV = recordV;
    m_pRecordA = recordA;
    m_pPhotos = photos;
    page->AddNotifier(this);
    IMessageManager* messages = AfxGetMessageManager();
    messages->AttachObserver(ZX_MOD_MEDIALIST_OB, static_cast<IDataMediaListObserver*>(this), OBSERVER_MODE_THREAD);
    messages->AttachObserver(ZX_MOD_SLIDELIST_OB, static_cast<IDataSlideListObserver*>(this), OBSERVER_MODE_THREAD);
    messages->AttachObserver(ZX_MOD_RECORDLIST_OB, static_cast<IDataRecordListObserver*>(this), OBSERVER_MODE_THREAD);
    LoadMediaList();
    return true;
}

void CDealVideoSrc::Uninit() {
    if (!m_pm) return;
    IMessageManager* messages = AfxGetMessageManager();
    messages->DetachObserver(ZX_MOD_MEDIALIST_OB, static_cast<IDataMediaListObserver*>(this));
    messages->DetachObserver(ZX_MOD_SLIDELIST_OB, static_cast<IDataSlideListObserver*>(this));
    messages->DetachObserver(ZX_MOD_RECORDLIST_OB, static_cast<IDataRecordListObserver*>(this));
    if (CControlUI* page = m_pm->FindControl(kPage)) page->RemoveNotifier(this);
    m_pm = nullptr;
    m_pPlayingItem = m_pRecordingVideo = m_pRecordingAudio = nullptr;
}

HWND CDealVideoSrc::Window() const { return m_pm ? m_pm->GetPaintWindow() : nullptr; }

void CDealVideoSrc::ShowTip(const char* text) { ZxDlg::ShowMsgTip(Window(), text); }

void CDealVideoSrc::Notify(TNotifyUI& msg) {
    if (!m_pm || !msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    if (StartsWith(name, "VSMediaFile_")) {
        OnMediaNotify(msg, name);
    } else if (StartsWith(name, "VSSlide_")) {
        OnSlideNotify(msg, name);
    } else if (StartsWith(name, kRecordGroups[0])) {
        OnRecordNotify(msg, name, ZXV_RECORD_VIDEO);
    } else if (StartsWith(name, kRecordGroups[1])) {
        OnRecordNotify(msg, name, ZXV_RECORD_AUDIO);
    } else if (StartsWith(name, kRecordGroups[2])) {
        OnRecordNotify(msg, name, ZXV_RECORD_IMAGE);
    } else if (msg.sType == "click") {
        for (int page = 0; page < 5; ++page)
            if (name == kPageOptions[page]) ShowPage(page);
    }
}

void CDealVideoSrc::ShowPage(int page) {
    m_pTab->SelectItem(page);
    if (m_loaded[page]) return;
    m_loaded[page] = true;
    if (page == 1) {
        LoadSlideList();
    } else if (IDataRecordList* records = Records()) {
        // The records arrive as record messages on this thread.
        records->EnumRecords(page - 2);
    }
}

void CDealVideoSrc::LoadMediaList() {
    IDataMediaList* media = Media();
    if (!media) return;
    media->ReportAllItems();
    if (const char* mode = MediaModeName(media->GetPlayMode()))
        if (CControlUI* button = m_pm->FindControl("VSMediaFile_btnListMode")) button->SetText(mode);
}

void CDealVideoSrc::LoadSlideList() {
    IDataSlideList* slides = Slides();
    if (!slides) return;
    slides->LoadList();
    if (const char* mode = SlideModeName(slides->GetPlayMode()))
        if (CControlUI* button = m_pm->FindControl("VSSlide_btnPlayMode")) button->SetText(mode);
}

std::vector<std::string> CDealVideoSrc::ChooseFiles(const wchar_t* filter) {
    // Room for a long multi-selection: the folder, then every name.
    std::vector<wchar_t> buffer(133633, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    std::vector<std::string> files;
    if (!GetOpenFileNameW(&ofn)) return files;
    // One file: its full path. Several: the folder, then each name.
    const wchar_t* p = buffer.data();
    const std::wstring first = p;
    p += first.size() + 1;
    std::vector<std::wstring> names;
    for (; *p; p += wcslen(p) + 1) names.emplace_back(p);
    if (names.empty()) {
        const std::string path = Charset::WString2String(first);
        if (File::IsExistFile(path)) files.push_back(path);
    } else {
        std::wstring folder = first;
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        for (const std::wstring& n : names) {
            const std::string path = Charset::WString2String(folder + n);
            if (File::IsExistFile(path)) files.push_back(path);
        }
    }
    return files;
}

CTileLayoutVSSlideItem* CDealVideoSrc::AddTile(CTileLayoutVSSlide* layout, const std::string& name, int id,
                                               const std::string& text, const std::string& icon, const SIZE& size,
                                               const RECT& textPadding, bool front) {
    auto* tile = new CTileLayoutVSSlideItem;
    tile->SetName(name);
    tile->SetTag(static_cast<UINT_PTR>(id));
    tile->SetFixedWidth(size.cx);
    tile->SetFixedHeight(size.cy);
    tile->SetText(text);
    tile->SetToolTip(text);
    tile->SetTextColor(0xFFFFFFFF);
    tile->SetTextPadding(textPadding);
    // Record names are wider than a tile: cut with an ellipsis rather than
    // spilling over the neighbours (the tool tip has the whole name).
    tile->SetAttribute("endellipsis", "true");
    tile->SetContextMenuUsed(true);
    tile->SetIcon(icon, kIconRect);
    if (front) {
        tile->SetIndex(0);
        layout->AddAt(tile, 0);
    } else {
        tile->SetIndex(layout->GetCount());
        layout->Add(tile);
    }
    return tile;
}

CTileLayoutVSSlideItem* CDealVideoSrc::TileByTag(CTileLayoutVSSlide* layout, int tag) const {
    if (!layout) return nullptr;
    for (int i = 0; i < layout->GetCount(); ++i) {
        CControlUI* c = layout->GetItemAt(i);
        auto* tile = c ? static_cast<CTileLayoutVSSlideItem*>(c->GetInterface("CTileLayoutVSSlideItem")) : nullptr;
        if (tile && static_cast<int>(tile->GetTag()) == tag) return tile;
    }
    return nullptr;
}

CTileLayoutVSSlideItem* CDealVideoSrc::TileOf(CControlUI* sender) const {
    return sender ? static_cast<CTileLayoutVSSlideItem*>(sender->GetInterface("CTileLayoutVSSlideItem")) : nullptr;
}

CTileLayoutVSSlide* CDealVideoSrc::RecordLayout(int type) const {
    return type == ZXV_RECORD_VIDEO ? m_pRecordV : type == ZXV_RECORD_AUDIO ? m_pRecordA
                                                   : type == ZXV_RECORD_IMAGE ? m_pPhotos : nullptr;
}

// ---- media files ----

void CDealVideoSrc::OnMediaNotify(TNotifyUI& msg, const std::string& name) {
    IDataMediaList* media = Media();
    if (!media) return;
    if (msg.sType == "click") {
        if (name == "VSMediaFile_btnAdd") {
            const auto files = ChooseFiles(
                L"视频文件\0*.mkv;*.asf;*.wmv;*.avi;*.mp4;*.mpg;*.mov;*.f4v;*.flv;*.rmvb;*.dat;*.ts\0"
                L"所有文件(*.*)\0*.*\0");
            if (!files.empty()) media->AddFiles(files);
        } else if (name == "VSMediaFile_btnDelete") {
            DeleteSelectedMedia();
        } else if (name == "VSMediaFile_btnStop") {
            media->Stop();
        } else if (name == "VSMediaFile_btnListMode") {
            MediaModeMenu();
        }
    } else if (msg.sType == "dbbuttondown") {
        const int id = IdAfter(name, kMediaPrefix);
        if (id < 0) return;
        if (!media->Play(id)) {
            ShowTip("该文件不存在，无法播放");
            if (CTileLayoutVSSlideItem* tile = TileOf(msg.pSender)) tile->SetIcon(kVideoInvalid, kIconRect);
        }
    } else if (msg.sType == "menu") {
        if (StartsWith(name, kMediaPrefix)) MediaTileMenu(msg);
    } else if (msg.sType == "delete" && name == "VSMediaFile_tilelayout") {
        DeleteSelectedMedia();
    }
}

void CDealVideoSrc::DeleteSelectedMedia() {
    IDataMediaList* media = Media();
    if (!media) return;
    std::vector<int> positions = m_pMedia->GetSelectedItems();
    std::sort(positions.begin(), positions.end());
    const int current = media->GetCurrentItem();
    std::vector<int> ids;
    bool refused = false;
    // From the last to the first, so earlier positions stay valid.
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        CControlUI* c = m_pMedia->GetItemAt(*it);
        if (!c) continue;
        const int id = static_cast<int>(c->GetTag());
        if (id == current) {
            refused = true;
            continue;
        }
        if (c == m_pPlayingItem) m_pPlayingItem = nullptr;
        m_pMedia->RemoveAt(*it);
        ids.push_back(id);
    }
    // One tip for the playing file, however many were chosen.
    if (refused) ShowTip("不能删除正在播放的视频");
    if (!ids.empty()) media->RemoveFiles(ids, false);
}

int CDealVideoSrc::PopupMenu(CMenuUI& menu, POINT client) {
    ClientToScreen(Window(), &client);
    return menu.TrackPopupMenu(Window(), client);
}

void CDealVideoSrc::MediaTileMenu(TNotifyUI& msg) {
    CTileLayoutVSSlideItem* tile = TileOf(msg.pSender);
    if (!tile) return;
    CMenuUI menu("MenuBk");
    menu.AddItem(1, "删除");
    menu.AddItem(2, "打开文件目录");
    const int choice = PopupMenu(menu, msg.ptMouse);
    if (choice == 1) {
        DeleteSelectedMedia();
    } else if (choice == 2) {
        IDataMediaList* media = Media();
        const std::string path = media ? media->GetItemPath(static_cast<int>(tile->GetTag())) : std::string();
        if (!File::IsExistFile(path)) tile->SetIcon(kVideoInvalid, kIconRect);
        OpenFolderOf(path);
    }
}

void CDealVideoSrc::MediaModeMenu() {
    CControlUI* button = m_pm->FindControl("VSMediaFile_btnListMode");
    if (!button) return;
    CMenuUI menu("MenuBk");
    for (int mode = 0; mode < 4; ++mode) menu.AddItem(mode, MediaModeName(mode));
    const RECT rc = button->GetPos();
    const int choice = PopupMenu(menu, POINT{rc.left, rc.bottom});
    if (choice < 0 || choice > 3) return;   // dismissed
    if (IDataMediaList* media = Media()) media->SetPlayMode(choice);
    button->SetText(MediaModeName(choice));
}

void CDealVideoSrc::RestorePlayingTile() {
    if (!m_pPlayingItem) return;
    IDataMediaList* media = Media();
    m_pPlayingItem->SetExtraText(Hms(media ? media->GetItemDuration(static_cast<int>(m_pPlayingItem->GetTag())) : 0));
    m_pPlayingItem->Invalidate();
    m_pPlayingItem = nullptr;
}

void CDealVideoSrc::OnItem(int id, const std::string&, const std::string& thumbPath, bool added) {
    if (!m_pm) return;
    IDataMediaList* media = Media();
    std::string title;
    if (media) media->GetItemTitle(id, title);
    LoadThumbnail(thumbPath);
    CTileLayoutVSSlideItem* tile = AddTile(m_pMedia, kMediaPrefix + std::to_string(id), id, title, thumbPath,
                                           kTallTile, kTallTextPadding, added);
    tile->SetExtraTextPadding(kTimePadding);
    tile->SetExtraText(Hms(media ? media->GetItemDuration(id) : 0));
}

void CDealVideoSrc::OnPosition(int id, double seconds) {
    (void)id;
    if (!m_pm || !m_pPlayingItem) return;
    IDataMediaList* media = Media();
    const int duration = media ? media->GetItemDuration(static_cast<int>(m_pPlayingItem->GetTag())) : 0;
    m_pPlayingItem->SetExtraText(Hms(duration - static_cast<int>(seconds), "-"));
    m_pPlayingItem->Invalidate();
}

void CDealVideoSrc::OnPlaying(int id) {
    if (!m_pm) return;
    RestorePlayingTile();
    m_pPlayingItem = id == -1 ? nullptr : TileByTag(m_pMedia, id);
}

void CDealVideoSrc::OnState(eMediaFileListPlayState state) {
    if (m_pm && state == MEDIALIST_STATE_STOPPED) RestorePlayingTile();
}

void CDealVideoSrc::OnEnd() {
    if (IDataMediaList* media = Media()) media->PlayNextInterval();
}

// ---- slides ----

void CDealVideoSrc::OnSlideNotify(TNotifyUI& msg, const std::string& name) {
    IDataSlideList* slides = Slides();
    if (!slides) return;
    if (msg.sType == "click") {
        if (name == "VSSlide_btnAdd") {
            const auto files = ChooseFiles(L"图片格式(*.bmp;*.jpg;*.png;*.gif)\0*.bmp;*.jpg;*.png;*.gif\0");
            if (!files.empty()) slides->AddFiles(files);
        } else if (name == "VSSlide_btnDelete") {
            DeleteSelectedSlides();
        } else if (name == "VSSlide_btnStop") {
            slides->Stop();
        } else if (name == "VSSlide_btnPlayMode") {
            SlideModeMenu();
        }
    } else if (msg.sType == "dbbuttondown") {
        const int id = IdAfter(name, kSlidePrefix);
        if (id >= 0) slides->Play(id);
    } else if (msg.sType == "menu") {
        if (StartsWith(name, kSlidePrefix)) SlideTileMenu(msg);
    } else if (msg.sType == "delete" && name == "VSSlide_tilelayout") {
        DeleteSelectedSlides();
    }
}

void CDealVideoSrc::DeleteSelectedSlides() {
    IDataSlideList* slides = Slides();
    if (!slides) return;
    std::vector<int> positions = m_pSlides->GetSelectedItems();
    std::sort(positions.begin(), positions.end());
    std::vector<int> ids;
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        CControlUI* c = m_pSlides->GetItemAt(*it);
        if (!c) continue;
        ids.push_back(static_cast<int>(c->GetTag()));
        m_pSlides->RemoveAt(*it);
    }
    if (!ids.empty()) slides->RemoveFiles(ids);
}

void CDealVideoSrc::SlideTileMenu(TNotifyUI& msg) {
    CTileLayoutVSSlideItem* tile = TileOf(msg.pSender);
    if (!tile) return;
    CMenuUI menu("MenuBk");
    menu.AddItem(1, "删除");
    menu.AddItem(2, "打开文件目录");
    const int choice = PopupMenu(menu, msg.ptMouse);
    if (choice == 1) {
        DeleteSelectedSlides();
    } else if (choice == 2) {
        IDataSlideList* slides = Slides();
        const std::string path = slides ? slides->GetItemPath(static_cast<int>(tile->GetTag())) : std::string();
        if (!File::IsExistFile(path)) tile->SetIcon(kImageInvalid, kIconRect);
        OpenFolderOf(path);
    }
}

void CDealVideoSrc::SlideModeMenu() {
    CControlUI* button = m_pm->FindControl("VSSlide_btnPlayMode");
    if (!button) return;
    CMenuUI menu("MenuBk");
    for (int mode = 0; mode < 3; ++mode) menu.AddItem(mode, SlideModeName(mode));
    const RECT rc = button->GetPos();
    const int choice = PopupMenu(menu, POINT{rc.left, rc.bottom});
    if (choice < 0 || choice > 2) return;
    if (IDataSlideList* slides = Slides()) slides->SetPlayMode(choice);
    button->SetText(SlideModeName(choice));
}

void CDealVideoSrc::OnItemLoaded(int id, bool loaded, const std::string& path, const std::string& thumbPath,
                                 bool fromList) {
    if (!m_pm || !loaded || id < 0) return;
    LoadThumbnail(thumbPath);
    AddTile(m_pSlides, kSlidePrefix + std::to_string(id), id, File::GetFileNameWithoutExtension(path), thumbPath,
            kSlideTile, kSlideTextPadding, !fromList);
}

void CDealVideoSrc::OnItemRemoved(int id, const std::string& path) {
    if (!m_pm) return;
    if (CControlUI* c = m_pm->FindControl(kSlidePrefix + std::to_string(id)))
        if (CTileLayoutVSSlideItem* tile = TileOf(c)) tile->SetIcon(kImageInvalid, kIconRect);
    if (!path.empty()) CImageMgr::RemoveImage(path);
}

// ---- recordings ----

void CDealVideoSrc::OnRecordNotify(TNotifyUI& msg, const std::string& name, int type) {
    IDataRecordList* records = Records();
    if (!records) return;
    const std::string group = kRecordGroups[type];
    if (msg.sType == "click") {
        if (name == group + "btnOpenDir") {
            records->OpenRecordDir(type);
        } else if (type != ZXV_RECORD_IMAGE && name == group + "btnBeginRecord") {
            // A start that fails tells why through the problem message.
            records->StartRecord(type);
        } else if (type != ZXV_RECORD_IMAGE && name == group + "btnEndRecord") {
            records->StopRecord();
        } else if (type == ZXV_RECORD_IMAGE && name == group + "btnSnapshot") {
            records->TakeSnapshot();
        } else if (name == group + "btnDelete") {
            DeleteSelectedRecords(type);
        }
    } else if (msg.sType == "menu") {
        if (StartsWith(name, kRecordPrefixes[type])) RecordTileMenu(msg, type);
    } else if (msg.sType == "dbbuttondown") {
        const int id = IdAfter(name, kRecordPrefixes[type]);
        if (id < 0) return;
        // The tile holds the mouse from the double click; the dialog needs it.
        m_pm->ReleaseCapture();
        ShowRecordPreview(type, id, false);
    } else if (msg.sType == "delete" && name == group + "tilelayout") {
        DeleteSelectedRecords(type);
    } else if (msg.sType == "recordtip" && name == group + "tilelayout") {
        if (m_pendingTips.empty()) return;
        const std::string text = m_pendingTips.front();
        m_pendingTips.erase(m_pendingTips.begin());
        ShowTip(text.c_str());
    } else if (msg.sType == "recordpreview" && name == group + "tilelayout") {
        ShowRecordPreview(type, static_cast<int>(msg.lParam), true);
    }
}

void CDealVideoSrc::DeleteSelectedRecords(int type) {
    IDataRecordList* records = Records();
    CTileLayoutVSSlide* layout = RecordLayout(type);
    if (!records || !layout) return;
    std::vector<int> positions = layout->GetSelectedItems();
    std::sort(positions.begin(), positions.end());
    const int recording = records->GetRecordingId(type);
    std::vector<int> ids;
    bool refused = false;
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        CControlUI* c = layout->GetItemAt(*it);
        if (!c) continue;
        const int id = static_cast<int>(c->GetTag());
        if (recording != -1 && id == recording) {
            refused = true;
            continue;
        }
        layout->RemoveAt(*it);
        ids.push_back(id);
    }
    if (refused) ShowTip(type == ZXV_RECORD_AUDIO ? "不能删除正在录制的音频" : "不能删除正在录制的视频");
    if (!ids.empty()) records->DeleteRecords(type, ids, true);
}

void CDealVideoSrc::RecordTileMenu(TNotifyUI& msg, int type) {
    CTileLayoutVSSlideItem* tile = TileOf(msg.pSender);
    if (!tile) return;
    CMenuUI menu("MenuBk");
    menu.AddItem(1, "删除");
    menu.AddItem(2, "打开文件目录");
    if (type == ZXV_RECORD_VIDEO) menu.AddItem(3, "添加到视频列表");
    if (type == ZXV_RECORD_IMAGE) menu.AddItem(3, "添加到图片列表");
    const int choice = PopupMenu(menu, msg.ptMouse);
    IDataRecordList* records = Records();
    if (!records || choice < 1) return;
    const int id = static_cast<int>(tile->GetTag());
    if (choice == 1) {
        DeleteSelectedRecords(type);
    } else if (choice == 2) {
        OpenFolderOf(records->GetRecordPath(type, id));
    } else if (choice == 3) {
        const std::string path = records->GetRecordPath(type, id);
        if (!File::IsExistFile(path)) {
            tile->SetIcon(type == ZXV_RECORD_IMAGE ? kImageInvalid : kVideoInvalid, kIconRect);
        } else if (type == ZXV_RECORD_VIDEO) {
            if (IDataMediaList* media = Media()) media->AddFiles({path});
        } else if (IDataSlideList* slides = Slides()) {
            slides->AddFiles({path});
        }
    }
}

void CDealVideoSrc::ShowRecordPreview(int type, int id, bool justRecorded) {
    if (!m_pm) return;
    // The playlist's sound would cover the recording's.
    if (IDataMediaList* media = Media())
        if (media->GetPlayState() == MEDIALIST_STATE_PLAYING) media->Pause();
    int result = CRecordPreview::kResultClose;
    std::string text;
    {
        CRecordPreview dlg;
        dlg.Open(type, id, justRecorded);
        dlg.ShowModalDlg(Window(), true);
        dlg.StopWorker();
        result = dlg.GetResult();
        text = dlg.GetResultText();
    }
    IDataRecordList* records = Records();
    CTileLayoutVSSlide* layout = RecordLayout(type);
    if (!records || !layout || !m_pm) return;
    CControlUI* tile = m_pm->FindControl(kRecordPrefixes[type] + std::to_string(id));
    switch (result) {
    case CRecordPreview::kResultDelete:
        records->DeleteRecords(type, {id}, true);
        if (tile) {
            if (tile == m_pRecordingVideo) m_pRecordingVideo = nullptr;
            if (tile == m_pRecordingAudio) m_pRecordingAudio = nullptr;
            layout->Remove(tile);
        }
        break;
    case CRecordPreview::kResultRename:
    case CRecordPreview::kResultMove: {
        // The record changes only when its file moved; otherwise the user
        // hears why and everything stays as it was.
        const int problem = result == CRecordPreview::kResultRename ? records->RenameRecord(type, id, text)
                                                                    : records->MoveRecord(type, id, text);
        if (problem != ZXV_RECORD_OK) {
            // A new name goes into the type's record folder.
            std::string target = text;
            if (result == CRecordPreview::kResultRename) {
                std::string folder;
                AfxGetConfigManager()->GetString("VSRecord", type == ZXV_RECORD_AUDIO ? "AudioDir" : "VideoDir",
                                                 folder);
                if (folder.empty()) folder = records->GetDefaultRecordDir(type);
                target = Dir::WithSlash(folder) + text;
            }
            ShowTip(MoveProblemText(problem, target).c_str());
            break;
        }
        if (tile && type != ZXV_RECORD_IMAGE) {
            tile->SetText(records->GetRecordName(type, id));
            tile->SetToolTip(records->GetRecordName(type, id));
        }
        break;
    }
    case CRecordPreview::kResultAddToList:
        if (type == ZXV_RECORD_VIDEO) {
            if (IDataMediaList* media = Media()) media->AddFiles({records->GetRecordPath(type, id)});
        } else if (type == ZXV_RECORD_IMAGE) {
            if (IDataSlideList* slides = Slides()) slides->AddFiles({records->GetRecordPath(type, id)});
        }
        break;
    default:
        break;
    }
}

void CDealVideoSrc::OnRecord(eZXVRecordType type, int id, const std::string& thumbnail, bool isNew) {
    if (!m_pm) return;
    IDataRecordList* records = Records();
    CTileLayoutVSSlide* layout = RecordLayout(type);
    if (!records || !layout) return;
    LoadThumbnail(thumbnail);
    const std::string name = kRecordPrefixes[type] + std::to_string(id);
    if (type == ZXV_RECORD_IMAGE) {
        AddTile(layout, name, id, std::string(), thumbnail, kPhotoTile, kNoTextPadding, isNew);
        if (isNew) records->EndSnapshot();
        return;
    }
    const std::string text = records->GetRecordName(type, id);
    const bool video = type == ZXV_RECORD_VIDEO;
    std::string icon = video ? thumbnail : kAudioThumbnail;
    if (isNew) icon = video ? kVideoRecording : kAudioRecording;
    CTileLayoutVSSlideItem* tile = AddTile(layout, name, id, text, icon, kTallTile, kTallTextPadding, isNew);
    tile->SetExtraTextPadding(kTimePadding);
    tile->SetExtraText(isNew ? "00:00:00" : Hms(records->GetRecordDuration(type, id)));
    if (isNew) (video ? m_pRecordingVideo : m_pRecordingAudio) = tile;
}

void CDealVideoSrc::OnRecordState(eZXVRecordState state, eZXVRecordType type) {
    if (!m_pm || (type != ZXV_RECORD_VIDEO && type != ZXV_RECORD_AUDIO)) return;
    const bool video = type == ZXV_RECORD_VIDEO;
    const bool started = state == ZXV_RECORD_RECORDING;
    if (CControlUI* c = m_pm->FindControl(video ? "tablayoutRecordVideoBegin_End" : "tablayoutRecordAudioBegin_End"))
        if (auto* tab = static_cast<CTabLayoutUI*>(c->GetInterface("TabLayout"))) tab->SelectItem(started ? 1 : 0);
    // One recording at a time: the other kind's start waits.
    if (CControlUI* other = m_pm->FindControl(video ? "VSMyRecordA_btnBeginRecord" : "VSMyRecordV_btnBeginRecord"))
        other->SetEnabled(!started);
    if (started) return;
    CTileLayoutVSSlideItem*& recording = video ? m_pRecordingVideo : m_pRecordingAudio;
    if (!recording) return;
    CTileLayoutVSSlideItem* tile = recording;
    recording = nullptr;
    const int id = static_cast<int>(tile->GetTag());
    IDataRecordList* records = Records();
    // A recording with nothing in it was dropped by the recorder: its tile
    // goes, and there is nothing to preview.
    if (records && records->GetRecordPath(type, id).empty()) {
        if (CTileLayoutVSSlide* layout = RecordLayout(type)) layout->Remove(tile);
        return;
    }
    if (video) {
        const std::string thumb = records ? records->GetRecordThumbnail(type, id) : std::string();
        LoadThumbnail(thumb);
        tile->SetIcon(thumb, kIconRect);
    } else {
        tile->SetIcon(kAudioThumbnail, kIconRect);
    }
    if (records) tile->SetExtraText(Hms(records->GetRecordDuration(type, id)));
    // The preview opens once this message is through, so the rest of the
    // window (the main window's own record buttons observe the same
    // message) shows the stopped recording behind the dialog.
    m_pm->SendNotify(RecordLayout(type), "recordpreview", static_cast<WPARAM>(type), static_cast<LPARAM>(id), true);
}

void CDealVideoSrc::OnProgress(eZXVRecordType type) {
    if (!m_pm) return;
    CTileLayoutVSSlideItem* tile = GetRecordingTile(type);
    IDataRecordList* records = Records();
    if (!tile || !records) return;
    tile->SetExtraText(Hms(records->GetRecordTime()));
    tile->Invalidate();
}

std::string CDealVideoSrc::ProblemText(int type, int problem, const std::string& detail, bool midway) {
    const std::string stopped = midway ? "，录制已停止" : "，无法录制";
    switch (problem) {
    case ZXV_RECORD_ERR_FOLDER_MISSING:
        return (midway ? "录制文件夹已不存在：" : "录制文件夹不存在，也无法创建：") + detail +
               (midway ? "，录制已停止" : "");
    case ZXV_RECORD_ERR_FOLDER_READONLY:
        return "录制文件夹无法写入：" + detail + stopped;
    case ZXV_RECORD_ERR_DISK_FULL:
        return "磁盘空间已满：" + detail + stopped;
    case ZXV_RECORD_ERR_ENCODER:
        return midway ? "编码器出错，录制已停止" : "编码器无法启动，无法录制";
    case ZXV_RECORD_ERR_MICROPHONE:
        return "录音需要麦克风：没有可用的麦克风，或打开麦克风失败";
    case ZXV_RECORD_NOTE_NO_SOUND:
        return "没有可用的麦克风，本次录像没有声音";
    default:
        if (type == ZXV_RECORD_IMAGE) return "无法保存照片：" + detail;
        return "无法写入录制文件：" + detail + stopped;
    }
}

std::string CDealVideoSrc::MoveProblemText(int problem, const std::string& target) {
    const std::string folder = File::GetParentPath(target);
    switch (problem) {
    case ZXV_RECORD_ERR_EXISTS:
        return "已有同名文件：" + target + "，未更改";
    case ZXV_RECORD_ERR_BAD_NAME:
        return "文件名不允许：" + File::GetFileName(target) + "，未更改";
    case ZXV_RECORD_ERR_FOLDER_READONLY:
        return folder.empty() ? "文件夹无法写入，未更改" : "文件夹无法写入：" + folder + "，未更改";
    case ZXV_RECORD_ERR_FOLDER_MISSING:
        return "文件夹不存在：" + folder + "，未更改";
    case ZXV_RECORD_ERR_DISK_FULL:
        return "磁盘空间已满：" + folder + "，未更改";
    case ZXV_RECORD_ERR_NO_FILE:
        return "录制文件已不存在，未更改";
    default:
        return "无法移动文件到：" + target + "，未更改";
    }
}

void CDealVideoSrc::OnRecordProblem(eZXVRecordType type, eZXVRecordProblem problem, const std::string& detail,
                                    bool midway) {
    // A snapshot that failed ends the request as a taken one does.
    if (type == ZXV_RECORD_IMAGE)
        if (IDataRecordList* records = Records()) records->EndSnapshot();
    if (!m_pm || !RecordLayout(type)) return;
    m_pendingTips.push_back(ProblemText(type, problem, detail, midway));
    m_pm->SendNotify(RecordLayout(type), "recordtip", static_cast<WPARAM>(type), 0, true);
}

// ---- folders ----

CDealVideoSrc::ShellCommand CDealVideoSrc::FolderCommand(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.empty()) return {};
    if (File::IsExistFile(p)) return {"explorer.exe", "/select,\"" + p + "\""};
    // The nearest folder that still exists.
    while (!p.empty()) {
        if (p.back() == '\\') p.pop_back();
        const size_t cut = p.find_last_of('\\');
        if (cut == std::string::npos) return {};
        p.erase(cut + 1);
        if (Dir::IsDirectory(p)) return {p, std::string()};
    }
    return {};
}

void CDealVideoSrc::OpenFolderOf(const std::string& path) {
    const ShellCommand command = FolderCommand(path);
    if (command.file.empty()) return;
    if (s_shellRunner) {
        s_shellRunner(command);
        return;
    }
    ShellExecuteW(nullptr, L"open", Charset::String2WString(command.file).c_str(),
                  command.params.empty() ? nullptr : Charset::String2WString(command.params).c_str(), nullptr,
                  SW_SHOWNORMAL);
}
