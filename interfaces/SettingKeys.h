// The settings that both the program and the kernel (or the program's tools)
// read or write: section and key in the user's settings file, and short ways
// to read and write them. The names are in every user's file already and
// never change.
#pragma once

#include <string>

#include "ZxModConfig/ZxModConfig.h"

struct SettingKey {
    const char* section;
    const char* key;
};

namespace Settings {
// 1 (the default): closing the main window hides it to the tray; 0: it ends
// the program.
constexpr SettingKey kCloseToTray{"SetupBasic", "Close"};
// The background skin in use (its number), 0 by default.
constexpr SettingKey kSkinId{"SkinMgr", "CurID"};
// The language the program speaks: "auto" (as Windows, also when missing),
// "zh" or "en" (Lang::ChoiceName).
constexpr SettingKey kLanguage{"SetupBasic", "Language"};
// The program's log level, as text.
constexpr SettingKey kLogLevel{"LogMsg", "realloglevel"};
// The record folder of each kind, indexed by eZXVRecordType (video, sound,
// photo); empty or missing: the kernel's default folder.
constexpr SettingKey kRecordDir[3] = {
    {"VSRecord", "VideoDir"},
    {"VSRecord", "AudioDir"},
    {"VSRecord", "ImageDir"},
};

// The value, or fallback when the setting is missing or not a number.
inline int GetInt(const SettingKey& setting, int fallback) {
    int value = fallback;
    AfxGetConfigManager()->GetInt(setting.section, setting.key, value, fallback);
    return value;
}
inline bool SetInt(const SettingKey& setting, int value) {
    return AfxGetConfigManager()->SetInt(setting.section, setting.key, value);
}
// The text, or fallback when the setting is missing.
inline std::string GetString(const SettingKey& setting, const std::string& fallback = std::string()) {
    std::string value;
    AfxGetConfigManager()->GetString(setting.section, setting.key, value, fallback.c_str());
    return value;
}
inline bool SetString(const SettingKey& setting, const std::string& value) {
    return AfxGetConfigManager()->SetString(setting.section, setting.key, value.c_str(), 0);
}
}  // namespace Settings
