#pragma once

#include <QFont>
#include <QString>

namespace rv58 {

// "Tahoma" where it is installed, otherwise the system's general font family.
QString TahomaFamily();
// The face of the system's icon font, which the window takes at creation; asked for by name, so
// that a face the system substitutes (Windows' "MS Shell Dlg") is not left to a fallback. One
// implementation per platform: windowfonts_posix.cpp, windowfonts_win.cpp.
QString IconFontFamily();
// Gives the application's default font (message boxes, dialogs) the same face where the
// platform's default face is only a substitute name; elsewhere leaves it as it is.
void SetApplicationFontFace();

// A font of the window with a pixel height: the icon font face (or Tahoma where asked).
QFont WindowFont(int pixelSize, bool bold);
QFont TahomaFont(int pixelSize, bool bold);

} // namespace rv58
