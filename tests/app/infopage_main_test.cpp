// HOME and the XDG folders point into a temporary folder first, so that nothing the page does can
// write into the user's real home.
#include "qtest_main.h"

#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) {
    return 1;
  }
  qputenv("HOME", QFile::encodeName(home.path()));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
  qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
  return RunWidgetTests(argc, argv);
}
