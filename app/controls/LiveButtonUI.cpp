#include "LiveButtonUI.h"

#include <cstdio>

using namespace DuiLib;

namespace {

bool IsAbsolutePath(const std::string& p) {
    return p.size() > 2 && (p[1] == ':' || (p[0] == '\\' && p[1] == '\\'));
}

bool FileExists(const std::string& path) {
    DWORD attr = GetFileAttributesW(ToW(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

// The value of key='...' in a picture description, or "" without one.
std::string ImageStringPart(const std::string& image, const std::string& key) {
    const std::string tag = key + "='";
    size_t pos = 0;
    while ((pos = image.find(tag, pos)) != std::string::npos) {
        // A whole key only ("dest" must not match inside "xdest").
        if (pos == 0 || image[pos - 1] == ' ') {
            size_t start = pos + tag.size();
            size_t end = image.find('\'', start);
            if (end == std::string::npos) return std::string();
            return image.substr(start, end - start);
        }
        pos += tag.size();
    }
    return std::string();
}

// The picture name of a description: the file='' part, or the whole text
// when it is a bare name.
std::string ImageFileName(const std::string& image) {
    if (image.find('\'') == std::string::npos) return image;
    return ImageStringPart(image, "file");
}

}  // namespace

CLiveButtonUI::CLiveButtonUI() = default;

std::string CLiveButtonUI::GetClass() const { return "LiveButtonUI"; }

void* CLiveButtonUI::GetInterface(const std::string& name) {
    if (name == "LiveButton") return this;
    return CButtonUI::GetInterface(name);
}

bool CLiveButtonUI::SetAttribute(const std::string& name, const std::string& value) {
    bool own = true;
    if (name == "icontype") {
        m_bIconPicture = (value != "color");
    } else if (name == "isgradient") {
        m_bGradient = (value == "true");
    } else if (name == "iconcolor") {
        m_dwIconColor = CRenderEngine::GetColorValue(value);
    } else {
        own = false;
    }
    if (own) Invalidate();
    // The button sees every attribute; the three above are known here even
    // though it does not know them.
    bool base = CButtonUI::SetAttribute(name, value);
    return own || base;
}

void CLiveButtonUI::SetIconColor(DWORD argb) {
    m_dwIconColor = argb;
    Invalidate();
}

void CLiveButtonUI::SetPictureMode(bool bPicture) {
    m_bIconPicture = bPicture;
    Invalidate();
}

void CLiveButtonUI::SetGradient(bool bGradient) {
    m_bGradient = bGradient;
    Invalidate();
}

RECT CLiveButtonUI::GetIconRect() const { return RectDeflate(m_rcItem, Scaled(m_rcTextPadding)); }

std::string CLiveButtonUI::FindForeImageFile() const {
    const std::string name = ImageFileName(m_sForeImage);
    if (name.empty()) return std::string();
    if (IsAbsolutePath(name)) return FileExists(name) ? name : std::string();
    std::vector<std::string> candidates;
    if (m_pManager && !m_pManager->GetResourcePath().empty()) candidates.push_back(m_pManager->GetResourcePath() + name);
    const std::string root = CSkinMgr::GetSkinRootPath();
    if (!root.empty()) candidates.push_back(root + name);
    for (const auto& c : candidates)
        if (FileExists(c)) return c;
    return std::string();
}

void CLiveButtonUI::PaintText(Gdiplus::Graphics& g) {
    CButtonUI::PaintText(g);
    const RECT rcIcon = GetIconRect();
    if (RectEmpty(rcIcon)) return;
    if (m_bIconPicture) {
        // The picture is looked for on every paint: one removed from the
        // disk is no longer drawn.
        const std::string file = FindForeImageFile();
        if (file.empty() || !m_pManager) return;
        TImageInfo* image = m_pManager->GetImage(file);
        if (!image) return;
        const int in = Scaled(1);
        const RECT dest{rcIcon.left + in, rcIcon.top + in, rcIcon.right - in, rcIcon.bottom - in};
        if (RectEmpty(dest)) return;
        CRenderEngine::DrawImage(g, image, dest, RECT{0, 0, image->nX, image->nY}, RECT{0, 0, 0, 0}, 255);
    } else if (!m_bGradient) {
        CRenderEngine::DrawColor(g, rcIcon, m_dwIconColor);
    }
}

void CLiveButtonUI::PaintStatusImage(Gdiplus::Graphics& g) {
    // The state image by priority disabled, pushed, hot, focused; a state
    // image that cannot be drawn is forgotten, so it is not tried on every
    // paint, and the normal image is drawn instead.
    std::string* state = nullptr;
    if (!IsEnabled()) state = &m_sDisabledImage;
    else if (m_uButtonState & UISTATE_PUSHED) state = &m_sPushedImage;
    else if (m_uButtonState & UISTATE_HOT) state = &m_sHotImage;
    else if (m_bFocused) state = &m_sFocusedImage;
    bool drawn = false;
    if (state && !state->empty()) {
        drawn = DrawImage(g, *state);
        if (!drawn) state->clear();
    }
    if (!drawn) DrawImage(g, m_sNormalImage);

    if (m_sForeImage.empty()) return;
    // The foreground picture goes into the icon area (relative to the
    // control, as picture modifiers are).
    const RECT rcIcon = GetIconRect();
    char modify[160];
    const int l = rcIcon.left - m_rcItem.left, t = rcIcon.top - m_rcItem.top;
    const int r = rcIcon.right - m_rcItem.left, b = rcIcon.bottom - m_rcItem.top;
    const std::string source = ImageStringPart(m_sForeImage, "source");
    RECT rcSource;
    if (!source.empty() && ParseRect(source, rcSource))
        std::snprintf(modify, sizeof modify, "dest='%d,%d,%d,%d',source='%d,%d,%d,%d'", l, t, r, b,
                      static_cast<int>(rcSource.left), static_cast<int>(rcSource.top),
                      static_cast<int>(rcSource.right), static_cast<int>(rcSource.bottom));
    else
        std::snprintf(modify, sizeof modify, "dest='%d,%d,%d,%d'", l, t, r, b);
    DrawImage(g, m_sForeImage, modify);
}
