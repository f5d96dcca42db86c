// The window of the report program DumpReport.exe: it tells the user that
// the program stopped unexpectedly, names the dump the crash handler wrote
// and offers to open the dump's folder with the file selected. Given no
// stamp, or a stamp whose dump is in none of the folders, it says so and
// only offers to close.
#pragma once

#include <string>
#include <vector>

#include "DuiLib/UIlib.h"

class CDumpReportDlg : public DuiLib::CZxBaseDialog {
public:
    // What the report shows.
    enum class State {
        kFound,      // the dump was found
        kMissing,    // a stamp was given, but no folder holds its dump
        kNoStamp,    // no argument, or one that is not a stamp
    };

    // argument: the program's command-line argument ("\\<stamp>", may be
    // empty); folders: where the dump is looked for, in order.
    CDumpReportDlg(const std::string& argument, const std::vector<std::string>& folders);

    State GetState() const { return m_state; }
    const std::string& GetStamp() const { return m_stamp; }
    const std::string& GetDumpPath() const { return m_dumpPath; }
    // The dump's folder as shown, without the trailing backslash.
    std::string DumpFolder() const;

    // Opens the dump's folder in the file browser with the dump selected;
    // true when the shell started it.
    bool OpenDumpFolder();

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    void SetText(const char* control, const std::string& text);
    void Show(const char* control, bool visible);

    std::string m_argument;
    std::string m_stamp;
    std::string m_dumpPath;
    State m_state = State::kNoStamp;
};
