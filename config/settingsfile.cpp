#include "settingsfile.h"

#include "fileio.h"

namespace rv58 {

namespace {

// "ˇ^" in Windows-1250: how a line break is kept inside one INI value.
constexpr std::string_view kStoredLineBreak = "\xA1^";

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  for (;;) {
    const std::size_t j = text.find(from, i);
    if (j == std::string_view::npos)
      break;
    out.append(text.substr(i, j - i)).append(to);
    i = j + from.size();
  }
  out.append(text.substr(i));
  return out;
}

// A one-line text holds no line break; one that slipped in (pasted) would start a new line in
// the file and could forge keys, so it is dropped.
std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n')
      out.push_back(c);
  return out;
}

bool SamePortName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z')
      x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z')
      y = static_cast<char>(y - 32);
    if (x != y)
      return false;
  }
  return true;
}

} // namespace

std::string EncodeLeiras(std::string_view leiras) {
  return ReplaceAll(leiras, "\r\n", kStoredLineBreak);
}

std::string DecodeLeiras(std::string_view stored) {
  return ReplaceAll(stored, kStoredLineBreak, "\r\n");
}

SettingsFileStatus CheckSettingsFile(const std::string& fileName, std::string_view section) {
  std::string raw;
  if (fileio::ReadWholeFile(fileName, raw) != fileio::ReadStatus::Ok)
    return SettingsFileStatus::Unreadable;
  return TIniFile(fileName).ReadSectionSnapshot(section).Found() ? SettingsFileStatus::Ok
                                                                 : SettingsFileStatus::NoSection;
}

bool savefile(const DisplaySettings& s, TIniFile& file, std::string_view section) {
  // All keys in one replacement of the file: one flush to disk instead of 18, and a file that
  // cannot be written keeps its old settings whole instead of half of the new ones.
  std::vector<std::pair<std::string, std::string>> values;
  values.reserve(kSettingsKeys.size());
  for (const TSettingsKey& row : kSettingsKeys) {
    std::string value;
    switch (row.kind) {
    case TKeyKind::kkINDEX:
    case TKeyKind::kkSWITCH:
      value = std::to_string(row.number(s));
      break;
    case TKeyKind::kkTEXT:
    case TKeyKind::kkPORT:
      value = OneLine(row.text(s));
      break;
    case TKeyKind::kkLINES:
      value = OneLine(EncodeLeiras(row.text(s)));
      break;
    }
    values.emplace_back(row.key, std::move(value));
  }
  return file.WriteValues(section, values);
}

void loadfile(DisplaySettings& s, const TIniFile& file, const std::vector<std::string>& availablePorts,
              std::string_view section) {
  // One read of the file: a settings file may be large, and the 18 keys come from one section.
  const ini::SectionReader r = file.ReadSectionSnapshot(section);
  for (const TSettingsKey& row : kSettingsKeys) {
    switch (row.kind) {
    case TKeyKind::kkINDEX:
      row.setNumber(s, r.ReadInteger(row.key, row.defaultNumber));
      break;
    case TKeyKind::kkSWITCH:
      row.setNumber(s, r.ReadBool(row.key, row.defaultNumber != 0) ? 1 : 0);
      break;
    case TKeyKind::kkTEXT:
      row.setText(s, r.ReadString(row.key, row.defaultText));
      break;
    case TKeyKind::kkLINES:
      row.setText(s, DecodeLeiras(r.ReadString(row.key, row.defaultText)));
      break;
    case TKeyKind::kkPORT: {
      const std::string port = r.ReadString(row.key, row.defaultText);
      row.setText(s, "");
      for (const std::string& item : availablePorts)
        if (SamePortName(item, port)) {
          row.setText(s, item);
          break;
        }
      break;
    }
    }
  }
}

} // namespace rv58
