// A small zip archive writer: every file is stored as it is (no
// compression), names are UTF-8 (flagged so), and the archive is built in
// memory and written whole, so a failure leaves no half archive behind.
// Enough for a handful of text files; each file and the whole archive must
// stay below 4 GB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CZipWriter {
public:
    // Adds a file under name ("folder/file.txt", forward slashes), dated with
    // the local time when. False when the archive would be too large.
    bool Add(const std::string& name, const std::string& bytes, const SYSTEMTIME& when);
    int Count() const { return m_count; }
    // The finished archive's bytes.
    std::string Finish() const;

    // The zip checksum (CRC-32, polynomial 0xEDB88320) of the bytes.
    static uint32_t Crc32(const std::string& bytes);

private:
    std::string m_body;        // the local headers with their data
    std::string m_directory;   // the central directory
    int m_count = 0;
};
