// DuiLib: the text rules of skin attribute values (numbers, lists of
// numbers, booleans, colours, picture descriptions). Plain C++ without the
// Windows headers, so they also build natively, for fuzzing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace DuiLib {

// Reads exactly count decimal integers separated by commas, blanks around
// each allowed; false (out untouched) when the text holds anything else or a
// number outside the 32-bit range.
bool ParseIntList(const std::string& text, int* out, int count);
// "true"/"false" (also "1"/"0").
bool ParseBool(const std::string& text, bool& out);
bool ParseInt(const std::string& text, int& out);

// A colour as 0xAARRGGBB: "#RRGGBB" (opaque), "#AARRGGBB", "0x" followed by
// hexadecimal digits, or a decimal number; leading spaces are skipped, and
// the number read is cut to 32 bits. Empty text gives 0.
uint32_t ParseColor(const std::string& text);

// Splits "file='a.png' dest='0,0,10,10'" into key/value pairs; a plain
// name without quotes is the file.
std::vector<std::pair<std::string, std::string>> SplitImageString(const std::string& s);

}  // namespace DuiLib
