#include "windowdialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace rv58 {

namespace {

std::optional<QString> RunFileDialog(QWidget* parent, const TWindowDialogs::FileRequest& request,
                                     QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setDirectory(request.startFolder);
  dialog.setNameFilter(request.filter);
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> TQtWindowDialogs::OpenFileName(QWidget* parent, const FileRequest& request) {
  return RunFileDialog(parent, request, QFileDialog::AcceptOpen);
}

std::optional<QString> TQtWindowDialogs::SaveFileName(QWidget* parent, const FileRequest& request) {
  return RunFileDialog(parent, request, QFileDialog::AcceptSave);
}

void TQtWindowDialogs::Warning(QWidget* parent, const QString& text, const QString& caption) {
  // The text ends in two carriage returns, which leave a blank line under it on the platform
  // the tool comes from; Qt breaks lines at line feeds only.
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(QMessageBox::Warning, caption, shown, QMessageBox::Ok, parent);
  box.exec();
}

} // namespace rv58
