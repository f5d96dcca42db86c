// DumpReport.exe: started by the program's crash handler with the stamp of
// the dump it wrote ("\\20140102030405006_ZxVCam"), it looks for that dump
// beside itself (the program's folder) and in the per-user log folder, and
// shows the report window until the user closes it.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "DumpReportDlg.h"
#include "DuiLib/UIlib.h"
#include "SettingKeys.h"
#include "ZxCrashNames.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::string argument = (argv && argc > 1) ? Charset::WString2String(argv[1]) : std::string();
    LocalFree(argv);

    Gdiplus::GdiplusStartupInput gdiIn;
    ULONG_PTR gdiToken = 0;
    Gdiplus::GdiplusStartup(&gdiToken, &gdiIn, nullptr);
    DuiLib::CPaintManagerUI::SetInstance(instance);
    DuiLib::CSkinMgr::SetSkinRootPath(Dir::GetZxPath(Dir::kPathResource) + "skin\\base\\");
    // The skin's texts in the user's language (Chinese where the table has
    // no entry): the one chosen in the program's setup, else Windows'. Read
    // without a default, so the report never writes the settings file.
    std::string stored;
    Lang::Choice choice = Lang::Choice::AsWindows;
    if (AfxGetConfigManager()->GetString(Settings::kLanguage.section, Settings::kLanguage.key, stored) &&
        Lang::ParseChoice(stored, choice) && choice != Lang::Choice::AsWindows)
        Lang::SetCurrent(Lang::Resolve(choice));
    DuiLib::CPaintManagerUI::SetTextLookup(&Lang::LookUp);
    {
        CDumpReportDlg dlg(argument, ZxCrash::DumpFolders(Dir::GetCurrentPath()));
        dlg.ShowModalDlg(nullptr, true);
    }
    DuiLib::CImageMgr::RemoveAll();
    DuiLib::CPaintManagerUI::RemoveAllSharedFonts();
    if (gdiToken) Gdiplus::GdiplusShutdown(gdiToken);
    return 0;
}
