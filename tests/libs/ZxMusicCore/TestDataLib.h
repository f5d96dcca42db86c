// The data module of the test data library.
#pragma once

#include "ZxMusicCore/ZxMusicCore.h"

enum eTestLibValue { TEST_LIB_VALUE_A, TEST_LIB_VALUE_B };

class IDataTestLib : public IData {
public:
    // How often ZxDllInit ran in this load of the library.
    virtual int InitCount() = 0;
    // Sends "modTestLib_ob" type 7 with (eTestLibValue B, "from library").
    virtual void NotifyFromLibrary() = 0;
};
