#pragma once

#include <optional>
#include <string>

#include "ListedFolder.h"

namespace varnex {

// Where the folder open as `folder`, now at `path`, is in its volume, when it is on FAT or exFAT
// (whose drivers number inodes anew at every mount) and the volume's serial number can be told:
// from the device manager's records, else from the volume's boot sector. nullopt otherwise.
std::optional<VolumePlace> PlaceInVolume(int folder, const std::string& path);

// The kind and serial number of a FAT or exFAT volume from its boot sector, as "exfat:7F17-425D"
// or "vfat:1A2B-3C4D"; nullopt for anything else.
std::optional<std::string> VolumeOfBootSector(const unsigned char (&sector)[512]);

}  // namespace varnex
