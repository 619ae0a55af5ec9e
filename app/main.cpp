#include "Unit1.h"
#include "appsetup.h"

#include <QApplication>
#include <QMetaObject>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  rv58::SetUpApplication();
  {
    // "--monitor" (the desktop entry's action) opens the scale monitor beside the window.
    QStringList arguments = QCoreApplication::arguments();
    const bool monitor = arguments.removeAll(QStringLiteral("--monitor")) > 0;
    rv58::TrvformEnvironment environment;
    environment.arguments = arguments;
    rv58::Trvform rvform(environment);
    rvform.show();
    if (monitor)
      QMetaObject::invokeMethod(&rvform, &rv58::Trvform::OpenScaleMonitor, Qt::QueuedConnection);
    QApplication::exec();
  } // FormDestroy stores the window position here
  // The program ends with 0 whatever the loop returns: nothing in it asks for another code.
  return 0;
}
