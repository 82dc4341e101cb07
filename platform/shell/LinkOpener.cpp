#include "LinkOpener.h"

#include <QProcess>

namespace varnex {

void DesktopLinkOpener::Open(const std::string& target) {
  QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(target)});
}

}  // namespace varnex
