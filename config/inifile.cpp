// INI files on disk: their encodings, and TIniFile's reads and writes over the text-level rules
// of initext.cpp.
#include "inifile.h"

#include "cp1250.h"
#include "fileio.h"
#include "utf8.h"

#include <algorithm>
#include <functional>

namespace rv58 {

namespace {

// The encodings a file may come in. Our files are 8-bit; a UTF-16LE file with its byte-order
// mark (the Windows profile functions read and keep those) and a UTF-8 file with its byte-order
// mark (as editors save them) are read as the same 8-bit text and written back in their own
// encoding.
enum class Encoding { Bytes, Utf16Le, Utf8 };

Encoding EncodingOf(std::string_view raw) {
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
      static_cast<unsigned char>(raw[1]) == 0xFE)
    return Encoding::Utf16Le;
  if (raw.starts_with("\xEF\xBB\xBF"))
    return Encoding::Utf8;
  return Encoding::Bytes;
}

// A byte of malformed UTF-8, kept as this unit so that it is written back as it was.
constexpr char32_t kRawByteUnit = 0xDC00;

// The units of a file after its byte-order mark, one per byte of its 8-bit text: UTF-16 code
// units, or code points (and raw bytes) of UTF-8.
std::u32string UnitsOf(std::string_view raw, Encoding encoding) {
  std::u32string units;
  if (encoding == Encoding::Utf16Le) {
    units.reserve(raw.size() / 2);
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
      units.push_back(static_cast<char32_t>(static_cast<unsigned char>(raw[i]) |
                                            (static_cast<unsigned char>(raw[i + 1]) << 8)));
    return units;
  }
  units.reserve(raw.size());
  for (std::size_t i = 3; i < raw.size();) {
    if (const auto seq = DecodeUtf8Sequence(raw.substr(i))) {
      units.push_back(seq->codePoint);
      i += seq->length;
    } else {
      units.push_back(kRawByteUnit + static_cast<unsigned char>(raw[i]));
      i += 1;
    }
  }
  return units;
}

char ByteOfUnit(char32_t unit) {
  return Cp1250FromUnicode(unit); // surrogates and raw bytes have no 8-bit form: "?"
}

std::string TextOf(const std::u32string& units) {
  std::string text;
  text.reserve(units.size());
  for (char32_t u : units)
    text.push_back(ByteOfUnit(u));
  return text;
}

std::string Encode(const std::u32string& units, Encoding encoding) {
  std::string out;
  if (encoding == Encoding::Utf16Le) {
    out.assign("\xFF\xFE", 2);
    out.reserve(2 + units.size() * 2);
    for (char32_t u : units) {
      out.push_back(static_cast<char>(u & 0xFF));
      out.push_back(static_cast<char>((u >> 8) & 0xFF));
    }
    return out;
  }
  out.assign("\xEF\xBB\xBF");
  out.reserve(3 + units.size() * 2);
  for (char32_t u : units) {
    if (u >= kRawByteUnit + 0x80 && u <= kRawByteUnit + 0xFF)
      out.push_back(static_cast<char>(u - kRawByteUnit));
    else
      AppendUtf8(out, u);
  }
  return out;
}

// The file's text as the rules see it (8-bit); empty when it cannot be read.
std::string ReadText(const std::string& path) {
  std::string raw;
  if (fileio::ReadWholeFile(path, raw) != fileio::ReadStatus::Ok)
    return {};
  const Encoding encoding = EncodingOf(raw);
  return encoding == Encoding::Bytes ? raw : TextOf(UnitsOf(raw, encoding));
}

// The units after an edit turned `before` into `after`: the unchanged beginning and end keep
// their own units and only the changed middle is encoded anew, so characters without an 8-bit
// form (in other keys, comments and sections) survive a write.
std::u32string SpliceUnits(const std::u32string& units, std::string_view before, std::string_view after) {
  const std::size_t limit = std::min(before.size(), after.size());
  std::size_t prefix = 0;
  while (prefix < limit && before[prefix] == after[prefix])
    ++prefix;
  std::size_t suffix = 0;
  while (suffix < limit - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  std::u32string out(units.substr(0, prefix));
  for (char c : after.substr(prefix, after.size() - prefix - suffix))
    out.push_back(Cp1250ToUnicode(static_cast<unsigned char>(c)));
  out.append(units.substr(units.size() - suffix));
  return out;
}

using TextEdit = std::function<std::string(const std::string&)>;

// Reads the file, applies the edits in turn to its 8-bit text and writes it back in its own
// encoding, all in the writer's turn on the file.
bool EditFile(const std::string& path, const std::vector<TextEdit>& edits) {
  if (path.empty())
    return false;
  return fileio::EditFile(path, [&](const std::string* raw) -> std::optional<fileio::NewContent> {
    const Encoding encoding = raw != nullptr ? EncodingOf(*raw) : Encoding::Bytes;
    std::u32string units = encoding == Encoding::Bytes ? std::u32string() : UnitsOf(*raw, encoding);
    const std::string text =
        encoding == Encoding::Bytes ? (raw != nullptr ? *raw : std::string()) : TextOf(units);
    std::string edited = text;
    for (const TextEdit& edit : edits) {
      std::string next = edit(edited);
      if (encoding != Encoding::Bytes)
        units = SpliceUnits(units, edited, next);
      edited = std::move(next);
    }
    if (raw != nullptr && edited == text)
      return std::nullopt; // nothing to change
    // Blanks at the end of a text change nothing for its readers.
    std::string filler = encoding == Encoding::Utf16Le ? std::string(" \0", 2) : " ";
    return fileio::NewContent{encoding == Encoding::Bytes ? edited : Encode(units, encoding), filler};
  });
}

} // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  return ReadSectionSnapshot(section).ReadString(key, defaultValue);
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (ini::TrimSpaces(section).empty() || ini::TrimSpaces(key).empty())
    return false;
  return EditFile(fileName_,
                  {[&](const std::string& text) { return ini::SetValue(text, section, key, value); }});
}

bool TIniFile::WriteValues(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& values) {
  if (ini::TrimSpaces(section).empty())
    return false;
  for (const auto& entry : values)
    if (ini::TrimSpaces(entry.first).empty())
      return false;
  // One edit per key, so that a UTF-16 file keeps the units of every line no key touches.
  std::vector<TextEdit> edits;
  edits.reserve(values.size());
  for (const auto& entry : values)
    edits.emplace_back(
        [&](const std::string& text) { return ini::SetValue(text, section, entry.first, entry.second); });
  return EditFile(fileName_, edits);
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  return ini::SectionKeys(ReadText(fileName_), section);
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view section) const {
  return ini::SectionValues(ReadText(fileName_), section);
}

ini::SectionReader TIniFile::ReadSectionSnapshot(std::string_view section) const {
  return ini::SectionReader(ReadText(fileName_), section);
}

std::vector<std::string> TIniFile::ReadSections() const {
  return ini::SectionNames(ReadText(fileName_));
}

bool TIniFile::SectionExists(std::string_view section) const {
  return !ReadSection(section).empty();
}

} // namespace rv58
