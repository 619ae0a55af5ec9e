#pragma once

// Repaints a window completely after its keyboard cues change (the Alt key pressed or released),
// for styles that draw access-key underlines only on demand and would otherwise leave some
// controls painted in the old state. The repaint waits for the next idle step, so a burst of
// changes costs one repaint per window.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>
#include <vector>

class TFormObj;

class TVistaAltFix : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool RepaintAll MEMBER RepaintAll)

public:
  // Active when the style draws keyboard cues on demand (ShouldBeActive); the owner, if any,
  // becomes the Qt parent. A QApplication must exist.
  explicit TVistaAltFix(QObject* owner = nullptr);
  // The same with activity decided by the caller (tests, or a platform that knows better).
  TVistaAltFix(QObject* owner, bool active);
  ~TVistaAltFix() override;

  // True when the application's style underlines access keys only while Alt is held.
  static bool ShouldBeActive();

  bool IsActive() const { return Active; }

  // When true a window is repainted with all its controls; set at construction.
  bool RepaintAll = true;

  // One idle step: hook new windows, drop records of windows that are gone, repaint the windows
  // whose keyboard cues changed. Runs from the event dispatcher's aboutToBlock.
  void IdleStep();

  // The records, oldest first (empty while inactive).
  const std::vector<std::unique_ptr<TFormObj>>& Forms() const { return FormList; }

private:
  bool Active = false;
  std::vector<std::unique_ptr<TFormObj>> FormList;
  QMetaObject::Connection IdleHook;
  // The system's own notice of a keyboard-cue change, where it sends one (Windows'
  // WM_UPDATEUISTATE); none elsewhere.
  std::unique_ptr<QAbstractNativeEventFilter> NativeCues;
};

// Watches the platform's native messages for a keyboard-cue change of a window and reports the
// window's native id; nothing where the platform has no such message. One implementation per
// platform: altfix_posix.cpp, altfix_win.cpp.
std::unique_ptr<QAbstractNativeEventFilter> WatchNativeCueChanges(std::function<void(WId)> changed);

// One watched window. Its event filter sees every event of the window (and of the window's
// native surface, where key events arrive first), never eats one, and only notes the Alt key.
class TFormObj : public QObject {
  Q_OBJECT

public:
  TFormObj(QWidget* form, bool repaintAll);
  ~TFormObj() override;

  QWidget* Form() const { return FormRef.data(); }
  bool Seen = true;
  bool RepaintPending = false;
  bool RepaintAll = true;

  // Follows the window's native surface, which Qt may create after the record or recreate.
  void HookSurface();
  // Repaints the window now (RepaintAll: with every control; otherwise an update).
  void RepaintForm();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QPointer<QWidget> FormRef;
  QPointer<QWindow> Surface;
};
