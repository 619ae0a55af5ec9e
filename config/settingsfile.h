#pragma once

#include "displaysettings.h"
#include "inifile.h"

#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

// The section of a settings file (.rv5), and of the preferences file that keeps the last upload.
inline constexpr std::string_view kSettingsSection = "RV5";

// The port a settings file names when it names none.
inline constexpr std::string_view kDefaultPortName = SettingsKey("port").defaultText;

// Writes the 18 keys of kSettingsKeys (bd pr tm kr le lh fe tp bt hk or ht nev au ve comment
// port nm, in this order, each replaced in place or added as the INI rules say) into `section` of the file,
// in one atomic replacement of the file. Returns true when written; false when the file could not be written,
// and then the file is unchanged.
bool savefile(const DisplaySettings& settings, TIniFile& file, std::string_view section = kSettingsSection);

// Reads the keys from `section` of the file into `settings`, each with its default when missing
// or bad. The stored port chooses the item of `availablePorts` that equals it without regard to
// letter case (the item's own spelling is kept); no match chooses no port.
void loadfile(DisplaySettings& settings, const TIniFile& file, const std::vector<std::string>& availablePorts,
              std::string_view section = kSettingsSection);

// Whether a file can give settings: the upload of rv58ctl refuses the others rather than send
// the defaults that loading them gives.
enum class SettingsFileStatus {
  Ok,
  Unreadable, // missing, not a regular file, or no permission to read it
  NoSection,  // readable, but without the section (empty, binary, another format)
};
SettingsFileStatus CheckSettingsFile(const std::string& fileName,
                                     std::string_view section = kSettingsSection);

// The description as one INI value: every CR LF becomes "ˇ^" (bytes 0xA1 0x5E), and back.
std::string EncodeLeiras(std::string_view leiras);
std::string DecodeLeiras(std::string_view stored);

} // namespace rv58
