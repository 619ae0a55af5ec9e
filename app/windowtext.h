#pragma once

// What the window's own source files (Unit1.cpp, windowpages.cpp, windowsettings.cpp) share:
// the crossing of texts and paths between the widgets and the core. Not for use elsewhere.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace rv58::window_internal {

inline const char* const kSupportPage = "https://rv58led.example/support";

// Texts cross between the widgets and the core here only: the core keeps Windows-1250 bytes.
inline QString FromCore(std::string_view bytes) {
  QStringDecoder decoder("windows-1250");
  return decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

inline std::string ToCore(const QString& text) {
  QStringEncoder encoder("windows-1250");
  QByteArray bytes = encoder(text);
  if (bytes.contains('\x1a')) {
    // The codec marks a character outside the code page with SUB; the files and the display
    // know it as "?". A real SUB in the text stays SUB.
    bytes.clear();
    for (const uint cp : text.toUcs4()) {
      const QString one = QString::fromUcs4(reinterpret_cast<const char32_t*>(&cp), 1);
      QStringEncoder single("windows-1250");
      const QByteArray b = single(one);
      bytes += (b == "\x1a" && cp != 0x1a) ? QByteArray("?") : b;
    }
  }
  return bytes.toStdString();
}

inline QStringList ToQtList(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) {
    list << FromCore(item);
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
