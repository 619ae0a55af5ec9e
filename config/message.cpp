#include "message.h"

namespace rv58 {

std::string ConfigurationMessage(const DisplaySettings& s) {
  std::string m = "<,";
  const auto field = [&m](const std::string& text) { m.append(text).push_back(','); };
  const auto index = [&field](std::int32_t i) { field(std::to_string(i)); };
  field(s.BdText());
  index(s.pr());
  index(s.tm());
  index(s.kr());
  index(s.fe());
  index(s.le());
  index(s.lh());
  index(s.tp());
  index(s.bt());
  index(s.hk());
  field(s.ht());
  field(s.au() ? "1" : "0");
  index(s.ora());
  field(s.nm() ? "1" : "0");
  m.push_back('>');
  return m;
}

std::string UploadCheck(const DisplaySettings& s) {
  if (s.TmText() == "," || s.KrText() == ",")
    return std::string(kCommaWarning);
  // A comma in the error text would shift every later field on the display; "<" and ">" would
  // start or end the display's frame.
  const std::size_t refused = s.ht().find_first_of(kHtRefusedCharacters);
  if (refused != std::string::npos)
    return RefusedCharacterWarning(s.ht()[refused]);
  return {};
}

std::string RefusedCharacterWarning(char refused) {
  std::string warning(kCommaWarning);
  warning[warning.find(',')] = refused;
  return warning;
}

} // namespace rv58
