#include <windows.h>

#include <gtest/gtest.h>

#include "TestDataLib.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

struct Module : IData {
    int id = 0;
};

TEST(DataManager, RegisterLookUpRemove) {
    IDataManager* dm = AfxGetDataManager();
    ASSERT_EQ(dm, AfxGetDataManager()) << "one instance per process";
    Module a, b;
    int before = dm->GetDataCount();
    EXPECT_EQ(dm->GetData("modUnitA"), nullptr);
    EXPECT_TRUE(dm->AddData("modUnitA", &a));
    EXPECT_TRUE(dm->AddData("modUnitB", &b));
    EXPECT_EQ(dm->GetData("modUnitA"), &a);
    EXPECT_EQ(dm->GetData("modUnitB"), &b);
    EXPECT_EQ(dm->GetData("modunita"), nullptr) << "names are exact";
    EXPECT_EQ(dm->GetDataCount(), before + 2);
    EXPECT_TRUE(dm->AddData("modUnitA", &b)) << "a module registering again replaces the old pointer";
    EXPECT_EQ(dm->GetData("modUnitA"), &b);
    EXPECT_TRUE(dm->RemoveData("modUnitA"));
    EXPECT_FALSE(dm->RemoveData("modUnitA"));
    EXPECT_EQ(dm->GetData("modUnitA"), nullptr);
    EXPECT_TRUE(dm->RemoveData("modUnitB"));
    EXPECT_FALSE(dm->AddData(nullptr, &a));
    EXPECT_FALSE(dm->AddData("modNull", nullptr));
    EXPECT_EQ(dm->GetData(nullptr), nullptr);
    EXPECT_EQ(dm->GetDataCount(), before);
}

class ValueObserver : public IMessageObserver {
public:
    void OnMessage(int type, const ArgList& args) override {
        ++calls;
        lastType = type;
        value = ArgAt<eTestLibValue>(args, 0);
        text = ArgAt<std::string>(args, 1);
    }
    int calls = 0;
    int lastType = -1;
    eTestLibValue value = TEST_LIB_VALUE_A;
    std::string text;
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

bool LibraryLoaded(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

class DataDllManagerTest : public testing::Test {
protected:
    void SetUp() override { SetEnvironmentVariableW(L"ZXVCAM_DATA_LIBS", L"ZxTestDataLib.dll"); }
    void TearDown() override {
        AfxGetDataDllManager()->UnloadDataLibraries();
        SetEnvironmentVariableW(L"ZXVCAM_DATA_LIBS", nullptr);
    }
};

TEST_F(DataDllManagerTest, LoadCallsInitOnceAndUnloadCallsExit) {
    IDataDllManager* dll = AfxGetDataDllManager();
    ASSERT_TRUE(dll->LoadDataLibraries(0));
    EXPECT_TRUE(LibraryLoaded(L"ZxTestDataLib.dll"));
    EXPECT_EQ(dll->GetLoadedCount(), 1);
    auto* lib = static_cast<IDataTestLib*>(AfxGetDataManager()->GetData("modTestLib"));
    ASSERT_NE(lib, nullptr) << "ZxDllInit registered its module";
    EXPECT_EQ(lib->InitCount(), 1);
    EXPECT_TRUE(dll->LoadDataLibraries(0)) << "a second load does nothing";
    EXPECT_EQ(lib->InitCount(), 1);

    // A notification made by the library reaches an observer of the program.
    ValueObserver obs;
    ASSERT_TRUE(AfxGetMessageManager()->AttachObserver("modTestLib_ob", &obs, OBSERVER_MODE_THREAD));
    lib->NotifyFromLibrary();
    Pump();
    EXPECT_EQ(obs.calls, 1);
    EXPECT_EQ(obs.lastType, 7);
    EXPECT_EQ(obs.value, TEST_LIB_VALUE_B);
    EXPECT_EQ(obs.text, "from library");

    // A notification still queued when the library goes is dropped, not
    // delivered with values whose code has been unloaded.
    lib->NotifyFromLibrary();
    dll->UnloadDataLibraries();
    EXPECT_FALSE(LibraryLoaded(L"ZxTestDataLib.dll"));
    EXPECT_EQ(AfxGetDataManager()->GetData("modTestLib"), nullptr) << "ZxDllExit removed its module";
    EXPECT_EQ(dll->GetLoadedCount(), 0);
    Pump();
    EXPECT_EQ(obs.calls, 1);
    AfxGetMessageManager()->DetachObserver("modTestLib_ob", &obs);

    // Loading again starts the library afresh.
    ASSERT_TRUE(dll->LoadDataLibraries(0));
    lib = static_cast<IDataTestLib*>(AfxGetDataManager()->GetData("modTestLib"));
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->InitCount(), 1);
}

TEST_F(DataDllManagerTest, MissingOrForeignLibrariesAreRefused) {
    zxtest::RedirectUserFolders("dll-refused");
    SetEnvironmentVariableW(L"ZXVCAM_DATA_LIBS", L"NoSuchLibrary.dll;ZxTestNotDataLib.dll;..\\evil.dll;ZxTestDataLib.dll");
    IDataDllManager* dll = AfxGetDataDllManager();
    EXPECT_FALSE(dll->LoadDataLibraries(0)) << "not every library loaded";
    EXPECT_EQ(dll->GetLoadedCount(), 1) << "the good one still loads";
    EXPECT_NE(AfxGetDataManager()->GetData("modTestLib"), nullptr);
    EXPECT_FALSE(LibraryLoaded(L"ZxTestNotDataLib.dll")) << "a library without ZxDllInit is unloaded again";
    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    std::string log = zxtest::ReadFile(Dir::GetLogPath() + "ZxMusicCore.txt");
    EXPECT_NE(log.find("NoSuchLibrary.dll"), std::string::npos) << log;
    EXPECT_NE(log.find("ZxTestNotDataLib.dll has no ZxDllInit"), std::string::npos) << log;
    EXPECT_NE(log.find("..\\evil.dll"), std::string::npos) << log;
}

}  // namespace
