#include "VideoEffectBorder.h"

#include <cstring>
#include <utility>

#include "AutoLock.h"
#include "IDataKernal.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {
const char kLog[] = "ZxVVideoEffect.txt";
const char kModule[] = "CVideoEffectBorder";
const char kSection[] = "VEBorder";
const char kKeyName[] = "BorderName";

// GDI+'s FrameDimensionTime, the dimension along which a GIF animates.
const GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa7, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};

// How many overlay pixels the cache keeps (4 bytes each), and how many
// frames are prepared while a picture loads; other frames are drawn when
// they are first shown.
const size_t kCachePixelBudget = 16u << 20;
const int kFramesPreparedAtLoad = 64;

IDataKernal* Kernel() { return static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL)); }

}  // namespace

CVideoEffectBorder::CVideoEffectBorder()
    : m_nextId(0),
      m_curId(-1),
      m_pImage(nullptr),
      m_frameCount(0),
      m_curFrame(-1),
      m_lastSwitch(0),
      m_timeDimension(kFrameDimensionTime),
      m_cachedPixels(0),
      m_scratchFrame(-1),
      m_frameWidth(640),
      m_frameHeight(480) {
    // The lock lives as long as the object, so UnInit and DealVideo are safe
    // in any order the kernel calls them, even when Init never ran.
    InitializeCriticalSection(&m_lock);
}

CVideoEffectBorder::~CVideoEffectBorder() {
    UnInit();
    DeleteCriticalSection(&m_lock);
}

std::string CVideoEffectBorder::GetBorderFolder() { return Dir::GetZxPath(Dir::kPathResource) + "pendant"; }

DWORD CVideoEffectBorder::GetTickNow() { return GetTickCount(); }

bool CVideoEffectBorder::ListBorderFiles(const std::string& folder, std::vector<std::string>& files) {
    return Dir::FindAllFiles(files, folder, "*.gif", Dir::kFindFiles);
}

void CVideoEffectBorder::FindBorders() {
    const std::string folder = GetBorderFolder();
    std::vector<std::string> files;
    if (!ListBorderFiles(folder, files))
        YL_Log(kLog, 2, kModule, "Init::边框目录(%s)无法读取", folder.c_str());
    for (const std::string& path : files) {
        VEBorderItem* item = new VEBorderItem;
        item->id = m_nextId++;
        item->name = Dir::GetFileNameWithoutExtension(path);
        item->thumbPath = folder + "\\" + item->name + ".jpg";
        item->filePath = Charset::String2WString(path);
        m_items[item->id] = item;
    }
    YL_Log(kLog, 0, kModule, "Init::找到%d个边框", static_cast<int>(m_items.size()));
}

void CVideoEffectBorder::DeleteItems() {
    for (auto& entry : m_items) delete entry.second;
    m_items.clear();
    m_nextId = 0;
}

bool CVideoEffectBorder::Init() {
    // A second Init starts again from the folder.
    if (!m_items.empty() || m_curId != -1) UnInit();
    FindBorders();
    AfxGetDataManager()->AddData(ZX_MOD_VEBORDER, this);

    std::string name;
    AfxGetConfigManager()->GetString(kSection, kKeyName, name);
    m_curId = FindBorderByName(name);
    if (m_curId != -1) {
        if (LoadBorderImage(GetBorderFilePath(m_curId))) {
            AddToChain();
        } else {
            YL_Log(kLog, 2, kModule, "Init::保存的边框(%s)无法加载，已清除", name.c_str());
            m_curId = -1;
            SaveBorderName("");
        }
    }
    return true;
}

void CVideoEffectBorder::UnInit() {
    if (AfxGetDataManager()->GetData(ZX_MOD_VEBORDER) == static_cast<IData*>(this))
        AfxGetDataManager()->RemoveData(ZX_MOD_VEBORDER);
    RemoveFromChain();
    ReleaseBorderImage();
    DeleteItems();
    m_curId = -1;
}

bool CVideoEffectBorder::GetBorderList(std::vector<VEBorderItem*>& list) {
    for (auto& entry : m_items) list.push_back(entry.second);
    return false;
}

int CVideoEffectBorder::GetBorder() { return m_curId; }

const VEBorderItem* CVideoEffectBorder::FindItem(int id) const {
    auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

std::string CVideoEffectBorder::GetBorderName(int id) {
    const VEBorderItem* item = FindItem(id);
    return item ? item->name : std::string();
}

int CVideoEffectBorder::FindBorderByName(const std::string& name) {
    for (auto& entry : m_items)
        if (entry.second->name == name) return entry.first;
    return -1;
}

std::wstring CVideoEffectBorder::GetBorderFilePath(int id) {
    const VEBorderItem* item = FindItem(id);
    return item ? item->filePath : std::wstring();
}

bool CVideoEffectBorder::SetBorder(int id) {
    if (id == m_curId) return true;
    if (id == -1) {
        RemoveFromChain();
        m_curId = -1;
        ReleaseBorderImage();
        SaveBorderName("");
        NotifyBorder(-1, "");
        return true;
    }
    const VEBorderItem* item = FindItem(id);
    if (!item) return false;
    if (!LoadBorderImage(item->filePath)) return false;
    if (m_curId == -1) AddToChain();
    m_curId = id;
    SaveBorderName(item->name);
    NotifyBorder(id, item->name);
    return true;
}

bool CVideoEffectBorder::LoadBorderImage(const std::wstring& path) {
    Gdiplus::Image* image = new Gdiplus::Image(path.c_str(), FALSE);
    int frameCount = 0;
    std::vector<UINT> delays;
    bool ok = image->GetLastStatus() == Gdiplus::Ok;
    if (ok) {
        UINT dimensions = image->GetFrameDimensionsCount();
        if (dimensions != 0) {
            std::vector<GUID> ids(dimensions);
            if (image->GetFrameDimensionsList(ids.data(), dimensions) == Gdiplus::Ok)
                frameCount = static_cast<int>(image->GetFrameCount(&ids[0]));
        }
        ok = frameCount > 0;
    }
    if (ok) {
        UINT size = image->GetPropertyItemSize(PropertyTagFrameDelay);
        std::vector<BYTE> buffer(size);
        Gdiplus::PropertyItem* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
        if (size >= sizeof(Gdiplus::PropertyItem) &&
            image->GetPropertyItem(PropertyTagFrameDelay, size, item) == Gdiplus::Ok && item->value) {
            // One 32-bit delay per frame. A list shorter than the frames (a
            // damaged file) is completed with 0 rather than read beyond.
            UINT listed = item->length / sizeof(UINT);
            const BYTE* values = static_cast<const BYTE*>(item->value);
            delays.assign(static_cast<size_t>(frameCount), 0);
            for (UINT i = 0; i < listed && i < delays.size(); ++i) memcpy(&delays[i], values + i * sizeof(UINT), sizeof(UINT));
        } else {
            GUID format;
            // Wine's GDI+ gives a GIF of a single frame no frame-delay
            // property at all. A still picture needs no delay, so such a GIF
            // is taken with a delay of 0 (where GDI+ reports the delay this
            // branch is never reached). Other pictures without delays, that
            // is anything but a GIF, are refused.
            if (frameCount == 1 && image->GetRawFormat(&format) == Gdiplus::Ok && format == Gdiplus::ImageFormatGIF)
                delays.assign(1, 0);
        }
        ok = !delays.empty();
    }
    if (!ok) {
        YL_Log(kLog, 2, kModule, "LoadBorderImage::加载边框图片(%s)失败", Charset::WString2String(path).c_str());
        delete image;
        return false;
    }

    // Draw the frames now, on the caller's thread and before the picture is
    // shown, so the frame thread only blends prepared pixels.
    int width, height;
    {
        CAutoLock lock(m_lock);
        width = m_frameWidth;
        height = m_frameHeight;
    }
    std::vector<BorderOverlay> overlays(static_cast<size_t>(frameCount));
    size_t cached = 0;
    for (int i = 0; i < frameCount && i < kFramesPreparedAtLoad && cached < kCachePixelBudget; ++i) {
        if (!RenderOverlay(image, m_timeDimension, i, width, height, overlays[static_cast<size_t>(i)])) break;
        cached += overlays[static_cast<size_t>(i)].pixels.size();
    }
    // The frame drawn first is frame 0.
    if (frameCount > 1) image->SelectActiveFrame(&m_timeDimension, 0);

    CAutoLock lock(m_lock);
    delete m_pImage;
    m_pImage = image;
    m_frameCount = frameCount;
    m_curFrame = -1;
    m_delays.swap(delays);
    m_overlays.swap(overlays);
    m_cachedPixels = cached;
    m_scratch = BorderOverlay();
    m_scratchFrame = -1;
    return true;
}

bool CVideoEffectBorder::RenderOverlay(Gdiplus::Image* image, const GUID& dimension, int index, int width,
                                       int height, BorderOverlay& out) {
    out = BorderOverlay();
    if (width <= 0 || height <= 0) return false;
    GUID dim = dimension;
    if (image->SelectActiveFrame(&dim, static_cast<UINT>(index)) != Gdiplus::Ok && index != 0) return false;
    Gdiplus::Bitmap canvas(width, height, PixelFormat32bppPARGB);
    if (canvas.GetLastStatus() != Gdiplus::Ok) return false;
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        if (graphics.DrawImage(image, Gdiplus::Rect(0, 0, width, height)) != Gdiplus::Ok) return false;
    }
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (canvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok) return false;
    out.Collect(static_cast<const BYTE*>(data.Scan0), data.Stride, width, height);
    canvas.UnlockBits(&data);
    return true;
}

const BorderOverlay* CVideoEffectBorder::CurrentOverlay(int width, int height) {
    const size_t index = static_cast<size_t>(m_curFrame < 0 ? 0 : m_curFrame);
    if (index >= m_overlays.size()) return nullptr;
    BorderOverlay& cached = m_overlays[index];
    if (cached.width == width && cached.height == height) return &cached;
    if (m_scratchFrame == static_cast<int>(index) && m_scratch.width == width && m_scratch.height == height)
        return &m_scratch;
    if (cached.width != 0) {
        // The frame size changed: every prepared frame is of the old size.
        for (BorderOverlay& o : m_overlays) o = BorderOverlay();
        m_cachedPixels = 0;
    }
    BorderOverlay fresh;
    if (!RenderOverlay(m_pImage, m_timeDimension, static_cast<int>(index), width, height, fresh)) return nullptr;
    if (m_cachedPixels + fresh.pixels.size() <= kCachePixelBudget) {
        m_cachedPixels += fresh.pixels.size();
        cached = std::move(fresh);
        return &cached;
    }
    m_scratch = std::move(fresh);
    m_scratchFrame = static_cast<int>(index);
    return &m_scratch;
}

void CVideoEffectBorder::BlendOverlay(const BorderOverlay& overlay, BYTE* frame, int stride) {
    overlay.BlendInto(frame, overlay.width, overlay.height, stride, 0, 0);
}

void CVideoEffectBorder::ReleaseBorderImage() {
    CAutoLock lock(m_lock);
    delete m_pImage;
    m_pImage = nullptr;
    m_delays.clear();
    m_overlays.clear();
    m_cachedPixels = 0;
    m_scratch = BorderOverlay();
    m_scratchFrame = -1;
    m_frameCount = 0;
    m_curFrame = -1;
}

bool CVideoEffectBorder::OnNotifyFrameSize(const VideoFrameFormat& format) {
    // Remembered so the next picture is prepared at the size it is shown at.
    if (format.bmiHeader.biWidth > 0 && format.bmiHeader.biHeight > 0) {
        CAutoLock lock(m_lock);
        m_frameWidth = format.bmiHeader.biWidth;
        m_frameHeight = format.bmiHeader.biHeight;
    }
    return true;
}

void CVideoEffectBorder::DealVideo(BYTE* frame, const VideoFrameFormat* format, int /*streamType*/) {
    CAutoLock lock(m_lock);
    if (!m_pImage || m_delays.empty() || !frame || !format) return;
    const int width = format->bmiHeader.biWidth;
    const int height = format->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || format->bmiHeader.biBitCount != 24) return;

    // The active frame, stretched over the whole frame. It was drawn with
    // GDI+ when it was first needed; here its pixels are laid over the frame.
    const BorderOverlay* overlay = CurrentOverlay(width, height);
    if (overlay) BlendOverlay(*overlay, frame, VideoFrameStride(*format));

    const DWORD now = GetTickNow();
    if (m_curFrame == -1) {
        m_curFrame = 0;
        m_lastSwitch = now;
    }
    // Delays are in hundredths of a second; a delay of 0 advances whenever
    // the clock has moved on. The new frame shows from the next video frame.
    if (static_cast<DWORD>(now - m_lastSwitch) > 10u * m_delays[static_cast<size_t>(m_curFrame)]) {
        m_curFrame = (m_curFrame + 1) % m_frameCount;
        m_lastSwitch = now;
    }
}

bool CVideoEffectBorder::AddToChain() {
    IDataKernal* kernel = Kernel();
    if (!kernel) {
        YL_Log(kLog, 2, kModule, "AddVideoDeal::modKernal不存在");
        return false;
    }
    return kernel->AddVideoDeal(this);
}

void CVideoEffectBorder::RemoveFromChain() {
    IDataKernal* kernel = Kernel();
    if (kernel) kernel->RemoveVideoDeal(this);
}

void CVideoEffectBorder::SaveBorderName(const std::string& name) {
    AfxGetConfigManager()->SetString(kSection, kKeyName, name.c_str(), 0);
}

void CVideoEffectBorder::NotifyBorder(int id, const std::string& name) {
    IDataVEBorderObserver::ChangedMsg::Send(id, name);
}
