// What the feedback button gathers for the makers: the program's logs, its
// settings, the list files (and the copies of damaged ones) and a note of
// the program's version and the system, in one zip. Never a recording, a
// sound or a picture: only those files are picked, by folder and name.
#pragma once

#include <string>
#include <vector>

namespace Feedback {

// The version of this build ("1.0.0").
const char* Version();

// The files that go into the zip: pairs of (name in the zip, full path).
std::vector<std::pair<std::string, std::string>> CollectFiles();

// Writes the zip into the folder (a new file named by the time, never over
// another one). True with its path; false with what failed.
bool MakeZip(const std::string& folder, std::string& zipPath, std::string& error);

// The user's desktop folder (ending in a backslash); empty when unknown.
std::string DesktopFolder();

}  // namespace Feedback
