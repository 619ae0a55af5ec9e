#include "Unit1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("RV58LED"));
  QApplication::setApplicationDisplayName(QStringLiteral("RV58LED"));
  int result = 0;
  {
    rv58::Trvform rvform;
    rvform.show();
    result = QApplication::exec();
  } // FormDestroy stores the window position here
  (void)result;
  return 0;
}
