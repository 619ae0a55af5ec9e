#pragma once

// The information page's two shell actions, one implementation per platform:
//   shellactions_posix.cpp  the port-details window, the desktop's default browser;
//   shellactions_win.cpp    the Device Manager and the default browser through the shell (the
//                           port-details window where the Device Manager cannot be started).
// Failures are not reported: the page's links never show a message.

#include "portdetails.h"

class QUrl;
class QWidget;

namespace rv58 {

// The "eszközkezelő indítása" link; ports lists the machine's ports for the port-details window,
// which also shows why the upload port last failed to open.
void StartDeviceManager(QWidget* parent, TPortDetailsSource ports, const QString& lastOpenFailure);

// The support link: the page in the user's web browser.
void OpenSupportPage(QWidget* parent, const QUrl& url);

} // namespace rv58
