#include "LinkOpener.h"

#include <QProcess>

namespace varnex {

// Started in the root, which is always there: xdg-open gives up in a working directory that has
// been removed ("getcwd() failed").
void DesktopLinkOpener::Open(const std::string& target) {
  QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(target)},
                          QStringLiteral("/"));
}

}  // namespace varnex
