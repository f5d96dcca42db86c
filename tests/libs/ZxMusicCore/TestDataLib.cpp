// A data library for the tests: registers "modTestLib" in ZxDllInit and
// removes it in ZxDllExit, like the kernel does with its modules.
#include "TestDataLib.h"

namespace {

class CTestLib : public IDataTestLib {
public:
    int InitCount() override { return inits; }
    void NotifyFromLibrary() override {
        ArgList args;
        ArgAppender(args) << TEST_LIB_VALUE_B << std::string("from library");
        AfxGetMessageManager()->NotifyEx("modTestLib_ob", 7, 0, args);
    }
    int inits = 0;
};

CTestLib* g_lib = nullptr;

}  // namespace

extern "C" __declspec(dllexport) void ZxDllInit() {
    if (!g_lib) g_lib = new CTestLib;
    ++g_lib->inits;
    AfxGetDataManager()->AddData("modTestLib", g_lib);
}

extern "C" __declspec(dllexport) void ZxDllExit() {
    AfxGetDataManager()->RemoveData("modTestLib");
    delete g_lib;
    g_lib = nullptr;
}
