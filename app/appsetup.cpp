#include "appsetup.h"

#include "windowfonts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The resources live in a static library: nothing would pull them into the program unless named.
static void InitProgramResources() {
  Q_INIT_RESOURCE(resources);
}

namespace rv58 {

QIcon ProgramIcon() {
  InitProgramResources();
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/icons/rv58led-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QTranslator* InstallQtTranslation() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QLocale(QLocale::Hungarian), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

QTranslator* SetUpApplication() {
  QApplication::setApplicationName(QStringLiteral("RV58LED"));
  QGuiApplication::setDesktopFileName(QStringLiteral("rv58led"));
  QApplication::setWindowIcon(ProgramIcon());
  SetApplicationFontFace();
  return InstallQtTranslation();
}

} // namespace rv58
