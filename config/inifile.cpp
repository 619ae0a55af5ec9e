#include "inifile.h"

#include "cp1250.h"
#include "fileio.h"
#include "strconv.h"

#include <algorithm>
#include <array>
#include <functional>
#include <unordered_set>

namespace rv58 {

namespace ini {

namespace {

// The profile functions trim these around names and values.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

// The caller's section and key names are trimmed of spaces only.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Cp1250UpperCase(static_cast<unsigned char>(a[i])) !=
        Cp1250UpperCase(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Line {
  std::size_t start = 0; // first byte of the line
  std::size_t end = 0;   // end of its text, before the line break
  std::size_t next = 0;  // first byte after the line break
  Kind kind = Kind::Blank;
  std::string_view name;  // section name or key name
  std::string_view value; // raw value of a key line, trimmed
};

// Splits the next line at CR LF, LF or CR and classifies it.
Line NextLine(std::string_view content, std::size_t pos) {
  Line line;
  line.start = pos;
  const char* data = content.data();
  const std::size_t size = content.size();
  std::size_t i = pos;
  while (i < size && data[i] != '\n' && data[i] != '\r')
    ++i;
  line.end = i;
  if (i < size) {
    if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
      i += 2;
    else
      i += 1;
  }
  line.next = i;

  const std::string_view text = TrimBlanks(content.substr(line.start, line.end - line.start));
  if (text.empty()) {
    line.kind = Kind::Blank;
  } else if (text.front() == ';') {
    line.kind = Kind::Comment;
  } else if (text.front() == '[') {
    line.kind = Kind::Section;
    std::string_view name = text.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos)
      name = name.substr(0, close);
    line.name = TrimBlanks(name);
  } else {
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
      line.kind = Kind::Other;
      line.name = text;
    } else {
      line.kind = Kind::Key;
      line.name = TrimBlanks(text.substr(0, eq));
      line.value = TrimBlanks(text.substr(eq + 1));
    }
  }
  return line;
}

struct SectionRange {
  bool found = false;
  std::size_t headerStart = 0;
  std::size_t headerEnd = 0; // end of the header's text
  std::size_t begin = 0;     // first line after the header
  std::size_t end = 0;       // start of the next header, or the content's end
};

SectionRange FindSection(std::string_view content, std::string_view section) {
  SectionRange range;
  const std::string_view wanted = TrimSpaces(section);
  std::size_t pos = 0;
  while (pos < content.size()) {
    const Line line = NextLine(content, pos);
    pos = line.next;
    if (!range.found) {
      if (line.kind == Kind::Section && SameName(line.name, wanted)) {
        range.found = true;
        range.headerStart = line.start;
        range.headerEnd = line.end;
        range.begin = line.next;
      }
    } else if (line.kind == Kind::Section) {
      range.end = line.start;
      return range;
    }
  }
  range.end = content.size();
  return range;
}

std::string ValueOf(std::string_view raw, std::size_t bufferSize) {
  if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
    raw = raw.substr(1, raw.size() - 2);
  if (bufferSize == 0)
    return {};
  if (raw.size() > bufferSize - 1)
    raw = raw.substr(0, bufferSize - 1);
  return std::string(raw);
}

// The first key line of the range named `key`.
std::optional<Line> FindKeyLine(std::string_view content, std::size_t begin, std::size_t end,
                                std::string_view key) {
  const std::string_view wanted = TrimSpaces(key);
  std::size_t pos = begin;
  while (pos < end) {
    const Line line = NextLine(content, pos);
    pos = line.next;
    if (line.kind == Kind::Key && SameName(line.name, wanted))
      return line;
  }
  return std::nullopt;
}

// The names of the lines of `kind` in the range, in file order.
std::vector<std::string> LineNames(std::string_view content, std::size_t begin, std::size_t end, Kind kind) {
  std::vector<std::string> names;
  std::size_t pos = begin;
  while (pos < end) {
    const Line line = NextLine(content, pos);
    pos = line.next;
    if (line.kind == kind)
      names.emplace_back(line.name);
  }
  return names;
}

bool EndsWithLineBreak(std::string_view s) {
  return !s.empty() && (s.back() == '\n' || s.back() == '\r');
}

} // namespace

std::optional<std::string> FindValue(std::string_view content, std::string_view section, std::string_view key,
                                     std::size_t bufferSize) {
  const SectionRange range = FindSection(content, section);
  if (!range.found)
    return std::nullopt;
  const auto line = FindKeyLine(content, range.begin, range.end, key);
  if (!line)
    return std::nullopt;
  return ValueOf(line->value, bufferSize);
}

std::string SetValue(std::string_view content, std::string_view section, std::string_view key,
                     std::string_view value) {
  const std::string_view sec = TrimSpaces(section);
  const std::string_view k = TrimSpaces(key);
  std::string out;
  out.reserve(content.size() + sec.size() + k.size() + value.size() + 8);
  const SectionRange range = FindSection(content, sec);

  if (!range.found) {
    out.append(content);
    if (!content.empty() && !EndsWithLineBreak(content))
      out.append("\r\n");
    out.append("[").append(sec).append("]\r\n");
    out.append(k).append("=").append(value).append("\r\n");
    return out;
  }

  if (const auto line = FindKeyLine(content, range.begin, range.end, k)) {
    // Replace the line's text, keeping the key as the file spells it.
    out.append(content.substr(0, line->start));
    out.append(line->name).append("=").append(value).append("\r\n");
    out.append(content.substr(line->next));
    return out;
  }

  // A new key goes right after the last key line of the section (comments and blank lines that
  // follow it stay after the new line), or right after the header when there is none.
  std::size_t insertAt = range.begin;
  bool lineHasBreak = range.begin > range.headerEnd;
  std::size_t pos = range.begin;
  while (pos < range.end) {
    const Line line = NextLine(content, pos);
    pos = line.next;
    if (line.kind == Kind::Key || line.kind == Kind::Other) {
      insertAt = line.next;
      lineHasBreak = line.next > line.end;
    }
  }
  out.append(content.substr(0, insertAt));
  if (!lineHasBreak)
    out.append("\r\n");
  out.append(k).append("=").append(value).append("\r\n");
  out.append(content.substr(insertAt));
  return out;
}

std::string DeleteKey(std::string_view content, std::string_view section, std::string_view key) {
  const SectionRange range = FindSection(content, section);
  if (!range.found)
    return std::string(content);
  const auto line = FindKeyLine(content, range.begin, range.end, key);
  if (!line)
    return std::string(content);
  std::string out(content.substr(0, line->start));
  out.append(content.substr(line->next));
  return out;
}

std::string EraseSection(std::string_view content, std::string_view section) {
  const SectionRange range = FindSection(content, section);
  if (!range.found)
    return std::string(content);
  std::string out(content.substr(0, range.headerStart));
  std::size_t pos = range.begin;
  while (pos < range.end) {
    const Line line = NextLine(content, pos);
    pos = line.next;
    if (line.kind == Kind::Comment || line.kind == Kind::Blank)
      out.append(content.substr(line.start, line.next - line.start));
  }
  out.append(content.substr(range.end));
  return out;
}

std::vector<std::string> SectionKeys(std::string_view content, std::string_view section) {
  const SectionRange range = FindSection(content, section);
  if (!range.found)
    return {};
  return LineNames(content, range.begin, range.end, Kind::Key);
}

std::vector<std::pair<std::string, std::string>> SectionValues(std::string_view content,
                                                               std::string_view section) {
  std::vector<std::pair<std::string, std::string>> values;
  const SectionRange range = FindSection(content, section);
  if (!range.found)
    return values;
  // Names compare without letter case: remember each in upper case, so a later duplicate costs
  // one look-up instead of a walk over every name before it.
  std::unordered_set<std::string> seen;
  std::size_t pos = range.begin;
  while (pos < range.end) {
    const Line line = NextLine(content, pos);
    pos = line.next;
    if (line.kind != Kind::Key)
      continue;
    std::string upper(line.name);
    for (char& c : upper)
      c = static_cast<char>(Cp1250UpperCase(static_cast<unsigned char>(c)));
    if (seen.insert(std::move(upper)).second)
      values.emplace_back(std::string(line.name), ValueOf(line.value, kMaxValueLength + 1));
  }
  return values;
}

std::vector<std::string> SectionNames(std::string_view content) {
  return LineNames(content, 0, content.size(), Kind::Section);
}

std::optional<std::int32_t> ParseIniInteger(std::string_view value) {
  if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
    return TryStrToInt(std::string("$").append(value.substr(2)));
  return TryStrToInt(value);
}

SectionReader::SectionReader(std::string content, std::string_view section) : content_(std::move(content)) {
  const SectionRange range = FindSection(content_, section);
  found_ = range.found;
  begin_ = range.begin;
  end_ = range.end;
}

std::optional<std::string> SectionReader::Find(std::string_view key) const {
  if (!found_)
    return std::nullopt;
  const auto line = FindKeyLine(content_, begin_, end_, key);
  if (!line)
    return std::nullopt;
  return ValueOf(line->value, kMaxValueLength + 1);
}

namespace {

// What the profile functions return for a missing value: the default without trailing spaces,
// within the same buffer limit.
std::string DefaultValue(std::string_view defaultValue) {
  while (!defaultValue.empty() && defaultValue.back() == ' ')
    defaultValue.remove_suffix(1);
  return std::string(defaultValue.substr(0, std::min(defaultValue.size(), kMaxValueLength)));
}

} // namespace

std::string SectionReader::ReadString(std::string_view key, std::string_view defaultValue) const {
  if (auto v = Find(key))
    return std::move(*v);
  return DefaultValue(defaultValue);
}

std::int32_t SectionReader::ReadInteger(std::string_view key, std::int32_t defaultValue) const {
  const auto v = Find(key);
  if (!v)
    return defaultValue;
  return ParseIniInteger(*v).value_or(defaultValue);
}

bool SectionReader::ReadBool(std::string_view key, bool defaultValue) const {
  return ReadInteger(key, defaultValue ? 1 : 0) != 0;
}

} // namespace ini

// ---------------------------------------------------------------------------------------------
// Files

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
  std::size_t i = 3;
  while (i < raw.size()) {
    const auto lead = static_cast<unsigned char>(raw[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    char32_t cp = length == 1   ? lead
                  : length == 2 ? (lead & 0x1F)
                  : length == 3 ? (lead & 0x0F)
                                : (lead & 0x07);
    bool ok = length != 0 && i + length <= raw.size();
    for (std::size_t k = 1; ok && k < length; ++k) {
      const auto next = static_cast<unsigned char>(raw[i + k]);
      ok = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && cp >= kLeast[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    if (!ok) {
      units.push_back(kRawByteUnit + lead);
      i += 1;
    } else {
      units.push_back(cp);
      i += length;
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
    if (u >= kRawByteUnit + 0x80 && u <= kRawByteUnit + 0xFF) {
      out.push_back(static_cast<char>(u - kRawByteUnit));
    } else if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (u >> 18)));
      out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
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
// encoding.
bool EditFile(const std::string& path, const std::vector<TextEdit>& edits) {
  if (path.empty())
    return false;
  std::string raw;
  const fileio::ReadStatus read = fileio::ReadWholeFile(path, raw);
  if (read == fileio::ReadStatus::Failed || read == fileio::ReadStatus::NotAFile)
    return false; // what cannot be read cannot be edited without losing it
  const bool exists = read == fileio::ReadStatus::Ok;
  const Encoding encoding = exists ? EncodingOf(raw) : Encoding::Bytes;
  std::u32string units = encoding == Encoding::Bytes ? std::u32string() : UnitsOf(raw, encoding);
  const std::string text = encoding == Encoding::Bytes ? raw : TextOf(units);
  std::string edited = text;
  for (const TextEdit& edit : edits) {
    std::string next = edit(edited);
    if (encoding != Encoding::Bytes)
      units = SpliceUnits(units, edited, next);
    edited = std::move(next);
  }
  if (exists && edited == text) {
    // Nothing to change; still a failed write where a write would fail, as on Windows.
    return fileio::Inspect(path).writable;
  }
  // Blanks at the end of a text change nothing for its readers.
  const std::string_view filler = encoding == Encoding::Utf16Le ? std::string_view(" \0", 2) : " ";
  return fileio::ReplaceFile(path, encoding == Encoding::Bytes ? edited : Encode(units, encoding), filler);
}

bool IsMissing(const std::string& path) {
  std::string raw;
  return fileio::ReadWholeFile(path, raw) == fileio::ReadStatus::Missing;
}

} // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  return ReadSectionSnapshot(section).ReadString(key, defaultValue);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t defaultValue) const {
  return ReadSectionSnapshot(section).ReadInteger(key, defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadSectionSnapshot(section).ReadBool(key, defaultValue);
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

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
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

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return ReadSectionSnapshot(section).Find(key).has_value();
}

bool TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  if (IsMissing(fileName_))
    return true;
  return EditFile(fileName_, {[&](const std::string& text) { return ini::DeleteKey(text, section, key); }});
}

bool TIniFile::EraseSection(std::string_view section) {
  if (IsMissing(fileName_))
    return true;
  return EditFile(fileName_, {[&](const std::string& text) { return ini::EraseSection(text, section); }});
}

} // namespace rv58
