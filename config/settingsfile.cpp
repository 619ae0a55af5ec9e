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
  const auto number = [](std::int32_t i) { return std::to_string(i); };
  const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  return file.WriteValues(section, {
                                       {"bd", number(s.bd())},
                                       {"pr", number(s.pr())},
                                       {"tm", number(s.tm())},
                                       {"kr", number(s.kr())},
                                       {"le", number(s.le())},
                                       {"lh", number(s.lh())},
                                       {"fe", number(s.fe())},
                                       {"tp", number(s.tp())},
                                       {"bt", number(s.bt())},
                                       {"hk", number(s.hk())},
                                       {"or", number(s.ora())},
                                       {"ht", OneLine(s.ht())},
                                       {"nev", OneLine(s.merlegnev())},
                                       {"au", flag(s.au())},
                                       {"ve", number(s.verziogroup())},
                                       {"comment", OneLine(EncodeLeiras(s.leiras()))},
                                       {"port", OneLine(s.Comport_up())},
                                       {"nm", flag(s.nm())},
                                   });
}

void loadfile(DisplaySettings& s, const TIniFile& file, const std::vector<std::string>& availablePorts,
              std::string_view section) {
  // One read of the file: a settings file may be large, and the 18 keys come from one section.
  const ini::SectionReader r = file.ReadSectionSnapshot(section);
  s.SetBd(r.ReadInteger("bd", 5));
  s.SetPr(r.ReadInteger("pr", 3));
  s.SetTm(r.ReadInteger("tm", 13));
  s.SetKr(r.ReadInteger("kr", 13));
  s.SetLe(r.ReadInteger("le", 0));
  s.SetLh(r.ReadInteger("lh", 0));
  s.SetFe(r.ReadInteger("fe", 0));
  s.SetTp(r.ReadInteger("tp", 0));
  s.SetBt(r.ReadInteger("bt", 0));
  s.SetHk(r.ReadInteger("hk", 114));
  s.SetOra(r.ReadInteger("or", 0));
  s.SetHt(r.ReadString("ht", "ERROR"));
  s.SetMerlegnev(r.ReadString("nev", "M\xE9rleg")); // Mérleg
  s.SetAu(r.ReadBool("au", true));
  s.SetVerziogroup(r.ReadInteger("ve", 1));
  s.SetNm(r.ReadBool("nm", false));
  s.SetLeiras(DecodeLeiras(r.ReadString("comment", "")));
  const std::string port = r.ReadString("port", kDefaultPortName);
  s.SetComport_up("");
  for (const std::string& item : availablePorts)
    if (SamePortName(item, port)) {
      s.SetComport_up(item);
      break;
    }
}

} // namespace rv58
