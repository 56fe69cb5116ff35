#pragma once

// Windows-1251, the 8-bit code page of the texts stored in records (names, comments, isotope
// names), so files written by the Windows program open unchanged. The user interface and
// text files are UTF-8; conversion happens at their edge.

#include <string>
#include <string_view>

namespace kv {

std::string utf8FromCp1251(std::string_view cp1251);

// Characters Windows-1251 lacks, and malformed UTF-8, become '?'.
std::string cp1251FromUtf8(std::string_view utf8);

// The lower-case form of one Windows-1251 character (Latin and Cyrillic letters).
unsigned char cp1251ToLower(unsigned char c);

// Case-insensitive comparison of Windows-1251 texts, character by character: <0, 0 or >0.
int compareCp1251IgnoringCase(std::string_view a, std::string_view b);

} // namespace kv
