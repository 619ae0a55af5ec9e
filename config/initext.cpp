// The text-level rules of INI content: finding, reading and editing sections and keys in a
// file's whole 8-bit text. The files themselves (encodings, reading, writing) are inifile.cpp's.
#include "inifile.h"

#include "cp1250.h"
#include "strconv.h"

#include <algorithm>
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

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ')
    s.remove_suffix(1);
  return s;
}

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

} // namespace rv58
