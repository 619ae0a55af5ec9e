#pragma once
// The scale monitor "Mérlegfigyelő": what the scale sends on the upload page's port, read with
// the pages' settings as they stand, and a preview of what the display would show; the search
// for the line format and the frame settings, and taking them over into the pages.

#include "ComPort.h"
#include "scalelisten.h"
#include "scalemodel.h"

#include <QElapsedTimer>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTimer;

namespace rv58 {

class TFrameList;
class Trvform;

// The display's face: red seven-segment characters on black, as wide as the display.
class TSegmentPreview : public QWidget {
  Q_OBJECT
public:
  explicit TSegmentPreview(QWidget* parent = nullptr);
  // Returns whether anything changed (and a paint is due).
  bool SetText(const std::string& text, int width, bool fits);
  const std::string& Text() const { return text_; }
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  struct TCell {
    char c = ' ';
    bool point = false;
    bool operator==(const TCell&) const = default;
  };
  static constexpr double kMargin = 10;
  static std::vector<TCell> Cells(const std::string& text, int width);
  QRect CellRect(std::size_t i) const; // all that character i paints, its point included

  std::string text_;
  int width_ = 5;
  bool fits_ = true;
};

class TScaleMonitor : public QWidget {
  Q_OBJECT
public:
  explicit TScaleMonitor(Trvform* form);
  ~TScaleMonitor() override;

  // What the window shows (for tests and screenshots).
  const std::deque<DisplayFrame>& Frames() const { return frames_; }
  std::string PreviewText() const;
  QString StatusText() const;
  bool PortOpen() const { return port_ && port_->Active(); }
  bool Searching() const { return search_ != nullptr; }
  const std::optional<TSearchResult>& Found() const { return found_; }

public slots:
  void FelismeresClick(); // start the search
  void StopClick();       // stop it
  void AtvetelClick();    // the found settings into the pages

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void SettingsChanged();
  void ApplySettings();
  void OpenPort();
  void ClosePort();
  void Received(const std::string& data);
  void Tick();
  void CheckPort(); // closes a port whose device went, opens a closed one
  void Refresh();
  void RefreshPreview();
  void SearchStep();
  void SearchDone();
  void ShowResult();
  void SetStatus(const QString& text, bool warning);

  Trvform* form_;
  std::unique_ptr<TComPort> port_;
  DisplaySettings settings_;
  FrameSettings frameSettings_;
  TFrameSplitter splitter_;
  TDisplayPreview preview_;
  std::deque<DisplayFrame> frames_;
  std::deque<double> times_; // when each frame came, seconds on clock_
  QElapsedTimer clock_;
  QElapsedTimer listClock_;    // since the frame list was last laid out
  QElapsedTimer previewClock_; // since the preview last changed
  bool dirty_ = true;
  int framesSinceList_ = 0; // frames heard since the list was last laid out
  bool uploading_ = false;
  bool missing_ = false; // the port could not be opened because its device is not there
  bool settingsPending_ = false;
  unsigned lineErrors_ = 0;
  int ticks_ = 0;
  QString portWarning_;
  QString portPath_; // the open port's device

  std::unique_ptr<TLineSearch> search_;
  std::unique_ptr<TSearchRun> run_; // drives search_ on port_
  std::optional<TSearchResult> found_;

  QLabel* status_;
  QLabel* lineInfo_;
  TSegmentPreview* preview_widget_;
  QLabel* fitNote_;
  TFrameList* frameList_;
  QPushButton* felismeres_;
  QPushButton* stop_;
  QPushButton* atvetel_;
  QProgressBar* progress_;
  QTextEdit* result_;
  QTimer* timer_;
  QTimer* previewTimer_; // frames that came too soon after the last change of the preview
};

} // namespace rv58
