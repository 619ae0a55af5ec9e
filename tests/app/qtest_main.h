#pragma once
// The entry of the widget test programs: widgets need a QApplication, which GoogleTest's own main
// lacks, and the tests run headless unless a platform is named.
#include <QApplication>

#include <gtest/gtest.h>

inline int RunWidgetTests(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
