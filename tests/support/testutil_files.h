#pragma once
// Files for tests: whole files as bytes, read-only files, and the temporary folder.

#include "testutil_tempdir.h"

#include <filesystem>
#include <string>

namespace rv58::test {

// Writes the bytes as they are (a failure fails the test; call it inside ASSERT_NO_FATAL_FAILURE
// where it matters).
void WriteBytes(const std::string& path, const std::string& bytes);

// The whole file, bytes as they are; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// Takes every write permission away (on Windows: the read-only attribute).
void MakeReadOnly(const std::filesystem::path& path);

} // namespace rv58::test
