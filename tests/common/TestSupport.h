// Helpers shared by the test programs.
#pragma once

#include <string>

namespace zxtest {

// A fresh, empty folder for one test (ending in a backslash), inside the
// scratch folder the test runner gives the program (ZXVCAM_TEST_TMP), so no
// test writes outside the build tree. Removed again by the runner.
std::string MakeTempDir(const std::string& name);

// Points every folder of Dir::GetZxPath and the log folder at sub-folders of
// a fresh temporary folder, and returns that folder.
std::string RedirectUserFolders(const std::string& name);

// Writes a whole file (binary); true on success.
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace zxtest
