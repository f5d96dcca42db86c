// The one definition of the filter's class identifier.
#include <windows.h>
#include <objbase.h>

#include <initguid.h>

#include "VCamGuids.h"
