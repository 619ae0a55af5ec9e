#include "qtest_main.h"

int main(int argc, char** argv) {
  return RunWidgetTests(argc, argv);
}
