#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rv58 {

// The text-level rules of private-profile INI files, on a file's whole 8-bit content. The
// program uses TIniFile below; these are open for tests and benchmarks.
namespace ini {

inline constexpr std::size_t kMaxValueLength = 2047;

// The caller's section and key names are trimmed of spaces only.
std::string_view TrimSpaces(std::string_view s);

// The value as TIniFile::ReadString returns it (at most bufferSize - 1 bytes, as the profile
// functions copy into a buffer of that size), or nothing when the section or key is missing.
std::optional<std::string> FindValue(std::string_view content, std::string_view section, std::string_view key,
                                     std::size_t bufferSize = kMaxValueLength + 1);

// The content after WriteString(section, key, value). Section and key are trimmed of spaces.
std::string SetValue(std::string_view content, std::string_view section, std::string_view key,
                     std::string_view value);

// One (key, value) pair per distinct key of the first matching section, in order of first
// appearance, values as FindValue gives them; one pass over the section.
std::vector<std::pair<std::string, std::string>> SectionValues(std::string_view content,
                                                               std::string_view section);

// Key names of the first matching section (duplicates included); all section names.
std::vector<std::string> SectionKeys(std::string_view content, std::string_view section);
std::vector<std::string> SectionNames(std::string_view content);

// The "0x" rewrite of the classic ReadInteger followed by the shared conversion.
std::optional<std::int32_t> ParseIniInteger(std::string_view value);

// The first matching section of one content, found with one scan, for reading many keys of it:
// loading a settings file reads 18 keys, and the file may be large.
class SectionReader {
public:
  SectionReader(std::string content, std::string_view section);
  bool Found() const { return found_; }
  std::optional<std::string> Find(std::string_view key) const;
  std::string ReadString(std::string_view key, std::string_view defaultValue) const;
  std::int32_t ReadInteger(std::string_view key, std::int32_t defaultValue) const;
  bool ReadBool(std::string_view key, bool defaultValue) const;

private:
  std::string content_;
  std::size_t begin_ = 0; // first line after the header
  std::size_t end_ = 0;   // start of the next section header, or the end of the content
  bool found_ = false;
};

} // namespace ini

// Private-profile INI files, as the Windows profile functions and the classic TIniFile wrapper
// behave, because settings files travel between this program and its Windows users.
//
// One object per file path. It holds no cache: every read reads the file as it is now, every
// write reads and edits the file's text in its turn among the file's writers and replaces the
// file atomically (fileio::EditFile: temporary file in the same folder, flushed, renamed over
// the old one, permissions, owner and attributes kept). Texts are 8-bit bytes
// (Windows-1250 in our files); a UTF-16LE file with a byte-order mark is read and written as such.
class TIniFile {
public:
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return fileName_; }

  // The value of the first matching key of the first matching section (names match without
  // regard to letter case), trimmed, one pair of outer quotes stripped, at most 2047 bytes.
  // A missing file, section or key gives `defaultValue` (its trailing spaces removed);
  // a present empty key gives "".
  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

  // Replace the value in place (key spelling and position kept), or add the key after the last
  // key line of its section, or append the section at the end of the file; create a missing
  // file. Returns false when the file could not be written (missing folder, no permission,
  // disk full, not a regular file, empty section or key); the file is then unchanged.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);

  // WriteString for each (key, value) in order, as one replacement of the file: every key is
  // written or, when the file cannot be written, none is.
  bool WriteValues(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values);

  // Key names of the first matching section in file order (duplicates included; comments and
  // lines without "=" left out). Empty when the file or section is missing.
  std::vector<std::string> ReadSection(std::string_view section) const;

  // One (key, value) pair per distinct key of the first matching section, in the order of first
  // appearance, the value as ReadString gives it (first occurrence wins).
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;

  // The file's current content with the first matching section located, for reading many keys
  // of one section with one read of the file.
  ini::SectionReader ReadSectionSnapshot(std::string_view section) const;

  // Names of all sections in file order (duplicates included).
  std::vector<std::string> ReadSections() const;

  // True when the section has at least one key (the classic wrapper's meaning).
  bool SectionExists(std::string_view section) const;

private:
  std::string fileName_;
};

} // namespace rv58
