#include "shellactions.h"

#include "portdetails.h"

#include <QUrl>
#include <QWidget>

#include <windows.h>

#include <shellapi.h>

namespace rv58 {

namespace {

HWND WindowOf(QWidget* widget) {
  return widget != nullptr ? reinterpret_cast<HWND>(widget->window()->winId()) : nullptr;
}

// ShellExecute reports success with a value above 32.
bool Started(HINSTANCE result) {
  return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace

void StartDeviceManager(QWidget* parent, TPortDetailsSource ports, const QString& lastOpenFailure) {
  if (Started(::ShellExecuteW(WindowOf(parent), L"open", L"mmc.exe", L"devmgmt.msc", nullptr, SW_SHOWNORMAL)))
    return;
  // A machine without the management console (Wine, a locked-down account) still shows its ports.
  ShowPortDetails(parent, std::move(ports), lastOpenFailure);
}

void OpenSupportPage(QWidget* parent, const QUrl& url) {
  const std::wstring address = url.toString(QUrl::FullyEncoded).toStdWString();
  ::ShellExecuteW(WindowOf(parent), L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace rv58
