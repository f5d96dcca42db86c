// The crash handler in real processes: ZxCrashProbe.exe crashes on request;
// its dump is read back and the report program's stand-in records its command line.
#include <windows.h>
#include <dbghelp.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZxCrashNames.h"
#include "ZxLib/ZxLib.h"

namespace {

const DWORD kAccessViolation = 0xC0000005;
const DWORD kBreakpoint = 0x80000003;
const DWORD kStackOverflow = 0xC00000FD;
const ULONG32 kDumpSignature = 0x504D444D;   // "MDMP"

SYSTEMTIME Time(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

std::string Bin() { return Dir::GetCurrentPath(); }

// A program of the bin folder's exit code; 0xFFFFFFFF when it did not start or end.
DWORD RunProgram(const std::string& exe, const std::string& args) {
    return static_cast<DWORD>(zxtest::RunProcess("\"" + Bin() + exe + "\" " + args));
}

// "--program-dir" and the folder quoted, without the backslash that would escape the quote.
std::string ProgramDirArg(std::string dir) {
    while (!dir.empty() && dir.back() == '\\') dir.pop_back();
    return "--program-dir \"" + dir + "\"";
}

std::vector<std::string> Dumps(const std::string& folder) {
    std::vector<std::string> found;
    Dir::FindAllFiles(found, folder, "*.dmp", Dir::kFindFiles);
    return found;
}

bool ReadHeader(const std::string& path, MINIDUMP_HEADER& header) {
    std::string bytes;
    if (!File::ReadAll(path, bytes) || bytes.size() < sizeof(header)) return false;
    memcpy(&header, bytes.data(), sizeof(header));
    return true;
}

// A program folder with the report program's recording stand-in, and the event it sets.
struct ProgramFolder {
    std::string dir;
    HANDLE started = nullptr;

    explicit ProgramFolder(const std::string& name) {
        dir = zxtest::MakeTempDir(name);
        CopyFileW(Charset::String2WString(Bin() + "ZxCrashRecorder.exe").c_str(),
                  Charset::String2WString(dir + "DumpReport.exe").c_str(), FALSE);
        const std::wstring event = L"ZxCrashTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   Charset::String2WString(name);
        started = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
        SetEnvironmentVariableW(L"ZXCRASH_TEST_EVENT", event.c_str());
    }
    ~ProgramFolder() {
        SetEnvironmentVariableW(L"ZXCRASH_TEST_EVENT", nullptr);
        CloseHandle(started);
    }
    bool ReportStarted(DWORD ms) const { return WaitForSingleObject(started, ms) == WAIT_OBJECT_0; }
    // The report program's arguments as it received them.
    std::vector<std::string> ReportArgs() const {
        std::vector<std::string> args;
        const std::string line = zxtest::ReadFile(dir + "DumpReport.args");
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(Charset::String2WString(line).c_str(), &argc);
        for (int i = 0; argv && i < argc; ++i) args.push_back(Charset::WString2String(argv[i]));
        LocalFree(argv);
        return args;
    }
};

TEST(CrashNames, StampArgumentAndDumpNameOfOneCrash) {
    const SYSTEMTIME t = Time(2014, 1, 2, 3, 4, 5, 6);
    EXPECT_EQ(ZxCrash::DumpFileName(t, "ZxVCam", ".exe"), "20140102030405006_ZxVCam.exe.dmp");
    EXPECT_EQ(ZxCrash::ReportArgument(t, "ZxVCam"), "\\20140102030405006_ZxVCam");
    // The whole stamp, whatever the name's length.
    EXPECT_EQ(ZxCrash::ReportArgument(t, "ZxCrashProbe"), "\\20140102030405006_ZxCrashProbe");
    EXPECT_EQ(ZxCrash::ReportArgument(t, "Zx VCam"), "\"\\20140102030405006_Zx VCam\"");
    EXPECT_EQ(ZxCrash::DumpFileName(Time(2023, 12, 31, 23, 59, 59, 999), "维莫", ".exe"),
              "20231231235959999_维莫.exe.dmp");
}

TEST(CrashNames, TheReportProgramTakesOnlyAStamp) {
    EXPECT_EQ(ZxCrash::StampFromArgument("\\20140102030405006_ZxVCam"), "20140102030405006_ZxVCam");
    EXPECT_EQ(ZxCrash::StampFromArgument("20140102030405006_ZxVCam"), "20140102030405006_ZxVCam");
    EXPECT_EQ(ZxCrash::StampFromArgument("\\20140102030405006_Zx VCam"), "20140102030405006_Zx VCam");
    for (const char* bad : {"", "\\", "\\2014010203040500_ZxVCam", "\\20140102030405006-ZxVCam",
                            "\\20140102030405006_", "\\2014010203040500x_ZxVCam", "\\20140102030405006_..\\x",
                            "\\20140102030405006_a/b", "\\20140102030405006_*", "\\20140102030405006_C:x"}) {
        EXPECT_EQ(ZxCrash::StampFromArgument(bad), "") << bad;
    }
}

TEST(CrashNames, OnlyTheExactDebugLevelSelectsTheDetailedDump) {
    EXPECT_TRUE(ZxCrash::IsDebugLogLevel("debug"));
    for (const char* other : {"Debug", "DEBUG", "debug ", " debug", "", "info", "debug1"})
        EXPECT_FALSE(ZxCrash::IsDebugLogLevel(other)) << other;
}

TEST(CrashNames, FindsTheDumpOfAStampInTheFoldersInOrder) {
    const std::string a = zxtest::MakeTempDir("find-a"), b = zxtest::MakeTempDir("find-b");
    const std::string stamp = "20140102030405006_ZxVCam";
    EXPECT_EQ(ZxCrash::FindDump(stamp, {a, b}), "");
    ASSERT_TRUE(zxtest::WriteFile(b + stamp + ".exe.dmp", "MDMP"));
    ASSERT_TRUE(zxtest::WriteFile(a + "20140102030405006_ZxVCamX.exe.dmp", "MDMP"));
    EXPECT_EQ(ZxCrash::FindDump(stamp, {a, b}), b + stamp + ".exe.dmp") << "another program's dump is not it";
    ASSERT_TRUE(zxtest::WriteFile(a + stamp + ".exe.dmp", "MDMP"));
    EXPECT_EQ(ZxCrash::FindDump(stamp, {a, b}), a + stamp + ".exe.dmp") << "the program's folder comes first";
    EXPECT_EQ(ZxCrash::FindDump("", {a, b}), "");
}

// A fault (on any thread, on several at once, a stack overflow) writes one normal
// dump named after the time and the program beside it, and starts the report.
TEST(CrashHandler, AFaultLeavesADumpAndStartsTheReportWithItsStamp) {
    zxtest::RedirectUserFolders("crash-fault");
    const struct {
        const char* action;
        DWORD code;
    } crashes[] = {{"fault", kAccessViolation}, {"fault-thread", kAccessViolation},
                   {"fault-together", kAccessViolation}, {"overflow", kStackOverflow}};
    // Wine: after a stack overflow the process ends with exit code 0
    // whatever the filter answers (Windows ends it with the exception's
    // code), so there only the dump and the report are checked.
    const bool wine = Process::RunsUnderWine();
    for (const auto& crash : crashes) {
        const std::string action = crash.action;
        SCOPED_TRACE(action);
        ProgramFolder program("fault-" + action);
        const DWORD code = RunProgram("ZxCrashProbe.exe", ProgramDirArg(program.dir) + " " + action);
        if (!(wine && crash.code == kStackOverflow)) {
            EXPECT_EQ(code, crash.code) << "the process ends with the fault's code, without the system's error box";
        }

        // The stamp's form is DumpFileName's (CrashNames).
        const std::vector<std::string> dumps = Dumps(program.dir);
        ASSERT_EQ(dumps.size(), 1u);
        const std::string name = File::GetFileName(dumps[0]);
        ASSERT_GT(name.size(), 17u);
        EXPECT_EQ(name.substr(17), "_ZxCrashProbe.exe.dmp");
        MINIDUMP_HEADER header{};
        ASSERT_TRUE(ReadHeader(dumps[0], header));
        EXPECT_EQ(header.Signature, kDumpSignature);
        EXPECT_GT(header.NumberOfStreams, 0u);
        EXPECT_EQ(header.Flags & MiniDumpWithDataSegs, 0u) << "no debug flag: a normal dump";
        EXPECT_TRUE(Dumps(Dir::GetLogPath()).empty()) << "the program's folder was writable";

        ASSERT_TRUE(program.ReportStarted(30000)) << "DumpReport.exe was started";
        const std::vector<std::string> args = program.ReportArgs();
        ASSERT_EQ(args.size(), 2u);
        EXPECT_EQ(Dir::GetLongPath(args[0]), Dir::GetLongPath(program.dir + "DumpReport.exe"))
            << "started from the program's folder by its full path";
        EXPECT_EQ(args[1], "\\" + name.substr(0, name.size() - std::string(".exe.dmp").size()));
        EXPECT_EQ(ZxCrash::FindDump(ZxCrash::StampFromArgument(args[1]), ZxCrash::DumpFolders(program.dir)),
                  dumps[0]);
    }
}

// LogMsg/realloglevel "debug" adds the data segments to the dump (which
// levels count is CrashNames'; a normal dump is the fault case's).
TEST(CrashHandler, TheDebugLevelAddsDataSegmentsToTheDump) {
    const std::string home = zxtest::RedirectUserFolders("crash-level");
    const std::string ini = home + "AppData\\ZxVCam\\ZxVCam.ini";
    Dir::MakeDir(File::GetParentPath(ini));
    ASSERT_TRUE(zxtest::WriteFile(ini, "[LogMsg]\r\nrealloglevel=debug\r\n"));
    ProgramFolder program("level");
    EXPECT_EQ(RunProgram("ZxCrashProbe.exe", ProgramDirArg(program.dir) + " --settings fault"), kAccessViolation);
    const std::vector<std::string> dumps = Dumps(program.dir);
    ASSERT_EQ(dumps.size(), 1u);
    MINIDUMP_HEADER header{};
    ASSERT_TRUE(ReadHeader(dumps[0], header));
    EXPECT_NE(header.Flags & MiniDumpWithDataSegs, 0u);
    EXPECT_TRUE(program.ReportStarted(30000));
}

// A program folder that refuses new files (Z:\proc under Wine) or is gone:
// the dump goes to the log folder, where the report program looks too.
TEST(CrashHandler, AnUnwritableProgramFolderSendsTheDumpToTheLogFolder) {
    const std::string scratch = zxtest::MakeTempDir("gone");
    for (const std::string& dir : {std::string("Z:\\proc"), scratch + "missing"}) {
        SCOPED_TRACE(dir);
        ASSERT_FALSE(Dir::IsWritableDir(dir)) << "the test needs a folder that refuses new files";
        zxtest::RedirectUserFolders("crash-log");
        EXPECT_EQ(RunProgram("ZxCrashProbe.exe", ProgramDirArg(dir) + " fault"), kAccessViolation);
        const std::vector<std::string> dumps = Dumps(Dir::GetLogPath());
        ASSERT_EQ(dumps.size(), 1u);
        const std::string name = File::GetFileName(dumps[0]);
        MINIDUMP_HEADER header{};
        ASSERT_TRUE(ReadHeader(dumps[0], header));
        EXPECT_EQ(header.Signature, kDumpSignature);
        EXPECT_EQ(ZxCrash::FindDump(name.substr(0, name.find('.')), ZxCrash::DumpFolders(dir)), dumps[0]);
    }
}

// A breakpoint is passed on: the filter answers EXCEPTION_CONTINUE_SEARCH,
// and a process that raises one ends with the breakpoint's code through the
// system's own handling, leaving no dump and starting no report.
//
// Wine: a passed-on exception starts Wine's debugger (AeDebug "winedbg
// --auto"), which on a display opens its crash dialog and waits for a
// person. The dialog is switched off for this test (HKCU\Software\Wine\WineDbg,
// ShowCrashDialog = 0, a key only Wine reads), so the debugger
// prints its backtrace and ends the process with the exception's code, as
// Windows ends it without a debugger.
TEST(CrashHandler, ABreakpointIsPassedOn) {
    zxtest::RedirectUserFolders("crash-breakpoint");
    zxtest::UserRegistryDword noDialog(L"Software\\Wine\\WineDbg", L"ShowCrashDialog", 0);
    EXPECT_EQ(RunProgram("ZxCrashProbe.exe", "filter-breakpoint"), 100u + EXCEPTION_CONTINUE_SEARCH);
    ProgramFolder program("breakpoint");
    EXPECT_EQ(RunProgram("ZxCrashProbe.exe", ProgramDirArg(program.dir) + " breakpoint"), kBreakpoint);
    EXPECT_TRUE(Dumps(program.dir).empty());
    EXPECT_TRUE(Dumps(Dir::GetLogPath()).empty());
    EXPECT_FALSE(program.ReportStarted(0));
}

}  // namespace
