// DuiLib: CDialogBuilder builds a window's control tree from a skin file.
#pragma once

#include "UIMarkup.h"
#include "UIControl.h"

namespace DuiLib {

// Creates controls of classes the library does not know; return null for
// any other class name.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(const std::string& className) = 0;
};

class CDialogBuilder {
public:
    // Builds from a skin file (full path, or relative to the skin root).
    // The window settings of the <Window> element go to the manager. Returns
    // the root control (owned by the caller until attached), or null when
    // the file is missing or not well formed (logged with file and line).
    CControlUI* Create(const std::string& skinFile, IDialogBuilderCallback* pCallback = nullptr,
                       CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
    // Builds from XML text; sourceName names it in log lines.
    CControlUI* CreateFromText(const std::string& xml, const std::string& sourceName,
                               IDialogBuilderCallback* pCallback = nullptr, CPaintManagerUI* pManager = nullptr,
                               CControlUI* pParent = nullptr);
    // Problems found by the last build (one text per log line written).
    const std::vector<std::string>& GetWarnings() const { return m_warnings; }
    // A control of a class the library knows ("Button", "TileLayout"...), or null.
    static CControlUI* CreateBuiltinControl(const std::string& className);

private:
    CControlUI* Parse(const CMarkupNode& node, CControlUI* pParent, CPaintManagerUI* pManager, int depth);
    void ApplyWindow(const CMarkupNode& node, CPaintManagerUI* pManager);
    void Warn(int line, const std::string& text);
    IDialogBuilderCallback* m_pCallback = nullptr;
    std::string m_source;
    std::string m_folder;
    std::vector<std::string> m_warnings;
};

}  // namespace DuiLib
