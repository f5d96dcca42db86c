// DuiLib: the skinned-window library. Include this one header.
#pragma once

#include "UIDefine.h"
#include "UIBase.h"
#include "UIRender.h"
#include "UIManager.h"
#include "UIControl.h"
#include "UIContainer.h"
#include "UIControls.h"
#include "UIMarkup.h"
#include "UIDlgBuilder.h"
#include "UIMenu.h"
#include "UISkin.h"
