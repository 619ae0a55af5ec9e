#include "preferences.h"

#include "strconv.h"

#include <vector>

namespace rv58 {

FormPos ParseFormPos(std::string_view value) {
  const std::vector<std::string_view> pieces = SplitNonEmpty(value, ';');
  FormPos pos;
  std::optional<std::int32_t>* const targets[] = {&pos.width, &pos.height, &pos.top, &pos.left};
  for (std::size_t n = 0; n < 4 && n < pieces.size(); ++n) {
    const auto number = TryStrToInt(pieces[n]);
    if (!number)
      break;
    *targets[n] = number;
  }
  return pos;
}

std::string FormatFormPos(std::int32_t width, std::int32_t height, std::int32_t top, std::int32_t left) {
  return std::to_string(width) + ";" + std::to_string(height) + ";" + std::to_string(top) + ";" +
         std::to_string(left);
}

FormPos ReadFormPos(const TIniFile& prefs) {
  return ParseFormPos(prefs.ReadString(kFormPosSection, kFormPosKey, ""));
}

bool WriteFormPos(TIniFile& prefs, std::int32_t width, std::int32_t height, std::int32_t top,
                  std::int32_t left) {
  return prefs.WriteString(kFormPosSection, kFormPosKey, FormatFormPos(width, height, top, left));
}

} // namespace rv58
