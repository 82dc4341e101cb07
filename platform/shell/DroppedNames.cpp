#include "DroppedNames.h"

#include <QUrl>

namespace varnex {

std::vector<std::string> DroppedLocalNames(const QMimeData& data) {
  std::vector<std::string> names;
  for (QByteArray line : data.data(QStringLiteral("text/uri-list")).split('\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) {
      continue;
    }
    const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
    if (url.scheme() != QLatin1String("file")) {
      continue;  // a link or a text dragged along names no file
    }
    const bool local = url.host().isEmpty() || url.host() == QLatin1String("localhost");
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray path = QByteArray::fromPercentEncoding(encoded);
    // A name cannot hold a NUL nor a "/": cut at the one or split at the other, the path would
    // name another file or folder, so such a name is refused, as is a file of another machine;
    // and a refused name refuses the names after it, as only the first counts.
    if (!local || path.isEmpty() || path.contains('\0') || encoded.toUpper().contains("%2F")) {
      break;
    }
    names.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
  }
  return names;
}

}  // namespace varnex
