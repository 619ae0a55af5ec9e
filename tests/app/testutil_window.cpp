#include "testutil_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace rv58::test {

std::optional<QString> ScriptedDialogs::Next() {
  if (answers.empty()) {
    return std::nullopt;
  }
  const bool chosen = answers.front().has_value();
  const QString name = chosen ? *answers.front() : QString();
  answers.pop_front();
  if (!chosen) {
    return std::nullopt;
  }
  return name;
}

std::optional<QString> ScriptedDialogs::OpenFileName(QWidget*, const FileRequest& request) {
  openRequests.push_back(request);
  return Next();
}

std::optional<QString> ScriptedDialogs::SaveFileName(QWidget*, const FileRequest& request) {
  saveRequests.push_back(request);
  return Next();
}

void ScriptedDialogs::Warning(QWidget*, const QString& text, const QString& caption) {
  warnings.push_back(text);
  warningCaptions.push_back(caption);
}

WindowBench::WindowBench() {
  EXPECT_TRUE(dir.isValid());
}

std::string WindowBench::Path(const std::string& name) const {
  return dir.filePath(QString::fromStdString(name)).toStdString();
}

void WindowBench::WriteFile(const std::string& name, const std::string& bytes) const {
  QFile file(QString::fromStdString(Path(name)));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string WindowBench::ReadFile(const std::string& name) const {
  QFile file(QString::fromStdString(Path(name)));
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return file.readAll().toStdString();
}

bool WindowBench::Exists(const std::string& name) const {
  return QFile::exists(QString::fromStdString(Path(name)));
}

std::unique_ptr<Trvform> WindowBench::Create(const QStringList& args) {
  TrvformEnvironment env;
  env.preferencesFile = PrefsFile();
  env.defaultDialogFolder = Path("home") + "/";
  env.arguments = QStringList{QStringLiteral("rv58led")} + args;
  env.dialogs = dialogs;
  env.listPorts = listPorts ? listPorts : [this](bool descriptive) {
    std::vector<std::string> lines;
    for (const std::string& port : ports) {
      lines.push_back(descriptive ? port + " - test device" : port);
    }
    return lines;
  };
  env.deviceOpener = deviceOpener ? deviceOpener : [](const std::string& path, std::string& error) {
    if (path.rfind("/dev/pts/", 0) != 0) {
      error = "not a pseudo-terminal";
      return TComDevicePtr();
    }
    return OpenComDevice(path, error);
  };
  env.portEvents = portEvents;
  env.showPortDetails = [this](QWidget*) { shellActions.push_back("port details"); };
  env.associateFileType = [this] {
    if (associate) {
      associate();
    }
    shellActions.push_back("associate");
  };
  env.openUrl = [this](const QUrl& url) { shellActions.push_back("open " + url.toString().toStdString()); };
  return std::make_unique<Trvform>(std::move(env));
}

std::unique_ptr<Trvform> WindowBench::Start(const QStringList& args) {
  auto form = Create(args);
  form->show();
  Settle();
  EXPECT_TRUE(form->DeferredStartupDone());
  return form;
}

TPortEventsFactory FakePortEvents::Factory() {
  struct TFakeSource : TPortEventSource {
    std::string Method() const override { return "fake"; }
  };
  return [this](TPortChanged changed) {
    changed_ = std::move(changed);
    return std::make_unique<TFakeSource>();
  };
}

void FakePortEvents::Fire() const {
  changed_();
}

void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

} // namespace rv58::test
