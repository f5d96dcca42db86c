// One thumbnail list of the video-source page and what every list shares:
// its tile list control and the skin names of its group ("VSMediaFile_"...),
// the tiles' look, finding a tile by its item id or by the control that sent
// a notification, deleting the selected tiles, the tile menu, the play-mode
// menu, the open-file dialog and opening an item's folder. The lists
// themselves (media files, slides, recordings of one kind) derive from it;
// the page (CDealVideoSrc) hands each the notifications of its group.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DuiLib/UIlib.h"

class CTileListUI;
class CTileListItemUI;

class CThumbListPanel {
public:
    // What opening an item's folder hands to the shell: ShellExecute's file
    // and parameters ("explorer.exe" with "/select,\"path\"", or a folder
    // with no parameters). Empty file: nothing to open.
    struct ShellCommand {
        std::string file;
        std::string params;
    };
    // The command that shows path in the file manager: the file selected
    // when it exists, otherwise its nearest existing parent folder.
    static ShellCommand FolderCommand(const std::string& path);
    // Where the folder commands go; by default ShellExecute with "open".
    // The tests read the command here instead of starting a file manager.
    static std::function<void(const ShellCommand&)> s_shellRunner;

    // group: the prefix of the list's skin names; its tile list is
    // group + "tilelayout", its tiles tilePrefix + item id.
    CThumbListPanel(const char* group, const char* tilePrefix) : m_group(group), m_tilePrefix(tilePrefix) {}
    virtual ~CThumbListPanel() = default;
    CThumbListPanel(const CThumbListPanel&) = delete;
    CThumbListPanel& operator=(const CThumbListPanel&) = delete;

    // Finds the list's tile list; false when the skin lacks it.
    bool FindLayout(DuiLib::CPaintManagerUI* pm);
    // Starts (the kernel's notifications reach the list from now on) and
    // stops the list; the tile pointers it keeps are forgotten at Stop.
    virtual void Start(DuiLib::CPaintManagerUI* pm) { m_pm = pm; }
    virtual void Stop() { m_pm = nullptr; }
    // A notification of a control whose name starts with the group.
    virtual void OnNotify(DuiLib::TNotifyUI& msg, const std::string& name) = 0;

    const std::string& Group() const { return m_group; }
    CTileListUI* Layout() const { return m_layout; }

    // Tiles showing a placeholder picture with words show the current
    // language's (after the language changed).
    void ShowPicturesInLanguage();

protected:
    // A tile with the look every list shares, added at the front (index 0)
    // or appended.
    CTileListItemUI* AddTile(int id, const std::string& text, const std::string& icon, const SIZE& size,
                             const RECT& textPadding, bool front);
    CTileListItemUI* TileByTag(int tag) const;
    static CTileListItemUI* TileOf(DuiLib::CControlUI* sender);
    // The item id in a tile's name, or -1 for another name.
    int TileId(const std::string& name) const;
    bool IsTile(const std::string& name) const;

    // Takes the selected tiles out of the list, the last first, except the
    // one of item busy (refused is then set); their item ids.
    std::vector<int> RemoveSelectedTiles(int busy, bool& refused);
    // A tile is about to leave the list (forget pointers to it).
    virtual void OnTileRemoved(DuiLib::CControlUI* tile) { (void)tile; }
    // The tile menu of the tile that sent msg: delete, open its folder and,
    // when given, a third entry. The entry chosen (1..3), or -1; tile is
    // set to the menu's tile.
    int TileMenu(DuiLib::TNotifyUI& msg, const char* third, CTileListItemUI*& tile);
    // The tile menu of a playlist: delete the selection, or open the folder
    // of the tile's file (pathOf: the file of an item id); a file that is
    // gone shows invalidIcon.
    void PlaylistTileMenu(DuiLib::TNotifyUI& msg, const std::function<std::string(int)>& pathOf,
                          const char* invalidIcon);
    // Deletes the selected tiles and their items.
    virtual void DeleteSelected() = 0;
    // The play-mode menu under the button: the modes 0..count-1 by name;
    // the mode chosen (the button then shows its name), or -1.
    int ModeMenu(const char* button, std::string (*name)(int), int count);

    // Multi-select open-file dialog; the chosen files that exist.
    static std::vector<std::string> ChooseFiles(const wchar_t* filter);
    static void OpenFolderOf(const std::string& path);
    void ShowTip(const char* text) const;
    HWND Window() const;

    DuiLib::CPaintManagerUI* m_pm = nullptr;
    CTileListUI* m_layout = nullptr;

private:
    // A menu at a point of the window's client area; the chosen id or -1.
    int PopupMenu(DuiLib::CMenuUI& menu, POINT client) const;

    std::string m_group;
    std::string m_tilePrefix;
};

// What the lists share besides the panel.
namespace ThumbList {
// Tile geometry of the lists.
constexpr SIZE kTallTile{84, 92};    // media files, recordings: name and time
constexpr SIZE kSlideTile{84, 79};   // slides: name
constexpr SIZE kPhotoTile{84, 64};   // photos: the picture alone
constexpr RECT kIconRect{2, 2, 82, 62};
constexpr RECT kTallTextPadding{2, 64, 2, 14};
constexpr RECT kSlideTextPadding{2, 64, 2, 2};
constexpr RECT kNoTextPadding{0, 0, 0, 0};
constexpr RECT kTimePadding{2, 76, 2, 2};

// The placeholder pictures with words in them (one set per language, see
// LangUi::Picture).
extern const char* const kVideoInvalid;
extern const char* const kImageInvalid;
extern const char* const kVideoRecording;
extern const char* const kAudioRecording;

// "HH:MM:SS" (negative: 0), after sign.
std::string Hms(int seconds, const char* sign = "");
// A picture file in the image manager under its full path, loaded once.
void LoadThumbnail(const std::string& path);
bool StartsWith(const std::string& s, const char* prefix);
}  // namespace ThumbList
