// The window's pages: the controls of every page, where they lie and what they start with.
#include "Unit1.h"

#include "MD_Label.h"
#include "pagecontrol.h"
#include "richlabel.h"
#include "textlimit.h"
#include "windowcontrols.h"
#include "windowfonts.h"
#include "windowtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

namespace rv58 {

using namespace window_internal;

namespace {

// The designed size of a page of the page control.
constexpr QSize kDesignedPage(704, 548);

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
  WriteSettings(DisplaySettings::Initial());
  ConnectSettingsChanged();
}

void Trvform::CreateSettingsPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, QStringLiteral("Mérleg elnevezése:"), 16, 16);
  merlegnev = new QLineEdit(page);
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
}

void Trvform::CreateSimpleListPage(QWidget* page, const QString& caption, QComboBox*& list, const char* name,
                                   int width, const std::vector<std::string>& items, const QString& help) {
  auto* a = new TAnchors(page, kDesignedPage);
  AddLabel(a, page, caption, 18, 16);
  list = AddList(a, page, name, 18, 40, width, ToQtList(items));
  AddHelp(a, page, help, 18, 88, 647, 137);
}

void Trvform::CreateAutoOffPage(QWidget* page) {
  auto* a = new TAnchors(page, kDesignedPage);
  au = new QCheckBox(QStringLiteral("Automatikus kikapcsolás, ha nincs bejövő érvényes adat (5 másodperc)"),
                     page);
  au->setObjectName(QStringLiteral("au"));
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
  ht = new QLineEdit(page);
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

} // namespace rv58
