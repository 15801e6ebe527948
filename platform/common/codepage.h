// codepage.h: the Windows-1251 (Cyrillic ANSI) code page: a byte's Unicode code point, and
// whole strings in UTF-8 for SDL and the terminal.
#pragma once

#include <cstdint>
#include <string>

// The code point of one Windows-1251 byte; 0x98, which the code page leaves unassigned, gives
// U+FFFD.
uint32_t codePointFromCp1251(unsigned char byte);

// The UTF-8 form of a NUL-terminated Windows-1251 string; null gives an empty string.
std::string utf8FromCp1251(const char* text);
