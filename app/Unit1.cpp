#include "Unit1.h"

#include "VistaAltFixUnit.h"
#include "association.h"
#include "navtree.h"
#include "pagecontrol.h"
#include "portdetails.h"
#include "preferences.h"
#include "prefspath.h"
#include "richlabel.h"
#include "scalemonitor.h"
#include "shellactions.h"
#include "titlebar.h"
#include "unitportdetect.h"
#include "windowcontrols.h"
#include "windowfonts.h"
#include "windowframe.h"
#include "windowtext.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

namespace rv58 {

using namespace window_internal;

namespace {

// Designed sizes: the window's client area and its title bar and tree.
constexpr QSize kDesignedClient(981, 605);
constexpr QPoint kDesignedPos(348, 157);
constexpr int kTitleHeight = 49;
constexpr int kTreeWidth = 265;

// Runs `work` on a thread of its own while this thread serves its events under the hourglass;
// returns when the work is done. Whatever the work throws ends it silently.
void RunOffThread(const std::function<void()>& work) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
    }
    done = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  if (!done) {
    loop.exec(); // also ends when the application quits; the work is still waited for below
  }
  worker.join();
  QGuiApplication::restoreOverrideCursor();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation

Trvform::Trvform(TrvformEnvironment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), env_(std::move(environment)) {
  setObjectName(QStringLiteral("rvform"));
  setWindowTitle(QStringLiteral("RV58Set"));
  if (!env_.dialogs) {
    env_.dialogs = std::make_shared<TQtWindowDialogs>();
  }
  if (env_.arguments.isEmpty()) {
    env_.arguments = QCoreApplication::arguments();
  }
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMinimumSize(750, 550);
  setMouseTracking(true);
  setFont(TahomaFont(13, false));
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, FrameColor());
  setPalette(palette);
  move(kDesignedPos);
  resize(kDesignedClient);

  CreateFrame();
  CreateTree();
  CreatePages();
  FormCreate();
}

Trvform::~Trvform() {
  FormDestroy();
}

void Trvform::CreateFrame() {
  ScrollBox1 = new QWidget(this);
  ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
  ScrollBox1->setAutoFillBackground(true);
  QPalette white = ScrollBox1->palette();
  white.setColor(QPalette::Window, Qt::white);
  ScrollBox1->setPalette(white);
  // The working surface covers the window but for the frame; presses on it never reach the
  // frame's resize handling.
  ScrollBox1->installEventFilter(this);
  // The frame's resize cursor is set on the window; the working surface keeps its own arrow so
  // that the controls do not inherit the resize cursor once the mouse leaves the frame.
  ScrollBox1->setCursor(Qt::ArrowCursor);

  Panel2 = new TTitleBar(ScrollBox1);
  connect(Panel2, &TTitleBar::MoveRequested, this, &Trvform::Panel2MouseDown);
  connect(Panel2, &TTitleBar::MaximizeRequested, this, &Trvform::MaximizeButtonClick);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setAutoFillBackground(true);
  QPalette title = Panel2->palette();
  title.setColor(QPalette::Window, FrameColor());
  title.setColor(QPalette::WindowText, Qt::white);
  title.setColor(QPalette::Button, FrameColor());
  title.setColor(QPalette::ButtonText, Qt::white);
  Panel2->setPalette(title);
  Panel2->setFont(TahomaFont(13, false));

  Image2 = new QLabel(Panel2);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setPixmap(ProgramPicture());
  Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image2->setGeometry(13, 12, 41, 33);
  Image2->installEventFilter(this);

  Label24 = new QLabel(QStringLiteral("RV58LED beállítások"), Panel2);
  Label24->setObjectName(QStringLiteral("Label24"));
  Label24->setFont(TahomaFont(16, false));
  Label24->adjustSize();
  Label24->move(72, 13);
  Label24->installEventFilter(this);

  auto titleButton = [this](const char* name, char picture, int w) {
    auto* button = new QToolButton(Panel2);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setIcon(TitleButtonIcon(picture));
    button->setIconSize(QSize(22, 22));
    button->setFocusPolicy(Qt::NoFocus);
    button->resize(w, 33);
    return button;
  };
  MinimizeButton = titleButton("MinimizeButton", 'n', 34);
  MaximizeButton = titleButton("MaximizeButton", 'x', 35);
  CloseButton = titleButton("CloseButton", 'c', 34);
  connect(MinimizeButton, &QToolButton::clicked, this, &Trvform::MinimizeButtonClick);
  connect(MaximizeButton, &QToolButton::clicked, this, &Trvform::MaximizeButtonClick);
  connect(CloseButton, &QToolButton::clicked, this, &Trvform::CloseButtonClick);

  Panel1 = new QWidget(ScrollBox1);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setAutoFillBackground(true);
  Panel1->setPalette(white);
  Panel1->installEventFilter(this);

  // The page control lies 4 pixels outside the page area on every side, which hides its own
  // border; the pages keep the page area's size.
  page1 = new TPageControl(Panel1);
  page1->setObjectName(QStringLiteral("page1"));

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  valami1 = PopupMenu1->addAction(QStringLiteral("Feltöltés !"));
  valami1->setObjectName(QStringLiteral("valami1"));
  valami1->setShortcut(QKeySequence(Qt::Key_F9));
  valami1->setShortcutContext(Qt::WindowShortcut);
  addAction(valami1); // F9 works wherever the focus is in the window
  connect(valami1, &QAction::triggered, this, &Trvform::FeltoltesButtonClick);
  feltoltesDTR = PopupMenu1->addAction(QStringLiteral("Feltöltés DTR-impulzussal"));
  feltoltesDTR->setObjectName(QStringLiteral("feltoltesDTR"));
  connect(feltoltesDTR, &QAction::triggered, this, &Trvform::FeltoltesDTRClick);
  kijelzotesztDTR = PopupMenu1->addAction(QStringLiteral("Kijelzőteszt DTR-impulzussal"));
  kijelzotesztDTR->setObjectName(QStringLiteral("kijelzotesztDTR"));
  connect(kijelzotesztDTR, &QAction::triggered, this, &Trvform::KijelzotesztDTRClick);

  // Below the upload items: the scale monitor.
  ScaleMonitorAction = PopupMenu1->addAction(QStringLiteral("Mérlegfigyelő…"));
  ScaleMonitorAction->setObjectName(QStringLiteral("ScaleMonitorAction"));
  connect(ScaleMonitorAction, &QAction::triggered, this, &Trvform::OpenScaleMonitor);
}

void Trvform::CreateTree() {
  tree1 = new TNavigationTree(ScrollBox1);
  tree1->setObjectName(QStringLiteral("tree1"));
  QPalette palette = tree1->palette();
  palette.setColor(QPalette::Base, Qt::white);
  tree1->setPalette(palette);
  tree1->OnCustomDrawItem = [this](QTreeWidgetItem* item, bool selected, bool hot) {
    return tree1CustomDrawItem(item, selected, hot);
  };
  auto* first = new QTreeWidgetItem(tree1, QStringList(QStringLiteral("A kijelző beállításai")));
  for (const char* text :
       {"Adatkapcsolat", "Karakterek", "Karakterek levágása", "Kijelző betűtípus", "Kijelző fényerő",
        "Tizedespont helye", "Automatikus kikapcsolás", "Hibakezelés", "Órakijelzés"}) {
    new QTreeWidgetItem(first, QStringList(QString::fromUtf8(text)));
  }
  new QTreeWidgetItem(tree1, QStringList(QStringLiteral("Feltöltés a kijelzőre")));
  new QTreeWidgetItem(tree1, QStringList(QStringLiteral("Info")));
  connect(tree1, &QTreeWidget::currentItemChanged, this, [this] { tree1Change(); });
}

void Trvform::FormCreate() {
  FormResize();
  // The page control has no tab row to hide.
  tree1->expandRecursively(tree1->model()->index(0, 0)); // the first root and all below it
  for (QTreeWidgetItemIterator it(tree1); *it != nullptr; ++it) {
    (*it)->setSizeHint(0, QSize(0, 40)); // every item 40 pixels high
  }
  Panel1Resize();
  altFix_ = new ::TVistaAltFix(this);
  page1->setCurrentIndex(0); // the first page
  const std::string prefsFile = env_.preferencesFile.empty()
                                    ? PreferencesFilePath(CurrentPreferencesEnvironment())
                                    : env_.preferencesFile;
  prefs_ = std::make_unique<TIniFile>(prefsFile);
  ReadFormPos();
  QFont face = font(); // the icon font's face at 13 pixels
  face.setFamily(IconFontFamily());
  setFont(face);
  Panel2->setFont(TahomaFont(13, false));
  Label24->setFont(TahomaFont(16, false));
  Label3->setFont(TahomaFont(13, true));
  FillCharacterLists();
}

// ---------------------------------------------------------------------------------------------
// Showing, the deferred start-up, closing

QEvent::Type Trvform::AfterShowEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + 300));
  return type;
}

void Trvform::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void Trvform::FormShow() {
  QCoreApplication::postEvent(this, new QEvent(AfterShowEventType()));
}

bool Trvform::event(QEvent* event) {
  if (event->type() == AfterShowEventType()) {
    AfterShow();
    return true;
  }
  return QWidget::event(event);
}

void Trvform::AfterShow() {
  if (!firstShow_) {
    return;
  }
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  RefreshPorts();
  StartPortWatcher();
  if (env_.arguments.size() <= 1) {
    loadfile(prefs_->FileName());
  } else {
    const QFileInfo info(env_.arguments.at(1));
    if (info.exists() && info.isFile()) {
      loadfile(LocalPath(info.filePath()));
    }
  }
  QGuiApplication::restoreOverrideCursor();
  firstShow_ = false;
}

std::vector<std::string> Trvform::ListPortNames(bool descriptive) {
  if (env_.listPorts) {
    return env_.listPorts(descriptive);
  }
  // The "Ports" section as it is now: the lists and the next opening follow it.
  ComPort->PortNames = LoadPortNames(prefs_->FileName());
  std::vector<std::string> lines;
  ListPorts(ComPort->PortNames, lines, descriptive);
  return lines;
}

void Trvform::RefreshPorts() {
  Comport_up->clear();
  Comport_up->addItems(ToQtList(ListPortNames(false)));
  Memo1->setPlainText(ToQtList(ListPortNames(true)).join(QLatin1Char('\n')));
  Comport_up->setCurrentIndex(Comport_up->count() - 1);
}

void Trvform::StartPortWatcher() {
  TPortEventsFactory factory = env_.portEvents;
  if (!factory && !env_.listPorts) {
    factory = [](TPortChanged changed) { return WatchPorts(TPortSystem(), std::move(changed)); };
  }
  portWatcher_ = new TPortWatcher(factory, this);
  connect(portWatcher_, &TPortWatcher::PortsChanged, this, &Trvform::FollowPorts);
}

// The lists follow the ports without a click, through the same listing as the refresh link, but
// unlike the link they keep the user's choice: the chosen port stays chosen while it exists, and
// when it goes its name stays (an upload then says the port cannot be opened rather than going
// elsewhere); a port that appears is not chosen by itself. Lists that did not change are left
// alone, so an open drop-down is not disturbed.
void Trvform::FollowPorts() {
  const QString chosen = Comport_up->currentText();
  QStringList names = ToQtList(ListPortNames(false));
  const QString memo = ToQtList(ListPortNames(true)).join(QLatin1Char('\n'));
  if (!chosen.isEmpty() && !names.contains(chosen, Qt::CaseInsensitive)) {
    const int number = PortNumber(ToCp1250(chosen)).value_or(kMaxPortNumber + 1);
    qsizetype at = 0;
    while (at < names.size() && PortNumber(ToCp1250(names[at])).value_or(0) < number) {
      ++at;
    }
    names.insert(at, chosen);
  }
  // Item by item, so that the choice and an open drop-down stay as they are.
  for (int i = Comport_up->count() - 1; i >= 0; --i) {
    if (!names.contains(Comport_up->itemText(i))) {
      Comport_up->removeItem(i);
    }
  }
  for (int i = 0; i < names.size(); ++i) {
    if (i >= Comport_up->count() || Comport_up->itemText(i) != names[i]) {
      Comport_up->insertItem(i, names[i]);
    }
  }
  if (chosen.isEmpty()) {
    Comport_up->setCurrentIndex(-1); // a first item inserted into an empty list would be chosen
  }
  if (Comport_up->view()->isVisible()) {
    Comport_up->showPopup(); // an open drop-down takes the new size of the list
  }
  if (memo != Memo1->toPlainText()) {
    Memo1->setPlainText(memo);
  }
  for (TPortDetailsWindow* details : findChildren<TPortDetailsWindow*>()) {
    if (details->isVisible()) {
      details->Refresh();
    }
  }
  emit PortsChanged();
}

std::vector<std::string> Trvform::PortItems() const {
  std::vector<std::string> items;
  for (int i = 0; i < Comport_up->count(); ++i) {
    items.push_back(ToCp1250(Comport_up->itemText(i)));
  }
  return items;
}

void Trvform::closeEvent(QCloseEvent* event) {
  event->accept();
}

void Trvform::FormDestroy() {
  if (destroyed_ || !prefs_) {
    return;
  }
  destroyed_ = true;
  WriteFormPos(); // a failure is of no concern at the end
}

void Trvform::ReadFormPos() {
  const FormPos pos = rv58::ReadFormPos(*prefs_);
  // Positions far beyond any screen are brought near enough that the window's rectangle can be
  // computed without overflow; they are off every screen all the same.
  static constexpr std::int32_t kFar = 1 << 24;
  const auto near = [](std::int32_t v) { return std::clamp<std::int32_t>(v, -kFar, kFar); };
  if (pos.width) {
    resize(*pos.width, height());
  }
  if (pos.width && pos.height) {
    resize(width(), *pos.height);
    if (pos.top) {
      move(x(), near(*pos.top));
      if (pos.left) {
        move(near(*pos.left), y());
      }
    }
  }
  // A position stored on a monitor that is gone would leave the window out of reach, and one
  // that sticks out (also the designed one, on a small screen) would put its close button off it
  // (and a huge window eats memory).
  QList<QRect> screens;
  QList<QRect> available;
  for (const QScreen* screen : QGuiApplication::screens()) {
    screens << screen->geometry();
    available << screen->availableGeometry();
  }
  if (const QScreen* primary = QGuiApplication::primaryScreen(); primary != nullptr && !screens.isEmpty()) {
    const QRect placed = KeepOnScreen(QRect(QPoint(x(), y()), size()), screens, primary->availableGeometry());
    const QRect fitted = FitToScreen(placed, available, minimumSize());
    move(fitted.topLeft());
    resize(fitted.size());
  }
}

bool Trvform::WriteFormPos() {
  const QRect r = geometry();
  return rv58::WriteFormPos(*prefs_, r.width(), r.height(), r.top(), r.left());
}

// ---------------------------------------------------------------------------------------------
// Frame

void Trvform::FormResize() {
  ScrollBox1->setGeometry(5, 5, width() - 10, height() - 10);
  Panel2->setGeometry(0, 0, ScrollBox1->width(), kTitleHeight);
  const int w = Panel2->width();
  CloseButton->move(w - 34, 6);
  MaximizeButton->move(w - 34 - 35, 6);
  MinimizeButton->move(w - 34 - 35 - 34, 6);
  tree1->setGeometry(0, kTitleHeight, kTreeWidth, ScrollBox1->height() - kTitleHeight + 5);
  Panel1->setGeometry(kTreeWidth, kTitleHeight, ScrollBox1->width() - kTreeWidth + 4,
                      ScrollBox1->height() - kTitleHeight + 8);
}

void Trvform::Panel1Resize() {
  page1->setGeometry(-4, -4, Panel1->width() + 8, Panel1->height() + 8);
}

void Trvform::Panel3Resize() {
  SetRichLabelWidth(MDLabel3, Panel3->width());
}

void Trvform::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

bool Trvform::Panel2MouseDown(Qt::MouseButton button) {
  if (button != Qt::LeftButton) {
    return false;
  }
  if (QWindow* window = windowHandle(); window != nullptr) {
    window->startSystemMove();
  }
  return true;
}

void Trvform::MinimizeButtonClick() {
  showMinimized();
}

void Trvform::MaximizeButtonClick() {
  if (isMaximized()) {
    showNormal();
  } else {
    showMaximized();
  }
}

void Trvform::CloseButtonClick() {
  close();
}

void Trvform::FeltoltesDTRClick() {
  const QScopedValueRollback pulse(dtrPulse_, true);
  FeltoltesButtonClick();
}

void Trvform::KijelzotesztDTRClick() {
  const QScopedValueRollback pulse(dtrPulse_, true);
  KijelzotesztButtonClick();
}

void Trvform::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const FrameHit hit = isMaximized() ? htDEFAULT : FrameHitTest(0, 0, width(), height(), p.x(), p.y());
  setCursor(FrameHitCursor(hit));
  QWidget::mouseMoveEvent(event);
}

void Trvform::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const FrameHit hit = isMaximized() ? htDEFAULT : FrameHitTest(0, 0, width(), height(), p.x(), p.y());
  if (event->button() == Qt::LeftButton && hit != htDEFAULT) {
    if (QWindow* window = windowHandle(); window != nullptr) {
      window->startSystemResize(FrameHitEdges(hit));
    }
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void Trvform::contextMenuEvent(QContextMenuEvent* event) {
  PopupMenu1->popup(event->globalPos());
  event->accept();
}

bool Trvform::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::Resize:
    if (watched == Panel1) {
      Panel1Resize();
    } else if (watched == Panel3) {
      Panel3Resize();
    }
    break;
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
    // The icon and the title text neither move nor maximise the window; the working surface
    // keeps presses from the frame's resize zone.
    if (watched == Image2 || watched == Label24 || watched == ScrollBox1) {
      return true;
    }
    break;
  case QEvent::KeyPress:
    if (watched == ht) {
      return htKeyPress(static_cast<QKeyEvent*>(event));
    }
    break;
  default:
    break;
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Navigation

int Trvform::NodePosition(QTreeWidgetItem* item) const {
  int position = 0;
  for (QTreeWidgetItemIterator it(tree1); *it != nullptr; ++it, ++position) {
    if (*it == item) {
      return position;
    }
  }
  return -1;
}

void Trvform::tree1Change() {
  const int position = NodePosition(tree1->currentItem());
  if (position >= 0 && position < page1->count()) {
    page1->setCurrentIndex(position);
  }
}

QColor Trvform::tree1CustomDrawItem(QTreeWidgetItem*, bool selected, bool hot) const {
  return TreeItemBackground(selected, hot, tree1->palette().color(QPalette::Base));
}

// ---------------------------------------------------------------------------------------------
// Information page

void Trvform::MDLabel2LinkClicked(int) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  RefreshPorts();
  QGuiApplication::restoreOverrideCursor();
}

void Trvform::MDLabel4LinkClicked(int linkIndex) {
  if (linkIndex == 1) {
    if (env_.showPortDetails) {
      env_.showPortDetails(this);
      return;
    }
    StartDeviceManager(this, MachinePortDetails(prefs_->FileName()), QString::fromUtf8(ComPort->OpenError()));
  } else if (linkIndex == 2) {
    // The desktop's refresh tools may take seconds: the window keeps painting meanwhile, and a
    // second click does nothing until the first association is done.
    if (associating_) {
      return;
    }
    const QScopedValueRollback busy(associating_, true);
    if (env_.associateFileType) {
      RunOffThread(env_.associateFileType);
      return;
    }
    RunOffThread([] { AssociateFileType(); });
  }
}

void Trvform::MDLabel1LinkClicked(int linkIndex) {
  if (linkIndex == 1) {
    const QUrl url(QString::fromLatin1(kSupportPage));
    if (env_.openUrl) {
      env_.openUrl(url);
    } else {
      OpenSupportPage(this, url);
    }
  }
}

void Trvform::OpenScaleMonitor() {
  if (!ScaleMonitor) {
    ScaleMonitor = new TScaleMonitor(this);
  }
  ScaleMonitor->show();
  ScaleMonitor->raise();
  ScaleMonitor->activateWindow();
}

} // namespace rv58
