// Conversions between setting values and their text in the INI file. Every
// parser takes the whole text (surrounding blanks aside) or fails, so "12abc"
// or an out-of-range number is not a number. None depends on the C locale.
#pragma once

#include <cstdint>
#include <string>

namespace zxcfg {

bool ParseInt(const std::string& text, int& out);
bool ParseInt64(const std::string& text, int64_t& out);
bool ParseUInt(const std::string& text, uint32_t& out);  // decimal or 0x hexadecimal
bool ParseDouble(const std::string& text, double& out);
bool ParseBool(const std::string& text, bool& out);  // 1/0, true/false, yes/no, any case

std::string FormatInt64(int64_t value);
std::string FormatUInt(uint32_t value);
std::string FormatDouble(double value);

}  // namespace zxcfg
