#include "MountedImage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace varnex::test {

std::string Run(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  std::array<char, 512> line{};
  const bool read = fgets(line.data(), line.size(), pipe) != nullptr;
  if (pclose(pipe) != 0) {
    throw std::runtime_error("failed: " + command);
  }
  std::string text = read ? line.data() : "";
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

MountedImage::MountedImage(const TempFolder& work, const std::string& kind)
    : mountPoint_(work.Folder("mnt")) {
  try {
    Mount(work, kind);
  } catch (const std::runtime_error&) {
    Release();
    throw;
  }
}

MountedImage::~MountedImage() {
  Release();
}

void MountedImage::Mount(const TempFolder& work, const std::string& kind) {
  kind_ = kind;
  if (kind == "local") {
    return;  // the temporary folder's own file system
  }
  if (kind == "tmpfs") {
    Run("mount -t tmpfs -o size=32M tmpfs " + mountPoint_);
  } else {
    const std::string image = work / "disk.img";
    Run("truncate -s 64M " + image);  // room for the large folder of the undo test
    if (kind == "ntfs") {
      Run("mkntfs -F -Q -q " + image);
      Run("ntfs-3g " + image + " " + mountPoint_);
    } else {
      Run((kind == "ext4" ? "mkfs.ext4 -q -F " : "mkfs.exfat ") + image);
      // exfat-fuse as root wants a block device
      loopDevice_ = Run("losetup -f --show " + image);
      Run((kind == "ext4" ? "mount " : "mount.exfat-fuse ") + loopDevice_ + " " + mountPoint_);
    }
  }
  struct stat mounted, parent;
  if (stat(mountPoint_.c_str(), &mounted) != 0 || stat(work.Path().c_str(), &parent) != 0 ||
      mounted.st_dev == parent.st_dev) {
    throw std::runtime_error(kind + " image is not mounted at " + mountPoint_);
  }
}

bool MountedImage::Unmount() {
  return std::system(("umount " + mountPoint_ + " 2>/dev/null").c_str()) == 0;
}

void MountedImage::Remount() {
  Run("umount " + mountPoint_);
  Run((kind_ == "exfat" ? "mount.exfat-fuse " : "mount ") + loopDevice_ + " " + mountPoint_);
}

void MountedImage::Release() {
  std::system(("umount " + mountPoint_ + " 2>/dev/null").c_str());
  if (!loopDevice_.empty()) {
    std::system(("losetup -d " + loopDevice_ + " 2>/dev/null").c_str());
  }
}

std::string SkipReason(const std::string& kind) {
  if (kind == "local") {
    return {};
  }
  if (geteuid() != 0) {
    return "mounting images needs root";
  }
  const bool fuse = kind == "ntfs" || kind == "exfat";
  if (fuse && access("/dev/fuse", R_OK | W_OK) != 0) {
    return "/dev/fuse is missing here";
  }
  const char* tools = kind == "ntfs"    ? "mkntfs ntfs-3g"
                      : kind == "exfat" ? "mkfs.exfat mount.exfat-fuse losetup"
                      : kind == "ext4"  ? "mkfs.ext4 losetup mount"
                                        : "mount";
  if (std::system((std::string("command -v ") + tools + " >/dev/null 2>&1").c_str()) != 0) {
    return std::string("missing ") + tools;
  }
  return {};
}

}  // namespace varnex::test
