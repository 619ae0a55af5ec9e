#pragma once

#include "inifile.h"
#include "settingsfile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rv58 {

// Sections and keys of the preferences file rv58led.ini (its location: prefspath.h).
inline constexpr std::string_view kFormPosSection = "FormPos";
inline constexpr std::string_view kFormPosKey = "rvform"; // the main window's instance name
inline constexpr std::string_view kOptSection = "Opt";
inline constexpr std::string_view kLastSaveDirKey = "lastsavedir"; // folder with trailing separator
inline constexpr std::string_view kLastOpenDirKey = "lastopendir"; // folder with trailing separator
inline constexpr std::string_view kPortsSection = "Ports";         // COMn=/dev/... explicit port names

// A stored window position "width;height;top;left". Pieces are applied in this order; the
// first missing or bad piece and everything after it stay unset.
struct FormPos {
  std::optional<std::int32_t> width;
  std::optional<std::int32_t> height;
  std::optional<std::int32_t> top;
  std::optional<std::int32_t> left;
};

// Splits at ";" (empty pieces dropped) and converts each piece with the shared conversion.
FormPos ParseFormPos(std::string_view value);
std::string FormatFormPos(std::int32_t width, std::int32_t height, std::int32_t top, std::int32_t left);

// "FormPos" / "rvform" of the preferences file; an empty or missing value gives an empty FormPos.
FormPos ReadFormPos(const TIniFile& prefs);
bool WriteFormPos(TIniFile& prefs, std::int32_t width, std::int32_t height, std::int32_t top,
                  std::int32_t left);

} // namespace rv58
