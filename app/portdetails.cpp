#include "portdetails.h"

#include "fileio.h"
#include "qtext.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace rv58 {

namespace {

std::string FullPath(const std::string& root, const std::string& path) {
  if (root.empty() || root == "/")
    return path;
  std::string r = root;
  while (!r.empty() && r.back() == '/')
    r.pop_back();
  return r + path;
}

} // namespace

TPortUser CurrentPortUser() {
  const fileio::UserIds ids = fileio::CurrentUserIds();
  return TPortUser{ids.user, ids.groups};
}

TNodeAccess NodeAccess(std::uint32_t owner, std::uint32_t group, std::uint32_t mode, const TPortUser& user) {
  TNodeAccess access;
  access.group = group;
  const bool inGroup = std::find(user.groups.begin(), user.groups.end(), group) != user.groups.end();
  if (user.uid == 0)
    access.canOpen = true;
  else if (owner == user.uid) // the owner's bits alone decide for the owner
    access.canOpen = (mode & 0600) == 0600;
  else if (inGroup)
    access.canOpen = (mode & 0060) == 0060;
  else
    access.canOpen = (mode & 0006) == 0006;
  access.groupWouldHelp = !access.canOpen && owner != user.uid && !inGroup && (mode & 0060) == 0060;
  return access;
}

std::vector<TPortDetail> CollectPortDetails(const TPortSystem& sys,
                                            const std::vector<TExplicitPort>& explicitPorts,
                                            const TPortUser& user,
                                            const std::function<std::string(std::uint32_t)>& groupName) {
  // The port table's ports, then the devices it found but could not number.
  const TPortTable table(sys, explicitPorts);
  std::vector<std::pair<std::optional<int>, const TPortDevice*>> devices;
  for (const auto& port : table.Ports())
    devices.emplace_back(port.number, &port.device);
  for (const auto& device : table.Unnumbered())
    devices.emplace_back(std::nullopt, &device);

  std::vector<TPortDetail> out;
  for (const auto& [number, device] : devices) {
    const TPortDevice& d = *device;
    TPortDetail row;
    if (number)
      row.comName = "COM" + std::to_string(*number);
    row.devicePath = d.path;
    row.driver = d.driver;
    row.manufacturer = d.usbManufacturer;
    row.product = d.usbProduct;
    row.serialNumber = d.usbSerial;

    const std::string nodePath = FullPath(sys.root, ResolvePath(sys.root, d.path).value_or(d.path));
    const std::optional<fileio::Ownership> node = fileio::OwnershipOf(nodePath);
    row.exists = node.has_value();
    if (row.exists) {
      const TNodeAccess access = NodeAccess(node->owner, node->group, node->mode, user);
      row.canOpen = access.canOpen;
      // On this machine the system's own answer also counts access lists (a desktop seat's devices).
      if (!row.canOpen && (sys.root.empty() || sys.root == "/") && user.uid == fileio::CurrentUserIds().user)
        row.canOpen = fileio::CanReadWrite(nodePath);
      if (!row.canOpen && access.groupWouldHelp)
        row.joinGroup = groupName ? groupName(access.group) : fileio::GroupName(access.group);
    }
    out.push_back(std::move(row));
  }
  return out;
}

TPortDetailsWindow::TPortDetailsWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Soros portok"));
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, 7, this);
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Port"), QStringLiteral("Eszköz"), QStringLiteral("Meghajtó"), QStringLiteral("Gyártó"),
       QStringLiteral("Termék"), QStringLiteral("Sorozatszám"), QStringLiteral("Megnyitható")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_);
  hint_ = new QLabel(this);
  hint_->setWordWrap(true);
  hint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(hint_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* refresh = buttons->addButton(QStringLiteral("Frissítés"), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QStringLiteral("Bezárás"), QDialogButtonBox::RejectRole);
  connect(refresh, &QPushButton::clicked, this, &TPortDetailsWindow::Refresh);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(820, 320);
}

void TPortDetailsWindow::SetSource(TPortDetailsSource source) {
  source_ = std::move(source);
  Refresh();
}

void TPortDetailsWindow::Refresh() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<TPortDetail> rows = source_ ? source_() : std::vector<TPortDetail>{};
  table_->setRowCount(static_cast<int>(rows.size()));
  QStringList groups;
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TPortDetail& d = rows[static_cast<std::size_t>(r)];
    QString access;
    if (!d.exists)
      access = QStringLiteral("nem: nincs eszközfájl");
    else if (d.canOpen)
      access = QStringLiteral("igen");
    else if (d.busy)
      access = QStringLiteral("nem: más program használja");
    else if (!d.joinGroup.empty()) {
      const QString group = QString::fromStdString(d.joinGroup);
      access = QStringLiteral("nem: lépjen be a(z) „%1” csoportba").arg(group);
      if (!groups.contains(group))
        groups << group;
    } else
      access = QStringLiteral("nem: nincs jogosultság");
    const QString cells[] = {FromCp1250(d.comName),
                             FromCp1250(d.devicePath),
                             FromCp1250(d.driver),
                             FromCp1250(d.manufacturer),
                             FromCp1250(d.product),
                             FromCp1250(d.serialNumber),
                             access};
    for (int c = 0; c < 7; ++c)
      table_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
  table_->resizeColumnsToContents();
  QStringList hint;
  if (!lastOpenFailure_.isEmpty())
    hint << QStringLiteral("Legutóbb nem nyitható meg: %1").arg(lastOpenFailure_);
  if (rows.empty())
    hint << QStringLiteral("Nem található soros port.");
  else if (!groups.isEmpty())
    hint << QStringLiteral("Csoportba lépés: sudo usermod -aG %1 $USER, majd új bejelentkezés.")
                .arg(groups.join(QLatin1Char(',')));
  hint_->setText(hint.join(QLatin1Char('\n')));
  QGuiApplication::restoreOverrideCursor();
}

TPortDetailsWindow* ShowPortDetails(QWidget* parent, TPortDetailsSource source,
                                    const QString& lastOpenFailure) {
  static QPointer<TPortDetailsWindow> open;
  if (!open || open->parentWidget() != parent) {
    open = new TPortDetailsWindow(parent);
    open->setAttribute(Qt::WA_DeleteOnClose);
  }
  open->SetLastOpenFailure(lastOpenFailure);
  if (source)
    open->SetSource(std::move(source));
  else
    open->Refresh();
  open->show();
  open->raise();
  open->activateWindow();
  return open.data();
}

} // namespace rv58
