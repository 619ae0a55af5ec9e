#include "scalemonitor.h"

#include "Unit1.h"
#include "message.h"
#include "portnames.h"
#include "portsources.h"
#include "qtext.h"
#include "scalemonitorlist.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace rv58 {

namespace {

constexpr std::size_t kFramesShown = 50;
constexpr int kTickMs = 100;      // the preview at most ten times a second on a fast stream
constexpr int kSearchTickMs = 50; // the search steps from one line format to the next
// The list is laid out twice a second, or once a second while so many frames come that most of
// its lines are new each time: laying it out is what costs on a fast stream.
constexpr qint64 kListEveryMs = 500;
constexpr qint64 kFastListEveryMs = 1000;
constexpr int kFastListFrames = static_cast<int>(kFramesShown / 2);
// On a fast stream the received bytes come to the window in pieces at least this far apart (the
// search's port keeps each arrival's own time).
constexpr std::chrono::milliseconds kReceiveGap{25};
constexpr int kReopenTicks = 10; // a missing or busy port is tried again once a second

QString Html(std::string_view bytes) {
  return FromCp1250(FrameForHuman(bytes)).toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
}

QString CharacterName(std::int32_t code) {
  const auto& items = CharacterChoiceList();
  return code >= 0 && code < static_cast<std::int32_t>(items.size())
             ? FromCp1250(items[static_cast<std::size_t>(code)])
             : QStringLiteral("–");
}

} // namespace

// ---------------------------------------------------------------------------------------------

TSegmentPreview::TSegmentPreview(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Elonezet"));
  setMinimumHeight(90);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_OpaquePaintEvent); // it paints every pixel: nothing to paint beneath it
}

bool TSegmentPreview::SetText(const std::string& text, int width, bool fits) {
  if (text == text_ && width == width_ && fits == fits_)
    return false;
  const bool sameFace = width == width_ && fits == fits_;
  const std::vector<TCell> before = Cells(text_, width_);
  text_ = text;
  width_ = width;
  fits_ = fits;
  if (!sameFace) {
    update();
    return true;
  }
  // Only the characters that changed are painted again.
  const std::vector<TCell> after = Cells(text_, width_);
  for (std::size_t i = 0; i < after.size(); ++i)
    if (!(after[i] == before[i]))
      update(CellRect(i));
  return true;
}

QSize TSegmentPreview::sizeHint() const {
  return {420, 110};
}

std::vector<TSegmentPreview::TCell> TSegmentPreview::Cells(const std::string& text, int width) {
  // Cells from the right: a point lights the point of the character before it.
  std::vector<TCell> cells;
  for (const char c : text) {
    if (c == '.' && !cells.empty() && !cells.back().point)
      cells.back().point = true;
    else
      cells.push_back({c == '.' ? ' ' : c, c == '.'});
  }
  const auto cellCount = static_cast<std::size_t>(width);
  if (cells.size() > cellCount)
    cells.erase(cells.begin(), cells.end() - static_cast<long>(cellCount));
  cells.insert(cells.begin(), cellCount - cells.size(), TCell{});
  return cells;
}

QRect TSegmentPreview::CellRect(std::size_t i) const {
  const double cellW = (width() - 2 * kMargin) / static_cast<double>(width_);
  return QRectF(kMargin + cellW * static_cast<double>(i), 0, cellW, height())
      .toAlignedRect()
      .adjusted(-1, 0, 1, 0);
}

void TSegmentPreview::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::black);
  const std::vector<TCell> cells = Cells(text_, width_);
  const double margin = kMargin;
  const double cellW = (this->width() - 2 * margin) / static_cast<double>(width_);
  const double h = height() - 2 * margin;
  const double w = std::min(cellW * 0.7, h * 0.55);
  const double t = std::max(3.0, w * 0.16);
  const QColor on(255, 30, 20), off(45, 0, 0);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!event->rect().intersects(CellRect(i)))
      continue;
    const double x = margin + cellW * static_cast<double>(i) + (cellW - w) / 2 - t;
    const double y = margin;
    const std::uint8_t mask = SevenSegments(cells[i].c);
    const QRectF seg[7] = {
        {x + t, y, w - 2 * t, t},                           // a
        {x + w - t, y + t, t, h / 2 - 1.5 * t},             // b
        {x + w - t, y + h / 2 + t / 2, t, h / 2 - 1.5 * t}, // c
        {x + t, y + h - t, w - 2 * t, t},                   // d
        {x, y + h / 2 + t / 2, t, h / 2 - 1.5 * t},         // e
        {x, y + t, t, h / 2 - 1.5 * t},                     // f
        {x + t, y + h / 2 - t / 2, w - 2 * t, t},           // g
    };
    for (int s = 0; s < 7; ++s)
      p.fillRect(seg[s], (mask >> s) & 1 ? on : off);
    p.setBrush(cells[i].point ? on : off);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(x + w + t * 0.9, y + h - t / 2), t * 0.6, t * 0.6);
  }
  if (!fits_) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(255, 200, 0));
    p.drawRect(rect().adjusted(1, 1, -2, -2));
  }
}

// ---------------------------------------------------------------------------------------------

TScaleMonitor::TScaleMonitor(Trvform* form) : QWidget(form, Qt::Window), form_(form) {
  setObjectName(QStringLiteral("ScaleMonitor"));
  setWindowTitle(QStringLiteral("Mérlegfigyelő"));
  resize(640, 600);
  auto* layout = new QVBoxLayout(this);

  lineInfo_ = new QLabel(this);
  lineInfo_->setObjectName(QStringLiteral("lineInfo"));
  layout->addWidget(lineInfo_);

  auto* previewLabel = new QLabel(
      QStringLiteral("<b>Előnézet</b> <span style='color:#777'>(a kijelző saját programja dönt)</span>"),
      this);
  layout->addWidget(previewLabel);
  preview_widget_ = new TSegmentPreview(this);
  layout->addWidget(preview_widget_);
  fitNote_ = new QLabel(this);
  fitNote_->setStyleSheet(QStringLiteral("color:#b60"));
  layout->addWidget(fitNote_);

  layout->addWidget(new QLabel(QStringLiteral("<b>Keretek</b> (a legutóbbi %1)").arg(kFramesShown), this));
  frameList_ = new TFrameList(this);
  layout->addWidget(frameList_, 1);

  auto* row = new QHBoxLayout;
  felismeres_ = new QPushButton(QStringLiteral("Felismerés"), this);
  felismeres_->setObjectName(QStringLiteral("Felismeres"));
  stop_ = new QPushButton(QStringLiteral("Leállítás"), this);
  stop_->setObjectName(QStringLiteral("Leallitas"));
  stop_->setEnabled(false);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  atvetel_ = new QPushButton(QStringLiteral("Átvétel"), this);
  atvetel_->setObjectName(QStringLiteral("Atvetel"));
  atvetel_->setEnabled(false);
  atvetel_->setToolTip(
      QStringLiteral("A felismert beállítások az oldalakra kerülnek; semmi sem kerül elküldésre "
                     "vagy mentésre (feltöltés: F9)."));
  row->addWidget(felismeres_);
  row->addWidget(stop_);
  row->addWidget(progress_, 1);
  row->addWidget(atvetel_);
  layout->addLayout(row);

  result_ = new QTextEdit(this);
  result_->setObjectName(QStringLiteral("result"));
  result_->setReadOnly(true);
  result_->setMaximumHeight(150);
  result_->setPlaceholderText(
      QStringLiteral("A „Felismerés” végighallgatja a sebességeket és formátumokat, majd a keretekből "
                     "javasolja a karakterek beállításait."));
  layout->addWidget(result_);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  layout->addWidget(status_);

  connect(felismeres_, &QPushButton::clicked, this, &TScaleMonitor::FelismeresClick);
  connect(stop_, &QPushButton::clicked, this, &TScaleMonitor::StopClick);
  connect(atvetel_, &QPushButton::clicked, this, &TScaleMonitor::AtvetelClick);

  // The pages as they change.
  connect(form, &Trvform::SettingsChanged, this, &TScaleMonitor::SettingsChanged);
  connect(form, &Trvform::PortsChanged, this, [this] {
    if (!uploading_ && !search_ && isVisible())
      CheckPort();
  });
  connect(form, &Trvform::TransmissionStarting, this, [this] {
    uploading_ = true;
    if (search_)
      StopClick();
    ClosePort();
    SetStatus(QStringLiteral("Feltöltés folyik; a port addig a feltöltésé."), false);
  });
  connect(form, &Trvform::TransmissionEnded, this, [this] {
    uploading_ = false;
    SetStatus({}, false);
    OpenPort();
  });

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &TScaleMonitor::Tick);
  previewTimer_ = new QTimer(this);
  previewTimer_->setSingleShot(true);
  connect(previewTimer_, &QTimer::timeout, this, &TScaleMonitor::RefreshPreview);
  clock_.start();
  ApplySettings();
}

TScaleMonitor::~TScaleMonitor() {
  run_.reset(); // before the port and the search it drives
  search_.reset();
  ClosePort();
}

std::string TScaleMonitor::PreviewText() const {
  return preview_.Text(frameSettings_, static_cast<double>(clock_.elapsed()) / 1000.0);
}

QString TScaleMonitor::StatusText() const {
  return status_->text();
}

void TScaleMonitor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  timer_->start();
  if (!PortOpen() && !search_)
    OpenPort();
}

void TScaleMonitor::closeEvent(QCloseEvent* event) {
  if (search_)
    StopClick();
  ClosePort();
  timer_->stop();
  QWidget::closeEvent(event);
}

void TScaleMonitor::SettingsChanged() {
  // Loading a file or "Átvétel" changes many controls at once: follow them once.
  if (settingsPending_)
    return;
  settingsPending_ = true;
  QTimer::singleShot(0, this, [this] {
    settingsPending_ = false;
    ApplySettings();
  });
}

void TScaleMonitor::ApplySettings() {
  const DisplaySettings old = settings_;
  settings_ = form_->ReadSettings();
  const FrameSettings frames = FrameSettings::From(settings_);
  if (frames.tm != frameSettings_.tm) {
    splitter_ = TFrameSplitter(frames.tm);
  }
  frameSettings_ = frames;
  // Frames already heard are shown again with the new cuts, and the display as it would be now.
  preview_ = TDisplayPreview();
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    frames_[i] = EvaluateFrame(frameSettings_, frames_[i].bytes);
    preview_.Show(frames_[i], times_[i]);
  }
  dirty_ = true;
  const TLineFormat format = LineFormatOf(settings_);
  lineInfo_->setText(
      QStringLiteral("Port: <b>%1</b> &nbsp; Sebesség: <b>%2</b> &nbsp; Formátum: <b>%3</b> "
                     "&nbsp; Zárókarakter: <b>%4</b>")
          .arg(settings_.Comport_up().empty() ? QStringLiteral("–") : FromCp1250(settings_.Comport_up()),
               QString::number(format.baud),
               QString::fromStdString(format.Name().substr(format.Name().find(' ') + 1)),
               CharacterName(frames.tm)));
  const bool lineChanged =
      old.Comport_up() != settings_.Comport_up() || old.bd() != settings_.bd() || old.pr() != settings_.pr();
  if (lineChanged && !search_ && isVisible()) {
    ClosePort();
    OpenPort();
  }
  listClock_.invalidate(); // the new cuts show at once
  Refresh();
}

void TScaleMonitor::OpenPort() {
  if (uploading_ || search_ || !isVisible() || PortOpen())
    return;
  if (settings_.Comport_up().empty()) {
    SetStatus(QStringLiteral("Nincs kiválasztott soros port (Feltöltés a kijelzőre oldal)."), true);
    return;
  }
  port_ = std::make_unique<TComPort>(DefaultHandOff(), form_->DeviceOpener());
  port_->Port = settings_.Comport_up();
  port_->PortNames = form_->PortNames();
  SetLineFormat(*port_, LineFormatOf(settings_));
  port_->ReceiveMode = rmRAW;
  port_->ReceiveGap = kReceiveGap;
  port_->ReceiveCallBack = [this](const std::string& data) { Received(data); };
  port_->OnError = [this](TComPort& p) {
    if (p.Active())
      ++lineErrors_;
  };
  port_->Open();
  if (!port_->Active()) {
    const QString why = QString::fromUtf8(port_->OpenError());
    port_.reset();
    // A device that is missing is opened when the port watcher sees it come; one that is there
    // (busy, or not ours to open) is tried again each second, since nothing announces its release.
    missing_ = !DeviceExists(form_->PortNames().DevicePath(settings_.Comport_up()));
    SetStatus(QString::fromUtf8(kPortWarning) +
                  (missing_ && form_->FollowsPorts()
                       ? QStringLiteral(" (%1: hiányzik; megnyitás, amint megjelenik)")
                             .arg(FromCp1250(settings_.Comport_up()))
                       : QStringLiteral(" (%1; újrapróbálás másodpercenként)").arg(why)),
              true);
    return;
  }
  missing_ = false;
  splitter_.Clear();
  // Looked up once: the lookup lists the system's ports, too much for the check each second.
  portPath_ = QString::fromStdString(port_->PortNames.DevicePath(port_->Port));
  SetStatus(QStringLiteral("Figyelés: %1").arg(portPath_), false);
}

void TScaleMonitor::ClosePort() {
  if (!port_)
    return;
  port_->ReceiveCallBack = nullptr;
  port_->OnError = nullptr;
  port_->Close();
  port_.reset();
}

void TScaleMonitor::Received(const std::string& data) {
  const double now = static_cast<double>(clock_.elapsed()) / 1000.0;
  bool heard = false;
  for (auto& bytes : splitter_.Feed(data)) {
    DisplayFrame frame = EvaluateFrame(frameSettings_, bytes);
    preview_.Show(frame, now);
    frames_.push_back(std::move(frame));
    times_.push_back(now);
    if (frames_.size() > kFramesShown) {
      frames_.pop_front();
      times_.pop_front();
    }
    dirty_ = true;
    ++framesSinceList_;
    heard = true;
  }
  // A scale that sends now and then is shown at once; a fast stream at most ten times a second.
  if (!heard || previewTimer_->isActive())
    return;
  const qint64 since = previewClock_.isValid() ? previewClock_.elapsed() : kTickMs;
  if (since >= kTickMs)
    RefreshPreview();
  else
    previewTimer_->start(static_cast<int>(kTickMs - since));
}

void TScaleMonitor::Tick() {
  if (search_) {
    SearchStep();
    return;
  }
  ++ticks_;
  if (port_ && !uploading_ && port_->HungUp()) {
    // Hung up (an adapter pulled out, the far end closed): closed at once, and tried again each
    // second, whether or not the device node stays.
    const QString port = QString::fromUtf8(port_->PortAndDevice());
    ClosePort();
    missing_ = false;
    SetStatus(QStringLiteral("A soros port eltűnt (%1); újranyitás, ha visszatér.").arg(port), true);
  } else if (!uploading_ && ticks_ % kReopenTicks == 0 && (port_ || !missing_ || !form_->FollowsPorts())) {
    CheckPort();
  }
  Refresh();
}

void TScaleMonitor::CheckPort() {
  if (port_) {
    // A device that went away (a USB adapter pulled out) is closed, and reopened when it is back.
    if (!DeviceExists(portPath_.toStdString())) {
      ClosePort();
      missing_ = true;
      SetStatus(QStringLiteral("A soros port eltűnt (%1); újranyitás, ha visszatér.").arg(portPath_), true);
    }
  } else {
    const QString warning = status_->text();
    OpenPort();
    if (!PortOpen() && warning.contains(QStringLiteral("eltűnt")))
      SetStatus(warning, true);
  }
}

void TScaleMonitor::Refresh() {
  if (!previewTimer_->isActive()) // else frames are waiting for it
    RefreshPreview();
  const qint64 every = framesSinceList_ > kFastListFrames ? kFastListEveryMs : kListEveryMs;
  if (!dirty_ || (listClock_.isValid() && listClock_.elapsed() < every))
    return;
  dirty_ = false;
  framesSinceList_ = 0;
  listClock_.start();
  frameList_->ShowFrames(frames_);
}

void TScaleMonitor::RefreshPreview() {
  const double now = static_cast<double>(clock_.elapsed()) / 1000.0;
  const std::string text = preview_.Text(frameSettings_, now);
  const bool fits = DisplayCells(text) <= static_cast<std::size_t>(DisplayWidth(frameSettings_.bt));
  if (!preview_widget_->SetText(text, DisplayWidth(frameSettings_.bt), fits))
    return;
  previewClock_.start();
  fitNote_->setText(
      fits ? QString()
           : QStringLiteral("A szöveg nem fér el a kijelzőn (%1 karakter, a kijelző %2 karakteres).")
                 .arg(DisplayCells(text))
                 .arg(DisplayWidth(frameSettings_.bt)));
}

void TScaleMonitor::FelismeresClick() {
  if (search_ || uploading_)
    return;
  ClosePort();
  search_ = std::make_unique<TLineSearch>(frameSettings_);
  port_ = std::make_unique<TComPort>(DefaultHandOff(), form_->DeviceOpener());
  port_->Port = settings_.Comport_up();
  port_->PortNames = form_->PortNames();
  run_ = std::make_unique<TSearchRun>(*port_, *search_);
  found_.reset();
  result_->clear();
  progress_->setValue(0);
  felismeres_->setEnabled(false);
  stop_->setEnabled(true);
  atvetel_->setEnabled(false);
  SetStatus(QStringLiteral("Felismerés…"), false);
  timer_->start(kSearchTickMs);
}

void TScaleMonitor::SearchStep() {
  if (!run_->Due())
    return;
  if (run_->Poll()) {
    progress_->setValue(static_cast<int>(search_->Progress() * 100));
    SetStatus(QStringLiteral("Felismerés… %1").arg(QString::fromStdString(search_->Current().Name())), false);
    return;
  }
  const bool failed = run_->PortFailed();
  SearchDone();
  if (failed)
    SetStatus(QString::fromUtf8(kPortWarning), true);
}

void TScaleMonitor::StopClick() {
  if (!search_)
    return;
  run_->Stop();
  SearchDone();
}

void TScaleMonitor::SearchDone() {
  found_ = search_->Result();
  run_.reset();
  port_.reset();
  search_.reset();
  timer_->setInterval(kTickMs); // a running timer goes on at the new pace
  progress_->setValue(100);
  felismeres_->setEnabled(true);
  stop_->setEnabled(false);
  atvetel_->setEnabled(found_->outcome == TSearchOutcome::soFOUND);
  SetStatus({}, false);
  ShowResult();
  OpenPort();
}

void TScaleMonitor::ShowResult() {
  if (!found_)
    return;
  if (found_->outcome != TSearchOutcome::soFOUND) {
    result_->setHtml(QStringLiteral("<b>A felismerés nem sikerült:</b> %1.")
                         .arg(QString::fromUtf8(OutcomeText(found_->outcome)).toHtmlEscaped()));
    return;
  }
  const TSearchResult& r = *found_;
  const FrameSettings& s = r.frames.settings;
  QString html = QStringLiteral("<b>Vonal: %1</b>").arg(QString::fromStdString(r.format.Name()));
  if (r.runnerUp)
    html += QStringLiteral(" &nbsp;(ugyanilyen jó volt: %1)").arg(QString::fromStdString(r.runnerUp->Name()));
  html += QStringLiteral("<br>");
  for (const auto& sug : r.frames.suggestions) {
    QString name, value = QString::number(sug.value);
    if (sug.key == "tm") {
      name = QStringLiteral("Zárókarakter");
      value = CharacterName(sug.value);
    } else if (sug.key == "kr") {
      name = QStringLiteral("Kötelező karakter");
      value = CharacterName(sug.value);
    } else if (sug.key == "le") {
      name = QStringLiteral("Levágás (elejéről)");
    } else if (sug.key == "lh") {
      name = QStringLiteral("Levágás (hátulról)");
    } else if (sug.key == "nm") {
      name = QStringLiteral("0 maszkolás levágása");
      value = sug.value ? QStringLiteral("be") : QStringLiteral("ki");
    } else if (sug.key == "tp") {
      name = QStringLiteral("Tizedespont helye");
    } else if (sug.key == "bt") {
      name = QStringLiteral("Betűtípus");
      value = QStringLiteral("%1 karakter").arg(DisplayWidth(sug.value));
    } else {
      name = QStringLiteral("Hibát jelző karakter");
      value = CharacterName(sug.value);
    }
    QStringList shown;
    for (const std::size_t i : sug.frames)
      if (i < r.frames.frames.size() && shown.size() < 3)
        shown << Html(r.frames.frames[i]);
    html += QStringLiteral("%1: <b>%2</b> <span style='color:#777;font-family:monospace'>← %3</span><br>")
                .arg(name, value, shown.join(QStringLiteral(" | ")));
  }
  for (const auto& note : r.frames.notes)
    html +=
        QStringLiteral("<span style='color:#b60'>%1</span><br>").arg(QString::fromUtf8(note).toHtmlEscaped());
  if (!r.frames.frames.empty()) {
    const DisplayFrame f = EvaluateFrame(s, r.frames.frames.back());
    html += QStringLiteral("Előnézet: <b>%1</b>").arg(FromCp1250(f.text).toHtmlEscaped());
    if (!f.fits)
      html += QStringLiteral(" <span style='color:#b60'>(nem fér el)</span>");
  }
  result_->setHtml(html);
}

void TScaleMonitor::AtvetelClick() {
  if (!found_ || found_->outcome != TSearchOutcome::soFOUND)
    return;
  DisplaySettings s = form_->ReadSettings();
  ApplyDetection(*found_, s);
  form_->WriteSettings(s);
  SetStatus(QStringLiteral("Átvéve az oldalakra (nincs elküldve, nincs mentve; feltöltés: F9)."), false);
}

void TScaleMonitor::SetStatus(const QString& text, bool warning) {
  status_->setStyleSheet(warning ? QStringLiteral("color:#c00;font-weight:bold") : QString());
  status_->setText(text);
}

} // namespace rv58
