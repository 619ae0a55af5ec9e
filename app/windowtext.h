#pragma once

// What the window's own source files (Unit1.cpp, windowpages.cpp, windowsettings.cpp) share:
// the crossing of texts and paths between the widgets and the core. Not for use elsewhere.

#include "qtext.h"
#include "utf8.h"

#include <QByteArray>
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

// File names are UTF-8 in the program on every platform (Windows' back-end widens them at the
// system call); Qt's 8-bit encoding of file names would be the ANSI code page there.
inline std::string LocalPath(const QString& path) {
  return path.toStdString();
}

// A folder name kept in the preferences file: in the system's 8-bit code page where it fits, as
// Windows programs before us wrote it (UTF-8 on Linux), otherwise UTF-8; read back either way.
inline std::string IniFolderText(const QString& folder) {
  const QByteArray local = folder.toLocal8Bit();
  return (QString::fromLocal8Bit(local) == folder ? local : folder.toUtf8()).toStdString();
}

inline QString FromIniFolderText(const std::string& text) {
  if (const auto utf16 = DecodeUtf8Strict(text)) {
    return QString::fromStdU16String(*utf16);
  }
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace rv58::window_internal
