// The camera in a client that does what careless and hostile programs do
// (HostileClient.cpp, a process of its own per case, whose sample buffers end
// at a guard page): the client must stay alive and see the behaviour the
// case names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

// Runs the client on one case; its exit code, its output in output.
DWORD RunClient(const std::string& which, std::string& output) {
    const std::string outPath = zxtest::MakeTempDir("hostile") + "out.txt";
    const int code = zxtest::RunProcess("\"" + Dir::GetCurrentPath() + "ZxHostileClient.exe\" \"" + vct::FilterDllPath() +
                                            "\" " + which,
                                        zxtest::kHangGuardMs * 4, outPath);
    output = zxtest::ReadFile(outPath);
    return static_cast<DWORD>(code);
}

void Grey(uint8_t* pixels, int n) {
    std::memset(pixels, 0x40 + n % 64, vct::ChannelWriter::kWidth * vct::ChannelWriter::kHeight * 3);
}

TEST(HostileClient, EveryCaseLeavesTheClientAliveAndTheFilterSound) {
    vct::RedirectFilterLog("hostile");
    // Frames to scale: a picture sized wrongly would be written past its
    // buffers.
    vct::ChannelWriter writer(&Grey, true);
    struct Case {
        const char* which;
        const char* connect;  // what the connection must answer ("" for any)
    };
    const Case cases[] = {
        // Sample sizes the picture does not need: 0 (not given) connects and
        // delivers whole pictures; others are refused.
        {"sizes:0:0", "connect 0x00000000"},
        {"sizes:921600:921600", "connect 0x00000000"},
        {"sizes:6220800:921600", "connect 0x8004022a"},
        {"sizes:23040000:0", "connect 0x8004022a"},
        {"sizes:921600:4096", "connect 0x8004022a"},
        {"sizes:0:23040000", "connect 0x8004022a"},
        {"setformat-running", ""},
        {"setformat-refused", ""},
        {"setformat-reconnect", ""},
        {"stop-callback", ""},
        {"release-connected", ""},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(0u, RunClient(c.which, output)) << c.which << ": " << output;
        EXPECT_NE(std::string::npos, output.find(c.connect)) << c.which << ": " << output;
    }
}

// A host that pauses and stops its graph again and again starts the main
// program once.
TEST(HostileClient, ManyPausesAndStopsStartTheProgramOnce) {
    vct::RedirectFilterLog("hostile-launch");
    const std::string root = zxtest::MakeTempDir("hostile-launch");
    ASSERT_TRUE(CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLaunchProbe.exe").c_str(),
                          Charset::String2WString(root + "ZXVCam.exe").c_str(), FALSE));
    // The probe keeps the program's mutex, as the program does.
    ASSERT_TRUE(zxtest::WriteFile(root + "hold.txt", "1"));
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    std::string output;
    EXPECT_EQ(0u, RunClient("pause-stop", output)) << output;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"ZxLaunchProbe_Release");
    if (release) {
        SetEvent(release);
        CloseHandle(release);
    }
    EXPECT_TRUE(vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs));
    const std::string marker = zxtest::ReadFile(root + "launched.txt");
    EXPECT_EQ(1u, static_cast<size_t>(std::count(marker.begin(), marker.end(), '\n'))) << marker;
}

}  // namespace
