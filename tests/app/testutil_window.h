#pragma once

#include "Unit1.h"
#include "navtree.h"
#include "pagecontrol.h"
#include "windowcontrols.h"
#include "windowdialogs.h"

#include <QtWidgets>

#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rv58::test {

// Answers the window's dialogs from a script and records what was asked.
class ScriptedDialogs : public TWindowDialogs {
public:
  std::deque<std::optional<QString>> answers; // next file name, or nothing for "cancel"
  std::vector<FileRequest> openRequests;
  std::vector<FileRequest> saveRequests;
  std::vector<QString> warnings;
  std::vector<QString> warningCaptions;

  std::optional<QString> OpenFileName(QWidget*, const FileRequest& request) override;
  std::optional<QString> SaveFileName(QWidget*, const FileRequest& request) override;
  void Warning(QWidget*, const QString& text, const QString& caption) override;

private:
  std::optional<QString> Next();
};

// A temporary folder with the window's preferences file in it, fake ports and scripted dialogs.
class WindowBench {
public:
  WindowBench();

  std::string Path(const std::string& name) const;
  std::string PrefsFile() const { return Path("rv58led.ini"); }
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const; // "" when missing
  bool Exists(const std::string& name) const;

  // A window on this folder; `args` follow the program's own name.
  std::unique_ptr<Trvform> Create(const QStringList& args = {});
  // Creates, shows and runs the deferred start-up.
  std::unique_ptr<Trvform> Start(const QStringList& args = {});

  std::vector<std::string> ports{"COM1", "COM3", "COM33"};
  // Lists the window's ports; empty: `ports` above, with " - test device" as the description.
  std::function<std::vector<std::string>(bool descriptive)> listPorts;
  // The information page's shell actions as they were asked for, in order: "port details",
  // "associate", "open <url>". No window of a test starts a browser or writes into the home.
  std::vector<std::string> shellActions;
  // Runs as the file association, before "associate" is noted (on the association's thread).
  std::function<void()> associate;
  // Opens the window's serial devices; empty: pseudo-terminals only, so that no test ever opens
  // a real port (COM1 is the machine's console here).
  TDeviceOpener deviceOpener;
  // The device events the window follows; empty: none (the ports above are not the machine's).
  TPortEventsFactory portEvents;
  std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
  QTemporaryDir dir;
};

// A device event source that the test fires by hand, from any thread.
class FakePortEvents {
public:
  TPortEventsFactory Factory();
  void Fire() const;
  bool Started() const { return static_cast<bool>(changed_); }

private:
  TPortChanged changed_;
};

// Runs posted events until `done` or the time is up.
void Settle();

} // namespace rv58::test
