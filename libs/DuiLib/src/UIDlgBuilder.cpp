// CDialogBuilder: a skin file to a control tree. Unknown elements and
// attributes, bad values and a file that is not well formed each give one
// log line naming the file and line; the build goes on where it can.
#include "DuiLib/UIDlgBuilder.h"

#include "DuiLib/UIControls.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UISkin.h"

namespace DuiLib {

namespace {
bool IsAbsolute(const std::string& p) {
    return p.size() > 2 && (p[1] == ':' || (p[0] == '\\' && p[1] == '\\'));
}
std::string FolderOf(const std::string& p) {
    size_t s = p.find_last_of("\\/");
    return s == std::string::npos ? std::string() : p.substr(0, s + 1);
}
}  // namespace

CControlUI* CDialogBuilder::CreateBuiltinControl(const std::string& cls) {
    if (cls == "Control") return new CControlUI;
    if (cls == "Container") return new CContainerUI;
    if (cls == "VerticalLayout") return new CVerticalLayoutUI;
    if (cls == "HorizontalLayout") return new CHorizontalLayoutUI;
    if (cls == "TabLayout") return new CTabLayoutUI;
    if (cls == "TileLayout") return new CTileLayoutUI;
    if (cls == "Label" || cls == "Text") return new CLabelUI;
    if (cls == "Button") return new CButtonUI;
    if (cls == "Option" || cls == "CheckBox") return new COptionUI;
    if (cls == "Progress") return new CProgressUI;
    if (cls == "Slider") return new CSliderUI;
    if (cls == "Edit") return new CEditUI;
    if (cls == "Combo") return new CComboUI;
    if (cls == "ListLabelElement") return new CListLabelElementUI;
    return nullptr;
}

void CDialogBuilder::Warn(int line, const std::string& text) {
    m_warnings.push_back(text);
    DuiLog(2, "CDialogBuilder", "%s:%d: %s", m_source.c_str(), line, text.c_str());
}

CControlUI* CDialogBuilder::Create(const std::string& skinFile, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
    std::string path = skinFile;
    if (!IsAbsolute(path)) {
        std::string base = pManager && !pManager->GetResourcePath().empty() ? pManager->GetResourcePath()
                                                                            : CSkinMgr::GetSkinRootPath();
        path = base + path;
    }
    m_source = path;
    m_folder = FolderOf(path);
    m_warnings.clear();
    CMarkup xml;
    if (!xml.LoadFromFile(path)) {
        Warn(xml.GetErrorLine(), "skin not loaded: " + xml.GetLastError());
        return nullptr;
    }
    if (pManager) {
        if (pManager->GetResourcePath().empty()) pManager->SetResourcePath(m_folder);
        pManager->SetSkinFile(path);
    }
    m_pCallback = pCallback;
    const CMarkupNode& root = xml.Root();
    if (root.name != "Window") return Parse(root, pParent, pManager, 0);
    ApplyWindow(root, pManager);
    CControlUI* result = nullptr;
    for (const CMarkupNode& child : root.children) {
        const std::string& n = child.name;
        if (n == "Font" || n == "Image" || n == "Default" || n == "BkCfg") continue;
        if (result) {
            Warn(child.line, "a second root control <" + n + "> is ignored");
            continue;
        }
        result = Parse(child, pParent, pManager, 0);
    }
    if (!result) Warn(root.line, "the window holds no control");
    return result;
}

CControlUI* CDialogBuilder::CreateFromText(const std::string& text, const std::string& sourceName,
                                           IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                                           CControlUI* pParent) {
    m_source = sourceName;
    m_folder = pManager ? pManager->GetResourcePath() : std::string();
    m_warnings.clear();
    CMarkup xml;
    if (!xml.Load(text)) {
        Warn(xml.GetErrorLine(), "skin not loaded: " + xml.GetLastError());
        return nullptr;
    }
    m_pCallback = pCallback;
    const CMarkupNode& root = xml.Root();
    if (root.name != "Window") return Parse(root, pParent, pManager, 0);
    ApplyWindow(root, pManager);
    for (const CMarkupNode& child : root.children) {
        const std::string& n = child.name;
        if (n == "Font" || n == "Image" || n == "Default" || n == "BkCfg") continue;
        return Parse(child, pParent, pManager, 0);
    }
    Warn(root.line, "the window holds no control");
    return nullptr;
}

void CDialogBuilder::ApplyWindow(const CMarkupNode& node, CPaintManagerUI* pm) {
    for (const auto& a : node.attributes) {
        RECT rc;
        SIZE sz;
        int n;
        bool b;
        const std::string& k = a.first;
        const std::string& v = a.second;
        bool ok = true;
        if (k == "size") {
            ok = ParseSize(v, sz);
            if (ok && pm) pm->SetInitSize(sz.cx, sz.cy);
        } else if (k == "caption") {
            ok = ParseRect(v, rc);
            if (ok && pm) pm->SetCaptionRect(rc);
        } else if (k == "sizebox") {
            ok = ParseRect(v, rc);
            if (ok && pm) pm->SetSizeBox(rc);
        } else if (k == "mininfo") {
            ok = ParseSize(v, sz);
            if (ok && pm) pm->SetMinInfo(sz.cx, sz.cy);
        } else if (k == "maxinfo") {
            ok = ParseSize(v, sz);
            if (ok && pm) pm->SetMaxInfo(sz.cx, sz.cy);
        } else if (k == "roundcorner") {
            ok = ParseSize(v, sz);
            if (ok && pm) pm->SetRoundCorner(sz.cx, sz.cy);
        } else if (k == "bkcolor") {
            if (pm) pm->SetBkColor(CRenderEngine::GetColorValue(v));
        } else if (k == "alpha") {
            ok = ParseInt(v, n);
            if (ok && pm) pm->SetAlphaTranspanrent(n);
        } else if (k == "layered") {
            ok = ParseBool(v, b);
            if (ok && pm) pm->SetLayerAttribute(b);
        } else {
            Warn(node.line, "unknown window attribute '" + k + "'");
            continue;
        }
        if (!ok) Warn(node.line, "bad value '" + v + "' for window attribute '" + k + "'");
    }
    for (const CMarkupNode& c : node.children) {
        if (c.name == "Font") {
            std::string name = c.GetAttribute("name");
            std::string face = c.GetAttribute("face", "Microsoft YaHei");
            int size = 12;
            bool bold = false, underline = false, italic = false, def = false;
            if (c.HasAttribute("size") && !ParseInt(c.GetAttribute("size"), size)) Warn(c.line, "bad font size");
            ParseBool(c.GetAttribute("bold", "false"), bold);
            ParseBool(c.GetAttribute("underline", "false"), underline);
            ParseBool(c.GetAttribute("italic", "false"), italic);
            ParseBool(c.GetAttribute("default", "false"), def);
            if (name.empty() && !def) {
                Warn(c.line, "a <Font> needs a name");
                continue;
            }
            if (pm) {
                if (!name.empty()) pm->AddFont(name, face, size, bold, underline, italic);
                if (def) pm->SetDefaultFont(face, size);
            }
        } else if (c.name == "Image") {
            std::string name = c.GetAttribute("name");
            std::string file = c.GetAttribute("file", name);
            if (file.empty()) {
                Warn(c.line, "an <Image> needs a file");
                continue;
            }
            std::string full = IsAbsolute(file) ? file : m_folder + file;
            if (CImageMgr::GetImage(full)) {
                if (!name.empty()) CImageMgr::AddAlias(name, full);
                continue;
            }
            TImageInfo* img = CRenderEngine::LoadFullPathImageFile(full);
            if (!img) {
                Warn(c.line, "picture '" + file + "' cannot be loaded");
                continue;
            }
            CImageMgr::AddImage(full, img);
            if (!name.empty()) CImageMgr::AddAlias(name, full);
        } else if (c.name == "Default") {
            if (pm) pm->AddDefaultAttributeList(c.GetAttribute("name"), c.GetAttribute("value"));
        } else if (c.name == "BkCfg") {
            TBkCfg cfg;
            cfg.image = c.GetAttribute("image");
            cfg.modifiers = c.GetAttribute("modifiers");
            if (c.HasAttribute("color")) cfg.color = CRenderEngine::GetColorValue(c.GetAttribute("color"));
            const std::pair<const char*, DWORD*> colours[] = {{"textcolor", &cfg.textColor},
                                                              {"hotcolor", &cfg.hotColor},
                                                              {"hottextcolor", &cfg.hotTextColor},
                                                              {"linecolor", &cfg.lineColor},
                                                              {"bordercolor", &cfg.borderColor}};
            for (const auto& colour : colours)
                if (c.HasAttribute(colour.first)) *colour.second = CRenderEngine::GetColorValue(c.GetAttribute(colour.first));
            std::string name = c.GetAttribute("name");
            if (name.empty()) Warn(c.line, "a <BkCfg> needs a name");
            else CSkinMgr::AddBkCfg(name, cfg);
        }
    }
}

CControlUI* CDialogBuilder::Parse(const CMarkupNode& node, CControlUI* pParent, CPaintManagerUI* pManager,
                                  int depth) {
    if (depth > 64) {
        Warn(node.line, "controls nested too deep");
        return nullptr;
    }
    if (node.name == "Include") {
        std::string src = node.GetAttribute("source");
        if (src.empty() || depth > 16) {
            Warn(node.line, "an <Include> needs a source");
            return nullptr;
        }
        CDialogBuilder sub;
        CControlUI* p = sub.Create(IsAbsolute(src) ? src : m_folder + src, m_pCallback, pManager, pParent);
        for (const auto& w : sub.GetWarnings()) m_warnings.push_back(w);
        return p;
    }
    CControlUI* ctl = m_pCallback ? m_pCallback->CreateControl(node.name) : nullptr;
    if (!ctl) ctl = CreateBuiltinControl(node.name);
    if (!ctl) {
        Warn(node.line, "unknown control class <" + node.name + "> skipped with its contents");
        return nullptr;
    }
    if (pManager) {
        std::string defaults = pManager->GetDefaultAttributeList(node.name);
        if (!defaults.empty() && !ctl->ApplyAttributeList(defaults))
            Warn(node.line, "the default attributes of <" + node.name + "> hold an unknown or bad one");
    }
    for (const auto& a : node.attributes) {
        if (!ctl->SetAttribute(a.first, a.second))
            Warn(node.line, "attribute '" + a.first + "' of <" + node.name + "> unknown or its value '" + a.second +
                                "' bad");
    }
    auto* container = static_cast<CContainerUI*>(ctl->GetInterface("Container"));
    for (const CMarkupNode& child : node.children) {
        if (!container) {
            Warn(child.line, "<" + node.name + "> holds no controls; <" + child.name + "> ignored");
            continue;
        }
        Parse(child, container, pManager, depth + 1);
    }
    if (pParent) {
        auto* parent = static_cast<CContainerUI*>(pParent->GetInterface("Container"));
        if (!parent || !parent->Add(ctl)) {
            Warn(node.line, "<" + node.name + "> cannot be placed here");
            delete ctl;
            return nullptr;
        }
    }
    return ctl;
}

}  // namespace DuiLib
