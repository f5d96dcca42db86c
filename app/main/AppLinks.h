// The web addresses the main window opens: the product's home page and its
// feedback forum. Kept here, in one place, so an installer or a rebrand
// changes them once.
#pragma once

namespace AppLinks {
const char kHomePage[] = "https://zxvcam.example/";
const char kFeedbackPage[] = "https://zxvcam.example/feedback";
}  // namespace AppLinks
