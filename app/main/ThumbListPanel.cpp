#include "ThumbListPanel.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "DialogCommon.h"
#include "LangUi.h"
#include "TileListUI.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;

std::function<void(const CThumbListPanel::ShellCommand&)> CThumbListPanel::s_shellRunner;

namespace ThumbList {

const char* const kVideoInvalid = "recordVideo_thumbnail_invalid.png";
const char* const kImageInvalid = "recordImage_thumbnail_invalide.png";
const char* const kVideoRecording = "recordVideo_thumbnail_Recording.png";
const char* const kAudioRecording = "recordAudio_thumbnail_Recording.png";

std::string Hms(int seconds, const char* sign) {
    if (seconds < 0) seconds = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", sign, seconds / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

void LoadThumbnail(const std::string& path) {
    if (path.empty() || CImageMgr::GetImage(path)) return;
    if (TImageInfo* image = CRenderEngine::LoadFullPathImageFile(path)) CImageMgr::AddImage(path, image);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

}  // namespace ThumbList

using namespace ThumbList;

bool CThumbListPanel::FindLayout(CPaintManagerUI* pm) {
    CControlUI* c = pm ? pm->FindControl(m_group + "tilelayout") : nullptr;
    m_layout = c ? static_cast<CTileListUI*>(c->GetInterface("TileList")) : nullptr;
    return m_layout != nullptr;
}

HWND CThumbListPanel::Window() const { return m_pm ? m_pm->GetPaintWindow() : nullptr; }

void CThumbListPanel::ShowTip(const char* text) const { ZxDlg::ShowMsgTip(Window(), text); }

bool CThumbListPanel::IsTile(const std::string& name) const { return StartsWith(name, m_tilePrefix.c_str()); }

int CThumbListPanel::TileId(const std::string& name) const {
    if (!IsTile(name)) return -1;
    const std::string digits = name.substr(m_tilePrefix.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::atoi(digits.c_str());
}

CTileListItemUI* CThumbListPanel::AddTile(int id, const std::string& text, const std::string& icon, const SIZE& size,
                                          const RECT& textPadding, bool front) {
    auto* tile = new CTileListItemUI;
    tile->SetName(m_tilePrefix + std::to_string(id));
    tile->SetTag(static_cast<UINT_PTR>(id));
    tile->SetFixedWidth(size.cx);
    tile->SetFixedHeight(size.cy);
    tile->SetText(text);
    tile->SetToolTip(text);
    tile->SetTextColor(0xFFFFFFFF);
    tile->SetTextPadding(textPadding);
    // Record names are wider than a tile: cut with an ellipsis rather than
    // spilling over the neighbours (the tool tip has the whole name).
    tile->SetAttribute("endellipsis", "true");
    tile->SetContextMenuUsed(true);
    tile->SetIcon(icon, kIconRect);
    if (front) {
        tile->SetIndex(0);
        m_layout->AddAt(tile, 0);
    } else {
        tile->SetIndex(m_layout->GetCount());
        m_layout->Add(tile);
    }
    return tile;
}

CTileListItemUI* CThumbListPanel::TileByTag(int tag) const {
    if (!m_layout) return nullptr;
    for (int i = 0; i < m_layout->GetCount(); ++i) {
        CTileListItemUI* tile = TileOf(m_layout->GetItemAt(i));
        if (tile && static_cast<int>(tile->GetTag()) == tag) return tile;
    }
    return nullptr;
}

void CThumbListPanel::ShowPicturesInLanguage() {
    if (!m_layout) return;
    static const char* const kWithWords[] = {kVideoInvalid, kImageInvalid, kVideoRecording, kAudioRecording};
    for (int i = 0; i < m_layout->GetCount(); ++i) {
        CTileListItemUI* tile = TileOf(m_layout->GetItemAt(i));
        const std::string icon = tile ? tile->GetForeImage() : std::string();
        for (const char* name : kWithWords) {
            const std::string zh = "'" + LangUi::PictureIn(name, Lang::Language::Chinese) + "'";
            const std::string en = "'" + LangUi::PictureIn(name, Lang::Language::English) + "'";
            if (icon.find(zh) != std::string::npos || icon.find(en) != std::string::npos) {
                tile->SetIcon(LangUi::Picture(name), kIconRect);
                break;
            }
        }
    }
}

CTileListItemUI* CThumbListPanel::TileOf(CControlUI* sender) {
    return sender ? static_cast<CTileListItemUI*>(sender->GetInterface("TileListItem")) : nullptr;
}

std::vector<int> CThumbListPanel::RemoveSelectedTiles(int busy, bool& refused) {
    refused = false;
    std::vector<int> ids;
    if (!m_layout) return ids;
    std::vector<int> positions = m_layout->GetSelectedItems();
    std::sort(positions.begin(), positions.end());
    // From the last to the first, so earlier positions stay valid.
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        CControlUI* c = m_layout->GetItemAt(*it);
        if (!c) continue;
        const int id = static_cast<int>(c->GetTag());
        if (busy != -1 && id == busy) {
            refused = true;
            continue;
        }
        OnTileRemoved(c);
        m_layout->RemoveAt(*it);
        ids.push_back(id);
    }
    return ids;
}

int CThumbListPanel::PopupMenu(CMenuUI& menu, POINT client) const {
    ClientToScreen(Window(), &client);
    return menu.TrackPopupMenu(Window(), client);
}

int CThumbListPanel::TileMenu(TNotifyUI& msg, const char* third, CTileListItemUI*& tile) {
    tile = TileOf(msg.pSender);
    if (!tile) return -1;
    CMenuUI menu("MenuBk");
    menu.AddItem(1, Lang::TextUtf8("app.menu.delete"));
    menu.AddItem(2, Lang::TextUtf8("app.menu.open_folder"));
    if (third) menu.AddItem(3, third);
    return PopupMenu(menu, msg.ptMouse);
}

void CThumbListPanel::PlaylistTileMenu(TNotifyUI& msg, const std::function<std::string(int)>& pathOf,
                                       const char* invalidIcon) {
    CTileListItemUI* tile = nullptr;
    const int choice = TileMenu(msg, nullptr, tile);
    if (choice == 1) {
        DeleteSelected();
    } else if (choice == 2) {
        const std::string path = pathOf(static_cast<int>(tile->GetTag()));
        if (!File::IsExistFile(path)) tile->SetIcon(LangUi::Picture(invalidIcon), kIconRect);
        OpenFolderOf(path);
    }
}

int CThumbListPanel::ModeMenu(const char* buttonName, std::string (*name)(int), int count) {
    CControlUI* button = m_pm ? m_pm->FindControl(buttonName) : nullptr;
    if (!button) return -1;
    CMenuUI menu("MenuBk");
    for (int mode = 0; mode < count; ++mode) menu.AddItem(mode, name(mode));
    const RECT rc = button->GetPos();
    const int choice = PopupMenu(menu, POINT{rc.left, rc.bottom});
    if (choice < 0 || choice >= count) return -1;   // dismissed
    button->SetText(name(choice));
    return choice;
}

std::vector<std::string> CThumbListPanel::ChooseFiles(const wchar_t* filter) {
    // Room for a long multi-selection: the folder, then every name.
    std::vector<wchar_t> buffer(133633, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    std::vector<std::string> files;
    if (!GetOpenFileNameW(&ofn)) return files;
    // One file: its full path. Several: the folder, then each name.
    const wchar_t* p = buffer.data();
    const std::wstring first = p;
    p += first.size() + 1;
    std::vector<std::wstring> names;
    for (; *p; p += wcslen(p) + 1) names.emplace_back(p);
    if (names.empty()) {
        const std::string path = Charset::WString2String(first);
        if (File::IsExistFile(path)) files.push_back(path);
    } else {
        std::wstring folder = first;
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        for (const std::wstring& n : names) {
            const std::string path = Charset::WString2String(folder + n);
            if (File::IsExistFile(path)) files.push_back(path);
        }
    }
    return files;
}

CThumbListPanel::ShellCommand CThumbListPanel::FolderCommand(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.empty()) return {};
    if (File::IsExistFile(p)) return {"explorer.exe", "/select,\"" + p + "\""};
    // The nearest folder that still exists.
    while (!p.empty()) {
        if (p.back() == '\\') p.pop_back();
        const size_t cut = p.find_last_of('\\');
        if (cut == std::string::npos) return {};
        p.erase(cut + 1);
        if (Dir::IsDirectory(p)) return {p, std::string()};
    }
    return {};
}

void CThumbListPanel::OpenFolderOf(const std::string& path) {
    const ShellCommand command = FolderCommand(path);
    if (command.file.empty()) return;
    if (s_shellRunner) {
        s_shellRunner(command);
        return;
    }
    ShellExecuteW(nullptr, L"open", Charset::String2WString(command.file).c_str(),
                  command.params.empty() ? nullptr : Charset::String2WString(command.params).c_str(), nullptr,
                  SW_SHOWNORMAL);
}
