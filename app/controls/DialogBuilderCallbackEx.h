// Creates the program's own controls while a skin file is read:
// "SpinButton", "LiveButton" and "TileList". Any other class is
// left to the library.
#pragma once

#include "DuiLib/UIlib.h"

class CDialogBuilderCallbackEx : public DuiLib::IDialogBuilderCallback {
public:
    DuiLib::CControlUI* CreateControl(const std::string& className) override;
};
