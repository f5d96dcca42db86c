// What the title bar's "主页" button opens: the help page installed beside
// the program (made from the README when the program is built).
#pragma once

namespace AppLinks {
const char kHelpPage[] = "help.html";
}  // namespace AppLinks
