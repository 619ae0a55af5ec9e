// The INI layer on whole files of any bytes (8-bit, or UTF-16LE or UTF-8 with a byte-order mark):
// - the file-level reads agree with the text rules on the file's 8-bit text, and a UTF-16 or
//   UTF-8 file reads exactly as the same text stored in 8 bits;
// - every key that enumeration lists can be looked up, and ReadSectionValues agrees with ReadString;
// - a write of a well-formed name and value is read back as written, leaves every other value as
//   it was, edits the text instead of re-serialising it, and leaves no other file behind.
// The last four bytes of the input choose the write; the rest is the file.
#include "cp1250.h"
#include "fuzzutil.h"
#include "inifile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using rv58::fuzz::Check;
namespace ini = rv58::ini;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return rv58::Cp1250UpperCase(static_cast<unsigned char>(x)) ==
                  rv58::Cp1250UpperCase(static_cast<unsigned char>(y));
         });
}

bool IsUtf16(std::string_view raw) {
  return raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
         static_cast<unsigned char>(raw[1]) == 0xFE;
}

// The 8-bit text of a UTF-16LE file, one byte per code unit (an odd last byte is no unit).
std::string Narrow(std::string_view raw) {
  std::string out;
  for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
    out.push_back(rv58::Cp1250FromUnicode(static_cast<unsigned char>(raw[i]) |
                                          (static_cast<unsigned char>(raw[i + 1]) << 8)));
  return out;
}

bool IsUtf8(std::string_view raw) {
  return raw.starts_with("\xEF\xBB\xBF");
}

// The 8-bit text of a UTF-8 file with its byte-order mark, one byte per code point; nothing when
// the rest is not well-formed UTF-8 (the reader then keeps the odd bytes as they were, which this
// model does not follow).
std::optional<std::string> Decoded(std::string_view raw) {
  std::string out;
  for (std::size_t i = 3; i < raw.size();) {
    const auto lead = static_cast<unsigned char>(raw[i]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || i + length > raw.size())
      return std::nullopt;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(raw[i + k]);
      if ((next & 0xC0) != 0x80)
        return std::nullopt;
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return std::nullopt;
    out.push_back(rv58::Cp1250FromUnicode(cp));
    i += length;
  }
  return out;
}

std::optional<std::string> Text(std::string_view raw) {
  if (IsUtf16(raw))
    return Narrow(raw);
  if (IsUtf8(raw))
    return Decoded(raw);
  return std::string(raw);
}

// Section -> key -> value as a reader sees them, for the first few names of each.
using Values = std::map<std::string, std::map<std::string, std::string>>;

Values Snapshot(const std::string& text) {
  Values values;
  auto sections = ini::SectionNames(text);
  sections.resize(std::min<std::size_t>(sections.size(), 16));
  for (const auto& s : sections) {
    auto keys = ini::SectionKeys(text, s);
    keys.resize(std::min<std::size_t>(keys.size(), 16));
    for (const auto& k : keys) {
      const auto v = ini::FindValue(text, s, k);
      Check(v.has_value(), "an enumerated key can be looked up");
      Check(v->size() <= ini::kMaxValueLength, "a value is at most 2047 bytes");
      values[s][k] = *v;
    }
  }
  return values;
}

bool OnlyFileInFolder(const std::filesystem::path& file) {
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
    if (entry.path() != file)
      return false;
  return true;
}

const char* const kNewNames[] = {"RV5", "Ports", "FormPos", "\xDAj", "a b", "Opt"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  const auto pickSection = fdp.ConsumeIntegral<std::uint8_t>();
  const auto pickKey = fdp.ConsumeIntegral<std::uint8_t>();
  const auto valueAt = fdp.ConsumeIntegral<std::uint16_t>();
  const std::string raw = fdp.ConsumeRemainingBytesAsString();
  const std::optional<std::string> decoded = Text(raw);
  if (!decoded) {
    // Malformed UTF-8 after a byte-order mark: only that the reads survive it.
    const std::filesystem::path path = rv58::fuzz::Folder() / "f.ini";
    rv58::fuzz::WriteBytes(path, raw);
    rv58::TIniFile file(path.string());
    for (const auto& section : file.ReadSections())
      (void)file.ReadSectionValues(section);
    std::filesystem::remove(path);
    return 0;
  }
  const std::string& text = *decoded;

  const std::filesystem::path path = rv58::fuzz::Folder() / "f.ini";
  rv58::fuzz::WriteBytes(path, raw);
  rv58::TIniFile file(path.string());

  // File reads against the text rules, and a UTF-16 file against its 8-bit twin.
  const auto sections = file.ReadSections();
  Check(sections == ini::SectionNames(text), "ReadSections reads the file's text");
  if (IsUtf16(raw)) {
    const std::filesystem::path twin = rv58::fuzz::Folder() / "twin.ini";
    rv58::fuzz::WriteBytes(twin, text);
    Check(rv58::TIniFile(twin.string()).ReadSections() == sections, "a UTF-16 file reads as its 8-bit text");
    std::filesystem::remove(twin);
  }
  const Values before = Snapshot(text);
  for (std::size_t i = 0; i < sections.size() && i < 4; ++i) {
    const auto keys = file.ReadSection(sections[i]);
    Check(keys == ini::SectionKeys(text, sections[i]), "ReadSection reads the file's text");
    Check(file.SectionExists(sections[i]) == !keys.empty(), "SectionExists means a key is there");
    const auto pairs = file.ReadSectionValues(sections[i]);
    Check(pairs.size() <= keys.size(), "one pair per distinct key");
    for (std::size_t p = 0; p < pairs.size() && p < 16; ++p) {
      for (std::size_t q = 0; q < p; ++q)
        Check(!SameName(pairs[p].first, pairs[q].first), "ReadSectionValues gives each key once");
      Check(pairs[p].second == *ini::FindValue(text, sections[i], pairs[p].first),
            "ReadSectionValues agrees with ReadString");
    }
  }

  // A write of a well-formed name: an existing one or a new one.
  std::string section = pickSection % 8 < sections.size() && pickSection % 8 < 6 ? sections[pickSection % 8]
                                                                                 : kNewNames[pickSection % 6];
  const auto keys = ini::SectionKeys(text, section);
  std::string key = pickKey % 8 < keys.size() && pickKey % 8 < 6 ? keys[pickKey % 8] : kNewNames[pickKey % 6];
  std::string value;
  if (!text.empty()) {
    const std::size_t at = valueAt % text.size();
    for (char c : std::string_view(text).substr(at, 40 + valueAt % 64))
      if (c != '\r' && c != '\n')
        value.push_back(c);
  }
  if (section.empty() || section.find_first_of("]\t\v") != std::string::npos ||
      key.find_first_of("=\t\v") != std::string::npos || key.empty() || key.front() == ';' ||
      key.front() == '[' || section.front() == ' ' || section.back() == ' ' || key.front() == ' ' ||
      key.back() == ' ')
    return 0; // names that no reader could find again under the same spelling
  Check(file.WriteString(section, key, value), "a write to a writable file succeeds");
  const std::string rawAfter = rv58::fuzz::ReadBytes(path);
  Check(IsUtf16(rawAfter) == IsUtf16(raw), "a write keeps the file's encoding");
  Check(IsUtf8(rawAfter) == IsUtf8(raw), "a write keeps the file's byte-order mark");
  const std::optional<std::string> decodedAfter = Text(rawAfter);
  Check(decodedAfter.has_value(), "a write of well-formed text stays well-formed");
  const std::string& textAfter = *decodedAfter;
  Check(textAfter == ini::SetValue(text, section, key, value), "a write edits the text, nothing else");
  if (!IsUtf16(raw) && !IsUtf8(raw))
    Check(rawAfter == textAfter, "an 8-bit file is written byte for byte");
  Check(file.ReadString(section, key, "\x01") == rv58::fuzz::StoredValue(value), "a write reads back");
  Check(OnlyFileInFolder(path), "a write leaves no other file");
  for (const auto& [s, keyValues] : before) {
    for (const auto& [k, v] : keyValues) {
      if (SameName(s, section) && SameName(k, key))
        continue;
      const auto again = ini::FindValue(textAfter, s, k);
      Check(again && *again == v, "a write leaves the other values as they were");
    }
  }
  return 0;
}
