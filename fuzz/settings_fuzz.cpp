// Settings files of any bytes through loadfile and the configuration message:
// - the message is refused by the upload check, or it is "<," then 14 fields each followed by
//   "," then ">", no field holding a comma, the numbers in decimal;
// - the loaded settings, saved and loaded again, come back equal (texts as a reader sees what
//   was written), and give the same message.
#include "displaysettings.h"
#include "fuzzutil.h"
#include "inifile.h"
#include "message.h"
#include "settingsfile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using rv58::fuzz::Check;

bool IsNumber(std::string_view field) {
  if (!field.empty() && field.front() == '-')
    field.remove_prefix(1);
  if (field.empty() || (field.size() > 1 && field.front() == '0'))
    return false;
  return field.find_first_not_of("0123456789") == std::string_view::npos;
}

void CheckMessage(const rv58::DisplaySettings& s) {
  const std::string message = rv58::ConfigurationMessage(s);
  const std::string refusal = rv58::UploadCheck(s);
  if (!refusal.empty()) {
    Check(refusal == rv58::kCommaWarning || refusal == rv58::RefusedCharacterWarning('<') ||
              refusal == rv58::RefusedCharacterWarning('>'),
          "the only refusals are those of the characters that frame or split the message");
    Check(s.TmText() == "," || s.KrText() == "," || s.ht().find_first_of(",<>") != std::string::npos,
          "a refusal names a character that frames or splits the message");
    return;
  }
  Check(message.starts_with("<,") && message.ends_with(",>"), "the message has its frame");
  std::vector<std::string_view> fields;
  std::string_view body = std::string_view(message).substr(2, message.size() - 3);
  while (!body.empty()) {
    const std::size_t comma = body.find(',');
    Check(comma != std::string_view::npos, "every field is followed by a comma");
    fields.push_back(body.substr(0, comma));
    body.remove_prefix(comma + 1);
  }
  Check(fields.size() == 14, "the message has 14 fields");
  Check(fields[0] == s.BdText(), "field 1 is the baud rate's text");
  for (std::size_t i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12})
    Check(IsNumber(fields[i]), "index fields are decimal numbers");
  Check(fields[10] == s.ht(), "field 11 is the error text");
  for (std::size_t i : {11, 13})
    Check(fields[i] == "0" || fields[i] == "1", "switch fields are 0 or 1");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> ports = {"COM1", "COM7", "com12"};
  const std::filesystem::path path = rv58::fuzz::Folder() / "s.rv5";
  rv58::fuzz::WriteBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
  rv58::DisplaySettings loaded = rv58::DisplaySettings::Defaults();
  rv58::loadfile(loaded, rv58::TIniFile(path.string()), ports);
  CheckMessage(loaded);

  const std::filesystem::path copy = rv58::fuzz::Folder() / "copy.rv5";
  std::filesystem::remove(copy);
  rv58::TIniFile copyFile(copy.string());
  Check(rv58::savefile(loaded, copyFile), "saving into a fresh file succeeds");
  rv58::DisplaySettings again = rv58::DisplaySettings::Initial();
  rv58::loadfile(again, copyFile, ports);

  rv58::DisplaySettings expected = loaded;
  expected.SetHt(rv58::fuzz::StoredValue(loaded.ht()));
  expected.SetMerlegnev(rv58::fuzz::StoredValue(loaded.merlegnev()));
  expected.SetLeiras(rv58::DecodeLeiras(rv58::fuzz::StoredValue(rv58::EncodeLeiras(loaded.leiras()))));
  Check(again == expected, "saved settings load back equal");
  if (expected.ht() == loaded.ht())
    Check(rv58::ConfigurationMessage(again) == rv58::ConfigurationMessage(loaded),
          "and give the same message");
  return 0;
}
