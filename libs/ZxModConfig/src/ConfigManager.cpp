// CConfigManager: the one configuration manager of the process, over one INI
// file held in memory and rewritten whole by every setter.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "IniDocument.h"
#include "ValueText.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLogFile[] = "ZxModConfig.txt";
const char kModule[] = "CConfigManager";
const char kFileName[] = "ZxVCam.ini";
// A settings file is a few kilobytes; anything this large is not one.
const int64_t kMaxFileBytes = 8 << 20;

enum class Decoded { kOk, kDamaged };

// The file's bytes as UTF-8 text: a UTF-8 byte order mark is dropped, UTF-16
// (with its byte order mark) is converted. Text holding NUL characters is no
// settings file (a file cut short by a crash is often filled with zeros).
Decoded DecodeFile(const std::string& bytes, std::string& text, bool& wasUtf16, bool& oddByte) {
    wasUtf16 = false;
    oddByte = false;
    auto starts = [&](const char* bom, size_t n) { return bytes.size() >= n && bytes.compare(0, n, bom, n) == 0; };
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2)) {
        bool bigEndian = bytes[0] == '\xFE';
        wasUtf16 = true;
        size_t units = (bytes.size() - 2) / 2;
        oddByte = (bytes.size() - 2) % 2 != 0;
        std::wstring wide(units, L'\0');
        for (size_t i = 0; i < units; ++i) {
            unsigned char a = static_cast<unsigned char>(bytes[2 + 2 * i]);
            unsigned char b = static_cast<unsigned char>(bytes[3 + 2 * i]);
            wide[i] = static_cast<wchar_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
        }
        if (wide.find(L'\0') != std::wstring::npos) return Decoded::kDamaged;
        text = Charset::WString2String(wide);
        return Decoded::kOk;
    }
    text = starts("\xEF\xBB\xBF", 3) ? bytes.substr(3) : bytes;
    if (text.find('\0') != std::string::npos) return Decoded::kDamaged;
    return Decoded::kOk;
}

std::string Str(const char* s) { return s ? std::string(s) : std::string(); }

class CConfigManager : public IConfigManager {
public:
    bool GetString(const char* section, const char* key, std::string& out, const char* defaultValue) override {
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::string value;
            if (LookupLocked(section, key, value)) {
                out = value;
                return true;
            }
            out = Str(defaultValue);
        } catch (...) {
        }
        return false;
    }

    bool GetString(const char* section, const char* key, std::string& out) override {
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::string value;
            if (!LookupLocked(section, key, value)) return false;
            out = value;
            return true;
        } catch (...) {
            return false;
        }
    }

    bool SetString(const char* section, const char* key, const char* value, int /*flag: reserved*/) override {
        return Store(section, key, [value] { return Str(value); });
    }

    bool GetInt(const char* section, const char* key, int& out, int defaultValue) override {
        if (Get(section, key, out, zxcfg::ParseInt)) return true;
        out = defaultValue;
        return false;
    }

    bool GetInt(const char* section, const char* key, int& out) override {
        return Get(section, key, out, zxcfg::ParseInt);
    }

    bool SetInt(const char* section, const char* key, int value) override {
        return Store(section, key, [value] { return zxcfg::FormatInt64(value); });
    }

    bool RemoveKey(const char* section, const char* key) override {
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            EnsureLoadedLocked();
            std::string s = Str(section), k = Str(key);
            if (!zxcfg::IsValidSectionName(s) || !zxcfg::IsValidKeyName(k)) {
                YL_Log(kLogFile, 2, kModule, "RemoveKey: invalid section or key name [%s] %s", s.c_str(), k.c_str());
                return false;
            }
            if (m_doc.Remove(s, k)) m_dirty = true;
            return !m_dirty || CommitLocked();
        } catch (...) {
            return false;
        }
    }

    bool GetUInt(const char* section, const char* key, uint32_t& out) override {
        return Get(section, key, out, zxcfg::ParseUInt);
    }

    bool SetUInt(const char* section, const char* key, uint32_t value) override {
        return Store(section, key, [value] { return zxcfg::FormatUInt(value); });
    }

    bool GetDouble(const char* section, const char* key, double& out) override {
        return Get(section, key, out, zxcfg::ParseDouble);
    }

    bool SetDouble(const char* section, const char* key, double value) override {
        return Store(section, key, [value] { return zxcfg::FormatDouble(value); });
    }

    bool GetInt64(const char* section, const char* key, int64_t& out) override {
        return Get(section, key, out, zxcfg::ParseInt64);
    }

    bool SetInt64(const char* section, const char* key, int64_t value) override {
        return Store(section, key, [value] { return zxcfg::FormatInt64(value); });
    }

    bool GetBool(const char* section, const char* key, bool& out) override {
        return Get(section, key, out, zxcfg::ParseBool);
    }

    bool SetBool(const char* section, const char* key, bool value) override {
        return Store(section, key, [value] { return std::string(value ? "1" : "0"); });
    }

    bool TakeSetAsideFile(std::string& file, std::string& copy) override {
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_setAsideCopy.empty()) return false;
            file = m_setAsideFile;
            copy = m_setAsideCopy;
            m_setAsideFile.clear();
            m_setAsideCopy.clear();
            return true;
        } catch (...) {
            return false;
        }
    }

    void SetFile(const char* path) {
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_loaded && m_dirty) {
                YL_Log(kLogFile, 2, kModule, "changes that could not be written to %s are dropped",
                       m_path.c_str());
            }
            m_customPath = Str(path);
            m_loaded = false;
            EnsureLoadedLocked();
        } catch (...) {
        }
    }

private:
    template <typename T, typename Parser>
    bool Get(const char* section, const char* key, T& out, Parser parse) {
        try {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::string text;
            return LookupLocked(section, key, text) && parse(text, out);
        } catch (...) {
            return false;
        }
    }

    bool LookupLocked(const char* section, const char* key, std::string& value) {
        EnsureLoadedLocked();
        if (!section || !key || !*section || !*key) return false;
        return m_doc.Find(section, key, value);
    }

    // Sets the value the callable gives (made inside the guard, so not even
    // an allocation failure leaves the DLL as an exception).
    template <typename MakeText>
    bool Store(const char* section, const char* key, MakeText makeText) {
        try {
            std::string value = makeText();
            std::lock_guard<std::mutex> lock(m_mutex);
            EnsureLoadedLocked();
            std::string s = Str(section), k = Str(key);
            if (!zxcfg::IsValidSectionName(s) || !zxcfg::IsValidKeyName(k)) {
                YL_Log(kLogFile, 2, kModule, "not stored: invalid section or key name [%s] %s", s.c_str(),
                       k.c_str());
                return false;
            }
            if (m_doc.Set(s, k, value)) m_dirty = true;
            // An unchanged value needs no write, unless an earlier write failed.
            return !m_dirty || CommitLocked();
        } catch (...) {
            return false;
        }
    }

    // Locates the file at the first operation (so a test or a portable
    // install can redirect the data folder first) and loads it.
    // A load cut short (out of memory) leaves the manager unloaded, so the
    // next operation tries again instead of writing a half-read document
    // over the file.
    void EnsureLoadedLocked() {
        if (m_loaded) return;
        m_doc.Clear();
        m_dirty = false;
        m_moveAsidePending = false;
        m_path = m_customPath;
        if (m_path.empty()) {
            std::string dir = Dir::GetZxPath(Dir::kPathUserData);
            if (dir.empty()) {
                YL_Log(kLogFile, 2, kModule, "no per-user data folder; settings are kept in memory only");
            } else {
                m_path = dir + kFileName;
            }
        }
        if (!m_path.empty()) {
            try {
                LoadLocked();
            } catch (...) {
                m_doc.Clear();
                throw;
            }
        }
        m_loaded = true;
    }

    void LoadLocked() {
        std::wstring wpath = Charset::String2WString(m_path);
        DWORD attributes = GetFileAttributesW(wpath.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // a first run
            YL_Log(kLogFile, 2, kModule, "cannot reach %s (error %lu); it will be renamed to .bad before writing",
                   m_path.c_str(), static_cast<unsigned long>(error));
            m_moveAsidePending = true;
            return;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            YL_Log(kLogFile, 2, kModule, "%s is a folder, not a settings file; settings cannot be saved",
                   m_path.c_str());
            return;
        }
        int64_t size = File::GetFileSize(m_path);
        if (size > kMaxFileBytes) {
            YL_Log(kLogFile, 2, kModule, "%s is too large to be a settings file (%s bytes); not read, "
                   "it will be renamed to .bad before writing", m_path.c_str(), std::to_string(size).c_str());
            m_moveAsidePending = true;
            return;
        }
        std::string bytes;
        if (!File::ReadAll(m_path, bytes, static_cast<size_t>(kMaxFileBytes))) {
            DWORD error = GetLastError();
            YL_Log(kLogFile, 2, kModule, "cannot read %s (error %lu); it will be renamed to .bad before writing",
                   m_path.c_str(), static_cast<unsigned long>(error));
            m_moveAsidePending = true;
            return;
        }
        std::string text;
        bool wasUtf16 = false, oddByte = false;
        if (DecodeFile(bytes, text, wasUtf16, oddByte) != Decoded::kOk) {
            YL_Log(kLogFile, 2, kModule, "%s is damaged (holds NUL characters); not read, it will be renamed "
                   "to .bad before writing", m_path.c_str());
            m_moveAsidePending = true;
            return;
        }
        if (oddByte) {
            YL_Log(kLogFile, 2, kModule, "%s: UTF-16 text with an odd byte at its end; the byte is ignored",
                   m_path.c_str());
        }
        if (!wasUtf16 && !Charset::IsValidUtf8(text)) {
            // Kept byte for byte: a rewrite gives back exactly what was read.
            YL_Log(kLogFile, 2, kModule, "%s holds text that is not UTF-8; it is kept as it is", m_path.c_str());
        }
        zxcfg::ParseReport report;
        m_doc.Parse(text, &report);
        if (report.ignoredLines) {
            YL_Log(kLogFile, 2, kModule, "%s: %s line(s) outside a section or without '=' ignored (first: "
                   "line %s); they are kept in the file", m_path.c_str(), std::to_string(report.ignoredLines).c_str(),
                   std::to_string(report.firstIgnoredLine).c_str());
        }
        if (report.badHeaders) {
            YL_Log(kLogFile, 2, kModule, "%s: %s malformed section header(s) (first: line %s); the keys "
                   "below them are not used", m_path.c_str(), std::to_string(report.badHeaders).c_str(),
                   std::to_string(report.firstBadHeader).c_str());
        }
    }

    // Writes the whole document. The user's old file, when it could not be
    // read, is first renamed to "<name>.bad", so it is never overwritten.
    bool CommitLocked() {
        if (m_path.empty()) {
            YL_Log(kLogFile, 2, kModule, "no settings file; the change is kept in memory only");
            return false;
        }
        std::wstring wpath = Charset::String2WString(m_path);
        if (m_moveAsidePending) {
            // An earlier copy is never replaced: the next free number.
            std::string bad = m_path + ".bad";
            for (int n = 1; GetFileAttributesW(Charset::String2WString(bad).c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
                bad = m_path + "." + std::to_string(n) + ".bad";
            if (MoveFileExW(wpath.c_str(), Charset::String2WString(bad).c_str(), MOVEFILE_WRITE_THROUGH)) {
                YL_Log(kLogFile, 2, kModule, "the settings file that could not be used was renamed to %s",
                       bad.c_str());
                m_setAsideFile = m_path;
                m_setAsideCopy = bad;
            } else {
                DWORD error = GetLastError();
                if (error != ERROR_FILE_NOT_FOUND) {
                    YL_Log(kLogFile, 2, kModule, "cannot rename the unusable %s to %s (error %lu); it is left "
                           "alone and the change is kept in memory only", m_path.c_str(), bad.c_str(),
                           static_cast<unsigned long>(error));
                    return false;
                }
            }
            m_moveAsidePending = false;
        }
        // Windows refuses to replace a read-only file; the check makes the
        // refusal explicit (Wine's rename replaces it regardless).
        DWORD attributes = GetFileAttributesW(wpath.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            YL_Log(kLogFile, 2, kModule, "cannot write %s: the file is read-only; the change is kept in memory "
                   "only", m_path.c_str());
            return false;
        }
        if (!File::WriteAllAtomic(m_path, m_doc.Serialize())) {
            DWORD error = GetLastError();
            YL_Log(kLogFile, 2, kModule, "cannot write %s (error %lu); the change is kept in memory only",
                   m_path.c_str(), static_cast<unsigned long>(error));
            return false;
        }
        m_dirty = false;
        return true;
    }

    std::mutex m_mutex;
    std::string m_customPath;  // set by ZxConfigSetFile; empty: the default file
    std::string m_path;        // the file in use
    bool m_loaded = false;
    bool m_dirty = false;             // memory holds changes the file does not
    bool m_moveAsidePending = false;  // the file on disk could not be read
    std::string m_setAsideFile, m_setAsideCopy;   // the last rename not yet taken
    zxcfg::IniDocument m_doc;
};

// Never destroyed: a module that saves a setting while the process shuts
// down must not meet a destroyed manager.
CConfigManager& Instance() {
    static CConfigManager* instance = new CConfigManager;
    return *instance;
}

}  // namespace

extern "C" {

ZXMODCONFIG_API IConfigManager* AfxGetConfigManager() { return &Instance(); }

ZXMODCONFIG_API void ZxConfigSetFile(const char* path) { Instance().SetFile(path); }
}
