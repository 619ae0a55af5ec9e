#include "windowfonts.h"

#include <QApplication>
#include <QFontDatabase>

#include <windows.h>

namespace rv58 {

QString IconFontFamily() {
  static const QString family = [] {
    LOGFONTW icon{};
    if (::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0)) {
      const QString face = QString::fromWCharArray(icon.lfFaceName);
      if (QFontDatabase::hasFamily(face))
        return face;
    }
    return TahomaFamily();
  }();
  return family;
}

void SetApplicationFontFace() {
  QFont font = QApplication::font();
  font.setFamily(IconFontFamily());
  QApplication::setFont(font);
}

} // namespace rv58
