#pragma once

// The window's side of the port watcher: the platform's device events (portwatch.h), which come
// on the watcher's own thread, brought to the user-interface thread and debounced into one
// signal, PortsChanged: list the ports again.

#include "portwatch.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QTimer;

namespace rv58 {

// Starts a source of device events that calls the given function on its thread; nothing when
// none can be had.
using TPortEventsFactory = std::function<std::unique_ptr<TPortEventSource>(TPortChanged changed)>;

class TPortWatcher : public QObject {
  Q_OBJECT
public:
  explicit TPortWatcher(const TPortEventsFactory& factory, QObject* parent = nullptr);
  ~TPortWatcher() override;

  // Whether device events are followed; when not, PortsChanged never comes.
  bool Active() const { return source_ != nullptr; }

signals:
  // The set of ports may have changed (TPortChangeDebounce decides when this comes).
  void PortsChanged();

private:
  void Event();
  void Due();

  TPortChangeDebounce debounce_;
  QTimer* timer_;
  std::atomic<bool> posted_{false}; // an event is on its way to this thread
  std::unique_ptr<TPortEventSource> source_;
};

} // namespace rv58
