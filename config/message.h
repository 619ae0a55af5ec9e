#pragma once

#include "displaysettings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rv58 {

// Sent on its own before every message.
inline constexpr std::string_view kPreamble = "<>";

// Lights every LED of the display for 30 seconds.
inline constexpr std::string_view kDisplayTestMessage = "<,<<>";

// The program's own texts for people (warnings, messages) are UTF-8, as the window and the
// terminal take them; the settings texts, the files and the line are Windows-1250 (cp1250.h).
// The warnings are shown by the window and printed by rv58ctl.
inline constexpr std::string_view kCommaWarning = "A \",\" karakter nem használható a beállítások között.";

// The same warning for the other characters the message cannot carry ("<", ">"), with that
// character in place of the comma.
std::string RefusedCharacterWarning(char refused);

// "<," then 14 fields each followed by ",", then ">": bd (text), pr, tm, kr, fe, le, lh, tp, bt,
// hk (indices, -1 when nothing chosen), ht (text), au (1/0), ora, nm (1/0).
std::string ConfigurationMessage(const DisplaySettings& settings);

// The check the upload makes before it touches the port: the warning to show, or "" when
// the settings may be sent. The comma separates the message's fields, so it is refused as
// terminator, as required character and anywhere in the error text; "<" and ">" are refused in
// the error text (kHtRefusedCharacters).
std::string UploadCheck(const DisplaySettings& settings);

// The warnings of a transmission.
inline constexpr const char* kPortWarning = "A soros port nem nyitaható meg !";
inline constexpr const char* kSendWarning = "Az adatküldés nem sikerült !";

// The upload speed: the old display (first version button) listens at 2400, the others at 9600.
constexpr std::uint32_t UploadBaud(std::int32_t verziogroup) {
  return verziogroup == 0 ? 2400 : 9600;
}

} // namespace rv58
