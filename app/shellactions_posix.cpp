#include "shellactions.h"

#include "portdetails.h"

#include <QDesktopServices>
#include <QUrl>

namespace rv58 {

void StartDeviceManager(QWidget* parent, TPortDetailsSource ports, const QString& lastOpenFailure) {
  ShowPortDetails(parent, std::move(ports), lastOpenFailure);
}

void OpenSupportPage(QWidget*, const QUrl& url) {
  QDesktopServices::openUrl(url);
}

} // namespace rv58
