// ZxModConfig: the persistent settings of the program and the kernel.
//
// Settings are kept by section and key in one INI file per user,
// Dir::GetZxPath(101) + "ZxVCam.ini": UTF-8 text with "[Section]" and
// "key=value" lines and CRLF line ends, so a person can read and edit it.
// Sections and keys are matched without regard to ASCII case and keep the
// spelling they were first written with; the order of an existing file and
// its comment lines (";" or "#") survive every rewrite.
//
// Every setter rewrites the whole file at once, through a temporary file and
// a rename, so a crash never leaves half a file behind. One instance serves
// the whole process (the program and the kernel share this DLL); every
// operation is safe from any thread and never throws.
#pragma once

#ifdef ZXMODCONFIG_BUILD
#define ZXMODCONFIG_API __declspec(dllexport)
#else
#define ZXMODCONFIG_API __declspec(dllimport)
#endif

#include <cstdint>
#include <string>

// All operations take the section and the key (UTF-8 C strings) first. A
// null or empty section or key is never stored: getters treat it as missing
// and setters fail.
//
// Getters without a default leave the out value unchanged when the key is
// missing, so a caller can preset its own default; getters with a default
// store that default. A stored value that does not parse as the asked type
// (for example "abc" or an out-of-range number for GetInt) counts as
// missing. Getters return true when a usable value was found.
//
// Setters return true when the value is stored and the file written. When
// the file cannot be written they return false, log the failure to
// "ZxModConfig.txt" and keep the value in memory, so later getters still
// see it and the next setter tries the write again.
class IConfigManager {
public:
    virtual ~IConfigManager() {}

    virtual bool GetString(const char* section, const char* key, std::string& out, const char* defaultValue) = 0;
    virtual bool GetString(const char* section, const char* key, std::string& out) = 0;
    // A null value stores an empty string. The flag is reserved (0).
    virtual bool SetString(const char* section, const char* key, const char* value, int flag) = 0;

    // Decimal, optionally signed.
    virtual bool GetInt(const char* section, const char* key, int& out, int defaultValue) = 0;
    virtual bool GetInt(const char* section, const char* key, int& out) = 0;
    virtual bool SetInt(const char* section, const char* key, int value) = 0;

    // Removes the key (every copy of it in the section). True when the key is
    // stored nowhere afterwards, also when it was not there.
    virtual bool RemoveKey(const char* section, const char* key) = 0;

    // Written in decimal; read from decimal or "0x" hexadecimal.
    virtual bool GetUInt(const char* section, const char* key, uint32_t& out) = 0;
    virtual bool SetUInt(const char* section, const char* key, uint32_t value) = 0;

    // Written in the shortest form that reads back exactly ("0.1", "1e+300",
    // "inf", "nan"), independent of the C locale.
    virtual bool GetDouble(const char* section, const char* key, double& out) = 0;
    virtual bool SetDouble(const char* section, const char* key, double value) = 0;

    virtual bool GetInt64(const char* section, const char* key, int64_t& out) = 0;
    virtual bool SetInt64(const char* section, const char* key, int64_t value) = 0;

    // Written "1"/"0"; read from 1/0/true/false/yes/no in any case.
    virtual bool GetBool(const char* section, const char* key, bool& out) = 0;
    virtual bool SetBool(const char* section, const char* key, bool value) = 0;

    // A settings file that could not be read is renamed before the first
    // write to "<name>.bad" (or "<name>.1.bad", "<name>.2.bad", ... when an
    // earlier copy is there: none is overwritten). Each such rename is
    // given here once, for the program to tell the user: the file and its
    // copy. False when there is nothing (left) to tell.
    virtual bool TakeSetAsideFile(std::string& file, std::string& copy) = 0;
};

extern "C" {

// The one configuration manager of the process. The file is located and
// loaded at the first operation, not when the DLL loads.
ZXMODCONFIG_API IConfigManager* AfxGetConfigManager();

// For tests and tools: switches the manager to another INI file and loads
// it; null or empty goes back to the default file (located again). Changes
// that could not be written to the previous file are dropped.
ZXMODCONFIG_API void ZxConfigSetFile(const char* path);
}
