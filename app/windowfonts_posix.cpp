#include "windowfonts.h"

#include <QFontDatabase>

namespace rv58 {

// The desktop's general font stands for the icon font.
QString IconFontFamily() {
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

void SetApplicationFontFace() {}

} // namespace rv58
