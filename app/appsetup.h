#pragma once

// What the program sets on its application object before its window is made.

#include <QIcon>

class QTranslator;

namespace rv58 {

// The application name "RV58LED" (no display name: Qt would add it to every caption), the
// desktop file name "rv58led", the program's icon for every window, and Qt's own texts in
// Hungarian. Returns that translation (nothing when it is not installed on this machine).
QTranslator* SetUpApplication();

// The program's icon in the sizes panels and window switchers ask for.
QIcon ProgramIcon();

// Qt's Hungarian translation (dialogs, message box buttons, text box menus), installed on the
// application; nothing when it is not installed on this machine.
QTranslator* InstallQtTranslation();

} // namespace rv58
