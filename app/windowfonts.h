#pragma once

#include <QFont>
#include <QString>

namespace rv58 {

// "Tahoma" where it is installed, otherwise the system's general font family.
QString TahomaFamily();
// The system's general font family, standing for the icon font the window takes its face from.
QString IconFontFamily();

// A font of the window with a pixel height: the icon font face (or Tahoma where asked).
QFont WindowFont(int pixelSize, bool bold);
QFont TahomaFont(int pixelSize, bool bold);

} // namespace rv58
