#include "VideoEffectPendant.h"

#include <sstream>

#include "ChannelScale.h"
#include "IDataKernal.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVVideoEffect.txt";
const char kModule[] = "CVideoEffectPendant";
const char kSection[] = "VEPendant";
const char kKeyId[] = "PendantID";

struct BuiltInFilter {
    int id;
    const char* name;
    const char* thumbFile;
    const char* keyStem;
    double red, green, blue;
};

// The built-in filters; order and ids are fixed.
const BuiltInFilter kFilters[] = {
    {0, "红润", "红润.jpg", "HongRun", 1.04, 0.88, 0.86},
    {1, "日系", "日系.jpg", "RiXi", 0.86, 1.07, 1.0},
    {2, "清凉", "清凉.jpg", "QingLiang", 0.85, 1.0, 1.25},
    {3, "温暖", "温暖.jpg", "WenNuan", 0.98, 0.94, 0.75},
    {4, "紫丁香", "紫丁香.jpg", "ZiDingXiang", 1.2, 0.88, 1.45},
    {5, "怀旧", "怀旧.jpg", "HuaiJiu", 0.96, 0.72, 0.54},
    {6, "红粉佳人", "红粉佳人.jpg", "HongFenJiaRen", 1.45, 0.91, 0.96},
};

IDataKernal* Kernal() { return static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL)); }

// Replaces factor with the override stored under key, if there is one. The
// text is read as a string stream reads a double; unreadable text gives 0.
void ReadOverride(const std::string& key, double& factor) {
    std::string text;
    if (!AfxGetConfigManager()->GetString(kSection, key.c_str(), text)) return;
    std::istringstream in(text);
    double value = 0.0;
    if (!(in >> value)) {
        value = 0.0;
        YL_Log(kLog, 2, kModule, "Init::%s=\"%s\" is not a number, factor 0 is used", key.c_str(), text.c_str());
    }
    factor = value;
}

}  // namespace

CVideoEffectPendant::CVideoEffectPendant() : m_currentId(-1), m_pCurrentItem(nullptr), m_bInit(false) {}

// The owner (the kernel) runs UnInit before destroying the module.
CVideoEffectPendant::~CVideoEffectPendant() {}

void CVideoEffectPendant::BuildItems() {
    // The thumbnails ship in the program's resource folder (the program's own
    // folder unless the resource folder is redirected).
    const std::string folder = Dir::GetZxPath(Dir::kPathResource) + "filter\\";
    for (const BuiltInFilter& f : kFilters) {
        PendantItem item;
        item.id = f.id;
        item.name = f.name;
        item.thumbPath = folder + f.thumbFile;
        item.keyStem = f.keyStem;
        item.red = f.red;
        item.green = f.green;
        item.blue = f.blue;
        ReadOverride(item.keyStem + "R", item.red);
        ReadOverride(item.keyStem + "G", item.green);
        ReadOverride(item.keyStem + "B", item.blue);
        m_items[item.id] = item;
    }
}

bool CVideoEffectPendant::Init() {
    if (m_bInit) UnInit();
    BuildItems();
    m_bInit = true;
    AfxGetDataManager()->AddData(ZX_MOD_VIDEOEFFECTPENDANT, this);
    m_currentId = -1;
    AfxGetConfigManager()->GetInt(kSection, kKeyId, m_currentId, -1);
    if (m_currentId == -1) return true;
    const PendantItem* item = FindItem(m_currentId);
    // An id that names no filter still joins the chain, with no filter: the
    // frames pass unchanged until another filter is chosen.
    if (!item) YL_Log(kLog, 2, kModule, "Init::PendantID=%d names no filter, frames pass unchanged", m_currentId);
    m_pCurrentItem = item;
    IDataKernal* kernel = Kernal();
    if (kernel) {
        kernel->AddVideoDeal(this);
    } else {
        YL_Log(kLog, 2, kModule, "Init::modKernal not found, the filter cannot join the chain");
    }
    return true;
}

void CVideoEffectPendant::UnInit() {
    if (IDataKernal* kernel = Kernal()) kernel->RemoveVideoDeal(this);
    if (AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTPENDANT) == this)
        AfxGetDataManager()->RemoveData(ZX_MOD_VIDEOEFFECTPENDANT);
    // Out of the chain: no frame reads the items any more.
    m_pCurrentItem = nullptr;
    m_items.clear();
    m_bInit = false;
}

const CVideoEffectPendant::PendantItem* CVideoEffectPendant::FindItem(int id) const {
    auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : &it->second;
}

bool CVideoEffectPendant::GetPendantList(VEPendantList& list) {
    for (const auto& entry : m_items) {
        VEPendantEntry e;
        e.id = entry.second.id;
        e.name = entry.second.name;
        e.thumbPath = entry.second.thumbPath;
        list.push_back(e);
    }
    return !m_items.empty();
}

void CVideoEffectPendant::SetPendant(int id) {
    if (id == m_currentId) return;
    if (id == -1) {
        if (IDataKernal* kernel = Kernal()) kernel->RemoveVideoDeal(this);
        m_currentId = -1;
        AfxGetConfigManager()->SetInt(kSection, kKeyId, -1);
        m_pCurrentItem = nullptr;
        Notify(-1, "");
        return;
    }
    const PendantItem* item = FindItem(id);
    if (!item) return;
    m_currentId = id;
    m_pCurrentItem = item;
    // Refused harmlessly when a filter was already on: the module is then
    // in the chain already and simply uses the new item.
    if (IDataKernal* kernel = Kernal()) kernel->AddVideoDeal(this);
    AfxGetConfigManager()->SetInt(kSection, kKeyId, id);
    Notify(id, item->name);
}

int CVideoEffectPendant::GetPendant() { return m_currentId; }

std::string CVideoEffectPendant::GetPendantName(int id) {
    const PendantItem* item = FindItem(id);
    return item ? item->name : std::string();
}

void CVideoEffectPendant::Notify(int id, const std::string& name) {
    IDataVEPendantObserver::ChangedMsg::Send(id, name);
}

bool CVideoEffectPendant::OnNotifyFrameSize(const VideoFrameFormat& /*format*/) { return true; }

void CVideoEffectPendant::DealVideo(BYTE* frame, const VideoFrameFormat* format, int /*streamType*/) {
    const PendantItem* item = m_pCurrentItem;
    if (!item || !format) return;
    ScaleChannels(frame, *format, item->red, item->green, item->blue);
}
