#include "PosixVolumePlace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace varnex {

namespace {

constexpr unsigned long kFatMagic = 0x4d44;
constexpr unsigned long kExfatMagic = 0x2011BAB0;
constexpr unsigned long kFuseMagic = 0x65735546;

struct Mount {
  std::string root;        // the part of the volume mounted there
  std::string mountPoint;  // where
  std::string type;
  std::string source;  // the device
};

// A field of the mount table with its escapes ("\040" for a blank) turned back into bytes.
std::string Unescaped(std::string_view field) {
  std::string bytes;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      bytes += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                 (field[i + 3] - '0'));
      i += 3;
    } else {
      bytes += field[i];
    }
  }
  return bytes;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0; start < line.size();) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// The mount of the device that holds `path`: the one with the longest mount point above it.
std::optional<Mount> MountOf(dev_t device, const std::string& path) {
  std::ifstream table("/proc/self/mountinfo");
  const std::string numbers = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::optional<Mount> best;
  for (std::string line; std::getline(table, line);) {
    const std::vector<std::string_view> fields = Fields(line);
    const auto separator = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 5 || fields[2] != numbers || fields.end() - separator < 3) {
      continue;
    }
    Mount mount{Unescaped(fields[3]), Unescaped(fields[4]), std::string(separator[1]),
                Unescaped(separator[2])};
    const bool above = path == mount.mountPoint || mount.mountPoint == "/" ||
                       path.starts_with(mount.mountPoint + "/");
    if (above && (!best || mount.mountPoint.size() > best->mountPoint.size())) {
      best = std::move(mount);
    }
  }
  return best;
}

// From the records the device manager keeps of every block device, readable by every user.
std::optional<std::string> VolumeFromDeviceRecords(dev_t device) {
  std::ifstream record("/run/udev/data/b" + std::to_string(major(device)) + ":" +
                       std::to_string(minor(device)));
  std::string type;
  std::string serial;
  for (std::string line; std::getline(record, line);) {
    if (line.starts_with("E:ID_FS_TYPE=")) {
      type = line.substr(13);
    } else if (line.starts_with("E:ID_FS_UUID=")) {
      serial = line.substr(13);
    }
  }
  if ((type != "vfat" && type != "exfat") || serial.empty()) {
    return std::nullopt;
  }
  return type + ":" + serial;
}

std::optional<std::string> VolumeFromBootSector(const std::string& device) {
  const int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  unsigned char sector[512];
  const bool read = pread(fd, sector, sizeof sector, 0) == static_cast<ssize_t>(sizeof sector);
  close(fd);
  return read ? VolumeOfBootSector(sector) : std::nullopt;
}

}  // namespace

std::optional<std::string> VolumeOfBootSector(const unsigned char (&sector)[512]) {
  std::size_t serialAt;
  const char* kind;
  if (std::memcmp(sector + 3, "EXFAT   ", 8) == 0) {
    serialAt = 100;
    kind = "exfat";
  } else if (std::memcmp(sector + 82, "FAT32   ", 8) == 0) {
    serialAt = 67;
    kind = "vfat";
  } else if (std::memcmp(sector + 54, "FAT1", 4) == 0) {
    serialAt = 39;
    kind = "vfat";
  } else {
    return std::nullopt;
  }
  const unsigned char* serial = sector + serialAt;
  char text[32];
  std::snprintf(text, sizeof text, "%s:%02X%02X-%02X%02X", kind, serial[3], serial[2], serial[1],
                serial[0]);
  return text;
}

std::optional<VolumePlace> PlaceInVolume(int folder, const std::string& path) {
  struct statfs fileSystem;
  if (fstatfs(folder, &fileSystem) != 0) {
    return std::nullopt;
  }
  const auto magic = static_cast<unsigned long>(fileSystem.f_type);
  if (magic != kFatMagic && magic != kExfatMagic && magic != kFuseMagic) {
    return std::nullopt;  // inode numbers that last, or a volume that cannot be told
  }
  struct stat status;
  if (fstat(folder, &status) != 0) {
    return std::nullopt;
  }
  const auto mount = MountOf(status.st_dev, path);
  // A FUSE file system tells its volume only when it serves a block device.
  if (!mount || (magic == kFuseMagic && mount->type != "fuseblk")) {
    return std::nullopt;
  }
  auto volume = VolumeFromDeviceRecords(status.st_dev);
  if (!volume) {
    volume = VolumeFromBootSector(mount->source);
  }
  if (!volume) {
    return std::nullopt;
  }
  const std::string below = mount->mountPoint == "/" ? path : path.substr(mount->mountPoint.size());
  std::string inVolume = mount->root == "/" ? below : mount->root + below;
  return VolumePlace{std::move(*volume), inVolume.empty() ? "/" : std::move(inVolume)};
}

}  // namespace varnex
