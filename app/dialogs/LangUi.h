// Small helpers for the texts the program's own code shows: the message a
// window gets when the language changed, skin pictures with words in them,
// and the filters of the file dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "ZxLib/Lang.h"

namespace LangUi {

// The registered message the program sends its top-level windows after the
// language changed (Lang::kChangedMessage).
inline UINT ChangedMessage() {
    static const UINT message = RegisterWindowMessageW(Lang::kChangedMessage);
    return message;
}

// A skin picture with words drawn into it exists once per language: the
// Chinese one under its own name, the English one with "_en" before the
// extension ("btn_x.png", "btn_x_en.png").
inline std::string PictureIn(const std::string& file, Lang::Language language) {
    if (language != Lang::Language::English) return file;
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? file + "_en" : file.substr(0, dot) + "_en" + file.substr(dot);
}
inline std::string Picture(const std::string& file) { return PictureIn(file, Lang::Current()); }

// A file dialog's filter: each entry's text (looked up by key) and its
// patterns, each ended by a null, the whole ended by one more.
inline std::wstring FileFilter(const std::vector<std::pair<const char*, const wchar_t*>>& entries) {
    std::wstring filter;
    for (const auto& entry : entries) {
        filter += Lang::Text(entry.first);
        filter += L'\0';
        filter += entry.second;
        filter += L'\0';
    }
    filter += L'\0';
    return filter;
}

}  // namespace LangUi
