#pragma once
// UTF-8 to Windows-1250 through the system's own converter (the C library's on POSIX, the code
// page functions on Windows), so the program's tables are checked against an independent source.

#include <string>

namespace rv58::test {

// "<not convertible>" when a character has no Windows-1250 form, "<no converter>" when the system
// has none.
std::string ToCp1250(const std::string& utf8);

} // namespace rv58::test
