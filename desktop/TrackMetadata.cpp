#include "TrackMetadata.h"

#include <QDBusObjectPath>
#include <QStringList>

#include "platform/fs/PathParts.h"

namespace varnex {

namespace {

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString TitleFromFileName(const std::string& path) {
  std::string name(NameOf(path));
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    name.erase(dot);
  }
  return FromBytes(name);
}

QVariantMap TrackMetadata(const std::string& path, const MediaTags& tags,
                          std::uint64_t trackNumber) {
  QVariantMap metadata;
  metadata.insert(QStringLiteral("mpris:trackid"),
                  QVariant::fromValue(QDBusObjectPath(
                      QStringLiteral("/org/example/Varnex/Track/%1").arg(trackNumber))));
  metadata.insert(QStringLiteral("xesam:url"), QString::fromLatin1(FileUri(path)));
  metadata.insert(QStringLiteral("xesam:title"),
                  tags.title.empty() ? TitleFromFileName(path) : FromBytes(tags.title));
  if (!tags.artist.empty()) {
    metadata.insert(QStringLiteral("xesam:artist"), QStringList{FromBytes(tags.artist)});
  }
  if (!tags.album.empty()) {
    metadata.insert(QStringLiteral("xesam:album"), FromBytes(tags.album));
  }
  if (tags.lengthMicroseconds) {
    metadata.insert(QStringLiteral("mpris:length"),
                    QVariant::fromValue(static_cast<qlonglong>(*tags.lengthMicroseconds)));
  }
  return metadata;
}

}  // namespace varnex
