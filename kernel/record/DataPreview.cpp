#include "DataPreview.h"

bool CDataPreview::Init() {
    AfxGetDataManager()->AddData(ZX_MOD_RECORDPREVIEW, this);
    return true;
}

void CDataPreview::UnInit() {
    m_oPlayer.Uint();
    AfxGetDataManager()->RemoveData(ZX_MOD_RECORDPREVIEW);
}

bool CDataPreview::SetPreviewFile(const std::string& path) {
    m_path = path;
    return true;
}

int CDataPreview::GetTotalTime() { return static_cast<int>(LibRecorder::FFGetTotalTm(m_path.c_str())); }

bool CDataPreview::PlayPreview(int reserved, int width, int height) {
    (void)reserved;
    // A negative size would wrap into a huge one.
    if (width <= 0 || height <= 0) return false;
    return m_oPlayer.Init(m_path.c_str(), static_cast<unsigned>(width), static_cast<unsigned>(height), true, true) == 0;
}

int CDataPreview::QueryPreviewFrame(unsigned char* buffer, int length) {
    if (!buffer || length <= 0) return 0;
    return m_oPlayer.QueryFrame(buffer, static_cast<unsigned>(length));
}

int CDataPreview::GetPreviewTime() {
    double current = 0, total = 0;
    m_oPlayer.GetCurTm(current, total);
    return static_cast<int>(current);
}
