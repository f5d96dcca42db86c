#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <dshow.h>

#include <aclapi.h>

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

using vct::CountLines;

// The marker's text once the probes of folder wrote count lines and none runs any more.
std::string WaitForLaunches(const std::string& folder, size_t count = 1) {
    const std::string marker = folder + "launched.txt";
    zxtest::WaitUntil([&] { return CountLines(zxtest::ReadFile(marker)) >= count; });
    vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs);
    return zxtest::ReadFile(marker);
}

class Launcher : public testing::Test {
protected:
    void SetUp() override {
        logPath = vct::RedirectFilterLog("launcher");
        // Requests of earlier tests must not hold this one's back.
        ASSERT_TRUE(VCamWaitForLauncher(zxtest::kHangGuardMs));
        VCamResetLauncher();
    }
    std::string logPath;
};

// Lets the probes that keep the program's mutex end.
void ReleaseHeldProbes() {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"ZxLaunchProbe_Release");
    if (release) {
        SetEvent(release);
        CloseHandle(release);
    }
}

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
}

TEST_F(Launcher, MissingFolderOrProgramStartsNothingAndSaysSo) {
    // An unchecked launch would run \ZXVCam.exe of the current drive: give it one, unused. A drive
    // letter maps a scratch folder; Wine 8 maps none that way, so there the prefix's C:\ serves.
    std::string driveRoot = zxtest::MakeTempDir("drive");
    wchar_t oldDir[MAX_PATH * 2];
    GetCurrentDirectoryW(MAX_PATH * 2, oldDir);
    bool mapped = DefineDosDeviceW(0, L"Q:", Charset::String2WString(driveRoot).c_str()) != FALSE;
    std::wstring drive = L"Q:\\";
    if (mapped && GetFileAttributesW(drive.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
        mapped = false;
    }
    if (!mapped && Process::RunsUnderWine()) {
        driveRoot = "C:\\";
        drive = L"C:\\";
    }
    const bool onDrive = (mapped || Process::RunsUnderWine()) && CopyProbe(driveRoot + "ZXVCam.exe") &&
                         SetCurrentDirectoryW(drive.c_str());

    // No value, an empty one, and a folder without the program.
    const std::wstring gone = Charset::String2WString(zxtest::MakeTempDir("launch-missing") + "gone");
    for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"", gone.c_str()}) {
        vct::ProgramFolderSetting setting(value);
        CShareMem reader;
        EXPECT_FALSE(StartVCamSource(reader)) << (value ? Charset::WString2String(value) : "no value");
        EXPECT_TRUE(reader.IsOpen()) << "the channel opens all the same";
    }
    // Once no probe runs, a start's line would be in the marker.
    EXPECT_TRUE(vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs));
    SetCurrentDirectoryW(oldDir);
    const std::string marker = zxtest::ReadFile(driveRoot + "launched.txt");
    File::RemoveFile(driveRoot + "launched.txt");
    File::RemoveFile(driveRoot + "ZXVCam.exe");
    if (mapped) DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
    EXPECT_TRUE(onDrive) << "could not give the test a current drive of its own";
    EXPECT_EQ("", marker) << "\\ZXVCam.exe of the current drive was started";

    const std::string log = vct::ReadFilterLog(logPath);
    EXPECT_NE(std::string::npos, log.find("main program not started")) << log;
    EXPECT_NE(std::string::npos, log.find("gone\\ZXVCam.exe\"\r\n")) << "the missing program is named: " << log;
}

TEST_F(Launcher, ConnectingStartsNothingAndManyRunsStartItOnceOffTheHostsThread) {
    const std::string root = zxtest::MakeTempDir("launch-connect");
    ASSERT_TRUE(CopyProbe(root + "ZXVCam.exe"));
    // The probe keeps the program's mutex, as the program does.
    ASSERT_TRUE(zxtest::WriteFile(root + "hold.txt", "1"));
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
    EXPECT_TRUE(VCamWaitForLauncher(zxtest::kHangGuardMs));
    EXPECT_EQ("", zxtest::ReadFile(root + "launched.txt"));
    ASSERT_EQ(S_OK, graph->ConnectDirect(out.get(), in.get(), nullptr));
    // Many pauses and stops start the program once (at most once in a few seconds, none while it
    // runs), never on the host's thread.
    vct::Ptr<IMediaControl> control;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, control.out()));
    for (int cycle = 0; cycle < 5; ++cycle) {
        ASSERT_TRUE(SUCCEEDED(control->Pause()));
        ASSERT_EQ(S_OK, control->Stop());
    }
    zxtest::WaitUntil([&] { return CountLines(zxtest::ReadFile(root + "launched.txt")) >= 1; });
    // Later requests find the program running.
    VCamResetLauncher();
    ASSERT_TRUE(SUCCEEDED(control->Pause()));
    ASSERT_EQ(S_OK, control->Stop());
    EXPECT_TRUE(VCamWaitForLauncher(zxtest::kHangGuardMs));
    graph->Disconnect(out.get());
    graph->Disconnect(in.get());
    graph->RemoveFilter(camera.get());
    graph->RemoveFilter(null.get());
    ReleaseHeldProbes();
    const std::string marker = WaitForLaunches(root, 1);
    EXPECT_EQ(1u, CountLines(marker)) << "one start for many runs: " << marker;
    const std::string log = vct::ReadFilterLog(logPath);
    EXPECT_NE(std::string::npos, log.find("the main program runs already, not started again")) << log;
    // The program runs in its own folder.
    EXPECT_NE(std::string::npos, marker.find("\"|" + root.substr(0, root.size() - 1) + "\r\n")) << marker;
}

// While alive, the launch key's protected DACL grants the user KEY_READ only; then put back.
class ReadOnlyLaunchKey {
public:
    ReadOnlyLaunchKey() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kVCamProgramKey, 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) return;
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        m_old.resize(size);
        if (size == 0 || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, m_old.data(), &size) != ERROR_SUCCESS) {
            RegCloseKey(key);
            return;
        }
        HANDLE token = nullptr;
        std::vector<BYTE> user(256);
        DWORD userSize = 0;
        const bool haveUser = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                              GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &userSize);
        if (token) CloseHandle(token);
        if (haveUser) {
            PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
            m_acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
            SECURITY_DESCRIPTOR sd;
            PACL acl = reinterpret_cast<PACL>(m_acl.data());
            m_applied = InitializeAcl(acl, static_cast<DWORD>(m_acl.size()), ACL_REVISION) &&
                        AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, sid) &&
                        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) &&
                        SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED) &&
                        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    ~ReadOnlyLaunchKey() {
        HKEY key = nullptr;
        if (m_old.empty() || RegOpenKeyExW(HKEY_CURRENT_USER, kVCamProgramKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_old.data());
        RegCloseKey(key);
    }
    ReadOnlyLaunchKey(const ReadOnlyLaunchKey&) = delete;
    ReadOnlyLaunchKey& operator=(const ReadOnlyLaunchKey&) = delete;
    bool Applied() const { return m_applied; }

private:
    std::vector<BYTE> m_old, m_acl;
    bool m_applied = false;
};

// A launch key readable only: the filter asks for read access alone and still starts the program.
TEST_F(Launcher, LaunchKeyTheUserMayOnlyReadStillStartsTheProgram) {
    const std::string root = zxtest::MakeTempDir("launch-read-only");
    ASSERT_TRUE(CopyProbe(root + "ZXVCam.exe"));
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    {  // the key's own DACL is back before the setting puts the old value back
        ReadOnlyLaunchKey readOnly;
        ASSERT_TRUE(readOnly.Applied());
        // The key refuses what the DACL does not grant, and gives read access.
        HKEY key = nullptr;
        const LONG write = RegOpenKeyExW(HKEY_CURRENT_USER, kVCamProgramKey, 0, KEY_SET_VALUE, &key);
        if (write == ERROR_SUCCESS) RegCloseKey(key);
        EXPECT_EQ(ERROR_ACCESS_DENIED, write) << "a write access the DACL does not grant was given";
        const LONG all = RegOpenKeyExW(HKEY_CURRENT_USER, kVCamProgramKey, 0, KEY_ALL_ACCESS, &key);
        if (all == ERROR_SUCCESS) RegCloseKey(key);
        EXPECT_EQ(ERROR_ACCESS_DENIED, all) << "all access (what the filter once asked for) was given";
        EXPECT_EQ(root.substr(0, root.size() - 1), VCamProgramFolder());

        // The launcher starts the program from it (the graph's way there is the Clients suite's).
        EXPECT_TRUE(StartVCamProgram());
        const std::string marker = WaitForLaunches(root);
        EXPECT_EQ(1u, CountLines(marker)) << "the camera did not start the program: " << marker;
    }
}

bool Elevated() { return true; }
bool NotElevated() { return false; }

// Forces the client's elevation while alive.
class ElevationSeam {
public:
    explicit ElevationSeam(bool elevated) { VCamSetElevationCheck(elevated ? &Elevated : &NotElevated); }
    ~ElevationSeam() { VCamSetElevationCheck(nullptr); }
};

// Ordinary clients prefer the user's value over the machine-wide one; elevated ones read only
// the machine-wide one (any of the user's programs can change the user's).
TEST(LauncherFolder, ElevatedClientsTakeOnlyTheMachineWideValue) {
    struct Case {
        bool elevated;
        const wchar_t* user;
        const wchar_t* machine;
        const char* folder;
    };
    const Case cases[] = {
        {false, L"C:\\User", L"C:\\Machine", "C:\\User"},
        {false, nullptr, L"C:\\Machine", "C:\\Machine"},
        {false, L"", L"C:\\Machine\\", "C:\\Machine"},
        {false, L"C:\\Prog\\\\", nullptr, "C:\\Prog"},
        {false, nullptr, nullptr, ""},
        {true, L"C:\\User", L"C:\\Machine", "C:\\Machine"},
        {true, L"C:\\User", nullptr, ""},
    };
    for (const Case& c : cases) {
        ElevationSeam seam(c.elevated);
        vct::ProgramFolderSetting user(c.user);
        vct::ProgramFolderSetting machine(c.machine, HKEY_LOCAL_MACHINE);
        EXPECT_EQ(c.folder, VCamProgramFolder()) << c.elevated << " " << (c.user ? "user" : "-") << " "
                                                 << (c.machine ? "machine" : "-");
    }
    EXPECT_EQ(L"C:\\Prog\\ZXVCam.exe", VCamProgramPath("C:\\Prog"));
}

// An elevated client starts the machine-wide program with the shell's rights, or nothing, and says which.
TEST_F(Launcher, ElevatedClientStartsTheMachineWideProgramUnelevatedOrNothing) {
    const std::string userRoot = zxtest::MakeTempDir("launch-user");
    const std::string machineRoot = zxtest::MakeTempDir("launch-machine");
    ASSERT_TRUE(CopyProbe(userRoot + "ZXVCam.exe"));
    ASSERT_TRUE(CopyProbe(machineRoot + "ZXVCam.exe"));
    vct::ProgramFolderSetting user(Charset::String2WString(userRoot).c_str());
    vct::ProgramFolderSetting machine(Charset::String2WString(machineRoot).c_str(), HKEY_LOCAL_MACHINE);
    ElevationSeam seam(true);
    const bool started = StartVCamProgram();
    EXPECT_TRUE(vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs));
    EXPECT_EQ("", zxtest::ReadFile(userRoot + "launched.txt")) << "the user's program ran in an elevated client";
    const std::string log = vct::ReadFilterLog(logPath);
    if (started) {
        EXPECT_EQ(1u, CountLines(WaitForLaunches(machineRoot)));
        EXPECT_NE(std::string::npos, log.find("elevated client, the machine-wide folder, started with the shell's rights"))
            << log;
    } else {
        EXPECT_EQ("", zxtest::ReadFile(machineRoot + "launched.txt"));
        EXPECT_NE(std::string::npos, log.find("elevated client and no unelevated shell")) << log;
    }
}

}  // namespace
