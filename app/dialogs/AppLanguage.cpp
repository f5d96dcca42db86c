#include "AppLanguage.h"

#include "DuiLib/UIlib.h"
#include "LangUi.h"
#include "SettingKeys.h"

namespace AppLanguage {
namespace {

// What "as Windows" means in this process: the language Lang starts in (the
// Windows display language, or the one ZXVCAM_LANG stands in for it),
// taken once, before the first choice is applied.
Lang::Language AsWindows() {
    static const Lang::Language language = Lang::Current();
    return language;
}

Lang::Language LanguageOf(Lang::Choice choice) {
    return choice == Lang::Choice::AsWindows ? AsWindows() : Lang::Resolve(choice);
}

BOOL CALLBACK TellWindow(HWND hwnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    // A window of a thread that does not answer is not waited for long.
    if (pid == GetCurrentProcessId())
        SendMessageTimeoutW(hwnd, LangUi::ChangedMessage(), 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    return TRUE;
}

}  // namespace

Lang::Choice StoredChoice() {
    Lang::Choice choice = Lang::Choice::AsWindows;
    Lang::ParseChoice(Settings::GetString(Settings::kLanguage), choice);
    return choice;
}

void Start() {
    AsWindows();
    Lang::SetCurrent(LanguageOf(StoredChoice()));
    DuiLib::CPaintManagerUI::SetTextLookup(&Lang::LookUp);
}

void Apply(Lang::Choice choice) {
    Settings::SetString(Settings::kLanguage, Lang::ChoiceName(choice));
    Lang::SetCurrent(LanguageOf(choice));
    DuiLib::CPaintManagerUI::ApplyTextIdsEverywhere();
    EnumWindows(&TellWindow, 0);
}

}  // namespace AppLanguage
