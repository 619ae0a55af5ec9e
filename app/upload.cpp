// The window's transmissions: the upload with its checks and the copy of the settings in the
// preferences file, the display test, and the window's side of the sending routine that rv58ctl
// shares (pauses, pending events, hourglass, the two buttons).
#include "Unit1.h"

#include "ComPort.h"
#include "message.h"
#include "portnames.h"
#include "prefspath.h"
#include "senddisplay.h"
#include "windowcontrols.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

namespace rv58 {

namespace {

// The reader thread of an open port hands its events to this thread: it queues a call into the
// event loop, which serves them. Pauses of the routine process events, and Close serves the
// hand-off itself while it waits, so nothing waits for the loop to come round.
void ServeHandOffFromEventLoop() {
  static const bool wired = [] {
    DefaultHandOff().SetWakeUp([] {
      if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] { DefaultHandOff().Serve(); }, Qt::QueuedConnection);
      }
    });
    return true;
  }();
  (void)wired;
}

} // namespace

std::unique_ptr<TComPort> Trvform::CreateComPort(const TrvformEnvironment& environment) {
  ServeHandOffFromEventLoop();
  // Port names ("COM7") stand for the devices that this window's preferences file names in its
  // "Ports" section; the port lists of the start-up read them from here on.
  auto port = std::make_unique<TComPort>(DefaultHandOff(),
                                         environment.deviceOpener ? environment.deviceOpener : OpenComDevice);
  port->PortNames =
      LoadPortNames(environment.preferencesFile.empty() ? PreferencesFilePath(CurrentPreferencesEnvironment())
                                                        : environment.preferencesFile);
  // As the form defines it; the transmissions change only Port and Baud. No events: whatever
  // the display sends back is dropped.
  port->Port = "COM1";
  port->Baud = 2400;
  port->DataBits = 8;
  port->Parity = ptNONE;
  port->StopBits = sbONE;
  port->WinQSizeIn = 8192;
  port->WinQSizeOut = 8192;
  port->ReceiveMode = rmTERM;
  return port;
}

void Trvform::FeltoltesButtonClick() {
  // F9 and the menu stay live while a transmission processes events; a second upload would
  // write into the first one's message.
  if (sending_) {
    return;
  }
  ++feltoltesRuns_;
  const DisplaySettings settings = ReadSettings();
  const std::string warning = UploadCheck(settings);
  if (!warning.empty()) {
    ShowWarning(QString::fromStdString(warning));
    return;
  }
  SendToDisplay(settings.Comport_up(), ConfigurationMessage(settings));
  // Sent or not, the preferences keep the settings of this attempt for the next start.
  savefile(prefs_->FileName());
}

void Trvform::KijelzotesztButtonClick() {
  if (sending_) {
    return;
  }
  ++kijelzotesztRuns_;
  SendToDisplay(ReadSettings().Comport_up(), std::string(kDisplayTestMessage));
}

void Trvform::SendToDisplay(const std::string& portName, const std::string& message) {
  if (sending_) {
    return;
  }
  sending_ = true;
  // The scale monitor closes its port now and reopens it when the transmission is over.
  emit TransmissionStarting();
  struct TReset {
    Trvform* form;
    ~TReset() {
      form->sending_ = false;
      emit form->TransmissionEnded();
    }
  } reset{this};

  // Port names stand for the devices the preferences' "Ports" section names now.
  ComPort->PortNames = LoadPortNames(prefs_->FileName());

  TSendHooks hooks;
  hooks.Sleep = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
  hooks.ProcessMessages = [] { QApplication::processEvents(); };
  hooks.SetBusy = [](bool busy) {
    if (busy) {
      QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QGuiApplication::restoreOverrideCursor();
    }
  };
  hooks.EnableSendButtons = [this](bool enabled) {
    FeltoltesButton->setEnabled(enabled);
    KijelzotesztButton->setEnabled(enabled);
  };
  const std::uint32_t baud = UploadBaud(verziogroup->ItemIndex());
  switch (rv58::SendToDisplay(*ComPort, portName, baud, DTRPulseWanted(), message, hooks)) {
  case srNOTOPEN:
    ShowWarning(QString::fromUtf8(kPortWarning));
    break;
  case srFAILED:
    ShowWarning(QString::fromUtf8(kSendWarning));
    break;
  case srSENT:
    break;
  }
}

bool Trvform::IsAltKeyDown() const {
  // The modifiers as of the last input event taken from the queue: the state at the click.
  return QGuiApplication::keyboardModifiers().testFlag(Qt::AltModifier);
}

} // namespace rv58
