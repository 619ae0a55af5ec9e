#pragma once

// What the window's own source files (Unit1.cpp, windowpages.cpp, windowsettings.cpp) share:
// the crossing of texts and paths between the widgets and the core. Not for use elsewhere.

#include "qtext.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace rv58::window_internal {

inline const char* const kSupportPage = "https://rv58led.example/support";

inline QStringList ToQtList(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) {
    list << FromCp1250(item);
  }
  return list;
}

inline std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

inline QString FromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace rv58::window_internal
