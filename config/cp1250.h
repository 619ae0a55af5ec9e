#pragma once

#include <string>
#include <string_view>

namespace rv58 {

// The Windows-1250 code page, which our settings texts, files and line bytes use.

// The Unicode code point of one Windows-1250 byte (the five unassigned bytes map to themselves).
char16_t Cp1250ToUnicode(unsigned char byte);

// The Windows-1250 byte of a code point, or '?' when the code page lacks it.
char Cp1250FromUnicode(char32_t codePoint);

// For messages on a UTF-8 terminal.
std::string Cp1250ToUtf8(std::string_view text);

// Characters outside the code page, and malformed UTF-8, become "?".
std::string Utf8ToCp1250(std::string_view text);

// The letter-case folding of the code page (ASCII and the accented letters), for names that
// match without regard to case.
unsigned char Cp1250UpperCase(unsigned char byte);

} // namespace rv58
