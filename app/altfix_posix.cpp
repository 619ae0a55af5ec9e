#include "VistaAltFixUnit.h"

// The keyboard cues change with the Alt key alone here, which the form's event filter sees.
std::unique_ptr<QAbstractNativeEventFilter> WatchNativeCueChanges(std::function<void(WId)>) {
  return nullptr;
}
