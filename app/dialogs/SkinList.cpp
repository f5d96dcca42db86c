#include "SkinList.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "DialogCommon.h"
#include "DuiLib/UIlib.h"
#include "SettingKeys.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kPrefix[] = "bk_";

// A skin picture that cannot be used is reported once per run, not at
// every scan.
void LogUnusableOnce(const std::string& file) {
    static std::mutex lock;
    static std::set<std::string> logged;
    std::lock_guard<std::mutex> g(lock);
    if (!logged.insert(file).second) return;
    ZxDlg::Log(2, "CSkinList", "skin picture %s cannot be read; it is left out of the skin list", file.c_str());
}

}  // namespace

std::string CSkinList::DefaultFolder() { return Dir::GetZxPath(Dir::kPathResource) + "skin\\localskin"; }

std::string CSkinList::ThumbnailFolder() {
    std::string folder = Dir::GetLongPath(Dir::GetZxPath(Dir::kPathThumbCache)) + "ZxVBkThumbnail\\";
    Dir::MakeDir(folder);
    return folder;
}

int CSkinList::Scan(const std::string& folder) {
    m_skins.clear();
    std::vector<std::string> files;
    Dir::FindAllFiles(files, folder, "*", Dir::kFindFiles);
    const std::string thumbs = ThumbnailFolder();
    for (const std::string& file : files) {
        const std::string stem = File::GetFileNameWithoutExtension(file);
        if (stem.compare(0, sizeof(kPrefix) - 1, kPrefix) != 0) continue;
        SkinRecord rec;
        rec.id = std::atoi(stem.c_str() + sizeof(kPrefix) - 1);   // not a number: 0
        rec.file = file;
        rec.thumbnail = thumbs + Entrypt::GenerateMD5(file) + ".jpg";
        bool ok = File::IsExistFile(rec.thumbnail) && LoadThumbnail(rec.thumbnail);
        if (!ok) {
            // Missing, or in the cache but damaged: made (again) from the picture.
            ok = MakeThumbnail(rec.file, rec.thumbnail) && LoadThumbnail(rec.thumbnail);
        }
        if (!ok) {
            LogUnusableOnce(file);
            continue;
        }
        m_skins[rec.id] = rec;   // a later file with the same ID replaces the earlier one
    }
    return static_cast<int>(m_skins.size());
}

void CSkinList::Apply(int id) {
    if (id == m_curId) return;
    m_curId = id;
    auto it = m_skins.find(id);
    DuiLib::CSkinMgr::ChangeSubject(it != m_skins.end() ? it->second.file : std::string(), static_cast<DWORD>(-1),
                                    false);
    Settings::SetInt(Settings::kSkinId, id);
}

void CSkinList::Free() { m_skins.clear(); }

bool CSkinList::LoadThumbnail(const std::string& thumbPath) {
    DuiLib::TImageInfo* img = DuiLib::CRenderEngine::LoadFullPathImageFile(thumbPath);
    return img && DuiLib::CImageMgr::AddImage(thumbPath, img);
}

bool CSkinList::MakeThumbnail(const std::string& picture, const std::string& thumbPath) {
    CLSID jpeg;
    if (!DuiLib::CRenderEngine::FindImageEncoder(L"image/jpeg", jpeg)) return false;
    Gdiplus::Bitmap source(Charset::String2WString(picture).c_str());
    if (source.GetLastStatus() != Gdiplus::Ok || source.GetWidth() == 0 || source.GetHeight() == 0) return false;
    // Drawn with bicubic filtering rather than taken as the picture's own
    // thumbnail, which is a coarse nearest-pixel reduction.
    Gdiplus::Bitmap thumb(kThumbWidth, kThumbHeight, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics g(&thumb);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        Gdiplus::ImageAttributes edges;
        edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);   // no dark seam at the borders
        if (g.DrawImage(&source, Gdiplus::Rect(0, 0, kThumbWidth, kThumbHeight), 0, 0,
                        static_cast<INT>(source.GetWidth()), static_cast<INT>(source.GetHeight()), Gdiplus::UnitPixel,
                        &edges) != Gdiplus::Ok)
            return false;
    }
    File::RemoveFile(thumbPath);
    return thumb.Save(Charset::String2WString(thumbPath).c_str(), &jpeg, nullptr) == Gdiplus::Ok;
}
