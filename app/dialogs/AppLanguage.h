// The language the program's windows speak: the user's choice, stored in the
// settings ("as Windows" when none is stored), applied when the program
// starts and, when the user changes it in the setup dialog, to every open
// window at once, without a restart.
#pragma once

#include <windows.h>

#include "ZxLib/Lang.h"

namespace AppLanguage {

// The stored choice; "as Windows" when none or an unknown one is stored.
Lang::Choice StoredChoice();

// Before the first skinned window is made: the skinned windows take their
// texts from the program's tables, in the language of the stored choice.
void Start();

// Stores the choice and speaks its language from now on: every open skinned
// window shows its texts in it and lays itself out again for their new
// lengths, and every top-level window of this process is sent
// LangUi::ChangedMessage() so the texts it sets from its own code follow.
void Apply(Lang::Choice choice);


}  // namespace AppLanguage
