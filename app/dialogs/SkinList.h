// The background skins the user can choose: the pictures "bk_N.png" (any
// picture type) in the program's "skin\\localskin" folder, each with a small
// thumbnail kept in the per-user cache, and the one in use.
#pragma once

#include <map>
#include <string>

struct SkinRecord {
    int id = 0;              // N of "bk_N"
    std::string file;        // the background picture
    std::string thumbnail;   // its 98 x 60 JPEG thumbnail in the cache
};

class CSkinList {
public:
    static const int kThumbWidth = 98;
    static const int kThumbHeight = 60;

    // The folder the program's skins are in: resource folder + "skin\\localskin".
    static std::string DefaultFolder();
    // The thumbnail folder: the per-user cache + "ZxVBkThumbnail\\" (created).
    static std::string ThumbnailFolder();

    // Lists the skins of the folder (earlier records are dropped). A
    // picture whose thumbnail cannot be made is left out; a thumbnail
    // already in the cache is used again unless it cannot be read, in which
    // case it is made anew. Every thumbnail goes into the image manager
    // under its path. Returns the number of skins.
    int Scan(const std::string& folder);
    // Makes the skin current: every window's background becomes its picture
    // (none for an ID that is not in the list) and the ID is stored. The
    // current skin again does nothing.
    void Apply(int id);
    // Forgets every record (the main window does so when it goes).
    void Free();

    const std::map<int, SkinRecord>& Skins() const { return m_skins; }
    int GetCurrentID() const { return m_curId; }

private:
    // Makes the thumbnail of picture at thumbPath; false when the picture
    // cannot be read or the thumbnail not written.
    static bool MakeThumbnail(const std::string& picture, const std::string& thumbPath);
    // Loads the thumbnail into the image manager; false when it is no
    // readable picture.
    static bool LoadThumbnail(const std::string& thumbPath);

    std::map<int, SkinRecord> m_skins;
    int m_curId = -1;   // -1: nothing applied yet, so the first apply always runs
};
