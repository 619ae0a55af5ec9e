#pragma once

// The port-details window, which the information page's "eszközkezelő indítása" link opens on
// Linux (and on Windows where the Device Manager cannot be started): every serial device with its
// port name, device path, driver, USB maker, product and serial number, and whether the current
// user may open it (with the group to join when not). Where the rows come from is the platform's:
// portdetails_posix.cpp, portdetails_win.cpp.

#include "portnames.h"
#include "portsources.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QTableWidget;

namespace rv58 {

// One row of the window. Texts are Windows-1250, like the port detection's.
struct TPortDetail {
  std::string comName; // "COM33", empty when the device has no port number
  std::string devicePath;
  std::string driver;
  std::string manufacturer;
  std::string product;
  std::string serialNumber;
  bool exists = true;    // the device node is there
  bool canOpen = false;  // the user may open it for reading and writing
  bool busy = false;     // when not: another program holds it
  std::string joinGroup; // when not: the group whose members may ("dialout"); may be empty
};

// Who asks: the user and the groups the process holds.
struct TPortUser {
  std::uint32_t uid = 0;
  std::vector<std::uint32_t> groups; // the effective group and the supplementary groups
};
TPortUser CurrentPortUser();

// Whether a node with this owner, group and mode can be opened for reading and writing by the
// user; when not, the group that would let the user in (its id), if any.
struct TNodeAccess {
  bool canOpen = false;
  bool groupWouldHelp = false;
  std::uint32_t group = 0;
};
TNodeAccess NodeAccess(std::uint32_t owner, std::uint32_t group, std::uint32_t mode, const TPortUser& user);

// Every serial device of the port table (TPortTable), sorted by port number; devices without one
// last.
std::vector<TPortDetail> CollectPortDetails(const TPortSystem& sys,
                                            const std::vector<TExplicitPort>& explicitPorts,
                                            const TPortUser& user,
                                            const std::function<std::string(std::uint32_t)>& groupName = {});

// Where the window's rows come from: this machine (one implementation per platform) with the
// "Ports" section of this preferences file as it is at each refresh, unless a test says otherwise.
using TPortDetailsSource = std::function<std::vector<TPortDetail>()>;
TPortDetailsSource MachinePortDetails(const std::string& iniPath);

// The window; Refresh reads the system again.
class TPortDetailsWindow : public QDialog {
  Q_OBJECT
public:
  explicit TPortDetailsWindow(QWidget* parent = nullptr);
  // Replaces where the rows come from (tests), and refreshes.
  void SetSource(TPortDetailsSource source);
  // Why the upload's port could not be opened last ("COM7 (/dev/ttyUSB0): foglalt, ..."; empty:
  // it did not fail), shown under the table from the next Refresh.
  void SetLastOpenFailure(const QString& text) { lastOpenFailure_ = text; }
  void Refresh();
  QTableWidget* Table() const { return table_; }
  QLabel* Hint() const { return hint_; }

private:
  TPortDetailsSource source_;
  QString lastOpenFailure_;
  QTableWidget* table_ = nullptr;
  QLabel* hint_ = nullptr;
};

// Opens the window (one at a time: a second call brings the open one forward, refreshed) with
// its rows from `source`, and the last failed open of the upload port under them. Returns it, for
// tests.
TPortDetailsWindow* ShowPortDetails(QWidget* parent, TPortDetailsSource source,
                                    const QString& lastOpenFailure = {});

} // namespace rv58
