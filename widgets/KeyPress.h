#pragma once

#include <QKeyEvent>

namespace varnex {

// Whether a key came without a modifier key. The keypad's flag does not count: with Num Lock off,
// its arrows, Page keys and Enter carry it, and they are pressed as the plain keys are.
inline bool IsPlainKey(const QKeyEvent& event) {
  return (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace varnex
