#pragma once

#include <string>
#include <string_view>

namespace rv58 {

// The one conversion between Windows-1250 and Unicode.
//
// Windows-1250 bytes: every text of the core (settings values, value lists, port names and port
// descriptions, the scale's frames), the settings and preferences files, and the bytes on the line.
// UTF-8: what the program says to a person (its fixed messages and warnings, config/message.h),
// file paths, and what rv58ctl prints. Unicode (UTF-16) is the widgets' side; the window crosses
// over through app/qtext.h, a thin layer over this file.

// The Unicode code point of one Windows-1250 byte (the five unassigned bytes map to themselves).
char16_t Cp1250ToUnicode(unsigned char byte);

// The Windows-1250 byte of a code point, or '?' when the code page lacks it.
char Cp1250FromUnicode(char32_t codePoint);

// For messages on a UTF-8 terminal.
std::string Cp1250ToUtf8(std::string_view text);

// Characters outside the code page become "?", and so does each malformed sequence (a stray or
// cut-short sequence, an overlong form, a surrogate, a value past U+10FFFF) once, with the
// continuation bytes that follow its first byte.
std::string Utf8ToCp1250(std::string_view text);

// The same for UTF-16 (the widgets' texts, the Windows interfaces): a lone surrogate becomes "?".
std::u16string Cp1250ToUtf16(std::string_view text);
std::string Utf16ToCp1250(std::u16string_view text);

// A text that stays on one line: control characters (below a space, and DEL) become spaces.
// For texts from outside (device strings) before they meet the core.
std::string SingleLine(std::string_view text);

// The letter-case folding of the code page (ASCII and the accented letters), for names that
// match without regard to case.
unsigned char Cp1250UpperCase(unsigned char byte);

} // namespace rv58
