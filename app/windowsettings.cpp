// The window's settings boundary: the controls to and from the settings, the settings files,
// the open and save dialogs with their remembered folders, and the warnings.
#include "Unit1.h"

#include "preferences.h"
#include "prefspath.h"
#include "settingsfile.h"
#include "textlimit.h"
#include "windowcontrols.h"
#include "windowtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace rv58 {

using namespace window_internal;

namespace {

const QString kSettingsFilter = QStringLiteral("RV5 beállítások ( *.rv5)");

} // namespace

DisplaySettings Trvform::ReadSettings() const {
  DisplaySettings s;
  s.SetMerlegnev(ToCp1250(merlegnev->text()));
  s.SetLeiras(ToCp1250(ExactPlainText(leiras)));
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
  s.SetHt(ToCp1250(ht->text()));
  s.SetOra(ora->ItemIndex());
  s.SetVerziogroup(verziogroup->ItemIndex());
  s.SetComport_up(ToCp1250(Comport_up->currentText()));
  return s;
}

void Trvform::WriteSettings(const DisplaySettings& s) {
  SetTextWhole(merlegnev, FromCp1250(s.merlegnev()));
  // Each CR LF a line break, exactly: a description that ends in empty lines keeps them.
  SetTextWhole(leiras, FromCp1250(s.leiras()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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
  ht->setText(FromCp1250(s.ht()));
  ora->SetItemIndex(s.ora());
  verziogroup->SetItemIndex(s.verziogroup());
  Comport_up->setCurrentIndex(
      s.Comport_up().empty() ? -1 : Comport_up->findText(FromCp1250(s.Comport_up()), Qt::MatchFixedString));
}

void Trvform::ConnectSettingsChanged() {
  for (QComboBox* list : {bd, pr, tm, kr, le, lh, bt, fe, tp, hk, Comport_up}) {
    connect(list, &QComboBox::currentIndexChanged, this, &Trvform::SettingsChanged);
  }
  for (QCheckBox* box : {nm, au}) {
    connect(box, &QCheckBox::toggled, this, &Trvform::SettingsChanged);
  }
  connect(ht, &QLineEdit::textChanged, this, &Trvform::SettingsChanged);
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
  // The upload port keeps its choice.
  DisplaySettings s = DisplaySettings::Defaults();
  s.SetComport_up(ToCp1250(Comport_up->currentText()));
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
  return FromIniFolderText(prefs_->ReadString(kOptSection, key, fallback));
}

void Trvform::StoreDialogFolder(std::string_view key, const QString& chosenFile) {
  QString folder = QFileInfo(chosenFile).absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) {
    folder += QLatin1Char('/');
  }
  prefs_->WriteString(kOptSection, key, IniFolderText(folder));
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

} // namespace rv58
