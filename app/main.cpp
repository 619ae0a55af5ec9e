#include "Unit1.h"
#include "appsetup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  rv58::SetUpApplication();
  int result = 0;
  {
    rv58::Trvform rvform;
    rvform.show();
    result = QApplication::exec();
  } // FormDestroy stores the window position here
  (void)result;
  return 0;
}
