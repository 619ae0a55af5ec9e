#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace rv58 {

// The modal questions the main window asks: the settings file dialogs and the warning box.
// The program uses the Qt implementation; tests answer through their own.
class TWindowDialogs {
public:
  struct FileRequest {
    QString startFolder;   // may no longer exist: the dialog copes
    QString filter;        // "RV5 beállítások ( *.rv5)"
    QString defaultSuffix; // added to a typed name without extension
  };

  virtual ~TWindowDialogs() = default;

  // The chosen file, or nothing when the user cancelled.
  virtual std::optional<QString> OpenFileName(QWidget* parent, const FileRequest& request) = 0;
  // Asks before an existing file is overwritten.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const FileRequest& request) = 0;
  // Modal box with the exclamation icon and one OK button; returns when it is closed.
  virtual void Warning(QWidget* parent, const QString& text, const QString& caption) = 0;
};

class TQtWindowDialogs final : public TWindowDialogs {
public:
  std::optional<QString> OpenFileName(QWidget* parent, const FileRequest& request) override;
  std::optional<QString> SaveFileName(QWidget* parent, const FileRequest& request) override;
  void Warning(QWidget* parent, const QString& text, const QString& caption) override;
};

} // namespace rv58
