// Entry of every test program: GoogleTest with UTF-8 console output.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    // A crash in a test must fail the test run, not open a debugger dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
