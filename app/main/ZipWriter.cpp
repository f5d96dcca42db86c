#include "ZipWriter.h"

namespace {

const uint64_t kLimit = 0xFFFFFFFFull;

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

uint32_t CZipWriter::Crc32(const std::string& bytes) {
    static uint32_t table[256];
    static const bool ready = [] {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    (void)ready;
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool CZipWriter::Add(const std::string& name, const std::string& bytes, const SYSTEMTIME& when) {
    if (name.empty() || name.size() > 0xFFFF || m_count >= 0xFFFF) return false;
    const uint64_t offset = m_body.size();
    if (offset + 30 + name.size() + bytes.size() + m_directory.size() + 46 + name.size() + 22 > kLimit) return false;
    const uint32_t crc = Crc32(bytes);
    // MS-DOS time and date (from 1980, seconds halved).
    const int year = when.wYear < 1980 ? 0 : when.wYear - 1980;
    const uint32_t time = (when.wHour << 11) | (when.wMinute << 5) | (when.wSecond / 2);
    const uint32_t date = (year << 9) | (when.wMonth << 5) | when.wDay;
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    const uint32_t kUtf8Names = 0x0800;

    Put32(m_body, 0x04034B50);
    Put16(m_body, 20);   // version needed: 2.0
    Put16(m_body, kUtf8Names);
    Put16(m_body, 0);    // stored
    Put16(m_body, time);
    Put16(m_body, date);
    Put32(m_body, crc);
    Put32(m_body, size);
    Put32(m_body, size);
    Put16(m_body, static_cast<uint32_t>(name.size()));
    Put16(m_body, 0);    // no extra field
    m_body += name;
    m_body += bytes;

    Put32(m_directory, 0x02014B50);
    Put16(m_directory, 20);   // made by: MS-DOS attributes, 2.0
    Put16(m_directory, 20);
    Put16(m_directory, kUtf8Names);
    Put16(m_directory, 0);
    Put16(m_directory, time);
    Put16(m_directory, date);
    Put32(m_directory, crc);
    Put32(m_directory, size);
    Put32(m_directory, size);
    Put16(m_directory, static_cast<uint32_t>(name.size()));
    Put16(m_directory, 0);    // extra
    Put16(m_directory, 0);    // comment
    Put16(m_directory, 0);    // disk
    Put16(m_directory, 0);    // internal attributes
    Put32(m_directory, FILE_ATTRIBUTE_ARCHIVE);
    Put32(m_directory, static_cast<uint32_t>(offset));
    m_directory += name;
    ++m_count;
    return true;
}

std::string CZipWriter::Finish() const {
    std::string out = m_body + m_directory;
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(m_count));
    Put16(out, static_cast<uint32_t>(m_count));
    Put32(out, static_cast<uint32_t>(m_directory.size()));
    Put32(out, static_cast<uint32_t>(m_body.size()));
    Put16(out, 0);   // no comment
    return out;
}
