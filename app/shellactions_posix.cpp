#include "shellactions.h"

#include "portdetails.h"

#include <QDesktopServices>
#include <QUrl>

namespace rv58 {

void StartDeviceManager(QWidget* parent) {
  ShowPortDetails(parent);
}

void OpenSupportPage(QWidget*, const QUrl& url) {
  QDesktopServices::openUrl(url);
}

} // namespace rv58
