#include "VistaAltFixUnit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

namespace {

// Top-level widgets that are forms: not menus, tool tips or splash screens.
bool IsForm(const QWidget* w) {
  if (!w || !w->isWindow())
    return false;
  switch (w->windowType()) {
  case Qt::Popup:
  case Qt::ToolTip:
  case Qt::SplashScreen:
  case Qt::Desktop:
    return false;
  default:
    return true;
  }
}

// Widgets with a native window of their own need their own repaint; alien children are painted
// with their parent.
void RepaintNativeChildren(QWidget* parent) {
  for (QObject* child : parent->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow())
      continue;
    if (w->internalWinId() != 0 && w->isVisible())
      w->repaint();
    RepaintNativeChildren(w);
  }
}

} // namespace

TVistaAltFix::TVistaAltFix(QObject* owner) : TVistaAltFix(owner, ShouldBeActive()) {}

TVistaAltFix::TVistaAltFix(QObject* owner, bool active) : QObject(owner) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
  Active = active && dispatcher != nullptr && qApp != nullptr;
  if (!Active)
    return;
  IdleHook = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TVistaAltFix::IdleStep);
  NativeCues = WatchNativeCueChanges([this](WId window) {
    for (auto& rec : FormList) {
      if (rec->Form() != nullptr && rec->Form()->internalWinId() == window)
        rec->RepaintPending = true;
    }
  });
  if (NativeCues)
    qApp->installNativeEventFilter(NativeCues.get());
}

TVistaAltFix::~TVistaAltFix() {
  // The hooks go first so that nothing can reach a half-freed list.
  disconnect(IdleHook);
  if (NativeCues && qApp != nullptr)
    qApp->removeNativeEventFilter(NativeCues.get());
  FormList.clear();
}

bool TVistaAltFix::ShouldBeActive() {
  QStyle* style = QApplication::style();
  return style != nullptr && style->styleHint(QStyle::SH_UnderlineShortcut) == 0;
}

void TVistaAltFix::IdleStep() {
  if (!Active)
    return;
  for (auto& rec : FormList)
    rec->Seen = false;

  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!IsForm(w))
      continue;
    const auto it =
        std::find_if(FormList.begin(), FormList.end(), [w](const auto& r) { return r->Form() == w; });
    if (it != FormList.end())
      (*it)->Seen = true;
    else
      FormList.push_back(std::make_unique<TFormObj>(w, RepaintAll));
  }

  // Backwards, so removing a record does not disturb the walk.
  for (auto i = FormList.size(); i-- > 0;) {
    TFormObj& rec = *FormList[i];
    if (!rec.Seen || rec.Form() == nullptr) {
      FormList.erase(FormList.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    rec.HookSurface();
    if (rec.RepaintPending) {
      rec.RepaintPending = false;
      rec.RepaintForm();
    }
  }
}

TFormObj::TFormObj(QWidget* form, bool repaintAll) : RepaintAll(repaintAll), FormRef(form) {
  form->installEventFilter(this);
  HookSurface();
}

TFormObj::~TFormObj() {
  // A window that outlives its record goes on exactly as before it was hooked.
  if (FormRef)
    FormRef->removeEventFilter(this);
  if (Surface)
    Surface->removeEventFilter(this);
}

void TFormObj::HookSurface() {
  QWindow* current = FormRef ? FormRef->windowHandle() : nullptr;
  if (current == Surface.data())
    return;
  if (Surface)
    Surface->removeEventFilter(this);
  Surface = current;
  if (Surface)
    Surface->installEventFilter(this);
}

void TFormObj::RepaintForm() {
  QWidget* form = FormRef.data();
  if (!form || !form->isVisible())
    return;
  if (!RepaintAll) {
    form->update();
    return;
  }
  form->repaint();
  RepaintNativeChildren(form);
}

bool TFormObj::eventFilter(QObject* /*watched*/, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt)
      RepaintPending = true;
  }
  return false; // the window handles every event as if nobody watched
}
