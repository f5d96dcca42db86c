// The one definition of the identifiers DShowGuids.h declares.
#include <windows.h>
#include <objbase.h>

#include <dshow.h>

#include <initguid.h>

#include "DShowBase/DShowGuids.h"
