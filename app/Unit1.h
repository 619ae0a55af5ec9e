#pragma once

#include "ComPort.h"
#include "MD_Label.h"
#include "displaysettings.h"
#include "inifile.h"
#include "portwatcher.h"
#include "titlebar.h"
#include "windowdialogs.h"

#include <QColor>
#include <QEvent>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;

namespace rv58 {

class TNavigationTree;
class TPageControl;
class TRadioGroup;

// What the main window needs from its surroundings. The program takes the defaults; tests point
// the preferences at a temporary folder, answer the dialogs and list their own ports.
struct TrvformEnvironment {
  std::string preferencesFile;             // empty: the preferences location rule of this process
  std::string defaultDialogFolder;         // empty: the default folder rule of this process
  QStringList arguments;                   // the command line with the program's own name first
  std::shared_ptr<TWindowDialogs> dialogs; // empty: Qt's dialogs and message box
  // The serial ports as bare names (false) or descriptive lines (true); empty: the machine's.
  std::function<std::vector<std::string>(bool descriptive)> listPorts;
  TDeviceOpener deviceOpener; // opens the serial devices; empty: the machine's
  // The information page's shell actions; empty: the real ones (the port-details window, the
  // file association of this user, the default browser). Tests watch them without side effects.
  std::function<void(QWidget* parent)> showPortDetails;
  std::function<void()> associateFileType;
  std::function<void(const QUrl& url)> openUrl;
  // Follows the device events that may change the ports; empty: the machine's when the ports
  // listed are the machine's (no listPorts), none otherwise. A factory that returns nothing: none.
  TPortEventsFactory portEvents;
};

// The main window `rvform`: borderless frame, navigation tree and the twelve pages that hold the
// display settings.
class Trvform : public QWidget {
  Q_OBJECT
public:
  explicit Trvform(TrvformEnvironment environment = {}, QWidget* parent = nullptr);
  ~Trvform() override;

  // The settings the controls hold, and back: the one place where their texts cross between
  // the widgets and the Windows-1250 core.
  DisplaySettings ReadSettings() const;
  void WriteSettings(const DisplaySettings& settings);

  // Settings files: the controls into / from section "RV5" of a file. savefile reports failure.
  bool savefile(const std::string& fileName);
  void loadfile(const std::string& fileName);

  const std::string& PreferencesFileName() const { return prefs_->FileName(); }
  TIniFile& Preferences() { return *prefs_; }
  bool DeferredStartupDone() const { return !firstShow_; }

  // How often the upload and display-test commands ran (their transmission comes separately).
  int FeltoltesRuns() const { return feltoltesRuns_; }
  int KijelzotesztRuns() const { return kijelzotesztRuns_; }

  // Frame
  QWidget* ScrollBox1;
  TTitleBar* Panel2;
  QLabel* Image2;
  QLabel* Label24;
  QToolButton* MinimizeButton;
  QToolButton* MaximizeButton;
  QToolButton* CloseButton;
  TNavigationTree* tree1;
  QWidget* Panel1;
  TPageControl* page1;
  QMenu* PopupMenu1;
  QAction* valami1;
  // The same commands with the DTR pulse, for desktops that take Alt + click for themselves.
  QAction* feltoltesDTR;
  QAction* kijelzotesztDTR;
  QAction* ScaleMonitorAction = nullptr; // "Mérlegfigyelő…"
  QWidget* ScaleMonitor = nullptr;       // the monitor window, once opened

  // Page 0: settings file and naming
  QLineEdit* merlegnev;
  QPlainTextEdit* leiras;
  QToolBar* ToolBar1;
  QToolButton* megnyitbutton;
  QToolButton* mentbutton;
  QPushButton* alapbutton;
  // Pages 1 to 9
  QComboBox* bd;
  QComboBox* pr;
  QLabel* Label3; // the bold note of the connection page
  QComboBox* tm;
  QPushButton* Button1;
  QComboBox* kr;
  QComboBox* le;
  QComboBox* lh;
  QCheckBox* nm;
  QComboBox* bt;
  QComboBox* fe;
  QComboBox* tp;
  QCheckBox* au;
  QComboBox* hk;
  QLineEdit* ht;
  TRadioGroup* ora;
  // Page 10: upload
  QComboBox* Comport_up;
  TRadioGroup* verziogroup;
  QWidget* Panel3;
  TMDLabel* MDLabel3;
  QPushButton* KijelzotesztButton;
  QPushButton* FeltoltesButton;
  // Page 11: information
  TMDLabel* MDLabel2;
  QPlainTextEdit* Memo1;
  TMDLabel* MDLabel4;
  QLabel* Label27;
  QLabel* Label28;
  QLabel* Label29;
  TMDLabel* MDLabel1;

public slots:
  // Frame
  void FormResize();
  void Panel1Resize();
  void Panel3Resize();
  void MinimizeButtonClick();
  void MaximizeButtonClick();
  void CloseButtonClick();
  // Navigation
  void tree1Change();
  // Settings
  void alapbuttonClick();
  void Button1Click();
  void mentbuttonClick();
  void megnyitbuttonClick();
  // Upload and display test (upload.cpp). While a transmission runs both do nothing.
  virtual void FeltoltesButtonClick();
  virtual void KijelzotesztButtonClick();
  void FeltoltesDTRClick();
  void KijelzotesztDTRClick();
  // Information page links
  void MDLabel2LinkClicked(int linkIndex);
  void MDLabel4LinkClicked(int linkIndex);
  void MDLabel1LinkClicked(int linkIndex);
  // The scale monitor window "Mérlegfigyelő" (scalemonitor.cpp): created on first use, then shown.
  void OpenScaleMonitor();
  // How this window opens serial devices and what its port names stand for (the scale monitor
  // opens its port the same way).
  TDeviceOpener DeviceOpener() const { return env_.deviceOpener ? env_.deviceOpener : OpenComDevice; }
  // Whether the window follows the device events (from the deferred start-up on); when it does,
  // PortsChanged comes after the port lists followed a change.
  bool FollowsPorts() const { return portWatcher_ != nullptr && portWatcher_->Active(); }
  const TPortNames& PortNames() const { return ComPort->PortNames; }

signals:
  // Around each transmission, so that the scale monitor gives the port up and takes it back.
  void TransmissionStarting();
  void TransmissionEnded();
  // The set of ports may have changed, and the port lists show it.
  void PortsChanged();
  // A control of the line or of the display's face changed (ReadSettings has the new values):
  // every list, both check boxes and the error text.
  void SettingsChanged();

public:
  // Background of a navigation tree item as it is drawn.
  QColor tree1CustomDrawItem(QTreeWidgetItem* item, bool selected, bool hot) const;
  // The page a tree node shows: its pre-order position among all nodes, collapsed ones too.
  int NodePosition(QTreeWidgetItem* item) const;

  // The one way the window tells the user of an error: modal box "Üzenet" with the text.
  void ShowWarning(const QString& text);

  // One transmission: "<>" and the message through ComPort at the speed of the display version;
  // with Alt held, a DTR pulse and 2.5 s before. A port that cannot be opened is reported here.
  void SendToDisplay(const std::string& portName, const std::string& message);
  // The Alt key as of the last input event taken from the queue: its state at the click.
  bool IsAltKeyDown() const;
  // The DTR pulse goes before the preamble: Alt held, or a "DTR-impulzussal" menu item.
  bool DTRPulseWanted() const { return dtrPulse_ || IsAltKeyDown(); }
  bool Sending() const { return sending_; }

  void ReadFormPos();
  bool WriteFormPos();

  // The deferred start-up's event, posted from FormShow.
  static QEvent::Type AfterShowEventType();

  // A press on the bare title bar (Panel2) that starts to drag: the left button hands the window
  // to the system's move; other buttons do nothing. True when the move was asked for.
  bool Panel2MouseDown(Qt::MouseButton button);

protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateFrame();
  void CreateTree();
  void CreatePages();
  void CreateSettingsPage(QWidget* page);
  void CreateConnectionPage(QWidget* page);
  void CreateCharactersPage(QWidget* page);
  void CreateCutPage(QWidget* page);
  void CreateSimpleListPage(QWidget* page, const QString& caption, QComboBox*& list, const char* name,
                            int width, const std::vector<std::string>& items, const QString& help);
  void CreateAutoOffPage(QWidget* page);
  void CreateErrorPage(QWidget* page);
  void CreateClockPage(QWidget* page);
  void CreateUploadPage(QWidget* page);
  void CreateInfoPage(QWidget* page);

  void FormCreate();
  void FormShow();
  void FormDestroy();
  void AfterShow();
  void RefreshPorts();
  void StartPortWatcher();
  void FollowPorts();
  void FillCharacterLists();
  void ConnectSettingsChanged();
  bool htKeyPress(QKeyEvent* event);

  std::vector<std::string> ListPortNames(bool descriptive);
  std::vector<std::string> PortItems() const;
  QString DialogFolder(std::string_view key) const;
  void StoreDialogFolder(std::string_view key, const QString& chosenFile);

  TrvformEnvironment env_;
  std::unique_ptr<TIniFile> prefs_;
  QObject* altFix_ = nullptr; // the Alt-key repaint fix, owned as a child
  bool firstShow_ = true;
  bool destroyed_ = false;
  int feltoltesRuns_ = 0;
  int kijelzotesztRuns_ = 0;
  bool sending_ = false;     // inside SendToDisplay
  bool dtrPulse_ = false;    // the command runs with the DTR pulse, as with Alt held
  bool associating_ = false; // the file association runs
  TPortWatcher* portWatcher_ = nullptr;

  static std::unique_ptr<TComPort> CreateComPort(const TrvformEnvironment& environment);

public:
  // The serial port of the transmissions, as the form defines it; created once env_ is set.
  std::unique_ptr<TComPort> ComPort = CreateComPort(env_);
};

} // namespace rv58
