#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include <dshow.h>

#include "ShareMem.h"
#include "VCam.h"
#include "TestSupport.h"
#include "VCamSource.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

bool CopyProbe(const std::string& to) {
    return CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLaunchProbe.exe").c_str(),
                     Charset::String2WString(to).c_str(), FALSE) != FALSE;
}

size_t CountLines(const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
    return n;
}

// Waits until the probes of folder wrote count lines to their marker and no
// probe runs any more (each writes its line, then ends), so the marker is
// complete; the marker's text. The bound only guards against a hang.
std::string WaitForLaunches(const std::string& folder, size_t count = 1) {
    const std::string marker = folder + "launched.txt";
    zxtest::WaitUntil([&] { return CountLines(zxtest::ReadFile(marker)) >= count; });
    vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs);
    return zxtest::ReadFile(marker);
}

class Launcher : public testing::Test {
protected:
    void SetUp() override { logPath = vct::RedirectFilterLog("launcher"); }
    std::string logPath;
};

TEST_F(Launcher, FolderWithSpacesStartsZXVCamOfThatFolderAndNothingElse) {
    const std::string root = zxtest::MakeTempDir("launch");
    const std::string folder = root + "Zx Cam 目录";
    ASSERT_TRUE(Dir::MakeDir(folder));
    ASSERT_TRUE(CopyProbe(folder + "\\ZXVCam.exe"));
    // What an unquoted command line "...\Zx Cam 目录\ZXVCam.exe" would start.
    ASSERT_TRUE(CopyProbe(root + "Zx.exe"));
    vct::ProgramFolderSetting setting(Charset::String2WString(folder).c_str());

    CShareMem reader;
    EXPECT_TRUE(StartVCamSource(reader));
    EXPECT_TRUE(reader.IsOpen()) << "the channel reader is opened on the way";

    const std::string marker = WaitForLaunches(folder + "\\");
    ASSERT_FALSE(marker.empty()) << "ZXVCam.exe in the registered folder did not run";
    const std::string program = folder + "\\ZXVCam.exe";
    EXPECT_EQ(0u, marker.find(program + "|")) << marker;
    EXPECT_NE(std::string::npos, marker.find("|\"" + program + "\"")) << "quoted command line: " << marker;
    EXPECT_EQ("", zxtest::ReadFile(root + "launched.txt")) << "the decoy in the parent folder ran";

    const std::string log = zxtest::ReadFile(logPath);
    EXPECT_NE(std::string::npos, log.find(": StartVCamSource\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find(": \"" + program + "\"\r\n")) << log;
}

TEST_F(Launcher, EveryCallStartsAnotherCopyAndKeepsTheReaderOpen) {
    const std::string root = zxtest::MakeTempDir("launch-twice");
    ASSERT_TRUE(CopyProbe(root + "ZXVCam.exe"));
    // A trailing backslash in the value changes nothing.
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    CShareMem reader;
    EXPECT_TRUE(StartVCamSource(reader));
    EXPECT_TRUE(StartVCamSource(reader));
    EXPECT_TRUE(reader.IsOpen());
    const std::string marker = WaitForLaunches(root, 2);
    EXPECT_EQ(2u, CountLines(marker)) << marker;
    EXPECT_EQ(std::string::npos, marker.find("\\\\ZXVCam.exe")) << marker;
}

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST_F(Launcher, MissingOrEmptyFolderStartsNothingAndSaysSo) {
    // The unquoted, unchecked launch would run \ZXVCam.exe of the current
    // drive: give the current drive one and check it stays unused. On
    // Windows a drive letter of our own maps a scratch folder; Wine 8 does
    // not map drives that way, so there the root of the prefix's own C:
    // serves (it is inside the prefix, and the file is removed again).
    std::string driveRoot = zxtest::MakeTempDir("drive");
    wchar_t oldDir[MAX_PATH * 2];
    GetCurrentDirectoryW(MAX_PATH * 2, oldDir);
    bool mapped = DefineDosDeviceW(0, L"Q:", Charset::String2WString(driveRoot).c_str()) != FALSE;
    std::wstring drive = L"Q:\\";
    if (mapped && GetFileAttributesW(drive.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
        mapped = false;
    }
    if (!mapped && UnderWine()) {
        driveRoot = "C:\\";
        drive = L"C:\\";
    }
    const bool onDrive = (mapped || UnderWine()) && CopyProbe(driveRoot + "ZXVCam.exe") &&
                         SetCurrentDirectoryW(drive.c_str());

    for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L""}) {
        vct::ProgramFolderSetting setting(value);
        CShareMem reader;
        EXPECT_FALSE(StartVCamSource(reader)) << (value ? "empty value" : "no value");
        EXPECT_TRUE(reader.IsOpen()) << "the channel opens all the same";
    }
    // A start would have been made inside StartVCamSource; once no probe
    // runs, its line would be in the marker.
    EXPECT_TRUE(vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs));
    SetCurrentDirectoryW(oldDir);
    const std::string marker = zxtest::ReadFile(driveRoot + "launched.txt");
    File::RemoveFile(driveRoot + "launched.txt");
    File::RemoveFile(driveRoot + "ZXVCam.exe");
    if (mapped) DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
    EXPECT_TRUE(onDrive) << "could not give the test a current drive of its own";
    EXPECT_EQ("", marker) << "\\ZXVCam.exe of the current drive was started";

    const std::string log = zxtest::ReadFile(logPath);
    EXPECT_NE(std::string::npos, log.find(": StartVCamSource\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("main program not started")) << log;
}

TEST_F(Launcher, ProgramMissingFromTheFolderIsLogged) {
    const std::string root = zxtest::MakeTempDir("launch-missing");
    vct::ProgramFolderSetting setting(Charset::String2WString(root + "gone").c_str());
    CShareMem reader;
    EXPECT_FALSE(StartVCamSource(reader));
    const std::string log = zxtest::ReadFile(logPath);
    EXPECT_NE(std::string::npos, log.find("gone\\ZXVCam.exe\"\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("the main program did not start")) << log;
}

TEST_F(Launcher, ConnectingStartsNothingAndEachRunStartsItOnce) {
    const std::string root = zxtest::MakeTempDir("launch-connect");
    ASSERT_TRUE(CopyProbe(root + "ZXVCam.exe"));
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    vct::ComScope com;
    vct::Ptr<IBaseFilter> camera, null;
    ASSERT_EQ(S_OK, vct::MakeFilterDirectly(&camera));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, null.out()));
    vct::Ptr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.out()));
    ASSERT_EQ(S_OK, graph->AddFilter(camera.get(), L"camera"));
    ASSERT_EQ(S_OK, graph->AddFilter(null.get(), L"null"));
    vct::Ptr<IPin> out, in;
    ASSERT_EQ(S_OK, vct::FirstPin(camera.get(), &out));
    ASSERT_EQ(S_OK, vct::FirstPin(null.get(), &in));
    // Format negotiations of connections start nothing.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, graph->ConnectDirect(out.get(), in.get(), nullptr));
        graph->Disconnect(out.get());
        graph->Disconnect(in.get());
    }
    ASSERT_EQ(S_OK, graph->ConnectDirect(out.get(), in.get(), nullptr));
    // Each run of the graph starts the main program once.
    vct::Ptr<IMediaControl> control;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, control.out()));
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        OAFilterState state;
        control->GetState(10000, &state);
        control->Pause();
        control->Run();
        ASSERT_EQ(S_OK, control->Stop());
    }
    graph->Disconnect(out.get());
    graph->Disconnect(in.get());
    graph->RemoveFilter(camera.get());
    graph->RemoveFilter(null.get());
    // The graph has stopped, so every start it made is under way.
    const std::string marker = WaitForLaunches(root, 2);
    EXPECT_EQ(2u, CountLines(marker)) << "one start per run: " << marker;
}

TEST(LauncherFolder, ReadsThePathValueOfTheCurrentUser) {
    {
        vct::ProgramFolderSetting setting(L"C:\\Prog");
        EXPECT_EQ("C:\\Prog", VCamProgramFolder());
        EXPECT_EQ(L"C:\\Prog\\ZXVCam.exe", VCamProgramPath(VCamProgramFolder()));
    }
    {
        vct::ProgramFolderSetting setting(L"C:\\Prog\\\\");
        EXPECT_EQ("C:\\Prog", VCamProgramFolder()) << "trailing backslashes dropped";
    }
    {
        vct::ProgramFolderSetting setting(nullptr);
        EXPECT_EQ("", VCamProgramFolder());
    }
}

}  // namespace
