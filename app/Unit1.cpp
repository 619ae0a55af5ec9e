#include "Unit1.h"

#include "navtree.h"
#include "pagecontrol.h"
#include "preferences.h"
#include "prefspath.h"
#include "richlabel.h"
#include "settingsfile.h"
#include "textlimit.h"
#include "titlebar.h"
#include "windowcontrols.h"
#include "windowfonts.h"
#include "windowframe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <QWindow>

#include "VistaAltFixUnit.h"
#include "fileassoc.h"
#include "portdetails.h"
#include "unitportdetect.h"

#include <QDesktopServices>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

namespace rv58 {

namespace {

// Designed sizes: the window's client area, and a page of the page control.
constexpr QSize kDesignedClient(981, 605);
constexpr QPoint kDesignedPos(348, 157);
constexpr QSize kDesignedPage(704, 548);
constexpr int kTitleHeight = 49;
constexpr int kTreeWidth = 265;

const char* const kSupportPage = "https://rv58led.example/support";
const QString kSettingsFilter = QStringLiteral("RV5 beállítások ( *.rv5)");

// Texts cross between the widgets and the core here only: the core keeps Windows-1250 bytes.
QString FromCore(std::string_view bytes) {
  QStringDecoder decoder("windows-1250");
  return decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string ToCore(const QString& text) {
  QStringEncoder encoder("windows-1250");
  QByteArray bytes = encoder(text);
  if (bytes.contains('\x1a')) {
    // The codec marks a character outside the code page with SUB; the files and the display
    // know it as "?". A real SUB in the text stays SUB.
    bytes.clear();
    for (const uint cp : text.toUcs4()) {
      const QString one = QString::fromUcs4(reinterpret_cast<const char32_t*>(&cp), 1);
      QStringEncoder single("windows-1250");
      const QByteArray b = single(one);
      bytes += (b == "\x1a" && cp != 0x1a) ? QByteArray("?") : b;
    }
  }
  return bytes.toStdString();
}

QStringList ToQtList(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) {
    list << FromCore(item);
  }
  return list;
}

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString FromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QLabel* AddLabel(TAnchors* anchors, QWidget* page, const QString& text, int x, int y,
                 const char* name = nullptr) {
  auto* label = new QLabel(text, page);
  if (name != nullptr) {
    label->setObjectName(QString::fromLatin1(name));
  }
  anchors->Place(label, QRect(QPoint(x, y), label->sizeHint()));
  return label;
}

QLabel* AddHelp(TAnchors* anchors, QWidget* page, const QString& text, int x, int y, int w, int h) {
  auto* label = new QLabel(text, page);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  anchors->Place(label, QRect(x, y, w, h), akLeft | akTop | akRight);
  return label;
}

QComboBox* AddList(TAnchors* anchors, QWidget* page, const char* name, int x, int y, int w,
                   const QStringList& items) {
  auto* list = new QComboBox(page);
  list->setObjectName(QString::fromLatin1(name));
  list->setEditable(false);
  list->setMaxVisibleItems(16);
  list->addItems(items);
  list->setCurrentIndex(-1);
  anchors->Place(list, QRect(x, y, w, 21));
  return list;
}

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

QWidget* NewPage(TPageControl* pages, const char* name, const QString& caption) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromLatin1(name));
  page->setWindowTitle(caption); // the internal caption; no tab shows it
  page->setAutoFillBackground(true);
  QPalette palette = page->palette();
  palette.setColor(QPalette::Window, Qt::white);
  page->setPalette(palette);
  pages->AddPage(page);
  return page;
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

  Panel2 = new TTitleBar(this);
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

void Trvform::CreatePages() {
  CreateSettingsPage(NewPage(page1, "TabSheet1", QStringLiteral("beall")));
  CreateConnectionPage(NewPage(page1, "TabSheet6", QStringLiteral("kapcs")));
  CreateCharactersPage(NewPage(page1, "TabSheet7", QStringLiteral("adatzáró")));
  CreateCutPage(NewPage(page1, "TabSheet9", QStringLiteral("levágás")));
  CreateSimpleListPage(NewPage(page1, "TabSheet10", QStringLiteral("betű")), QStringLiteral("Betűtípus:"), bt,
                       "bt", 191, BtItems(), QStringLiteral("A kijelzőn megjelenített betűtípus."));
  CreateSimpleListPage(NewPage(page1, "TabSheet11", QStringLiteral("fény")), QStringLiteral("Fényerő: "), fe,
                       "fe", 199, FeItems(),
                       QStringLiteral("A kijelző fényerejének automatikus, vagy kézi beállítása."));
  CreateSimpleListPage(NewPage(page1, "TabSheet12", QStringLiteral("tizedes")),
                       QStringLiteral("Tizedespont helye: "), tp, "tp", 127, TpItems(),
                       QStringLiteral("A kijelzőn megjelenítendő tizedespont helye."));
  CreateAutoOffPage(NewPage(page1, "TabSheet13", QStringLiteral("auto")));
  CreateErrorPage(NewPage(page1, "TabSheet14", QStringLiteral("hiba")));
  CreateClockPage(NewPage(page1, "TabSheet3", QStringLiteral("óra")));
  CreateUploadPage(NewPage(page1, "TabSheet15", QStringLiteral("feltölt")));
  CreateInfoPage(NewPage(page1, "TabSheet2", QStringLiteral("I")));
}

void Trvform::CreateSettingsPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Mérleg elnevezése:"), 16, 16);
  merlegnev = new QLineEdit(QStringLiteral("Mérleg"), page);
  merlegnev->setObjectName(QStringLiteral("merlegnev"));
  LimitTyping(merlegnev, 127);
  a->Place(merlegnev, QRect(16, 40, 649, 22), akLeft | akTop | akRight, 150);
  AddLabel(a, page, QStringLiteral("Leírás:"), 16, 72);
  leiras = new QPlainTextEdit(page);
  leiras->setObjectName(QStringLiteral("leiras"));
  leiras->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  leiras->setTabChangesFocus(true);
  a->Place(leiras, QRect(16, 96, 649, 193), akLeft | akTop | akRight | akBottom);
  LimitTyping(leiras, 254);

  ToolBar1 = new QToolBar(page);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(32, 32));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  ToolBar1->setContentsMargins(0, 0, 0, 0);
  ToolBar1->layout()->setSpacing(0);
  ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
  ToolBar1->setStyleSheet(QStringLiteral("QToolBar { border: none; background: white; }"));
  auto toolButton = [this](const char* name, const QString& text, bool up) {
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setIcon(TrayIcon(up));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(64, 55);
    ToolBar1->addWidget(button);
    return button;
  };
  megnyitbutton = toolButton("megnyitbutton", QStringLiteral("Megnyitás"), true);
  mentbutton = toolButton("mentbutton", QStringLiteral("Mentés"), false);
  connect(megnyitbutton, &QToolButton::clicked, this, &Trvform::megnyitbuttonClick);
  connect(mentbutton, &QToolButton::clicked, this, &Trvform::mentbuttonClick);
  a->Place(ToolBar1, QRect(16, 336, 185, 55), akLeft | akBottom);

  alapbutton = new QPushButton(QStringLiteral("Alapértelmezett beállítások betöltése"), page);
  alapbutton->setObjectName(QStringLiteral("alapbutton"));
  connect(alapbutton, &QPushButton::clicked, this, &Trvform::alapbuttonClick);
  a->Place(alapbutton, QRect(396, 448, 273, 33), akRight | akBottom);
}

void Trvform::CreateConnectionPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Baudrate:"), 18, 16);
  bd = AddList(a, page, "bd", 18, 40, 127, ToQtList(BdItems()));
  AddLabel(a, page, QStringLiteral("Formátum:"), 170, 16);
  pr = AddList(a, page, "pr", 170, 40, 127, ToQtList(PrItems()));
  AddHelp(a, page,
          QStringLiteral("A kijelző és a mérleg közötti kommunikáció tulajdonságainak beállítása. A mérleg "
                         "kijelzőjében beállítottaknak megfelelően kell beállítani."),
          18, 88, 647, 41);
  Label3 = new QLabel(QStringLiteral("Rádiós adatkapcsolat esetén csak 9600, 8N1 lehet!"), page);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setFont(TahomaFont(13, true));
  a->Place(Label3, QRect(18, 136, 623, 16), akLeft | akTop | akRight);
  bd->setCurrentIndex(5);
  pr->setCurrentIndex(3);
}

void Trvform::CreateCharactersPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Zárókarakter: "), 18, 16);
  tm = AddList(a, page, "tm", 18, 40, 127, {});
  Button1 = new QPushButton(QStringLiteral(">"), page);
  Button1->setObjectName(QStringLiteral("Button1"));
  connect(Button1, &QPushButton::clicked, this, &Trvform::Button1Click);
  a->Place(Button1, QRect(152, 40, 57, 25));
  AddLabel(a, page, QStringLiteral("Kötelező karakter:"), 218, 16);
  kr = AddList(a, page, "kr", 218, 40, 127, {});
  AddHelp(a, page,
          QStringLiteral(
              "A mérleg által küldött adat záró karaktere, illetve akkor tekinthető érvényesnek a kapott "
              "adat, ha tartalmazza az itt beállított karaktert. Általában megeggyezik a záró "
              "karakterrel."),
          18, 88, 647, 137);
}

void Trvform::CreateCutPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Levágás (elejéről):"), 18, 16);
  le = AddList(a, page, "le", 18, 40, 127, ToQtList(LevagasItems()));
  AddLabel(a, page, QStringLiteral("Levágás (hátulról):"), 170, 16);
  lh = AddList(a, page, "lh", 170, 40, 127, ToQtList(LevagasItems()));
  AddHelp(a, page,
          QStringLiteral("A mérleg által küldött adat elejéről vagy végéről levágandó karakterek száma."), 18,
          88, 647, 49);
  nm = new QCheckBox(QStringLiteral("0 maszkolás levágása (pl. 000123 -> 123)"), page);
  nm->setObjectName(QStringLiteral("nm"));
  a->Place(nm, QRect(16, 136, 625, 17));
  le->setCurrentIndex(0);
  lh->setCurrentIndex(0);
}

void Trvform::CreateSimpleListPage(QWidget* page, const QString& caption, QComboBox*& list, const char* name,
                                   int width, const std::vector<std::string>& items, const QString& help) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, caption, 18, 16);
  list = AddList(a, page, name, 18, 40, width, ToQtList(items));
  list->setCurrentIndex(0);
  AddHelp(a, page, help, 18, 88, 647, 137);
}

void Trvform::CreateAutoOffPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  au = new QCheckBox(QStringLiteral("Automatikus kikapcsolás, ha nincs bejövő érvényes adat (5 másodperc)"),
                     page);
  au->setObjectName(QStringLiteral("au"));
  au->setChecked(true);
  a->Place(au, QRect(16, 24, 649, 29), akLeft | akTop | akRight);
  AddHelp(a, page,
          QStringLiteral(
              "A kijelző elsötétül ha nincs érvényes bejövő adat, vagy az utolsó érvényeset megjelenítve "
              "hagyja. Érvényes adat érkezésekor (pl a mérleg bekapcsolásakor) automatikusan folytatja a "
              "megjelenítést."),
          18, 88, 647, 137);
}

void Trvform::CreateErrorPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Hibát jelző karakter:"), 17, 16);
  hk = AddList(a, page, "hk", 18, 40, 129, {});
  AddLabel(a, page, QStringLiteral("Megjelenítendő szöveg:"), 168, 16);
  ht = new QLineEdit(QStringLiteral("ERROR"), page);
  ht->setObjectName(QStringLiteral("ht"));
  ht->setMaxLength(6);
  ht->installEventFilter(this);
  a->Place(ht, QRect(168, 40, 129, 22));
  AddHelp(a, page,
          QStringLiteral(
              "Amennyiben az itt megadott karakter szerepel a kapott adatban, megjeleníti a szöveget."),
          18, 88, 647, 137);
}

void Trvform::CreateClockPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Óra (pontos idő) megjelenítése a kijelzőn"), 16, 16);
  ora = new TRadioGroup(QString(), ToQtList(OraItems()), page);
  ora->setObjectName(QStringLiteral("ora"));
  ora->SetItemIndex(0);
  a->Place(ora, QRect(16, 48, 497, 193));
  AddHelp(a, page,
          QStringLiteral(
              "Az \"Automatikus kikapcsolás\" funkció felülbírálja az itt beállítottakat. A pontos időt "
              "egy másik programban lehet beállítani !"),
          18, 272, 647, 137);
}

void Trvform::CreateUploadPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Soros port:"), 17, 16);
  Comport_up = AddList(a, page, "Comport_up", 18, 40, 129, {});
  verziogroup = new TRadioGroup(QStringLiteral(" Kijelző verzió "), ToQtList(VerziogroupItems()), page);
  verziogroup->setObjectName(QStringLiteral("verziogroup"));
  verziogroup->SetItemIndex(1);
  a->Place(verziogroup, QRect(16, 79, 425, 105));

  Panel3 = new QWidget(page);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setAutoFillBackground(true);
  Panel3->installEventFilter(this);
  a->Place(Panel3, QRect(18, 209, 633, 97), akLeft | akTop | akRight);
  RichLabelOptions labelOptions;
  labelOptions.autoSizeWidth = false;
  MDLabel3 = CreateRichLabel(
      Panel3, "MDLabel3",
      QStringLiteral(
          "A beállításokat és a kijelzőtesztet <b>CSAK a kijelző (újra)indítása utáni 6 másodpercben "
          "lehet feltölteni, amikor azon a tesztkijelzés látható.</b> Sikeres kitöltés után az \"OK, "
          "SAVE\" felirat jelenik meg, majd normál üzemmódba lép. A kijelző tesztelésekor az összes LED "
          "bekapcsol 30 mpercre. A beállítások ekkor nem módosulnak."),
      labelOptions, {});
  MDLabel3->move(1, 1);
  Panel3Resize();

  KijelzotesztButton = new QPushButton(QStringLiteral("Kijelzőteszt"), page);
  KijelzotesztButton->setObjectName(QStringLiteral("KijelzotesztButton"));
  a->Place(KijelzotesztButton, QRect(416, 440, 121, 41), akTop | akRight);
  FeltoltesButton = new QPushButton(QStringLiteral("Feltöltés [F9] !"), page);
  FeltoltesButton->setObjectName(QStringLiteral("FeltoltesButton"));
  a->Place(FeltoltesButton, QRect(544, 440, 121, 41), akTop | akRight);
  connect(KijelzotesztButton, &QPushButton::clicked, this, &Trvform::KijelzotesztButtonClick);
  connect(FeltoltesButton, &QPushButton::clicked, this, &Trvform::FeltoltesButtonClick);
}

void Trvform::CreateInfoPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  MDLabel2 = CreateRichLabel(page, "MDLabel2", QStringLiteral("Elérhető soros portok (<a>frissítés</a>)"), {},
                             [this](int link) { MDLabel2LinkClicked(link); });
  MDLabel2->move(17, 16);
  Memo1 = new QPlainTextEdit(page);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  a->Place(Memo1, QRect(16, 40, 641, 193), akLeft | akTop | akRight);
  MDLabel4 = CreateRichLabel(
      page, "MDLabel4",
      QStringLiteral("Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz"), {},
      [this](int link) { MDLabel4LinkClicked(link); });
  MDLabel4->move(17, 240);
  Label27 = AddLabel(a, page, QStringLiteral("Programverzió:"), 17, 296, "Label27");
  Label28 = AddLabel(a, page, QStringLiteral("0.2"), 192, 296, "Label28");
  Label29 = AddLabel(a, page, QStringLiteral("Terméktámogatás:"), 17, 320, "Label29");
  RichLabelOptions small;
  small.linkPixelSize = 11;
  MDLabel1 = CreateRichLabel(page, "MDLabel1", QStringLiteral("<a>%1</a>").arg(QLatin1String(kSupportPage)),
                             small, [this](int link) { MDLabel1LinkClicked(link); });
  MDLabel1->move(192, 322);
}

void Trvform::FormCreate() {
  FormResize(); // 1
  // 2: the page control has no tab row to hide.
  tree1->expandRecursively(tree1->model()->index(0, 0)); // 3: the first root and all below it
  for (QTreeWidgetItemIterator it(tree1); *it != nullptr; ++it) {
    (*it)->setSizeHint(0, QSize(0, 40)); // 4
  }
  Panel1Resize();                     // 5
  altFix_ = new ::TVistaAltFix(this); // 6
  page1->setCurrentIndex(0);          // 7
  const std::string prefsFile = env_.preferencesFile.empty()
                                    ? PreferencesFilePath(CurrentPreferencesEnvironment())
                                    : env_.preferencesFile;
  prefs_ = std::make_unique<TIniFile>(prefsFile); // 8
  ReadFormPos();                                  // 9
  QFont face = font();                            // 10: the icon font's face at 13 pixels
  face.setFamily(IconFontFamily());
  setFont(face);
  Panel2->setFont(TahomaFont(13, false));
  Label24->setFont(TahomaFont(16, false));
  Label3->setFont(TahomaFont(13, true));
  FillCharacterLists(); // 11
}

void Trvform::FillCharacterLists() {
  const QStringList items = ToQtList(CharacterChoiceList());
  tm->setUpdatesEnabled(false);
  tm->clear();
  tm->addItems(items);
  tm->setUpdatesEnabled(true);
  QStringList copy;
  for (int i = 0; i < tm->count(); ++i) {
    copy << tm->itemText(i);
  }
  kr->clear();
  kr->addItems(copy);
  QStringList copy2;
  for (int i = 0; i < kr->count(); ++i) {
    copy2 << kr->itemText(i);
  }
  hk->clear();
  hk->addItems(copy2);
  tm->setCurrentIndex(-1);
  kr->setCurrentIndex(-1);
  hk->setCurrentIndex(-1);
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

std::vector<std::string> Trvform::ListPortNames(bool descriptive) const {
  if (env_.listPorts) {
    return env_.listPorts(descriptive);
  }
  std::vector<std::string> lines;
  ListPorts(lines, descriptive);
  return lines;
}

void Trvform::RefreshPorts() {
  Comport_up->clear();
  Comport_up->addItems(ToQtList(ListPortNames(false)));
  Memo1->setPlainText(ToQtList(ListPortNames(true)).join(QLatin1Char('\n')));
  Comport_up->setCurrentIndex(Comport_up->count() - 1);
}

std::vector<std::string> Trvform::PortItems() const {
  std::vector<std::string> items;
  for (int i = 0; i < Comport_up->count(); ++i) {
    items.push_back(ToCore(Comport_up->itemText(i)));
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
  if (!pos.width) {
    return;
  }
  // Positions far beyond any screen are brought near enough that the window's rectangle can be
  // computed without overflow; they are off every screen all the same.
  static constexpr std::int32_t kFar = 1 << 24;
  const auto near = [](std::int32_t v) { return std::clamp<std::int32_t>(v, -kFar, kFar); };
  resize(*pos.width, height());
  if (pos.height) {
    resize(width(), *pos.height);
    if (pos.top) {
      move(x(), near(*pos.top));
      if (pos.left) {
        move(near(*pos.left), y());
      }
    }
  }
  // A position stored on a monitor that is gone would leave the window out of reach, and a size
  // beyond the screen would put its close button off it (and a huge window eats memory).
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
// Settings

DisplaySettings Trvform::ReadSettings() const {
  DisplaySettings s;
  s.SetMerlegnev(ToCore(merlegnev->text()));
  s.SetLeiras(ToCore(ExactPlainText(leiras)));
  s.SetBd(bd->currentIndex());
  s.SetPr(pr->currentIndex());
  s.SetTm(tm->currentIndex());
  s.SetKr(kr->currentIndex());
  s.SetLe(le->currentIndex());
  s.SetLh(lh->currentIndex());
  s.SetNm(nm->isChecked());
  s.SetBt(bt->currentIndex());
  s.SetFe(fe->currentIndex());
  s.SetTp(tp->currentIndex());
  s.SetAu(au->isChecked());
  s.SetHk(hk->currentIndex());
  s.SetHt(ToCore(ht->text()));
  s.SetOra(ora->ItemIndex());
  s.SetVerziogroup(verziogroup->ItemIndex());
  s.SetComport_up(ToCore(Comport_up->currentText()));
  return s;
}

void Trvform::WriteSettings(const DisplaySettings& s) {
  SetTextWhole(merlegnev, FromCore(s.merlegnev()));
  // Each CR LF a line break, exactly: a description that ends in empty lines keeps them.
  SetTextWhole(leiras, FromCore(s.leiras()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  bd->setCurrentIndex(s.bd());
  pr->setCurrentIndex(s.pr());
  tm->setCurrentIndex(s.tm());
  kr->setCurrentIndex(s.kr());
  le->setCurrentIndex(s.le());
  lh->setCurrentIndex(s.lh());
  nm->setChecked(s.nm());
  bt->setCurrentIndex(s.bt());
  fe->setCurrentIndex(s.fe());
  tp->setCurrentIndex(s.tp());
  au->setChecked(s.au());
  hk->setCurrentIndex(s.hk());
  ht->setText(FromCore(s.ht()));
  ora->SetItemIndex(s.ora());
  verziogroup->SetItemIndex(s.verziogroup());
  Comport_up->setCurrentIndex(
      s.Comport_up().empty() ? -1 : Comport_up->findText(FromCore(s.Comport_up()), Qt::MatchFixedString));
}

bool Trvform::savefile(const std::string& fileName) {
  TIniFile file(fileName);
  return rv58::savefile(ReadSettings(), file);
}

void Trvform::loadfile(const std::string& fileName) {
  DisplaySettings s = ReadSettings();
  rv58::loadfile(s, TIniFile(fileName), PortItems());
  WriteSettings(s);
}

void Trvform::alapbuttonClick() {
  DisplaySettings s = ReadSettings();
  s.ApplyDefaults();
  WriteSettings(s);
}

void Trvform::Button1Click() {
  kr->setCurrentIndex(tm->currentIndex());
}

bool Trvform::htKeyPress(QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() == 1 && text.at(0).unicode() < 0x80 &&
      !HtKeyAccepted(static_cast<char>(text.at(0).unicode()))) {
    return true; // swallowed
  }
  const QString upper = text.toUpper();
  if (!text.isEmpty() && upper != text && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    ht->insert(upper); // typed letters become capitals
    return true;
  }
  return false;
}

QString Trvform::DialogFolder(std::string_view key) const {
  const std::string fallback = env_.defaultDialogFolder.empty()
                                   ? DefaultDialogFolder(CurrentPreferencesEnvironment())
                                   : env_.defaultDialogFolder;
  return FromLocalPath(prefs_->ReadString(kOptSection, key, fallback));
}

void Trvform::StoreDialogFolder(std::string_view key, const QString& chosenFile) {
  QString folder = QFileInfo(chosenFile).absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) {
    folder += QLatin1Char('/');
  }
  prefs_->WriteString(kOptSection, key, LocalPath(folder));
}

void Trvform::mentbuttonClick() {
  const TWindowDialogs::FileRequest request{DialogFolder(kLastSaveDirKey), kSettingsFilter,
                                            QStringLiteral("rv5")};
  const std::optional<QString> chosen = env_.dialogs->SaveFileName(this, request);
  if (!chosen) {
    return;
  }
  if (!savefile(LocalPath(*chosen))) {
    ShowWarning(QStringLiteral("A fájl nem menthető !"));
    return;
  }
  StoreDialogFolder(kLastSaveDirKey, *chosen);
}

void Trvform::megnyitbuttonClick() {
  const TWindowDialogs::FileRequest request{DialogFolder(kLastOpenDirKey), kSettingsFilter,
                                            QStringLiteral("rv5")};
  const std::optional<QString> chosen = env_.dialogs->OpenFileName(this, request);
  if (!chosen) {
    return;
  }
  loadfile(LocalPath(*chosen));
  StoreDialogFolder(kLastOpenDirKey, *chosen);
}

void Trvform::ShowWarning(const QString& text) {
  env_.dialogs->Warning(this, text + QStringLiteral("\r\r"), QStringLiteral("Üzenet"));
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
    ShowPortDetails(this);
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
      QDesktopServices::openUrl(url);
    }
  }
}

} // namespace rv58
