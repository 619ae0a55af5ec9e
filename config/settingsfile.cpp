#include "settingsfile.h"

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

bool savefile(const DisplaySettings& s, TIniFile& file, std::string_view section) {
  return file.WriteInteger(section, "bd", s.bd()) && file.WriteInteger(section, "pr", s.pr()) &&
         file.WriteInteger(section, "tm", s.tm()) && file.WriteInteger(section, "kr", s.kr()) &&
         file.WriteInteger(section, "le", s.le()) && file.WriteInteger(section, "lh", s.lh()) &&
         file.WriteInteger(section, "fe", s.fe()) && file.WriteInteger(section, "tp", s.tp()) &&
         file.WriteInteger(section, "bt", s.bt()) && file.WriteInteger(section, "hk", s.hk()) &&
         file.WriteInteger(section, "or", s.ora()) && file.WriteString(section, "ht", OneLine(s.ht())) &&
         file.WriteString(section, "nev", OneLine(s.merlegnev())) && file.WriteBool(section, "au", s.au()) &&
         file.WriteInteger(section, "ve", s.verziogroup()) &&
         file.WriteString(section, "comment", OneLine(EncodeLeiras(s.leiras()))) &&
         file.WriteString(section, "port", OneLine(s.Comport_up())) && file.WriteBool(section, "nm", s.nm());
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
