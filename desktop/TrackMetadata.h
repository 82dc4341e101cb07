#pragma once

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <string>

#include "platform/media/MediaTags.h"

namespace varnex {

// The file's name without its folder and without its last extension, for a file without a title
// tag. Bytes that are not UTF-8 show as replacement characters; the URI keeps them.
QString TitleFromFileName(const std::string& path);

// The desktop's description of a file being played: its track id (unique to `trackNumber`), URI,
// title, artist and album when tagged, and its length when known.
QVariantMap TrackMetadata(const std::string& path, const MediaTags& tags,
                          std::uint64_t trackNumber);

}  // namespace varnex
