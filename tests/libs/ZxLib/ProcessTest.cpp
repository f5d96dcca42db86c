// Starting programs and ending other copies of a program.
#include <windows.h>

#include <gtest/gtest.h>

#include "ZxLib/ZxLib.h"

namespace {

TEST(Process, ExecStartsProgramsAndKillOtherInstanceEndsEveryCopy) {
    const std::string probe = Dir::GetCurrentPath() + "ZxSleepProbe.exe";
    ASSERT_TRUE(File::IsExistFile(probe));
    ASSERT_TRUE(Process::KillOtherInstance("ZxSleepProbe.exe")) << "none left from an earlier run";
    EXPECT_FALSE(ProcessExecutor::Exec("\"" + Dir::GetCurrentPath() + "no such program.exe\"", false));
    ASSERT_TRUE(ProcessExecutor::Exec("\"" + probe + "\"", false));
    ASSERT_TRUE(ProcessExecutor::Exec("\"" + probe + "\" second", false));
    EXPECT_EQ(Process::CountOtherInstances("zxsleepprobe.EXE"), 2) << "names compared without regard to case";
    EXPECT_TRUE(Process::KillOtherInstance("ZxSleepProbe.exe"));
    EXPECT_EQ(Process::CountOtherInstances("ZxSleepProbe.exe"), 0);
    EXPECT_EQ(Process::CountOtherInstances(), 0) << "no other copy of the test program runs";
    EXPECT_TRUE(Process::KillOtherInstance()) << "nothing to end is success, and this process stays";
}

TEST(Process, ExecWaitsWhenAskedTo) {
    // cmd's exit returns at once; waiting must not hang.
    EXPECT_TRUE(ProcessExecutor::Exec("cmd.exe /c exit 0", true));
    EXPECT_FALSE(Url::OpenUrl("", true));
}

}  // namespace
