#pragma once

#include <QAccessible>

namespace varnex {

// Has assistive tools (screen readers) learn about every widget of class `W` from `Interface`.
// W's constructor calls it; the first call installs the answer for all of them.
template <class W, class Interface>
void ProvideAccessibleInterface() {
  static const bool installed = [] {
    QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
      auto* widget = dynamic_cast<W*>(object);
      return widget != nullptr ? new Interface(widget) : nullptr;
    });
    return true;
  }();
  static_cast<void>(installed);
}

}  // namespace varnex
