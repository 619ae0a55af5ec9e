#include "portwatcher.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace rv58 {

TPortWatcher::TPortWatcher(const TPortEventsFactory& factory, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &TPortWatcher::Due);
  if (factory) {
    source_ = factory([this] {
      // A flood posts one call at a time: the rest is taken in by the debounce anyway.
      if (!posted_.exchange(true))
        QMetaObject::invokeMethod(this, &TPortWatcher::Event, Qt::QueuedConnection);
    });
  }
}

TPortWatcher::~TPortWatcher() {
  source_.reset(); // its thread ends here, before the object it posts to goes
}

void TPortWatcher::Event() {
  posted_ = false;
  const auto now = TPortChangeDebounce::Clock::now();
  const auto due = debounce_.Event(now);
  if (!timer_->isActive()) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
    timer_->start(std::max(0, static_cast<int>(wait.count())));
  }
}

void TPortWatcher::Due() {
  debounce_.Listed(TPortChangeDebounce::Clock::now());
  emit PortsChanged();
}

} // namespace rv58
