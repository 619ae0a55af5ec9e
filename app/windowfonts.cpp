#include "windowfonts.h"

#include <QFontDatabase>

namespace rv58 {

QString TahomaFamily() {
  static const QString family = QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                                    ? QStringLiteral("Tahoma")
                                    : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  return family;
}

QFont WindowFont(int pixelSize, bool bold) {
  QFont font(IconFontFamily());
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QFont TahomaFont(int pixelSize, bool bold) {
  QFont font(TahomaFamily());
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

} // namespace rv58
